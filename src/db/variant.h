// Field values of the client layer: a small VB-style variant.
//
// A Variant is NULL or a value of one kind (Boolean, Integer, Double, Currency, Decimal,
// Text, DateTime, Binary). It is what a record set's fields hold and what callers assign
// to fields of updatable sets; every driver converts between its native values and these.
// The readings toText() and toNumber() are the ones the update routines rely on, made
// independent of the process locale:
//   toText()   NULL -> "" (like `value & ""`), Boolean -> "True"/"False", numbers in their
//              shortest decimal form with '.', dates "dd/mm/yyyy" plus " hh:mm:ss" when the
//              time is not midnight, text as it is (UTF-8).
//   toNumber() NULL -> 0, Boolean True -> -1, text read like VB's Val ("12abc" -> 12,
//              "" or "abc" -> 0), dates as OLE automation day numbers.
// NULL and the empty text are different values: isNull() tells them apart.
// Thread-compatible (plain value type).
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace db {

// A civil date and time, no time zone. Milliseconds keep SQL Server's 1/300 s ticks
// readable (.003, .007) without pretending to more precision.
struct DateTime {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;

    friend bool operator==(const DateTime&, const DateTime&) = default;
    friend auto operator<=>(const DateTime&, const DateTime&) = default;

    // Days since 1899-12-30 plus the fraction of the day: the OLE automation / Jet form.
    double toOleDate() const;
    static DateTime fromOleDate(double oleDate);
    // Days since 1900-01-01 of the date part (proleptic Gregorian; negative before).
    int32_t daysSince1900() const;
    static DateTime fromDaysSince1900(int32_t days);
    // "yyyy-mm-dd hh:mm:ss" and, when milliseconds are not zero, ".mmm".
    std::string isoText() const;
    bool isValid() const;
};

class Variant {
public:
    enum class Kind { Null, Boolean, Integer, Double, Currency, Decimal, Text, DateTime, Binary };

    Variant() = default;

    static Variant null() { return Variant(); }
    static Variant boolean(bool b);
    static Variant integer(int64_t v);
    static Variant real(double v);
    // Amount in units of 1/10000 (SQL Server money, Jet Currency).
    static Variant currency(int64_t scaled);
    // An exact decimal number in plain text form: optional '-', digits, optional '.' digits.
    static Variant decimal(std::string text);
    static Variant text(std::string utf8);
    static Variant dateTime(DateTime dt);
    static Variant binary(std::string bytes);

    Kind kind() const { return kind_; }
    bool isNull() const { return kind_ == Kind::Null; }

    // Raw accessors; meaningful only for the matching kind.
    bool boolValue() const { return int_ != 0; }
    int64_t intValue() const { return int_; }
    double doubleValue() const { return double_; }
    int64_t currencyScaled() const { return int_; }
    const std::string& str() const { return text_; }  // Text, Decimal, Binary
    const DateTime& dateTimeValue() const { return date_; }

    // Readings as described at the top of this header.
    std::string toText() const;
    double toNumber() const;
    // Whole number: rounds half to even like VB's CLng; nullopt for NULL or non-numeric text.
    std::optional<int64_t> toInteger() const;

    friend bool operator==(const Variant& a, const Variant& b);

private:
    Kind kind_ = Kind::Null;
    int64_t int_ = 0;
    double double_ = 0;
    std::string text_;
    DateTime date_{};
};

// VB's Val: leading number of a text, blanks ignored, "&H"/"&O" prefixes; 0 when none.
double valOfText(std::string_view text);

// The shortest decimal text of a double with up to 15 significant digits ("8.1", "21").
std::string formatDouble(double v);

// Text of a scaled integer with `scale` decimals, trailing zeros dropped ("12.5", "0").
std::string formatScaled(int64_t scaled, int scale);

// Order of the parts of a slashed date: "dd/mm/yyyy" (Spanish) or "mm/dd/yyyy" (Jet's
// #...# literals).
enum class SlashedDateOrder { DayFirst, MonthFirst };

// Parses "yyyy-mm-dd[ hh:mm[:ss[.fff]]]" (also with 'T'), a slashed date with an optional
// time, and a bare "hh:mm[:ss]" (the date is then 1899-12-30); two-digit years are read
// as 1930-2029. nullopt when it is none of these or not a valid date.
std::optional<DateTime> parseDateTime(std::string_view text,
                                      SlashedDateOrder order = SlashedDateOrder::DayFirst);

const char* kindName(Variant::Kind kind);

}  // namespace db
