#include "engine/types/like.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace engine {
namespace {

using namespace testing;

TEST(Like, Wildcards) {
    struct Case {
        const char* value;
        const char* pattern;
        bool match;
    } cases[] = {
        {"Clientes", "cli%", true},
        {"Clientes", "%TES", true},
        {"Clientes", "%ien%", true},
        {"Clientes", "C_ientes", true},
        {"Clientes", "C_entes", false},
        {"", "%", true},
        {"", "_", false},
        {"abc", "a%%c", true},
        {"abc", "%", true},
        {"E2013PedidosTabla", "E____PedidosTabla", true},
        {"E13PedidosTabla", "E____PedidosTabla", false},
        {"año", "a_o", true},
        {"año", "AÑO", true},
        {"año", "ano", false},
        {"b", "[a-c]", true},
        {"B", "[a-c]", true},
        {"d", "[a-c]", false},
        {"d", "[^a-c]", true},
        {"b", "[^a-c]", false},
        {"x1", "x[0-9]", true},
        {"a-", "a[-]", true},
        {"a%", "a[%]", true},
        {"ab", "a[%]", false},
        {"a_", "a[_]", true},
        {"ab", "a[_]", false},
        {"[x", "[[]x", true},
        {"a]", "a]", true},
        {"ñ", "[n-o]", true},
        {"á", "[a-b]", true},
        {"mississippi", "%iss%ipp%", true},
        {"mississippi", "m%i%s%s%p%i", true},
        {"mississippi", "%issx%", false},
        {"[abc", "[abc", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(likeMatches(c.value, c.pattern), c.match) << c.value << " LIKE " << c.pattern;
    }
}

TEST(Like, TrailingBlanksOfThePatternCountThoseOfTheValueDoNot) {
    EXPECT_FALSE(likeMatches("abc", "abc "));
    EXPECT_TRUE(likeMatches("abc  ", "abc"));
    EXPECT_TRUE(likeMatches("abc ", "abc "));
    EXPECT_TRUE(likeMatches("abc  ", "abc "));
    EXPECT_TRUE(likeMatches("BASE TABLE", "BASE TABLE"));
    EXPECT_TRUE(likeMatches("abc  ", "%c"));
    EXPECT_FALSE(likeMatches("ab c", "abc"));
}

TEST(Like, EscapeCharacter) {
    EXPECT_TRUE(likeMatches("10%", "10!%", "!"));
    EXPECT_FALSE(likeMatches("100", "10!%", "!"));
    EXPECT_TRUE(likeMatches("a_b", "a\\_b", "\\"));
    EXPECT_FALSE(likeMatches("axb", "a\\_b", "\\"));
    EXPECT_TRUE(likeMatches("a!", "a!!", "!"));
    EXPECT_TRUE(likeMatches("5%", "[0-9]!%", "!"));
    EXPECT_EQ(errorOf([] { LikePattern::compile("a", std::string_view("!!")); }), 506);
    EXPECT_EQ(errorOf([] { LikePattern::compile("a", std::string_view("")); }), 506);
}

TEST(Like, CompiledPatternIsReusableAndReportsItsPrefix) {
    const LikePattern p = LikePattern::compile("cli%");
    EXPECT_TRUE(p.matches("Clientes"));
    EXPECT_TRUE(p.matches("CLI"));
    EXPECT_FALSE(p.matches("Proveedores"));
    EXPECT_EQ(p.literalPrefix(), std::optional<std::string>("cli"));
    EXPECT_FALSE(LikePattern::compile("c_i%").literalPrefix().has_value());
    EXPECT_FALSE(LikePattern::compile("cli").literalPrefix().has_value());
}

}  // namespace
}  // namespace engine
