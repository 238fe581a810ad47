// Conversion of values between the engine's data types, as SQL Server converts them.
//
// convert() is what CAST/CONVERT and every implicit conversion do: the same results
// (numeric -> int truncates, numeric -> numeric rounds, int -> too-short varchar gives
// "*", CAST to a shorter varchar cuts silently) and the same errors (245, 8114, 8115,
// 220, 241, 242, 244, 248, 235, 8169, 529, 257, 206). Truncation on assignment to a
// column is not a conversion error: the executor calls assignToColumn(), which raises
// 8152 (or builds 2628 on request).
// Errors are raised as SqlException. Thread-safe (pure functions).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/types/data_type.h"
#include "engine/types/sql_message.h"
#include "engine/types/value.h"

namespace engine {

enum class ConversionKind { Implicit, Explicit };

// Order of day, month and year in ambiguous date strings (SET DATEFORMAT). us_english
// logins use Mdy; Spanish logins Dmy.
enum class DateFormat : uint8_t { Mdy, Dmy, Ymd, Ydm, Myd, Dym };

// Parses "mdy", "DMY", ... (SET DATEFORMAT argument). False when unknown.
bool parseDateFormat(std::string_view text, DateFormat& out);

// Whether SQL Server converts values of one type to another at all.
enum class ConversionAvailability {
    Implicit,      // silently, in expressions and assignments
    ExplicitOnly,  // only through CAST/CONVERT (else 257)
    NotAllowed,    // never (529 for CAST/CONVERT, 206 "Operand type clash" otherwise)
};
ConversionAvailability conversionAvailability(TypeId from, TypeId to);
bool implicitConversionAllowed(TypeId from, TypeId to);

// Raises 257 (implicit not allowed), 529 (explicit not allowed) or 206 (operand type
// clash) when a conversion of that kind does not exist between the two types.
void checkConversion(const DataType& from, const DataType& to, ConversionKind kind);

// Converts a value to the target type. NULL converts to NULL of the target type.
// style is CONVERT's third argument (0 for CAST): 0/100, 1/101, 3/103, 102, 104, 105,
// 112, 120/20, 121/21, 23 for dates; 0/1/2 for money, float and binary<->string.
// dateFormat governs ambiguous date strings. Raises the SqlException SQL Server raises.
Value convert(const Value& value, const DataType& target,
              ConversionKind kind = ConversionKind::Explicit, int style = 0,
              DateFormat dateFormat = DateFormat::Mdy);

// True when the value (already of a character or binary type) fits the column's length
// without losing anything but trailing blanks.
bool fitsColumn(const Value& value, const DataType& columnType);

// The value as stored into a column of that type: implicitly converted (conversion
// errors as convert()), trailing blanks beyond the length dropped, char/nchar/binary
// padded, characters outside Windows-1252 replaced by '?' for char/varchar/text, and
// 8152 "String or binary data would be truncated." raised when something else would be
// lost. NULLs pass (nullability is the executor's check).
Value assignToColumn(const Value& value, const DataType& columnType,
                     DateFormat dateFormat = DateFormat::Mdy);

// 8152: "String or binary data would be truncated."
SqlMessage truncationMessage();
// 2628: "String or binary data would be truncated in table '<table>', column
// '<column>'. Truncated value: '<value>'." (value cut to the column's length).
SqlMessage verboseTruncationMessage(std::string_view table, std::string_view column,
                                    const Value& value, const DataType& columnType);

}  // namespace engine
