#include "engine/types/text.h"

#include <gtest/gtest.h>

namespace engine {
namespace {

TEST(Utf8, LengthsCountCharactersNotBytes) {
    EXPECT_EQ(utf8Length("abc"), 3u);
    EXPECT_EQ(utf8Length("año"), 3u);
    EXPECT_EQ(utf8Length("\xE2\x82\xAC"
                         "5"),
              2u);                                   // €5
    EXPECT_EQ(utf8Length("\xF0\x9F\x98\x80"), 1u);   // one emoji
    EXPECT_EQ(utf16Length("\xF0\x9F\x98\x80"), 2u);  // a surrogate pair in nvarchar
    EXPECT_EQ(utf8Length("\xFF"
                         "a"),
              2u);  // a stray byte is one character
}

TEST(Utf8, PrefixAndSubstringCutOnCharacterBoundaries) {
    EXPECT_EQ(utf8Prefix("ñandú", 2), "ña");
    EXPECT_EQ(utf8Substring("ñandú", 3, 10), "dú");
    EXPECT_EQ(utf8Substring("abc", 5, 2), "");
    EXPECT_EQ(utf8Offset("ñb", 1), 2u);
}

TEST(Utf8, MalformedSequencesDecodeAsReplacement) {
    size_t pos = 0;
    EXPECT_EQ(utf8Next("\xC3", pos), 0xFFFDu);  // truncated
    EXPECT_EQ(pos, 1u);
    pos = 0;
    EXPECT_EQ(utf8Next("\xC0\x80", pos), 0xFFFDu);  // overlong NUL
    pos = 0;
    EXPECT_EQ(utf8Next("\xED\xA0\x80", pos), 0xFFFDu);  // surrogate
}

TEST(Windows1252, MapsTheHighControlRangeToItsPrintableCharacters) {
    unsigned char b = 0;
    ASSERT_TRUE(windows1252Byte(0x20AC, b));  // €
    EXPECT_EQ(b, 0x80);
    ASSERT_TRUE(windows1252Byte(U'ñ', b));
    EXPECT_EQ(b, 0xF1);
    EXPECT_FALSE(windows1252Byte(0x0142, b));  // ł has no form
    EXPECT_EQ(windows1252Char(0x80), 0x20ACu);
    EXPECT_EQ(windows1252Char(0xD1), U'Ñ');
}

TEST(Windows1252, StoringReplacesCharactersOutsideTheCodePage) {
    EXPECT_EQ(toWindows1252Repertoire("Łódź €"), "?ód? €");
    EXPECT_TRUE(isWindows1252Repertoire("Año € ¿?"));
    EXPECT_FALSE(isWindows1252Repertoire("Łódź"));
    EXPECT_EQ(utf8ToWindows1252("Año€"), "A\xF1o\x80");
    EXPECT_EQ(windows1252ToUtf8("A\xF1o\x80"), "Año€");
}

TEST(Utf16, RoundTripsThroughLittleEndianBytes) {
    const std::string s = "añ€\xF0\x9F\x98\x80";
    const std::string bytes = utf8ToUtf16le(s);
    EXPECT_EQ(bytes.size(), 2u * 5);
    EXPECT_EQ(bytes.substr(0, 2), std::string("a\0", 2));
    EXPECT_EQ(utf16leToUtf8(bytes), s);
}

TEST(TrailingBlanks, OnlySpacesAreTrimmed) {
    EXPECT_EQ(trimTrailingBlanks("ab  "), "ab");
    EXPECT_EQ(trimTrailingBlanks("ab\t"), "ab\t");
    EXPECT_EQ(trimTrailingBlanks("   "), "");
}

}  // namespace
}  // namespace engine
