// Typing and parsing of literals: numbers, money, binary, date/time strings and the ODBC
// escapes {d '...'}, {t '...'}, {ts '...'}. Thread-safe (pure functions).
#pragma once

#include <optional>
#include <string_view>

#include "engine/types/conversion.h"
#include "engine/types/value.h"

namespace engine {

// A number as written in T-SQL: "5" int, "5000000000" numeric(10,0) (integers beyond
// int are numeric, as SQL Server types them), "1.50" numeric(3,2), ".5" numeric(1,1),
// "1e3"/"1.5E-2" float, "$5"/"$-1.25" money. Raises 1007 when a numeric literal needs
// more than 38 digits. A leading sign is part of the literal ("-1" int, "-$5" money;
// "-2147483648" is numeric(10,0), as the sign does not change the digits' type).
Value numberLiteral(std::string_view text);

// 0x... binary literal: varbinary(n) of the bytes ("0x" alone is an empty varbinary(1)).
Value binaryLiteral(std::string_view text);

// Parses a date/time string as SQL Server does for datetime, smalldatetime or date
// (target): "20130102", "2013-01-02T10:20:30.123", "2013-01-02 10:20" (ISO-like forms
// follow dateFormat for datetime/smalldatetime), "01/02/2013", "1/2/13", "Jan 2 2013",
// "2 January 2013 10:20AM", times alone (on 1900-01-01). Returns nullopt when the text
// is not a date (the caller raises 241) and sets outOfRange for valid-looking dates
// outside the type's range (242).
std::optional<Value> parseDateTimeText(std::string_view text, TypeId target, DateFormat dateFormat,
                                       bool* outOfRange = nullptr);

// Value of an ODBC escape: kind "d" (yyyy-mm-dd), "t" (hh:mm:ss[.fff] on today's date
// is not used: on 1900-01-01), "ts" (yyyy-mm-dd hh:mm:ss[.fff]); datetime. Raises 241.
Value odbcEscapeLiteral(std::string_view kind, std::string_view text);

}  // namespace engine
