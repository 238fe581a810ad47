#include "engine/types/like.h"

#include "engine/types/collation.h"
#include "engine/types/sql_message.h"
#include "engine/types/text.h"

namespace engine {

namespace {

using Element = LikePattern::Element;

bool sameChar(char32_t a, char32_t b) {
    if (a == b) return true;
    if (a < 0x80 && b < 0x80) return toLowerChar(a) == toLowerChar(b);
    return collationCompareChar(a, b) == 0;
}

bool matchesOne(const Element& e, char32_t c) {
    switch (e.kind) {
        case Element::Kind::Literal:
            return sameChar(e.literal, c);
        case Element::Kind::AnyOne:
            return true;
        case Element::Kind::Set: {
            bool in = false;
            for (const auto& [lo, hi] : e.ranges) {
                if (lo == hi
                        ? sameChar(lo, c)
                        : (collationCompareChar(lo, c) <= 0 && collationCompareChar(c, hi) <= 0)) {
                    in = true;
                    break;
                }
            }
            return in != e.negated;
        }
        case Element::Kind::AnySequence:
            return true;
    }
    return false;
}

bool onlyBlanks(std::string_view s, size_t from) {
    for (size_t i = from; i < s.size(); ++i) {
        if (s[i] != ' ') return false;
    }
    return true;
}

}  // namespace

LikePattern LikePattern::compile(std::string_view pattern, std::optional<std::string_view> escape) {
    std::optional<char32_t> escapeChar;
    if (escape) {
        if (utf8Length(*escape) != 1) throw SqlException(506, {std::string(*escape), "LIKE"});
        size_t p = 0;
        escapeChar = utf8Next(*escape, p);
    }
    LikePattern result;
    std::vector<char32_t> chars;
    for (size_t p = 0; p < pattern.size();)
        chars.push_back(utf8Next(pattern, p));

    for (size_t i = 0; i < chars.size(); ++i) {
        const char32_t c = chars[i];
        Element e;
        if (escapeChar && c == *escapeChar) {
            e.kind = Element::Kind::Literal;
            // An escape character at the very end stands for itself.
            e.literal = i + 1 < chars.size() ? chars[++i] : c;
        } else if (c == U'%') {
            if (!result.elements_.empty() &&
                result.elements_.back().kind == Element::Kind::AnySequence)
                continue;
            e.kind = Element::Kind::AnySequence;
        } else if (c == U'_') {
            e.kind = Element::Kind::AnyOne;
        } else if (c == U'[') {
            // Find the closing bracket; without one the bracket is an ordinary character.
            size_t j = i + 1;
            Element set;
            set.kind = Element::Kind::Set;
            if (j < chars.size() && chars[j] == U'^') {
                set.negated = true;
                ++j;
            }
            bool closed = false;
            bool first = true;
            while (j < chars.size()) {
                char32_t x = chars[j];
                if (x == U']' && !first) {
                    closed = true;
                    break;
                }
                first = false;
                if (escapeChar && x == *escapeChar && j + 1 < chars.size()) {
                    x = chars[++j];
                } else if (j + 2 < chars.size() && chars[j + 1] == U'-' && chars[j + 2] != U']') {
                    set.ranges.emplace_back(x, chars[j + 2]);
                    j += 3;
                    continue;
                }
                set.ranges.emplace_back(x, x);
                ++j;
            }
            if (closed) {
                result.elements_.push_back(std::move(set));
                i = j;
                continue;
            }
            e.kind = Element::Kind::Literal;
            e.literal = c;
        } else {
            e.kind = Element::Kind::Literal;
            e.literal = c;
        }
        result.elements_.push_back(std::move(e));
    }
    return result;
}

bool LikePattern::matches(std::string_view value) const {
    const size_t n = elements_.size();
    size_t pi = 0, vi = 0;
    size_t starPi = SIZE_MAX, starVi = 0;
    while (true) {
        if (pi < n && elements_[pi].kind == Element::Kind::AnySequence) {
            starPi = pi++;
            starVi = vi;
            continue;
        }
        if (pi == n) {
            // Trailing blanks of the value do not have to be matched.
            if (onlyBlanks(value, vi)) return true;
        } else if (vi < value.size()) {
            size_t next = vi;
            const char32_t c = utf8Next(value, next);
            if (matchesOne(elements_[pi], c)) {
                ++pi;
                vi = next;
                continue;
            }
        }
        if (starPi != SIZE_MAX && starVi < value.size()) {
            utf8Next(value, starVi);
            vi = starVi;
            pi = starPi + 1;
            continue;
        }
        return false;
    }
}

std::optional<std::string> LikePattern::literalPrefix() const {
    if (elements_.empty() || elements_.back().kind != Element::Kind::AnySequence)
        return std::nullopt;
    std::string prefix;
    for (size_t i = 0; i + 1 < elements_.size(); ++i) {
        if (elements_[i].kind != Element::Kind::Literal) return std::nullopt;
        appendUtf8(elements_[i].literal, prefix);
    }
    return prefix;
}

bool likeMatches(std::string_view value, std::string_view pattern,
                 std::optional<std::string_view> escape) {
    return LikePattern::compile(pattern, escape).matches(value);
}

}  // namespace engine
