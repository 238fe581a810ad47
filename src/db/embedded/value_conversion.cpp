#include "db/embedded/value_conversion.h"

#include "engine/types/datetime.h"

#include <cmath>
#include <cstdio>

namespace db::embedded {

namespace {

using engine::TypeId;

std::string decimalText(engine::Int128 unscaled, int scale) {
    const bool negative = unscaled < 0;
    unsigned __int128 magnitude = negative ? static_cast<unsigned __int128>(-(unscaled + 1)) + 1
                                           : static_cast<unsigned __int128>(unscaled);
    // Digits from the last one backwards, padded so that one stands before the point.
    std::string reversed;
    do {
        reversed += static_cast<char>('0' + static_cast<int>(magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    while (reversed.size() <= static_cast<size_t>(scale)) reversed += '0';
    std::string text = negative ? "-" : "";
    for (size_t i = reversed.size(); i-- > 0;) {
        text += reversed[i];
        if (scale > 0 && i == static_cast<size_t>(scale)) text += '.';
    }
    return text;
}

std::string guidText(const std::string& b) {
    if (b.size() != 16) return b;
    auto byte = [&](int i) { return static_cast<unsigned>(static_cast<unsigned char>(b[static_cast<size_t>(i)])); };
    char text[40];
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", byte(3),
                  byte(2), byte(1), byte(0), byte(5), byte(4), byte(7), byte(6), byte(8), byte(9), byte(10), byte(11),
                  byte(12), byte(13), byte(14), byte(15));
    return text;
}

bool beyondLatin1(const std::string& utf8) {
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        // Latin-1 letters take two bytes led by 0xC2 or 0xC3; anything else above ASCII is beyond.
        if (c >= 0x80 && c != 0xC2 && c != 0xC3 && (c & 0xC0) != 0x80) return true;
    }
    return false;
}


}  // namespace

Variant toVariant(const engine::Value& value) {
    if (value.isNull()) return Variant();
    switch (value.typeId()) {
        case TypeId::Bit:
            return Variant::boolean(value.asInt64() != 0);
        case TypeId::TinyInt:
        case TypeId::SmallInt:
        case TypeId::Int:
        case TypeId::BigInt:
            return Variant::integer(value.asInt64());
        case TypeId::Decimal:
        case TypeId::Numeric:
            return Variant::decimal(decimalText(value.decimalUnscaled(), value.type().scale));
        case TypeId::Money:
        case TypeId::SmallMoney:
            return Variant::currency(value.moneyScaled());
        case TypeId::Float:
            return Variant::real(value.asDouble());
        case TypeId::Real: {
            // A real holds 7 significant digits: 8.1 stays 8.1, not 8.100000381...
            char text[32];
            std::snprintf(text, sizeof text, "%.7g", value.asDouble());
            return Variant::real(std::strtod(text, nullptr));
        }
        case TypeId::DateTime:
        case TypeId::SmallDateTime:
        case TypeId::Date: {
            const engine::CivilDateTime c = engine::toCivil(value);
            return Variant::dateTime(DateTime{c.year, c.month, c.day, c.hour, c.minute, c.second, c.millisecond});
        }
        case TypeId::Char:
        case TypeId::VarChar:
        case TypeId::Text:
        case TypeId::NChar:
        case TypeId::NVarChar:
        case TypeId::NText:
            return Variant::text(value.bytes());
        case TypeId::Binary:
        case TypeId::VarBinary:
        case TypeId::Image:
            return Variant::binary(value.bytes());
        case TypeId::UniqueIdentifier:
            return Variant::text(guidText(value.bytes()));
        case TypeId::SqlVariant:
            return Variant::text(value.bytes());
    }
    return Variant();
}

engine::Value toEngineValue(const Variant& value) {
    switch (value.kind()) {
        case Variant::Kind::Null:
            return engine::Value();
        case Variant::Kind::Boolean:
            return engine::Value::bit(value.boolValue());
        case Variant::Kind::Integer: {
            const int64_t v = value.intValue();
            const bool fitsInt = v >= INT32_MIN && v <= INT32_MAX;
            return engine::Value::integer(v, fitsInt ? TypeId::Int : TypeId::BigInt);
        }
        case Variant::Kind::Double:
            return engine::Value::floating(value.doubleValue());
        case Variant::Kind::Currency:
            return engine::Value::money(value.currencyScaled());
        case Variant::Kind::Decimal: {
            const std::string& text = value.str();
            engine::Int128 unscaled = 0;
            int digits = 0, scale = 0;
            bool afterPoint = false;
            for (char c : text) {
                if (c == '.') {
                    afterPoint = true;
                } else if (c >= '0' && c <= '9' && digits < 38) {
                    unscaled = unscaled * 10 + (c - '0');
                    ++digits;
                    if (afterPoint) ++scale;
                }
            }
            if (!text.empty() && text[0] == '-') unscaled = -unscaled;
            const auto precision = static_cast<uint8_t>(std::max(digits, std::max(scale, 1)));
            return engine::Value::decimal(unscaled, engine::DataType::decimal(precision, static_cast<uint8_t>(scale)));
        }
        case Variant::Kind::Text:
            return beyondLatin1(value.str()) ? engine::Value::nvarchar(value.str()) : engine::Value::varchar(value.str());
        case Variant::Kind::DateTime: {
            const DateTime& d = value.dateTimeValue();
            return engine::makeDateTime(
                engine::CivilDateTime{d.year, d.month, d.day, d.hour, d.minute, d.second, d.millisecond});
        }
        case Variant::Kind::Binary:
            return engine::Value::binary(value.str(), engine::DataType{TypeId::VarBinary,
                                                                       static_cast<int32_t>(std::max<size_t>(value.str().size(), 1)), 0, 0});
    }
    return engine::Value();
}

FieldInfo toFieldInfo(const engine::ResultColumn& column, const std::string& baseTable) {
    FieldInfo info;
    info.name = column.name;
    info.nullable = column.nullable;
    info.baseColumn = column.baseColumn;
    info.baseTable = column.baseColumn.empty() ? "" : baseTable;
    const auto& t = column.type;
    const int32_t length = t.length == engine::DataType::kMax ? 0 : t.length;
    switch (t.id) {
        case TypeId::Bit: info.type = FieldType::Boolean; break;
        case TypeId::TinyInt: info.type = FieldType::UnsignedTinyInt; break;
        case TypeId::SmallInt: info.type = FieldType::SmallInt; break;
        case TypeId::Int: info.type = FieldType::Integer; break;
        case TypeId::BigInt: info.type = FieldType::BigInt; break;
        case TypeId::Decimal:
        case TypeId::Numeric:
            info.type = FieldType::Numeric;
            info.precision = t.precision;
            info.scale = t.scale;
            break;
        case TypeId::Money:
        case TypeId::SmallMoney: info.type = FieldType::Currency; break;
        case TypeId::Float: info.type = FieldType::Double; break;
        case TypeId::Real: info.type = FieldType::Single; break;
        case TypeId::DateTime:
        case TypeId::SmallDateTime:
        case TypeId::Date: info.type = FieldType::DateTime; break;
        case TypeId::Char: info.type = FieldType::Char; info.definedSize = length; break;
        case TypeId::VarChar:
            info.type = t.length == engine::DataType::kMax ? FieldType::LongVarChar : FieldType::VarChar;
            info.definedSize = length;
            break;
        case TypeId::Text: info.type = FieldType::LongVarChar; break;
        case TypeId::NChar: info.type = FieldType::WChar; info.definedSize = length; break;
        case TypeId::NVarChar:
            info.type = t.length == engine::DataType::kMax ? FieldType::LongVarWChar : FieldType::WVarChar;
            info.definedSize = length;
            break;
        case TypeId::NText: info.type = FieldType::LongVarWChar; break;
        case TypeId::Binary: info.type = FieldType::Binary; info.definedSize = length; break;
        case TypeId::VarBinary:
            info.type = t.length == engine::DataType::kMax ? FieldType::LongVarBinary : FieldType::VarBinary;
            info.definedSize = length;
            break;
        case TypeId::Image: info.type = FieldType::LongVarBinary; break;
        case TypeId::UniqueIdentifier: info.type = FieldType::Guid; break;
        case TypeId::SqlVariant: info.type = FieldType::Unknown; break;
    }
    return info;
}

}  // namespace db::embedded
