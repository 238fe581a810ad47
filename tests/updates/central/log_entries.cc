#include "updates/central/log_entries.h"

#include <iconv.h>

#include <fstream>
#include <iterator>

namespace central_test {

std::string ReadLogAsUtf8(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    iconv_t cd = iconv_open("UTF-8", "WINDOWS-1252");
    if (cd == reinterpret_cast<iconv_t>(-1)) return bytes;
    std::string out(bytes.size() * 4 + 4, '\0');
    char* src = bytes.data();
    size_t src_left = bytes.size();
    char* dst = out.data();
    size_t dst_left = out.size();
    iconv(cd, &src, &src_left, &dst, &dst_left);
    iconv_close(cd);
    out.resize(out.size() - dst_left);
    return out;
}

std::vector<std::string> LogEntries(const std::filesystem::path& file) {
    const std::string text = ReadLogAsUtf8(file);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    std::vector<std::string> entries;
    // lines[0] is the start line, lines[1] its separator; then entry, separator, ...
    for (size_t i = 2; i < lines.size(); i += 2) {
        if (i + 1 >= lines.size() || lines[i + 1] != std::string(20, '-')) {
            entries.push_back("<malformed log>");
            break;
        }
        entries.push_back(lines[i]);
    }
    return entries;
}

}  // namespace central_test
