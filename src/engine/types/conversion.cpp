#include "engine/types/conversion.h"

#include <cctype>
#include <cmath>
#include <cstring>

#include "engine/types/datetime.h"
#include "engine/types/decimal_math.h"
#include "engine/types/literals.h"
#include "engine/types/render.h"
#include "engine/types/text.h"

namespace engine {

namespace {

// Families of types that convert alike.
enum class Family {
    String,
    LargeText,
    Binary,
    Image,
    Integer,
    Decimal,
    Money,
    Float,
    DateTime,
    Date,
    Guid,
    Variant
};

Family familyOf(TypeId id) {
    switch (id) {
        case TypeId::Char:
        case TypeId::VarChar:
        case TypeId::NChar:
        case TypeId::NVarChar:
            return Family::String;
        case TypeId::Text:
        case TypeId::NText:
            return Family::LargeText;
        case TypeId::Binary:
        case TypeId::VarBinary:
            return Family::Binary;
        case TypeId::Image:
            return Family::Image;
        case TypeId::Bit:
        case TypeId::TinyInt:
        case TypeId::SmallInt:
        case TypeId::Int:
        case TypeId::BigInt:
            return Family::Integer;
        case TypeId::Decimal:
        case TypeId::Numeric:
            return Family::Decimal;
        case TypeId::Money:
        case TypeId::SmallMoney:
            return Family::Money;
        case TypeId::Float:
        case TypeId::Real:
            return Family::Float;
        case TypeId::DateTime:
        case TypeId::SmallDateTime:
            return Family::DateTime;
        case TypeId::Date:
            return Family::Date;
        case TypeId::UniqueIdentifier:
            return Family::Guid;
        case TypeId::SqlVariant:
            return Family::Variant;
    }
    return Family::Variant;
}

constexpr auto I = ConversionAvailability::Implicit;
constexpr auto E = ConversionAvailability::ExplicitOnly;
constexpr auto N = ConversionAvailability::NotAllowed;

// Rows: from; columns: to. Order of Family.
constexpr ConversionAvailability kMatrix[12][12] = {
    //            Str Txt Bin Img Int Dec Mon Flt DT  Date Guid Var
    /* String */ {I, I, E, E, I, I, I, I, I, I, I, I},
    /* LgText */ {I, I, N, N, N, N, N, N, N, N, N, N},
    /* Binary */ {I, N, I, I, I, I, I, N, I, N, I, I},
    /* Image  */ {N, N, I, I, N, N, N, N, N, N, N, N},
    /* Int    */ {I, N, I, N, I, I, I, I, I, N, N, I},
    /* Dec    */ {I, N, I, N, I, I, I, I, I, N, N, I},
    /* Money  */ {I, N, I, N, I, I, I, I, I, N, N, I},
    /* Float  */ {I, N, I, N, I, I, I, I, I, N, N, I},
    /* DT     */ {I, N, I, N, E, E, E, E, I, I, N, I},
    /* Date   */ {I, N, E, N, N, N, N, N, I, I, N, I},
    /* Guid   */ {I, N, I, N, N, N, N, N, N, N, I, I},
    /* Var    */ {E, N, E, N, E, E, E, E, E, E, E, I},
};

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Name of a character source in 245/8114 messages.
std::string stringSourceName(TypeId id) {
    return isUnicode(id) ? "nvarchar" : "varchar";
}

// Type name in overflow and conversion messages: decimal is reported as numeric.
std::string messageName(TypeId id) {
    return isDecimal(id) ? "numeric" : std::string(typeName(id));
}

[[noreturn]] void overflow(const std::string& source, TypeId target) {
    throw SqlException(8115, {source, messageName(target)});
}

// An integer for an integer target. Bit takes any non-zero value as 1.
Value integerResult(Int128 v, TypeId target, bool fromInteger) {
    if (target == TypeId::Bit) return Value::bit(v != 0);
    const IntegerRange r = integerRange(target);
    if (v < r.min || v > r.max) {
        if (fromInteger && (target == TypeId::TinyInt || target == TypeId::SmallInt)) {
            throw SqlException(220, {std::string(typeName(target)), decimal::toString(v, 0)});
        }
        overflow("expression", target);
    }
    return Value::integer(static_cast<int64_t>(v), target);
}

constexpr int64_t kSmallMoneyLimit = 2147483647;  // 214748.3647 in 1/10000

Value moneyResult(Int128 scaled, TypeId target) {
    const Int128 max = target == TypeId::SmallMoney ? kSmallMoneyLimit : INT64_MAX;
    const Int128 min = target == TypeId::SmallMoney ? -kSmallMoneyLimit - 1 : INT64_MIN;
    if (scaled < min || scaled > max) overflow("expression", target);
    return Value::money(static_cast<int64_t>(scaled), target);
}

Value decimalResult(std::optional<Int128> v, const DataType& target, const std::string& source) {
    if (!v || !decimal::fitsPrecision(*v, target.precision)) overflow(source, target.id);
    return Value::decimal(*v, target);
}

Value floatResult(double d, TypeId target, const std::string& source) {
    if (!std::isfinite(d)) overflow(source, target);
    if (target == TypeId::Real) {
        if (std::fabs(d) > 3.40282346638528859812e+38) overflow(source, target);
        return Value::floating(static_cast<float>(d), TypeId::Real);
    }
    return Value::floating(d, TypeId::Float);
}

Value dateTimeFromDays(double days, const DataType& target, const std::string& source) {
    if (!std::isfinite(days) || std::fabs(days) > 4.0e6) overflow(source, target.id);
    double whole = std::floor(days);
    int64_t ticks = std::llround((days - whole) * kTicksPerDay);
    if (ticks >= kTicksPerDay) {
        ticks -= kTicksPerDay;
        whole += 1;
    }
    Value v =
        Value::datetime(static_cast<int32_t>(whole), static_cast<int32_t>(ticks), TypeId::DateTime);
    if (target.id == TypeId::SmallDateTime) v = makeDateTime(toCivil(v), TypeId::SmallDateTime);
    if (!dateInRange(v.days(), v.ticks(), target.id)) overflow(source, target.id);
    return v;
}

// Big-endian bytes of an integer, the rightmost `size` of them.
std::string bigEndian(uint64_t v, size_t size) {
    std::string out(size, '\0');
    for (size_t i = 0; i < size; ++i)
        out[size - 1 - i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return out;
}

uint64_t fromBigEndian(std::string_view bytes, size_t size) {
    // The rightmost `size` bytes; shorter input is zero-extended on the left.
    if (bytes.size() > size) bytes = bytes.substr(bytes.size() - size);
    uint64_t v = 0;
    for (char c : bytes)
        v = (v << 8) | static_cast<unsigned char>(c);
    return v;
}

size_t integerBytes(TypeId id) {
    switch (id) {
        case TypeId::Bit:
        case TypeId::TinyInt:
            return 1;
        case TypeId::SmallInt:
            return 2;
        case TypeId::Int:
            return 4;
        default:
            return 8;
    }
}

// ---- strings -------------------------------------------------------------------------

// Finishes a character result: code page repertoire, length cut, char padding.
Value stringResult(std::string utf8, const DataType& target) {
    if (!isUnicode(target.id)) utf8 = toWindows1252Repertoire(utf8);
    if (target.length > 0) {
        const size_t n = static_cast<size_t>(target.length);
        if (isAscii(utf8)) {
            if (utf8.size() > n) utf8.resize(n);
            if ((target.id == TypeId::Char || target.id == TypeId::NChar) && utf8.size() < n)
                utf8.append(n - utf8.size(), ' ');
        } else {
            utf8 = std::string(utf8Prefix(utf8, n));
            if (target.id == TypeId::Char || target.id == TypeId::NChar) {
                const size_t chars = utf8Length(utf8);
                if (chars < n) utf8.append(n - chars, ' ');
            }
        }
    }
    return Value::string(std::move(utf8), target);
}

Value binaryResult(std::string bytes, const DataType& target, bool numericSource) {
    if (target.length > 0) {
        const size_t n = static_cast<size_t>(target.length);
        if (bytes.size() > n) {
            // Numbers keep their least significant bytes; strings and binaries their start.
            bytes = numericSource ? bytes.substr(bytes.size() - n) : bytes.substr(0, n);
        }
        if (target.id == TypeId::Binary && bytes.size() < n) {
            if (numericSource) {
                bytes.insert(0, n - bytes.size(), '\0');
            } else {
                bytes.append(n - bytes.size(), '\0');
            }
        }
    }
    return Value::binary(std::move(bytes), target);
}

enum class IntegerText { Ok, Invalid, Overflow };

IntegerText parseIntegerText(std::string_view text, Int128& out) {
    std::string_view s = trimBlanks(text);
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    Int128 v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return IntegerText::Invalid;
        v = v * 10 + (c - '0');
        if (v > static_cast<Int128>(INT64_MAX) + 1) {
            // Keep scanning so that a later bad character still reports "invalid".
            for (char rest : s) {
                if (rest < '0' || rest > '9') return IntegerText::Invalid;
            }
            return IntegerText::Overflow;
        }
    }
    out = negative ? -v : v;
    return IntegerText::Ok;
}

Value stringToInteger(const Value& v, TypeId target) {
    const std::string& text = v.bytes();
    const std::string source = stringSourceName(v.typeId());
    if (target == TypeId::Bit) {
        const std::string_view t = trimBlanks(text);
        if (t.size() == 4 && strncasecmp(t.data(), "TRUE", 4) == 0) return Value::bit(true);
        if (t.size() == 5 && strncasecmp(t.data(), "FALSE", 5) == 0) return Value::bit(false);
    }
    Int128 parsed = 0;
    const IntegerText r = parseIntegerText(text, parsed);
    if (r == IntegerText::Invalid)
        throw SqlException(245, {source, text, std::string(typeName(target))});
    if (target == TypeId::Bit) return Value::bit(r == IntegerText::Overflow || parsed != 0);
    const IntegerRange range = integerRange(target);
    if (r == IntegerText::Overflow || parsed < range.min || parsed > range.max) {
        switch (target) {
            case TypeId::TinyInt:
                throw SqlException(244, {source, text, "INT1"});
            case TypeId::SmallInt:
                throw SqlException(244, {source, text, "INT2"});
            case TypeId::Int:
                throw SqlException(248, {source, text});
            default:
                throw SqlException(8114, {source, "bigint"});
        }
    }
    return Value::integer(static_cast<int64_t>(parsed), target);
}

Value stringToDecimal(const Value& v, const DataType& target) {
    const std::string source = stringSourceName(v.typeId());
    Int128 unscaled;
    int precision, scale;
    if (!decimal::parse(trimBlanks(v.bytes()), unscaled, precision, scale)) {
        throw SqlException(8114, {source, "numeric"});
    }
    return decimalResult(decimal::rescale(unscaled, scale, target.scale), target, source);
}

bool validFloatText(std::string_view s) {
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t digits = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
        ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
            ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        size_t expDigits = 0;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
            ++i, ++expDigits;
        if (expDigits == 0) return false;
    }
    return i == s.size();
}

Value stringToFloat(const Value& v, TypeId target) {
    const std::string source = stringSourceName(v.typeId());
    const std::string_view t = trimBlanks(v.bytes());
    if (t.empty()) return Value::floating(0, target);
    if (!validFloatText(t)) throw SqlException(8114, {source, std::string(typeName(target))});
    const double d = std::strtod(std::string(t).c_str(), nullptr);
    if (!std::isfinite(d)) throw SqlException(8114, {source, std::string(typeName(target))});
    return floatResult(d, target, source);
}

Value stringToMoney(const Value& v, TypeId target) {
    std::string_view s = trimBlanks(v.bytes());
    bool negative = false;
    auto takeSign = [&] {
        if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
            negative = s[0] == '-';
            s.remove_prefix(1);
            s = trimBlanks(s);
        }
    };
    takeSign();
    // A leading currency symbol ($, €, £, ¥) is allowed.
    for (std::string_view symbol : {"$", "\xE2\x82\xAC", "\xC2\xA3", "\xC2\xA5"}) {
        if (s.substr(0, symbol.size()) == symbol) {
            s.remove_prefix(symbol.size());
            s = trimBlanks(s);
            if (!negative) takeSign();
            break;
        }
    }
    std::string digits;
    for (char c : s) {
        if (c == ',') continue;  // grouping separators are ignored
        digits.push_back(c);
    }
    if (digits.empty()) return Value::money(0, target);
    Int128 unscaled;
    int precision, scale;
    if (digits[0] == '+' || digits[0] == '-' ||
        !decimal::parse(digits, unscaled, precision, scale)) {
        throw SqlException(235);
    }
    const auto scaled = decimal::rescale(negative ? -unscaled : unscaled, scale, 4);
    if (!scaled) overflow("expression", target);
    return moneyResult(*scaled, target);
}

