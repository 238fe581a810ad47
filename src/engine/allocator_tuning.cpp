#include "engine/allocator_tuning.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace engine {

namespace {

constexpr const char* kVariable = "GLIBC_TUNABLES";
constexpr const char* kSettings =
    "glibc.malloc.hugetlb=1:glibc.malloc.mmap_threshold=33554432:"
    "glibc.malloc.trim_threshold=134217728";

bool sanitized() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

}  // namespace

void tuneAllocator(char** argv) {
#ifdef __GLIBC__
    if (sanitized() || argv == nullptr || argv[0] == nullptr) return;
    const char* current = std::getenv(kVariable);
    // Set by the start before this one, or chosen by whoever started the program.
    if (current && std::strstr(current, "glibc.malloc.hugetlb")) return;
    const std::string previous = current ? current : "";
    const std::string value = previous.empty() ? kSettings : previous + ":" + kSettings;
    if (::setenv(kVariable, value.c_str(), 1) != 0) return;
    ::execv("/proc/self/exe", argv);
    // Not started again (no /proc, say): on with the defaults, the environment as it was.
    if (current)
        ::setenv(kVariable, previous.c_str(), 1);
    else
        ::unsetenv(kVariable);
#else
    (void)argv;
#endif
}

}  // namespace engine
