#include "engine/types/arithmetic.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace engine {
namespace {

using namespace testing;

std::string calc(ArithmeticOp op, const Value& a, const Value& b) {
    return shown(arithmetic(op, a, b));
}

TEST(IntegerArithmetic, ResultsAndErrors) {
    EXPECT_EQ(calc(ArithmeticOp::Add, i32(2), i32(3)), "5");
    EXPECT_EQ(calc(ArithmeticOp::Divide, i32(7), i32(2)), "3");
    EXPECT_EQ(calc(ArithmeticOp::Divide, i32(-7), i32(2)), "-3");
    EXPECT_EQ(calc(ArithmeticOp::Modulo, i32(-7), i32(3)), "-1");
    EXPECT_EQ(calc(ArithmeticOp::BitAnd, i32(6), i32(3)), "2");
    EXPECT_EQ(calc(ArithmeticOp::BitOr, i32(6), i32(3)), "7");
    EXPECT_EQ(calc(ArithmeticOp::BitXor, i32(6), i32(3)), "5");
    EXPECT_EQ(errorTextOf([] { arithmetic(ArithmeticOp::Add, i32(2147483647), i32(1)); }),
              "Arithmetic overflow error converting expression to data type int.");
    EXPECT_EQ(errorTextOf([] { arithmetic(ArithmeticOp::Divide, i32(1), i32(0)); }),
              "Divide by zero error encountered.");
    EXPECT_EQ(errorOf([] { arithmetic(ArithmeticOp::Modulo, i32(1), i32(0)); }), 8134);
    EXPECT_EQ(errorOf([] { arithmetic(ArithmeticOp::Divide, i32(INT32_MIN), i32(-1)); }), 8115);
    const Value t200 = Value::integer(200, TypeId::TinyInt);
    EXPECT_EQ(errorTextOf([&] { arithmetic(ArithmeticOp::Add, t200, t200); }),
              "Arithmetic overflow error converting expression to data type tinyint.");
    EXPECT_EQ(arithmetic(ArithmeticOp::Add, i32(1), Value::integer(1, TypeId::BigInt)).typeId(),
              TypeId::BigInt);
}

TEST(MixedArithmetic, StringsConvertToTheNumber) {
    EXPECT_EQ(calc(ArithmeticOp::Add, i32(1), vc("1")), "2");
    EXPECT_EQ(calc(ArithmeticOp::Add, vc("1"), i32(1)), "2");
    EXPECT_EQ(errorTextOf([] { arithmetic(ArithmeticOp::Add, vc("a"), i32(1)); }),
              "Conversion failed when converting the varchar value 'a' to data type int.");
    // The string takes the decimal type of the other operand.
    EXPECT_EQ(calc(ArithmeticOp::Add, num("1.5"), vc("2.25")), "3.8");
    EXPECT_EQ(calc(ArithmeticOp::Multiply, Value::floating(1.5), i32(2)), "3");
}

TEST(Concatenation, StringsJoinAndNullPropagates) {
    const Value r = arithmetic(ArithmeticOp::Add, vc("20"), vc("13"));
    EXPECT_EQ(shown(r), "2013");
    EXPECT_EQ(r.type(), DataType::varchar(4));
    EXPECT_EQ(
        shown(arithmetic(ArithmeticOp::Add,
                         Value::string("ab ", DataType::character(TypeId::Char, 3)), vc("c"))),
        "ab c");
    EXPECT_EQ(shown(arithmetic(ArithmeticOp::Add, nvc("ñ"), vc("a"))), "ña");
    EXPECT_TRUE(arithmetic(ArithmeticOp::Add, vc("x"), Value()).isNull());
    EXPECT_EQ(arithmetic(ArithmeticOp::Add, vc("x"), Value()).typeId(), TypeId::VarChar);
    EXPECT_TRUE(arithmetic(ArithmeticOp::Add, Value::null(DataType::varchar(3)), vc("x")).isNull());
    EXPECT_EQ(shown(arithmetic(ArithmeticOp::Add, binaryLiteral("0x01"), binaryLiteral("0x02"))),
              "0x0102");
    // Concatenations beyond 8000 characters are cut to 8000.
    const Value big = Value::string(std::string(6000, 'a'), DataType::varchar(6000));
    EXPECT_EQ(arithmetic(ArithmeticOp::Add, big, big).bytes().size(), 8000u);
}

TEST(DecimalArithmetic, ExactResultsWithTheResultScale) {
    EXPECT_EQ(calc(ArithmeticOp::Add, num("1.50"), num("2.125")), "3.625");
    EXPECT_EQ(calc(ArithmeticOp::Subtract, num("1.50"), i32(3)), "-1.50");
    EXPECT_EQ(calc(ArithmeticOp::Multiply, num("1.50"), num("2.5")), "3.750");
    const Value three = Value::decimal(3, integerConstantAsDecimal(3));
    EXPECT_EQ(calc(ArithmeticOp::Divide, num("1.0"), three), "0.333333");
    EXPECT_EQ(calc(ArithmeticOp::Divide, num("2.0"), three), "0.666666");  // truncated, not rounded
    EXPECT_EQ(calc(ArithmeticOp::Divide, num("1.0"), i32(3)), "0.333333333333");
    EXPECT_EQ(calc(ArithmeticOp::Divide, i32(10), num("4.0")), "2.500000");
    EXPECT_EQ(calc(ArithmeticOp::Modulo, num("7.5"), i32(2)), "1.5");
    EXPECT_EQ(errorOf([] { arithmetic(ArithmeticOp::Divide, num("1.5"), num("0.0")); }), 8134);
    // Wide intermediate products stay exact.
    const Value big = num("12345678901234567890.123456");
    EXPECT_EQ(calc(ArithmeticOp::Multiply, big, num("1.000000")),
              "12345678901234567890.123456000000");
    EXPECT_EQ(calc(ArithmeticOp::Divide, big, three), "4115226300411522630.04115200");
    const Value max38 = num("99999999999999999999999999999999999999");
    EXPECT_EQ(errorTextOf([&] { arithmetic(ArithmeticOp::Add, max38, i32(1)); }),
              "Arithmetic overflow error converting expression to data type numeric.");
    EXPECT_EQ(errorOf([&] { arithmetic(ArithmeticOp::Multiply, max38, i32(10)); }), 8115);
}

TEST(MoneyAndFloatArithmetic, ResultsAndErrors) {
    EXPECT_EQ(calc(ArithmeticOp::Add, Value::money(15000), i32(1)), "2.5000");
    EXPECT_EQ(calc(ArithmeticOp::Multiply, Value::money(15000), Value::money(20000)), "3.0000");
    EXPECT_EQ(calc(ArithmeticOp::Divide, Value::money(10000), Value::money(30000)), "0.3333");
    EXPECT_EQ(errorOf([] { arithmetic(ArithmeticOp::Divide, Value::money(10000), i32(0)); }), 8134);
    EXPECT_EQ(calc(ArithmeticOp::Divide, Value::floating(1), Value::floating(4)), "0.25");
    EXPECT_EQ(
        errorOf([] { arithmetic(ArithmeticOp::Divide, Value::floating(1), Value::floating(0)); }),
        8134);
    EXPECT_EQ(errorOf([] {
                  arithmetic(ArithmeticOp::Multiply, Value::floating(1e300),
                             Value::floating(1e300));
              }),
              8115);
}

TEST(DateArithmetic, DaysAndDifferences) {
    EXPECT_EQ(calc(ArithmeticOp::Add, dt("2013-01-31"), i32(1)), "2013-02-01 00:00:00.000");
    EXPECT_EQ(calc(ArithmeticOp::Subtract, dt("2013-01-01"), i32(1)), "2012-12-31 00:00:00.000");
    EXPECT_EQ(calc(ArithmeticOp::Add, dt("2013-01-01"), Value::floating(0.5)),
              "2013-01-01 12:00:00.000");
    EXPECT_EQ(calc(ArithmeticOp::Subtract, dt("2013-01-02 06:00"), dt("2013-01-01")),
              "1900-01-02 06:00:00.000");
    EXPECT_EQ(calc(ArithmeticOp::Add, dt("2013-01-01"), vc("1900-01-03")),
              "2013-01-03 00:00:00.000");
    EXPECT_EQ(errorOf([] { arithmetic(ArithmeticOp::Add, dt("9999-12-31"), i32(1)); }), 8115);
}

TEST(UnaryOperators, NegateAndNot) {
    EXPECT_EQ(shown(negate(i32(5))), "-5");
    EXPECT_EQ(shown(negate(num("1.50"))), "-1.50");
    EXPECT_EQ(shown(negate(Value::money(10000))), "-1.0000");
    EXPECT_EQ(shown(negate(Value::floating(2.5))), "-2.5");
    EXPECT_EQ(errorOf([] { negate(i32(INT32_MIN)); }), 8115);
    EXPECT_TRUE(negate(Value()).isNull());
    EXPECT_EQ(shown(bitwiseNot(i32(0))), "-1");
    EXPECT_EQ(shown(bitwiseNot(Value::integer(1, TypeId::TinyInt))), "254");
    EXPECT_EQ(shown(bitwiseNot(Value::bit(true))), "0");
    EXPECT_EQ(errorOf([] { bitwiseNot(num("1.5")); }), 8117);
}

}  // namespace
}  // namespace engine