DateFormat formatForStyle(int style, DateFormat session) {
    switch (style % 100) {
        case 1:
        case 10:
            return DateFormat::Mdy;
        case 3:
        case 4:
        case 5:
            return DateFormat::Dmy;
        case 2:
        case 11:
        case 20:
        case 21:
        case 23:
        case 26:
        case 27:
            return DateFormat::Ymd;
        default:
            return session;
    }
}

Value stringToDateTime(const Value& v, const DataType& target, int style, DateFormat dateFormat) {
    bool outOfRange = false;
    auto parsed =
        parseDateTimeText(v.bytes(), target.id, formatForStyle(style, dateFormat), &outOfRange);
    if (parsed) return *parsed;
    if (outOfRange)
        throw SqlException(242,
                           {std::string(typeName(v.typeId())), std::string(typeName(target.id))});
    throw SqlException(241);
}

Value stringToGuid(const Value& v) {
    std::string_view s = v.bytes();
    if (!s.empty() && s[0] == '{') {
        if (s.size() < 38 || s[37] != '}') throw SqlException(8169);
        s = s.substr(1, 36);
    }
    // Characters beyond the 36 of a GUID are ignored, as SQL Server does.
    if (s.size() < 36) throw SqlException(8169);
    s = s.substr(0, 36);
    std::string hex;
    for (size_t i = 0; i < 36; ++i) {
        const bool dashPosition = i == 8 || i == 13 || i == 18 || i == 23;
        if (dashPosition) {
            if (s[i] != '-') throw SqlException(8169);
            continue;
        }
        if (!std::isxdigit(static_cast<unsigned char>(s[i]))) throw SqlException(8169);
        hex.push_back(s[i]);
    }
    auto byteAt = [&hex](int i) {
        return static_cast<char>(std::stoi(hex.substr(static_cast<size_t>(2 * i), 2), nullptr, 16));
    };
    static constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    std::string bytes(16, '\0');
    for (int i = 0; i < 16; ++i)
        bytes[static_cast<size_t>(kOrder[i])] = byteAt(i);
    return Value::guid(std::move(bytes));
}

