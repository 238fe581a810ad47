#include "engine/types/decimal_math.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace engine::decimal {

namespace {

// Unsigned 512-bit integer, little-endian 64-bit limbs.
struct Wide {
    std::array<uint64_t, 8> limb{};

    static Wide from(UInt128 v) {
        Wide w;
        w.limb[0] = static_cast<uint64_t>(v);
        w.limb[1] = static_cast<uint64_t>(v >> 64);
        return w;
    }
    bool fitsU128() const {
        for (size_t i = 2; i < limb.size(); ++i) {
            if (limb[i] != 0) return false;
        }
        return true;
    }
    UInt128 toU128() const { return (static_cast<UInt128>(limb[1]) << 64) | limb[0]; }
    bool isZero() const {
        for (uint64_t l : limb) {
            if (l != 0) return false;
        }
        return true;
    }
    // this *= m; false on overflow of 512 bits.
    bool mulSmall(uint64_t m) {
        UInt128 carry = 0;
        for (uint64_t& l : limb) {
            const UInt128 p = static_cast<UInt128>(l) * m + carry;
            l = static_cast<uint64_t>(p);
            carry = p >> 64;
        }
        return carry == 0;
    }
    // this /= d; returns the remainder.
    uint64_t divSmall(uint64_t d) {
        UInt128 rem = 0;
        for (size_t i = limb.size(); i-- > 0;) {
            const UInt128 cur = (rem << 64) | limb[i];
            limb[i] = static_cast<uint64_t>(cur / d);
            rem = cur % d;
        }
        return static_cast<uint64_t>(rem);
    }
    int bitLength() const {
        for (size_t i = limb.size(); i-- > 0;) {
            if (limb[i] != 0) return static_cast<int>(i * 64 + 64 - __builtin_clzll(limb[i]));
        }
        return 0;
    }
    bool bit(int i) const { return (limb[static_cast<size_t>(i / 64)] >> (i % 64)) & 1; }
};

Wide mulWide(UInt128 a, UInt128 b) {
    const uint64_t a0 = static_cast<uint64_t>(a), a1 = static_cast<uint64_t>(a >> 64);
    const uint64_t b0 = static_cast<uint64_t>(b), b1 = static_cast<uint64_t>(b >> 64);
    Wide w;
    const UInt128 p00 = static_cast<UInt128>(a0) * b0;
    const UInt128 p01 = static_cast<UInt128>(a0) * b1;
    const UInt128 p10 = static_cast<UInt128>(a1) * b0;
    const UInt128 p11 = static_cast<UInt128>(a1) * b1;
    w.limb[0] = static_cast<uint64_t>(p00);
    UInt128 mid = (p00 >> 64) + static_cast<uint64_t>(p01) + static_cast<uint64_t>(p10);
    w.limb[1] = static_cast<uint64_t>(mid);
    UInt128 high = (mid >> 64) + (p01 >> 64) + (p10 >> 64) + static_cast<uint64_t>(p11);
    w.limb[2] = static_cast<uint64_t>(high);
    w.limb[3] = static_cast<uint64_t>((high >> 64) + (p11 >> 64));
    return w;
}

// n / d by binary long division; d != 0. Remainder in rem.
Wide divWide(const Wide& n, UInt128 d, UInt128& rem) {
    Wide q;
    UInt128 r = 0;
    for (int i = n.bitLength() - 1; i >= 0; --i) {
        const bool top = (r >> 127) != 0;
        r = (r << 1) | (n.bit(i) ? 1 : 0);
        if (top || r >= d) {
            r -= d;
            q.limb[static_cast<size_t>(i / 64)] |= uint64_t{1} << (i % 64);
        }
    }
    rem = r;
    return q;
}

// Divides by 10^k rounding half away from zero (or truncating) in chunks of 19 digits.
Wide divPow10(Wide w, int k, bool round) {
    uint64_t lastRem = 0;
    int lastDigits = 0;
    while (k > 0) {
        const int chunk = k > 19 ? 19 : k;
        lastRem = w.divSmall(static_cast<uint64_t>(pow10(chunk)));
        lastDigits = chunk;
        k -= chunk;
    }
    if (round && lastDigits > 0 && lastRem >= 5 * static_cast<uint64_t>(pow10(lastDigits - 1))) {
        // Add one (cannot overflow: the value was just divided).
        for (uint64_t& l : w.limb) {
            if (++l != 0) break;
        }
    }
    return w;
}

bool mulPow10(Wide& w, int k) {
    while (k > 0) {
        const int chunk = k > 19 ? 19 : k;
        if (!w.mulSmall(static_cast<uint64_t>(pow10(chunk)))) return false;
        k -= chunk;
    }
    return true;
}

UInt128 magnitude(Int128 v) {
    return v < 0 ? -static_cast<UInt128>(v) : static_cast<UInt128>(v);
}

std::optional<Int128> signedResult(const Wide& w, bool negative) {
    if (!w.fitsU128()) return std::nullopt;
    const UInt128 m = w.toU128();
    if (m >= pow10(kMaxPrecision)) return std::nullopt;
    const Int128 v = static_cast<Int128>(m);
    return negative ? -v : v;
}

}  // namespace

void exactParts(const Value& v, Int128& unscaled, int& scale) {
    if (isDecimal(v.typeId())) {
        unscaled = v.decimalUnscaled();
        scale = v.type().scale;
    } else if (isMoney(v.typeId())) {
        unscaled = v.moneyScaled();
        scale = 4;
    } else {
        unscaled = v.asInt64();
        scale = 0;
    }
}

