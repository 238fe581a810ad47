// Exact decimal arithmetic on 128-bit unscaled integers with a 512-bit intermediate, for
// decimal/numeric values of up to 38 digits. Internal to the engine's type library.
// Thread-safe (pure functions).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/types/value.h"

namespace engine::decimal {

using UInt128 = unsigned __int128;

constexpr int kMaxPrecision = 38;

// The exact value of an integer, decimal or money value as unscaled + scale (money has
// scale 4, integers 0).
void exactParts(const Value& v, Int128& unscaled, int& scale);

// 10^n for n in 0..38.
UInt128 pow10(int n);

// Number of decimal digits of |v| (0 has 1 digit).
int digitCount(Int128 v);

// |v| < 10^precision.
bool fitsPrecision(Int128 v, int precision);

// v * 10^(to - from) when to >= from; otherwise divided, rounding half away from zero
// (truncating when round is false). nullopt when the result does not fit 128 bits.
std::optional<Int128> rescale(Int128 v, int fromScale, int toScale, bool round = true);

// a * b (scales sa + sb) brought to resultScale with rounding. nullopt on overflow of
// 38 digits.
std::optional<Int128> multiply(Int128 a, int sa, Int128 b, int sb, int resultScale);

// a / b with resultScale digits, truncated as SQL Server does. b must not be 0.
// nullopt on overflow of 38 digits.
std::optional<Int128> divide(Int128 a, int sa, Int128 b, int sb, int resultScale);

// a % b (result sign of a) at scale max(sa, sb); b must not be 0.
std::optional<Int128> modulo(Int128 a, int sa, Int128 b, int sb, int resultScale);

// Decimal text of an unscaled value with the given scale: "-12.50", "0.05".
std::string toString(Int128 v, int scale);

// Parses [+-]digits[.digits] (no exponent, no blanks). Sets unscaled value, precision
// and scale as written (leading zeros do not count toward precision); false when
// malformed or more than 38 significant digits.
bool parse(std::string_view text, Int128& unscaled, int& precision, int& scale);

// The nearest double.
double toDouble(Int128 v, int scale);

// The shortest decimal text that reads back as the double (1.005, not
// 1.00499999999999989), as unscaled + scale; false when it needs more than 38 digits.
bool fromDoubleShortest(double d, Int128& unscaled, int& scale);

// The double rounded to the scale; nullopt when it does not fit 38 digits.
std::optional<Int128> fromDouble(double d, int scale);

}  // namespace engine::decimal
