#include "refdata/base_data_fixture.h"

#include <cstdlib>
#include <fstream>

namespace refdata::testing {

namespace {

// In the repository once the fixtures are there, else beside it; the environment may say.
std::filesystem::path FixtureFile() {
    if (const char* env = std::getenv("ACTUALIZA_BASE_DATA_FIXTURE")) return env;
    for (const char* candidate : {ACTUALIZA_REPO_BASE_DATA, ACTUALIZA_SHARED_BASE_DATA}) {
        if (std::filesystem::exists(candidate)) return candidate;
    }
    return ACTUALIZA_SHARED_BASE_DATA;
}

}  // namespace

void InstallBaseDataFile(const std::filesystem::path& programDirectory,
                         const std::string& relativePath) {
    const std::filesystem::path target = programDirectory / relativePath;
    std::filesystem::create_directories(target.parent_path());
    std::filesystem::copy_file(FixtureFile(), target,
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(
        target, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

void WriteFakeBaseDataFile(const std::filesystem::path& programDirectory,
                           const std::string& bytes) {
    std::filesystem::create_directories(programDirectory / "Include");
    std::ofstream(programDirectory / "Include/Datos Base.MDB", std::ios::binary) << bytes;
}

}  // namespace refdata::testing
