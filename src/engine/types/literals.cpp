#include "engine/types/literals.h"

#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/types/datetime.h"
#include "engine/types/decimal_math.h"
#include "engine/types/sql_message.h"

namespace engine {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool allDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s) {
        if (!isDigit(c)) return false;
    }
    return true;
}
int toInt(std::string_view s) {
    int v = 0;
    for (char c : s)
        v = v * 10 + (c - '0');
    return v;
}
bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() &&
           (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n'))
        s.remove_prefix(1);
    while (!s.empty() &&
           (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

// Two-digit years: 00..49 are 2000..2049, 50..99 are 1950..1999.
int expandYear(std::string_view digits) {
    const int y = toInt(digits);
    if (digits.size() > 2) return y;
    return y < 50 ? 2000 + y : 1900 + y;
}

// English month names and their three-letter abbreviations (us_english).
int monthFromName(std::string_view word) {
    static constexpr std::string_view kNames[12] = {
        "january", "february", "march",     "april",   "may",      "june",
        "july",    "august",   "september", "october", "november", "december"};
    for (int m = 0; m < 12; ++m) {
        if (equalsNoCase(word, kNames[m]) ||
            (word.size() == 3 && equalsNoCase(word, kNames[m].substr(0, 3)))) {
            return m + 1;
        }
    }
    return 0;
}

struct Time {
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// hh[:mi[:ss[.fff | :fff]]] with an optional AM/PM suffix (also as a separate word).
bool parseTime(std::string_view text, Time& t) {
    std::string_view s = trim(text);
    int ampm = 0;  // 1 AM, 2 PM
    if (s.size() >= 2) {
        const std::string_view tail = s.substr(s.size() - 2);
        if (equalsNoCase(tail, "AM")) ampm = 1;
        if (equalsNoCase(tail, "PM")) ampm = 2;
        if (ampm != 0) s = trim(s.substr(0, s.size() - 2));
    }
    if (s.empty()) return false;
    std::vector<std::string_view> parts;
    char fractionSeparator = 0;
    size_t start = 0;
    for (size_t i = 0; i <= s.size(); ++i) {
        if (i == s.size() || s[i] == ':' || s[i] == '.') {
            parts.push_back(s.substr(start, i - start));
            if (i < s.size() && s[i] == '.') {
                if (fractionSeparator != 0 || parts.size() < 2) return false;
                fractionSeparator = '.';
            }
            start = i + 1;
        }
    }
    if (parts.size() > 4) return false;
    if (parts.size() == 4 && fractionSeparator == 0) fractionSeparator = ':';
    if (parts.size() == 1 && ampm == 0) return false;  // a bare number is not a time
    for (size_t i = 0; i < parts.size(); ++i) {
        if (!allDigits(parts[i])) return false;
        if (i < 3 && parts[i].size() > 2) return false;
    }
    if (fractionSeparator == '.' && parts.size() == 3) {
        // hh:mi.fff is not a form SQL Server reads; hh:mi:ss.fff is.
        return false;
    }
    t.hour = toInt(parts[0]);
    t.minute = parts.size() > 1 ? toInt(parts[1]) : 0;
    t.second = parts.size() > 2 ? toInt(parts[2]) : 0;
    t.millisecond = 0;
    if (parts.size() == 4) {
        const std::string_view f = parts[3];
        if (fractionSeparator == '.') {
            if (f.size() > 3) {
                // More than three digits round to the millisecond.
                int ms = toInt(f.substr(0, 3));
                if (f[3] >= '5') ++ms;
                t.millisecond = ms;
            } else {
                t.millisecond = toInt(f) * (f.size() == 1 ? 100 : f.size() == 2 ? 10 : 1);
            }
        } else {
            if (f.size() > 3) return false;
            t.millisecond = toInt(f);
        }
    }
    if (ampm != 0) {
        if (t.hour < 0 || t.hour > 12) return false;
        if (ampm == 1 && t.hour == 12) t.hour = 0;
        if (ampm == 2 && t.hour < 12) t.hour += 12;
    }
    return t.hour <= 23 && t.minute <= 59 && t.second <= 59 && t.millisecond <= 1000;
}

struct Date {
    int year = 1900, month = 1, day = 1;
};

// Three numbers separated by '/', '-' or '.': the order comes from the date format,
// except that a leading four-digit year makes it y-m-d (y-d-m under the formats that
// put the day before the month, as SQL Server reads datetime strings).
bool parseNumericDate(std::string_view s, DateFormat format, bool isoYearFirst, Date& d) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    char separator = 0;
    for (size_t i = 0; i <= s.size(); ++i) {
        if (i == s.size() || s[i] == '/' || s[i] == '-' || s[i] == '.') {
            if (i < s.size()) {
                if (separator != 0 && separator != s[i]) return false;
                separator = s[i];
            }
            parts.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    }
    if (parts.size() != 3) return false;
    for (const auto& p : parts) {
        if (!allDigits(p) || p.size() > 4) return false;
    }
    std::string_view y, m, dd;
    if (parts[0].size() > 2) {
        y = parts[0];
        const bool dayFirst =
            !isoYearFirst &&
            (format == DateFormat::Dmy || format == DateFormat::Ydm || format == DateFormat::Dym);
        m = dayFirst ? parts[2] : parts[1];
        dd = dayFirst ? parts[1] : parts[2];
    } else {
        switch (format) {
            case DateFormat::Mdy:
                m = parts[0], dd = parts[1], y = parts[2];
                break;
            case DateFormat::Dmy:
                dd = parts[0], m = parts[1], y = parts[2];
                break;
            case DateFormat::Ymd:
                y = parts[0], m = parts[1], dd = parts[2];
                break;
            case DateFormat::Ydm:
                y = parts[0], dd = parts[1], m = parts[2];
                break;
            case DateFormat::Myd:
                m = parts[0], y = parts[1], dd = parts[2];
                break;
            case DateFormat::Dym:
                dd = parts[0], y = parts[1], m = parts[2];
                break;
        }
        if (m.size() > 2 || dd.size() > 2) return false;
    }
    if (y.size() == 3) return false;
    d.year = expandYear(y);
    d.month = toInt(m);
    d.day = toInt(dd);
    return true;
}

// "Apr 18 2006", "18 April 2006", "April 18, 2006", "2006 Apr 18", "Apr 2006".
bool parseAlphaDate(const std::vector<std::string_view>& words, Date& d) {
    int month = 0;
    std::vector<std::string_view> numbers;
    for (auto w : words) {
        if (w.empty()) continue;
        if (allDigits(w)) {
            numbers.push_back(w);
        } else if (const int m = monthFromName(w); m != 0 && month == 0) {
            month = m;
        } else {
            return false;
        }
    }
    if (month == 0 || numbers.empty() || numbers.size() > 2) return false;
    d.month = month;
    if (numbers.size() == 1) {
        if (numbers[0].size() != 4) return false;
        d.year = toInt(numbers[0]);
        d.day = 1;
        return true;
    }
    if (numbers[0].size() == 4) {
        d.year = toInt(numbers[0]);
        d.day = toInt(numbers[1]);
        return numbers[1].size() <= 2;
    }
    if (numbers[0].size() > 2) return false;
    d.day = toInt(numbers[0]);
    d.year = expandYear(numbers[1]);
    return numbers[1].size() == 2 || numbers[1].size() == 4;
}

bool looksLikeTimeWord(std::string_view w) {
    if (w.find(':') != std::string_view::npos) return true;
    if (w.size() >= 2) {
        const std::string_view tail = w.substr(w.size() - 2);
        if (equalsNoCase(tail, "AM") || equalsNoCase(tail, "PM")) return true;
    }
    return false;
}

enum class ParseOutcome { Ok, NotADate, InvalidDate };

ParseOutcome parseDateTimeParts(std::string_view text, TypeId target, DateFormat format, Date& date,
                                Time& time) {
    std::string_view s = trim(text);
    date = Date{};
    time = Time{};
    if (s.empty()) return ParseOutcome::Ok;  // '' is 1900-01-01 00:00

    // ISO 8601: yyyy-mm-ddThh:mi[:ss[.fff]] is read the same under every date format.
    if (const size_t tpos = s.find('T'); tpos == 10 && s.size() > 11) {
        const std::string_view datePart = s.substr(0, 10);
        if (datePart[4] != '-' || datePart[7] != '-') return ParseOutcome::NotADate;
        if (!allDigits(datePart.substr(0, 4)) || !allDigits(datePart.substr(5, 2)) ||
            !allDigits(datePart.substr(8, 2))) {
            return ParseOutcome::NotADate;
        }
        date.year = toInt(datePart.substr(0, 4));
        date.month = toInt(datePart.substr(5, 2));
        date.day = toInt(datePart.substr(8, 2));
        if (!parseTime(s.substr(11), time)) return ParseOutcome::NotADate;
        return isValidCivilDate(date.year, date.month, date.day) ? ParseOutcome::Ok
                                                                 : ParseOutcome::InvalidDate;
    }

    // Split into blank/comma separated words; words that look like times are the time.
    std::vector<std::string_view> dateWords;
    std::string timeText;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == ',' || s[i] == '\t'))
            ++i;
        const size_t start = i;
        while (i < s.size() && s[i] != ' ' && s[i] != ',' && s[i] != '\t')
            ++i;
        if (start == i) break;
        const std::string_view w = s.substr(start, i - start);
        const bool ampmWord = equalsNoCase(w, "AM") || equalsNoCase(w, "PM");
        if (looksLikeTimeWord(w) || ampmWord) {
            if (!timeText.empty() && !ampmWord) return ParseOutcome::NotADate;
            timeText += w;
        } else {
            if (!timeText.empty()) return ParseOutcome::NotADate;  // the date comes first
            dateWords.push_back(w);
        }
    }
    if (!timeText.empty() && !parseTime(timeText, time)) return ParseOutcome::NotADate;
    if (dateWords.empty()) return timeText.empty() ? ParseOutcome::NotADate : ParseOutcome::Ok;

    bool parsed = false;
    if (dateWords.size() == 1) {
        const std::string_view w = dateWords[0];
        if (allDigits(w)) {
            if (w.size() == 8) {
                date.year = toInt(w.substr(0, 4));
                date.month = toInt(w.substr(4, 2));
                date.day = toInt(w.substr(6, 2));
                parsed = true;
            } else if (w.size() == 6) {
                date.year = expandYear(w.substr(0, 2));
                date.month = toInt(w.substr(2, 2));
                date.day = toInt(w.substr(4, 2));
                parsed = true;
            } else if (w.size() == 4) {
                date.year = toInt(w);
                parsed = true;
            } else {
                return ParseOutcome::NotADate;
            }
        } else {
            // The date type reads yyyy-mm-dd as ISO; datetime follows the date format.
            parsed = parseNumericDate(w, format, target == TypeId::Date, date);
        }
    }
    if (!parsed) parsed = parseAlphaDate(dateWords, date);
    if (!parsed) return ParseOutcome::NotADate;
    return isValidCivilDate(date.year, date.month, date.day) ? ParseOutcome::Ok
                                                             : ParseOutcome::InvalidDate;
}

}  // namespace

