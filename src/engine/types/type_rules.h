// Result types of expressions, as SQL Server derives them.
//
// Comparisons use the common type by data type precedence; arithmetic follows SQL
// Server's decimal precision/scale rules, money, float and integer promotion; '+' on
// two strings is concatenation with the summed length (capped at 8000 / 4000, or max);
// CASE, COALESCE and UNION take the highest precedence type with the largest length;
// ISNULL takes the type of its first argument. The functions raise the compile-time
// errors SQL Server raises (402, 8117, 206, 257, 306). Thread-safe (pure functions).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "engine/types/data_type.h"

namespace engine {

enum class ArithmeticOp { Add, Subtract, Multiply, Divide, Modulo, BitAnd, BitOr, BitXor };

enum class ComparisonOp { Equal, NotEqual, Less, LessOrEqual, Greater, GreaterOrEqual };

// Operator names as error 402/8117 print them: "add", "equal to", "modulo" ...
std::string_view operatorName(ArithmeticOp op);
std::string_view operatorName(ComparisonOp op);

// Type both operands of a comparison are converted to before comparing. Raises 402 for
// text/ntext/image operands, 206/257 when one side cannot be converted to the other.
DataType comparisonType(const DataType& left, const DataType& right,
                        ComparisonOp op = ComparisonOp::Equal);

// Result type of left <op> right (concatenation when both are strings and op is Add).
// Raises 8117 (bit + bit, datetime * n), 402 (text, modulo on float, incompatible types).
DataType arithmeticResultType(ArithmeticOp op, const DataType& left, const DataType& right);

// Result type of unary minus / plus; raises 8117 for non-numeric operands.
DataType negateResultType(const DataType& operand);

// Result type of CASE / COALESCE / UNION / IN lists: highest precedence, the largest
// length, decimal precision/scale that hold every input. An untyped NULL literal
// (DataType::nullLiteral()) takes no part. Raises 206/257 when a branch cannot be
// converted to it. All inputs untyped NULL: int.
DataType commonResultType(std::span<const DataType> types);

// Result type of ISNULL(check, replacement): the type of check, or of replacement when
// check is an untyped NULL literal.
DataType isnullResultType(const DataType& check, const DataType& replacement);

// decimal(p,s) that holds every value of an exact numeric type: int (10,0), bigint
// (19,0), money (19,4), ... (the type itself for decimal/numeric).
DataType asDecimalType(const DataType& exact);

// The type an integer *constant* takes next to a decimal operand: numeric with the
// constant's own digits (3 is numeric(1,0)), so that 1.0 / 3 is 0.333333. The executor
// re-types integer literals with it when the other operand is decimal.
DataType integerConstantAsDecimal(int64_t value);

}  // namespace engine
