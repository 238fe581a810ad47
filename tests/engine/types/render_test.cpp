#include "engine/types/render.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace engine {
namespace {

using namespace testing;

TEST(RenderAsText, StyleZeroForEveryType) {
    struct Case {
        Value value;
        const char* text;
    } cases[] = {
        {Value::integer(-42), "-42"},
        {Value::bit(true), "1"},
        {num("1.50"), "1.50"},
        {num(".5"), "0.5"},
        {Value::money(12345678), "1234.57"},
        {Value::money(-5000), "-0.50"},
        {Value::floating(1234567.0), "1.23457e+006"},
        {Value::floating(123456.7), "123457"},
        {Value::floating(0.1), "0.1"},
        {Value::floating(0.00001), "1e-005"},
        {Value::floating(2.5), "2.5"},
        {dt("2006-04-18 09:58:00"), "Apr 18 2006  9:58AM"},
        {dt("2006-04-08 21:05:00"), "Apr  8 2006  9:05PM"},
        {dt("2006-04-18 00:00:00"), "Apr 18 2006 12:00AM"},
        {Value::datetime(0, 0, TypeId::Date), "1900-01-01"},
        {Value::varchar("texto"), "texto"},
        {Value::null(DataType::of(TypeId::Int)), ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(renderAsText(c.value), c.text) << renderForShell(c.value);
}

TEST(RenderAsText, ConvertStylesForDates) {
    const Value v = dt("2006-04-08 21:05:07.123");
    struct Case {
        int style;
        const char* text;
    } cases[] = {
        {1, "04/08/06"},
        {101, "04/08/2006"},
        {3, "08/04/06"},
        {103, "08/04/2006"},
        {102, "2006.04.08"},
        {104, "08.04.2006"},
        {105, "08-04-2006"},
        {112, "20060408"},
        {108, "21:05:07"},
        {120, "2006-04-08 21:05:07"},
        {121, "2006-04-08 21:05:07.123"},
        {23, "2006-04-08"},
        {106, "08 Apr 2006"},
        {126, "2006-04-08T21:05:07.123"},
        {109, "Apr  8 2006  9:05:07:123PM"},
        {113, "08 Apr 2006 21:05:07:123"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(renderWithStyle(v, c.style).value_or("<bad>"), c.text) << c.style;
    EXPECT_FALSE(renderWithStyle(v, 99).has_value());
}

TEST(RenderAsText, MoneyAndFloatStyles) {
    EXPECT_EQ(renderWithStyle(Value::money(12345678900), 1).value(), "1,234,567.89");
    EXPECT_EQ(renderWithStyle(Value::money(12345678900), 2).value(), "1234567.8900");
    EXPECT_EQ(renderWithStyle(Value::floating(1234.5), 1).value(), "1.2345000e+003");
    EXPECT_EQ(renderWithStyle(Value::floating(1234.5), 2).value(), "1.234500000000000e+003");
}

TEST(RenderForShell, CellsAsSqlcmdPrintsThem) {
    struct Case {
        Value value;
        const char* text;
    } cases[] = {
        {Value::null(DataType::varchar(5)), "NULL"},
        {dt("2006-04-18 09:58"), "2006-04-18 09:58:00.000"},
        {convert(vc("2006-04-18 09:58"), DataType::of(TypeId::SmallDateTime)),
         "2006-04-18 09:58:00"},
        {convert(vc("2006-04-18"), DataType::of(TypeId::Date)), "2006-04-18"},
        {num("1.50"), "1.50"},
        {Value::money(12345678), "1234.5678"},
        {Value::bit(false), "0"},
        {Value::floating(0.1), "0.1"},
        {Value::floating(1.0 / 3), "0.3333333333333333"},
        {Value::floating(0.1f, TypeId::Real), "0.1"},
        {Value::binary(std::string("\x0A\x1B", 2), DataType{TypeId::VarBinary, 2, 0, 0}), "0x0A1B"},
        {convert(vc("6F9619FF-8B86-D011-B42D-00C04FC964FF"),
                 DataType::of(TypeId::UniqueIdentifier)),
         "6F9619FF-8B86-D011-B42D-00C04FC964FF"},
        {Value::nvarchar("año"), "año"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(renderForShell(c.value), c.text);
}

}  // namespace
}  // namespace engine
