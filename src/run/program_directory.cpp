#include "run/program_directory.h"

#include <system_error>

#include "run/date_time_text.h"

namespace run {

std::filesystem::path ProgramExecutable() {
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : exe;
}

std::filesystem::path ProgramDirectory() {
    std::filesystem::path exe = ProgramExecutable();
    if (exe.empty()) {
        std::error_code error;
        return std::filesystem::current_path(error);
    }
    return exe.parent_path();
}

std::string FechaPrograma() {
    std::optional<LocalDateTime> fecha = ModificationDateTime(ProgramExecutable());
    return fecha ? DateTimeText(*fecha) : std::string();
}

}  // namespace run
