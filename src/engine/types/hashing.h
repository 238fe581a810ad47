// Hash mixing shared by the collation and value hashes. Internal to the engine's type
// library. Thread-safe (pure functions).
#pragma once

#include <cstdint>
#include <string_view>

namespace engine::hashing {

constexpr uint64_t kOffsetBasis = 0xCBF29CE484222325ULL;

// One FNV-1a step over a 64-bit unit.
inline uint64_t combine(uint64_t h, uint64_t unit) {
    h ^= unit;
    h *= 0x100000001B3ULL;
    return h;
}

// Final avalanche (MurmurHash3's fmix64), so that nearby inputs spread over buckets.
inline uint64_t mix64(uint64_t h) {
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDULL;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ULL;
    h ^= h >> 33;
    return h;
}

inline uint64_t hashBytes(std::string_view s, uint64_t seed) {
    uint64_t h = kOffsetBasis ^ seed;
    for (char c : s)
        h = combine(h, static_cast<unsigned char>(c));
    return mix64(h);
}

}  // namespace engine::hashing
