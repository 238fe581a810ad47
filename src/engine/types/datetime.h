// Calendar arithmetic for the datetime family: days since 1900-01-01 and ticks of 1/300
// second since midnight, as SQL Server stores datetime. Thread-safe (pure functions).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/types/value.h"

namespace engine {

constexpr int32_t kTicksPerSecond = 300;
constexpr int32_t kTicksPerDay = 24 * 60 * 60 * kTicksPerSecond;

struct CivilDateTime {
    int year = 1900;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;  // 0..999, as SQL Server reports it (.997 for tick 299)
};

// Days since 1900-01-01 of a proleptic Gregorian date (negative before).
int32_t daysFromCivil(int year, int month, int day);
void civilFromDays(int32_t days, int& year, int& month, int& day);
bool isValidCivilDate(int year, int month, int day);
int daysInMonth(int year, int month);

// Ticks (1/300 s) of a time of day, milliseconds rounded to the nearest tick as
// SQL Server does (.001 -> .000, .002 -> .003, .005 -> .007). May equal kTicksPerDay.
int32_t ticksFromTime(int hour, int minute, int second, int millisecond);
// Milliseconds of a tick count (0, 3, 7, 10, ...).
int millisecondsFromTicks(int32_t ticks);

CivilDateTime toCivil(const Value& dateValue);
// Builds a datetime/smalldatetime/date value; smalldatetime rounds to the minute, date
// drops the time. Carries ticks that round up to midnight into the next day.
Value makeDateTime(const CivilDateTime& civil, TypeId type = TypeId::DateTime);

// Valid day ranges: datetime 1753-01-01..9999-12-31, smalldatetime 1900-01-01..
// 2079-06-06, date 0001-01-01..9999-12-31.
bool dateInRange(int32_t days, int32_t ticks, TypeId type);

// The local time of a system clock instant as a datetime value (GETDATE()).
Value dateTimeFromSystemClock(std::chrono::system_clock::time_point instant);

// A time of day as WAITFOR takes it: "hh:mm[:ss[.fff]]" (the fraction also after a colon,
// as milliseconds), optionally followed by AM or PM; blanks around it are allowed, a date
// is not. Milliseconds after midnight, or nullopt when the text is no such time.
std::optional<int64_t> parseTimeOfDay(std::string_view text);

}  // namespace engine
