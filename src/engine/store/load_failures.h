// How the loaders of a database's files name what they found wrong.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "engine/store/database_store.h"

namespace engine::store {

inline std::string hex32(uint32_t v) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08x", v);
    return buffer;
}

inline LoadFailure damaged(const std::filesystem::path& file, uint64_t offset, std::string detail) {
    return LoadFailure{LoadFailure::Kind::Damaged, file, offset, std::move(detail)};
}

// A record whose bytes do not give the checksum stored with it; `which` names the record.
inline LoadFailure checksumMismatch(const std::filesystem::path& file, uint64_t offset,
                                    const std::string& which, uint32_t stored, uint32_t computed) {
    return damaged(file, offset,
                   which + " fails its checksum (stored " + hex32(stored) + ", computed " +
                       hex32(computed) + ")");
}

inline LoadFailure unreadable(const std::filesystem::path& file, std::string detail) {
    return LoadFailure{LoadFailure::Kind::Unreadable, file, 0, std::move(detail)};
}

}  // namespace engine::store
