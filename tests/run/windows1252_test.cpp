#include "run/windows1252.h"

#include <gtest/gtest.h>

namespace run {
namespace {

TEST(ToWindows1252, KeepsAsciiAndConvertsSpanishLettersToOneByte) {
    EXPECT_EQ(ToWindows1252("Load:abc 123"), "Load:abc 123");
    EXPECT_EQ(ToWindows1252("Información"), "Informaci\xF3n");
    EXPECT_EQ(ToWindows1252("ñÑáéíúüÁÉÍÓÚ¿¡"),
              "\xF1\xD1\xE1\xE9\xED\xFA\xFC\xC1\xC9\xCD\xD3\xDA\xBF\xA1");
}

TEST(ToWindows1252, UsesTheCodePageRowsThatLatin1DoesNotHave) {
    EXPECT_EQ(ToWindows1252("€"), "\x80");
    EXPECT_EQ(ToWindows1252("“x”"), "\x93x\x94");
    EXPECT_EQ(ToWindows1252("Œ"), "\x8C");
}

TEST(ToWindows1252, ACharacterWithoutAFormDoesNotLoseTheRestOfTheText) {
    EXPECT_EQ(ToWindows1252("a日b ó"), "a?b \xF3");
    // Letters of other alphabets are transliterated (or replaced): no UTF-8 byte leaks through.
    std::string cyrillic = ToWindows1252("Ошибка:ó");
    EXPECT_EQ(cyrillic.substr(cyrillic.size() - 2), ":\xF3");
    EXPECT_EQ(cyrillic.find_first_of("\xD0\xD1"), std::string::npos);
}

TEST(ToWindows1252, InvalidUtf8BytesBecomeQuestionMarks) {
    EXPECT_EQ(ToWindows1252("x\xFFy"), "x?y");
    EXPECT_EQ(ToWindows1252("x\xC3"), "x?");      // cut-off sequence at the end
    EXPECT_EQ(ToWindows1252("\xE2\x82z"), "?z");  // cut-off sequence before a letter
    EXPECT_EQ(ToWindows1252(std::string(1000, 'a') + "\xF3" + "b"),
              std::string(1000, 'a') + "?b");  // across the conversion buffer
}

TEST(ToWindows1252, LongTextsAreConvertedWhole) {
    std::string text;
    for (int i = 0; i < 500; ++i)
        text += "ó";
    EXPECT_EQ(ToWindows1252(text), std::string(500, '\xF3'));
}

}  // namespace
}  // namespace run
