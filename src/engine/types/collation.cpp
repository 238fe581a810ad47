#include "engine/types/collation.h"

#include <array>

#include "engine/types/hashing.h"
#include "engine/types/text.h"

namespace engine {

namespace {

// Sort weights of one character: the primary weight orders base letters (and symbols,
// digits), the secondary weight orders accents of the same base letter. Case is folded
// before weighting, so it never counts.
struct Weight {
    uint32_t primary;
    uint8_t secondary;
};

// Primary weight bands: symbols < digits < letters a..z (ñ after n) < other letters.
constexpr uint32_t kSymbolBase = 0x100;
constexpr uint32_t kLatinSymbolBase = 0x200;
constexpr uint32_t kDigitBase = 0x1000;
constexpr uint32_t kLetterBase = 0x2000;
constexpr uint32_t kOtherLetterBase = 0x3000;
constexpr uint32_t kBeyondLatinBase = 0x10000;

constexpr uint32_t letterWeight(char base) {
    return kLetterBase + 2u * static_cast<uint32_t>(base - 'a');
}
constexpr uint32_t kEnyeWeight = letterWeight('n') + 1;

// Accents in their secondary order (0 = no accent).
enum Accent : uint8_t {
    None,
    Acute,
    Grave,
    Breve,
    Circumflex,
    Caron,
    Ring,
    Diaeresis,
    DoubleAcute,
    Tilde,
    DotAbove,
    Stroke,
    Cedilla,
    Ogonek,
    Macron,
    Ligature,
    Sharp,
    Dotless,
    Long,
    Eth,
};

struct Decomposition {
    char16_t lower;
    char base;
    Accent accent;
};

// Lower-case Latin letters with diacritics (U+00E0..U+017F) as base letter + accent.
constexpr Decomposition kDecompositions[] = {
    {0xE0, 'a', Grave},        {0xE1, 'a', Acute},       {0xE2, 'a', Circumflex},
    {0xE3, 'a', Tilde},        {0xE4, 'a', Diaeresis},   {0xE5, 'a', Ring},
    {0xE6, 'a', Ligature},     {0xE7, 'c', Cedilla},     {0xE8, 'e', Grave},
    {0xE9, 'e', Acute},        {0xEA, 'e', Circumflex},  {0xEB, 'e', Diaeresis},
    {0xEC, 'i', Grave},        {0xED, 'i', Acute},       {0xEE, 'i', Circumflex},
    {0xEF, 'i', Diaeresis},    {0xF0, 'd', Eth},         {0xF2, 'o', Grave},
    {0xF3, 'o', Acute},        {0xF4, 'o', Circumflex},  {0xF5, 'o', Tilde},
    {0xF6, 'o', Diaeresis},    {0xF8, 'o', Stroke},      {0xF9, 'u', Grave},
    {0xFA, 'u', Acute},        {0xFB, 'u', Circumflex},  {0xFC, 'u', Diaeresis},
    {0xFD, 'y', Acute},        {0xFF, 'y', Diaeresis},   {0xDF, 's', Sharp},
    {0x101, 'a', Macron},      {0x103, 'a', Breve},      {0x105, 'a', Ogonek},
    {0x107, 'c', Acute},       {0x109, 'c', Circumflex}, {0x10B, 'c', DotAbove},
    {0x10D, 'c', Caron},       {0x10F, 'd', Caron},      {0x111, 'd', Stroke},
    {0x113, 'e', Macron},      {0x115, 'e', Breve},      {0x117, 'e', DotAbove},
    {0x119, 'e', Ogonek},      {0x11B, 'e', Caron},      {0x11D, 'g', Circumflex},
    {0x11F, 'g', Breve},       {0x121, 'g', DotAbove},   {0x123, 'g', Cedilla},
    {0x125, 'h', Circumflex},  {0x127, 'h', Stroke},     {0x129, 'i', Tilde},
    {0x12B, 'i', Macron},      {0x12D, 'i', Breve},      {0x12F, 'i', Ogonek},
    {0x131, 'i', Dotless},     {0x133, 'i', Ligature},   {0x135, 'j', Circumflex},
    {0x137, 'k', Cedilla},     {0x13A, 'l', Acute},      {0x13C, 'l', Cedilla},
    {0x13E, 'l', Caron},       {0x140, 'l', DotAbove},   {0x142, 'l', Stroke},
    {0x144, 'n', Acute},       {0x146, 'n', Cedilla},    {0x148, 'n', Caron},
    {0x14D, 'o', Macron},      {0x14F, 'o', Breve},      {0x151, 'o', DoubleAcute},
    {0x153, 'o', Ligature},    {0x155, 'r', Acute},      {0x157, 'r', Cedilla},
    {0x159, 'r', Caron},       {0x15B, 's', Acute},      {0x15D, 's', Circumflex},
    {0x15F, 's', Cedilla},     {0x161, 's', Caron},      {0x163, 't', Cedilla},
    {0x165, 't', Caron},       {0x167, 't', Stroke},     {0x169, 'u', Tilde},
    {0x16B, 'u', Macron},      {0x16D, 'u', Breve},      {0x16F, 'u', Ring},
    {0x171, 'u', DoubleAcute}, {0x173, 'u', Ogonek},     {0x175, 'w', Circumflex},
    {0x177, 'y', Circumflex},  {0x17A, 'z', Acute},      {0x17C, 'z', DotAbove},
    {0x17E, 'z', Caron},       {0x17F, 's', Long},
};

constexpr char32_t kTableEnd = 0x180;

struct Tables {
    std::array<uint32_t, 128> ascii{};
    std::array<Weight, kTableEnd - 0x80> latin{};
};

const Tables& tables();

bool isLatinLetterWithoutBase(char32_t lower) {
    return lower == 0xFE /* þ */ || lower == 0x138 /* ĸ */ || lower == 0x149 /* ŉ */ ||
           lower == 0x14B /* ŋ */;
}

Tables buildTables() {
    Tables t;
    for (char32_t c = 0; c < 128; ++c) {
        if (c >= 'a' && c <= 'z') {
            t.ascii[c] = letterWeight(static_cast<char>(c));
        } else if (c >= 'A' && c <= 'Z') {
            t.ascii[c] = letterWeight(static_cast<char>(c - 'A' + 'a'));
        } else if (c >= '0' && c <= '9') {
            t.ascii[c] = kDigitBase + (c - '0');
        } else {
            t.ascii[c] = kSymbolBase + c;
        }
    }
    for (char32_t c = 0x80; c < kTableEnd; ++c) {
        const char32_t lower = toLowerChar(c);
        Weight w{kLatinSymbolBase + c, None};
        if (lower == 0xF1) {
            w = {kEnyeWeight, None};
        } else if (isLatinLetterWithoutBase(lower)) {
            w = {kOtherLetterBase + lower, None};
        } else {
            for (const auto& d : kDecompositions) {
                if (d.lower == lower) {
                    w = {letterWeight(d.base), d.accent};
                    break;
                }
            }
        }
        t.latin[c - 0x80] = w;
    }
    return t;
}

const Tables& tables() {
    static const Tables t = buildTables();
    return t;
}

inline Weight weightOf(char32_t c, const Tables& t) {
    if (c < 0x80) return {t.ascii[c], None};
    if (c < kTableEnd) return t.latin[c - 0x80];
    return {kBeyondLatinBase + toLowerChar(c), None};
}

// Reads the next character's weight; ASCII bytes without decoding.
inline Weight nextWeight(std::string_view s, size_t& pos, const Tables& t) {
    const auto b = static_cast<unsigned char>(s[pos]);
    if (b < 0x80) {
        ++pos;
        return {t.ascii[b], None};
    }
    return weightOf(utf8Next(s, pos), t);
}

}  // namespace

namespace {

// Hyphens and apostrophes are ignored when words are ordered ("co-op" sorts with
// "coop"), and only break ties between otherwise equal strings; they still count for
// equality.
size_t skipIgnorables(std::string_view s, size_t pos) {
    while (pos < s.size()) {
        if (s[pos] == '-' || s[pos] == '\'') {
            ++pos;
        } else if (s[pos] == '\xC2' && pos + 1 < s.size() && s[pos + 1] == '\xAD') {
            pos += 2;  // soft hyphen
        } else {
            break;
        }
    }
    return pos;
}

bool isIgnorable(char32_t c) {
    return c == U'-' || c == U'\'' || c == 0xAD;
}

// The next ignorable character at or after pos: its character index (counted from the
// start, pos being at character `index`) and its code point; false when there is none.
bool nextIgnorable(std::string_view s, size_t& pos, size_t& index, char32_t& c) {
    while (pos < s.size()) {
        c = utf8Next(s, pos);
        ++index;
        if (isIgnorable(c)) return true;
    }
    return false;
}

// Ties between strings equal but for hyphens and apostrophes: by the positions and
// characters of those, a string with fewer of them first.
int compareIgnorables(std::string_view a, std::string_view b) {
    size_t pa = 0, pb = 0, ia = 0, ib = 0;
    while (true) {
        char32_t ca = 0, cb = 0;
        const bool ha = nextIgnorable(a, pa, ia, ca);
        const bool hb = nextIgnorable(b, pb, ib, cb);
        if (!ha || !hb) return ha == hb ? 0 : (ha ? 1 : -1);
        if (ia != ib) return ia < ib ? -1 : 1;
        if (ca != cb) return ca < cb ? -1 : 1;
    }
}

void appendWeight3(uint32_t w, std::string& out) {
    // Three bytes, the first never 0 so that a 0 terminator sorts before every entry.
    out.push_back(static_cast<char>((w >> 16) + 1));
    out.push_back(static_cast<char>((w >> 8) & 0xFF));
    out.push_back(static_cast<char>(w & 0xFF));
}

}  // namespace

int collationCompare(std::string_view a, std::string_view b) {
    a = trimTrailingBlanks(a);
    b = trimTrailingBlanks(b);
    const Tables& t = tables();
    size_t i = 0, j = 0;
    int secondary = 0;  // first accent difference, decisive only if the letters are equal
    while (i < a.size() && j < b.size()) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[j]);
        if ((ca | cb) < 0x80) {
            // Fast path: equal ASCII bytes weigh alike (hyphens included, as both go).
            if (ca == cb) {
                ++i;
                ++j;
                continue;
            }
            if (ca == '-' || ca == '\'') {
                ++i;
                continue;
            }
            if (cb == '-' || cb == '\'') {
                ++j;
                continue;
            }
            const uint32_t wa = t.ascii[ca], wb = t.ascii[cb];
            if (wa != wb) return wa < wb ? -1 : 1;
            ++i;
            ++j;
            continue;
        }
        const size_t si = skipIgnorables(a, i), sj = skipIgnorables(b, j);
        if (si != i || sj != j) {
            i = si;
            j = sj;
            continue;
        }
        const Weight wa = nextWeight(a, i, t);
        const Weight wb = nextWeight(b, j, t);
        if (wa.primary != wb.primary) return wa.primary < wb.primary ? -1 : 1;
        if (secondary == 0 && wa.secondary != wb.secondary)
            secondary = wa.secondary < wb.secondary ? -1 : 1;
    }
    i = skipIgnorables(a, i);
    j = skipIgnorables(b, j);
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    if (secondary != 0) return secondary;
    return compareIgnorables(a, b);
}

