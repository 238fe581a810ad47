// Where the running program lives: its executable file and the directory that holds it. The
// log is written there, the base-data file is read from there, and the executable's
// modification date is the release stamp written into every database.
//
// Thread safety: reentrant.
#pragma once

#include <filesystem>

namespace run {

// The path of the running executable (from /proc/self/exe); empty if it cannot be read.
std::filesystem::path ProgramExecutable();

// The directory of the running executable; the current directory if it cannot be found.
std::filesystem::path ProgramDirectory();

}  // namespace run
