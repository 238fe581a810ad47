// Runs the built program as a person would: a copy of the executable in a folder of its own
// (the program writes its log beside itself), with and without a display.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "app/program_runner.h"
#include "run/test_files.h"

namespace {

using run_test::ReadBytes;
using run_test::TempDir;
using ::testing::HasSubstr;
using ::testing::Not;

const std::string kSep = "--------------------\r\n";
const std::regex kStartLine(
    "Inicio proceso de actualizaci\xF3n de Catalogos a "
    "[0-3][0-9]/[01][0-9]/[0-9]{4} [0-2][0-9]:[0-5][0-9]:[0-5][0-9]\r\n--------------------\r\n");

// The log of a run whose server could not be reached: the start line and the listing
// connection's error, with whatever the driver said.
const std::regex kServerUnreachableLog(
    "Inicio proceso de actualizaci\xF3n de Catalogos a [0-9/]{10} [0-9:]{8}\r\n"
    "--------------------\r\n"
    "Error en el procesimiento RealizarConexion:Error de conexi\xF3n con el servidor     "
    "Mensaje devuelto por el servidor :[^\r\n]*\r\n--------------------\r\n");

using app_test::Outcome;

const std::string kUsage = "usage: actualiza-catalogos USER,PASSWORD,SERVER[,SELECTOR]\n";
const std::string kParametrosIncorrectos =
    "Error en el procesimiento Load:Parametros Incorrectos     "
    "Mensaje devuelto por el servidor :\r\n" +
    kSep;

class ProgramTest : public ::testing::Test {
  protected:
    ProgramTest() {
        std::filesystem::create_directory(install_);
        std::filesystem::copy_file(ACTUALIZA_EXE, exe_);
    }

    // Runs the copy with `args` from another working directory, with no display unless `env`
    // names one; standard input is not a terminal.
    Outcome Run(const std::vector<std::string>& args,
                const std::map<std::string, std::string>& env = {}) {
        return app_test::RunProgram(exe_, args, dir_.path(), env);
    }

    std::string Log() const { return ReadBytes(install_ / "LogActualizacion.txt"); }

