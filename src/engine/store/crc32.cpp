#include "engine/store/crc32.h"

#include <libdeflate.h>

namespace engine::store {

uint32_t crc32(std::string_view bytes, uint32_t crc) {
    // libdeflate folds the bytes with carry-less multiplication where the processor has it:
    // several times faster than table lookups, which mattered once every byte of a large
    // snapshot was checksummed on opening.
    return libdeflate_crc32(crc, bytes.data(), bytes.size());
}

}  // namespace engine::store
