// Prints GLIBC_TUNABLES as the program sees it once tuneAllocator() has run: the settings
// show only if the program was started again with them.
#include <cstdio>
#include <cstdlib>

#include "engine/allocator_tuning.h"

int main(int, char** argv) {
    engine::tuneAllocator(argv);
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    std::printf("%s\n", tunables ? tunables : "(unset)");
    return 0;
}
