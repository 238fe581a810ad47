// Where the running program lives: its executable file and the directory that holds it. The
// log is written there, the base-data file is read from there, and the executable's
// modification date is the release stamp written into every database.
//
// Thread safety: reentrant.
#pragma once

#include <filesystem>
#include <string>

namespace run {

// The path of the running executable (from /proc/self/exe); empty if it cannot be read.
std::filesystem::path ProgramExecutable();

// The directory of the running executable; the current directory if it cannot be found.
std::filesystem::path ProgramDirectory();

// The program date: the modification date and time of the running executable as text
// ("dd/mm/yyyy hh:mm:ss"), the release stamp of every database and what --version prints;
// empty when it cannot be read (the stamp is then written empty rather than wrong).
std::string FechaPrograma();

}  // namespace run
