#include "engine/types/data_type.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace engine {
namespace {

using namespace testing;

TEST(TypeNames, ResolveCaseInsensitivelyWithSqlServerDefaults) {
    struct Case {
        const char* name;
        std::optional<int32_t> a1, a2;
        bool inCast;
        DataType expected;
    } cases[] = {
        {"INT", {}, {}, false, DataType::of(TypeId::Int)},
        {"integer", {}, {}, false, DataType::of(TypeId::Int)},
        {"VarChar", 40, {}, false, DataType::varchar(40)},
        {"varchar", {}, {}, false, DataType::varchar(1)},
        {"varchar", {}, {}, true, DataType::varchar(30)},
        {"nvarchar", DataType::kMax, {}, false, DataType::nvarchar(DataType::kMax)},
        {"decimal", {}, {}, false, DataType::decimal(18, 0)},
        {"numeric", 10, 2, false, DataType::numeric(10, 2)},
        {"dec", 5, {}, false, DataType::decimal(5, 0)},
        {"float", {}, {}, false, DataType::floating(TypeId::Float)},
        {"float", 24, {}, false, DataType::floating(TypeId::Real)},
        {"real", {}, {}, false, DataType::floating(TypeId::Real)},
        {"sysname", {}, {}, false, DataType::nvarchar(128)},
        {"char", 5, {}, false, DataType::character(TypeId::Char, 5)},
        {"DateTime", {}, {}, false, DataType::of(TypeId::DateTime)},
        {"uniqueidentifier", {}, {}, false, DataType::of(TypeId::UniqueIdentifier)},
    };
    for (const auto& c : cases) {
        const auto t = resolveTypeName(c.name, c.a1, c.a2, c.inCast);
        ASSERT_TRUE(t.has_value()) << c.name;
        EXPECT_EQ(*t, c.expected) << c.name;
    }
}

TEST(TypeNames, InvalidDeclarationsRaiseSqlServerErrors) {
    EXPECT_FALSE(resolveTypeName("varchr", 5, {}).has_value());
    EXPECT_EQ(errorOf([] { resolveTypeNameOrThrow("varchr", 5, {}, true); }), 243);
    EXPECT_EQ(errorOf([] { resolveTypeNameOrThrow("varchr", 5, {}, false); }), 2715);
    EXPECT_EQ(errorTextOf([] { resolveTypeNameOrThrow("varchar", 9000, {}, true); }),
              "The size (9000) given to the type 'varchar' exceeds the maximum allowed for any "
              "data type (8000).");
    EXPECT_EQ(errorOf([] { resolveTypeNameOrThrow("nvarchar", 4001, {}); }), 131);
    EXPECT_EQ(errorOf([] { resolveTypeNameOrThrow("decimal", 40, 2); }), 2750);
    EXPECT_EQ(errorOf([] { resolveTypeNameOrThrow("decimal", 5, 6); }), 2751);
    EXPECT_EQ(errorOf([] { resolveTypeNameOrThrow("int", 4, {}); }), 2716);
    EXPECT_EQ(errorOf([] { resolveTypeNameOrThrow("char", DataType::kMax, {}); }), 1001);
    EXPECT_EQ(errorOf([] { resolveTypeNameOrThrow("varchar", 0, {}); }), 1001);
}

TEST(TypeNames, DisplayNamesAreThoseOfDdl) {
    EXPECT_EQ(typeDisplayName(DataType::varchar(50)), "varchar(50)");
    EXPECT_EQ(typeDisplayName(DataType::nvarchar(DataType::kMax)), "nvarchar(max)");
    EXPECT_EQ(typeDisplayName(DataType::decimal(10, 2)), "decimal(10,2)");
    EXPECT_EQ(typeDisplayName(DataType::of(TypeId::Int)), "int");
    EXPECT_EQ(typeDisplayName(DataType::nullLiteral()), "int");
}

TEST(TypeCatalogue, SystemTypeIdsAndStorageBytesMatchTheCatalogueViews) {
    struct Case {
        DataType type;
        int xtype;
        int bytes;
    } cases[] = {
        {DataType::of(TypeId::Int), 56, 4},
        {DataType::of(TypeId::BigInt), 127, 8},
        {DataType::of(TypeId::SmallInt), 52, 2},
        {DataType::of(TypeId::TinyInt), 48, 1},
        {DataType::of(TypeId::Bit), 104, 1},
        {DataType::floating(TypeId::Float), 62, 8},
        {DataType::floating(TypeId::Real), 59, 4},
        {DataType::of(TypeId::Money), 60, 8},
        {DataType::of(TypeId::SmallMoney), 122, 4},
        {DataType::of(TypeId::DateTime), 61, 8},
        {DataType::of(TypeId::SmallDateTime), 58, 4},
        {DataType::of(TypeId::Date), 40, 3},
        {DataType::varchar(40), 167, 40},
        {DataType::nvarchar(40), 231, 80},
        {DataType::varchar(DataType::kMax), 167, -1},
        {DataType::of(TypeId::Text), 35, 16},
        {DataType::of(TypeId::NText), 99, 16},
        {DataType::of(TypeId::Image), 34, 16},
        {DataType::decimal(9, 2), 106, 5},
        {DataType::numeric(10, 0), 108, 9},
        {DataType::decimal(28, 2), 106, 13},
        {DataType::decimal(38, 2), 106, 17},
        {DataType::of(TypeId::UniqueIdentifier), 36, 16},
        {DataType::character(TypeId::NChar, 3), 239, 6},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(systemTypeId(c.type.id), c.xtype) << typeDisplayName(c.type);
        EXPECT_EQ(storageBytes(c.type), c.bytes) << typeDisplayName(c.type);
        EXPECT_EQ(typeFromSystemTypeId(c.xtype), c.type.id);
    }
}

TEST(TypeCatalogue, PrecedenceFollowsSqlServersOrder) {
    const TypeId order[] = {TypeId::SqlVariant, TypeId::DateTime,  TypeId::SmallDateTime,
                            TypeId::Date,       TypeId::Float,     TypeId::Real,
                            TypeId::Decimal,    TypeId::Money,     TypeId::SmallMoney,
                            TypeId::BigInt,     TypeId::Int,       TypeId::SmallInt,
                            TypeId::TinyInt,    TypeId::Bit,       TypeId::NText,
                            TypeId::Text,       TypeId::Image,     TypeId::UniqueIdentifier,
                            TypeId::NVarChar,   TypeId::NChar,     TypeId::VarChar,
                            TypeId::Char,       TypeId::VarBinary, TypeId::Binary};
    for (size_t i = 1; i < std::size(order); ++i) {
        EXPECT_GT(precedence(order[i - 1]), precedence(order[i]))
            << typeName(order[i - 1]) << " vs " << typeName(order[i]);
    }
    EXPECT_EQ(precedence(TypeId::Decimal), precedence(TypeId::Numeric));
}

TEST(TypeCatalogue, ReportedPrecisionAndScale) {
    EXPECT_EQ(reportedPrecision(DataType::of(TypeId::Int)), 10);
    EXPECT_EQ(reportedPrecision(DataType::of(TypeId::DateTime)), 23);
    EXPECT_EQ(reportedScale(DataType::of(TypeId::DateTime)), 3);
    EXPECT_EQ(reportedPrecision(DataType::nvarchar(50)), 50);
    EXPECT_EQ(reportedScale(DataType::decimal(12, 3)), 3);
    EXPECT_EQ(reportedScale(DataType::of(TypeId::Money)), 4);
}

}  // namespace
}  // namespace engine
