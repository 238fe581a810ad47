// UTF-8 text helpers and the Windows-1252 code page of char/varchar/text data.
//
// Strings are UTF-8 in memory and their lengths count characters (code points).
// Malformed UTF-8 bytes count as one character each and decode as U+FFFD. Thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace engine {

// Decodes the code point at s[pos] and advances pos past it.
char32_t utf8Next(std::string_view s, size_t& pos);
void appendUtf8(char32_t c, std::string& out);

// Number of characters.
size_t utf8Length(std::string_view s);
// Byte offset of the character with the given index (s.size() when beyond the end).
size_t utf8Offset(std::string_view s, size_t characterIndex);
// The first n characters.
std::string_view utf8Prefix(std::string_view s, size_t n);
// Characters [start, start + count) (0-based, clipped to the string).
std::string_view utf8Substring(std::string_view s, size_t start, size_t count);
// Number of UTF-16 code units (2 for characters beyond the BMP): nvarchar lengths.
size_t utf16Length(std::string_view s);
// s without trailing blanks (U+0020 only).
std::string_view trimTrailingBlanks(std::string_view s);
bool isAscii(std::string_view s);

// Windows-1252: the byte of a character (nullopt-like: returns false when the character
// has no form in the code page) and the character of a byte.
bool windows1252Byte(char32_t c, unsigned char& out);
char32_t windows1252Char(unsigned char b);

// Characters without a Windows-1252 form replaced by '?' (still UTF-8): what storing
// into a char/varchar/text column keeps.
std::string toWindows1252Repertoire(std::string_view utf8);
bool isWindows1252Repertoire(std::string_view utf8);

// UTF-8 <-> Windows-1252 bytes ('?' for characters outside the code page).
std::string utf8ToWindows1252(std::string_view utf8);
std::string windows1252ToUtf8(std::string_view bytes);
// UTF-8 <-> UTF-16LE bytes (the bytes of nvarchar data).
std::string utf8ToUtf16le(std::string_view utf8);
std::string utf16leToUtf8(std::string_view bytes);

}  // namespace engine
