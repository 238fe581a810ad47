#include "run/windows1252.h"

#include <iconv.h>

#include <cerrno>

namespace run {
namespace {

// Length of the UTF-8 sequence that starts with `lead`, or 1 for a byte that cannot start one,
// so that an undecodable sequence is skipped as a whole where possible.
size_t SequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC2) return 2;
    return 1;
}

}  // namespace

std::string ToWindows1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    iconv_t cd = iconv_open("WINDOWS-1252//TRANSLIT", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        // Without iconv only plain ASCII survives unchanged.
        for (unsigned char c : utf8)
            out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
        return out;
    }
    char* in = const_cast<char*>(utf8.data());
    size_t in_left = utf8.size();
    char buffer[256];
    while (in_left > 0) {
        char* dst = buffer;
        size_t dst_left = sizeof buffer;
        size_t rc = iconv(cd, &in, &in_left, &dst, &dst_left);
        out.append(buffer, dst - buffer);
        if (rc != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        // EILSEQ (no Windows-1252 form, or invalid UTF-8) or EINVAL (cut-off sequence): put a
        // question mark in its place and go on after it.
        out.push_back('?');
        size_t skip = SequenceLength(static_cast<unsigned char>(*in));
        if (skip > in_left) skip = in_left;
        for (size_t i = 1; i < skip; ++i) {
            // Stop at the first byte that is not a continuation byte: it starts something new.
            if ((static_cast<unsigned char>(in[i]) & 0xC0) != 0x80) {
                skip = i;
                break;
            }
        }
        in += skip;
        in_left -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

}  // namespace run
