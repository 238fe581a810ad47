#include "engine/types/literals.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace engine {
namespace {

using namespace testing;

TEST(NumberLiterals, TypedAsSqlServerTypesThem) {
    struct Case {
        const char* text;
        DataType type;
        const char* value;
    } cases[] = {
        {"5", DataType::of(TypeId::Int), "5"},
        {"2147483647", DataType::of(TypeId::Int), "2147483647"},
        {"2147483648", DataType::numeric(10, 0), "2147483648"},
        {"5000000000", DataType::numeric(10, 0), "5000000000"},
        {"1.50", DataType::numeric(3, 2), "1.50"},
        {".5", DataType::numeric(1, 1), "0.5"},
        {"0.05", DataType::numeric(2, 2), "0.05"},
        {"007.5", DataType::numeric(2, 1), "7.5"},
        {"1.", DataType::numeric(1, 0), "1"},
        {"0.0", DataType::numeric(1, 1), "0.0"},
        {"1e3", DataType::floating(TypeId::Float), "1000"},
        {"1.5E-2", DataType::floating(TypeId::Float), "0.015"},
        {"$5", DataType::of(TypeId::Money), "5.0000"},
        {"$-1.25", DataType::of(TypeId::Money), "-1.2500"},
        {"12345678901234567890123456789012345678", DataType::numeric(38, 0),
         "12345678901234567890123456789012345678"},
        {"-5", DataType::of(TypeId::Int), "-5"},
        {"-2147483647", DataType::of(TypeId::Int), "-2147483647"},
        {"-2147483648", DataType::numeric(10, 0), "-2147483648"},
        {"-2147483649", DataType::numeric(10, 0), "-2147483649"},
        {"-1.50", DataType::numeric(3, 2), "-1.50"},
        {"+7", DataType::of(TypeId::Int), "7"},
        {"-1e2", DataType::floating(TypeId::Float), "-100"},
        {"-$5", DataType::of(TypeId::Money), "-5.0000"},
    };
    for (const auto& c : cases) {
        const Value v = numberLiteral(c.text);
        EXPECT_EQ(v.type(), c.type) << c.text;
        EXPECT_EQ(shown(v), c.value) << c.text;
    }
}

TEST(NumberLiterals, MalformedTextIsASyntaxError) {
    for (const char* text : {"--1", "1.2.3", "$", "$1x", "1x"})
        EXPECT_EQ(errorOf([&] { numberLiteral(text); }), 102) << text;
}

TEST(NumberLiterals, MoreThan38DigitsIsError1007) {
    EXPECT_EQ(errorOf([] { numberLiteral("123456789012345678901234567890123456789"); }), 1007);
}

TEST(BinaryLiterals, HexDigitsBecomeBytes) {
    const Value v = binaryLiteral("0x0A1B");
    EXPECT_EQ(v.type(), (DataType{TypeId::VarBinary, 2, 0, 0}));
    EXPECT_EQ(v.bytes(), std::string("\x0A\x1B", 2));
    EXPECT_EQ(binaryLiteral("0xABC").bytes(), std::string("\x0A\xBC", 2));
    EXPECT_EQ(binaryLiteral("0x").bytes(), "");
}

std::string parsed(const char* text, DateFormat f = DateFormat::Mdy,
                   TypeId target = TypeId::DateTime) {
    const auto v = parseDateTimeText(text, target, f);
    return v ? shown(*v) : std::string("<none>");
}

TEST(DateStrings, FormatsIndependentOfDateFormat) {
    for (DateFormat f : {DateFormat::Mdy, DateFormat::Dmy, DateFormat::Ymd}) {
        EXPECT_EQ(parsed("20130102", f), "2013-01-02 00:00:00.000");
        EXPECT_EQ(parsed("2013-01-02T10:20:30.123", f), "2013-01-02 10:20:30.123");
        EXPECT_EQ(parsed("20130102 10:20", f), "2013-01-02 10:20:00.000");
        EXPECT_EQ(parsed("Jan 2 2013", f), "2013-01-02 00:00:00.000");
        EXPECT_EQ(parsed("2 January 2013 10:20AM", f), "2013-01-02 10:20:00.000");
        EXPECT_EQ(parsed("Apr 18 2006  9:58AM", f), "2006-04-18 09:58:00.000");
        EXPECT_EQ(parsed("April 18, 2006", f), "2006-04-18 00:00:00.000");
    }
}

TEST(DateStrings, NumericFormsFollowTheSessionDateFormat) {
    EXPECT_EQ(parsed("01/02/2013", DateFormat::Mdy), "2013-01-02 00:00:00.000");
    EXPECT_EQ(parsed("01/02/2013", DateFormat::Dmy), "2013-02-01 00:00:00.000");
    EXPECT_EQ(parsed("1/2/13", DateFormat::Mdy), "2013-01-02 00:00:00.000");
    EXPECT_EQ(parsed("02.01.99", DateFormat::Dmy), "1999-01-02 00:00:00.000");
    EXPECT_EQ(parsed("13/02/2013", DateFormat::Mdy), "<none>");
    // yyyy-mm-dd for datetime is read as yyyy-dd-mm under dmy; the date type keeps ISO.
    EXPECT_EQ(parsed("2013-01-02", DateFormat::Mdy), "2013-01-02 00:00:00.000");
    EXPECT_EQ(parsed("2013-01-02", DateFormat::Dmy), "2013-02-01 00:00:00.000");
    EXPECT_EQ(parsed("2013-01-02", DateFormat::Dmy, TypeId::Date), "2013-01-02");
    EXPECT_EQ(parsed("2013-01-02 10:20:30", DateFormat::Ymd), "2013-01-02 10:20:30.000");
}

TEST(DateStrings, TimesAloneFallOnTheFirstOfJanuary1900) {
    EXPECT_EQ(parsed("10:20"), "1900-01-01 10:20:00.000");
    EXPECT_EQ(parsed("12:00AM"), "1900-01-01 00:00:00.000");
    EXPECT_EQ(parsed("1:05 PM"), "1900-01-01 13:05:00.000");
    EXPECT_EQ(parsed("10:20:30:5"), "1900-01-01 10:20:30.007");
    EXPECT_EQ(parsed(""), "1900-01-01 00:00:00.000");
}

TEST(DateStrings, RejectsWhatIsNotADate) {
    for (const char* text :
         {"abc", "2013-13-45x", "10", "25:00", "2013/01", "1/2/3/4", "Foo 2 2013", "10:61"}) {
        EXPECT_EQ(parsed(text), "<none>") << text;
    }
}

TEST(DateStrings, ImpossibleDatesAreOutOfRangeForDatetime) {
    bool outOfRange = false;
    EXPECT_FALSE(parseDateTimeText("2013-02-30", TypeId::DateTime, DateFormat::Mdy, &outOfRange));
    EXPECT_TRUE(outOfRange);
    EXPECT_FALSE(parseDateTimeText("1600-01-01", TypeId::DateTime, DateFormat::Mdy, &outOfRange));
    EXPECT_TRUE(outOfRange);
    EXPECT_TRUE(parseDateTimeText("1600-01-01", TypeId::Date, DateFormat::Mdy, &outOfRange));
    EXPECT_FALSE(parseDateTimeText("abc", TypeId::DateTime, DateFormat::Mdy, &outOfRange));
    EXPECT_FALSE(outOfRange);
}

TEST(DateStrings, SmallDateTimeRoundsToTheMinute) {
    EXPECT_EQ(parsed("2006-04-18 09:58:29.998", DateFormat::Mdy, TypeId::SmallDateTime),
              "2006-04-18 09:58:00");
    EXPECT_EQ(parsed("2006-04-18 09:58:30", DateFormat::Mdy, TypeId::SmallDateTime),
              "2006-04-18 09:59:00");
}

TEST(OdbcEscapes, DateTimeAndTimestamp) {
    EXPECT_EQ(shown(odbcEscapeLiteral("d", "2013-01-01")), "2013-01-01 00:00:00.000");
    EXPECT_EQ(shown(odbcEscapeLiteral("ts", "2013-01-01 10:20:30.123")), "2013-01-01 10:20:30.123");
    EXPECT_EQ(shown(odbcEscapeLiteral("TS", "2013-01-01 10:20:30")), "2013-01-01 10:20:30.000");
    EXPECT_EQ(shown(odbcEscapeLiteral("t", "13:33:41")), "1900-01-01 13:33:41.000");
    EXPECT_EQ(odbcEscapeLiteral("d", "2013-01-01").type(), DataType::of(TypeId::DateTime));
    EXPECT_EQ(errorOf([] { odbcEscapeLiteral("d", "01/02/2013"); }), 241);
    EXPECT_EQ(errorOf([] { odbcEscapeLiteral("d", "2013-02-30"); }), 241);
    EXPECT_EQ(errorOf([] { odbcEscapeLiteral("ts", "2013-01-01"); }), 241);
}

}  // namespace
}  // namespace engine
