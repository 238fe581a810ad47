#include "run/update_log.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "run/test_files.h"

namespace run {
namespace {

using run_test::ReadBytes;
using run_test::TempDir;

const std::string kSep = "--------------------\r\n";

class UpdateLogTest : public ::testing::Test {
  protected:
    LocalDateTime now_{2026, 12, 8, 9, 3, 7};
    TempDir dir_;
    UpdateLog log_{dir_.path() / kLogFileName, [this] { return now_; }};

    std::string Contents() const { return ReadBytes(dir_.path() / kLogFileName); }
    std::string StartLine() const {
        return "Inicio proceso de actualizaci\xF3n de Catalogos a 08/12/2026 09:03:07\r\n" + kSep;
    }
};

TEST_F(UpdateLogTest, IniciarLogWritesTheStartLineInWindows1252WithCrlf) {
    log_.IniciarLog();
    EXPECT_EQ(Contents(), StartLine());
}

TEST_F(UpdateLogTest, IniciarLogDiscardsThePreviousRun) {
    log_.IniciarLog();
    log_.EscribirLog("Load", "primera ejecución", "", kNivelError);
    now_.minute = 4;
    log_.IniciarLog();
    EXPECT_EQ(Contents(),
              "Inicio proceso de actualizaci\xF3n de Catalogos a 08/12/2026 09:04:07\r\n" + kSep);
}

TEST_F(UpdateLogTest, EachLevelHasItsOwnLayout) {
    log_.IniciarLog();
    log_.EscribirLog("Load", "Incorrecta forma de ejecutar la aplicación", "", kNivelError);
    log_.EscribirLog("Form_Activate", "Comenzando actualizacion de Vardex", "x", kNivelInformacion);
    log_.EscribirLog("Form_Activate", "No hay registros para actualizar sobre EMP", "x",
                     kNivelAdvertencia);
    log_.EscribirLog("RealizarConexion", "Error de conexión con el servidor",
                     "Login failed for user 'sa'.", kNivelError);
    EXPECT_EQ(Contents(),
              StartLine() +
                  "Error en el procesimiento Load:Incorrecta forma de ejecutar la aplicaci\xF3n"
                  "     Mensaje devuelto por el servidor :\r\n" +
                  kSep + "Informaci\xF3n:  Comenzando actualizacion de Vardex\r\n" + kSep +
                  "Advertencia en el procedimiento Form_Activate:  No hay registros para "
                  "actualizar sobre EMP\r\n" +
                  kSep +
                  "Error en el procesimiento RealizarConexion:Error de conexi\xF3n con el "
                  "servidor     Mensaje devuelto por el servidor :Login failed for user 'sa'.\r\n" +
                  kSep);
}

TEST_F(UpdateLogTest, AnErrorWithEmptyPartsStillWritesItsLayoutAndSetsTheFlag) {
    log_.IniciarLog();
    EXPECT_FALSE(log_.HayIncidencias());
    log_.EscribirLog("", "", "", kNivelError);
    EXPECT_TRUE(log_.HayIncidencias());
    EXPECT_EQ(Contents(), StartLine() +
                              "Error en el procesimiento :     Mensaje devuelto por el servidor "
                              ":\r\n" +
                              kSep);
}

TEST_F(UpdateLogTest, OnlyErrorsSetTheIncidentFlag) {
    log_.EscribirLog("p", "info", "", kNivelInformacion);
    log_.EscribirLog("p", "aviso", "", kNivelAdvertencia);
    EXPECT_FALSE(log_.HayIncidencias());
    log_.EscribirLog("p", "fallo", "", kNivelError);
    EXPECT_TRUE(log_.HayIncidencias());
    log_.SetHayIncidencias(false);
    log_.EscribirLog("p", "info", "", kNivelInformacion);
    EXPECT_FALSE(log_.HayIncidencias());
}

TEST_F(UpdateLogTest, OtherLevelsWriteNothingAndLeaveTheFlagAlone) {
    log_.IniciarLog();
    for (std::int16_t level : {0, 4, -1, 100})
        log_.EscribirLog("p", "m", "s", level);
    EXPECT_EQ(Contents(), StartLine());
    EXPECT_FALSE(log_.HayIncidencias());
    log_.EscribirLog("p", "m", "s", kNivelError);
    log_.EscribirLog("p", "m", "s", 0);
    EXPECT_TRUE(log_.HayIncidencias());
}

TEST_F(UpdateLogTest, EveryEntryIsOnDiskWhenTheCallReturns) {
    log_.IniciarLog();
    size_t before = Contents().size();
    log_.EscribirLog("", "uno", "", kNivelInformacion);
    size_t after_one = Contents().size();
    EXPECT_GT(after_one, before);
    log_.EscribirLog("", "dos", "", kNivelInformacion);
    EXPECT_GT(Contents().size(), after_one);
}

TEST_F(UpdateLogTest, ServerTextsWithCharactersOutsideTheCodePageKeepTheEntry) {
    log_.IniciarLog();
    log_.EscribirLog("p", "m", "Ошибка ó", kNivelError);
    std::string text = Contents();
    EXPECT_NE(text.find("Mensaje devuelto por el servidor :"), std::string::npos);
    EXPECT_NE(text.find(" \xF3\r\n" + kSep), std::string::npos);
}

TEST(UpdateLogFailures, AnUnwritableLogIsIgnoredAndToldOnce) {
    TempDir dir;
    UpdateLog log(dir.path() / "missing" / kLogFileName, CurrentLocalDateTime);
    std::vector<std::string> told;
    log.SetFailureHook([&](const std::filesystem::path& file, std::string_view reason) {
        told.push_back(file.string() + ": " + std::string(reason));
    });
    log.IniciarLog();
    log.EscribirLog("Load", "Parametros Incorrectos", "", kNivelError);
    log.EscribirLog("Load", "m", "", kNivelInformacion);
    EXPECT_TRUE(log.HayIncidencias());  // the flag is kept even when the entry is lost
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing"));
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], (dir.path() / "missing" / kLogFileName).string() + ": " + std::strerror(ENOENT));
}

TEST(UpdateLogFailures, ALogPathTakenByADirectoryIsIgnored) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / kLogFileName);
    UpdateLog log(dir.path() / kLogFileName, CurrentLocalDateTime);
    log.IniciarLog();
    log.EscribirLog("Load", "m", "", kNivelError);
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / kLogFileName));
    EXPECT_TRUE(log.HayIncidencias());
}

}  // namespace
}  // namespace run
