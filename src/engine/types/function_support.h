// Helpers shared by the built-in scalar function files (string, date, math, other).
// Internal to the engine's type library. Thread-safe (pure functions).
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "engine/types/functions.h"
#include "engine/types/sql_message.h"

namespace engine::functions {

// Each file's share of the registry.
std::span<const ScalarFunction> stringFunctions();
std::span<const ScalarFunction> dateFunctions();
std::span<const ScalarFunction> mathFunctions();
std::span<const ScalarFunction> otherFunctions();

// 8116 "Argument data type text is invalid for argument 1 of len function."
[[noreturn]] void invalidArgument(const DataType& type, int position, std::string_view function);

// Rejects text/ntext/image arguments (8116).
void rejectLargeObject(const DataType& type, int position, std::string_view function);

// The value as text (strings as they are, other types as CAST to varchar renders them).
std::string argumentText(const Value& v, const FunctionContext& context);

// An integer argument (decimals truncate, strings convert; 245/8115 as conversions do).
int64_t argumentInteger(const Value& v, const FunctionContext& context);

// The variable-length string type of a function result: char(n) gives varchar(n),
// nchar(n) nvarchar(n), text varchar(max), ntext nvarchar(max), other types varchar(30).
DataType variableStringType(const DataType& t);

// Whether the type is a (max) string or binary or a large object.
bool isMaxLike(const DataType& t);

// Value of the type's "int", or "bigint" when the argument is (max).
DataType lengthResultType(const DataType& argument);

// Builds a string result of a string type, cutting it to the type's length.
Value stringOfType(std::string utf8, const DataType& type);

}  // namespace engine::functions
