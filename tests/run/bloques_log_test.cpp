#include "run/bloques_log.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "run/test_files.h"
#include "run/update_log.h"

namespace run {
namespace {

namespace fs = std::filesystem;
using run_test::ReadBytes;
using run_test::TempDir;

void Write(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

// What a run killed during the company phase leaves: the log up to the last block appended,
// the blocks of the companies after it (finished or not), and files that are no blocks.
TEST(BloquesLogTest, AKilledRunsBlocksAreAppendedInGridOrderAndRemoved) {
    TempDir dir;
    const fs::path log = dir.path() / kLogFileName;
    Write(log, "central\r\n");
    Write(ArchivoBloque(log, 12), "fila 12\r\n");
    Write(ArchivoBloque(log, 4), "fila 4\r\n");
    Write(ArchivoBloque(log, 100), "fila 100\r\n");
    Write(dir.path() / "LogActualizacion.12.txt", "no es un bloque");
    Write(dir.path() / "LogActualizacion.00001x.txt", "tampoco");

    EXPECT_EQ(ArchivoBloque(log, 4).filename(), "LogActualizacion.000004.txt");
    EXPECT_EQ(RecuperarBloques(log), 3);
    EXPECT_EQ(ReadBytes(log), "central\r\nfila 4\r\nfila 12\r\nfila 100\r\n");
    EXPECT_FALSE(fs::exists(ArchivoBloque(log, 4)));
    EXPECT_FALSE(fs::exists(ArchivoBloque(log, 100)));
    EXPECT_TRUE(fs::exists(dir.path() / "LogActualizacion.12.txt"));
    EXPECT_TRUE(fs::exists(dir.path() / "LogActualizacion.00001x.txt"));
    EXPECT_EQ(RecuperarBloques(log), 0);
}

// Killed after a block was appended but before its file was removed: not appended twice.
TEST(BloquesLogTest, ABlockTheLogAlreadyEndsWithIsOnlyRemoved) {
    TempDir dir;
    const fs::path log = dir.path() / kLogFileName;
    Write(log, "central\r\nfila 3\r\n");
    Write(ArchivoBloque(log, 3), "fila 3\r\n");
    Write(ArchivoBloque(log, 5), "fila 5\r\n");
    EXPECT_TRUE(AnadirBloque(log, ArchivoBloque(log, 3)));
    EXPECT_FALSE(fs::exists(ArchivoBloque(log, 3)));
    EXPECT_EQ(RecuperarBloques(log), 1);
    EXPECT_EQ(ReadBytes(log), "central\r\nfila 3\r\nfila 5\r\n");
}

}  // namespace
}  // namespace run
