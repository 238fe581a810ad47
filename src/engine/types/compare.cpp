#include "engine/types/compare.h"

#include <cmath>
#include <cstring>

#include "engine/types/collation.h"
#include "engine/types/decimal_math.h"
#include "engine/types/hashing.h"
#include "engine/types/sql_message.h"
#include "engine/types/type_rules.h"

namespace engine {

namespace {

enum class Kind { String, Exact, Approximate, Date, Binary, Guid, Other };

Kind kindOf(TypeId id) {
    if (isCharacter(id)) return Kind::String;
    if (isExactNumeric(id)) return Kind::Exact;
    if (isApproximate(id)) return Kind::Approximate;
    if (isDateTime(id)) return Kind::Date;
    if (isBinary(id)) return Kind::Binary;
    if (id == TypeId::UniqueIdentifier) return Kind::Guid;
    return Kind::Other;
}

template <typename T>
int threeWay(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

int compareExact(const Value& a, const Value& b) {
    if (isInteger(a.typeId()) && isInteger(b.typeId())) return threeWay(a.asInt64(), b.asInt64());
    if (isMoney(a.typeId()) && isMoney(b.typeId()))
        return threeWay(a.moneyScaled(), b.moneyScaled());
    Int128 x, y;
    int sx, sy;
    decimal::exactParts(a, x, sx);
    decimal::exactParts(b, y, sy);
    if (sx == sy) return threeWay(x, y);
    if (sx < sy) {
        const auto up = decimal::rescale(x, sx, sy);
        // Too large to rescale: beyond every value of 38 digits, so its sign decides.
        if (!up) return x < 0 ? -1 : 1;
        return threeWay(*up, y);
    }
    const auto up = decimal::rescale(y, sy, sx);
    if (!up) return y < 0 ? 1 : -1;
    return threeWay(x, *up);
}

double asDouble(const Value& v) {
    if (isApproximate(v.typeId())) return v.asDouble();
    Int128 u;
    int s;
    decimal::exactParts(v, u, s);
    return s == 0 ? static_cast<double>(u) : decimal::toDouble(u, s);
}

// SQL Server orders uniqueidentifiers by bytes 10..15, then 8..9, 6..7, 4..5, 0..3.
constexpr int kGuidOrder[16] = {10, 11, 12, 13, 14, 15, 8, 9, 7, 6, 5, 4, 3, 2, 1, 0};

int compareGuid(const std::string& a, const std::string& b) {
    for (int i : kGuidOrder) {
        const auto x = static_cast<unsigned char>(
            static_cast<size_t>(i) < a.size() ? a[static_cast<size_t>(i)] : 0);
        const auto y = static_cast<unsigned char>(
            static_cast<size_t>(i) < b.size() ? b[static_cast<size_t>(i)] : 0);
        if (x != y) return x < y ? -1 : 1;
    }
    return 0;
}

int compareBytes(const std::string& a, const std::string& b) {
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

[[noreturn]] void notComparable() {
    throw SqlException(306);
}

// Order-preserving bytes of a signed 64-bit integer.
void appendOrdered64(uint64_t v, std::string& out) {
    for (int i = 7; i >= 0; --i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// Exact numbers as a sign byte, a decimal exponent and the significant digits, so that
// 1, 1.0 and $1 have the same key and keys order as the numbers do.
void appendExactKey(Int128 unscaled, int scale, std::string& out) {
    if (unscaled == 0) {
        out.push_back('\x80');
        return;
    }
    const bool negative = unscaled < 0;
    std::string digits = decimal::toString(negative ? -unscaled : unscaled, 0);
    // value = 0.d1d2...dn * 10^exponent
    const int exponent = static_cast<int>(digits.size()) - scale;
    while (!digits.empty() && digits.back() == '0')
        digits.pop_back();
    const auto e = static_cast<unsigned char>(exponent + 64);
    if (!negative) {
        out.push_back('\x81');
        out.push_back(static_cast<char>(e));
        out += digits;
        out.push_back('\0');
    } else {
        out.push_back('\x7F');
        out.push_back(static_cast<char>(255 - e));
        for (char d : digits)
            out.push_back(static_cast<char>(255 - static_cast<unsigned char>(d)));
        out.push_back('\xFF');
    }
}

}  // namespace

int compareSameFamily(const Value& a, const Value& b) {
    const Kind ka = kindOf(a.typeId()), kb = kindOf(b.typeId());
    if (ka == kb) {
        switch (ka) {
            case Kind::String:
                if (isLargeObject(a.typeId()) || isLargeObject(b.typeId())) notComparable();
                return collationCompare(a.bytes(), b.bytes());
            case Kind::Exact:
                return compareExact(a, b);
            case Kind::Approximate:
                return threeWay(a.asDouble(), b.asDouble());
            case Kind::Date: {
                const int c = threeWay(a.days(), b.days());
                return c != 0 ? c : threeWay(a.ticks(), b.ticks());
            }
            case Kind::Binary:
                if (a.typeId() == TypeId::Image || b.typeId() == TypeId::Image) notComparable();
                return compareBytes(a.bytes(), b.bytes());
            case Kind::Guid:
                return compareGuid(a.bytes(), b.bytes());
            case Kind::Other:
                return compareBytes(a.bytes(), b.bytes());
        }
    }
    if ((ka == Kind::Exact || ka == Kind::Approximate) &&
        (kb == Kind::Exact || kb == Kind::Approximate)) {
        return threeWay(asDouble(a), asDouble(b));
    }
    const int c = compareForSort(a, b);
    return c;
}

Comparison compareValues(const Value& a, const Value& b, DateFormat dateFormat) {
    // Fast paths of joins and filters: two integers, two strings of the same kind.
    if (a.typeId() == b.typeId()) {
        const TypeId id = a.typeId();
        if (id == TypeId::Int || id == TypeId::BigInt || id == TypeId::SmallInt) {
            if (a.isNull() || b.isNull()) return Comparison::Unknown;
            return static_cast<Comparison>(threeWay(a.asInt64(), b.asInt64()));
        }
        if (id == TypeId::VarChar || id == TypeId::NVarChar || id == TypeId::Char ||
            id == TypeId::NChar) {
            if (a.isNull() || b.isNull()) return Comparison::Unknown;
            return static_cast<Comparison>(collationCompare(a.bytes(), b.bytes()));
        }
    }
    if (isLargeObject(a.typeId()) || isLargeObject(b.typeId())) notComparable();
    if (a.isNull() || b.isNull()) return Comparison::Unknown;
    const Kind ka = kindOf(a.typeId()), kb = kindOf(b.typeId());
    int c;
    if (ka == kb && ka != Kind::Other) {
        c = compareSameFamily(a, b);
    } else if ((ka == Kind::Exact || ka == Kind::Approximate) &&
               (kb == Kind::Exact || kb == Kind::Approximate)) {
        c = threeWay(asDouble(a), asDouble(b));
    } else {
        const DataType t = comparisonType(a.type(), b.type());
        const Value x = a.type() == t ? a : convert(a, t, ConversionKind::Implicit, 0, dateFormat);
        const Value y = b.type() == t ? b : convert(b, t, ConversionKind::Implicit, 0, dateFormat);
        if (kindOf(x.typeId()) != kindOf(y.typeId()) || kindOf(x.typeId()) == Kind::Other) {
            c = compareBytes(x.bytes(), y.bytes());
        } else {
            c = compareSameFamily(x, y);
        }
    }
    return static_cast<Comparison>(c);
}

int compareForSort(const Value& a, const Value& b, DateFormat dateFormat) {
    if (isLargeObject(a.typeId()) || isLargeObject(b.typeId())) notComparable();
    if (a.isNull()) return b.isNull() ? 0 : -1;
    if (b.isNull()) return 1;
    return static_cast<int>(compareValues(a, b, dateFormat));
}

uint64_t hashValue(const Value& v, uint64_t seed) {
    if (v.isNull()) return hashing::mix64(0x9E3779B97F4A7C15ULL ^ seed);
    switch (kindOf(v.typeId())) {
        case Kind::String:
            return collationHash(v.bytes(), seed);
        case Kind::Exact: {
            if (isInteger(v.typeId()))
                return hashing::mix64(static_cast<uint64_t>(v.asInt64()) ^ seed);
            Int128 u;
            int s;
            decimal::exactParts(v, u, s);
            while (s > 0 && u % 10 == 0) {
                u /= 10;
                --s;
            }
            if (s == 0 && u >= INT64_MIN && u <= INT64_MAX)
                return hashing::mix64(static_cast<uint64_t>(static_cast<int64_t>(u)) ^ seed);
            const auto lo = static_cast<uint64_t>(u),
                       hi = static_cast<uint64_t>(static_cast<unsigned __int128>(u) >> 64);
            return hashing::mix64(hashing::mix64(lo ^ seed) ^ hi ^
                                  (static_cast<uint64_t>(s) << 56));
        }
        case Kind::Approximate: {
            const double d = v.asDouble();
            if (d == std::trunc(d) && std::fabs(d) < 9.2e18)
                return hashing::mix64(static_cast<uint64_t>(static_cast<int64_t>(d)) ^ seed);
            uint64_t bits;
            std::memcpy(&bits, &d, sizeof bits);
            return hashing::mix64(bits ^ seed);
        }
        case Kind::Date:
            return hashing::mix64((static_cast<uint64_t>(static_cast<uint32_t>(v.days())) << 32 |
                                   static_cast<uint32_t>(v.ticks())) ^
                                  seed);
        default:
            return hashing::hashBytes(v.bytes(), seed);
    }
}

bool hashesAlike(TypeId stored, TypeId probe) {
    const Kind kind = kindOf(stored);
    if (kind != kindOf(probe)) return false;
    switch (kind) {
        case Kind::String:
        case Kind::Exact:
        case Kind::Approximate:
            return true;
        case Kind::Date:
            return stored == probe;
        default:
            return false;
    }
}

void appendSortKey(const Value& v, std::string& out) {
    if (v.isNull()) {
        out.push_back('\0');
        return;
    }
    out.push_back('\x01');
    switch (kindOf(v.typeId())) {
        case Kind::String:
            appendCollationSortKey(v.bytes(), out);
            return;
        case Kind::Exact: {
            Int128 u;
            int s;
            decimal::exactParts(v, u, s);
            appendExactKey(u, s, out);
            return;
        }
        case Kind::Approximate: {
            const double d = v.asDouble() == 0 ? 0.0 : v.asDouble();  // -0 sorts as 0
            uint64_t bits;
            std::memcpy(&bits, &d, sizeof bits);
            bits = (bits & 0x8000000000000000ULL) ? ~bits : bits | 0x8000000000000000ULL;
            appendOrdered64(bits, out);
            return;
        }
        case Kind::Date:
            appendOrdered64(
                (static_cast<uint64_t>(static_cast<uint32_t>(v.days()) ^ 0x80000000u) << 32) |
                    static_cast<uint32_t>(v.ticks()),
                out);
            return;
        case Kind::Guid:
            for (int i : kGuidOrder)
                out.push_back(v.bytes().size() > static_cast<size_t>(i)
                                  ? v.bytes()[static_cast<size_t>(i)]
                                  : '\0');
            return;
        default:
            // Bytes with 0 escaped as 0 1, ended by 0 0, so that a prefix sorts first.
            for (char c : v.bytes()) {
                out.push_back(c);
                if (c == '\0') out.push_back('\x01');
            }
            out.push_back('\0');
            out.push_back('\0');
            return;
    }
}

}  // namespace engine
