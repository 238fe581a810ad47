// CRC-32 (IEEE polynomial) of byte strings: the checksum of journal and snapshot records.
// Thread-safe.
#pragma once

#include <cstdint>
#include <string_view>

namespace engine::store {

uint32_t crc32(std::string_view bytes, uint32_t crc = 0);

}  // namespace engine::store