std::optional<Value> parseDateTimeText(std::string_view text, TypeId target, DateFormat dateFormat,
                                       bool* outOfRange) {
    if (outOfRange) *outOfRange = false;
    Date d;
    Time t;
    const ParseOutcome outcome = parseDateTimeParts(text, target, dateFormat, d, t);
    if (outcome == ParseOutcome::NotADate) return std::nullopt;
    if (outcome == ParseOutcome::InvalidDate) {
        // A well-formed but impossible datetime (Feb 30) is "out of range" for datetime and
        // smalldatetime; the date type reports it as a conversion failure.
        if (outOfRange && target != TypeId::Date) *outOfRange = true;
        return std::nullopt;
    }
    const Value v = makeDateTime(
        CivilDateTime{d.year, d.month, d.day, t.hour, t.minute, t.second, t.millisecond}, target);
    if (!dateInRange(v.days(), v.ticks(), target)) {
        if (outOfRange && target != TypeId::Date) *outOfRange = true;
        return std::nullopt;
    }
    return v;
}

Value odbcEscapeLiteral(std::string_view kind, std::string_view text) {
    const std::string_view s = trim(text);
    Date d;
    Time t;
    bool ok = false;
    auto isoDate = [&](std::string_view x) {
        if (x.size() != 10 || x[4] != '-' || x[7] != '-' || !allDigits(x.substr(0, 4)) ||
            !allDigits(x.substr(5, 2)) || !allDigits(x.substr(8, 2))) {
            return false;
        }
        d.year = toInt(x.substr(0, 4));
        d.month = toInt(x.substr(5, 2));
        d.day = toInt(x.substr(8, 2));
        return isValidCivilDate(d.year, d.month, d.day);
    };
    if (equalsNoCase(kind, "d")) {
        ok = isoDate(s);
    } else if (equalsNoCase(kind, "t")) {
        ok = s.find(':') != std::string_view::npos && parseTime(s, t);
    } else if (equalsNoCase(kind, "ts")) {
        const size_t blank = s.find(' ');
        ok = blank != std::string_view::npos && isoDate(s.substr(0, blank)) &&
             parseTime(s.substr(blank + 1), t);
    }
    if (!ok) throw SqlException(241);
    Value v = makeDateTime(
        CivilDateTime{d.year, d.month, d.day, t.hour, t.minute, t.second, t.millisecond});
    if (!dateInRange(v.days(), v.ticks(), TypeId::DateTime))
        throw SqlException(242, {"varchar", "datetime"});
    return v;
}

