#include "engine/types/compare.h"

#include <gtest/gtest.h>

#include <random>

#include "test_support.h"

namespace engine {
namespace {

using namespace testing;

TEST(CompareValues, NullIsUnknown) {
    EXPECT_EQ(compareValues(Value(), i32(1)), Comparison::Unknown);
    EXPECT_EQ(compareValues(Value::null(DataType::varchar(3)), vc("a")), Comparison::Unknown);
    EXPECT_EQ(compareValues(Value(), Value()), Comparison::Unknown);
}

TEST(CompareValues, ConvertsByPrecedence) {
    EXPECT_EQ(compareValues(vc("05"), i32(5)), Comparison::Equal);      // int_col = '05'
    EXPECT_EQ(compareValues(i32(10), vc("9")), Comparison::Greater);    // numeric, not text order
    EXPECT_EQ(errorOf([] { compareValues(vc("abc"), i32(5)); }), 245);  // varchar_col = 5
    EXPECT_EQ(compareValues(num("1.00"), i32(1)), Comparison::Equal);
    EXPECT_EQ(compareValues(Value::money(10000), num("1")), Comparison::Equal);
    EXPECT_EQ(compareValues(Value::floating(0.5), num("0.5")), Comparison::Equal);
    EXPECT_EQ(compareValues(num("0.1"), num("0.10000000000000000000000000000000000001")),
              Comparison::Less);
    EXPECT_EQ(compareValues(dt("2013-01-02"), vc("20130102")), Comparison::Equal);
    EXPECT_EQ(compareValues(dt("2013-01-02"), vc("01/02/2013")), Comparison::Equal);
    EXPECT_EQ(compareValues(dt("2013-01-02"), vc("01/02/2013"), DateFormat::Dmy), Comparison::Less);
    EXPECT_EQ(compareValues(Value::bit(true), i32(1)), Comparison::Equal);
    EXPECT_EQ(errorOf([] {
                  compareValues(convert(vc("2013-01-01"), DataType::of(TypeId::Date)), i32(1));
              }),
              206);
}

TEST(CompareValues, StringsUnderTheCollation) {
    EXPECT_EQ(compareValues(vc("abc"), vc("ABC ")), Comparison::Equal);
    EXPECT_EQ(compareValues(vc("abc"), nvc("ABC")), Comparison::Equal);
    EXPECT_EQ(compareValues(vc("a"), vc("á")), Comparison::Less);
    EXPECT_EQ(compareValues(Value::string("U ", DataType::character(TypeId::Char, 2)), vc("U")),
              Comparison::Equal);
    EXPECT_EQ(compareValues(vc("BASE TABLE "), vc("BASE TABLE")), Comparison::Equal);
}

TEST(CompareValues, LargeObjectsCannotBeCompared) {
    const Value text = Value::string("x", DataType::of(TypeId::Text));
    EXPECT_EQ(errorOf([&] { compareValues(text, vc("x")); }), 306);
    EXPECT_EQ(errorOf([&] { compareForSort(text, text); }), 306);
}

TEST(CompareValues, GuidsOrderAsSqlServerOrdersThem) {
    const DataType g = DataType::of(TypeId::UniqueIdentifier);
    const Value a = convert(vc("00000000-0000-0000-0000-000000000001"), g);
    const Value b = convert(vc("01000000-0000-0000-0000-000000000000"), g);
    // The last group is the most significant.
    EXPECT_EQ(compareValues(b, a), Comparison::Less);
    EXPECT_EQ(compareValues(a, convert(vc("00000000-0000-0000-0000-000000000001"), g)),
              Comparison::Equal);
}

TEST(CompareForSort, NullsFirstAndEqualToEachOther) {
    EXPECT_EQ(compareForSort(Value(), Value::null(DataType::varchar(2))), 0);
    EXPECT_EQ(compareForSort(Value(), i32(-5)), -1);
    EXPECT_EQ(compareForSort(i32(-5), Value()), 1);
    EXPECT_EQ(compareForSort(vc("b"), vc("A")), 1);
}

// Values of one family with many equal pairs of different types and representations.
Value randomNumber(std::mt19937& rng) {
    std::uniform_int_distribution<int> kind(0, 4), small(-20, 20);
    const int n = small(rng);
    switch (kind(rng)) {
        case 0:
            return i32(n);
        case 1:
            return Value::integer(n, TypeId::BigInt);
        case 2:
            return Value::decimal(static_cast<Int128>(n) * 100 + (small(rng) % 2) * 50,
                                  DataType::decimal(10, 2));
        case 3:
            return Value::money(static_cast<int64_t>(n) * 10000);
        default:
            return num(std::to_string(n).c_str());
    }
}

// Checks that sort keys order a and b as compareForSort does and that equal values
// hash equal; returns false (with a failure recorded) when they do not.
bool keysAndHashAgree(const Value& a, const Value& b) {
    const int c = compareForSort(a, b);
    std::string ka, kb;
    appendSortKey(a, ka);
    appendSortKey(b, kb);
    const int k = ka.compare(kb);
    const bool ok = c == (k < 0 ? -1 : (k > 0 ? 1 : 0)) && (c != 0 || hashValue(a) == hashValue(b));
    EXPECT_TRUE(ok) << renderForShell(a) << " vs " << renderForShell(b);
    return ok;
}

TEST(HashAndSortKeys, AgreeWithComparisonForNumbers) {
    std::mt19937 rng(99);
    for (int i = 0; i < 20000; ++i) {
        const Value a = randomNumber(rng), b = randomNumber(rng);
        ASSERT_TRUE(keysAndHashAgree(a, b));
    }
}

TEST(HashAndSortKeys, AgreeWithComparisonForStringsDatesAndNulls) {
    const Value values[] = {vc("abc"), vc("ABC  "), nvc("abc"),
                            vc("ábc"), vc("abd"),   vc(""),
                            vc(" "),   Value(),     Value::null(DataType::varchar(1))};
    for (const Value& a : values) {
        for (const Value& b : values) {
            keysAndHashAgree(a, b);
        }
    }
    const Value d1 = dt("2013-01-01 10:00"), d2 = dt("2013-01-01 10:00:00.003"),
                d3 = dt("1800-01-01");
    std::string k1, k2, k3;
    appendSortKey(d1, k1);
    appendSortKey(d2, k2);
    appendSortKey(d3, k3);
    EXPECT_LT(k1, k2);
    EXPECT_LT(k3, k1);
    EXPECT_NE(hashValue(d1), hashValue(d2));
    EXPECT_EQ(hashValue(Value::floating(3.0)), hashValue(i32(3)));
}

TEST(HashAndSortKeys, FloatsOrderIncludingNegatives) {
    const double values[] = {-1e300, -2.5, -0.0, 0.0, 1e-300, 2.5, 1e300};
    std::string previous;
    for (double d : values) {
        std::string key;
        appendSortKey(Value::floating(d), key);
        if (!previous.empty()) {
            EXPECT_LE(previous, key) << d;
        }
        previous = key;
    }
}

TEST(CompareSameFamily, FastPathMatchesGeneralComparison) {
    EXPECT_EQ(compareSameFamily(vc("a"), vc("B")), -1);
    EXPECT_EQ(compareSameFamily(i32(3), num("3.0")), 0);
    EXPECT_EQ(compareSameFamily(num("-1.5"), Value::money(-15000)), 0);
    EXPECT_EQ(compareSameFamily(Value::floating(2), i32(3)), -1);
    EXPECT_EQ(compareSameFamily(binaryLiteral("0x01"), binaryLiteral("0x0100")), -1);
}

}  // namespace
}  // namespace engine