std::string hexToBytes(std::string_view hex, bool& ok) {
    ok = true;
    std::string out;
    if (hex.size() % 2 != 0) {
        ok = false;
        return out;
    }
    for (size_t i = 0; i < hex.size(); i += 2) {
        if (!std::isxdigit(static_cast<unsigned char>(hex[i])) ||
            !std::isxdigit(static_cast<unsigned char>(hex[i + 1]))) {
            ok = false;
            return out;
        }
        out.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    }
    return out;
}

Value stringToBinary(const Value& v, const DataType& target, int style) {
    if (style == 1 || style == 2) {
        std::string_view hex = v.bytes();
        if (style == 1) {
            if (hex.size() < 2 || hex[0] != '0' || (hex[1] != 'x' && hex[1] != 'X'))
                throw SqlException(
                    8114, {stringSourceName(v.typeId()), std::string(typeName(target.id))});
            hex.remove_prefix(2);
        }
        bool ok;
        std::string bytes = hexToBytes(hex, ok);
        if (!ok)
            throw SqlException(8114,
                               {stringSourceName(v.typeId()), std::string(typeName(target.id))});
        return binaryResult(std::move(bytes), target, false);
    }
    std::string bytes =
        isUnicode(v.typeId()) ? utf8ToUtf16le(v.bytes()) : utf8ToWindows1252(v.bytes());
    return binaryResult(std::move(bytes), target, false);
}