Value numberLiteral(std::string_view text) {
    // A sign written with the number ("-1", "-$5") belongs to it.
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        const bool negative = text[0] == '-';
        std::string_view rest = text.substr(1);
        if (!rest.empty() && rest[0] == '$') {
            std::string money = "$";
            if (negative) money += '-';
            money += rest.substr(1);
            return numberLiteral(money);
        }
        if (rest.empty() || rest[0] == '-' || rest[0] == '+')
            throw SqlException(102, {std::string(text)});
        const Value magnitude = numberLiteral(rest);
        if (!negative) return magnitude;
        if (magnitude.typeId() == TypeId::Int) return Value::integer(-magnitude.asInt64());
        if (magnitude.typeId() == TypeId::Float) return Value::floating(-magnitude.asDouble());
        if (magnitude.typeId() == TypeId::Money) return Value::money(-magnitude.moneyScaled());
        return Value::decimal(-magnitude.decimalUnscaled(), magnitude.type());
    }
    if (!text.empty() && text[0] == '$') {
        Int128 unscaled;
        int precision, scale;
        if (!decimal::parse(text.substr(1), unscaled, precision, scale)) {
            throw SqlException(102, {std::string(text)});
        }
        const auto money = decimal::rescale(unscaled, scale, 4);
        const Int128 limit = static_cast<Int128>(INT64_MAX);
        if (!money || *money > limit || *money < -limit - 1) {
            throw SqlException(8115, {"expression", "money"});
        }
        return Value::money(static_cast<int64_t>(*money));
    }
    if (text.find_first_of("eE") != std::string_view::npos) {
        std::string s(text);
        const size_t e = s.find_first_of("eE");
        if (e + 1 == s.size() || ((s[e + 1] == '+' || s[e + 1] == '-') && e + 2 == s.size()))
            s.push_back('0');
        char* end = nullptr;
        const double d = std::strtod(s.c_str(), &end);
        if (end != s.c_str() + s.size()) throw SqlException(102, {std::string(text)});
        return Value::floating(d);
    }
    Int128 unscaled;
    int precision, scale;
    if (!decimal::parse(text, unscaled, precision, scale)) {
        // Well-formed but too long: more than 38 digits.
        bool digitsOnly = !text.empty();
        int points = 0;
        for (char c : text) {
            digitsOnly = digitsOnly && (isDigit(c) || c == '.');
            points += c == '.';
        }
        if (digitsOnly && points <= 1) throw SqlException(1007, {"number", std::string(text)});
        throw SqlException(102, {std::string(text)});
    }
    if (scale == 0 && text.find('.') == std::string_view::npos && unscaled <= INT32_MAX) {
        return Value::integer(static_cast<int64_t>(unscaled));
    }
    if (precision < scale) precision = scale;
    return Value::decimal(
        unscaled, DataType::numeric(static_cast<uint8_t>(precision), static_cast<uint8_t>(scale)));
}

Value binaryLiteral(std::string_view text) {
    std::string_view hex = text;
    if (hex.size() >= 2 && hex[0] == '0' && (hex[1] == 'x' || hex[1] == 'X')) hex.remove_prefix(2);
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string bytes;
    size_t i = 0;
    if (hex.size() % 2 == 1) {
        const int n = nibble(hex[0]);
        if (n < 0) throw SqlException(102, {std::string(text)});
        bytes.push_back(static_cast<char>(n));
        i = 1;
    }
    for (; i + 1 < hex.size(); i += 2) {
        const int hi = nibble(hex[i]), lo = nibble(hex[i + 1]);
        if (hi < 0 || lo < 0) throw SqlException(102, {std::string(text)});
        bytes.push_back(static_cast<char>(hi * 16 + lo));
    }
    const int32_t length = bytes.empty() ? 1 : static_cast<int32_t>(bytes.size());
    return Value::binary(std::move(bytes), DataType{TypeId::VarBinary,
                                                    length > 8000 ? DataType::kMax : length, 0, 0});
}

}  // namespace engine