    TempDir dir_;
    std::filesystem::path install_ = dir_.path() / "programa";
    std::filesystem::path exe_ = install_ / "actualiza-catalogos";
};

TEST_F(ProgramTest, AnEmptyCommandLineLeavesTheErrorInTheLogAndNoView) {
    for (auto env : {std::map<std::string, std::string>{},
                     std::map<std::string, std::string>{{"QT_QPA_PLATFORM", "offscreen"}}}) {
        Outcome outcome = Run({}, env);
        EXPECT_EQ(outcome.exit_code, 2);
        // The usage text, and neither the console view nor a window.
        EXPECT_THAT(outcome.err, ::testing::StartsWith(kUsage));
        EXPECT_THAT(outcome.err, Not(HasSubstr("Procesos")));
        EXPECT_EQ(outcome.out, "");
        std::string log = Log();
        std::smatch start;
        ASSERT_TRUE(std::regex_search(log, start, kStartLine)) << log;
        EXPECT_EQ(start.position(0), 0);
        EXPECT_EQ(log.substr(start.length(0)),
                  "Error en el procesimiento Load:Incorrecta forma de ejecutar la aplicaci\xF3n"
                  "     Mensaje devuelto por el servidor :\r\n" +
                      kSep);
        EXPECT_FALSE(std::filesystem::exists(dir_.path() / "LogActualizacion.txt"));
    }
}

TEST_F(ProgramTest, TwoPlainParametersAreRejected) {
    Outcome outcome = Run({"sa,secret"});
    EXPECT_EQ(outcome.exit_code, 2);
    EXPECT_THAT(outcome.err, ::testing::StartsWith(kUsage));
    EXPECT_THAT(Log(), HasSubstr("\r\n" + kSep +
                                 "Error en el procesimiento Load:Parametros Incorrectos     "
                                 "Mensaje devuelto por el servidor :\r\n" +
                                 kSep));
}

// Asking for help is a rejected line like any other: the same log, plus the usage text; asking
// for the version gets the program date on standard output. The log is the same with or
// without a display, and no server is ever reached (none is named).
TEST_F(ProgramTest, HelpAndVersionLeaveTheLogOfARejectedLine) {
    // The program date is the executable's modification time, shown in local time.
    std::filesystem::last_write_time(
        exe_, std::filesystem::file_time_type::clock::from_sys(
                  std::chrono::sys_days{std::chrono::year{2026} / 3 / 9} + std::chrono::hours{7} +
                  std::chrono::minutes{5} + std::chrono::seconds{4}));
    struct Case {
        std::vector<std::string> args;
        int exit_code;
        std::string out;
        bool usage;
    };
    for (const Case& c :
         {Case{{"--help"}, 2, "", true}, Case{{"-h"}, 2, "", true}, Case{{"/?"}, 2, "", true},
          Case{{"a,b", "--version"}, 2, "", true},
          Case{{"--version"}, 0, "actualiza-catalogos 09/03/2026 07:05:04\n", false}}) {
        for (auto env : {std::map<std::string, std::string>{{"TZ", "UTC"}},
                         std::map<std::string, std::string>{{"TZ", "UTC"},
                                                            {"QT_QPA_PLATFORM", "offscreen"}}}) {
            SCOPED_TRACE(c.args.back() + (env.size() > 1 ? " with a display" : ""));
            Outcome outcome = Run(c.args, env);
            EXPECT_EQ(outcome.exit_code, c.exit_code);
            EXPECT_EQ(outcome.out, c.out);
            if (c.usage)
                EXPECT_THAT(outcome.err, ::testing::StartsWith(kUsage));
            else
                EXPECT_EQ(outcome.err, "");
            std::string log = Log();
            std::smatch start;
            ASSERT_TRUE(std::regex_search(log, start, kStartLine)) << log;
            EXPECT_EQ(start.position(0), 0);
            EXPECT_EQ(log.substr(start.length(0)), kParametrosIncorrectos);
        }
    }
}

TEST_F(ProgramTest, WithoutADisplayTheConsoleViewShowsTheGridAndTheProgramEnds) {
    Outcome outcome = Run({"NULL,,./demo/datos"});  // no such data directory here
    EXPECT_EQ(outcome.exit_code, 3);
    EXPECT_EQ(outcome.err,
              "Actualizando catálogos de bases de datos...\n"
              "Actualización de catálogos de bases de datos\n"
              "Procesos\n"
              "  [ ] Conectando con el Servidor\n"
              "  [ ] Actualizando Vardex\n");
    EXPECT_TRUE(std::regex_match(Log(), kServerUnreachableLog)) << Log();
}

TEST_F(ProgramTest, TheQuotedFormMayBeSplitIntoSeveralArguments) {
    Outcome outcome = Run({"\"sa\",\"p,w", "x\",\"SRV\",\"0007\""});
    EXPECT_EQ(outcome.exit_code, 3);
    EXPECT_THAT(outcome.err, HasSubstr("Conectando con el Servidor"));
    EXPECT_THAT(outcome.err, Not(HasSubstr("Actualizando Vardex")));  // one company: row hidden
}

TEST_F(ProgramTest, WithADisplayTheWindowOpensAndClosesByItself) {
    Outcome outcome = Run({"sa,secret,SRV:1433"}, {{"QT_QPA_PLATFORM", "offscreen"}});
    EXPECT_EQ(outcome.exit_code, 3);
    EXPECT_THAT(outcome.err, Not(HasSubstr("Procesos")));  // no console view
    EXPECT_TRUE(std::regex_match(Log(), kServerUnreachableLog)) << Log();
}

TEST_F(ProgramTest, EachRunStartsTheLogAnew) {
    Run({"a,b"});
    ASSERT_THAT(Log(), HasSubstr("Parametros Incorrectos"));
    Run({"a,b,c"});
    EXPECT_TRUE(std::regex_match(Log(), kServerUnreachableLog)) << Log();
}

}  // namespace