UInt128 pow10(int n) {
    static const auto table = [] {
        std::array<UInt128, 39> t{};
        t[0] = 1;
        for (size_t i = 1; i < t.size(); ++i)
            t[i] = t[i - 1] * 10;
        return t;
    }();
    return table[static_cast<size_t>(n)];
}

int digitCount(Int128 v) {
    const UInt128 m = magnitude(v);
    int n = 1;
    while (n < 39 && m >= pow10(n))
        ++n;
    return n;
}

bool fitsPrecision(Int128 v, int precision) {
    return magnitude(v) < pow10(precision);
}

std::optional<Int128> rescale(Int128 v, int fromScale, int toScale, bool round) {
    if (toScale == fromScale) return v;
    const bool negative = v < 0;
    Wide w = Wide::from(magnitude(v));
    if (toScale > fromScale) {
        if (!mulPow10(w, toScale - fromScale) || !w.fitsU128()) return std::nullopt;
        const UInt128 m = w.toU128();
        if (m > static_cast<UInt128>(~(UInt128{1} << 127))) return std::nullopt;
        return negative ? -static_cast<Int128>(m) : static_cast<Int128>(m);
    }
    w = divPow10(w, fromScale - toScale, round);
    const Int128 m = static_cast<Int128>(w.toU128());
    return negative ? -m : m;
}

std::optional<Int128> multiply(Int128 a, int sa, Int128 b, int sb, int resultScale) {
    const bool negative = (a < 0) != (b < 0);
    Wide w = mulWide(magnitude(a), magnitude(b));
    const int scale = sa + sb;
    if (resultScale < scale) {
        w = divPow10(w, scale - resultScale, true);
    } else if (resultScale > scale && !mulPow10(w, resultScale - scale)) {
        return std::nullopt;
    }
    return signedResult(w, negative);
}

std::optional<Int128> divide(Int128 a, int sa, Int128 b, int sb, int resultScale) {
    const bool negative = (a < 0) != (b < 0);
    // a/b at resultScale = a * 10^(resultScale - sa + sb) / b.
    int shift = resultScale - sa + sb;
    Wide n = Wide::from(magnitude(a));
    UInt128 d = magnitude(b);
    if (shift >= 0) {
        if (!mulPow10(n, shift)) return std::nullopt;
    } else {
        Wide dw = Wide::from(d);
        if (!mulPow10(dw, -shift) || !dw.fitsU128()) return Int128{0};
        d = dw.toU128();
    }
    UInt128 rem;
    Wide q;
    if (n.fitsU128()) {
        q = Wide::from(n.toU128() / d);
    } else {
        q = divWide(n, d, rem);
    }
    return signedResult(q, negative);
}

std::optional<Int128> modulo(Int128 a, int sa, Int128 b, int sb, int resultScale) {
    const int scale = sa > sb ? sa : sb;
    const auto ra = rescale(a, sa, scale);
    const auto rb = rescale(b, sb, scale);
    if (!ra || !rb) return std::nullopt;
    const Int128 r = *ra % *rb;
    return rescale(r, scale, resultScale);
}

std::string toString(Int128 v, int scale) {
    UInt128 m = magnitude(v);
    std::string digits;
    do {
        digits.push_back(static_cast<char>('0' + static_cast<int>(m % 10)));
        m /= 10;
    } while (m != 0);
    while (static_cast<int>(digits.size()) <= scale)
        digits.push_back('0');
    std::string out;
    if (v < 0) out.push_back('-');
    for (size_t i = digits.size(); i-- > 0;) {
        out.push_back(digits[i]);
        if (scale > 0 && i == static_cast<size_t>(scale)) out.push_back('.');
    }
    return out;
}

bool parse(std::string_view text, Int128& unscaled, int& precision, int& scale) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    UInt128 m = 0;
    int significant = 0;
    int digits = 0;
    scale = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.') {
            if (point) return false;
            point = true;
            continue;
        }
        if (c < '0' || c > '9') return false;
        ++digits;
        if (point) ++scale;
        if (m == 0 && c == '0' && !point) continue;  // leading zeros
        if (significant >= kMaxPrecision) return false;
        m = m * 10 + static_cast<unsigned>(c - '0');
        ++significant;
    }
    if (digits == 0) return false;
    // Digits after the point count even when they are leading zeros (0.05 is (2,2)).
    int integral = 0;
    {
        UInt128 t = m;
        int total = 0;
        while (t != 0) {
            ++total;
            t /= 10;
        }
        integral = total > scale ? total - scale : 0;
    }
    precision = integral + scale;
    if (precision == 0) precision = 1;
    if (precision > kMaxPrecision) return false;
    unscaled = negative ? -static_cast<Int128>(m) : static_cast<Int128>(m);
    return true;
}

double toDouble(Int128 v, int scale) {
    // Through the decimal text so that the double is the correctly rounded one.
    return std::strtod(toString(v, scale).c_str(), nullptr);
}

bool fromDoubleShortest(double d, Int128& unscaled, int& scale) {
    if (!std::isfinite(d)) return false;
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::fixed);
    if (r.ec != std::errc()) return false;
    int precision;
    return parse(std::string_view(buf, static_cast<size_t>(r.ptr - buf)), unscaled, precision,
                 scale);
}

std::optional<Int128> fromDouble(double d, int scale) {
    if (!std::isfinite(d)) return std::nullopt;
    char buf[512];
    std::snprintf(buf, sizeof buf, "%.*f", scale, d);
    Int128 v;
    int p, s;
    if (!parse(buf, v, p, s)) return std::nullopt;
    return v;
}

}  // namespace engine::decimal
