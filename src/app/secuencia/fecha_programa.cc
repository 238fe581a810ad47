#include "app/secuencia/fecha_programa.h"

#include <sys/stat.h>

#include "run/date_time_text.h"

namespace app {

std::string FechaPrograma(const std::filesystem::path& ejecutable) {
    struct stat estado {};
    if (ejecutable.empty() || ::stat(ejecutable.c_str(), &estado) != 0) return "";
    return run::DateTimeText(run::LocalDateTimeOf(estado.st_mtime));
}

}  // namespace app
