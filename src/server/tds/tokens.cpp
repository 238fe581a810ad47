#include "server/tds/tokens.h"

#include <algorithm>

#include "engine/types/text.h"

namespace tds {

namespace {

constexpr uint8_t kLoginAck = 0xAD;
constexpr uint8_t kEnvChange = 0xE3;
constexpr uint8_t kError = 0xAA;
constexpr uint8_t kInfo = 0xAB;
constexpr uint8_t kColMetadata = 0x81;
constexpr uint8_t kRow = 0xD1;
constexpr uint8_t kNbcRow = 0xD2;
constexpr uint8_t kReturnStatus = 0x79;
constexpr uint8_t kReturnValue = 0xAC;
constexpr uint8_t kFeatureExtAck = 0xAE;

constexpr uint16_t kFlagNullable = 0x0001;
constexpr uint16_t kFlagUpdatableUnknown = 0x0008;
constexpr uint16_t kFlagIdentity = 0x0010;

// UTF-16 code units of a text, cut at `maxUnits` without splitting a surrogate pair.
std::string utf16Limited(std::string_view utf8, size_t maxUnits, size_t& units) {
    std::string out = engine::utf8ToUtf16le(utf8);
    if (out.size() / 2 > maxUnits) {
        size_t cut = maxUnits * 2;
        const uint16_t last = uint16_t(uint8_t(out[cut - 2])) | uint16_t(uint8_t(out[cut - 1])) << 8;
        if (last >= 0xD800 && last <= 0xDBFF) cut -= 2;
        out.resize(cut);
    }
    units = out.size() / 2;
    return out;
}

// A token whose 2-byte length precedes its body.
template <class Fn>
void lengthPrefixed(ByteWriter& w, uint8_t token, Fn body) {
    w.u8(token);
    const size_t at = w.size();
    w.u16(0);
    body();
    w.patchU16(at, static_cast<uint16_t>(w.size() - at - 2));
}

bool hasTableName(const engine::DataType& t, const WireFeatures& f) {
    if (engine::isLargeObject(t)) return true;
    return t.isMax() && !f.maxTypes();  // sent as text/ntext/image
}

}  // namespace

void writeBVarChar(ByteWriter& w, std::string_view utf8) {
    size_t units = 0;
    std::string data = utf16Limited(utf8, 255, units);
    w.u8(static_cast<uint8_t>(units));
    w.raw(data);
}

void writeUsVarChar(ByteWriter& w, std::string_view utf8) {
    size_t units = 0;
    std::string data = utf16Limited(utf8, 65535, units);
    w.u16(static_cast<uint16_t>(units));
    w.raw(data);
}

void writeLoginAck(ByteWriter& w, uint32_t tdsVersion, std::string_view programName,
                   uint8_t major, uint8_t minor, uint16_t build) {
    lengthPrefixed(w, kLoginAck, [&] {
        w.u8(1);  // interface: SQL_TSQL
        w.u32be(tdsVersion);
        writeBVarChar(w, programName);
        w.u8(major);
        w.u8(minor);
        w.u16be(build);
    });
}

void writeEnvChangeText(ByteWriter& w, EnvChange type, std::string_view newValue,
                        std::string_view oldValue) {
    lengthPrefixed(w, kEnvChange, [&] {
        w.u8(static_cast<uint8_t>(type));
        writeBVarChar(w, newValue);
        writeBVarChar(w, oldValue);
    });
}

void writeEnvChangeCollation(ByteWriter& w) {
    lengthPrefixed(w, kEnvChange, [&] {
        w.u8(static_cast<uint8_t>(EnvChange::Collation));
        w.u8(sizeof kCollation);
        w.raw(std::string_view(kCollation, sizeof kCollation));
        w.u8(0);
    });
}

void writeEnvChangeTransaction(ByteWriter& w, EnvChange type, uint64_t descriptor) {
    lengthPrefixed(w, kEnvChange, [&] {
        w.u8(static_cast<uint8_t>(type));
        if (type == EnvChange::BeginTransaction) {
            w.u8(8);
            w.u64(descriptor);
            w.u8(0);
        } else {
            w.u8(0);
            w.u8(8);
            w.u64(descriptor);
        }
    });
}

void writeEnvChangeReset(ByteWriter& w) {
    lengthPrefixed(w, kEnvChange, [&] {
        w.u8(static_cast<uint8_t>(EnvChange::ResetConnection));
        w.u8(0);
        w.u8(0);
    });
}

void writeMessage(ByteWriter& w, const engine::SqlMessage& m, std::string_view serverName) {
    lengthPrefixed(w, m.isError() ? kError : kInfo, [&] {
        w.i32(m.number);
        w.u8(static_cast<uint8_t>(std::clamp(m.state, 0, 255)));
        // Informational messages travel with class 0 (10 and below reach clients as 0).
        w.u8(static_cast<uint8_t>(m.isError() ? std::clamp(m.severity, 0, 25) : 0));
        writeUsVarChar(w, m.text);
        writeBVarChar(w, serverName);
        writeBVarChar(w, m.procedure);
        w.i32(m.line);
    });
}

void writeColumnMetadata(ByteWriter& w, const std::vector<engine::ResultColumn>& columns,
                         const WireFeatures& f) {
    w.u8(kColMetadata);
    w.u16(static_cast<uint16_t>(columns.size()));
    for (const auto& c : columns) {
        if (f.longUserType())
            w.u32(0);
        else
            w.u16(0);
        uint16_t flags = kFlagUpdatableUnknown;
        if (c.nullable) flags |= kFlagNullable;
        if (c.identity) flags |= kFlagIdentity;
        w.u16(flags);
        writeTypeInfo(w, c.type, f);
        if (hasTableName(c.type, f)) {
            if (f.longUserType()) {
                w.u8(0);  // no parts: the column does not name its table
            } else {
                w.u16(0);
            }
        }
        writeBVarChar(w, c.name);
    }
}

void writeRow(ByteWriter& w, const std::vector<engine::ResultColumn>& columns,
              const std::vector<engine::Value>& row, const WireFeatures& f) {
    // Every column gets a value, whatever the row holds: a short row reads as NULLs.
    auto isNullAt = [&](size_t i) { return i >= row.size() || row[i].isNull(); };
    bool anyNull = false;
    for (size_t i = 0; i < columns.size() && !anyNull; ++i)
        anyNull = isNullAt(i);
    if (anyNull && f.nullBitmapRows()) {
        w.u8(kNbcRow);
        std::string bitmap((columns.size() + 7) / 8, '\0');
        for (size_t i = 0; i < columns.size(); ++i) {
            if (isNullAt(i)) bitmap[i / 8] = static_cast<char>(bitmap[i / 8] | (1 << (i % 8)));
        }
        w.raw(bitmap);
        for (size_t i = 0; i < columns.size(); ++i) {
            if (!isNullAt(i)) writeValue(w, row[i], columns[i].type, f);
        }
        return;
    }
    w.u8(kRow);
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i < row.size())
            writeValue(w, row[i], columns[i].type, f);
        else
            writeValue(w, engine::Value::null(columns[i].type), columns[i].type, f);
    }
}

void writeDone(ByteWriter& w, DoneKind kind, uint16_t status, uint16_t command, int64_t rows,
               const WireFeatures& f) {
    w.u8(static_cast<uint8_t>(kind));
    w.u16(status);
    w.u16(command);
    if (f.longRowCounts())
        w.i64(rows);
    else
        w.i32(static_cast<int32_t>(rows));
}

void writeReturnStatus(ByteWriter& w, int32_t status) {
    w.u8(kReturnStatus);
    w.i32(status);
}

void writeReturnValue(ByteWriter& w, uint16_t ordinal, std::string_view name, bool output,
                      const engine::DataType& type, const engine::Value& value,
                      const WireFeatures& f) {
    w.u8(kReturnValue);
    w.u16(ordinal);
    writeBVarChar(w, name);
    w.u8(output ? 0x01 : 0x02);
    if (f.longUserType())
        w.u32(0);
    else
        w.u16(0);
    w.u16(kFlagNullable);
    writeTypeInfo(w, type, f);
    writeValue(w, value, type, f);
}

void writeFeatureExtAck(ByteWriter& w) {
    w.u8(kFeatureExtAck);
    w.u8(0xFF);
}

}  // namespace tds
