#include "engine/exec/memory_budget.h"

#include <unistd.h>

#include <cstdlib>

#include "engine/types/sql_message.h"

namespace engine::exec {

void MemoryBudget::charge(size_t bytes) {
    if (bytes > limit_ || used_ > limit_ - bytes) throw SqlException(sqlMessage(701, {"default"}));
    used_ += bytes;
}

size_t MemoryBudget::defaultLimit() {
    if (const char* mb = std::getenv("ENGINE_QUERY_MEMORY_MB")) {
        char* end = nullptr;
        unsigned long long v = std::strtoull(mb, &end, 10);
        if (end != mb && *end == '\0' && v > 0) return static_cast<size_t>(v) << 20;
    }
    long pages = ::sysconf(_SC_PHYS_PAGES);
    long pageSize = ::sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0) return size_t{1} << 30;
    return static_cast<size_t>(pages) * static_cast<size_t>(pageSize) / 4;
}

}  // namespace engine::exec
