#include "db/odbc/odbc_support.h"

#include <gtest/gtest.h>

#include "db/odbc/odbc_connection_impl.h"

namespace db::odbc {
namespace {

TEST(ChooseDriver, PrefersMicrosoftDriversThenFreeTdsAndHonoursTheOverride) {
    const std::vector<std::string> all = {"SQLite3", "FreeTDS", "ODBC Driver 17 for SQL Server",
                                          "ODBC Driver 18 for SQL Server"};
    EXPECT_EQ(chooseDriver(all, nullptr), "ODBC Driver 18 for SQL Server");
    EXPECT_EQ(chooseDriver({"FreeTDS", "ODBC Driver 17 for SQL Server"}, nullptr), "ODBC Driver 17 for SQL Server");
    EXPECT_EQ(chooseDriver({"SQLite3", "freetds"}, nullptr), "freetds");
    EXPECT_EQ(chooseDriver({"SQLite3"}, nullptr), "");
    EXPECT_EQ(chooseDriver(all, ""), "ODBC Driver 18 for SQL Server");
    EXPECT_EQ(chooseDriver(all, "SQLite3"), "SQLite3");
}

TEST(OdbcConnectionString, FreeTdsGetsPortProtocolAndCharset) {
    ConnectionSettings s;
    s.server = "dbhost,1433";
    s.database = "Vardex";
    s.user = "sa";
    s.password = "secret";
    EXPECT_EQ(odbcConnectionString(s, "FreeTDS"),
              "Driver={FreeTDS};Server=dbhost;Port=1433;Database=Vardex;UID=sa;PWD=secret;"
              "TDS_Version=7.4;ClientCharset=UTF-8;Language=");
    EXPECT_EQ(odbcConnectionString(s, "ODBC Driver 17 for SQL Server"),
              "Driver={ODBC Driver 17 for SQL Server};Server=dbhost,1433;Database=Vardex;UID=sa;PWD=secret");
    s.integratedSecurity = true;
    EXPECT_EQ(odbcConnectionString(s, "ODBC Driver 18 for SQL Server"),
              "Driver={ODBC Driver 18 for SQL Server};Server=dbhost,1433;Database=Vardex;Trusted_Connection=yes;"
              "TrustServerCertificate=yes");
}

TEST(DateEscapes, BecomeLanguageNeutralLiteralsOutsideQuotedText) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"UPDATE T SET F={d'2009-10-31'} WHERE F IS NULL", "UPDATE T SET F='20091031' WHERE F IS NULL"},
        {"SELECT { ts '2009-10-31 10:00:00' }, {t '10:00:00'}", "SELECT '2009-10-31T10:00:00', '10:00:00'"},
        {"SELECT '{d''2009-10-31''}', [x{d'1'}], \"{d'1'}\"", "SELECT '{d''2009-10-31''}', [x{d'1'}], \"{d'1'}\""},
        {"SELECT {fn NOW()}, {d '2009-10-31'", "SELECT {fn NOW()}, {d '2009-10-31'"},
        {"SELECT 'unterminated {d'1'}", "SELECT 'unterminated {d'1'}"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(languageNeutralDateEscapes(in), out) << in;
}

TEST(OdbcConnectionString, HostileValuesStayInsideTheirAttribute) {
    ConnectionSettings s;
    s.server = "srv";
    s.database = "Empresa_0001";
    s.user = "u;Database=master";
    s.password = "p}w;Trusted_Connection=yes;x={";
    const std::string text = odbcConnectionString(s, "ODBC Driver 17 for SQL Server");
    auto pairs = splitConnectionString(text);
    ASSERT_TRUE(pairs);
    ASSERT_EQ(pairs->size(), 5u) << text;
    EXPECT_EQ((*pairs)[2], (std::pair<std::string, std::string>{"Database", "Empresa_0001"}));
    EXPECT_EQ((*pairs)[3].second, s.user);
    EXPECT_EQ((*pairs)[4].second, s.password);
}

TEST(OdbcDiagnostics, DriverPrefixesAreDropped) {
    EXPECT_EQ(stripDriverPrefixes("[Microsoft][ODBC Driver 18 for SQL Server][SQL Server]Invalid column name 'x'."),
              "Invalid column name 'x'.");
    EXPECT_EQ(stripDriverPrefixes("[FreeTDS][SQL Server]Login failed"), "Login failed");
    EXPECT_EQ(stripDriverPrefixes("no prefix [kept]"), "no prefix [kept]");
}

TEST(OdbcText, Utf16RoundTripsAccentsAndAstralCharacters) {
    const std::string text = "Almería Ávila ñ € 𝄞";
    EXPECT_EQ(toUtf8(toUtf16(text)), text);
    EXPECT_EQ(toUtf16("é").size(), 1u);
    EXPECT_EQ(toUtf16("𝄞").size(), 2u);
}

TEST(SingleTableOf, FindsTheTableOfSimpleSelectsOnly) {
    EXPECT_EQ(singleTableOf("SELECT * FROM PROPIEDADES WHERE NOMBRE='X'"), "PROPIEDADES");
    EXPECT_EQ(singleTableOf("select a,b from dbo.T"), "dbo.T");
    EXPECT_EQ(singleTableOf("SELECT ENTIDAD,SUCURSAL, BIC,IBAN FROM CTANUEVOPGC WHERE (IBAN IS NULL) "), "CTANUEVOPGC");
    EXPECT_EQ(singleTableOf("select x from [My Table] order by x"), "[My Table]");
    EXPECT_EQ(singleTableOf("select (select max(a) from u) from t"), "t");
    EXPECT_EQ(singleTableOf("select 'from x' as c from t where c='from y'"), "t");
    EXPECT_FALSE(singleTableOf("select * from a, b"));
    EXPECT_FALSE(singleTableOf("select * from a join b on a.x=b.x"));
    EXPECT_FALSE(singleTableOf("select 1"));
    EXPECT_FALSE(singleTableOf("update t set a=1"));
}

}  // namespace
}  // namespace db::odbc