// A number as text for a character target: too long for the target gives "*" for
// integers going to char/varchar, and error 8115 otherwise.
Value numberToString(std::string text, const Value& v, const DataType& target) {
    if (target.length > 0 && text.size() > static_cast<size_t>(target.length)) {
        if (familyOf(v.typeId()) == Family::Integer && !isUnicode(target.id)) {
            text.assign(1, '*');
        } else {
            overflow(
                familyOf(v.typeId()) == Family::Integer ? "expression" : messageName(v.typeId()),
                target.id);
        }
    }
    return stringResult(std::move(text), target);
}

Value toString(const Value& v, const DataType& target, int style) {
    const Family from = familyOf(v.typeId());
    switch (from) {
        case Family::String:
        case Family::LargeText:
            return stringResult(v.bytes(), target);
        case Family::Integer:
        case Family::Decimal:
        case Family::Money:
        case Family::Float: {
            auto text = renderWithStyle(v, style);
            if (!text)
                throw SqlException(281, {std::to_string(style), std::string(typeName(v.typeId()))});
            return numberToString(std::move(*text), v, target);
        }
        case Family::DateTime:
        case Family::Date: {
            auto text = renderWithStyle(v, style);
            if (!text)
                throw SqlException(281, {std::to_string(style), std::string(typeName(v.typeId()))});
            return stringResult(std::move(*text), target);
        }
        case Family::Guid: {
            if (target.length > 0 && target.length < 36) throw SqlException(8170);
            return stringResult(renderAsText(v), target);
        }
        case Family::Binary:
        case Family::Image: {
            if (style == 1 || style == 2) return stringResult(*renderWithStyle(v, style), target);
            if (isUnicode(target.id)) return stringResult(utf16leToUtf8(v.bytes()), target);
            return stringResult(windows1252ToUtf8(v.bytes()), target);
        }
        case Family::Variant:
            break;
    }
    return stringResult(renderAsText(v), target);
}

