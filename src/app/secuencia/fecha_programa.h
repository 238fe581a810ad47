// The program date: the modification date and time of the running executable, in the text
// form of the log's dates ("dd/mm/yyyy hh:mm:ss"). It is the release stamp the run writes
// into the central database and into every company database, so that support staff can tell
// which build last completed on each.
//
// Thread safety: reentrant.
#pragma once

#include <filesystem>
#include <string>

namespace app {

// The modification time of `ejecutable` in local time, as text; empty when the file cannot be
// read (the stamp is then written empty rather than wrong).
std::string FechaPrograma(const std::filesystem::path& ejecutable);

}  // namespace app
