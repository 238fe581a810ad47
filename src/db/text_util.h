// Small text helpers of the client layer: case-insensitive comparison of names (ASCII and
// the Latin-1 letters of UTF-8 text, as a case-insensitive server collation compares
// identifiers), trimming. Thread-safe (pure functions).
#pragma once

#include <string>
#include <string_view>

namespace db {

// Upper-cases ASCII letters and the Latin-1 letters (à..þ) of a UTF-8 text.
std::string foldCase(std::string_view text);
bool equalsIgnoreCase(std::string_view a, std::string_view b);
std::string_view trimBlanks(std::string_view text);
// Reads a quoted value whose opening quote is just before `i`, up to the closing `close`
// (a doubled `close` stands for one); `i` ends after the closing quote. False when the
// text ends first.
bool readQuoted(std::string_view text, size_t& i, char close, std::string& out);

}  // namespace db
