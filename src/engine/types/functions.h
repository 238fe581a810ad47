// Built-in scalar functions (string, date, math, conversion helpers) by name.
//
// findScalarFunction("len") finds a function case-insensitively; its resultType() gives
// SQL Server's result type for the argument types (raising 8116 for a wrong argument
// type) and evaluate() computes it with SQL Server's NULL rules and errors (536 for a
// negative length, 8134, 8115 ...). Functions that need the outside world (GETDATE,
// NEWID) take it from the FunctionContext, so the store can journal what they returned.
// For DATEPART, DATEADD and DATEDIFF the first argument is the datepart keyword passed
// as a varchar value holding it as written ("yy", "month"). Metadata functions
// (OBJECT_ID, COL_LENGTH, ...) and aggregates are the executor's.
// The registry is immutable and thread-safe; a FunctionContext belongs to one session.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

#include "engine/types/conversion.h"
#include "engine/types/data_type.h"
#include "engine/types/value.h"

namespace engine {

struct FunctionContext {
    // Current local date and time as a datetime value (GETDATE, CURRENT_TIMESTAMP).
    std::function<Value()> clock;
    // Fills a buffer with random bytes (NEWID).
    std::function<void(unsigned char* out, size_t size)> random;
    DateFormat dateFormat = DateFormat::Mdy;
    int dateFirst = 7;  // SET DATEFIRST: 7 = Sunday is day 1 (us_english)
    bool spanish = false;  // SET LANGUAGE Spanish: DATENAME's month and weekday names

    // A context on the system clock (local time) and the system random source.
    static FunctionContext system();
};

// Units of DATEPART / DATEADD / DATEDIFF.
enum class DatePart {
    Year,
    Quarter,
    Month,
    DayOfYear,
    Day,
    Week,
    Weekday,
    Hour,
    Minute,
    Second,
    Millisecond
};

// "year", "yy", "yyyy", "mm", "m", "dd", "d", "dw", "hh", "mi", "n", "ss", "s", "ms",
// "qq", "q", "dy", "y", "wk", "ww" (case-insensitive). nullopt otherwise (error 155).
std::optional<DatePart> parseDatePart(std::string_view keyword);

struct ScalarFunction {
    std::string_view name;  // upper case: "LEN"
    int minArgs = 0;
    int maxArgs = 0;
    bool firstArgIsDatePart = false;
    bool deterministic = true;  // false for GETDATE, NEWID
    // Result type; constants[i] is the i-th argument's value when it is a constant known
    // at compile time, else nullptr (STR's length, for example).
    DataType (*resultType)(std::span<const DataType> argTypes,
                           std::span<const Value* const> constants) = nullptr;
    Value (*evaluate)(std::span<const Value> args, FunctionContext& context) = nullptr;
};

// The built-in function of that name, or nullptr (the executor raises 195).
const ScalarFunction* findScalarFunction(std::string_view name);

// Checks the argument count; raises 174 "The <NAME> function requires N argument(s)."
void checkArgumentCount(const ScalarFunction& function, size_t count);

// Convenience for the executor and tests: checks the arguments, derives the result type
// from the values' types and evaluates.
Value callScalarFunction(std::string_view name, std::span<const Value> args,
                         FunctionContext& context);

}  // namespace engine
