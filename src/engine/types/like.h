// LIKE pattern matching under the collation: '%', '_', '[abc]', '[a-f]', '[^a]', ESCAPE.
//
// Every character of the pattern is significant, trailing blanks included; trailing
// blanks of the matched value are ignored ('abc  ' LIKE 'abc' is true, 'abc' LIKE
// 'abc ' is false). Letters match case-insensitively and accent-sensitively. A pattern is
// compiled once (LikePattern) and matched many times. A compiled pattern is immutable
// and thread-safe to share.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace engine {

class LikePattern {
  public:
    // Compiles a pattern. escape is the ESCAPE argument as written (UTF-8); anything but
    // one character raises 506 "The invalid escape character ... was specified in a
    // LIKE predicate.".
    static LikePattern compile(std::string_view pattern,
                               std::optional<std::string_view> escape = std::nullopt);

    bool matches(std::string_view value) const;

    // The pattern is a plain prefix followed by '%' ("cli%"): the prefix, so that the
    // executor can use an index range. nullopt otherwise.
    std::optional<std::string> literalPrefix() const;

    // One compiled pattern element.
    struct Element {
        enum class Kind : uint8_t { Literal, AnyOne, AnySequence, Set };
        Kind kind = Kind::Literal;
        char32_t literal = 0;                               // Literal
        bool negated = false;                               // Set: [^...]
        std::vector<std::pair<char32_t, char32_t>> ranges;  // Set: single chars are [c, c]
    };

  private:
    std::vector<Element> elements_;
};

// One-shot convenience: compile and match.
bool likeMatches(std::string_view value, std::string_view pattern,
                 std::optional<std::string_view> escape = std::nullopt);

}  // namespace engine
