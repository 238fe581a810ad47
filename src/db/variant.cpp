#include "db/variant.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "engine/types/datetime.h"

namespace db {

namespace {

constexpr int32_t kOleEpochDays = -2;  // 1899-12-30 relative to 1900-01-01
constexpr int64_t kMillisPerDay = 86400000;

std::string twoDigits(int v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

}  // namespace

double DateTime::toOleDate() const {
    const int64_t days = daysSince1900() - kOleEpochDays;
    const double fraction =
        ((hour * 60.0 + minute) * 60.0 + second + millisecond / 1000.0) / 86400.0;
    // Before 1899-12-30 the day is negative and the time still counts forward, so the
    // fraction is subtracted (-1.25 is 1899-12-29 06:00).
    return days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
}

DateTime DateTime::fromOleDate(double oleDate) {
    const double wholeDays = std::trunc(oleDate);
    int64_t millis = std::llround(std::fabs(oleDate - wholeDays) * kMillisPerDay);
    int64_t days = static_cast<int64_t>(wholeDays);
    if (millis >= kMillisPerDay) {
        millis -= kMillisPerDay;
        days += oleDate >= 0 ? 1 : -1;
    }
    DateTime dt = fromDaysSince1900(static_cast<int32_t>(days + kOleEpochDays));
    dt.hour = static_cast<int>(millis / 3600000);
    dt.minute = static_cast<int>(millis / 60000 % 60);
    dt.second = static_cast<int>(millis / 1000 % 60);
    dt.millisecond = static_cast<int>(millis % 1000);
    return dt;
}

int32_t DateTime::daysSince1900() const { return engine::daysFromCivil(year, month, day); }

DateTime DateTime::fromDaysSince1900(int32_t days) {
    DateTime dt;
    engine::civilFromDays(days, dt.year, dt.month, dt.day);
    return dt;
}

std::string DateTime::isoText() const {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour,
                  minute, second);
    std::string s = buf;
    if (millisecond != 0) {
        std::snprintf(buf, sizeof buf, ".%03d", millisecond);
        s += buf;
    }
    return s;
}

bool DateTime::isValid() const {
    return year >= 1 && year <= 9999 && engine::isValidCivilDate(year, month, day) && hour >= 0 && hour < 24 && minute >= 0 &&
           minute < 60 && second >= 0 && second < 60 && millisecond >= 0 && millisecond < 1000;
}

Variant Variant::boolean(bool b) {
    Variant v;
    v.kind_ = Kind::Boolean;
    v.int_ = b ? 1 : 0;
    return v;
}

Variant Variant::integer(int64_t i) {
    Variant v;
    v.kind_ = Kind::Integer;
    v.int_ = i;
    return v;
}

Variant Variant::real(double d) {
    Variant v;
    v.kind_ = Kind::Double;
    v.double_ = d;
    return v;
}

Variant Variant::currency(int64_t scaled) {
    Variant v;
    v.kind_ = Kind::Currency;
    v.int_ = scaled;
    return v;
}

Variant Variant::decimal(std::string text) {
    Variant v;
    v.kind_ = Kind::Decimal;
    v.text_ = std::move(text);
    return v;
}

Variant Variant::text(std::string utf8) {
    Variant v;
    v.kind_ = Kind::Text;
    v.text_ = std::move(utf8);
    return v;
}

Variant Variant::dateTime(DateTime dt) {
    Variant v;
    v.kind_ = Kind::DateTime;
    v.date_ = dt;
    return v;
}

Variant Variant::binary(std::string bytes) {
    Variant v;
    v.kind_ = Kind::Binary;
    v.text_ = std::move(bytes);
    return v;
}

std::string formatDouble(double v) {
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v > 0 ? "Infinity" : "-Infinity";
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15G", v);
    std::string s = buf;
    // %G keeps trailing zeros of the fraction only with '#'; it never prints them, but it
    // writes exponents as E+20: VB writes 1E+20 too, so only "-0" needs care.
    if (s == "-0") s = "0";
    return s;
}

std::string formatScaled(int64_t scaled, int scale) {
    const bool negative = scaled < 0;
    // Work on the magnitude as unsigned so that INT64_MIN does not overflow.
    uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
    uint64_t divisor = 1;
    for (int i = 0; i < scale; ++i) divisor *= 10;
    std::string s = std::to_string(magnitude / divisor);
    uint64_t fraction = magnitude % divisor;
    if (fraction != 0) {
        std::string digits = std::to_string(fraction);
        digits.insert(0, static_cast<size_t>(scale) - digits.size(), '0');
        while (!digits.empty() && digits.back() == '0') digits.pop_back();
        s += "." + digits;
    }
    return negative && s != "0" ? "-" + s : s;
}

namespace {

// Drops trailing zeros of the fraction of a plain decimal text ("12.5000" -> "12.5").
std::string trimDecimal(std::string s) {
    if (s.find('.') == std::string::npos) return s;
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    if (s == "-0" || s.empty()) s = "0";
    return s;
}

}  // namespace

std::string Variant::toText() const {
    switch (kind_) {
        case Kind::Null:
            return "";
        case Kind::Boolean:
            return int_ != 0 ? "True" : "False";
        case Kind::Integer:
            return std::to_string(int_);
        case Kind::Double:
            return formatDouble(double_);
        case Kind::Currency:
            return formatScaled(int_, 4);
        case Kind::Decimal:
            return trimDecimal(text_);
        case Kind::Text:
        case Kind::Binary:
            return text_;
        case Kind::DateTime: {
            const bool hasDate = !(date_.year == 1899 && date_.month == 12 && date_.day == 30);
            const bool hasTime = date_.hour != 0 || date_.minute != 0 || date_.second != 0;
            std::string s;
            if (hasDate || !hasTime) {
                char buf[16];
                std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", date_.day, date_.month,
                              date_.year);
                s = buf;
            }
            if (hasTime) {
                if (!s.empty()) s += ' ';
                s += twoDigits(date_.hour) + ":" + twoDigits(date_.minute) + ":" +
                     twoDigits(date_.second);
            }
            return s;
        }
    }
    return "";
}

