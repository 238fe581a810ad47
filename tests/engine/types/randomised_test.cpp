// Randomised checks: decimal arithmetic against a plain integer reference, and
// conversions of arbitrary text to every type raising only SQL errors.
#include <gtest/gtest.h>

#include <random>

#include "engine/types/arithmetic.h"
#include "engine/types/compare.h"
#include "engine/types/decimal_math.h"
#include "engine/types/functions.h"
#include "engine/types/like.h"
#include "test_support.h"

namespace engine {
namespace {

using namespace testing;

Int128 pow10i(int n) {
    return static_cast<Int128>(decimal::pow10(n));
}

TEST(RandomisedDecimalArithmetic, MatchesAnIntegerReference) {
    std::mt19937_64 rng(4242);
    std::uniform_int_distribution<int> precision(1, 12), op(0, 3);
    for (int i = 0; i < 20000; ++i) {
        const int pa = precision(rng), pb = precision(rng);
        const int sa = static_cast<int>(rng() % static_cast<uint64_t>(pa + 1));
        const int sb = static_cast<int>(rng() % static_cast<uint64_t>(pb + 1));
        const Int128 a =
            static_cast<Int128>(static_cast<int64_t>(rng() % static_cast<uint64_t>(pow10i(pa)))) *
            (rng() % 2 ? 1 : -1);
        Int128 b =
            static_cast<Int128>(static_cast<int64_t>(rng() % static_cast<uint64_t>(pow10i(pb)))) *
            (rng() % 2 ? 1 : -1);
        const ArithmeticOp o = static_cast<ArithmeticOp>(op(rng));
        if (o == ArithmeticOp::Divide && b == 0) b = 1;
        const DataType ta = DataType::decimal(static_cast<uint8_t>(pa), static_cast<uint8_t>(sa));
        const DataType tb = DataType::decimal(static_cast<uint8_t>(pb), static_cast<uint8_t>(sb));
        const Value r = arithmetic(o, Value::decimal(a, ta), Value::decimal(b, tb));
        const int s = r.type().scale;
        ASSERT_LE(r.type().precision, 38);
        Int128 expected;
        switch (o) {
            case ArithmeticOp::Add:
                expected = a * pow10i(s - sa) + b * pow10i(s - sb);
                break;
            case ArithmeticOp::Subtract:
                expected = a * pow10i(s - sa) - b * pow10i(s - sb);
                break;
            case ArithmeticOp::Multiply:
                // Twelve-digit operands never reach 38 digits: the exact product keeps its scale.
                ASSERT_EQ(s, sa + sb);
                expected = a * b;
                break;
            default: {
                // Truncated quotient at the result scale.
                const Int128 n = a * pow10i(s - sa + sb);
                expected = n / b;
                break;
            }
        }
        ASSERT_EQ(decimal::toString(r.decimalUnscaled(), s), decimal::toString(expected, s))
            << decimal::toString(a, sa) << " " << operatorName(o) << " "
            << decimal::toString(b, sb);
        ASSERT_TRUE(decimal::fitsPrecision(r.decimalUnscaled(), r.type().precision));
    }
}

TEST(RandomisedDecimalArithmetic, RescaleAndTextRoundTrip) {
    std::mt19937_64 rng(77);
    for (int i = 0; i < 20000; ++i) {
        const int scale = static_cast<int>(rng() % 20);
        const Int128 v = (static_cast<Int128>(static_cast<int64_t>(rng())) *
                          static_cast<int64_t>(rng() % 1000000000)) %
                         pow10i(38);
        Int128 parsed;
        int p, s;
        ASSERT_TRUE(decimal::parse(decimal::toString(v, scale), parsed, p, s));
        ASSERT_EQ(parsed, v);
        ASSERT_EQ(s, scale);
        const auto up = decimal::rescale(v, scale, scale + 3);
        if (up) {
            ASSERT_EQ(*decimal::rescale(*up, scale + 3, scale), v);
        }
    }
}

std::string randomText(std::mt19937& rng) {
    static const char* pieces[] = {"0",    "1",  "9",  "-", "+", ".", ",",        "$",
                                   "e",    "E",  " ",  ":", "/", "T", "AM",       "Jan",
                                   "2013", "12", "31", "x", "{", "}", "\xC3\xB1", "\xFF",
                                   "0x",   "%",  "[",  "]", "_"};
    std::uniform_int_distribution<size_t> len(0, 8), pick(0, std::size(pieces) - 1);
    std::string s;
    for (size_t n = len(rng); n > 0; --n)
        s += pieces[pick(rng)];
    return s;
}

TEST(RandomisedConversions, ArbitraryTextRaisesOnlySqlErrors) {
    const DataType targets[] = {kInt,
                                kBigInt,
                                kSmallInt,
                                kTinyInt,
                                kBit,
                                kMoney,
                                DataType::of(TypeId::SmallMoney),
                                kFloat,
                                kReal,
                                DataType::decimal(10, 3),
                                DataType::decimal(38, 0),
                                kDateTime,
                                DataType::of(TypeId::SmallDateTime),
                                kDate,
                                kGuid,
                                DataType::varchar(5),
                                DataType::character(TypeId::NChar, 3),
                                DataType{TypeId::VarBinary, 4, 0, 0}};
    std::mt19937 rng(31337);
    for (int i = 0; i < 5000; ++i) {
        const Value text = vc(randomText(rng));
        for (const DataType& t : targets) {
            for (int style : {0, 1, 103}) {
                try {
                    const Value v = convert(text, t, ConversionKind::Explicit, style);
                    EXPECT_EQ(v.typeId(), t.id);
                    renderForShell(v);
                    // What converted once converts back to text and compares with itself.
                    EXPECT_EQ(compareForSort(v, v), 0);
                } catch (const SqlException& e) {
                    EXPECT_TRUE(hasMessage(e.primary().number)) << e.primary().number;
                }
            }
        }
        try {
            likeMatches(randomText(rng), text.bytes());
        } catch (const SqlException&) {
            ADD_FAILURE() << "LIKE raised for pattern " << text.bytes();
        }
    }
}

TEST(RandomisedConversions, ValuesSurviveTheTextRoundTripOfTheirType) {
    std::mt19937_64 rng(5);
    for (int i = 0; i < 5000; ++i) {
        const Value n = Value::decimal(
            static_cast<Int128>(static_cast<int64_t>(rng() % 100000000000ULL)) - 50000000000LL,
            DataType::decimal(12, static_cast<uint8_t>(rng() % 6)));
        EXPECT_EQ(compareValues(convert(convert(n, DataType::varchar(40)), n.type()), n),
                  Comparison::Equal);
        const Value d = Value::datetime(static_cast<int32_t>(rng() % 2958463) - 53690,
                                        static_cast<int32_t>(rng() % 25920000));
        EXPECT_EQ(
            compareValues(convert(convert(d, DataType::varchar(40), ConversionKind::Explicit, 121),
                                  kDateTime),
                          d),
            Comparison::Equal);
        const Value f = Value::floating(std::bit_cast<double>(rng() & 0x7FEFFFFFFFFFFFFFULL));
        EXPECT_EQ(convert(convert(f, DataType::varchar(40), ConversionKind::Explicit, 2), kFloat)
                      .asDouble(),
                  std::strtod(renderWithStyle(f, 2).value().c_str(), nullptr));
    }
}

}  // namespace
}  // namespace engine