// ---- numbers -------------------------------------------------------------------------

double dateTimeAsDays(const Value& v) {
    return v.days() + static_cast<double>(v.ticks()) / kTicksPerDay;
}

Value numberToInteger(const Value& v, TypeId target) {
    switch (familyOf(v.typeId())) {
        case Family::Integer:
            return integerResult(v.asInt64(), target, true);
        case Family::Decimal:
            // numeric -> int truncates.
            return integerResult(*decimal::rescale(v.decimalUnscaled(), v.type().scale, 0, false),
                                 target, false);
        case Family::Money:
            // money -> int rounds.
            return integerResult(*decimal::rescale(v.moneyScaled(), 4, 0, true), target, false);
        case Family::Float: {
            const double d = std::trunc(v.asDouble());
            if (target == TypeId::Bit) return Value::bit(v.asDouble() != 0);
            if (!(d >= -9.3e18 && d <= 9.3e18)) overflow("expression", target);
            return integerResult(static_cast<Int128>(d), target, false);
        }
        case Family::DateTime: {
            // datetime -> int rounds to the nearest day.
            const double days = std::floor(dateTimeAsDays(v) + 0.5);
            return integerResult(static_cast<Int128>(days), target, false);
        }
        case Family::Binary:
        case Family::Image: {
            const size_t n = integerBytes(target);
            uint64_t raw = fromBigEndian(v.bytes(), n);
            int64_t value;
            switch (n) {
                case 1:
                    value = target == TypeId::Bit ? (raw != 0) : static_cast<int64_t>(raw);
                    break;
                case 2:
                    value = static_cast<int16_t>(raw);
                    break;
                case 4:
                    value = static_cast<int32_t>(raw);
                    break;
                default:
                    value = static_cast<int64_t>(raw);
                    break;
            }
            return Value::integer(value, target);
        }
        default:
            break;
    }
    throw SqlException(529, {std::string(typeName(v.typeId())), std::string(typeName(target))});
}

Value numberToDecimal(const Value& v, const DataType& target) {
    switch (familyOf(v.typeId())) {
        case Family::Integer:
        case Family::Decimal:
        case Family::Money: {
            Int128 unscaled;
            int scale;
            decimal::exactParts(v, unscaled, scale);
            const std::string source = familyOf(v.typeId()) == Family::Integer
                                           ? std::string(typeName(v.typeId()))
                                           : messageName(v.typeId());
            return decimalResult(decimal::rescale(unscaled, scale, target.scale), target, source);
        }
        case Family::Float:
            return decimalResult(decimal::fromDouble(v.asDouble(), target.scale), target, "float");
        case Family::DateTime:
            return decimalResult(decimal::fromDouble(dateTimeAsDays(v), target.scale), target,
                                 "datetime");
        case Family::Binary:
        case Family::Image: {
            // Layout written by decimal -> binary: precision, scale, sign, 16 magnitude bytes.
            const std::string& b = v.bytes();
            if (b.size() < 19)
                throw SqlException(8114, {std::string(typeName(v.typeId())), "numeric"});
            unsigned __int128 m = 0;
            for (int i = 0; i < 16; ++i)
                m = (m << 8) | static_cast<unsigned char>(b[3 + static_cast<size_t>(i)]);
            Int128 unscaled = static_cast<Int128>(m);
            if (b[2] == 0) unscaled = -unscaled;
            return decimalResult(
                decimal::rescale(unscaled, static_cast<unsigned char>(b[1]), target.scale), target,
                std::string(typeName(v.typeId())));
        }
        default:
            break;
    }
    throw SqlException(529, {std::string(typeName(v.typeId())), std::string(typeName(target.id))});
}

