#include "engine/types/type_rules.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace engine {
namespace {

using namespace testing;

TEST(DecimalResultTypes, PrecisionAndScaleRules) {
    struct Case {
        ArithmeticOp op;
        DataType l, r, expected;
    } cases[] = {
        {ArithmeticOp::Add, DataType::decimal(5, 2), DataType::decimal(7, 3),
         DataType::decimal(8, 3)},
        {ArithmeticOp::Subtract, DataType::decimal(10, 0), DataType::decimal(4, 4),
         DataType::decimal(15, 4)},
        {ArithmeticOp::Multiply, DataType::decimal(5, 2), DataType::decimal(7, 3),
         DataType::decimal(13, 5)},
        {ArithmeticOp::Divide, DataType::decimal(5, 2), DataType::decimal(7, 3),
         DataType::decimal(16, 10)},
        {ArithmeticOp::Modulo, DataType::decimal(5, 2), DataType::decimal(7, 3),
         DataType::decimal(6, 3)},
        // Integers take part as decimal(10,0), money as (19,4).
        {ArithmeticOp::Add, DataType::decimal(5, 2), kInt, DataType::decimal(13, 2)},
        {ArithmeticOp::Multiply, DataType::decimal(5, 2), kMoney, DataType::decimal(25, 6)},
        {ArithmeticOp::Divide, kInt, DataType::decimal(3, 1), DataType::decimal(17, 6)},
        // Beyond 38 digits the scale gives way, not below 6.
        {ArithmeticOp::Multiply, DataType::decimal(38, 10), DataType::decimal(38, 10),
         DataType::decimal(38, 6)},
        {ArithmeticOp::Divide, DataType::decimal(38, 0), DataType::decimal(10, 0),
         DataType::decimal(38, 6)},
        {ArithmeticOp::Multiply, DataType::decimal(20, 2), DataType::decimal(20, 2),
         DataType::decimal(38, 4)},
        {ArithmeticOp::Add, DataType::decimal(38, 0), DataType::decimal(38, 0),
         DataType::decimal(38, 0)},
        {ArithmeticOp::Divide, DataType::decimal(18, 2), DataType::decimal(18, 2),
         DataType::decimal(38, 20)},
    };
    for (const auto& c : cases) {
        const DataType t = arithmeticResultType(c.op, c.l, c.r);
        EXPECT_EQ(typeDisplayName(t), typeDisplayName(c.expected))
            << operatorName(c.op) << " " << typeDisplayName(c.l) << " " << typeDisplayName(c.r);
    }
    EXPECT_EQ(arithmeticResultType(ArithmeticOp::Add, DataType::numeric(3, 2), kInt).id,
              TypeId::Numeric);
}

TEST(ArithmeticResultTypes, PromotionByPrecedence) {
    EXPECT_EQ(arithmeticResultType(ArithmeticOp::Add, kInt, kTinyInt), kInt);
    EXPECT_EQ(arithmeticResultType(ArithmeticOp::Add, kTinyInt, kTinyInt), kTinyInt);
    EXPECT_EQ(arithmeticResultType(ArithmeticOp::Add, kBit, kInt), kInt);
    EXPECT_EQ(arithmeticResultType(ArithmeticOp::Multiply, kBigInt, kInt), kBigInt);
    EXPECT_EQ(arithmeticResultType(ArithmeticOp::Add, kMoney, kInt), kMoney);
    EXPECT_EQ(arithmeticResultType(ArithmeticOp::Divide, kMoney, kMoney), kMoney);
    EXPECT_EQ(arithmeticResultType(ArithmeticOp::Add, DataType::of(TypeId::SmallMoney), kInt),
              DataType::of(TypeId::SmallMoney));
    EXPECT_EQ(arithmeticResultType(ArithmeticOp::Add, kFloat, DataType::decimal(5, 2)), kFloat);
    EXPECT_EQ(arithmeticResultType(ArithmeticOp::Add, kReal, kInt), kReal);
    EXPECT_EQ(arithmeticResultType(ArithmeticOp::Add, kInt, DataType::varchar(5)),
              kInt);  // 1 + '1' = 2
    EXPECT_EQ(arithmeticResultType(ArithmeticOp::Add, DataType::varchar(5), kInt), kInt);
    EXPECT_EQ(arithmeticResultType(ArithmeticOp::Add, kDateTime, kInt), kDateTime);
    EXPECT_EQ(arithmeticResultType(ArithmeticOp::Subtract, kDateTime, kDateTime), kDateTime);
    EXPECT_EQ(arithmeticResultType(ArithmeticOp::BitAnd, kBit, kBit), kBit);
}

TEST(ArithmeticResultTypes, ConcatenationSumsLengths) {
    EXPECT_EQ(arithmeticResultType(ArithmeticOp::Add, DataType::varchar(5), DataType::varchar(3)),
              DataType::varchar(8));
    EXPECT_EQ(
        arithmeticResultType(ArithmeticOp::Add, DataType::varchar(5000), DataType::varchar(5000)),
        DataType::varchar(8000));
    EXPECT_EQ(arithmeticResultType(ArithmeticOp::Add, DataType::varchar(5), DataType::nvarchar(3)),
              DataType::nvarchar(8));
    EXPECT_EQ(
        arithmeticResultType(ArithmeticOp::Add, DataType::nvarchar(3000), DataType::varchar(3000)),
        DataType::nvarchar(4000));
    EXPECT_EQ(arithmeticResultType(ArithmeticOp::Add, DataType::varchar(DataType::kMax),
                                   DataType::varchar(3)),
              DataType::varchar(DataType::kMax));
    EXPECT_EQ(arithmeticResultType(ArithmeticOp::Add, DataType::character(TypeId::Char, 2),
                                   DataType::character(TypeId::Char, 3)),
              DataType::character(TypeId::Char, 5));
    EXPECT_EQ(arithmeticResultType(ArithmeticOp::Add, DataType::character(TypeId::Char, 2),
                                   DataType::varchar(3)),
              DataType::varchar(5));
    // NULL + 'a' is a string, not an attempt to convert 'a' to int.
    EXPECT_EQ(
        arithmeticResultType(ArithmeticOp::Add, DataType::nullLiteral(), DataType::varchar(1)).id,
        TypeId::VarChar);
}

TEST(ArithmeticResultTypes, InvalidOperandsRaiseSqlServerErrors) {
    EXPECT_EQ(errorTextOf([] {
                  arithmeticResultType(ArithmeticOp::Add, DataType::of(TypeId::Bit),
                                       DataType::of(TypeId::Bit));
              }),
              "Operand data type bit is invalid for add operator.");
    EXPECT_EQ(
        errorTextOf([] { arithmeticResultType(ArithmeticOp::Add, kText, DataType::varchar(3)); }),
        "The data types text and varchar are incompatible in the add operator.");
    EXPECT_EQ(errorTextOf([] { arithmeticResultType(ArithmeticOp::Modulo, kFloat, kInt); }),
              "The data types float and int are incompatible in the modulo operator.");
    EXPECT_EQ(errorTextOf([] {
                  arithmeticResultType(ArithmeticOp::Multiply, DataType::varchar(1),
                                       DataType::varchar(1));
              }),
              "The data types varchar and varchar are incompatible in the multiply operator.");
    EXPECT_EQ(errorTextOf([] { arithmeticResultType(ArithmeticOp::Multiply, kDateTime, kInt); }),
              "Operand data type datetime is invalid for multiply operator.");
    EXPECT_EQ(
        errorOf([] { arithmeticResultType(ArithmeticOp::Add, DataType::of(TypeId::Date), kInt); }),
        206);
    EXPECT_EQ(errorOf([] {
                  arithmeticResultType(ArithmeticOp::Add, DataType::of(TypeId::UniqueIdentifier),
                                       kInt);
              }),
              8117);
    EXPECT_EQ(
        errorOf([] { arithmeticResultType(ArithmeticOp::BitAnd, DataType::decimal(5, 0), kInt); }),
        402);
    EXPECT_EQ(errorOf([] { negateResultType(DataType::varchar(3)); }), 8117);
    EXPECT_EQ(errorOf([] { negateResultType(kBit); }), 8117);
}

TEST(ComparisonTypes, CommonTypeByPrecedence) {
    EXPECT_EQ(comparisonType(DataType::varchar(10), kInt), kInt);
    EXPECT_EQ(comparisonType(kInt, DataType::varchar(10)), kInt);
    EXPECT_EQ(comparisonType(DataType::varchar(10), DataType::nvarchar(5)), DataType::nvarchar(10));
    EXPECT_EQ(comparisonType(DataType::varchar(10), kDateTime), kDateTime);
    EXPECT_EQ(comparisonType(kInt, DataType::decimal(5, 2)), DataType::decimal(12, 2));
    EXPECT_EQ(comparisonType(DataType::nullLiteral(), DataType::varchar(3)), DataType::varchar(3));
    EXPECT_EQ(errorTextOf([] { comparisonType(kText, DataType::varchar(3), ComparisonOp::Equal); }),
              "The data types text and varchar are incompatible in the equal to operator.");
    EXPECT_EQ(errorTextOf([] { comparisonType(DataType::of(TypeId::Date), kInt); }),
              "Operand type clash: int is incompatible with date");
    EXPECT_EQ(errorOf([] { comparisonType(DataType::of(TypeId::UniqueIdentifier), kInt); }), 206);
}

TEST(CommonResultTypes, CaseCoalesceUnion) {
    const DataType a[] = {DataType::varchar(5), DataType::varchar(20), DataType::nullLiteral()};
    EXPECT_EQ(commonResultType(a), DataType::varchar(20));
    const DataType b[] = {DataType::varchar(5), DataType::nvarchar(3)};
    EXPECT_EQ(commonResultType(b), DataType::nvarchar(5));
    const DataType c[] = {kInt, DataType::decimal(5, 2)};
    EXPECT_EQ(commonResultType(c), DataType::decimal(12, 2));
    const DataType d[] = {DataType::decimal(10, 4), DataType::decimal(12, 1)};
    EXPECT_EQ(commonResultType(d), DataType::decimal(15, 4));
    const DataType e[] = {kInt, kFloat, kMoney};
    EXPECT_EQ(commonResultType(e), kFloat);
    const DataType f[] = {DataType::nullLiteral(), DataType::nullLiteral()};
    EXPECT_EQ(commonResultType(f), kInt);
    const DataType g[] = {DataType::varchar(3), kInt};
    EXPECT_EQ(commonResultType(g), kInt);
    const DataType h[] = {DataType::varchar(3), DataType::varchar(DataType::kMax)};
    EXPECT_EQ(commonResultType(h), DataType::varchar(DataType::kMax));
    const DataType i[] = {kDateTime, DataType::of(TypeId::Date)};
    EXPECT_EQ(commonResultType(i), kDateTime);
    const DataType j[] = {kInt, DataType::of(TypeId::Date)};
    EXPECT_EQ(errorOf([&] { commonResultType(j); }), 206);
}

TEST(IsNullResultType, TypeOfTheFirstArgument) {
    EXPECT_EQ(isnullResultType(DataType::varchar(2), DataType::varchar(3)), DataType::varchar(2));
    EXPECT_EQ(isnullResultType(DataType::nullLiteral(), DataType::varchar(3)),
              DataType::varchar(3));
    EXPECT_EQ(isnullResultType(DataType::nullLiteral(), DataType::nullLiteral()), kInt);
    EXPECT_EQ(isnullResultType(kInt, DataType::varchar(3)), kInt);
    EXPECT_EQ(
        errorOf([] { isnullResultType(DataType::of(TypeId::Date), DataType::of(TypeId::Int)); }),
        206);
}

TEST(DecimalEquivalents, IntegerConstantsTakeTheirOwnDigits) {
    EXPECT_EQ(integerConstantAsDecimal(3), DataType::numeric(1, 0));
    EXPECT_EQ(integerConstantAsDecimal(-250), DataType::numeric(3, 0));
    EXPECT_EQ(integerConstantAsDecimal(0), DataType::numeric(1, 0));
    // 1.0 / 3 has six decimals because the 3 counts as numeric(1,0).
    EXPECT_EQ(arithmeticResultType(ArithmeticOp::Divide, DataType::numeric(2, 1),
                                   integerConstantAsDecimal(3)),
              DataType::numeric(7, 6));
}

TEST(DecimalEquivalents, OfExactTypes) {
    EXPECT_EQ(asDecimalType(kInt), DataType::decimal(10, 0));
    EXPECT_EQ(asDecimalType(kBigInt), DataType::decimal(19, 0));
    EXPECT_EQ(asDecimalType(kMoney), DataType::decimal(19, 4));
    EXPECT_EQ(asDecimalType(DataType::of(TypeId::SmallMoney)), DataType::decimal(10, 4));
    EXPECT_EQ(asDecimalType(kTinyInt), DataType::decimal(3, 0));
}

}  // namespace
}  // namespace engine
