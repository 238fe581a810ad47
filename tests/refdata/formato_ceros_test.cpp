#include "refdata/formato_ceros.h"

#include <gtest/gtest.h>

namespace refdata {
namespace {

using db::Variant;

struct Case {
    Variant value;
    int digits;
    const char* expected;
};

TEST(FormatoCeros, PadsWholeNumbersWithLeadingZeros) {
    const Case cases[] = {
        {Variant::text("49"), 4, "0049"},
        {Variant::text("0049"), 4, "0049"},
        {Variant::text(" 49 "), 4, "0049"},
        {Variant::text("12345"), 4, "12345"},
        {Variant::text("7"), 2, "07"},
        {Variant::text("0"), 4, "0000"},
        {Variant::text("1234567890"), 10, "1234567890"},
        {Variant::text("123"), 10, "0000000123"},
        {Variant::integer(49), 4, "0049"},
        {Variant::integer(-5), 4, "-0005"},
        {Variant::text("-5"), 4, "-0005"},
        {Variant::text("+5"), 4, "0005"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatoCeros(c.value, c.digits), c.expected) << c.value.toText();
    }
}

TEST(FormatoCeros, RoundsFractionsHalfAwayFromZero) {
    const Case cases[] = {
        {Variant::text("12.5"), 4, "0013"},      {Variant::text("12.49"), 4, "0012"},
        {Variant::text("99.5"), 2, "100"},       {Variant::text("-2.5"), 4, "-0003"},
        {Variant::text("-0.4"), 2, "00"},        {Variant::text(".6"), 2, "01"},
        {Variant::real(48.5), 4, "0049"},        {Variant::real(-48.5), 4, "-0049"},
        {Variant::currency(495000), 4, "0050"},  // 49.5
        {Variant::decimal("2100.0"), 4, "2100"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatoCeros(c.value, c.digits), c.expected) << c.value.toText();
    }
}

TEST(FormatoCeros, KeepsDigitTextsLongerThanAnyIntegerExact) {
    EXPECT_EQ(FormatoCeros(Variant::text("123456789012345678901234"), 10),
              "123456789012345678901234");
}

TEST(FormatoCeros, LeavesTextThatIsNotANumberAsItStands) {
    EXPECT_EQ(FormatoCeros(Variant::text("AB"), 4), "AB");
    EXPECT_EQ(FormatoCeros(Variant::text("12 34"), 4), "12 34");
    EXPECT_EQ(FormatoCeros(Variant::text(""), 4), "");
    EXPECT_EQ(FormatoCeros(Variant::text("."), 4), ".");
    EXPECT_EQ(FormatoCeros(Variant::text("1.2.3"), 4), "1.2.3");
}

TEST(FormatoCeros, ReadsNullAsEmptyAndBooleansAsNumbers) {
    EXPECT_EQ(FormatoCeros(Variant::null(), 4), "");
    EXPECT_EQ(FormatoCeros(Variant::boolean(true), 4), "-0001");
    EXPECT_EQ(FormatoCeros(Variant::boolean(false), 2), "00");
}

}  // namespace
}  // namespace refdata