double valOfText(std::string_view text) {
    // Val ignores blanks, tabs and line feeds wherever they stand.
    std::string s;
    for (char c : text) {
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') s += c;
    }
    if (s.size() >= 2 && s[0] == '&') {
        const char base = static_cast<char>(std::toupper(static_cast<unsigned char>(s[1])));
        const int radix = base == 'H' ? 16 : base == 'O' ? 8 : 0;
        if (radix != 0) {
            int64_t value = 0;
            for (size_t i = 2; i < s.size(); ++i) {
                const int digit = std::isdigit(static_cast<unsigned char>(s[i]))
                                      ? s[i] - '0'
                                      : std::isxdigit(static_cast<unsigned char>(s[i]))
                                            ? std::toupper(static_cast<unsigned char>(s[i])) - 'A' + 10
                                            : 99;
                if (digit >= radix) break;
                value = value * radix + digit;
            }
            return static_cast<double>(value);
        }
    }
    size_t i = 0;
    std::string number;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) number += s[i++];
    bool digits = false;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
        number += s[i++];
        digits = true;
    }
    if (i < s.size() && s[i] == '.') {
        number += s[i++];
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
            number += s[i++];
            digits = true;
        }
    }
    if (!digits) return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        std::string exponent = "e";
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) exponent += s[j++];
        bool expDigits = false;
        while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) {
            exponent += s[j++];
            expDigits = true;
        }
        if (expDigits) number += exponent;
    }
    return std::strtod(number.c_str(), nullptr);
}

double Variant::toNumber() const {
    switch (kind_) {
        case Kind::Null:
            return 0;
        case Kind::Boolean:
            return int_ != 0 ? -1 : 0;
        case Kind::Integer:
            return static_cast<double>(int_);
        case Kind::Double:
            return double_;
        case Kind::Currency:
            return static_cast<double>(int_) / 10000.0;
        case Kind::Decimal:
            return std::strtod(text_.c_str(), nullptr);
        case Kind::Text:
            return valOfText(text_);
        case Kind::DateTime:
            return date_.toOleDate();
        case Kind::Binary:
            return 0;
    }
    return 0;
}

namespace {

// True when the text is a number as a whole (blanks around it allowed), as VB's IsNumeric.
bool isWholeNumber(std::string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
    if (b == e) return false;
    const std::string s(text.substr(b, e - b));
    char* end = nullptr;
    std::strtod(s.c_str(), &end);
    return end == s.c_str() + s.size();
}

int64_t roundHalfEven(double v) {
    const double floor = std::floor(v);
    const double diff = v - floor;
    double r = floor;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(floor, 2.0) != 0)) r = floor + 1;
    return static_cast<int64_t>(r);
}

}  // namespace

std::optional<int64_t> Variant::toInteger() const {
    switch (kind_) {
        case Kind::Null:
        case Kind::Binary:
            return std::nullopt;
        case Kind::Boolean:
            return int_ != 0 ? -1 : 0;
        case Kind::Integer:
            return int_;
        case Kind::Text:
            if (!isWholeNumber(text_)) return std::nullopt;
            return roundHalfEven(std::strtod(text_.c_str(), nullptr));
        case Kind::Currency: {
            // Exact: integer part plus banker's rounding on the four decimals.
            int64_t whole = int_ / 10000;
            const int64_t rest = int_ % 10000;
            if (rest > 5000 || (rest == 5000 && whole % 2 != 0)) ++whole;
            if (rest < -5000 || (rest == -5000 && whole % 2 != 0)) --whole;
            return whole;
        }
        default:
            return roundHalfEven(toNumber());
    }
}

