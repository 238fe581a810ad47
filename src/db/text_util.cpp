#include "db/text_util.h"

namespace db {

std::string foldCase(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 'a' && c <= 'z') {
            out += static_cast<char>(c - 32);
        } else if (c == 0xC3 && i + 1 < text.size()) {
            // U+00E0..U+00FE (except U+00F7) are the lower-case forms of U+00C0..U+00DE.
            auto next = static_cast<unsigned char>(text[i + 1]);
            if (next >= 0xA0 && next <= 0xBE && next != 0xB7) next -= 0x20;
            out += static_cast<char>(c);
            out += static_cast<char>(next);
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    // Names are mostly ASCII: compared in place; any other byte leaves it to foldCase.
    for (size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if ((x | y) >= 0x80) return foldCase(a) == foldCase(b);
        if (x == y) continue;
        const auto upperX = x >= 'a' && x <= 'z' ? x - 32 : x;
        const auto upperY = y >= 'a' && y <= 'z' ? y - 32 : y;
        if (upperX != upperY) return false;
    }
    return true;
}

std::string_view trimBlanks(std::string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t')) ++b;
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t')) --e;
    return text.substr(b, e - b);
}

bool readQuoted(std::string_view text, size_t& i, char close, std::string& out) {
    while (i < text.size()) {
        if (text[i] == close) {
            if (i + 1 < text.size() && text[i + 1] == close) {
                out += close;
                i += 2;
                continue;
            }
            ++i;
            return true;
        }
        out += text[i++];
    }
    return false;
}

}  // namespace db
