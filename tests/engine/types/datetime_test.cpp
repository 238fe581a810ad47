#include "engine/types/datetime.h"

#include <gtest/gtest.h>

namespace engine {
namespace {

TEST(CivilDates, DayNumbersCountFrom1900) {
    EXPECT_EQ(daysFromCivil(1900, 1, 1), 0);
    EXPECT_EQ(daysFromCivil(1900, 1, 2), 1);
    EXPECT_EQ(daysFromCivil(1899, 12, 31), -1);
    EXPECT_EQ(daysFromCivil(1753, 1, 1), -53690);
    EXPECT_EQ(daysFromCivil(2006, 4, 18), 38823);
    for (int32_t d : {-700000, -53690, -1, 0, 59, 60, 38823, 2958463}) {
        int y, m, day;
        civilFromDays(d, y, m, day);
        EXPECT_EQ(daysFromCivil(y, m, day), d);
    }
}

TEST(CivilDates, LeapYearsAndMonthLengths) {
    EXPECT_EQ(daysInMonth(2000, 2), 29);
    EXPECT_EQ(daysInMonth(1900, 2), 28);
    EXPECT_EQ(daysInMonth(2012, 2), 29);
    EXPECT_TRUE(isValidCivilDate(2012, 2, 29));
    EXPECT_FALSE(isValidCivilDate(2013, 2, 29));
    EXPECT_FALSE(isValidCivilDate(2013, 4, 31));
}

TEST(ClockTicks, MillisecondsRoundToThreeHundredthsOfASecond) {
    struct Case {
        int ms;
        int shownMs;
    } cases[] = {{0, 0}, {1, 0}, {2, 3}, {3, 3},  {4, 3},     {5, 7},
                 {6, 7}, {7, 7}, {8, 7}, {9, 10}, {997, 997}, {998, 997}};
    for (const auto& c : cases) {
        EXPECT_EQ(millisecondsFromTicks(ticksFromTime(0, 0, 0, c.ms)), c.shownMs) << c.ms;
    }
    // .999 rounds up to the next second.
    EXPECT_EQ(ticksFromTime(0, 0, 0, 999), kTicksPerSecond);
}

TEST(ClockTicks, CarryIntoTheNextDay) {
    const Value v = makeDateTime(CivilDateTime{2006, 12, 31, 23, 59, 59, 999});
    const CivilDateTime c = toCivil(v);
    EXPECT_EQ(c.year, 2007);
    EXPECT_EQ(c.month, 1);
    EXPECT_EQ(c.day, 1);
    EXPECT_EQ(c.hour, 0);
}

TEST(SmallDateTime, RoundsToTheMinute) {
    const CivilDateTime down{2006, 4, 18, 9, 58, 29, 998};
    const CivilDateTime up{2006, 4, 18, 9, 58, 29, 999};
    EXPECT_EQ(toCivil(makeDateTime(down, TypeId::SmallDateTime)).minute, 58);
    EXPECT_EQ(toCivil(makeDateTime(up, TypeId::SmallDateTime)).minute, 59);
    EXPECT_EQ(toCivil(makeDateTime(up, TypeId::SmallDateTime)).second, 0);
}

TEST(Ranges, EachTypeHasItsOwn) {
    EXPECT_TRUE(dateInRange(daysFromCivil(1753, 1, 1), 0, TypeId::DateTime));
    EXPECT_FALSE(dateInRange(daysFromCivil(1752, 12, 31), 0, TypeId::DateTime));
    EXPECT_TRUE(dateInRange(daysFromCivil(1752, 12, 31), 0, TypeId::Date));
    EXPECT_FALSE(dateInRange(-1, 0, TypeId::SmallDateTime));
    EXPECT_TRUE(dateInRange(daysFromCivil(2079, 6, 6), 0, TypeId::SmallDateTime));
    EXPECT_FALSE(dateInRange(daysFromCivil(2079, 6, 7), 0, TypeId::SmallDateTime));
}

TEST(SystemClock, ConvertsAnInstantToLocalDateTime) {
    // 2006-04-18 09:58:00.5 UTC; the local offset is whole minutes, so seconds and
    // milliseconds survive whatever the time zone is.
    const auto instant =
        std::chrono::system_clock::time_point(std::chrono::milliseconds(1145354280500LL));
    const CivilDateTime c = toCivil(dateTimeFromSystemClock(instant));
    EXPECT_EQ(c.second, 0);
    EXPECT_EQ(c.millisecond, 500);
    EXPECT_TRUE(c.year == 2006 && c.month == 4 && (c.day == 17 || c.day == 18 || c.day == 19));
}

}  // namespace
}  // namespace engine
