// The base-data file of the fixtures, copied into a test's program folder as the program
// finds it (Include/Datos Base.MDB), or something else in its place.
#pragma once

#include <filesystem>
#include <string>

namespace refdata::testing {

// Copies the fixture file to `programDirectory`/`relativePath`.
void InstallBaseDataFile(const std::filesystem::path& programDirectory,
                         const std::string& relativePath = "Include/Datos Base.MDB");

// Writes `bytes` to `programDirectory`/Include/Datos Base.MDB.
void WriteFakeBaseDataFile(const std::filesystem::path& programDirectory, const std::string& bytes);

}  // namespace refdata::testing