bool operator==(const Variant& a, const Variant& b) {
    if (a.kind_ != b.kind_) return false;
    switch (a.kind_) {
        case Variant::Kind::Null:
            return true;
        case Variant::Kind::Boolean:
        case Variant::Kind::Integer:
        case Variant::Kind::Currency:
            return a.int_ == b.int_;
        case Variant::Kind::Double:
            return a.double_ == b.double_;
        case Variant::Kind::Decimal:
        case Variant::Kind::Text:
        case Variant::Kind::Binary:
            return a.text_ == b.text_;
        case Variant::Kind::DateTime:
            return a.date_ == b.date_;
    }
    return false;
}

namespace {

bool readInt(std::string_view s, size_t& i, int minDigits, int maxDigits, int& out) {
    int n = 0, value = 0;
    while (i < s.size() && n < maxDigits && std::isdigit(static_cast<unsigned char>(s[i]))) {
        value = value * 10 + (s[i] - '0');
        ++i;
        ++n;
    }
    out = value;
    return n >= minDigits;
}

bool readTime(std::string_view s, size_t& i, DateTime& dt) {
    if (!readInt(s, i, 1, 2, dt.hour)) return false;
    if (i >= s.size() || s[i] != ':') return false;
    ++i;
    if (!readInt(s, i, 1, 2, dt.minute)) return false;
    if (i < s.size() && s[i] == ':') {
        ++i;
        if (!readInt(s, i, 1, 2, dt.second)) return false;
        if (i < s.size() && s[i] == '.') {
            ++i;
            int digits = 0, ms = 0;
            while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
                if (digits < 3) ms = ms * 10 + (s[i] - '0');
                ++digits;
                ++i;
            }
            if (digits == 0) return false;
            for (int d = digits; d < 3; ++d) ms *= 10;
            dt.millisecond = ms;
        }
    }
    return true;
}

}  // namespace

std::optional<DateTime> parseDateTime(std::string_view text, SlashedDateOrder order) {
    size_t b = 0, e = text.size();
    while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
    const std::string_view s = text.substr(b, e - b);
    DateTime dt;
    size_t i = 0;
    int a = 0;
    if (!readInt(s, i, 1, 4, a)) return std::nullopt;
    if (i < s.size() && s[i] == ':') {
        i = 0;
        if (!readTime(s, i, dt) || i != s.size()) return std::nullopt;
        return dt.isValid() ? std::optional(dt) : std::nullopt;
    }
    if (i < s.size() && s[i] == '-') {
        dt.year = a;
        ++i;
        if (!readInt(s, i, 1, 2, dt.month) || i >= s.size() || s[i] != '-') return std::nullopt;
        ++i;
        if (!readInt(s, i, 1, 2, dt.day)) return std::nullopt;
    } else if (i < s.size() && s[i] == '/') {
        int second = 0, year = 0;
        ++i;
        if (!readInt(s, i, 1, 2, second) || i >= s.size() || s[i] != '/') return std::nullopt;
        ++i;
        const size_t yearStart = i;
        if (!readInt(s, i, 2, 4, year)) return std::nullopt;
        if (i - yearStart == 2) year += year < 30 ? 2000 : 1900;
        dt.year = year;
        dt.day = order == SlashedDateOrder::DayFirst ? a : second;
        dt.month = order == SlashedDateOrder::DayFirst ? second : a;
    } else {
        return std::nullopt;
    }
    if (i < s.size()) {
        if (s[i] != ' ' && s[i] != 'T') return std::nullopt;
        while (i < s.size() && (s[i] == ' ' || s[i] == 'T')) ++i;
        if (!readTime(s, i, dt)) return std::nullopt;
    }
    if (i != s.size() || !dt.isValid()) return std::nullopt;
    return dt;
}

const char* kindName(Variant::Kind kind) {
    switch (kind) {
        case Variant::Kind::Null:
            return "Null";
        case Variant::Kind::Boolean:
            return "Boolean";
        case Variant::Kind::Integer:
            return "Integer";
        case Variant::Kind::Double:
            return "Double";
        case Variant::Kind::Currency:
            return "Currency";
        case Variant::Kind::Decimal:
            return "Decimal";
        case Variant::Kind::Text:
            return "Text";
        case Variant::Kind::DateTime:
            return "DateTime";
        case Variant::Kind::Binary:
            return "Binary";
    }
    return "?";
}

}  // namespace db
