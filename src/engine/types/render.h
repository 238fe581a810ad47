// Text forms of values: as CAST(x AS varchar) renders them (style 0) and as sqlcmd
// prints result cells. Thread-safe (pure functions).
#pragma once

#include <string>

#include "engine/types/value.h"

namespace engine {

// The value as CAST(value AS nvarchar(max)) renders it with style 0: datetime
// "Apr 18 2006  9:58AM", money with 2 decimals, float with up to 6 significant digits
// ("1.23457e+006"), decimal with its scale, bit 0/1, uniqueidentifier upper-case,
// binary as the raw bytes. NULL renders as the empty string.
std::string renderAsText(const Value& value, int style = 0);

// The cell as sqlcmd prints it: NULL as "NULL", datetime "2006-04-18 09:58:00.000",
// smalldatetime "2006-04-18 09:58:00", date "2006-04-18", decimals with their scale,
// money with 4 decimals, bit 0/1, float with up to 15 significant digits, binary as
// "0x0A1B", strings as they are.
std::string renderForShell(const Value& value);

}  // namespace engine