Value numberToMoney(const Value& v, TypeId target) {
    switch (familyOf(v.typeId())) {
        case Family::Integer:
        case Family::Decimal:
        case Family::Money: {
            Int128 unscaled;
            int scale;
            decimal::exactParts(v, unscaled, scale);
            const auto scaled = decimal::rescale(unscaled, scale, 4);
            if (!scaled) overflow("expression", target);
            return moneyResult(*scaled, target);
        }
        case Family::Float:
        case Family::DateTime: {
            const double d =
                familyOf(v.typeId()) == Family::Float ? v.asDouble() : dateTimeAsDays(v);
            const auto scaled = decimal::fromDouble(d, 4);
            if (!scaled) overflow("expression", target);
            return moneyResult(*scaled, target);
        }
        case Family::Binary:
        case Family::Image: {
            const auto raw = static_cast<int64_t>(
                fromBigEndian(v.bytes(), target == TypeId::SmallMoney ? 4 : 8));
            return Value::money(target == TypeId::SmallMoney ? static_cast<int32_t>(raw) : raw,
                                target);
        }
        default:
            break;
    }
    throw SqlException(529, {std::string(typeName(v.typeId())), std::string(typeName(target))});
}

Value numberToFloat(const Value& v, TypeId target) {
    switch (familyOf(v.typeId())) {
        case Family::Integer:
            return floatResult(static_cast<double>(v.asInt64()), target, "expression");
        case Family::Decimal:
            return floatResult(decimal::toDouble(v.decimalUnscaled(), v.type().scale), target,
                               "numeric");
        case Family::Money:
            return floatResult(static_cast<double>(v.moneyScaled()) / 10000.0, target, "money");
        case Family::Float:
            return floatResult(v.asDouble(), target, "float");
        case Family::DateTime:
            return floatResult(dateTimeAsDays(v), target, "datetime");
        default:
            break;
    }
    throw SqlException(529, {std::string(typeName(v.typeId())), std::string(typeName(target))});
}

// ---- dates ---------------------------------------------------------------------------

Value toDateTime(const Value& v, const DataType& target, int style, DateFormat dateFormat) {
    switch (familyOf(v.typeId())) {
        case Family::String:
            return stringToDateTime(v, target, style, dateFormat);
        case Family::Integer:
            return dateTimeFromDays(static_cast<double>(v.asInt64()), target, "expression");
        case Family::Decimal:
            return dateTimeFromDays(decimal::toDouble(v.decimalUnscaled(), v.type().scale), target,
                                    "expression");
        case Family::Money:
            return dateTimeFromDays(static_cast<double>(v.moneyScaled()) / 10000.0, target,
                                    "expression");
        case Family::Float:
            return dateTimeFromDays(v.asDouble(), target, "expression");
        case Family::DateTime:
        case Family::Date: {
            if (target.id == TypeId::Date) return Value::datetime(v.days(), 0, TypeId::Date);
            Value r = Value::datetime(v.days(), v.ticks(), TypeId::DateTime);
            if (target.id == TypeId::SmallDateTime) {
                int32_t days = v.days();
                int32_t minutes = v.ticks() / (60 * kTicksPerSecond);
                if (v.ticks() % (60 * kTicksPerSecond) >= 30 * kTicksPerSecond) ++minutes;
                if (minutes == 24 * 60) {
                    minutes = 0;
                    ++days;
                }
                r = Value::datetime(days, minutes * 60 * kTicksPerSecond, TypeId::SmallDateTime);
            }
            if (!dateInRange(r.days(), r.ticks(), target.id)) {
                throw SqlException(
                    242, {std::string(typeName(v.typeId())), std::string(typeName(target.id))});
            }
            return r;
        }
        case Family::Binary:
        case Family::Image: {
            const uint64_t raw = fromBigEndian(v.bytes(), 8);
            Value r = Value::datetime(static_cast<int32_t>(raw >> 32),
                                      static_cast<int32_t>(raw & 0xFFFFFFFF), TypeId::DateTime);
            if (r.ticks() < 0 || r.ticks() >= kTicksPerDay ||
                !dateInRange(r.days(), r.ticks(), TypeId::DateTime)) {
                overflow("expression", target.id);
            }
            return target.id == TypeId::DateTime ? r : toDateTime(r, target, 0, dateFormat);
        }
        default:
            break;
    }
    throw SqlException(529, {std::string(typeName(v.typeId())), std::string(typeName(target.id))});
}

