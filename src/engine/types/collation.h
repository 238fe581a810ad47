// The Modern_Spanish_CI_AS collation: case-insensitive, accent-sensitive comparison of
// UTF-8 strings and identifiers.
//
// Letters compare by their base letter first and by accent second (so 'ab' < 'áb' <
// 'ac'); case is ignored; 'ñ' is a letter of its own after 'n'; trailing blanks are
// ignored. Blanks and punctuation sort before digits, digits before letters. Hyphens
// and apostrophes are passed over when ordering words ("co-op" sorts next to "coop")
// but still make strings different. Strings
// that compare equal fold to the same case-folded text, hash equal and have equal sort
// keys. Comparison and hashing do not allocate. Thread-safe (immutable tables).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace engine {

// -1, 0, 1: a < b, a = b, a > b (trailing blanks ignored).
int collationCompare(std::string_view a, std::string_view b);
bool collationEqual(std::string_view a, std::string_view b);

// Hash of the string's collation identity (equal strings hash equal).
uint64_t collationHash(std::string_view s, uint64_t seed = 0);

// Appends a binary sort key: memcmp order of keys equals collationCompare order.
// Terminated so that a key is never a prefix of a greater one.
void appendCollationSortKey(std::string_view s, std::string& out);

// Identifiers (table, column, variable, constraint names) compare under the same
// collation, without trailing-blank special cases mattering (names have none).
inline bool identifierEqual(std::string_view a, std::string_view b) {
    return collationEqual(a, b);
}
inline uint64_t identifierHash(std::string_view s) {
    return collationHash(s);
}

// Compares one character with another (code points) under the collation: -1, 0, 1.
// Used by LIKE ranges.
int collationCompareChar(char32_t a, char32_t b);

// Case mapping used by UPPER/LOWER and by the collation's case folding.
char32_t toUpperChar(char32_t c);
char32_t toLowerChar(char32_t c);
std::string toUpperText(std::string_view utf8);
std::string toLowerText(std::string_view utf8);

// Hasher / equality functors for unordered containers keyed by names.
struct IdentifierHash {
    size_t operator()(std::string_view s) const { return static_cast<size_t>(identifierHash(s)); }
};
struct IdentifierEqual {
    bool operator()(std::string_view a, std::string_view b) const { return identifierEqual(a, b); }
};

}  // namespace engine
