// Functions of no family: ISNULL, COALESCE, NULLIF, NEWID, ISNUMERIC.
#include <cctype>
#include <random>

#include "engine/types/compare.h"
#include "engine/types/function_support.h"
#include "engine/types/type_rules.h"

namespace engine::functions {

namespace {

using Types = std::span<const DataType>;
using Constants = std::span<const Value* const>;
using Args = std::span<const Value>;

DataType isnullType(Types t, Constants) {
    return isnullResultType(t[0], t[1]);
}
Value isnullEval(Args a, FunctionContext& ctx) {
    const DataType t = isnullResultType(a[0].type(), a[1].type());
    // The replacement takes the first argument's type and may be cut to its length.
    const Value& chosen = a[0].isNull() ? a[1] : a[0];
    return convert(chosen, t, ConversionKind::Implicit, 0, ctx.dateFormat);
}

DataType coalesceType(Types t, Constants) {
    bool allNullLiterals = true;
    for (const DataType& x : t)
        allNullLiterals = allNullLiterals && x.isNullLiteral();
    if (allNullLiterals) throw SqlException(4127);
    return commonResultType(t);
}
Value coalesceEval(Args a, FunctionContext& ctx) {
    std::vector<DataType> types;
    for (const Value& v : a)
        types.push_back(v.type());
    const DataType t = commonResultType(types);
    for (const Value& v : a) {
        if (!v.isNull()) return convert(v, t, ConversionKind::Implicit, 0, ctx.dateFormat);
    }
    return Value::null(t);
}

DataType nullifType(Types t, Constants) {
    comparisonType(t[0], t[1]);
    return t[0].isNullLiteral() ? DataType::of(TypeId::Int) : t[0];
}
Value nullifEval(Args a, FunctionContext& ctx) {
    const DataType t = a[0].type().isNullLiteral() ? DataType::of(TypeId::Int) : a[0].type();
    if (a[0].isNull()) return Value::null(t);
    if (compareValues(a[0], a[1], ctx.dateFormat) == Comparison::Equal) return Value::null(t);
    return a[0];
}

DataType newidType(Types, Constants) {
    return DataType::of(TypeId::UniqueIdentifier);
}
Value newidEval(Args, FunctionContext& ctx) {
    unsigned char bytes[16];
    if (ctx.random) {
        ctx.random(bytes, sizeof bytes);
    } else {
        std::random_device device;
        for (unsigned char& b : bytes)
            b = static_cast<unsigned char>(device() & 0xFF);
    }
    // Version 4 and the RFC 4122 variant, as SQL Server's NEWID values show them
    // (byte 7 holds the version nibble in SQL Server's byte order).
    bytes[7] = static_cast<unsigned char>((bytes[7] & 0x0F) | 0x40);
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
    return Value::guid(std::string(reinterpret_cast<const char*>(bytes), sizeof bytes));
}

// What SQL Server's ISNUMERIC accepts: text convertible to int, money or float, so
// "$1,000.50", "-", "." and "1e5" are numeric while "" and "abc" are not.
bool looksNumeric(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    if (s.empty()) return false;
    size_t i = 0;
    auto sign = [&] {
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    };
    sign();
    for (std::string_view symbol : {"$", "\xE2\x82\xAC", "\xC2\xA3", "\xC2\xA5"}) {
        if (s.substr(i, symbol.size()) == symbol) {
            i += symbol.size();
            sign();
            break;
        }
    }
    size_t digits = 0;
    bool point = false;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (std::isdigit(static_cast<unsigned char>(c))) {
            ++digits;
        } else if (c == ',' && !point) {
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D') && digits > 0) {
        ++i;
        sign();
        size_t exponentDigits = 0;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
            ++i, ++exponentDigits;
        if (exponentDigits == 0) return false;
    }
    return i == s.size();
}

DataType intType(Types, Constants) {
    return DataType::of(TypeId::Int);
}
Value isnumericEval(Args a, FunctionContext&) {
    const Value& v = a[0];
    if (v.isNull()) return Value::integer(0);
    if (isNumeric(v.typeId())) return Value::integer(1);
    if (!isCharacter(v.typeId())) return Value::integer(0);
    return Value::integer(looksNumeric(v.bytes()) ? 1 : 0);
}

constexpr ScalarFunction kFunctions[] = {
    {"ISNULL", 2, 2, false, true, isnullType, isnullEval},
    {"COALESCE", 2, 255, false, true, coalesceType, coalesceEval},
    {"NULLIF", 2, 2, false, true, nullifType, nullifEval},
    {"NEWID", 0, 0, false, false, newidType, newidEval},
    {"ISNUMERIC", 1, 1, false, true, intType, isnumericEval},
};

}  // namespace

std::span<const ScalarFunction> otherFunctions() {
    return kFunctions;
}

}  // namespace engine::functions
