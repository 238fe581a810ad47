// The C library's allocator set up for a process that holds large tables in memory.
//
// A table's columns are many allocations of hundreds of kilobytes, made and dropped as
// statements rebuild them. With glibc's defaults each one is a fresh mapping whose every
// 4 KiB page faults on first touch (about 10 us each on the virtual machines this runs on:
// a third of a large company's update went to the kernel), and is given back on free.
// Transparent huge pages for the heap (glibc.malloc.hugetlb=1), and a heap that serves
// allocations up to 32 MiB and keeps up to 128 MiB free at its top, cut those faults by two
// orders of magnitude. glibc reads these settings only when a process starts, from
// GLIBC_TUNABLES: tuneAllocator() sets them and starts the program again, once.
#pragma once

namespace engine {

// To be called first thing in main(), before any thread or output. Replaces the process
// image with the same program and arguments (execv) when the settings are not yet in the
// environment; returns when they are, when the user chose huge-page settings of their own,
// in sanitizer builds (their allocator is not glibc's) and when the program cannot be
// started again (it runs on with the defaults).
void tuneAllocator(char** argv);

}  // namespace engine
