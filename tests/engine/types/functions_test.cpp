#include "engine/types/functions.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/types/datetime.h"
#include "test_support.h"

namespace engine {
namespace {

using namespace testing;

// A context with a fixed clock and a counting random source, so results are exact.
FunctionContext fixedContext() {
    FunctionContext c;
    c.clock = [] { return makeDateTime(CivilDateTime{2013, 5, 17, 10, 20, 30, 500}); };
    c.random = [](unsigned char* out, size_t n) {
        for (size_t i = 0; i < n; ++i)
            out[i] = static_cast<unsigned char>(i * 17);
    };
    return c;
}

Value call(std::string_view name, std::vector<Value> args,
           FunctionContext context = fixedContext()) {
    return callScalarFunction(name, args, context);
}
std::string show(std::string_view name, std::vector<Value> args) {
    return shown(call(name, std::move(args)));
}
Value datePart(const char* keyword) {
    return Value::varchar(keyword);
}

TEST(FunctionRegistry, NamesAreCaseInsensitive) {
    EXPECT_NE(findScalarFunction("len"), nullptr);
    EXPECT_NE(findScalarFunction("GetDate"), nullptr);
    EXPECT_EQ(findScalarFunction("OBJECT_ID"), nullptr);  // the executor's
    EXPECT_EQ(errorTextOf([] { call("nosuch", {}); }),
              "'nosuch' is not a recognized built-in function name.");
    EXPECT_EQ(errorTextOf([] { call("LEFT", {vc("a")}); }),
              "The left function requires 2 argument(s).");
    EXPECT_FALSE(findScalarFunction("GETDATE")->deterministic);
    EXPECT_TRUE(findScalarFunction("DATEADD")->firstArgIsDatePart);
}

TEST(StringFunctions, LenAndDatalength) {
    EXPECT_EQ(show("LEN", {vc("ab  ")}), "2");
    EXPECT_EQ(show("LEN", {vc("  ab")}), "4");
    EXPECT_EQ(show("LEN", {vc("")}), "0");
    EXPECT_EQ(show("LEN", {vc(" ")}), "0");
    EXPECT_EQ(show("LEN", {nvc("año")}), "3");
    EXPECT_EQ(show("LEN", {i32(12345)}), "5");
    EXPECT_EQ(show("LEN", {Value::null(DataType::varchar(3))}), "NULL");
    EXPECT_EQ(errorTextOf([] { call("LEN", {Value::string("x", DataType::of(TypeId::Text))}); }),
              "Argument data type text is invalid for argument 1 of len function.");
    EXPECT_EQ(show("DATALENGTH", {vc("ab  ")}), "4");
    EXPECT_EQ(show("DATALENGTH", {nvc("año")}), "6");
    EXPECT_EQ(show("DATALENGTH", {Value::string("U ", DataType::character(TypeId::Char, 2))}), "2");
    EXPECT_EQ(show("DATALENGTH", {i32(1)}), "4");
    EXPECT_EQ(show("DATALENGTH", {num("1.5")}), "5");
    EXPECT_EQ(show("DATALENGTH", {Value()}), "NULL");
}

TEST(StringFunctions, LeftRightSubstring) {
    EXPECT_EQ(show("LEFT", {vc("CodigoPostal"), i32(2)}), "Co");
    EXPECT_EQ(show("LEFT", {vc("ab"), i32(10)}), "ab");
    EXPECT_EQ(show("RIGHT", {vc("abcdef"), i32(2)}), "ef");
    EXPECT_EQ(show("RIGHT", {vc("ab  "), i32(2)}), "  ");
    EXPECT_EQ(show("LEFT", {nvc("ñandú"), i32(2)}), "ña");
    EXPECT_EQ(show("LEFT", {vc("abc"), Value()}), "NULL");
    EXPECT_EQ(errorTextOf([] {
                  call("LEFT", {vc("abc"), i32(-1)});
              }),
              "Invalid length parameter passed to the LEFT function.");
    EXPECT_EQ(errorOf([] { call("RIGHT", {vc("abc"), i32(-1)}); }), 536);
    EXPECT_EQ(show("SUBSTRING", {vc("abc"), i32(0), i32(2)}), "a");
    EXPECT_EQ(show("SUBSTRING", {vc("abc"), i32(2), i32(10)}), "bc");
    EXPECT_EQ(show("SUBSTRING", {vc("abc"), i32(5), i32(2)}), "");
    EXPECT_EQ(show("SUBSTRING", {vc("abc"), i32(-3), i32(2)}), "");
    EXPECT_EQ(show("SUBSTRING", {vc("CliDireccion"), i32(1), i32(3)}), "Cli");
    EXPECT_EQ(show("SUBSTRING", {binaryLiteral("0x010203"), i32(2), i32(1)}), "0x02");
    EXPECT_EQ(errorTextOf([] {
                  call("SUBSTRING", {vc("abc"), i32(1), i32(-1)});
              }),
              "Invalid length parameter passed to the SUBSTRING function.");
    const Value left =
        call("LEFT", {Value::string("abc ", DataType::character(TypeId::Char, 4)), i32(2)});
    EXPECT_EQ(left.type(), DataType::varchar(4));
}

TEST(StringFunctions, ReplicateSpaceTrim) {
    EXPECT_EQ(show("REPLICATE", {vc("0"), i32(3)}), "000");
    EXPECT_EQ(show("REPLICATE", {vc("x"), i32(-1)}), "NULL");
    EXPECT_EQ(show("REPLICATE", {vc("x"), i32(0)}), "");
    EXPECT_EQ(call("REPLICATE", {vc("ab"), i32(5000)}).bytes().size(), 8000u);
    EXPECT_EQ(call("REPLICATE", {vc("ab"), i32(3)}).type(), DataType::varchar(8000));
    EXPECT_EQ(show("SPACE", {i32(3)}), "   ");
    EXPECT_EQ(show("SPACE", {i32(-1)}), "NULL");
    EXPECT_EQ(show("LTRIM", {vc("  a b  ")}), "a b  ");
    EXPECT_EQ(show("RTRIM", {vc("  a b  ")}), "  a b");
    EXPECT_EQ(show("RTRIM", {vc("a\t")}), "a\t");
    EXPECT_EQ(show("LTRIM", {vc("   ")}), "");
}

TEST(StringFunctions, UpperLowerReplaceCharindex) {
    EXPECT_EQ(show("UPPER", {vc("año")}), "AÑO");
    EXPECT_EQ(show("LOWER", {vc("AÑO")}), "año");
    EXPECT_EQ(call("UPPER", {Value::string("ab", DataType::character(TypeId::Char, 2))}).type(),
              DataType::character(TypeId::Char, 2));
    EXPECT_EQ(show("REPLACE", {vc("aBcabc"), vc("b"), vc("X")}), "aXcaXc");  // case-insensitive
    EXPECT_EQ(show("REPLACE", {vc("abc"), vc(""), vc("X")}), "abc");
    EXPECT_EQ(show("REPLACE", {vc("abc"), vc("b"), vc("")}), "ac");
    EXPECT_EQ(show("REPLACE", {vc("año"), vc("n"), vc("x")}), "año");  // accent-sensitive
    EXPECT_EQ(show("REPLACE", {vc("abc"), Value(), vc("x")}), "NULL");
    EXPECT_EQ(show("CHARINDEX", {vc("B"), vc("abcb")}), "2");
    EXPECT_EQ(show("CHARINDEX", {vc("b"), vc("abcb"), i32(3)}), "4");
    EXPECT_EQ(show("CHARINDEX", {vc("z"), vc("abc")}), "0");
    EXPECT_EQ(show("CHARINDEX", {vc("c"), vc("abc"), i32(-5)}), "3");
    EXPECT_EQ(show("CHARINDEX", {vc("ñ"), nvc("año")}), "2");
}

TEST(StringFunctions, StrCharAsciiNcharUnicode) {
    EXPECT_EQ(show("STR", {Value::floating(123.45)}), "       123");
    EXPECT_EQ(show("STR", {Value::floating(123.45), i32(6), i32(1)}), " 123.5");
    EXPECT_EQ(show("STR", {Value::floating(2.5), i32(3)}), "  3");
    EXPECT_EQ(show("STR", {Value::floating(123.456), i32(5), i32(2)}), "123.5");
    EXPECT_EQ(show("STR", {num("1234567890123")}), "**********");
    EXPECT_EQ(show("STR", {Value::floating(-1.5), i32(4), i32(1)}), "-1.5");
    EXPECT_EQ(show("CHAR", {i32(65)}), "A");
    EXPECT_EQ(show("CHAR", {i32(241)}), "ñ");
    EXPECT_EQ(show("CHAR", {i32(128)}), "€");
    EXPECT_EQ(show("CHAR", {i32(300)}), "NULL");
    EXPECT_EQ(show("ASCII", {vc("ñu")}), "241");
    EXPECT_EQ(show("ASCII", {vc("")}), "NULL");
    EXPECT_EQ(show("NCHAR", {i32(0x142)}), "ł");
    EXPECT_EQ(show("UNICODE", {nvc("ł")}), "322");
}

TEST(DateFunctions, PartsOfDates) {
    const Value d = dt("2013-05-17 10:20:30.500");
    EXPECT_EQ(show("YEAR", {d}), "2013");
    EXPECT_EQ(show("MONTH", {d}), "5");
    EXPECT_EQ(show("DAY", {d}), "17");
    EXPECT_EQ(show("YEAR", {vc("2013-01-01")}), "2013");
    EXPECT_EQ(show("YEAR", {i32(0)}), "1900");
    EXPECT_EQ(show("YEAR", {Value()}), "NULL");
    EXPECT_EQ(errorOf([] { call("YEAR", {vc("nope")}); }), 241);
    struct Case {
        const char* part;
        const char* value;
    } cases[] = {{"yy", "2013"}, {"quarter", "2"}, {"mm", "5"},  {"dy", "137"},
                 {"d", "17"},    {"dw", "6"},      {"wk", "20"}, {"hh", "10"},
                 {"mi", "20"},   {"ss", "30"},     {"ms", "500"}};
    for (const auto& c : cases)
        EXPECT_EQ(show("DATEPART", {datePart(c.part), d}), c.value) << c.part;
    FunctionContext mondayFirst = fixedContext();
    mondayFirst.dateFirst = 1;
    EXPECT_EQ(shown(callScalarFunction("DATEPART", std::vector<Value>{datePart("weekday"), d},
                                       mondayFirst)),
              "5");
    EXPECT_EQ(errorTextOf([&] {
                  call("DATEPART", {datePart("yyy"), d});
              }),
              "'yyy' is not a recognized datepart option.");
}

TEST(DateFunctions, DateAdd) {
    const Value d = dt("2013-01-31 10:00");
    EXPECT_EQ(show("DATEADD", {datePart("month"), i32(1), d}), "2013-02-28 10:00:00.000");
    EXPECT_EQ(show("DATEADD", {datePart("yy"), i32(-1), dt("2012-02-29")}),
              "2011-02-28 00:00:00.000");
    EXPECT_EQ(show("DATEADD", {datePart("q"), i32(1), d}), "2013-04-30 10:00:00.000");
    EXPECT_EQ(show("DATEADD", {datePart("dd"), i32(1), d}), "2013-02-01 10:00:00.000");
    EXPECT_EQ(show("DATEADD", {datePart("wk"), i32(-1), d}), "2013-01-24 10:00:00.000");
    EXPECT_EQ(show("DATEADD", {datePart("hh"), i32(15), d}), "2013-02-01 01:00:00.000");
    EXPECT_EQ(show("DATEADD", {datePart("mi"), i32(-61), d}), "2013-01-31 08:59:00.000");
    EXPECT_EQ(show("DATEADD", {datePart("ms"), i32(1), d}), "2013-01-31 10:00:00.000");
    EXPECT_EQ(show("DATEADD", {datePart("ms"), i32(2), d}), "2013-01-31 10:00:00.003");
    EXPECT_EQ(show("DATEADD", {datePart("d"), i32(1), vc("20130101")}), "2013-01-02 00:00:00.000");
    EXPECT_EQ(show("DATEADD", {datePart("d"), Value(), d}), "NULL");
    const Value small = convert(vc("2013-01-01 10:00"), DataType::of(TypeId::SmallDateTime));
    EXPECT_EQ(call("DATEADD", {datePart("ss"), i32(40), small}).typeId(), TypeId::SmallDateTime);
    EXPECT_EQ(show("DATEADD", {datePart("ss"), i32(40), small}), "2013-01-01 10:01:00");
    EXPECT_EQ(errorTextOf([] {
                  call("DATEADD", {datePart("yy"), i32(1), dt("9999-06-01")});
              }),
              "Adding a value to a 'datetime' column caused an overflow.");
    const Value date = convert(vc("2013-01-01"), DataType::of(TypeId::Date));
    EXPECT_EQ(show("DATEADD", {datePart("d"), i32(1), date}), "2013-01-02");
    EXPECT_EQ(errorOf([&] { call("DATEADD", {datePart("hh"), i32(1), date}); }), 9810);
}

TEST(DateFunctions, DateDiffCountsBoundaries) {
    struct Case {
        const char* part;
        const char* from;
        const char* to;
        const char* result;
    } cases[] = {
        {"yy", "2012-12-31 23:59", "2013-01-01 00:00", "1"},
        {"mm", "2013-01-31", "2013-02-01", "1"},
        {"q", "2013-03-31", "2013-04-01", "1"},
        {"dd", "2013-01-01 23:59", "2013-01-02 00:01", "1"},
        {"dd", "2013-01-02", "2013-01-01", "-1"},
        {"wk", "2013-01-05", "2013-01-06", "1"},  // Saturday to Sunday
        {"wk", "2013-01-06", "2013-01-12", "0"},
        {"hh", "2013-01-01 10:59", "2013-01-01 11:00", "1"},
        {"mi", "2013-01-01 10:00:59", "2013-01-01 10:01:00", "1"},
        {"ss", "2013-01-01 10:00:00.997", "2013-01-01 10:00:01", "1"},
        {"ms", "2013-01-01 10:00:00", "2013-01-01 10:00:01", "1000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(show("DATEDIFF", {datePart(c.part), dt(c.from), dt(c.to)}), c.result)
            << c.part << " " << c.from;
    }
    EXPECT_EQ(errorOf([] {
                  call("DATEDIFF", {datePart("ms"), dt("1900-01-01"), dt("2013-01-01")});
              }),
              535);
    EXPECT_EQ(show("DATEDIFF", {datePart("d"), Value(), dt("2013-01-01")}), "NULL");
}

TEST(DateFunctions, GetDateComesFromTheContextClock) {
    EXPECT_EQ(show("GETDATE", {}), "2013-05-17 10:20:30.500");
    EXPECT_EQ(show("YEAR", {call("GETDATE", {})}), "2013");
    FunctionContext system = FunctionContext::system();
    const Value now = callScalarFunction("GETDATE", {}, system);
    EXPECT_EQ(now.typeId(), TypeId::DateTime);
    EXPECT_GE(toCivil(now).year, 2020);
}

TEST(DateFunctions, IsDate) {
    EXPECT_EQ(show("ISDATE", {vc("2013-01-01")}), "1");
    EXPECT_EQ(show("ISDATE", {vc("2013-02-30")}), "0");
    EXPECT_EQ(show("ISDATE", {vc("abc")}), "0");
    EXPECT_EQ(show("ISDATE", {Value()}), "0");
    EXPECT_EQ(show("ISDATE", {i32(20130101)}), "1");
    EXPECT_EQ(show("ISDATE", {dt("2013-01-01")}), "1");
}

TEST(MathFunctions, AbsRoundFloorCeilingSign) {
    EXPECT_EQ(show("ABS", {i32(-5)}), "5");
    EXPECT_EQ(show("ABS", {num("-1.50")}), "1.50");
    EXPECT_EQ(show("ABS", {Value::money(-15000)}), "1.5000");
    EXPECT_EQ(errorOf([] { call("ABS", {i32(INT32_MIN)}); }), 8115);
    EXPECT_EQ(show("ABS", {Value()}), "NULL");
    EXPECT_EQ(show("ROUND", {num("123.4567"), i32(2)}), "123.4600");
    EXPECT_EQ(show("ROUND", {num("123.4567"), i32(-2)}), "100.0000");
    EXPECT_EQ(show("ROUND", {num("-2.5"), i32(0)}), "-3.0");
    EXPECT_EQ(show("ROUND", {num("123.4567"), i32(2), i32(1)}), "123.4500");
    EXPECT_EQ(show("ROUND", {i32(15), i32(-1)}), "20");
    EXPECT_EQ(show("ROUND", {i32(14), i32(-1)}), "10");
    EXPECT_EQ(show("ROUND", {Value::floating(2.5), i32(0)}), "3");
    EXPECT_EQ(show("ROUND", {Value::floating(1.005), i32(2)}), "1.01");
    EXPECT_EQ(show("ROUND", {Value::money(12345), i32(0)}), "1.0000");
    EXPECT_EQ(errorTextOf([] {
                  call("ROUND", {num("9.9"), i32(0)});
              }),
              "Arithmetic overflow error converting expression to data type numeric.");
    EXPECT_EQ(show("FLOOR", {num("-1.5")}), "-2");
    EXPECT_EQ(show("CEILING", {num("-1.5")}), "-1");
    EXPECT_EQ(show("CEILING", {num("1.01")}), "2");
    EXPECT_EQ(call("FLOOR", {num("12.34")}).type(), DataType::numeric(4, 0));
    EXPECT_EQ(show("FLOOR", {Value::floating(-0.5)}), "-1");
    EXPECT_EQ(show("CEILING", {Value::money(10001)}), "2.0000");
    EXPECT_EQ(show("FLOOR", {i32(7)}), "7");
    EXPECT_EQ(show("SIGN", {i32(-7)}), "-1");
    EXPECT_EQ(show("SIGN", {num("0.00")}), "0.00");
    EXPECT_EQ(show("SIGN", {num("3.50")}), "1.00");
    EXPECT_EQ(show("SIGN", {Value::floating(-0.1)}), "-1");
}

TEST(MathFunctions, Power) {
    EXPECT_EQ(show("POWER", {i32(2), i32(10)}), "1024");
    EXPECT_EQ(show("POWER", {i32(2), Value::floating(0.5)}), "1");
    EXPECT_EQ(show("POWER", {i32(2), i32(-1)}), "0");
    EXPECT_EQ(show("POWER", {Value::floating(2), Value::floating(0.5)}), "1.4142135623730951");
    EXPECT_EQ(show("POWER", {num("2.5"), i32(2)}), "6.2");
    EXPECT_EQ(call("POWER", {num("2.5"), i32(2)}).type(), DataType::numeric(38, 1));
    EXPECT_EQ(errorTextOf([] {
                  call("POWER", {i32(10), i32(10)});
              }),
              "Arithmetic overflow error converting expression to data type int.");
    EXPECT_EQ(errorOf([] { call("POWER", {Value::floating(-8), Value::floating(0.5)}); }), 3623);
}

TEST(OtherFunctions, IsNullCoalesceNullIf) {
    // ISNULL takes the type of its first argument and cuts the replacement to it.
    const Value cut = call("ISNULL", {Value::null(DataType::varchar(2)), vc("abc")});
    EXPECT_EQ(shown(cut), "ab");
    EXPECT_EQ(cut.type(), DataType::varchar(2));
    EXPECT_EQ(show("ISNULL", {Value(), vc("abc")}), "abc");
    EXPECT_EQ(show("ISNULL", {vc("x"), vc("abc")}), "x");
    EXPECT_EQ(call("ISNULL", {Value(), Value()}).type(), DataType::of(TypeId::Int));
    EXPECT_EQ(errorOf([] {
                  call("ISNULL", {Value::null(DataType::of(TypeId::Int)), vc("abc")});
              }),
              245);
    EXPECT_EQ(show("COALESCE", {Value::null(DataType::varchar(2)), vc("abc")}), "abc");
    EXPECT_EQ(call("COALESCE", {Value::null(DataType::varchar(2)), vc("abc")}).type(),
              DataType::varchar(3));
    EXPECT_EQ(show("COALESCE", {Value(), i32(1), num("2.5")}), "1.0");
    EXPECT_EQ(errorOf([] { call("COALESCE", {Value(), Value()}); }), 4127);
    EXPECT_EQ(show("NULLIF", {i32(1), i32(1)}), "NULL");
    EXPECT_EQ(show("NULLIF", {vc("a"), vc("A ")}), "NULL");
    EXPECT_EQ(show("NULLIF", {i32(1), i32(2)}), "1");
}

TEST(OtherFunctions, NewIdUsesTheContextRandomSource) {
    const Value g = call("NEWID", {});
    EXPECT_EQ(g.typeId(), TypeId::UniqueIdentifier);
    const std::string text = shown(g);
    EXPECT_EQ(text.size(), 36u);
    EXPECT_EQ(text[14], '4');                   // version 4
    EXPECT_EQ(text, shown(call("NEWID", {})));  // same source, same value
    FunctionContext system = FunctionContext::system();
    EXPECT_NE(shown(callScalarFunction("NEWID", {}, system)),
              shown(callScalarFunction("NEWID", {}, system)));
}

TEST(OtherFunctions, IsNumeric) {
    struct Case {
        Value v;
        const char* result;
    } cases[] = {
        {vc("123"), "1"},        {vc(" -1.5 "), "1"}, {vc("$1,000.50"), "1"}, {vc("1e5"), "1"},
        {vc("."), "1"},          {vc("-"), "1"},      {vc(""), "0"},          {vc("abc"), "0"},
        {vc("1e"), "0"},         {vc("12a"), "0"},    {i32(5), "1"},          {Value(), "0"},
        {dt("2013-01-01"), "0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(show("ISNUMERIC", {c.v}), c.result) << shown(c.v);
}

}  // namespace
}  // namespace engine
