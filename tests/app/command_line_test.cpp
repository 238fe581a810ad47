#include "app/command_line.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "run/test_files.h"

namespace run {
// Readable failures: the five fields instead of the object's bytes.
void PrintTo(const ParametrosEjecucion& p, std::ostream* os) {
    *os << "{Usuario \"" << p.Usuario << "\", Clave \"" << p.Clave << "\", Servidor \""
        << p.Servidor << "\", SeguridadSQL " << p.SeguridadSQL << ", EmpresaSolicitada \""
        << p.EmpresaSolicitada << "\"}";
}
}  // namespace run

namespace app {
namespace {

using ::testing::ElementsAre;
using Params = run::ParametrosEjecucion;

TEST(JoinArguments, JoinsTheArgumentsAfterTheProgramNameWithSingleBlanks) {
    const char* none[] = {"prog"};
    EXPECT_EQ(JoinArguments(1, none), "");
    const char* plain[] = {"prog", "sa,secret,SRV:1433,0007"};
    EXPECT_EQ(JoinArguments(2, plain), "sa,secret,SRV:1433,0007");
    const char* split[] = {"prog", "sa,my", "pass,SRV", ""};
    EXPECT_EQ(JoinArguments(4, split), "sa,my pass,SRV ");
    const char* empty[] = {"prog", ""};
    EXPECT_EQ(JoinArguments(2, empty), "");
}

TEST(SplitPlainForm, SplitsAtEveryCommaKeepingEverythingElse) {
    EXPECT_THAT(SplitPlainForm("sa,secret,SRV"), ElementsAre("sa", "secret", "SRV"));
    EXPECT_THAT(SplitPlainForm(" a , \"b\",,"), ElementsAre(" a ", " \"b\"", "", ""));
    EXPECT_THAT(SplitPlainForm("solo"), ElementsAre("solo"));
}

TEST(SplitQuotedForm, QuotedParametersLoseTheirQuotesAndKeepInnerCommas) {
    EXPECT_THAT(SplitQuotedForm("\"sa\",\"p,w\",\"SRV\",\"0007\""),
                ElementsAre("sa", "p,w", "SRV", "0007"));
    EXPECT_THAT(SplitQuotedForm("\"sa\",\"\",\"SRV\""), ElementsAre("sa", "", "SRV"));
    EXPECT_THAT(SplitQuotedForm("\"sa\""), ElementsAre("sa"));
}

TEST(SplitQuotedForm, AnUnquotedParameterIsTakenWhole) {
    EXPECT_THAT(SplitQuotedForm("\"sa\",,SRV"), ElementsAre("sa", "", "SRV"));
    EXPECT_THAT(SplitQuotedForm("\"sa\",pw,\"SRV\""), ElementsAre("sa", "pw", "SRV"));
    EXPECT_THAT(SplitQuotedForm("\"sa\",\"pw\",SRV:1433,0007"),
                ElementsAre("sa", "pw", "SRV:1433", "0007"));
    EXPECT_THAT(SplitQuotedForm("\"sa\",\"pw\",S"), ElementsAre("sa", "pw", "S"));
}

TEST(SplitQuotedForm, QuotedParametersKeepTheirFormerReading) {
    // The character before each separator (normally the closing quote) goes, whatever it is.
    EXPECT_THAT(SplitQuotedForm("\"sa\" ,\"pw\"x,\"SRV\""), ElementsAre("sa", "pw", "SRV"));
    // Two commas in a row and a trailing comma give empty parameters.
    EXPECT_THAT(SplitQuotedForm("\"sa\",,\"SRV\","), ElementsAre("sa", "", "SRV", ""));
    // Only the enclosing quotes go; quotes inside the parameter stay.
    EXPECT_THAT(SplitQuotedForm("\"a\"\"b\",\"\"\""), ElementsAre("a\"\"b", ""));
    // An unterminated quote keeps every later comma inside, and its last character.
    EXPECT_THAT(SplitQuotedForm("\"sa,pw,SRV"), ElementsAre("sa,pw,SRV"));
    EXPECT_THAT(SplitQuotedForm("\"NULL\",\"\",\"/srv/datos"), ElementsAre("NULL", "", "/srv/datos"));
    EXPECT_THAT(SplitQuotedForm("\"sa\",\"pw\",\"S"), ElementsAre("sa", "pw", "S"));
    EXPECT_THAT(SplitQuotedForm("\""), ElementsAre(""));
}

class ReadCommandLineTest : public ::testing::Test {
  protected:
    run_test::TempDir dir_;
    run::UpdateLog log_{dir_.path() / "log.txt", [] { return run::LocalDateTime{}; }};

