// Conversion of the program's UTF-8 texts into Windows-1252, the code page in which the log is
// read by support staff's tools. A character with no Windows-1252 form, or a byte that is not
// valid UTF-8, becomes "?" (or iconv's transliteration) and the rest of the text is kept: a log
// entry is never lost over one character.
//
// Thread safety: reentrant; each call opens its own iconv descriptor.
#pragma once

#include <string>
#include <string_view>

namespace run {

std::string ToWindows1252(std::string_view utf8);

}  // namespace run