bool collationEqual(std::string_view a, std::string_view b) {
    a = trimTrailingBlanks(a);
    b = trimTrailingBlanks(b);
    const Tables& t = tables();
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[j]);
        if ((ca | cb) < 0x80) {
            if (ca != cb && t.ascii[ca] != t.ascii[cb]) return false;
            ++i;
            ++j;
            continue;
        }
        const Weight wa = nextWeight(a, i, t);
        const Weight wb = nextWeight(b, j, t);
        if (wa.primary != wb.primary || wa.secondary != wb.secondary) return false;
    }
    return i == a.size() && j == b.size();
}

uint64_t collationHash(std::string_view s, uint64_t seed) {
    s = trimTrailingBlanks(s);
    const Tables& t = tables();
    uint64_t h = hashing::kOffsetBasis ^ seed;
    size_t pos = 0;
    while (pos < s.size()) {
        const Weight w = nextWeight(s, pos, t);
        h = hashing::combine(h, (static_cast<uint64_t>(w.primary) << 8) | w.secondary);
    }
    return hashing::mix64(h);
}

void appendCollationSortKey(std::string_view s, std::string& out) {
    s = trimTrailingBlanks(s);
    const Tables& t = tables();
    // Letters (primary weights) without hyphens and apostrophes, then their accents,
    // then the hyphens and apostrophes with their positions: the three levels of
    // collationCompare, each ended by a 0.
    for (size_t pos = skipIgnorables(s, 0); pos < s.size(); pos = skipIgnorables(s, pos)) {
        appendWeight3(nextWeight(s, pos, t).primary, out);
    }
    out.push_back('\0');
    for (size_t pos = skipIgnorables(s, 0); pos < s.size(); pos = skipIgnorables(s, pos)) {
        out.push_back(static_cast<char>(nextWeight(s, pos, t).secondary + 1));
    }
    out.push_back('\0');
    size_t pos = 0, index = 0;
    char32_t c;
    while (nextIgnorable(s, pos, index, c)) {
        appendWeight3(static_cast<uint32_t>(index), out);
        appendWeight3(static_cast<uint32_t>(c), out);
    }
    out.push_back('\0');
}