    run::ParametrosEjecucion Accept(std::string_view line) {
        std::optional<run::ParametrosEjecucion> p = ReadCommandLine(line, log_);
        EXPECT_TRUE(p.has_value()) << line;
        EXPECT_FALSE(log_.HayIncidencias()) << line;
        return p.value_or(run::ParametrosEjecucion{});
    }
    std::string Log() const { return run_test::ReadBytes(dir_.path() / "log.txt"); }
};

TEST_F(ReadCommandLineTest, AnEmptyLineIsRejectedAsAWrongWayToRunTheProgram) {
    EXPECT_FALSE(ReadCommandLine("", log_).has_value());
    EXPECT_TRUE(log_.HayIncidencias());
    EXPECT_EQ(Log(),
              "Error en el procesimiento Load:Incorrecta forma de ejecutar la aplicaci\xF3n"
              "     Mensaje devuelto por el servidor :\r\n--------------------\r\n");
}

TEST_F(ReadCommandLineTest, APlainLineWithFewerThanThreeParametersIsRejected) {
    for (const char* line : {"sa,secret", "sa", " ", "NULL,"}) {
        run::UpdateLog log(dir_.path() / "p.txt", [] { return run::LocalDateTime{}; });
        EXPECT_FALSE(ReadCommandLine(line, log).has_value()) << line;
        EXPECT_TRUE(log.HayIncidencias());
        EXPECT_EQ(run_test::ReadBytes(dir_.path() / "p.txt"),
                  "Error en el procesimiento Load:Parametros Incorrectos     Mensaje devuelto por "
                  "el servidor :\r\n--------------------\r\n");
        std::filesystem::remove(dir_.path() / "p.txt");
    }
}

TEST_F(ReadCommandLineTest, ThreePlainParametersLogInWithNoSelector) {
    EXPECT_EQ(Accept("sa,secret,SRV"), (Params{"sa", "secret", "SRV", true, ""}));
    EXPECT_EQ(Log(), "");  // an accepted line writes nothing
}

TEST_F(ReadCommandLineTest, NullMeansIntegratedSecurityAndColonsBecomeCommas) {
    EXPECT_EQ(Accept("NULL,,SRV:1433,VARDEX"), (Params{"NULL", "", "SRV,1433", false, "VARDEX"}));
    EXPECT_EQ(Accept("sa,x,a:b:c").Servidor, "a,b,c");
}

TEST_F(ReadCommandLineTest, TheNullComparisonIsCaseSensitive) {
    EXPECT_TRUE(Accept("null,,SRV").SeguridadSQL);
    EXPECT_TRUE(Accept("Null,,SRV").SeguridadSQL);
    EXPECT_TRUE(Accept("NULL ,,SRV").SeguridadSQL);
}

TEST_F(ReadCommandLineTest, PlainParametersAreTakenAsWritten) {
    // A plain selector keeps its quotes; parameters after the fourth are ignored.
    EXPECT_EQ(Accept(" sa , p w ,SRV ,\"0007\",ignored,too"),
              (Params{" sa ", " p w ", "SRV ", true, "\"0007\""}));
    EXPECT_EQ(Accept("a,b,").Servidor, "");
    EXPECT_EQ(Accept("sa,pw,./demo/datos").Servidor, "./demo/datos");
}

TEST_F(ReadCommandLineTest, TheQuotedFormKeepsCommasInsideQuotes) {
    EXPECT_EQ(Accept("\"sa\",\"p,w\",\"SRV:1433\",\"0007\""),
              (Params{"sa", "p,w", "SRV,1433", true, "0007"}));
}

TEST_F(ReadCommandLineTest, TheQuotedFormTakesAnUnquotedServerWhole) {
    EXPECT_EQ(Accept("\"sa\",,SRV"), (Params{"sa", "", "SRV", true, ""}));
}

TEST_F(ReadCommandLineTest, AQuotedSelectorLosesEveryQuote) {
    EXPECT_EQ(Accept("\"sa\",\"\",\"SRV\",\"00\"\"07\"").EmpresaSolicitada, "0007");
    EXPECT_EQ(Accept("\"sa\",\"\",\"SRV\",0\"07").EmpresaSolicitada, "007");
}

TEST_F(ReadCommandLineTest, TheQuotedFormDoesNotCountItsParameters) {
    EXPECT_EQ(Accept("\"NULL\""), (Params{"NULL", "", "", false, ""}));
    EXPECT_EQ(Accept("\""), (Params{"", "", "", true, ""}));
}

}  // namespace
}  // namespace app
