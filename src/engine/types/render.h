// Text forms of values: as CAST(x AS varchar) / CONVERT(varchar, x, style) render them
// and as sqlcmd prints result cells. Thread-safe (pure functions).
#pragma once

#include <optional>
#include <string>

#include "engine/types/value.h"

namespace engine {

// The value as CAST(value AS nvarchar(max)) renders it with style 0: datetime
// "Apr 18 2006  9:58AM", date "2006-04-18", money with 2 decimals, float with up to 6
// significant digits ("1.23457e+006"), decimal with its scale, bit 0/1, uniqueidentifier
// upper-case, binary as the raw bytes read as Windows-1252. Other styles: CONVERT's for
// dates (1/101, 3/103, 102, 104, 105, 112, 120, 121, 23, ...), money (1 with thousands
// separators, 2 with 4 decimals), float (1: 8 digits, 2: 16 digits, scientific) and
// binary (1 "0x..." hex, 2 hex). NULL renders as the empty string. nullopt when the
// style does not exist for the type (error 281).
std::optional<std::string> renderWithStyle(const Value& value, int style);

// renderWithStyle(value, 0).
std::string renderAsText(const Value& value);

// The cell as sqlcmd prints it: NULL as "NULL", datetime "2006-04-18 09:58:00.000",
// smalldatetime "2006-04-18 09:58:00", date "2006-04-18", decimals with their scale,
// money with 4 decimals, bit 0/1, float/real in their shortest exact form, binary as
// "0x0A1B", strings as they are.
std::string renderForShell(const Value& value);

}  // namespace engine
