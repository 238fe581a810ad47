#include "db/variant.h"

#include <gtest/gtest.h>

namespace db {
namespace {

TEST(VariantText, ReadsAsTheRoutinesExpect) {
    EXPECT_EQ(Variant().toText(), "");
    EXPECT_TRUE(Variant().isNull());
    EXPECT_FALSE(Variant::text("").isNull());
    EXPECT_EQ(Variant::text("España").toText(), "España");
    EXPECT_EQ(Variant::integer(-42).toText(), "-42");
    EXPECT_EQ(Variant::real(8.1).toText(), "8.1");
    EXPECT_EQ(Variant::real(21).toText(), "21");
    EXPECT_EQ(Variant::real(0.1 + 0.2).toText(), "0.3");
    EXPECT_EQ(Variant::real(1e20).toText(), "1E+20");
    EXPECT_EQ(Variant::currency(125000).toText(), "12.5");
    EXPECT_EQ(Variant::currency(-5).toText(), "-0.0005");
    EXPECT_EQ(Variant::currency(0).toText(), "0");
    EXPECT_EQ(Variant::decimal("12.5000").toText(), "12.5");
    EXPECT_EQ(Variant::decimal("100").toText(), "100");
    EXPECT_EQ(Variant::boolean(true).toText(), "True");
}

TEST(VariantText, DatesInSpanishOrderTimeOnlyWhenSet) {
    EXPECT_EQ(Variant::dateTime({1986, 1, 1, 0, 0, 0, 0}).toText(), "01/01/1986");
    EXPECT_EQ(Variant::dateTime({2024, 3, 7, 9, 5, 3, 0}).toText(), "07/03/2024 09:05:03");
    EXPECT_EQ(Variant::dateTime({1899, 12, 30, 13, 0, 0, 0}).toText(), "13:00:00");
}

TEST(VariantNumber, FollowsVal) {
    EXPECT_EQ(Variant().toNumber(), 0);
    EXPECT_EQ(Variant::text("").toNumber(), 0);
    EXPECT_EQ(Variant::text("abc").toNumber(), 0);
    EXPECT_EQ(Variant::text("1002").toNumber(), 1002);
    EXPECT_EQ(Variant::text(" 12abc").toNumber(), 12);
    EXPECT_EQ(Variant::text("1 2 3").toNumber(), 123);
    EXPECT_EQ(Variant::text("-3.5e2x").toNumber(), -350);
    EXPECT_EQ(Variant::text("12,5").toNumber(), 12);
    EXPECT_EQ(Variant::text("&HFF").toNumber(), 255);
    EXPECT_EQ(Variant::boolean(true).toNumber(), -1);
    EXPECT_EQ(Variant::currency(125000).toNumber(), 12.5);
    EXPECT_EQ(Variant::decimal("-0.25").toNumber(), -0.25);
}

TEST(VariantNumber, IntegerRoundsHalfToEvenAndRejectsNonNumbers) {
    EXPECT_EQ(Variant::real(2.5).toInteger(), 2);
    EXPECT_EQ(Variant::real(3.5).toInteger(), 4);
    EXPECT_EQ(Variant::real(-2.5).toInteger(), -2);
    EXPECT_EQ(Variant::currency(25000).toInteger(), 2);
    EXPECT_EQ(Variant::currency(35000).toInteger(), 4);
    EXPECT_EQ(Variant::currency(-35000).toInteger(), -4);
    EXPECT_EQ(Variant::text(" 7 ").toInteger(), 7);
    EXPECT_FALSE(Variant::text("7x").toInteger());
    EXPECT_FALSE(Variant().toInteger());
}

TEST(DateTime, OleDateRoundTrips) {
    const DateTime epoch{1899, 12, 30, 0, 0, 0, 0};
    EXPECT_EQ(epoch.toOleDate(), 0);
    const DateTime d{1986, 1, 1, 0, 0, 0, 0};
    EXPECT_EQ(d.toOleDate(), 31413);
    EXPECT_EQ(DateTime::fromOleDate(31413), d);
    const DateTime noon{2000, 2, 29, 12, 0, 0, 0};
    EXPECT_DOUBLE_EQ(noon.toOleDate(), 36585.5);
    EXPECT_EQ(DateTime::fromOleDate(36585.5), noon);
    // Before the epoch the time still runs forward: -1.25 is 1899-12-29 06:00.
    const DateTime before{1899, 12, 29, 6, 0, 0, 0};
    EXPECT_DOUBLE_EQ(before.toOleDate(), -1.25);
    EXPECT_EQ(DateTime::fromOleDate(-1.25), before);
    // A value a hair below midnight rounds to the next day, not to 24:00:00.
    EXPECT_EQ(DateTime::fromOleDate(31413.9999999999), (DateTime{1986, 1, 2, 0, 0, 0, 0}));
}

TEST(ParseDateTime, AcceptsTheCommonFormsAndRejectsInvalidDates) {
    EXPECT_EQ(parseDateTime("2024-02-29"), (DateTime{2024, 2, 29, 0, 0, 0, 0}));
    EXPECT_EQ(parseDateTime("2024-02-29T10:11:12.5"), (DateTime{2024, 2, 29, 10, 11, 12, 500}));
    EXPECT_EQ(parseDateTime("07/03/2024 09:05"), (DateTime{2024, 3, 7, 9, 5, 0, 0}));
    EXPECT_EQ(parseDateTime("03/07/2024", SlashedDateOrder::MonthFirst), (DateTime{2024, 3, 7, 0, 0, 0, 0}));
    EXPECT_EQ(parseDateTime("1/1/86"), (DateTime{1986, 1, 1, 0, 0, 0, 0}));
    EXPECT_EQ(parseDateTime("10:30"), (DateTime{1899, 12, 30, 10, 30, 0, 0}));
    EXPECT_FALSE(parseDateTime("2023-02-29"));
    EXPECT_FALSE(parseDateTime("31/04/2024"));
    EXPECT_FALSE(parseDateTime("2024-01-01 25:00"));
    EXPECT_FALSE(parseDateTime("yesterday"));
    EXPECT_FALSE(parseDateTime("2024-01-01x"));
}

}  // namespace
}  // namespace db
