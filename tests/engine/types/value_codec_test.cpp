#include "engine/types/value_codec.h"

#include <gtest/gtest.h>

#include <bit>
#include <random>

#include "engine/types/decimal_math.h"
#include "test_support.h"

namespace engine {
namespace {

using namespace testing;

bool identical(const Value& a, const Value& b) {
    if (a.type() != b.type() || a.isNull() != b.isNull()) return false;
    if (a.isNull()) return true;
    switch (a.typeId()) {
        case TypeId::Bit:
        case TypeId::TinyInt:
        case TypeId::SmallInt:
        case TypeId::Int:
        case TypeId::BigInt:
            return a.asInt64() == b.asInt64();
        case TypeId::Money:
        case TypeId::SmallMoney:
            return a.moneyScaled() == b.moneyScaled();
        case TypeId::Decimal:
        case TypeId::Numeric:
            return a.decimalUnscaled() == b.decimalUnscaled();
        case TypeId::Float:
        case TypeId::Real:
            return std::bit_cast<uint64_t>(a.asDouble()) == std::bit_cast<uint64_t>(b.asDouble());
        case TypeId::DateTime:
        case TypeId::SmallDateTime:
        case TypeId::Date:
            return a.days() == b.days() && a.ticks() == b.ticks();
        default:
            return a.bytes() == b.bytes();
    }
}

Value roundTrip(const Value& v) {
    std::string buf;
    encodeValue(v, buf);
    std::string_view in = buf;
    Value back = decodeValue(in);
    EXPECT_TRUE(in.empty());
    return back;
}

TEST(ValueCodec, RoundTripsEveryType) {
    const Value values[] = {
        Value(),
        Value::null(DataType::varchar(20)),
        Value::null(DataType::decimal(10, 2)),
        Value::bit(true),
        Value::integer(-1, TypeId::TinyInt),
        Value::integer(INT64_MIN, TypeId::BigInt),
        Value::integer(INT64_MAX, TypeId::BigInt),
        Value::integer(-123456),
        num("-99999999999999999999999999999999999999"),
        num("12.345"),
        Value::money(INT64_MIN),
        Value::money(-15000, TypeId::SmallMoney),
        Value::floating(-0.0),
        Value::floating(1e-310),
        Value::floating(0.1f, TypeId::Real),
        dt("1753-01-01"),
        dt("9999-12-31 23:59:59.997"),
        convert(vc("2079-06-06 23:59"), DataType::of(TypeId::SmallDateTime)),
        convert(vc("0001-01-01"), DataType::of(TypeId::Date)),
        Value::varchar(""),
        Value::string("año €", DataType::varchar(DataType::kMax)),
        Value::string("ab   ", DataType::character(TypeId::Char, 5)),
        Value::nvarchar("ñandú \xF0\x9F\x98\x80"),
        Value::string(std::string(100000, 'x'), DataType::of(TypeId::Text)),
        Value::string("n", DataType::of(TypeId::NText)),
        binaryLiteral("0x00FF00"),
        Value::binary(std::string("\0\1", 2), DataType{TypeId::Binary, 2, 0, 0}),
        Value::binary("img", DataType::of(TypeId::Image)),
        Value::guid(std::string("0123456789abcdef")),
    };
    for (const Value& v : values) {
        EXPECT_TRUE(identical(v, roundTrip(v)))
            << typeDisplayName(v.type()) << " " << renderForShell(v);
    }
}

TEST(ValueCodec, RandomisedRoundTrips) {
    std::mt19937_64 rng(12345);
    std::uniform_int_distribution<int> kind(0, 7);
    std::string buf;
    std::vector<Value> encoded;
    for (int i = 0; i < 5000; ++i) {
        const uint64_t r = rng();
        Value v;
        switch (kind(rng)) {
            case 0:
                v = Value::integer(static_cast<int64_t>(r), TypeId::BigInt);
                break;
            case 1:
                v = Value::integer(static_cast<int32_t>(r));
                break;
            case 2: {
                const Int128 u = (static_cast<Int128>(static_cast<int64_t>(r)) *
                                  static_cast<Int128>(rng() % 1000000000000ULL)) %
                                 static_cast<Int128>(decimal::pow10(38));
                v = Value::decimal(u, DataType::decimal(38, static_cast<uint8_t>(r % 39)));
                break;
            }
            case 3:
                v = Value::floating(std::bit_cast<double>(r & 0x7FEFFFFFFFFFFFFFULL));
                break;
            case 4:
                v = Value::datetime(static_cast<int32_t>(r % 3000000) - 700000,
                                    static_cast<int32_t>(r % 25920000));
                break;
            case 5: {
                std::string s;
                for (uint64_t n = r % 40; n > 0; --n)
                    s.push_back(static_cast<char>(rng() & 0xFF));
                v = Value::binary(s, DataType{TypeId::VarBinary, 8000, 0, 0});
                break;
            }
            case 6:
                v = Value::money(static_cast<int64_t>(r));
                break;
            default:
                v = Value::null(DataType::nvarchar(static_cast<int32_t>(r % 4000) + 1));
                break;
        }
        encodeValue(v, buf);
        encoded.push_back(v);
    }
    // One buffer holding them all decodes back in order.
    std::string_view in = buf;
    for (const Value& v : encoded) {
        const auto back = tryDecodeValue(in);
        ASSERT_TRUE(back.has_value());
        ASSERT_TRUE(identical(v, *back)) << renderForShell(v);
    }
    EXPECT_TRUE(in.empty());
}

TEST(ValueCodec, SmallValuesAreCompact) {
    std::string buf;
    encodeValue(Value::integer(5), buf);
    EXPECT_EQ(buf.size(), 2u);
    buf.clear();
    encodeValue(Value(), buf);
    EXPECT_EQ(buf.size(), 1u);
    buf.clear();
    encodeValue(Value::varchar("abc"), buf);
    EXPECT_EQ(buf.size(), 6u);
}

TEST(ValueCodec, TruncatedOrCorruptInputIsRejectedWithoutConsumingIt) {
    std::string buf;
    encodeValue(Value::string("hello", DataType::varchar(10)), buf);
    for (size_t cut = 0; cut < buf.size(); ++cut) {
        std::string_view in(buf.data(), cut);
        EXPECT_FALSE(tryDecodeValue(in).has_value()) << cut;
        EXPECT_EQ(in.size(), cut);
    }
    std::string_view bad("\x3F", 1);  // no such type
    EXPECT_FALSE(tryDecodeValue(bad).has_value());
    std::string_view badDecimal("\x05\x30\x02\x00", 4);  // precision 48
    EXPECT_FALSE(tryDecodeValue(badDecimal).has_value());
    std::string_view empty;
    EXPECT_THROW(decodeValue(empty), std::runtime_error);
    // Bytes of a newer format than this build knows are refused, not misread.
    std::string_view fine = buf;
    EXPECT_FALSE(tryDecodeValue(fine, kValueCodecVersion + 1).has_value());
    EXPECT_TRUE(tryDecodeValue(fine, kValueCodecVersion).has_value());
}

TEST(ValueCodec, DataTypesRoundTrip) {
    for (const DataType& t :
         {DataType::varchar(DataType::kMax), DataType::nvarchar(4000), DataType::decimal(38, 38),
          DataType::numeric(1, 0), DataType::floating(TypeId::Real), DataType::nullLiteral(),
          DataType::of(TypeId::UniqueIdentifier), DataType{TypeId::Binary, 16, 0, 0}}) {
        std::string buf;
        encodeDataType(t, buf);
        std::string_view in = buf;
        EXPECT_EQ(decodeDataType(in), t) << typeDisplayName(t);
        EXPECT_TRUE(in.empty());
    }
}

}  // namespace
}  // namespace engine
