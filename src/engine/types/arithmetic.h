// Evaluation of arithmetic, concatenation and unary operators on values.
//
// Operands are converted to the result type of type_rules.h first (a string operand
// of '+' with a number is converted to the number, raising 245 for 'abc'). Overflow
// raises 8115 ("Arithmetic overflow error converting expression to data type int.") or
// 220 for tinyint/smallint; division or modulo by zero raises 8134. NULL operands give
// NULL of the result type. Thread-safe (pure functions).
#pragma once

#include "engine/types/conversion.h"
#include "engine/types/type_rules.h"
#include "engine/types/value.h"

namespace engine {

// left <op> right with SQL Server's result type and errors.
Value arithmetic(ArithmeticOp op, const Value& left, const Value& right,
                 DateFormat dateFormat = DateFormat::Mdy);

// -value (raises 8115 for -(-2147483648) as int, 8117 for non-numeric types).
Value negate(const Value& value);

// ~value on integer types and bit.
Value bitwiseNot(const Value& value);

}  // namespace engine
