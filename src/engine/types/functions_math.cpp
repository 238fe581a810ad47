// Mathematical functions: ABS, ROUND, FLOOR, CEILING, SIGN, POWER.
#include <cmath>
#include <cstdio>

#include "engine/types/decimal_math.h"
#include "engine/types/function_support.h"

namespace engine::functions {

namespace {

using Types = std::span<const DataType>;
using Constants = std::span<const Value* const>;
using Args = std::span<const Value>;

// The numeric type a function works in: numbers keep theirs, strings become float.
DataType numericArgumentType(const DataType& t, std::string_view function) {
    if (t.isNullLiteral()) return DataType::of(TypeId::Int);
    if (isNumeric(t.id)) return t;
    if (isCharacter(t.id) && !isLargeObject(t.id)) return DataType::floating(TypeId::Float);
    invalidArgument(t, 1, function);
}

Value asNumeric(const Value& v, const DataType& t, const FunctionContext& ctx) {
    if (v.type() == t) return v;
    return convert(v, t, ConversionKind::Implicit, 0, ctx.dateFormat);
}

[[noreturn]] void overflow(const DataType& t) {
    throw SqlException(8115,
                       {"expression", isDecimal(t.id) ? "numeric" : std::string(typeName(t.id))});
}

Value integerOfType(Int128 v, const DataType& t) {
    const IntegerRange range = integerRange(t.id);
    if (v < range.min || v > range.max) overflow(t);
    return Value::integer(static_cast<int64_t>(v), t.id);
}

Value moneyOfType(Int128 v, const DataType& t) {
    const Int128 lo = t.id == TypeId::SmallMoney ? -2147483648LL : INT64_MIN;
    const Int128 hi = t.id == TypeId::SmallMoney ? 2147483647 : INT64_MAX;
    if (v < lo || v > hi) overflow(t);
    return Value::money(static_cast<int64_t>(v), t.id);
}

Value decimalOfType(std::optional<Int128> v, const DataType& t) {
    if (!v || !decimal::fitsPrecision(*v, t.precision)) overflow(t);
    return Value::decimal(*v, t);
}

// Rounds an unscaled value to `digits` decimals (negative: to tens, hundreds ...),
// keeping its scale; truncates instead when truncate is set.
std::optional<Int128> roundUnscaled(Int128 v, int scale, int64_t digits, bool truncate) {
    if (digits >= scale) return v;
    const int64_t drop = scale - digits;
    if (drop > 38) return Int128{0};
    const auto reduced = decimal::rescale(v, scale, scale - static_cast<int>(drop), !truncate);
    return decimal::rescale(*reduced, scale - static_cast<int>(drop), scale);
}

double roundDouble(double x, int64_t digits, bool truncate) {
    if (!std::isfinite(x)) return x;
    if (truncate) {
        const double f = std::pow(10.0, static_cast<double>(digits));
        return std::trunc(x * f) / f;
    }
    // Through the shortest decimal text so that 2.5 and 1.005 round away from zero as
    // written.
    Int128 u;
    int scale;
    if (decimal::fromDoubleShortest(x, u, scale)) {
        const auto r = roundUnscaled(u, scale, digits, false);
        if (r) return decimal::toDouble(*r, scale);
    }
    const double f = std::pow(10.0, static_cast<double>(digits));
    return std::round(x * f) / f;
}

// ---- ABS -------------------------------------------------------------------------------

DataType absType(Types t, Constants) {
    return numericArgumentType(t[0], "abs");
}
Value absEval(Args a, FunctionContext& ctx) {
    const DataType t = numericArgumentType(a[0].type(), "abs");
    if (a[0].isNull()) return Value::null(t);
    const Value v = asNumeric(a[0], t, ctx);
    if (isInteger(t.id)) {
        const int64_t x = v.asInt64();
        return integerOfType(x < 0 ? -static_cast<Int128>(x) : x, t);
    }
    if (isDecimal(t.id))
        return Value::decimal(v.decimalUnscaled() < 0 ? -v.decimalUnscaled() : v.decimalUnscaled(),
                              t);
    if (isMoney(t.id))
        return moneyOfType(
            v.moneyScaled() < 0 ? -static_cast<Int128>(v.moneyScaled()) : v.moneyScaled(), t);
    return Value::floating(std::fabs(v.asDouble()), t.id);
}

// ---- ROUND -----------------------------------------------------------------------------

DataType roundType(Types t, Constants) {
    return numericArgumentType(t[0], "round");
}
Value roundEval(Args a, FunctionContext& ctx) {
    const DataType t = numericArgumentType(a[0].type(), "round");
    if (a[0].isNull() || a[1].isNull()) return Value::null(t);
    const int64_t digits = argumentInteger(a[1], ctx);
    const bool truncate = a.size() > 2 && !a[2].isNull() && argumentInteger(a[2], ctx) != 0;
    const Value v = asNumeric(a[0], t, ctx);
    if (isInteger(t.id)) return integerOfType(*roundUnscaled(v.asInt64(), 0, digits, truncate), t);
    if (isDecimal(t.id))
        return decimalOfType(roundUnscaled(v.decimalUnscaled(), t.scale, digits, truncate), t);
    if (isMoney(t.id)) {
        const auto r = roundUnscaled(v.moneyScaled(), 4, digits, truncate);
        if (!r) overflow(t);
        return moneyOfType(*r, t);
    }
    return Value::floating(roundDouble(v.asDouble(), digits, truncate), t.id);
}

// ---- FLOOR / CEILING / SIGN ------------------------------------------------------------

DataType wholeType(const DataType& t) {
    if (isDecimal(t.id)) return DataType{t.id, 0, t.precision, 0};
    return t;
}

template <bool Ceiling>
DataType floorCeilingType(Types t, Constants) {
    return wholeType(numericArgumentType(t[0], Ceiling ? "ceiling" : "floor"));
}

// Floor or ceiling of unscaled/scale to a whole number, still at `scale`.
Int128 wholeUnscaled(Int128 v, int scale, bool ceiling) {
    if (scale == 0) return v;
    const auto factor = static_cast<Int128>(decimal::pow10(scale));
    Int128 q = v / factor;
    const Int128 r = v % factor;
    if (r != 0 && ((r > 0) == ceiling)) q += ceiling ? 1 : -1;
    return q;
}

template <bool Ceiling>
Value floorCeilingEval(Args a, FunctionContext& ctx) {
    const DataType source = numericArgumentType(a[0].type(), Ceiling ? "ceiling" : "floor");
    const DataType t = wholeType(source);
    if (a[0].isNull()) return Value::null(t);
    const Value v = asNumeric(a[0], source, ctx);
    if (isInteger(t.id)) return v;
    if (isDecimal(t.id))
        return decimalOfType(wholeUnscaled(v.decimalUnscaled(), source.scale, Ceiling), t);
    if (isMoney(t.id)) return moneyOfType(wholeUnscaled(v.moneyScaled(), 4, Ceiling) * 10000, t);
    return Value::floating(Ceiling ? std::ceil(v.asDouble()) : std::floor(v.asDouble()), t.id);
}

DataType signType(Types t, Constants) {
    return numericArgumentType(t[0], "sign");
}
Value signEval(Args a, FunctionContext& ctx) {
    const DataType t = numericArgumentType(a[0].type(), "sign");
    if (a[0].isNull()) return Value::null(t);
    const Value v = asNumeric(a[0], t, ctx);
    auto sign = [](auto x) { return x > 0 ? 1 : (x < 0 ? -1 : 0); };
    if (isInteger(t.id)) return Value::integer(sign(v.asInt64()), t.id);
    if (isDecimal(t.id)) {
        const Int128 one = static_cast<Int128>(decimal::pow10(t.scale));
        return decimalOfType(sign(v.decimalUnscaled()) * one, t);
    }
    if (isMoney(t.id)) return Value::money(sign(v.moneyScaled()) * 10000, t.id);
    return Value::floating(sign(v.asDouble()), t.id);
}

// ---- POWER -----------------------------------------------------------------------------

DataType powerResultType(const DataType& base) {
    const DataType t = numericArgumentType(base, "power");
    switch (t.id) {
        case TypeId::Bit:
        case TypeId::TinyInt:
        case TypeId::SmallInt:
            return DataType::of(TypeId::Int);
        case TypeId::Decimal:
        case TypeId::Numeric:
            return DataType{t.id, 0, 38, t.scale};
        case TypeId::Real:
            return DataType::floating(TypeId::Float);
        default:
            return t;
    }
}
DataType powerType(Types t, Constants) {
    if (!t[1].isNullLiteral() && !isNumeric(t[1].id) && !isCharacter(t[1].id))
        invalidArgument(t[1], 2, "power");
    return powerResultType(t[0]);
}
Value powerEval(Args a, FunctionContext& ctx) {
    const DataType t = powerResultType(a[0].type());
    if (a[0].isNull() || a[1].isNull()) return Value::null(t);
    const double base = convert(a[0], DataType::floating(TypeId::Float), ConversionKind::Implicit,
                                0, ctx.dateFormat)
                            .asDouble();
    const double exponent = convert(a[1], DataType::floating(TypeId::Float),
                                    ConversionKind::Implicit, 0, ctx.dateFormat)
                                .asDouble();
    if (isInteger(t.id) && exponent >= 0 && exponent == std::trunc(exponent) && exponent < 200) {
        // Exact integer power with overflow detection.
        int64_t result = 1;
        const auto b = static_cast<int64_t>(base);
        for (int i = 0; i < static_cast<int>(exponent); ++i) {
            if (__builtin_mul_overflow(result, b, &result)) overflow(t);
        }
        return integerOfType(result, t);
    }
    const double r = std::pow(base, exponent);
    if (std::isnan(r)) throw SqlException(3623);
    if (!std::isfinite(r)) overflow(t);
    if (isInteger(t.id)) {
        if (!(std::fabs(r) < 9.2e18)) overflow(t);
        return integerOfType(static_cast<Int128>(std::trunc(r)), t);
    }
    if (isDecimal(t.id)) return decimalOfType(decimal::fromDouble(r, t.scale), t);
    if (isMoney(t.id)) {
        const auto m = decimal::fromDouble(r, 4);
        if (!m) overflow(t);
        return moneyOfType(*m, t);
    }
    return Value::floating(r, TypeId::Float);
}

constexpr ScalarFunction kFunctions[] = {
    {"ABS", 1, 1, false, true, absType, absEval},
    {"ROUND", 2, 3, false, true, roundType, roundEval},
    {"FLOOR", 1, 1, false, true, floorCeilingType<false>, floorCeilingEval<false>},
    {"CEILING", 1, 1, false, true, floorCeilingType<true>, floorCeilingEval<true>},
    {"SIGN", 1, 1, false, true, signType, signEval},
    {"POWER", 2, 2, false, true, powerType, powerEval},
};

}  // namespace

std::span<const ScalarFunction> mathFunctions() {
    return kFunctions;
}

}  // namespace engine::functions
