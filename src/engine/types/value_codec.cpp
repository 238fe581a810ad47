#include "engine/types/value_codec.h"

#include <cstring>
#include <stdexcept>

namespace engine {

namespace {

// First byte of an encoded type: the TypeId in the low 6 bits, the null-literal marker
// in 0x80 and (for values) the NULL flag in 0x40.
constexpr uint8_t kNullLiteralFlag = 0x80;
constexpr uint8_t kNullValueFlag = 0x40;
constexpr uint8_t kIdMask = 0x3F;
constexpr uint8_t kLastTypeId = static_cast<uint8_t>(TypeId::SqlVariant);

void putVarint(unsigned __int128 v, std::string& out) {
    while (v >= 0x80) {
        out.push_back(static_cast<char>((v & 0x7F) | 0x80));
        v >>= 7;
    }
    out.push_back(static_cast<char>(v));
}

void putSigned(Int128 v, std::string& out) {
    // Zig-zag: small magnitudes of either sign take few bytes.
    const auto u = static_cast<unsigned __int128>(v);
    putVarint((u << 1) ^ static_cast<unsigned __int128>(v >> 127), out);
}

bool getVarint(std::string_view& in, unsigned __int128& v) {
    v = 0;
    for (int shift = 0; shift < 133; shift += 7) {
        if (in.empty()) return false;
        const auto b = static_cast<unsigned char>(in.front());
        in.remove_prefix(1);
        v |= static_cast<unsigned __int128>(b & 0x7F) << shift;
        if ((b & 0x80) == 0) return true;
    }
    return false;
}

bool getSigned(std::string_view& in, Int128& v) {
    unsigned __int128 u;
    if (!getVarint(in, u)) return false;
    v = static_cast<Int128>((u >> 1) ^ (~(u & 1) + 1));
    return true;
}

void putTypeArguments(const DataType& t, std::string& out) {
    if (hasLength(t.id)) {
        putSigned(t.length, out);
    } else if (isDecimal(t.id)) {
        out.push_back(static_cast<char>(t.precision));
        out.push_back(static_cast<char>(t.scale));
    }
}

bool getTypeArguments(std::string_view& in, DataType& t) {
    if (hasLength(t.id)) {
        Int128 length;
        if (!getSigned(in, length) || length < DataType::kMax || length > INT32_MAX) return false;
        t.length = static_cast<int32_t>(length);
    } else if (isDecimal(t.id)) {
        if (in.size() < 2) return false;
        t.precision = static_cast<uint8_t>(in[0]);
        t.scale = static_cast<uint8_t>(in[1]);
        in.remove_prefix(2);
        if (t.precision < 1 || t.precision > 38 || t.scale > t.precision) return false;
    } else if (isApproximate(t.id)) {
        t.precision = t.id == TypeId::Real ? 24 : 53;
    }
    return true;
}

void encodeTypeWithFlags(const DataType& t, bool isNull, std::string& out) {
    uint8_t head = static_cast<uint8_t>(t.id);
    if (t.isNullLiteral()) head |= kNullLiteralFlag;
    if (isNull) head |= kNullValueFlag;
    out.push_back(static_cast<char>(head));
    if (!t.isNullLiteral()) putTypeArguments(t, out);
}

bool decodeTypeWithFlags(std::string_view& in, DataType& t, bool& isNull) {
    if (in.empty()) return false;
    const auto head = static_cast<uint8_t>(in.front());
    in.remove_prefix(1);
    if ((head & kIdMask) > kLastTypeId) return false;
    t = DataType::of(static_cast<TypeId>(head & kIdMask));
    isNull = (head & kNullValueFlag) != 0;
    if (head & kNullLiteralFlag) {
        if (t.id != TypeId::Int) return false;
        t = DataType::nullLiteral();
        return true;
    }
    return getTypeArguments(in, t);
}

}  // namespace

void encodeDataType(const DataType& type, std::string& out) {
    encodeTypeWithFlags(type, false, out);
}

void encodeValue(const Value& value, std::string& out) {
    const DataType& t = value.type();
    encodeTypeWithFlags(t, value.isNull(), out);
    if (value.isNull()) return;
    switch (t.id) {
        case TypeId::Bit:
        case TypeId::TinyInt:
        case TypeId::SmallInt:
        case TypeId::Int:
        case TypeId::BigInt:
            putSigned(value.asInt64(), out);
            return;
        case TypeId::Money:
        case TypeId::SmallMoney:
            putSigned(value.moneyScaled(), out);
            return;
        case TypeId::Decimal:
        case TypeId::Numeric:
            putSigned(value.decimalUnscaled(), out);
            return;
        case TypeId::Float:
        case TypeId::Real: {
            const double d = value.asDouble();
            char raw[8];
            std::memcpy(raw, &d, 8);
            out.append(raw, 8);
            return;
        }
        case TypeId::DateTime:
        case TypeId::SmallDateTime:
        case TypeId::Date:
            putSigned(value.days(), out);
            putSigned(value.ticks(), out);
            return;
        default:
            putVarint(value.bytes().size(), out);
            out += value.bytes();
            return;
    }
}

std::optional<DataType> tryDecodeDataType(std::string_view& in, int formatVersion) {
    if (formatVersion < 1 || formatVersion > kValueCodecVersion) return std::nullopt;
    std::string_view rest = in;
    DataType t;
    bool isNull;
    if (!decodeTypeWithFlags(rest, t, isNull) || isNull) return std::nullopt;
    in = rest;
    return t;
}

std::optional<Value> tryDecodeValue(std::string_view& in, int formatVersion) {
    if (formatVersion < 1 || formatVersion > kValueCodecVersion) return std::nullopt;
    std::string_view rest = in;
    DataType t;
    bool isNull;
    if (!decodeTypeWithFlags(rest, t, isNull)) return std::nullopt;
    Value v;
    if (isNull) {
        v = Value::null(t);
    } else {
        Int128 a, b;
        switch (t.id) {
            case TypeId::Bit:
            case TypeId::TinyInt:
            case TypeId::SmallInt:
            case TypeId::Int:
            case TypeId::BigInt:
                if (t.isNullLiteral() || !getSigned(rest, a) || a < INT64_MIN || a > INT64_MAX)
                    return std::nullopt;
                v = Value::integer(static_cast<int64_t>(a), t.id);
                break;
            case TypeId::Money:
            case TypeId::SmallMoney:
                if (!getSigned(rest, a) || a < INT64_MIN || a > INT64_MAX) return std::nullopt;
                v = Value::money(static_cast<int64_t>(a), t.id);
                break;
            case TypeId::Decimal:
            case TypeId::Numeric:
                if (!getSigned(rest, a)) return std::nullopt;
                v = Value::decimal(a, t);
                break;
            case TypeId::Float:
            case TypeId::Real: {
                if (rest.size() < 8) return std::nullopt;
                double d;
                std::memcpy(&d, rest.data(), 8);
                rest.remove_prefix(8);
                v = Value::floating(d, t.id);
                break;
            }
            case TypeId::DateTime:
            case TypeId::SmallDateTime:
            case TypeId::Date:
                if (!getSigned(rest, a) || !getSigned(rest, b) || a < INT32_MIN || a > INT32_MAX ||
                    b < 0 || b > INT32_MAX) {
                    return std::nullopt;
                }
                v = Value::datetime(static_cast<int32_t>(a), static_cast<int32_t>(b), t.id);
                break;
            default: {
                unsigned __int128 size;
                if (!getVarint(rest, size) || size > rest.size()) return std::nullopt;
                v = Value::string(std::string(rest.substr(0, static_cast<size_t>(size))), t);
                rest.remove_prefix(static_cast<size_t>(size));
                break;
            }
        }
    }
    in = rest;
    return v;
}

Value decodeValue(std::string_view& in, int formatVersion) {
    auto v = tryDecodeValue(in, formatVersion);
    if (!v) throw std::runtime_error("malformed value encoding");
    return std::move(*v);
}

DataType decodeDataType(std::string_view& in, int formatVersion) {
    auto t = tryDecodeDataType(in, formatVersion);
    if (!t) throw std::runtime_error("malformed data type encoding");
    return *t;
}

}  // namespace engine
