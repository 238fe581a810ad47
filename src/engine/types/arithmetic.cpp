#include "engine/types/arithmetic.h"

#include <cmath>

#include "engine/types/datetime.h"
#include "engine/types/decimal_math.h"
#include "engine/types/sql_message.h"
#include "engine/types/text.h"

namespace engine {

namespace {

std::string messageName(TypeId id) {
    return isDecimal(id) ? "numeric" : std::string(typeName(id));
}

[[noreturn]] void overflow(const DataType& result) {
    throw SqlException(8115, {"expression", messageName(result.id)});
}
[[noreturn]] void divideByZero() {
    throw SqlException(8134);
}

Value toType(const Value& v, const DataType& t, DateFormat df) {
    if (v.type() == t) return v;
    return convert(v, t, ConversionKind::Implicit, 0, df);
}

Value integerArithmetic(ArithmeticOp op, int64_t a, int64_t b, const DataType& t) {
    int64_t r = 0;
    bool overflowed = false;
    switch (op) {
        case ArithmeticOp::Add:
            overflowed = __builtin_add_overflow(a, b, &r);
            break;
        case ArithmeticOp::Subtract:
            overflowed = __builtin_sub_overflow(a, b, &r);
            break;
        case ArithmeticOp::Multiply:
            overflowed = __builtin_mul_overflow(a, b, &r);
            break;
        case ArithmeticOp::Divide:
            if (b == 0) divideByZero();
            if (a == INT64_MIN && b == -1) {
                overflowed = true;
            } else {
                r = a / b;
            }
            break;
        case ArithmeticOp::Modulo:
            if (b == 0) divideByZero();
            r = (b == -1) ? 0 : a % b;
            break;
        case ArithmeticOp::BitAnd:
            r = a & b;
            break;
        case ArithmeticOp::BitOr:
            r = a | b;
            break;
        case ArithmeticOp::BitXor:
            r = a ^ b;
            break;
    }
    const IntegerRange lim = integerRange(t.id);
    if (overflowed || r < lim.min || r > lim.max) overflow(t);
    return Value::integer(r, t.id);
}

// Bitwise operations with a binary operand use its bytes as an integer of the other type.
Value bitwiseWithBinary(ArithmeticOp op, const Value& l, const Value& r, const DataType& t,
                        DateFormat df) {
    const Value a = convert(l, t, ConversionKind::Explicit, 0, df);
    const Value b = convert(r, t, ConversionKind::Explicit, 0, df);
    return integerArithmetic(op, a.asInt64(), b.asInt64(), t);
}

Value decimalArithmetic(ArithmeticOp op, const Value& l, const Value& r, const DataType& t,
                        DateFormat df) {
    // Each operand keeps its own exact type (an int is decimal(10,0), money (19,4)); a
    // string operand takes the result's type.
    auto parts = [&](const Value& v, Int128& unscaled, int& scale) {
        if (isExactNumeric(v.typeId())) {
            decimal::exactParts(v, unscaled, scale);
        } else {
            const Value d =
                convert(v, DataType{t.id, 0, 38, t.scale}, ConversionKind::Implicit, 0, df);
            unscaled = d.decimalUnscaled();
            scale = d.type().scale;
        }
    };
    Int128 a, b;
    int sa, sb;
    parts(l, a, sa);
    parts(r, b, sb);
    std::optional<Int128> result;
    switch (op) {
        case ArithmeticOp::Add:
        case ArithmeticOp::Subtract: {
            const int s = std::max(sa, sb);
            const auto x = decimal::rescale(a, sa, s), y = decimal::rescale(b, sb, s);
            Int128 sum;
            if (x && y &&
                !(op == ArithmeticOp::Add ? __builtin_add_overflow(*x, *y, &sum)
                                          : __builtin_sub_overflow(*x, *y, &sum))) {
                result = decimal::rescale(sum, s, t.scale);
            }
            break;
        }
        case ArithmeticOp::Multiply:
            result = decimal::multiply(a, sa, b, sb, t.scale);
            break;
        case ArithmeticOp::Divide:
            if (b == 0) divideByZero();
            result = decimal::divide(a, sa, b, sb, t.scale);
            break;
        case ArithmeticOp::Modulo:
            if (b == 0) divideByZero();
            result = decimal::modulo(a, sa, b, sb, t.scale);
            break;
        default:
            break;
    }
    if (!result || !decimal::fitsPrecision(*result, t.precision)) overflow(t);
    return Value::decimal(*result, t);
}

Value moneyArithmetic(ArithmeticOp op, const Value& l, const Value& r, const DataType& t,
                      DateFormat df) {
    const int64_t a = toType(l, t, df).moneyScaled();
    const int64_t b = toType(r, t, df).moneyScaled();
    std::optional<Int128> result;
    switch (op) {
        case ArithmeticOp::Add:
            result = static_cast<Int128>(a) + b;
            break;
        case ArithmeticOp::Subtract:
            result = static_cast<Int128>(a) - b;
            break;
        case ArithmeticOp::Multiply:
            result = decimal::multiply(a, 4, b, 4, 4);
            break;
        case ArithmeticOp::Divide:
            if (b == 0) divideByZero();
            result = decimal::divide(a, 4, b, 4, 4);
            break;
        case ArithmeticOp::Modulo:
            if (b == 0) divideByZero();
            result = static_cast<Int128>(a % b);
            break;
        default:
            break;
    }
    const Int128 max = t.id == TypeId::SmallMoney ? 2147483647 : INT64_MAX;
    const Int128 min = t.id == TypeId::SmallMoney ? -2147483648LL : INT64_MIN;
    if (!result || *result > max || *result < min) overflow(t);
    return Value::money(static_cast<int64_t>(*result), t.id);
}

Value floatArithmetic(ArithmeticOp op, const Value& l, const Value& r, const DataType& t,
                      DateFormat df) {
    const double a = toType(l, DataType::floating(TypeId::Float), df).asDouble();
    const double b = toType(r, DataType::floating(TypeId::Float), df).asDouble();
    double result = 0;
    switch (op) {
        case ArithmeticOp::Add:
            result = a + b;
            break;
        case ArithmeticOp::Subtract:
            result = a - b;
            break;
        case ArithmeticOp::Multiply:
            result = a * b;
            break;
        case ArithmeticOp::Divide:
            if (b == 0) divideByZero();
            result = a / b;
            break;
        default:
            break;
    }
    if (t.id == TypeId::Real) {
        const float f = static_cast<float>(result);
        if (!std::isfinite(f)) overflow(t);
        return Value::floating(f, TypeId::Real);
    }
    if (!std::isfinite(result)) overflow(t);
    return Value::floating(result, TypeId::Float);
}

Value dateArithmetic(ArithmeticOp op, const Value& l, const Value& r, const DataType& t,
                     DateFormat df) {
    // Both sides as datetime (a number is a count of days); the sum or difference of
    // day counts and ticks, 1900-01-01 being day 0.
    const DataType dt = DataType::of(TypeId::DateTime);
    auto asDays = [&](const Value& v) -> std::pair<int64_t, int64_t> {
        if (isDateTime(v.typeId())) return {v.days(), v.ticks()};
        if (isCharacter(v.typeId())) {
            const Value d = convert(v, dt, ConversionKind::Implicit, 0, df);
            return {d.days(), d.ticks()};
        }
        const Value f =
            convert(v, DataType::floating(TypeId::Float), ConversionKind::Implicit, 0, df);
        const double whole = std::floor(f.asDouble());
        if (!(std::fabs(whole) < 1e7)) overflow(t);
        return {static_cast<int64_t>(whole), std::llround((f.asDouble() - whole) * kTicksPerDay)};
    };
    const auto [ad, at] = asDays(l);
    const auto [bd, bt] = asDays(r);
    int64_t days = op == ArithmeticOp::Add ? ad + bd : ad - bd;
    int64_t ticks = op == ArithmeticOp::Add ? at + bt : at - bt;
    days += ticks / kTicksPerDay;
    ticks %= kTicksPerDay;
    if (ticks < 0) {
        ticks += kTicksPerDay;
        --days;
    }
    if (days < INT32_MIN || days > INT32_MAX) overflow(t);
    Value v =
        Value::datetime(static_cast<int32_t>(days), static_cast<int32_t>(ticks), TypeId::DateTime);
    if (!dateInRange(v.days(), v.ticks(), TypeId::DateTime)) overflow(t);
    if (t.id == TypeId::SmallDateTime) {
        v = convert(v, t, ConversionKind::Implicit, 0, df);
    }
    return v;
}

Value concatenate(const Value& l, const Value& r, const DataType& t, DateFormat df) {
    if (isBinary(t.id)) {
        std::string bytes = l.bytes() + r.bytes();
        if (t.length > 0 && bytes.size() > static_cast<size_t>(t.length))
            bytes.resize(static_cast<size_t>(t.length));
        return Value::binary(std::move(bytes), t);
    }
    const DataType asText{isUnicode(t.id) ? TypeId::NVarChar : TypeId::VarChar, DataType::kMax, 0,
                          0};
    const Value a =
        isCharacter(l.typeId()) ? l : convert(l, asText, ConversionKind::Implicit, 0, df);
    const Value b =
        isCharacter(r.typeId()) ? r : convert(r, asText, ConversionKind::Implicit, 0, df);
    std::string s;
    s.reserve(a.bytes().size() + b.bytes().size());
    s += a.bytes();
    s += b.bytes();
    if (!isUnicode(t.id) && (isUnicode(a.typeId()) || isUnicode(b.typeId())))
        s = toWindows1252Repertoire(s);
    if (t.length > 0 && s.size() > static_cast<size_t>(t.length)) {
        // Results longer than the type (8000 / 4000) are cut.
        if (utf8Length(s) > static_cast<size_t>(t.length))
            s = std::string(utf8Prefix(s, static_cast<size_t>(t.length)));
    }
    return Value::string(std::move(s), t);
}

}  // namespace

Value arithmetic(ArithmeticOp op, const Value& left, const Value& right, DateFormat dateFormat) {
    const DataType t = arithmeticResultType(op, left.type(), right.type());
    if (left.isNull() || right.isNull()) return Value::null(t);
    if (isCharacter(t.id) || (op == ArithmeticOp::Add && isBinary(t.id)))
        return concatenate(left, right, t, dateFormat);
    if (isInteger(t.id)) {
        if (isBinary(left.typeId()) || isBinary(right.typeId()))
            return bitwiseWithBinary(op, left, right, t, dateFormat);
        return integerArithmetic(op, toType(left, t, dateFormat).asInt64(),
                                 toType(right, t, dateFormat).asInt64(), t);
    }
    if (isDecimal(t.id)) return decimalArithmetic(op, left, right, t, dateFormat);
    if (isMoney(t.id)) return moneyArithmetic(op, left, right, t, dateFormat);
    if (isApproximate(t.id)) return floatArithmetic(op, left, right, t, dateFormat);
    if (isDateTime(t.id)) return dateArithmetic(op, left, right, t, dateFormat);
    throw SqlException(8117, {std::string(typeName(t.id)), std::string(operatorName(op))});
}

Value negate(const Value& value) {
    const DataType t = negateResultType(value.type());
    if (value.isNull()) return Value::null(t);
    switch (t.id) {
        case TypeId::TinyInt:
        case TypeId::SmallInt:
        case TypeId::Int:
        case TypeId::BigInt: {
            const IntegerRange lim = integerRange(t.id);
            const int64_t v = value.asInt64();
            if (v == INT64_MIN || -v < lim.min || -v > lim.max) overflow(t);
            return Value::integer(-v, t.id);
        }
        case TypeId::Decimal:
        case TypeId::Numeric:
            return Value::decimal(-value.decimalUnscaled(), t);
        case TypeId::Money:
        case TypeId::SmallMoney: {
            const int64_t v = value.moneyScaled();
            if (v == INT64_MIN || (t.id == TypeId::SmallMoney && -v > 2147483647)) overflow(t);
            return Value::money(-v, t.id);
        }
        default:
            return Value::floating(-value.asDouble(), t.id);
    }
}

Value bitwiseNot(const Value& value) {
    const DataType& t = value.type();
    if (t.isNullLiteral()) return Value::null(DataType::of(TypeId::Int));
    if (!isInteger(t.id)) throw SqlException(8117, {std::string(typeName(t.id)), "~"});
    if (value.isNull()) return Value::null(t);
    const int64_t v = value.asInt64();
    switch (t.id) {
        case TypeId::Bit:
            return Value::bit(v == 0);
        case TypeId::TinyInt:
            return Value::integer((~v) & 0xFF, t.id);
        case TypeId::SmallInt:
            return Value::integer(static_cast<int16_t>(~v), t.id);
        case TypeId::Int:
            return Value::integer(static_cast<int32_t>(~v), t.id);
        default:
            return Value::integer(~v, t.id);
    }
}

}  // namespace engine
