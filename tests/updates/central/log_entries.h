// Reading back the update log in tests: the entries a run wrote, as UTF-8 text, without the
// start line and the separators, so that tests compare them with the messages as written in
// the code's own terms.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace central_test {

// The file's bytes converted from Windows-1252 to UTF-8, CRLF kept.
std::string ReadLogAsUtf8(const std::filesystem::path& file);

// Every entry line after the start line, in order; separator lines are checked (each entry
// must be followed by exactly twenty "-") and dropped. A malformed file yields the entry
// "<malformed log>" at the point where it breaks, so that the comparison fails visibly.
std::vector<std::string> LogEntries(const std::filesystem::path& file);

}  // namespace central_test
