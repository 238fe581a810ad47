#include "server/tds/type_codec.h"

#include <bit>
#include <cmath>

#include "engine/types/conversion.h"
#include "engine/types/datetime.h"
#include "engine/types/text.h"

namespace tds {

using engine::DataType;
using engine::Int128;
using engine::TypeId;
using engine::Value;

namespace {

enum : uint8_t {
    kNullType = 0x1F,
    kInt1 = 0x30,
    kBit = 0x32,
    kInt2 = 0x34,
    kInt4 = 0x38,
    kDateTime4 = 0x3A,
    kFloat4 = 0x3B,
    kMoney = 0x3C,
    kDateTime = 0x3D,
    kFloat8 = 0x3E,
    kMoney4 = 0x7A,
    kInt8 = 0x7F,
    kGuid = 0x24,
    kIntN = 0x26,
    kDecimalLegacy = 0x37,
    kNumericLegacy = 0x3F,
    kBitN = 0x68,
    kDecimalN = 0x6A,
    kNumericN = 0x6C,
    kFloatN = 0x6D,
    kMoneyN = 0x6E,
    kDateTimeN = 0x6F,
    kDateN = 0x28,
    kTimeN = 0x29,
    kDateTime2N = 0x2A,
    kDateTimeOffsetN = 0x2B,
    kCharLegacy = 0x2F,
    kVarCharLegacy = 0x27,
    kBinaryLegacy = 0x2D,
    kVarBinaryLegacy = 0x25,
    kBigVarBinary = 0xA5,
    kBigVarChar = 0xA7,
    kBigBinary = 0xAD,
    kBigChar = 0xAF,
    kNVarChar = 0xE7,
    kNChar = 0xEF,
    kXml = 0xF1,
    kText = 0x23,
    kImage = 0x22,
    kNText = 0x63,
    kVariant = 0x62,
};

constexpr uint16_t kMaxLength = 0xFFFF;
constexpr uint16_t kNullLength = 0xFFFF;
constexpr uint64_t kPlpNull = ~uint64_t(0);
constexpr uint64_t kPlpUnknownLength = ~uint64_t(0) - 1;
constexpr int32_t kDaysFrom0001To1900 = 693595;
constexpr uint32_t kVariantMaxLength = 8009;

int decimalBytes(int precision) {
    if (precision <= 9) return 4;
    if (precision <= 19) return 8;
    if (precision <= 28) return 12;
    return 16;
}

bool isMaxOnWire(const DataType& t, const WireFeatures& f) {
    return t.isMax() && f.maxTypes();
}

// The type that actually travels: down-level clients get the older forms.
DataType wireType(const DataType& t, const WireFeatures& f) {
    if (t.isMax() && !f.maxTypes()) {
        switch (t.id) {
            case TypeId::VarChar:
                return DataType::of(TypeId::Text);
            case TypeId::NVarChar:
                return DataType::of(TypeId::NText);
            case TypeId::VarBinary:
                return DataType::of(TypeId::Image);
            default:
                break;
        }
    }
    if (t.id == TypeId::Date && !f.dateType()) return DataType::nvarchar(10);
    return t;
}

void collation(ByteWriter& w) {
    w.raw(std::string_view(kCollation, sizeof kCollation));
}

std::string encodeText(const Value& v, const DataType& t) {
    if (engine::isUnicode(t.id)) return engine::utf8ToUtf16le(v.bytes());
    if (engine::isCharacter(t.id)) return engine::utf8ToWindows1252(v.bytes());
    return v.bytes();  // binary
}

void writeLittle(ByteWriter& w, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        w.u8(static_cast<uint8_t>(v >> (8 * i)));
}

void writeDecimalBody(ByteWriter& w, Int128 unscaled, int precision) {
    const int n = decimalBytes(precision);
    w.u8(unscaled < 0 ? 0 : 1);
    unsigned __int128 magnitude = unscaled < 0 ? static_cast<unsigned __int128>(-unscaled)
                                               : static_cast<unsigned __int128>(unscaled);
    for (int i = 0; i < n; ++i) {
        w.u8(static_cast<uint8_t>(magnitude & 0xFF));
        magnitude >>= 8;
    }
}

void writeMoney(ByteWriter& w, int64_t scaled, bool small) {
    if (small) {
        w.i32(static_cast<int32_t>(scaled));
    } else {
        w.i32(static_cast<int32_t>(scaled >> 32));
        w.u32(static_cast<uint32_t>(scaled & 0xFFFFFFFF));
    }
}

void writeDateTimeBody(ByteWriter& w, const Value& v, bool small) {
    if (small) {
        w.u16(static_cast<uint16_t>(v.days()));
        w.u16(static_cast<uint16_t>(v.ticks() / (engine::kTicksPerSecond * 60)));
    } else {
        w.i32(v.days());
        w.u32(static_cast<uint32_t>(v.ticks()));
    }
}

void writeDateBody(ByteWriter& w, const Value& v) {
    writeLittle(w, static_cast<uint32_t>(v.days() + kDaysFrom0001To1900), 3);
}

std::string dateText(const Value& v) {
    int y, m, d;
    engine::civilFromDays(v.days(), y, m, d);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", y, m, d);
    return buffer;
}

void writePlp(ByteWriter& w, std::string_view data) {
    w.u64(data.size());
    if (!data.empty()) {
        w.u32(static_cast<uint32_t>(data.size()));
        w.raw(data);
    }
    w.u32(0);
}

// The value converted to the column's type when the executor handed over another one.
Value asColumnType(const Value& v, const DataType& column) {
    if (v.isNull() || column.id == TypeId::SqlVariant) return v;
    const DataType& t = v.type();
    if (t.id == column.id) {
        if (engine::isDecimal(column.id) && t.scale != column.scale)
            return engine::convert(v, column, engine::ConversionKind::Implicit);
        return v;
    }
    try {
        return engine::convert(v, column, engine::ConversionKind::Explicit);
    } catch (const std::exception&) {
        // A column whose values the executor typed otherwise: better a NULL than a
        // stream the client cannot read.
        return Value::null(column);
    }
}

// sql_variant: base type, its properties, the data.
void writeVariant(ByteWriter& w, const Value& v, const WireFeatures& f) {
    if (v.isNull()) {
        w.u32(0);
        return;
    }
    ByteWriter body;
    const DataType& t = v.type();
    switch (t.id) {
        case TypeId::Bit:
            body.u8(kBit), body.u8(0), body.u8(v.asInt64() ? 1 : 0);
            break;
        case TypeId::TinyInt:
            body.u8(kInt1), body.u8(0), body.u8(static_cast<uint8_t>(v.asInt64()));
            break;
        case TypeId::SmallInt:
            body.u8(kInt2), body.u8(0), body.u16(static_cast<uint16_t>(v.asInt64()));
            break;
        case TypeId::Int:
            body.u8(kInt4), body.u8(0), body.i32(static_cast<int32_t>(v.asInt64()));
            break;
        case TypeId::BigInt:
            body.u8(kInt8), body.u8(0), body.i64(v.asInt64());
            break;
        case TypeId::Decimal:
        case TypeId::Numeric:
            body.u8(t.id == TypeId::Decimal ? kDecimalN : kNumericN);
            body.u8(2);
            body.u8(t.precision);
            body.u8(t.scale);
            writeDecimalBody(body, v.decimalUnscaled(), t.precision);
            break;
        case TypeId::Money:
        case TypeId::SmallMoney:
            body.u8(t.id == TypeId::Money ? kMoney : kMoney4);
            body.u8(0);
            writeMoney(body, v.moneyScaled(), t.id == TypeId::SmallMoney);
            break;
        case TypeId::Float:
            body.u8(kFloat8), body.u8(0), body.u64(std::bit_cast<uint64_t>(v.asDouble()));
            break;
        case TypeId::Real:
            body.u8(kFloat4), body.u8(0);
            body.u32(std::bit_cast<uint32_t>(static_cast<float>(v.asDouble())));
            break;
        case TypeId::DateTime:
        case TypeId::SmallDateTime:
            body.u8(t.id == TypeId::DateTime ? kDateTime : kDateTime4);
            body.u8(0);
            writeDateTimeBody(body, v, t.id == TypeId::SmallDateTime);
            break;
        case TypeId::Date:
            if (f.dateType()) {
                body.u8(kDateN), body.u8(0);
                writeDateBody(body, v);
            } else {
                std::string text = engine::utf8ToUtf16le(dateText(v));
                body.u8(kNVarChar), body.u8(7);
                collation(body);
                body.u16(static_cast<uint16_t>(text.size()));
                body.raw(text);
            }
            break;
        case TypeId::UniqueIdentifier:
            body.u8(kGuid), body.u8(0), body.raw(v.bytes());
            break;
        case TypeId::Char:
        case TypeId::VarChar:
        case TypeId::NChar:
        case TypeId::NVarChar: {
            const bool unicode = engine::isUnicode(t.id);
            const bool fixed = t.id == TypeId::Char || t.id == TypeId::NChar;
            std::string data = encodeText(v, t);
            body.u8(unicode ? (fixed ? kNChar : kNVarChar) : (fixed ? kBigChar : kBigVarChar));
            body.u8(7);
            collation(body);
            body.u16(static_cast<uint16_t>(data.size()));
            body.raw(data);
            break;
        }
        case TypeId::Binary:
        case TypeId::VarBinary:
            body.u8(t.id == TypeId::Binary ? kBigBinary : kBigVarBinary);
            body.u8(2);
            body.u16(static_cast<uint16_t>(v.bytes().size()));
            body.raw(v.bytes());
            break;
        default:
            // text, ntext, image and nested variants never live in a sql_variant.
            w.u32(0);
            return;
    }
    w.u32(static_cast<uint32_t>(body.size()));
    w.raw(body.bytes());
}

}  // namespace

void writeTypeInfo(ByteWriter& w, const DataType& declared, const WireFeatures& f) {
    const DataType t = wireType(declared, f);
    switch (t.id) {
        case TypeId::Bit:
            w.u8(kBitN), w.u8(1);
            return;
        case TypeId::TinyInt:
            w.u8(kIntN), w.u8(1);
            return;
        case TypeId::SmallInt:
            w.u8(kIntN), w.u8(2);
            return;
        case TypeId::Int:
            w.u8(kIntN), w.u8(4);
            return;
        case TypeId::BigInt:
            w.u8(kIntN), w.u8(8);
            return;
        case TypeId::Decimal:
        case TypeId::Numeric:
            w.u8(t.id == TypeId::Decimal ? kDecimalN : kNumericN);
            w.u8(static_cast<uint8_t>(decimalBytes(t.precision) + 1));
            w.u8(t.precision);
            w.u8(t.scale);
            return;
        case TypeId::Money:
            w.u8(kMoneyN), w.u8(8);
            return;
        case TypeId::SmallMoney:
            w.u8(kMoneyN), w.u8(4);
            return;
        case TypeId::Float:
            w.u8(kFloatN), w.u8(8);
            return;
        case TypeId::Real:
            w.u8(kFloatN), w.u8(4);
            return;
        case TypeId::DateTime:
            w.u8(kDateTimeN), w.u8(8);
            return;
        case TypeId::SmallDateTime:
            w.u8(kDateTimeN), w.u8(4);
            return;
        case TypeId::Date:
            w.u8(kDateN);
            return;
        case TypeId::Char:
            w.u8(kBigChar), w.u16(static_cast<uint16_t>(t.length));
            collation(w);
            return;
        case TypeId::VarChar:
            w.u8(kBigVarChar), w.u16(t.isMax() ? kMaxLength : static_cast<uint16_t>(t.length));
            collation(w);
            return;
        case TypeId::NChar:
            w.u8(kNChar), w.u16(static_cast<uint16_t>(t.length * 2));
            collation(w);
            return;
        case TypeId::NVarChar:
            w.u8(kNVarChar), w.u16(t.isMax() ? kMaxLength : static_cast<uint16_t>(t.length * 2));
            collation(w);
            return;
        case TypeId::Binary:
            w.u8(kBigBinary), w.u16(static_cast<uint16_t>(t.length));
            return;
        case TypeId::VarBinary:
            w.u8(kBigVarBinary), w.u16(t.isMax() ? kMaxLength : static_cast<uint16_t>(t.length));
            return;
        case TypeId::Text:
            w.u8(kText), w.u32(0x7FFFFFFF);
            collation(w);
            return;
        case TypeId::NText:
            w.u8(kNText), w.u32(0x7FFFFFFE);
            collation(w);
            return;
        case TypeId::Image:
            w.u8(kImage), w.u32(0x7FFFFFFF);
            return;
        case TypeId::UniqueIdentifier:
            w.u8(kGuid), w.u8(16);
            return;
        case TypeId::SqlVariant:
            w.u8(kVariant), w.u32(kVariantMaxLength);
            return;
    }
}

bool isNull(const Value& value) {
    return value.isNull();
}

void writeValue(ByteWriter& w, const Value& original, const DataType& declared,
                const WireFeatures& f) {
    const DataType t = wireType(declared, f);
    if (t.id == TypeId::SqlVariant) return writeVariant(w, original, f);
    if (declared.id == TypeId::Date && t.id == TypeId::NVarChar) {
        if (original.isNull()) return w.u16(kNullLength);
        std::string text = engine::utf8ToUtf16le(dateText(asColumnType(original, declared)));
        w.u16(static_cast<uint16_t>(text.size()));
        return w.raw(text);
    }
    const Value v = asColumnType(original, declared);
    switch (t.id) {
        case TypeId::Bit:
        case TypeId::TinyInt:
        case TypeId::SmallInt:
        case TypeId::Int:
        case TypeId::BigInt: {
            const int bytes = t.id == TypeId::BigInt     ? 8
                              : t.id == TypeId::Int      ? 4
                              : t.id == TypeId::SmallInt ? 2
                                                         : 1;
            if (v.isNull()) return w.u8(0);
            w.u8(static_cast<uint8_t>(bytes));
            return writeLittle(w, static_cast<uint64_t>(v.asInt64()), bytes);
        }
        case TypeId::Decimal:
        case TypeId::Numeric:
            if (v.isNull()) return w.u8(0);
            w.u8(static_cast<uint8_t>(decimalBytes(t.precision) + 1));
            return writeDecimalBody(w, v.decimalUnscaled(), t.precision);
        case TypeId::Money:
        case TypeId::SmallMoney:
            if (v.isNull()) return w.u8(0);
            w.u8(t.id == TypeId::Money ? 8 : 4);
            return writeMoney(w, v.moneyScaled(), t.id == TypeId::SmallMoney);
        case TypeId::Float:
            if (v.isNull()) return w.u8(0);
            w.u8(8);
            return w.u64(std::bit_cast<uint64_t>(v.asDouble()));
        case TypeId::Real:
            if (v.isNull()) return w.u8(0);
            w.u8(4);
            return w.u32(std::bit_cast<uint32_t>(static_cast<float>(v.asDouble())));
        case TypeId::DateTime:
        case TypeId::SmallDateTime:
            if (v.isNull()) return w.u8(0);
            w.u8(t.id == TypeId::DateTime ? 8 : 4);
            return writeDateTimeBody(w, v, t.id == TypeId::SmallDateTime);
        case TypeId::Date:
            if (v.isNull()) return w.u8(0);
            w.u8(3);
            return writeDateBody(w, v);
        case TypeId::UniqueIdentifier:
            if (v.isNull()) return w.u8(0);
            w.u8(16);
            return w.raw(v.bytes());
        case TypeId::Char:
        case TypeId::VarChar:
        case TypeId::NChar:
        case TypeId::NVarChar:
        case TypeId::Binary:
        case TypeId::VarBinary:
            if (isMaxOnWire(t, f)) {
                if (v.isNull()) return w.u64(kPlpNull);
                return writePlp(w, encodeText(v, t));
            } else {
                if (v.isNull()) return w.u16(kNullLength);
                std::string data = encodeText(v, t);
                w.u16(static_cast<uint16_t>(data.size()));
                return w.raw(data);
            }
        case TypeId::Text:
        case TypeId::NText:
        case TypeId::Image: {
            if (v.isNull()) return w.u8(0);
            // A text pointer and timestamp that clients keep but never need here.
            w.u8(16);
            w.raw(std::string(16, '\x01'));
            w.zeros(8);
            std::string data = encodeText(v, t);
            w.u32(static_cast<uint32_t>(data.size()));
            return w.raw(data);
        }
        case TypeId::SqlVariant:
            return;  // handled above
    }
}

// --- RPC parameter values ------------------------------------------------------------

std::string charDataToUtf8(std::string_view bytes) {
    return engine::windows1252ToUtf8(bytes);
}

namespace {

std::string readPlp(ByteReader& r, bool& isNullValue) {
    const uint64_t total = r.u64();
    isNullValue = total == kPlpNull;
    std::string out;
    if (isNullValue) return out;
    if (total != kPlpUnknownLength && total > r.remaining())
        throw ProtocolError("PLP value longer than the message");
    for (;;) {
        const uint32_t chunk = r.u32();
        if (chunk == 0) break;
        out.append(r.take(chunk));
    }
    return out;
}

uint64_t readLittle(ByteReader& r, size_t bytes) {
    if (bytes > 8) throw ProtocolError("integer longer than eight bytes");
    uint64_t v = 0;
    std::string_view b = r.take(bytes);
    for (size_t i = 0; i < bytes; ++i)
        v |= uint64_t(uint8_t(b[i])) << (8 * i);
    return v;
}

int64_t signExtend(uint64_t v, size_t bytes) {
    if (bytes >= 8) return static_cast<int64_t>(v);
    const uint64_t sign = uint64_t(1) << (bytes * 8 - 1);
    return static_cast<int64_t>((v ^ sign) - sign);
}

Value integerValue(uint64_t raw, size_t bytes) {
    switch (bytes) {
        case 1:
            return Value::integer(static_cast<int64_t>(raw & 0xFF), TypeId::TinyInt);
        case 2:
            return Value::integer(signExtend(raw, 2), TypeId::SmallInt);
        case 4:
            return Value::integer(signExtend(raw, 4), TypeId::Int);
        case 8:
            return Value::integer(signExtend(raw, 8), TypeId::BigInt);
    }
    throw ProtocolError("integer of an unknown size");
}

TypeId integerType(size_t bytes) {
    return bytes == 1 ? TypeId::TinyInt
           : bytes == 2 ? TypeId::SmallInt
           : bytes == 4 ? TypeId::Int
                        : TypeId::BigInt;
}

Value floatValue(ByteReader& r, size_t bytes) {
    if (bytes == 4) return Value::floating(std::bit_cast<float>(r.u32()), TypeId::Real);
    if (bytes == 8) return Value::floating(std::bit_cast<double>(r.u64()), TypeId::Float);
    throw ProtocolError("float of an unknown size");
}

Value moneyValue(ByteReader& r, size_t bytes) {
    if (bytes == 4) return Value::money(static_cast<int32_t>(r.u32()), TypeId::SmallMoney);
    if (bytes != 8) throw ProtocolError("money of an unknown size");
    const int64_t high = static_cast<int32_t>(r.u32());
    const uint64_t low = r.u32();
    return Value::money(static_cast<int64_t>((static_cast<uint64_t>(high) << 32) | low));
}

Value dateTimeValue(ByteReader& r, size_t bytes) {
    if (bytes == 4) {
        const int32_t days = r.u16();
        const int32_t minutes = r.u16();
        return Value::datetime(days, minutes * 60 * engine::kTicksPerSecond, TypeId::SmallDateTime);
    }
    if (bytes != 8) throw ProtocolError("datetime of an unknown size");
    const int32_t days = static_cast<int32_t>(r.u32());
    const int32_t ticks = static_cast<int32_t>(r.u32());
    if (ticks < 0 || ticks >= engine::kTicksPerDay) throw ProtocolError("datetime out of range");
    return Value::datetime(days, ticks);
}

Value decimalValue(ByteReader& r, size_t bytes, uint8_t precision, uint8_t scale, TypeId id) {
    if (bytes < 2 || bytes > 17) throw ProtocolError("decimal of an unknown size");
    if (precision < 1 || precision > 38 || scale > precision)
        throw ProtocolError("decimal precision out of range");
    const bool positive = r.u8() != 0;
    unsigned __int128 magnitude = 0;
    std::string_view b = r.take(bytes - 1);
    for (size_t i = b.size(); i-- > 0;)
        magnitude = (magnitude << 8) | uint8_t(b[i]);
    if (magnitude >> 127) throw ProtocolError("decimal out of range");
    Int128 unscaled = static_cast<Int128>(magnitude);
    return Value::decimal(positive ? unscaled : -unscaled, DataType{id, 0, precision, scale});
}

// time of datetime2/time/datetimeoffset: units of 10^-scale seconds since midnight.
int32_t ticksOfTime(uint64_t units, uint8_t scale) {
    uint64_t divisor = 1;
    for (int i = 0; i < scale; ++i)
        divisor *= 10;
    // Rounded to the nearest 1/300 s, as converting to datetime does.
    const unsigned __int128 scaled = static_cast<unsigned __int128>(units) * 300;
    return static_cast<int32_t>((scaled + divisor / 2) / divisor);
}

size_t timeBytes(uint8_t scale) {
    return scale <= 2 ? 3 : scale <= 4 ? 4 : 5;
}

Value dateTimeFrom(int32_t daysSince0001, int32_t ticks, int offsetMinutes = 0) {
    int64_t days = int64_t(daysSince0001) - kDaysFrom0001To1900;
    int64_t t = int64_t(ticks) + int64_t(offsetMinutes) * 60 * engine::kTicksPerSecond;
    while (t >= engine::kTicksPerDay) t -= engine::kTicksPerDay, ++days;
    while (t < 0) t += engine::kTicksPerDay, --days;
    return Value::datetime(static_cast<int32_t>(days), static_cast<int32_t>(t));
}

DecodedParameter textParameter(std::string data, bool isNullValue, DataType type) {
    if (isNullValue) return {type, Value::null(type)};
    std::string utf8;
    if (engine::isUnicode(type.id)) {
        if (data.size() % 2) throw ProtocolError("odd length of UTF-16 data");
        utf8 = engine::utf16leToUtf8(data);
    } else if (engine::isCharacter(type.id)) {
        utf8 = charDataToUtf8(data);
    } else {
        utf8 = std::move(data);
    }
    return {type, Value::string(std::move(utf8), type)};
}

DataType sizedType(TypeId id, uint32_t maxBytes, bool unicode) {
    if (maxBytes == kMaxLength) return DataType::character(id, DataType::kMax);
    int32_t n = static_cast<int32_t>(unicode ? maxBytes / 2 : maxBytes);
    return DataType::character(id, std::max(n, 1));
}

Value variantValue(ByteReader& r) {
    const uint32_t total = r.u32();
    if (total == 0) return Value();
    if (total < 2) throw ProtocolError("sql_variant shorter than its header");
    ByteReader body(r.take(total));
    const uint8_t base = body.u8();
    const uint8_t props = body.u8();
    std::string_view properties = body.take(props);
    ByteReader p(properties);
    const size_t dataBytes = body.remaining();
    switch (base) {
        case kInt1:
        case kInt2:
        case kInt4:
        case kInt8:
            return integerValue(readLittle(body, dataBytes), dataBytes);
        case kBit:
            return Value::bit(body.u8() != 0);
        case kFloat4:
        case kFloat8:
            return floatValue(body, dataBytes);
        case kMoney:
        case kMoney4:
            return moneyValue(body, dataBytes);
        case kDateTime:
        case kDateTime4:
            return dateTimeValue(body, dataBytes);
        case kDateN:
            return Value::datetime(dateTimeFrom(static_cast<int32_t>(readLittle(body, 3)), 0).days(), 0,
                                   TypeId::Date);
        case kGuid:
            return Value::guid(std::string(body.take(16)));
        case kDecimalN:
        case kNumericN: {
            const uint8_t precision = p.u8(), scale = p.u8();
            return decimalValue(body, dataBytes, precision, scale,
                                base == kDecimalN ? TypeId::Decimal : TypeId::Numeric);
        }
        case kBigVarChar:
        case kBigChar:
        case kNVarChar:
        case kNChar: {
            const bool unicode = base == kNVarChar || base == kNChar;
            const TypeId id = base == kBigVarChar ? TypeId::VarChar
                              : base == kBigChar  ? TypeId::Char
                              : base == kNVarChar ? TypeId::NVarChar
                                                  : TypeId::NChar;
            std::string data(body.take(dataBytes));
            DataType type = sizedType(id, static_cast<uint32_t>(std::max<size_t>(data.size(), unicode ? 2 : 1)), unicode);
            return textParameter(std::move(data), false, type).value;
        }
        case kBigVarBinary:
        case kBigBinary: {
            std::string data(body.take(dataBytes));
            DataType type = DataType::character(base == kBigBinary ? TypeId::Binary : TypeId::VarBinary,
                                                std::max<int32_t>(static_cast<int32_t>(data.size()), 1));
            return Value::binary(std::move(data), type);
        }
    }
    throw ProtocolError("sql_variant of an unknown base type");
}

}  // namespace

DecodedParameter readTypedValue(ByteReader& r) {
    const uint8_t type = r.u8();
    switch (type) {
        case kNullType:
            return {DataType::of(TypeId::Int), Value::null(DataType::of(TypeId::Int))};
        case kInt1:
        case kInt2:
        case kInt4:
        case kInt8: {
            const size_t bytes = type == kInt1 ? 1 : type == kInt2 ? 2 : type == kInt4 ? 4 : 8;
            Value v = integerValue(readLittle(r, bytes), bytes);
            return {v.type(), v};
        }
        case kBit: {
            Value v = Value::bit(r.u8() != 0);
            return {v.type(), v};
        }
        case kFloat4:
        case kFloat8: {
            Value v = floatValue(r, type == kFloat4 ? 4 : 8);
            return {v.type(), v};
        }
        case kMoney:
        case kMoney4: {
            Value v = moneyValue(r, type == kMoney4 ? 4 : 8);
            return {v.type(), v};
        }
        case kDateTime:
        case kDateTime4: {
            Value v = dateTimeValue(r, type == kDateTime4 ? 4 : 8);
            return {v.type(), v};
        }
        case kIntN:
        case kBitN:
        case kFloatN:
        case kMoneyN:
        case kDateTimeN:
        case kGuid: {
            const uint8_t maxBytes = r.u8();
            DataType declared;
            switch (type) {
                case kIntN:
                    if (maxBytes != 1 && maxBytes != 2 && maxBytes != 4 && maxBytes != 8)
                        throw ProtocolError("integer of an unknown size");
                    declared = DataType::of(integerType(maxBytes));
                    break;
                case kBitN:
                    declared = DataType::of(TypeId::Bit);
                    break;
                case kFloatN:
                    declared = DataType::floating(maxBytes == 4 ? TypeId::Real : TypeId::Float);
                    break;
                case kMoneyN:
                    declared = DataType::of(maxBytes == 4 ? TypeId::SmallMoney : TypeId::Money);
                    break;
                case kDateTimeN:
                    declared = DataType::of(maxBytes == 4 ? TypeId::SmallDateTime : TypeId::DateTime);
                    break;
                default:
                    declared = DataType::of(TypeId::UniqueIdentifier);
                    break;
            }
            const uint8_t bytes = r.u8();
            if (bytes == 0) return {declared, Value::null(declared)};
            if (bytes > maxBytes) throw ProtocolError("value longer than its type");
            Value v;
            switch (type) {
                case kIntN:
                    v = integerValue(readLittle(r, bytes), bytes);
                    break;
                case kBitN:
                    v = Value::bit(readLittle(r, bytes) != 0);
                    break;
                case kFloatN:
                    v = floatValue(r, bytes);
                    break;
                case kMoneyN:
                    v = moneyValue(r, bytes);
                    break;
                case kDateTimeN:
                    v = dateTimeValue(r, bytes);
                    break;
                default:
                    if (bytes != 16) throw ProtocolError("uniqueidentifier of an unknown size");
                    v = Value::guid(std::string(r.take(16)));
                    break;
            }
            return {declared, v};
        }
        case kDecimalN:
        case kNumericN:
        case kDecimalLegacy:
        case kNumericLegacy: {
            r.u8();  // maximum length
            const uint8_t precision = r.u8(), scale = r.u8();
            const TypeId id = (type == kDecimalN || type == kDecimalLegacy) ? TypeId::Decimal : TypeId::Numeric;
            if (precision < 1 || precision > 38 || scale > precision)
                throw ProtocolError("decimal precision out of range");
            DataType declared{id, 0, precision, scale};
            const uint8_t bytes = r.u8();
            if (bytes == 0) return {declared, Value::null(declared)};
            return {declared, decimalValue(r, bytes, precision, scale, id)};
        }
        case kDateN: {
            DataType declared = DataType::of(TypeId::Date);
            const uint8_t bytes = r.u8();
            if (bytes == 0) return {declared, Value::null(declared)};
            if (bytes != 3) throw ProtocolError("date of an unknown size");
            Value v = dateTimeFrom(static_cast<int32_t>(readLittle(r, 3)), 0);
            return {declared, Value::datetime(v.days(), 0, TypeId::Date)};
        }
        case kTimeN:
        case kDateTime2N:
        case kDateTimeOffsetN: {
            // The engine has no time/datetime2/datetimeoffset: such parameters arrive as
            // datetime, as SQL Server converts them for a datetime target.
            const uint8_t scale = r.u8();
            if (scale > 7) throw ProtocolError("time scale out of range");
            DataType declared = DataType::of(TypeId::DateTime);
            const uint8_t bytes = r.u8();
            if (bytes == 0) return {declared, Value::null(declared)};
            const size_t tb = timeBytes(scale);
            const size_t expected = tb + (type == kTimeN ? 0 : 3) + (type == kDateTimeOffsetN ? 2 : 0);
            if (bytes != expected) throw ProtocolError("time value of an unexpected size");
            const int32_t ticks = ticksOfTime(readLittle(r, tb), scale);
            int32_t days = kDaysFrom0001To1900;
            if (type != kTimeN) days = static_cast<int32_t>(readLittle(r, 3));
            int offset = 0;
            if (type == kDateTimeOffsetN) offset = static_cast<int16_t>(r.u16());
            return {declared, dateTimeFrom(days, ticks, offset)};
        }
        case kBigVarChar:
        case kBigChar:
        case kNVarChar:
        case kNChar:
        case kBigVarBinary:
        case kBigBinary: {
            const uint16_t maxBytes = r.u16();
            const bool character = type != kBigVarBinary && type != kBigBinary;
            if (character) r.take(5);  // collation: the server's code page is used
            const bool unicode = type == kNVarChar || type == kNChar;
            const TypeId id = type == kBigVarChar     ? TypeId::VarChar
                              : type == kBigChar      ? TypeId::Char
                              : type == kNVarChar     ? TypeId::NVarChar
                              : type == kNChar        ? TypeId::NChar
                              : type == kBigVarBinary ? TypeId::VarBinary
                                                      : TypeId::Binary;
            if (maxBytes == kMaxLength && (type == kBigChar || type == kNChar || type == kBigBinary))
                throw ProtocolError("fixed-length type declared as max");
            if (maxBytes != kMaxLength && maxBytes > 8000) throw ProtocolError("length beyond 8000");
            DataType declared = sizedType(id, maxBytes, unicode);
            if (maxBytes == kMaxLength) {
                bool nullValue = false;
                std::string data = readPlp(r, nullValue);
                return textParameter(std::move(data), nullValue, declared);
            }
            const uint16_t bytes = r.u16();
            if (bytes == kNullLength) return {declared, Value::null(declared)};
            return textParameter(std::string(r.take(bytes)), false, declared);
        }
        case kVarCharLegacy:
        case kCharLegacy:
        case kVarBinaryLegacy:
        case kBinaryLegacy: {
            const uint8_t maxBytes = r.u8();
            const TypeId id = type == kVarCharLegacy ? TypeId::VarChar
                              : type == kCharLegacy  ? TypeId::Char
                              : type == kVarBinaryLegacy ? TypeId::VarBinary
                                                         : TypeId::Binary;
            DataType declared = sizedType(id, std::max<uint8_t>(maxBytes, 1), false);
            const uint8_t bytes = r.u8();
            if (bytes == 0xFF) return {declared, Value::null(declared)};
            return textParameter(std::string(r.take(bytes)), false, declared);
        }
        case kText:
        case kNText:
        case kImage: {
            r.u32();  // maximum length
            if (type != kImage) r.take(5);
            const TypeId id = type == kText ? TypeId::Text : type == kNText ? TypeId::NText : TypeId::Image;
            DataType declared = DataType::of(id);
            const uint32_t bytes = r.u32();
            if (bytes == 0xFFFFFFFF) return {declared, Value::null(declared)};
            return textParameter(std::string(r.take(bytes)), false, declared);
        }
        case kXml: {
            if (r.u8() != 0) {  // schema collection named: database, owner, collection
                r.bVarChar();
                r.bVarChar();
                r.usVarChar();
            }
            DataType declared = DataType::nvarchar(DataType::kMax);
            bool nullValue = false;
            std::string data = readPlp(r, nullValue);
            return textParameter(std::move(data), nullValue, declared);
        }
        case kVariant: {
            r.u32();  // maximum length
            DataType declared = DataType::of(TypeId::SqlVariant);
            Value v = variantValue(r);
            if (v.isNull()) return {declared, Value::null(declared)};
            return {declared, v};
        }
    }
    throw ProtocolError("parameter of an unknown type");
}

}  // namespace tds
