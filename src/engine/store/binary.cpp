#include "engine/store/binary.h"

namespace engine::store {

void putVarint(std::string& out, uint64_t v) {
    while (v >= 0x80) {
        out.push_back(static_cast<char>((v & 0x7F) | 0x80));
        v >>= 7;
    }
    out.push_back(static_cast<char>(v));
}

void putSigned(std::string& out, int64_t v) {
    putVarint(out, (static_cast<uint64_t>(v) << 1) ^ static_cast<uint64_t>(v >> 63));
}

void putString(std::string& out, std::string_view s) {
    putVarint(out, s.size());
    out.append(s);
}

void putFixed32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void putFixed64(std::string& out, uint64_t v) {
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

bool getVarint(std::string_view& in, uint64_t& v) {
    v = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        if (in.empty()) return false;
        auto b = static_cast<unsigned char>(in.front());
        in.remove_prefix(1);
        v |= static_cast<uint64_t>(b & 0x7F) << shift;
        if (!(b & 0x80)) return true;
    }
    return false;
}

bool getSigned(std::string_view& in, int64_t& v) {
    uint64_t u;
    if (!getVarint(in, u)) return false;
    v = static_cast<int64_t>(u >> 1) ^ -static_cast<int64_t>(u & 1);
    return true;
}

bool getString(std::string_view& in, std::string& s) {
    uint64_t n;
    if (!getVarint(in, n) || n > in.size()) return false;
    s.assign(in.data(), n);
    in.remove_prefix(n);
    return true;
}

uint32_t loadFixed32(const char* p) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<uint32_t>(static_cast<unsigned char>(p[i])) << (8 * i);
    return v;
}

bool getFixed32(std::string_view& in, uint32_t& v) {
    if (in.size() < 4) return false;
    v = loadFixed32(in.data());
    in.remove_prefix(4);
    return true;
}

bool getFixed64(std::string_view& in, uint64_t& v) {
    if (in.size() < 8) return false;
    v = 0;
    for (int i = 0; i < 8; ++i)
        v |= static_cast<uint64_t>(static_cast<unsigned char>(in[i])) << (8 * i);
    in.remove_prefix(8);
    return true;
}

}  // namespace engine::store
