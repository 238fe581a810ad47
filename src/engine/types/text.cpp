#include "engine/types/text.h"

namespace engine {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Characters of the bytes 0x80..0x9F in Windows-1252 (0 where the code page has none).
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

}  // namespace

char32_t utf8Next(std::string_view s, size_t& pos) {
    const auto b0 = static_cast<unsigned char>(s[pos]);
    if (b0 < 0x80) {
        ++pos;
        return b0;
    }
    int extra;
    char32_t c;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1;
        c = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2;
        c = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3;
        c = b0 & 0x07;
    } else {
        ++pos;
        return kReplacement;
    }
    if (pos + static_cast<size_t>(extra) >= s.size()) {
        ++pos;
        return kReplacement;
    }
    for (int i = 1; i <= extra; ++i) {
        const auto b = static_cast<unsigned char>(s[pos + i]);
        if ((b & 0xC0) != 0x80) {
            ++pos;
            return kReplacement;
        }
        c = (c << 6) | (b & 0x3F);
    }
    // Overlong forms and surrogates are malformed.
    static constexpr char32_t kMinimum[4] = {0, 0x80, 0x800, 0x10000};
    if (c < kMinimum[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++pos;
        return kReplacement;
    }
    pos += extra + 1;
    return c;
}

void appendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

size_t utf8Length(std::string_view s) {
    size_t n = 0;
    size_t pos = 0;
    while (pos < s.size()) {
        if (static_cast<unsigned char>(s[pos]) < 0x80) {
            ++pos;
        } else {
            utf8Next(s, pos);
        }
        ++n;
    }
    return n;
}

size_t utf8Offset(std::string_view s, size_t characterIndex) {
    size_t pos = 0;
    for (size_t i = 0; i < characterIndex && pos < s.size(); ++i) {
        utf8Next(s, pos);
    }
    return pos;
}

std::string_view utf8Prefix(std::string_view s, size_t n) {
    return s.substr(0, utf8Offset(s, n));
}

std::string_view utf8Substring(std::string_view s, size_t start, size_t count) {
    const size_t begin = utf8Offset(s, start);
    const std::string_view rest = s.substr(begin);
    return rest.substr(0, utf8Offset(rest, count));
}

size_t utf16Length(std::string_view s) {
    size_t n = 0;
    size_t pos = 0;
    while (pos < s.size()) {
        n += utf8Next(s, pos) >= 0x10000 ? 2 : 1;
    }
    return n;
}

std::string_view trimTrailingBlanks(std::string_view s) {
    size_t end = s.size();
    while (end > 0 && s[end - 1] == ' ')
        --end;
    return s.substr(0, end);
}

bool isAscii(std::string_view s) {
    for (char ch : s) {
        if (static_cast<unsigned char>(ch) >= 0x80) return false;
    }
    return true;
}

bool windows1252Byte(char32_t c, unsigned char& out) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        out = static_cast<unsigned char>(c);
        return true;
    }
    for (int i = 0; i < 32; ++i) {
        if (kCp1252High[i] != 0 && kCp1252High[i] == c) {
            out = static_cast<unsigned char>(0x80 + i);
            return true;
        }
    }
    return false;
}

char32_t windows1252Char(unsigned char b) {
    if (b >= 0x80 && b <= 0x9F) {
        const char32_t c = kCp1252High[b - 0x80];
        // Undefined bytes map to the C1 control of the same value, as Windows does.
        return c != 0 ? c : b;
    }
    return b;
}

std::string toWindows1252Repertoire(std::string_view utf8) {
    if (isAscii(utf8)) return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    size_t pos = 0;
    while (pos < utf8.size()) {
        const char32_t c = utf8Next(utf8, pos);
        unsigned char b;
        appendUtf8(windows1252Byte(c, b) ? c : U'?', out);
    }
    return out;
}

bool isWindows1252Repertoire(std::string_view utf8) {
    size_t pos = 0;
    while (pos < utf8.size()) {
        if (static_cast<unsigned char>(utf8[pos]) < 0x80) {
            ++pos;
            continue;
        }
        unsigned char b;
        if (!windows1252Byte(utf8Next(utf8, pos), b)) return false;
    }
    return true;
}

std::string utf8ToWindows1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    size_t pos = 0;
    while (pos < utf8.size()) {
        const char32_t c = utf8Next(utf8, pos);
        unsigned char b;
        out.push_back(windows1252Byte(c, b) ? static_cast<char>(b) : '?');
    }
    return out;
}

std::string windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes)
        appendUtf8(windows1252Char(static_cast<unsigned char>(ch)), out);
    return out;
}

std::string utf8ToUtf16le(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() * 2);
    auto unit = [&out](char32_t u) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>((u >> 8) & 0xFF));
    };
    size_t pos = 0;
    while (pos < utf8.size()) {
        const char32_t c = utf8Next(utf8, pos);
        if (c >= 0x10000) {
            const char32_t v = c - 0x10000;
            unit(0xD800 + (v >> 10));
            unit(0xDC00 + (v & 0x3FF));
        } else {
            unit(c);
        }
    }
    return out;
}

std::string utf16leToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    const size_t units = bytes.size() / 2;
    auto at = [&bytes](size_t i) {
        return static_cast<char32_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    };
    for (size_t i = 0; i < units; ++i) {
        char32_t c = at(i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units && at(i + 1) >= 0xDC00 &&
            at(i + 1) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (at(i + 1) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        appendUtf8(c, out);
    }
    if (bytes.size() % 2 != 0) appendUtf8(kReplacement, out);
    return out;
}

}  // namespace engine
