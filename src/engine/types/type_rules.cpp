#include "engine/types/type_rules.h"

#include <algorithm>
#include <string>

#include "engine/types/conversion.h"
#include "engine/types/sql_message.h"

namespace engine {

namespace {

std::string name(const DataType& t) {
    return std::string(typeName(t.id));
}

[[noreturn]] void incompatible(const DataType& l, const DataType& r, std::string_view op) {
    throw SqlException(402, {name(l), name(r), std::string(op)});
}

[[noreturn]] void invalidOperand(const DataType& t, std::string_view op) {
    throw SqlException(8117, {name(t), std::string(op)});
}

bool isStringType(TypeId id) {
    return isCharacter(id) && !isLargeObject(id);
}

// Caps a decimal result at 38 digits: the integral digits are kept and the scale gives
// way, but not below 6 (or the scale itself when it is smaller).
DataType cappedDecimal(TypeId id, int precision, int scale) {
    if (precision > 38) {
        const int integral = precision - scale;
        scale = std::max(38 - integral, std::min(scale, 6));
        scale = std::max(scale, 0);
        precision = 38;
    }
    return DataType{id, 0, static_cast<uint8_t>(precision), static_cast<uint8_t>(scale)};
}

DataType decimalArithmetic(ArithmeticOp op, const DataType& l, const DataType& r) {
    const DataType a = asDecimalType(l), b = asDecimalType(r);
    const int p1 = a.precision, s1 = a.scale, p2 = b.precision, s2 = b.scale;
    const TypeId id =
        (l.id == TypeId::Numeric || r.id == TypeId::Numeric) ? TypeId::Numeric : TypeId::Decimal;
    switch (op) {
        case ArithmeticOp::Add:
        case ArithmeticOp::Subtract: {
            const int s = std::max(s1, s2);
            return cappedDecimal(id, s + std::max(p1 - s1, p2 - s2) + 1, s);
        }
        case ArithmeticOp::Multiply:
            return cappedDecimal(id, p1 + p2 + 1, s1 + s2);
        case ArithmeticOp::Divide: {
            const int s = std::max(6, s1 + p2 + 1);
            return cappedDecimal(id, p1 - s1 + s2 + s, s);
        }
        default: {
            const int s = std::max(s1, s2);
            return cappedDecimal(id, std::min(p1 - s1, p2 - s2) + s, s);
        }
    }
}

int32_t sumLengths(const DataType& l, const DataType& r, int32_t limit) {
    if (l.length == DataType::kMax || r.length == DataType::kMax) return DataType::kMax;
    const int64_t sum = static_cast<int64_t>(std::max(l.length, 1)) + std::max(r.length, 1);
    return static_cast<int32_t>(std::min<int64_t>(sum, limit));
}

DataType concatenationType(const DataType& l, const DataType& r) {
    if (isBinary(l.id) && isBinary(r.id))
        return DataType{TypeId::VarBinary, sumLengths(l, r, 8000), 0, 0};
    const bool unicode = isUnicode(l.id) || isUnicode(r.id);
    const bool bothFixed = (l.id == TypeId::Char || l.id == TypeId::NChar) &&
                           (r.id == TypeId::Char || r.id == TypeId::NChar);
    const TypeId id = unicode ? (bothFixed ? TypeId::NChar : TypeId::NVarChar)
                              : (bothFixed ? TypeId::Char : TypeId::VarChar);
    // A binary operand of a string concatenation counts with its byte length.
    int32_t limit = unicode ? 4000 : 8000;
    int32_t length = sumLengths(l, r, limit);
    if (bothFixed && length == DataType::kMax) length = limit;
    return DataType{id, length, 0, 0};
}

DataType higherPrecedence(const DataType& l, const DataType& r) {
    return precedence(l.id) >= precedence(r.id) ? l : r;
}

}  // namespace

std::string_view operatorName(ArithmeticOp op) {
    switch (op) {
        case ArithmeticOp::Add:
            return "add";
        case ArithmeticOp::Subtract:
            return "subtract";
        case ArithmeticOp::Multiply:
            return "multiply";
        case ArithmeticOp::Divide:
            return "divide";
        case ArithmeticOp::Modulo:
            return "modulo";
        case ArithmeticOp::BitAnd:
            return "boolean AND";
        case ArithmeticOp::BitOr:
            return "boolean OR";
        case ArithmeticOp::BitXor:
            return "boolean XOR";
    }
    return "";
}

std::string_view operatorName(ComparisonOp op) {
    switch (op) {
        case ComparisonOp::Equal:
            return "equal to";
        case ComparisonOp::NotEqual:
            return "not equal to";
        case ComparisonOp::Less:
            return "less than";
        case ComparisonOp::LessOrEqual:
            return "less than or equal to";
        case ComparisonOp::Greater:
            return "greater than";
        case ComparisonOp::GreaterOrEqual:
            return "greater than or equal to";
    }
    return "";
}

DataType asDecimalType(const DataType& t) {
    switch (t.id) {
        case TypeId::Bit:
            return DataType::decimal(1, 0);
        case TypeId::TinyInt:
            return DataType::decimal(3, 0);
        case TypeId::SmallInt:
            return DataType::decimal(5, 0);
        case TypeId::Int:
            return DataType::decimal(10, 0);
        case TypeId::BigInt:
            return DataType::decimal(19, 0);
        case TypeId::Money:
            return DataType::decimal(19, 4);
        case TypeId::SmallMoney:
            return DataType::decimal(10, 4);
        case TypeId::Decimal:
        case TypeId::Numeric:
            return t;
        default:
            return DataType::decimal(38, 10);
    }
}

DataType integerConstantAsDecimal(int64_t value) {
    uint64_t magnitude =
        value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    uint8_t digits = 1;
    while (magnitude >= 10) {
        magnitude /= 10;
        ++digits;
    }
    return DataType::numeric(digits, 0);
}

DataType comparisonType(const DataType& left, const DataType& right, ComparisonOp op) {
    if (isLargeObject(left.id) || isLargeObject(right.id))
        incompatible(left, right, operatorName(op));
    if (left.isNullLiteral()) return right.isNullLiteral() ? DataType::of(TypeId::Int) : right;
    if (right.isNullLiteral()) return left;
    const DataType& high = higherPrecedence(left, right);
    const DataType& low = &high == &left ? right : left;
    checkConversion(low, high, ConversionKind::Implicit);
    const DataType types[2] = {left, right};
    return commonResultType(types);
}

DataType arithmeticResultType(ArithmeticOp op, const DataType& leftIn, const DataType& rightIn) {
    DataType left = leftIn, right = rightIn;
    if (left.isNullLiteral() && right.isNullLiteral()) return DataType::of(TypeId::Int);
    if (left.isNullLiteral()) left = right;
    if (right.isNullLiteral()) right = left;
    const std::string_view opName = operatorName(op);
    if (isLargeObject(left.id) || isLargeObject(right.id)) incompatible(leftIn, rightIn, opName);

    const bool leftText = isStringType(left.id) || isBinary(left.id);
    const bool rightText = isStringType(right.id) || isBinary(right.id);
    if (op == ArithmeticOp::Add && leftText && rightText &&
        (isStringType(left.id) || isStringType(right.id) ||
         (isBinary(left.id) && isBinary(right.id)))) {
        return concatenationType(left, right);
    }
    if (isStringType(left.id) && isStringType(right.id)) incompatible(left, right, opName);

    for (const DataType* t : {&left, &right}) {
        if (t->id == TypeId::UniqueIdentifier || t->id == TypeId::SqlVariant)
            invalidOperand(*t, opName);
    }

    const bool bitwise =
        op == ArithmeticOp::BitAnd || op == ArithmeticOp::BitOr || op == ArithmeticOp::BitXor;
    if (bitwise) {
        // Integer operands only (one side may be binary).
        for (const DataType* t : {&left, &right}) {
            if (!isInteger(t->id) && !isBinary(t->id)) incompatible(left, right, opName);
        }
        if (isBinary(left.id) && isBinary(right.id)) incompatible(left, right, opName);
        if (isBinary(left.id)) return right;
        if (isBinary(right.id)) return left;
        return higherPrecedence(left, right);
    }

    if (left.id == TypeId::Bit && right.id == TypeId::Bit) invalidOperand(left, opName);

    const DataType high = higherPrecedence(left, right);
    const DataType& low = precedence(left.id) >= precedence(right.id) ? right : left;

    if (isDateTime(left.id) || isDateTime(right.id)) {
        for (const DataType* t : {&left, &right}) {
            if (t->id == TypeId::Date)
                throw SqlException(206, {"date", name(t == &left ? right : left)});
        }
        if (op != ArithmeticOp::Add && op != ArithmeticOp::Subtract) {
            invalidOperand(isDateTime(left.id) ? left : right, opName);
        }
        checkConversion(low, high, ConversionKind::Implicit);
        return DataType::of(high.id);
    }

    checkConversion(low, high, ConversionKind::Implicit);
    if (!isNumeric(high.id)) invalidOperand(high, opName);
    if (isApproximate(high.id)) {
        if (op == ArithmeticOp::Modulo) incompatible(left, right, opName);
        return DataType::floating(high.id);
    }
    if (isDecimal(high.id)) {
        // A string operand converts to the other side's type.
        const DataType l = isCharacter(left.id) ? high : left;
        const DataType r = isCharacter(right.id) ? high : right;
        return decimalArithmetic(op, l, r);
    }
    if (isMoney(high.id)) {
        const bool bothSmall = (left.id == TypeId::SmallMoney || !isMoney(left.id)) &&
                               (right.id == TypeId::SmallMoney || !isMoney(right.id));
        return DataType::of(bothSmall ? TypeId::SmallMoney : TypeId::Money);
    }
    return DataType::of(high.id);
}

DataType negateResultType(const DataType& operand) {
    if (operand.isNullLiteral()) return DataType::of(TypeId::Int);
    if (!isNumeric(operand.id) || operand.id == TypeId::Bit) invalidOperand(operand, "minus");
    return operand;
}

DataType commonResultType(std::span<const DataType> types) {
    const DataType* high = nullptr;
    for (const DataType& t : types) {
        if (t.isNullLiteral()) continue;
        if (!high || precedence(t.id) > precedence(high->id)) high = &t;
    }
    if (!high) return DataType::of(TypeId::Int);
    DataType result = *high;
    for (const DataType& t : types) {
        if (!t.isNullLiteral()) checkConversion(t, result, ConversionKind::Implicit);
    }
    if (hasLength(result.id)) {
        int32_t length = 0;
        for (const DataType& t : types) {
            if (t.isNullLiteral()) continue;
            int32_t l;
            if (t.length == DataType::kMax || isLargeObject(t.id)) {
                l = DataType::kMax;
            } else if (hasLength(t.id)) {
                l = t.length;
            } else {
                l = 30;  // a value of another type converted to a string
            }
            if (l == DataType::kMax || length == DataType::kMax) {
                length = DataType::kMax;
            } else {
                length = std::max(length, l);
            }
        }
        result.length = length;
    } else if (isDecimal(result.id)) {
        int integral = 0, scale = 0;
        bool anyNumeric = false;
        for (const DataType& t : types) {
            if (t.isNullLiteral() || !isExactNumeric(t.id)) continue;
            const DataType d = asDecimalType(t);
            integral = std::max(integral, d.precision - d.scale);
            scale = std::max(scale, static_cast<int>(d.scale));
            anyNumeric = anyNumeric || t.id == TypeId::Numeric;
        }
        result = cappedDecimal(result.id, integral + scale, scale);
        if (result.precision == 0) result.precision = 1;
        (void)anyNumeric;
    } else if (isApproximate(result.id)) {
        bool allReal = true;
        for (const DataType& t : types) {
            if (!t.isNullLiteral() && t.id != TypeId::Real) allReal = false;
        }
        result = DataType::floating(allReal ? TypeId::Real : TypeId::Float);
    } else {
        result = DataType::of(result.id);
    }
    return result;
}

DataType isnullResultType(const DataType& check, const DataType& replacement) {
    if (check.isNullLiteral())
        return replacement.isNullLiteral() ? DataType::of(TypeId::Int) : replacement;
    if (!replacement.isNullLiteral()) checkConversion(replacement, check, ConversionKind::Implicit);
    return check;
}

}  // namespace engine