// ---- binary and guid -----------------------------------------------------------------

Value toBinary(const Value& v, const DataType& target, int style) {
    const TypeId id = v.typeId();
    switch (familyOf(id)) {
        case Family::String:
        case Family::LargeText:
            return stringToBinary(v, target, style);
        case Family::Binary:
        case Family::Image:
        case Family::Guid:
            return binaryResult(v.bytes(), target, false);
        case Family::Integer:
            return binaryResult(bigEndian(static_cast<uint64_t>(v.asInt64()), integerBytes(id)),
                                target, true);
        case Family::Money:
            return binaryResult(
                bigEndian(static_cast<uint64_t>(v.moneyScaled()), id == TypeId::SmallMoney ? 4 : 8),
                target, true);
        case Family::Float: {
            uint64_t bits;
            const double d = v.asDouble();
            std::memcpy(&bits, &d, sizeof bits);
            return binaryResult(bigEndian(bits, 8), target, true);
        }
        case Family::Decimal: {
            const Int128 u = v.decimalUnscaled();
            const unsigned __int128 m =
                u < 0 ? -static_cast<unsigned __int128>(u) : static_cast<unsigned __int128>(u);
            std::string out;
            out.push_back(static_cast<char>(v.type().precision));
            out.push_back(static_cast<char>(v.type().scale));
            out.push_back(static_cast<char>(u < 0 ? 0 : 1));
            out += bigEndian(static_cast<uint64_t>(m >> 64), 8);
            out += bigEndian(static_cast<uint64_t>(m), 8);
            return binaryResult(std::move(out), target, true);
        }
        case Family::DateTime:
        case Family::Date: {
            const uint64_t raw = (static_cast<uint64_t>(static_cast<uint32_t>(v.days())) << 32) |
                                 static_cast<uint32_t>(v.ticks());
            return binaryResult(bigEndian(raw, 8), target, true);
        }
        case Family::Variant:
            break;
    }
    throw SqlException(529, {std::string(typeName(id)), std::string(typeName(target.id))});
}

Value toGuid(const Value& v) {
    switch (familyOf(v.typeId())) {
        case Family::String:
        case Family::LargeText:
            return stringToGuid(v);
        case Family::Guid:
            return v.withType(DataType::of(TypeId::UniqueIdentifier));
        case Family::Binary:
        case Family::Image: {
            std::string b = v.bytes().substr(0, 16);
            b.resize(16, '\0');
            return Value::guid(std::move(b));
        }
        default:
            break;
    }
    throw SqlException(529, {std::string(typeName(v.typeId())), "uniqueidentifier"});
}

}  // namespace

bool parseDateFormat(std::string_view text, DateFormat& out) {
    static constexpr std::pair<std::string_view, DateFormat> kFormats[] = {
        {"mdy", DateFormat::Mdy}, {"dmy", DateFormat::Dmy}, {"ymd", DateFormat::Ymd},
        {"ydm", DateFormat::Ydm}, {"myd", DateFormat::Myd}, {"dym", DateFormat::Dym},
    };
    if (text.size() != 3) return false;
    for (const auto& [name, format] : kFormats) {
        if (strncasecmp(name.data(), text.data(), 3) == 0) {
            out = format;
            return true;
        }
    }
    return false;
}

ConversionAvailability conversionAvailability(TypeId from, TypeId to) {
    return kMatrix[static_cast<int>(familyOf(from))][static_cast<int>(familyOf(to))];
}

bool implicitConversionAllowed(TypeId from, TypeId to) {
    return conversionAvailability(from, to) == ConversionAvailability::Implicit;
}

