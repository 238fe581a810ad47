// Little helpers to write and read the store's binary encodings: varints, zigzag
// integers, length-prefixed strings, fixed-width words. Readers never read past the end:
// each get returns false on truncated input. Thread-compatible.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace engine::store {

void putVarint(std::string& out, uint64_t v);
void putSigned(std::string& out, int64_t v);
void putString(std::string& out, std::string_view s);
void putFixed32(std::string& out, uint32_t v);
void putFixed64(std::string& out, uint64_t v);
// Zig-zag varints of 128-bit integers (decimal cells).
void putSigned128(std::string& out, __int128 v);

bool getVarint(std::string_view& in, uint64_t& v);
bool getSigned(std::string_view& in, int64_t& v);
bool getString(std::string_view& in, std::string& s);
bool getFixed32(std::string_view& in, uint32_t& v);
bool getFixed64(std::string_view& in, uint64_t& v);
bool getSigned128(std::string_view& in, __int128& v);

// Reads a little-endian 32-bit word at p (no bounds check).
uint32_t loadFixed32(const char* p);

}  // namespace engine::store
