#include "db/embedded/value_conversion.h"

#include <gtest/gtest.h>

namespace db::embedded {
namespace {

using engine::DataType;
using engine::TypeId;
using engine::Value;

TEST(EmbeddedValues, EngineValuesBecomeVariantsOfTheirKind) {
    EXPECT_TRUE(toVariant(Value::null(DataType::varchar(5))).isNull());
    EXPECT_EQ(toVariant(Value::bit(true)), Variant::boolean(true));
    EXPECT_EQ(toVariant(Value::integer(-7, TypeId::SmallInt)), Variant::integer(-7));
    EXPECT_EQ(toVariant(Value::decimal(2100, DataType::decimal(5, 2))), Variant::decimal("21.00"));
    EXPECT_EQ(toVariant(Value::decimal(-5, DataType::decimal(5, 2))), Variant::decimal("-0.05"));
    EXPECT_EQ(toVariant(Value::decimal(42, DataType::decimal(5, 0))), Variant::decimal("42"));
    EXPECT_EQ(toVariant(Value::money(125000)), Variant::currency(125000));
    EXPECT_EQ(toVariant(Value::floating(0.1)), Variant::real(0.1));
    EXPECT_EQ(toVariant(Value::floating(static_cast<float>(8.1), TypeId::Real)).toText(), "8.1");
    // 1986-01-01 is day 31411 after 1900-01-01; 10:20:30 is 37230 s of 300 ticks.
    EXPECT_EQ(toVariant(Value::datetime(31411, 37230 * 300)), Variant::dateTime(DateTime{1986, 1, 1, 10, 20, 30, 0}));
    EXPECT_EQ(toVariant(Value::datetime(0, 1)).dateTimeValue().millisecond, 3);
    EXPECT_EQ(toVariant(Value::datetime(-1, 0)).dateTimeValue(), (DateTime{1899, 12, 31, 0, 0, 0, 0}));
    EXPECT_EQ(toVariant(Value::string("Almería", DataType::varchar(20))), Variant::text("Almería"));
    EXPECT_EQ(toVariant(Value::string("€", DataType::nvarchar(1))), Variant::text("€"));
    EXPECT_EQ(toVariant(Value::binary(std::string("\x01\x02", 2), DataType{TypeId::VarBinary, 2, 0, 0})),
              Variant::binary(std::string("\x01\x02", 2)));
    const std::string guid("\x33\x22\x11\x00\x55\x44\x77\x66\x88\x99\xAA\xBB\xCC\xDD\xEE\xFF", 16);
    EXPECT_EQ(toVariant(Value::binary(guid, DataType::of(TypeId::UniqueIdentifier))),
              Variant::text("00112233-4455-6677-8899-AABBCCDDEEFF"));
}

TEST(EmbeddedValues, AssignedVariantsBecomeEngineValues) {
    EXPECT_TRUE(toEngineValue(Variant()).isNull());
    EXPECT_EQ(toEngineValue(Variant::boolean(true)).typeId(), TypeId::Bit);
    EXPECT_EQ(toEngineValue(Variant::integer(5)).typeId(), TypeId::Int);
    EXPECT_EQ(toEngineValue(Variant::integer(5000000000)).typeId(), TypeId::BigInt);
    EXPECT_EQ(toEngineValue(Variant::integer(5000000000)).asInt64(), 5000000000);
    EXPECT_EQ(toEngineValue(Variant::currency(-125000)).moneyScaled(), -125000);

    const Value d = toEngineValue(Variant::decimal("-12.345"));
    EXPECT_EQ(d.typeId(), TypeId::Decimal);
    EXPECT_EQ(static_cast<int64_t>(d.decimalUnscaled()), -12345);
    EXPECT_EQ(d.type().scale, 3);
    EXPECT_EQ(d.type().precision, 5);

    const Value text = toEngineValue(Variant::text("España"));
    EXPECT_EQ(text.typeId(), TypeId::VarChar);
    EXPECT_EQ(text.bytes(), "España");
    EXPECT_EQ(toEngineValue(Variant::text("5 €")).typeId(), TypeId::NVarChar);

    const Value when = toEngineValue(Variant::dateTime(DateTime{1986, 1, 1, 10, 20, 30, 10}));
    EXPECT_EQ(when.days(), 31411);
    EXPECT_EQ(when.ticks(), 37230 * 300 + 3);
    // And back: a round trip keeps the date and time to SQL Server's 1/300 s.
    EXPECT_EQ(toVariant(when).dateTimeValue(), (DateTime{1986, 1, 1, 10, 20, 30, 10}));
}

TEST(EmbeddedValues, ResultColumnsBecomeFields) {
    engine::ResultColumn name{"NOMBRE", DataType::varchar(50), false, false, "NOMBRE"};
    const FieldInfo f = toFieldInfo(name, "PROVINCIAS");
    EXPECT_EQ(f.type, FieldType::VarChar);
    EXPECT_EQ(f.definedSize, 50);
    EXPECT_FALSE(f.nullable);
    EXPECT_EQ(f.baseTable, "PROVINCIAS");

    engine::ResultColumn computed{"", DataType::nvarchar(DataType::kMax), true, false, ""};
    const FieldInfo c = toFieldInfo(computed, "PROVINCIAS");
    EXPECT_EQ(c.type, FieldType::LongVarWChar);
    EXPECT_EQ(c.baseTable, "");

    engine::ResultColumn amount{"TASA", DataType::decimal(10, 2), true, false, "TASA"};
    const FieldInfo a = toFieldInfo(amount, "T");
    EXPECT_EQ(a.type, FieldType::Numeric);
    EXPECT_EQ(a.precision, 10);
    EXPECT_EQ(a.scale, 2);
}

}  // namespace
}  // namespace db::embedded