void checkConversion(const DataType& from, const DataType& to, ConversionKind kind) {
    if (from.isNullLiteral()) return;
    switch (conversionAvailability(from.id, to.id)) {
        case ConversionAvailability::Implicit:
            return;
        case ConversionAvailability::ExplicitOnly:
            if (kind == ConversionKind::Explicit) return;
            throw SqlException(257, {std::string(typeName(from.id)), std::string(typeName(to.id))});
        case ConversionAvailability::NotAllowed:
            if (kind == ConversionKind::Explicit) {
                throw SqlException(529,
                                   {std::string(typeName(from.id)), std::string(typeName(to.id))});
            }
            throw SqlException(206, {std::string(typeName(from.id)), std::string(typeName(to.id))});
    }
}

Value convert(const Value& value, const DataType& target, ConversionKind kind, int style,
              DateFormat dateFormat) {
    checkConversion(value.type(), target, kind);
    if (value.isNull()) return Value::null(target);
    const Family from = familyOf(value.typeId());
    switch (familyOf(target.id)) {
        case Family::String:
        case Family::LargeText:
            return toString(value, target, style);
        case Family::Integer:
            if (from == Family::String || from == Family::LargeText)
                return stringToInteger(value, target.id);
            return numberToInteger(value, target.id);
        case Family::Decimal:
            if (from == Family::String) return stringToDecimal(value, target);
            return numberToDecimal(value, target);
        case Family::Money:
            if (from == Family::String) return stringToMoney(value, target.id);
            return numberToMoney(value, target.id);
        case Family::Float:
            if (from == Family::String) return stringToFloat(value, target.id);
            return numberToFloat(value, target.id);
        case Family::DateTime:
        case Family::Date:
            return toDateTime(value, target, style, dateFormat);
        case Family::Binary:
        case Family::Image:
            return toBinary(value, target, style);
        case Family::Guid:
            return toGuid(value);
        case Family::Variant:
            return value;  // a sql_variant keeps the value and its base type
    }
    return value;
}

bool fitsColumn(const Value& value, const DataType& columnType) {
    if (value.isNull() || columnType.length <= 0) return true;
    const size_t n = static_cast<size_t>(columnType.length);
    if (isCharacter(columnType.id)) {
        const std::string_view s = trimTrailingBlanks(value.bytes());
        return s.size() <= n || utf8Length(s) <= n;
    }
    if (isBinary(columnType.id)) return value.bytes().size() <= n;
    return true;
}

Value assignToColumn(const Value& value, const DataType& columnType, DateFormat dateFormat) {
    if (value.isNull()) return Value::null(columnType);
    // Fast paths of bulk updates: a value already of the column's type, or a varchar
    // short enough in bytes (hence in characters) for a varchar column.
    if (value.type() == columnType && !isCharacter(columnType.id) && !isBinary(columnType.id))
        return value;
    if (value.typeId() == TypeId::VarChar && columnType.id == TypeId::VarChar &&
        (columnType.length == DataType::kMax ||
         value.bytes().size() <= static_cast<size_t>(columnType.length)) &&
        isWindows1252Repertoire(value.bytes())) {
        return value.withType(columnType);
    }
    const bool stringTarget = isCharacter(columnType.id);
    const bool binaryTarget = isBinary(columnType.id);
    if ((stringTarget || binaryTarget) && columnType.length > 0) {
        // Convert without a length limit first, then check what the column would lose.
        DataType unbounded = columnType;
        unbounded.id = columnType.id == TypeId::Char     ? TypeId::VarChar
                       : columnType.id == TypeId::NChar  ? TypeId::NVarChar
                       : columnType.id == TypeId::Binary ? TypeId::VarBinary
                                                         : columnType.id;
        unbounded.length = DataType::kMax;
        Value full = convert(value, unbounded, ConversionKind::Implicit, 0, dateFormat);
        if (!fitsColumn(full, columnType)) throw SqlException(truncationMessage());
        if (stringTarget) return stringResult(full.bytes(), columnType);
        return binaryResult(full.bytes(), columnType, false);
    }
    return convert(value, columnType, ConversionKind::Implicit, 0, dateFormat);
}

SqlMessage truncationMessage() {
    return sqlMessage(8152);
}

SqlMessage verboseTruncationMessage(std::string_view table, std::string_view column,
                                    const Value& value, const DataType& columnType) {
    std::string shown = renderAsText(value);
    if (columnType.length > 0)
        shown = std::string(utf8Prefix(shown, static_cast<size_t>(columnType.length)));
    return sqlMessage(2628, {std::string(table), std::string(column), shown});
}

}  // namespace engine
