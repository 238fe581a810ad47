#include "engine/types/collation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace engine {
namespace {

int sortKeyOrder(std::string_view a, std::string_view b) {
    std::string ka, kb;
    appendCollationSortKey(a, ka);
    appendCollationSortKey(b, kb);
    const int c = ka.compare(kb);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

TEST(ModernSpanishCiAs, CaseInsensitiveAccentSensitive) {
    EXPECT_EQ(collationCompare("ABC", "abc"), 0);
    EXPECT_EQ(collationCompare("Año", "AÑO"), 0);
    EXPECT_NE(collationCompare("a", "á"), 0);
    EXPECT_NE(collationCompare("ano", "año"), 0);
    EXPECT_TRUE(collationEqual("Camión", "CAMIÓN"));
    EXPECT_FALSE(collationEqual("Camion", "Camión"));
}

TEST(ModernSpanishCiAs, TrailingBlanksAreIgnored) {
    EXPECT_EQ(collationCompare("abc", "abc   "), 0);
    EXPECT_TRUE(collationEqual("abc", "ABC "));
    EXPECT_EQ(collationCompare("", "   "), 0);
    EXPECT_GT(collationCompare("abc", " abc"), 0);  // leading blanks count
}

TEST(ModernSpanishCiAs, OrderOfLettersDigitsAndSymbols) {
    const std::vector<std::string> sorted = {" ", "-", "0", "9",  "a", "á", "B",
                                             "c", "n", "ñ", "Ñu", "o", "z"};
    for (size_t i = 1; i < sorted.size(); ++i) {
        EXPECT_LT(collationCompare(sorted[i - 1], sorted[i]), 0)
            << sorted[i - 1] << " < " << sorted[i];
        EXPECT_GT(collationCompare(sorted[i], sorted[i - 1]), 0);
    }
    // Letters decide before accents: 'áb' sorts between 'ab' and 'ac'.
    EXPECT_LT(collationCompare("ab", "áb"), 0);
    EXPECT_LT(collationCompare("áb", "ac"), 0);
    EXPECT_LT(collationCompare("Ab", "ABC"), 0);  // a prefix first
    // ñ after every n word, before o.
    EXPECT_LT(collationCompare("nz", "ña"), 0);
    EXPECT_LT(collationCompare("ñz", "oa"), 0);
}

TEST(ModernSpanishCiAs, HyphensAndApostrophesOnlyBreakTies) {
    EXPECT_LT(collationCompare("coop", "co-op"), 0);
    EXPECT_LT(collationCompare("co-op", "cop"), 0);  // letters decide first
    EXPECT_LT(collationCompare("coat", "co-op"), 0);
    EXPECT_LT(collationCompare("O'Neil", "Onf"), 0);
    EXPECT_GT(collationCompare("O'Neil", "Ona"), 0);
    EXPECT_NE(collationCompare("co-op", "coop"), 0);  // still different strings
    EXPECT_FALSE(collationEqual("co-op", "coop"));
    EXPECT_LT(collationCompare("c-oop", "co-op"), 0);  // earlier hyphen first
    EXPECT_EQ(collationCompare("Co-Op", "co-op "), 0);
}

TEST(ModernSpanishCiAs, CaseMappingOfLatinLetters) {
    EXPECT_EQ(toUpperText("año ÿ ł é"), "AÑO Ÿ Ł É");
    EXPECT_EQ(toLowerText("AÑO Ÿ Ł É"), "año ÿ ł é");
    EXPECT_EQ(toUpperChar(U'ß'), U'ß');
    EXPECT_EQ(toLowerChar(U'Ж'), U'ж');
}

TEST(ModernSpanishCiAs, IdentifiersCompareUnderTheSameRules) {
    EXPECT_TRUE(identifierEqual("Clientes", "CLIENTES"));
    EXPECT_TRUE(identifierEqual("vardex", "Vardex"));
    EXPECT_FALSE(identifierEqual("Empresa_0001", "Empresa_0002"));
    EXPECT_EQ(IdentifierHash{}("ClientesTabla"), IdentifierHash{}("clientestabla"));
}

// Random strings over a small alphabet that makes collisions of every kind likely.
std::string randomString(std::mt19937& rng) {
    static const std::vector<std::string> alphabet = {
        "a", "A", "á", "Á", "b", "n", "ñ", "Ñ", " ", "-", "1", "z", "é", "E", "'", "\xC2\xAD"};
    std::uniform_int_distribution<size_t> len(0, 5), pick(0, alphabet.size() - 1);
    std::string s;
    for (size_t n = len(rng); n > 0; --n)
        s += alphabet[pick(rng)];
    return s;
}

TEST(ModernSpanishCiAs, CompareHashAndSortKeyAgreeOnRandomStrings) {
    std::mt19937 rng(20240607);
    for (int i = 0; i < 20000; ++i) {
        const std::string a = randomString(rng), b = randomString(rng);
        const int c = collationCompare(a, b);
        ASSERT_EQ(c, -collationCompare(b, a)) << a << " | " << b;
        ASSERT_EQ(c == 0, collationEqual(a, b)) << a << " | " << b;
        ASSERT_EQ(c, sortKeyOrder(a, b)) << a << " | " << b;
        if (c == 0) {
            ASSERT_EQ(collationHash(a), collationHash(b)) << a << " | " << b;
        }
    }
}

TEST(ModernSpanishCiAs, OrderIsTransitive) {
    std::mt19937 rng(7);
    std::vector<std::string> words;
    for (int i = 0; i < 400; ++i)
        words.push_back(randomString(rng));
    std::sort(words.begin(), words.end(), [](const std::string& a, const std::string& b) {
        return collationCompare(a, b) < 0;
    });
    for (size_t i = 1; i < words.size(); ++i)
        ASSERT_LE(collationCompare(words[i - 1], words[i]), 0);
    for (size_t i = 0; i + 5 < words.size(); i += 5)
        ASSERT_LE(collationCompare(words[i], words[i + 5]), 0);
}

}  // namespace
}  // namespace engine
