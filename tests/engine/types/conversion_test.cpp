#include "engine/types/conversion.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace engine {
namespace {

using namespace testing;

std::string cast(const Value& v, const DataType& t, int style = 0, DateFormat f = DateFormat::Mdy) {
    return shown(convert(v, t, ConversionKind::Explicit, style, f));
}

TEST(ConvertStrings, ToIntegers) {
    struct Case {
        const char* text;
        DataType type;
        const char* result;
    } cases[] = {
        {"05", kInt, "5"},
        {"  -12  ", kInt, "-12"},
        {"+7", kInt, "7"},
        {"", kInt, "0"},
        {" ", kInt, "0"},
        {"-", kInt, "0"},
        {"", kBigInt, "0"},
        {"255", kTinyInt, "255"},
        {"TRUE", kBit, "1"},
        {"false", kBit, "0"},
        {"5", kBit, "1"},
        {"0", kBit, "0"},
        {"9223372036854775807", kBigInt, "9223372036854775807"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cast(vc(c.text), c.type), c.result) << c.text;
}

TEST(ConvertStrings, ToIntegersFailAsSqlServerFails) {
    EXPECT_EQ(errorTextOf([] { convert(vc("abc"), kInt); }),
              "Conversion failed when converting the varchar value 'abc' to data type int.");
    EXPECT_EQ(errorTextOf([] { convert(vc("1.5"), kInt); }),
              "Conversion failed when converting the varchar value '1.5' to data type int.");
    EXPECT_EQ(errorTextOf([] { convert(nvc("x"), kSmallInt); }),
              "Conversion failed when converting the nvarchar value 'x' to data type smallint.");
    EXPECT_EQ(errorOf([] { convert(vc("yes"), kBit); }), 245);
    EXPECT_EQ(errorTextOf([] { convert(vc("99999999999"), kInt); }),
              "The conversion of the varchar value '99999999999' overflowed an int column.");
    EXPECT_EQ(errorTextOf([] { convert(vc("300"), kTinyInt); }),
              "The conversion of the varchar value '300' overflowed an INT1 column. Use a larger "
              "integer column.");
    EXPECT_EQ(errorOf([] { convert(vc("40000"), kSmallInt); }), 244);
    EXPECT_EQ(errorTextOf([] { convert(vc("99999999999999999999"), kBigInt); }),
              "Error converting data type varchar to bigint.");
}

TEST(ConvertStrings, ToDecimalFloatAndMoney) {
    EXPECT_EQ(cast(vc(" 12.345 "), DataType::decimal(5, 2)), "12.35");
    EXPECT_EQ(cast(vc("-0.5"), DataType::decimal(3, 0)), "-1");
    EXPECT_EQ(errorTextOf([] { convert(vc(""), DataType::decimal(5, 2)); }),
              "Error converting data type varchar to numeric.");
    EXPECT_EQ(errorTextOf([] { convert(vc("1e3"), DataType::decimal(5, 2)); }),
              "Error converting data type varchar to numeric.");
    EXPECT_EQ(errorTextOf([] { convert(vc("12345"), DataType::decimal(5, 2)); }),
              "Arithmetic overflow error converting varchar to data type numeric.");
    EXPECT_EQ(cast(vc("1e3"), kFloat), "1000");
    EXPECT_EQ(cast(vc(""), kFloat), "0");
    EXPECT_EQ(errorTextOf([] { convert(vc("1,5"), kFloat); }),
              "Error converting data type varchar to float.");
    EXPECT_EQ(cast(vc("$1,234.5"), kMoney), "1234.5000");
    EXPECT_EQ(cast(vc("-$3"), kMoney), "-3.0000");
    EXPECT_EQ(cast(vc(""), kMoney), "0.0000");
    EXPECT_EQ(errorOf([] { convert(vc("abc"), kMoney); }), 235);
}

TEST(ConvertStrings, ToDates) {
    EXPECT_EQ(cast(vc(""), kDateTime), "1900-01-01 00:00:00.000");
    EXPECT_EQ(cast(vc("02/01/2013"), kDateTime, 103), "2013-01-02 00:00:00.000");
    EXPECT_EQ(cast(vc("02/01/2013"), kDateTime, 101), "2013-02-01 00:00:00.000");
    EXPECT_EQ(cast(vc("2013-01-02"), kDateTime, 0, DateFormat::Dmy), "2013-02-01 00:00:00.000");
    EXPECT_EQ(errorTextOf([] { convert(vc("not a date"), kDateTime); }),
              "Conversion failed when converting date and/or time from character string.");
    EXPECT_EQ(errorTextOf([] { convert(vc("2013-02-30"), kDateTime); }),
              "The conversion of a varchar data type to a datetime data type resulted in an "
              "out-of-range value.");
    EXPECT_EQ(errorTextOf([] {
                  convert(Value::string("2013-02-30", DataType::character(TypeId::Char, 10)),
                          kDateTime);
              }),
              "The conversion of a char data type to a datetime data type resulted in an "
              "out-of-range value.");
    EXPECT_EQ(errorOf([] { convert(vc("2013-02-30"), kDate); }), 241);
}

TEST(ConvertStrings, ToGuidAndBinary) {
    EXPECT_EQ(cast(vc("{6f9619ff-8b86-d011-b42d-00c04fc964ff}"), kGuid),
              "6F9619FF-8B86-D011-B42D-00C04FC964FF");
    EXPECT_EQ(cast(vc("6F9619FF-8B86-D011-B42D-00C04FC964FFxyz"), kGuid),
              "6F9619FF-8B86-D011-B42D-00C04FC964FF");
    EXPECT_EQ(errorOf([] { convert(vc(""), kGuid); }), 8169);
    EXPECT_EQ(errorOf([] { convert(vc("6F9619FF-8B86-D011-B42D-00C04FC964FG"), kGuid); }), 8169);
    const DataType vb{TypeId::VarBinary, 10, 0, 0};
    EXPECT_EQ(cast(vc("Añ"), vb), "0x41F1");
    EXPECT_EQ(cast(nvc("A"), vb), "0x4100");
    EXPECT_EQ(cast(vc("0x0A1B"), vb, 1), "0x0A1B");
    EXPECT_EQ(cast(vc("0A1B"), vb, 2), "0x0A1B");
}

TEST(ConvertStrings, ToShorterStringsCutSilentlyAndCharPads) {
    EXPECT_EQ(cast(vc("abcdef"), DataType::varchar(3)), "abc");
    EXPECT_EQ(cast(vc("ab"), DataType::character(TypeId::Char, 5)), "ab   ");
    EXPECT_EQ(cast(nvc("ñandú"), DataType::nvarchar(2)), "ña");
    EXPECT_EQ(convert(vc("abcdef"), DataType::varchar(3)).type(), DataType::varchar(3));
    // Characters outside Windows-1252 become '?' in varchar; nvarchar keeps them.
    EXPECT_EQ(cast(nvc("Łódź"), DataType::varchar(10)), "?ód?");
    EXPECT_EQ(cast(nvc("Łódź"), DataType::nvarchar(10)), "Łódź");
}

TEST(ConvertNumbers, BetweenNumericTypes) {
    EXPECT_EQ(cast(num("10.6496"), kInt), "10");  // numeric -> int truncates
    EXPECT_EQ(cast(num("-10.6496"), kInt), "-10");
    EXPECT_EQ(cast(num("10.6496"), DataType::decimal(18, 0)), "11");  // numeric -> numeric rounds
    EXPECT_EQ(cast(num("10.3496847"), kMoney), "10.3497");
    EXPECT_EQ(cast(Value::money(105000), kInt), "11");   // money -> int rounds (10.5)
    EXPECT_EQ(cast(Value::floating(10.9), kInt), "10");  // float -> int truncates
    EXPECT_EQ(cast(Value::floating(-10.9), kInt), "-10");
    EXPECT_EQ(cast(i32(7), DataType::decimal(5, 2)), "7.00");
    EXPECT_EQ(cast(num("2.5"), DataType::floating(TypeId::Real)), "2.5");
    EXPECT_EQ(cast(i32(-3), kBit), "1");
    EXPECT_EQ(cast(num("0.0"), kBit), "0");
}

TEST(ConvertNumbers, OverflowErrors) {
    EXPECT_EQ(errorTextOf([] { convert(i32(300), kTinyInt); }),
              "Arithmetic overflow error for data type tinyint, value = 300.");
    EXPECT_EQ(errorTextOf([] { convert(i32(123456789), kSmallInt); }),
              "Arithmetic overflow error for data type smallint, value = 123456789.");
    EXPECT_EQ(errorTextOf([] { convert(Value::integer(5000000000LL, TypeId::BigInt), kInt); }),
              "Arithmetic overflow error converting expression to data type int.");
    EXPECT_EQ(errorTextOf([] { convert(num("5000000000"), kInt); }),
              "Arithmetic overflow error converting expression to data type int.");
    EXPECT_EQ(errorTextOf([] { convert(i32(1000), DataType::decimal(3, 1)); }),
              "Arithmetic overflow error converting int to data type numeric.");
    EXPECT_EQ(errorTextOf([] { convert(num("123.45"), DataType::decimal(4, 2)); }),
              "Arithmetic overflow error converting numeric to data type numeric.");
    EXPECT_EQ(errorTextOf([] { convert(Value::floating(1e20), DataType::decimal(10, 0)); }),
              "Arithmetic overflow error converting float to data type numeric.");
    EXPECT_EQ(errorOf([] { convert(Value::floating(1e20), kInt); }), 8115);
    EXPECT_EQ(errorOf([] { convert(i32(300000), DataType::of(TypeId::SmallMoney)); }), 8115);
}

TEST(ConvertNumbers, ToStrings) {
    EXPECT_EQ(cast(i32(12345), DataType::varchar(3)), "*");
    EXPECT_EQ(cast(i32(12345), DataType::character(TypeId::Char, 3)), "*  ");
    EXPECT_EQ(cast(i32(123), DataType::varchar(3)), "123");
    EXPECT_EQ(errorTextOf([] { convert(i32(12345), DataType::nvarchar(3)); }),
              "Arithmetic overflow error converting expression to data type nvarchar.");
    EXPECT_EQ(errorTextOf([] { convert(num("123.45"), DataType::varchar(3)); }),
              "Arithmetic overflow error converting numeric to data type varchar.");
    EXPECT_EQ(cast(Value::money(12345678), DataType::varchar(30)), "1234.57");
    EXPECT_EQ(cast(Value::floating(1234567.0), DataType::varchar(30)), "1.23457e+006");
    EXPECT_EQ(cast(num("0.50"), DataType::varchar(30)), "0.50");
    EXPECT_EQ(cast(Value::bit(true), DataType::varchar(30)), "1");
}

TEST(ConvertDates, ToAndFromNumbersAndStrings) {
    EXPECT_EQ(cast(i32(1), kDateTime), "1900-01-02 00:00:00.000");
    EXPECT_EQ(cast(Value::floating(1.5), kDateTime), "1900-01-02 12:00:00.000");
    EXPECT_EQ(cast(dt("1900-01-01 12:00"), kInt), "1");  // datetime -> int rounds
    EXPECT_EQ(cast(dt("1900-01-01 11:59"), kInt), "0");
    EXPECT_EQ(cast(dt("1900-01-03 06:00"), kFloat), "2.25");
    EXPECT_EQ(cast(dt("2006-04-18 09:58:00"), DataType::varchar(30)), "Apr 18 2006  9:58AM");
    EXPECT_EQ(cast(dt("2006-04-18 09:58:00"), DataType::varchar(5)), "Apr 1");
    EXPECT_EQ(cast(dt("2006-04-18 09:58:00"), DataType::varchar(30), 112), "20060418");
    EXPECT_EQ(cast(dt("2006-04-18 09:58:31"), DataType::of(TypeId::SmallDateTime)),
              "2006-04-18 09:59:00");
    EXPECT_EQ(cast(dt("2006-04-18 09:58:31"), kDate), "2006-04-18");
    EXPECT_EQ(errorOf([] { convert(dt("2080-01-01"), DataType::of(TypeId::SmallDateTime)); }), 242);
    EXPECT_EQ(errorOf([] { convert(convert(vc("1600-01-01"), kDate), kDateTime); }), 242);
    EXPECT_EQ(
        errorTextOf(
            [] { convert(dt("2006-04-18"), DataType::varchar(30), ConversionKind::Explicit, 99); }),
        "99 is not a valid style number when converting from datetime to a character string.");
}

TEST(ConvertBinary, NumbersKeepTheirLowBytes) {
    EXPECT_EQ(cast(i32(258), DataType{TypeId::VarBinary, 10, 0, 0}), "0x00000102");
    EXPECT_EQ(cast(i32(258), DataType{TypeId::Binary, 1, 0, 0}), "0x02");
    EXPECT_EQ(cast(i32(258), DataType{TypeId::Binary, 6, 0, 0}), "0x000000000102");
    EXPECT_EQ(cast(binaryLiteral("0x0102"), kInt), "258");
    EXPECT_EQ(cast(binaryLiteral("0xFFFFFFFF"), kInt), "-1");
    EXPECT_EQ(cast(binaryLiteral("0x41F1"), DataType::varchar(10)), "Añ");
    EXPECT_EQ(cast(binaryLiteral("0x41F1"), DataType::varchar(10), 1), "0x41F1");
    EXPECT_EQ(cast(binaryLiteral("0x0102"), DataType{TypeId::Binary, 4, 0, 0}), "0x01020000");
    // Round trips through binary.
    EXPECT_EQ(cast(convert(num("-12.345"), DataType{TypeId::VarBinary, 100, 0, 0}),
                   DataType::decimal(10, 3)),
              "-12.345");
    EXPECT_EQ(
        cast(convert(dt("2006-04-18 09:58"), DataType{TypeId::VarBinary, 100, 0, 0}), kDateTime),
        "2006-04-18 09:58:00.000");
}

TEST(ConvertAvailability, ImplicitExplicitAndNever) {
    EXPECT_TRUE(implicitConversionAllowed(TypeId::VarChar, TypeId::Int));
    EXPECT_TRUE(implicitConversionAllowed(TypeId::Int, TypeId::DateTime));
    EXPECT_TRUE(implicitConversionAllowed(TypeId::Text, TypeId::VarChar));
    EXPECT_EQ(conversionAvailability(TypeId::DateTime, TypeId::Int),
              ConversionAvailability::ExplicitOnly);
    EXPECT_EQ(conversionAvailability(TypeId::VarChar, TypeId::VarBinary),
              ConversionAvailability::ExplicitOnly);
    EXPECT_EQ(conversionAvailability(TypeId::Int, TypeId::Date),
              ConversionAvailability::NotAllowed);
    EXPECT_EQ(conversionAvailability(TypeId::Text, TypeId::Int),
              ConversionAvailability::NotAllowed);
    EXPECT_EQ(conversionAvailability(TypeId::SqlVariant, TypeId::Int),
              ConversionAvailability::ExplicitOnly);

    EXPECT_EQ(errorTextOf([] {
                  checkConversion(DataType::varchar(5), DataType{TypeId::VarBinary, 5, 0, 0},
                                  ConversionKind::Implicit);
              }),
              "Implicit conversion from data type varchar to varbinary is not allowed. Use the "
              "CONVERT function to run this query.");
    EXPECT_EQ(errorTextOf([] { convert(i32(5), kDate); }),
              "Explicit conversion from data type int to date is not allowed.");
    EXPECT_EQ(errorTextOf([] { convert(i32(5), kDate, ConversionKind::Implicit); }),
              "Operand type clash: int is incompatible with date");
    EXPECT_EQ(errorOf([] { convert(dt("2006-01-01"), kInt, ConversionKind::Implicit); }), 257);
    EXPECT_EQ(errorOf([] { convert(Value::string("x", DataType::of(TypeId::Text)), kInt); }), 529);
    // A bare NULL converts to anything.
    EXPECT_TRUE(convert(Value(), kDate, ConversionKind::Implicit).isNull());
    EXPECT_EQ(convert(Value(), kDate).type(), kDate);
}

TEST(AssignToColumn, RaisesTruncationOnlyWhenSomethingButBlanksIsLost) {
    const DataType col = DataType::varchar(5);
    EXPECT_EQ(shown(assignToColumn(vc("abcde"), col)), "abcde");
    EXPECT_EQ(shown(assignToColumn(vc("abc       "), col)), "abc  ");
    EXPECT_EQ(assignToColumn(vc("abc"), col).type(), col);
    EXPECT_EQ(errorOf([] { assignToColumn(vc("abcdef"), DataType::varchar(5)); }), 8152);
    EXPECT_EQ(errorOf([] { assignToColumn(i32(123456), DataType::varchar(5)); }), 8152);
    EXPECT_EQ(shown(assignToColumn(i32(12), DataType::varchar(5))), "12");
    EXPECT_EQ(shown(assignToColumn(vc("ab"), DataType::character(TypeId::Char, 4))), "ab  ");
    EXPECT_EQ(shown(assignToColumn(nvc("Łódź"), DataType::varchar(4))), "?ód?");
    EXPECT_EQ(shown(assignToColumn(nvc("ñandú"), DataType::nvarchar(5))), "ñandú");
    EXPECT_EQ(shown(assignToColumn(vc("Łódź"), DataType::varchar(10))), "?ód?");
    EXPECT_EQ(assignToColumn(vc("ab"), DataType::varchar(10)).type(), DataType::varchar(10));
    EXPECT_EQ(shown(assignToColumn(Value::integer(7, TypeId::TinyInt), kInt)), "7");
    EXPECT_EQ(assignToColumn(Value::integer(7, TypeId::TinyInt), kInt).type(), kInt);
    EXPECT_EQ(errorOf([] {
                  assignToColumn(binaryLiteral("0x010203"), DataType{TypeId::VarBinary, 2, 0, 0});
              }),
              8152);
    EXPECT_EQ(errorOf([] { assignToColumn(vc("abc"), DataType::of(TypeId::Int)); }), 245);
    EXPECT_TRUE(assignToColumn(Value(), col).isNull());
    EXPECT_EQ(assignToColumn(Value(), col).type(), col);
    EXPECT_TRUE(fitsColumn(vc("ab   "), DataType::varchar(2)));
    EXPECT_FALSE(fitsColumn(vc("abc"), DataType::varchar(2)));
}

TEST(AssignToColumn, VerboseTruncationMessage) {
    const SqlMessage m = verboseTruncationMessage("MAINT.dbo.WORK_ORDERS", "WO_DESC",
                                                  vc("abcdefgh"), DataType::varchar(5));
    EXPECT_EQ(m.number, 2628);
    EXPECT_EQ(m.text,
              "String or binary data would be truncated in table 'MAINT.dbo.WORK_ORDERS', column "
              "'WO_DESC'. "
              "Truncated value: 'abcde'.");
    EXPECT_EQ(truncationMessage().text, "String or binary data would be truncated.");
}

TEST(DateFormats, ParseSetDateFormatArguments) {
    DateFormat f = DateFormat::Mdy;
    EXPECT_TRUE(parseDateFormat("DMY", f));
    EXPECT_EQ(f, DateFormat::Dmy);
    EXPECT_TRUE(parseDateFormat("ydm", f));
    EXPECT_EQ(f, DateFormat::Ydm);
    EXPECT_FALSE(parseDateFormat("dd", f));
}

}  // namespace
}  // namespace engine