int collationCompareChar(char32_t a, char32_t b) {
    const Tables& t = tables();
    const Weight wa = weightOf(a, t);
    const Weight wb = weightOf(b, t);
    if (wa.primary != wb.primary) return wa.primary < wb.primary ? -1 : 1;
    if (wa.secondary != wb.secondary) return wa.secondary < wb.secondary ? -1 : 1;
    return 0;
}

char32_t toLowerChar(char32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if (c < 0x100) return (c >= 0xC0 && c <= 0xDE && c != 0xD7) ? c + 32 : c;
    if (c < 0x180) {
        if (c == 0x130) return 'i';
        if (c == 0x178) return 0xFF;
        if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
            return (c % 2 == 0) ? c + 1 : c;
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
            return (c % 2 == 1) ? c + 1 : c;
        return c;
    }
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;  // Greek
    if (c >= 0x410 && c <= 0x42F) return c + 32;                // Cyrillic
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    return c;
}

char32_t toUpperChar(char32_t c) {
    if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 32 : c;
    if (c < 0x100) {
        if (c == 0xFF) return 0x178;
        return (c >= 0xE0 && c <= 0xFE && c != 0xF7) ? c - 32 : c;
    }
    if (c < 0x180) {
        if (c == 0x131) return 'I';
        if ((c >= 0x100 && c <= 0x137 && c != 0x130) || (c >= 0x14A && c <= 0x177))
            return (c % 2 == 1) ? c - 1 : c;
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
            return (c % 2 == 0) ? c - 1 : c;
        return c;
    }
    if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return c - 32;
    if (c >= 0x430 && c <= 0x44F) return c - 32;
    if (c >= 0x450 && c <= 0x45F) return c - 80;
    return c;
}

namespace {

template <char32_t (*Map)(char32_t)>
std::string mapText(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    size_t pos = 0;
    while (pos < utf8.size()) {
        const auto b = static_cast<unsigned char>(utf8[pos]);
        if (b < 0x80) {
            out.push_back(static_cast<char>(Map(b)));
            ++pos;
        } else {
            appendUtf8(Map(utf8Next(utf8, pos)), out);
        }
    }
    return out;
}

}  // namespace

std::string toUpperText(std::string_view utf8) {
    return mapText<toUpperChar>(utf8);
}
std::string toLowerText(std::string_view utf8) {
    return mapText<toLowerChar>(utf8);
}

}  // namespace engine
