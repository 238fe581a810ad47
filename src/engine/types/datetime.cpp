#include "engine/types/datetime.h"

#include <ctime>

namespace engine {

namespace {

// Days of 1900-01-01 counted from 1970-01-01.
constexpr int64_t kEpoch1900From1970 = -25567;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t daysFrom1970(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool isLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

}  // namespace

int32_t daysFromCivil(int year, int month, int day) {
    return static_cast<int32_t>(
        daysFrom1970(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
        kEpoch1900From1970);
}

void civilFromDays(int32_t days, int& year, int& month, int& day) {
    int64_t z = static_cast<int64_t>(days) + kEpoch1900From1970 + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<int>(y + (m <= 2));
    month = static_cast<int>(m);
    day = static_cast<int>(d);
}

int daysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && isLeap(year)) return 29;
    return kDays[month - 1];
}

bool isValidCivilDate(int year, int month, int day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= daysInMonth(year, month);
}

int32_t ticksFromTime(int hour, int minute, int second, int millisecond) {
    // Milliseconds round to the nearest 1/300 s: 0..1 -> 0, 2..4 -> 3, 5..8 -> 7, 9 -> 10.
    const int64_t ms = ((hour * 60LL + minute) * 60 + second) * 1000 + millisecond;
    return static_cast<int32_t>((ms * 3 + 5) / 10);
}

int millisecondsFromTicks(int32_t ticks) {
    // SQL Server reports tick t as round(t * 10 / 3) ms within the second: .000 .003 .007.
    const int64_t withinSecond = ticks % kTicksPerSecond;
    return static_cast<int>((withinSecond * 10 + 1) / 3);
}

CivilDateTime toCivil(const Value& v) {
    CivilDateTime c;
    civilFromDays(v.days(), c.year, c.month, c.day);
    int32_t t = v.ticks();
    c.millisecond = millisecondsFromTicks(t);
    int32_t seconds = t / kTicksPerSecond;
    c.hour = seconds / 3600;
    c.minute = seconds / 60 % 60;
    c.second = seconds % 60;
    return c;
}

Value makeDateTime(const CivilDateTime& c, TypeId type) {
    int32_t days = daysFromCivil(c.year, c.month, c.day);
    int32_t ticks = 0;
    if (type == TypeId::DateTime) {
        ticks = ticksFromTime(c.hour, c.minute, c.second, c.millisecond);
    } else if (type == TypeId::SmallDateTime) {
        // Rounds to the minute: 29.998 s and less down, 29.999 s and more up.
        int minutes = c.hour * 60 + c.minute;
        if (c.second * 1000 + c.millisecond >= 29999) ++minutes;
        ticks = minutes * 60 * kTicksPerSecond;
    }
    if (ticks >= kTicksPerDay) {
        ticks -= kTicksPerDay;
        ++days;
    }
    return Value::datetime(days, ticks, type);
}

bool dateInRange(int32_t days, int32_t ticks, TypeId type) {
    switch (type) {
        case TypeId::DateTime:
            return days >= daysFromCivil(1753, 1, 1) && days <= daysFromCivil(9999, 12, 31);
        case TypeId::SmallDateTime:
            return days >= 0 && (days < daysFromCivil(2079, 6, 6) ||
                                 (days == daysFromCivil(2079, 6, 6) &&
                                  ticks <= (23 * 60 + 59) * 60 * kTicksPerSecond));
        case TypeId::Date:
            return days >= daysFromCivil(1, 1, 1) && days <= daysFromCivil(9999, 12, 31);
        default:
            return false;
    }
}

Value dateTimeFromSystemClock(std::chrono::system_clock::time_point instant) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(instant.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(ms >= 0 ? ms / 1000 : (ms - 999) / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    CivilDateTime c;
    c.year = local.tm_year + 1900;
    c.month = local.tm_mon + 1;
    c.day = local.tm_mday;
    c.hour = local.tm_hour;
    c.minute = local.tm_min;
    c.second = local.tm_sec;
    c.millisecond = static_cast<int>(ms - static_cast<int64_t>(seconds) * 1000);
    return makeDateTime(c);
}

std::optional<int64_t> parseTimeOfDay(std::string_view text) {
    size_t i = 0;
    auto skipBlanks = [&] {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
    };
    auto digits = [&](size_t maxDigits, int& value, size_t& count) {
        value = 0;
        count = 0;
        while (i < text.size() && count < maxDigits && text[i] >= '0' && text[i] <= '9') {
            value = value * 10 + (text[i] - '0');
            ++i;
            ++count;
        }
        return count > 0;
    };
    skipBlanks();
    int hour = 0, minute = 0, second = 0, millisecond = 0;
    size_t n = 0;
    if (!digits(2, hour, n) || i >= text.size() || text[i] != ':') return std::nullopt;
    ++i;
    if (!digits(2, minute, n)) return std::nullopt;
    if (i < text.size() && text[i] == ':') {
        ++i;
        if (!digits(2, second, n)) return std::nullopt;
        if (i < text.size() && (text[i] == '.' || text[i] == ':')) {
            bool fraction = text[i] == '.';
            ++i;
            int value = 0;
            if (!digits(3, value, n)) return std::nullopt;
            // ".5" is half a second; ":5" is five milliseconds.
            if (fraction) {
                for (; n < 3; ++n)
                    value *= 10;
            }
            millisecond = value;
        }
    }
    skipBlanks();
    if (i + 2 <= text.size()) {
        char a = static_cast<char>(text[i] | 0x20), m = static_cast<char>(text[i + 1] | 0x20);
        if ((a == 'a' || a == 'p') && m == 'm') {
            if (hour > 12) return std::nullopt;
            hour = hour % 12 + (a == 'p' ? 12 : 0);
            i += 2;
            skipBlanks();
        }
    }
    if (i != text.size() || hour > 23 || minute > 59 || second > 59) return std::nullopt;
    return ((static_cast<int64_t>(hour) * 60 + minute) * 60 + second) * 1000 + millisecond;
}

}  // namespace engine
