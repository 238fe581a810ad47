#include "refdata/datos_base_empresa.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "refdata/fake_connection.h"
#include "support/run_fixture.h"

namespace refdata {
namespace {

using db::Variant;
using namespace testing;

constexpr const char* kSondaIndice =
    "SELECT * FROM SYSINDEXES WHERE ID=OBJECT_ID('indcor') AND NAME='ACTINDICE'";
// The fixture's clock says 2026: the returns of 2022 to 2024 are read.
constexpr const char* kModulosDBE =
    "Select actividad,ejercicio,unidadmodulo1,unidadmodulo2,unidadmodulo3,unidadmodulo4,"
    "unidadmodulo5,unidadmodulo6,unidadmodulo7 from modact131 where ejercicio>=2022 and "
    "ejercicio<2025 and  periodo='4T'";
constexpr const char* kModulosDBI =
    "Select actividad,ejercicio,unidadmodulo1,unidadmodulo2,unidadmodulo3,unidadmodulo4,"
    "unidadmodulo5,unidadmodulo6,unidadmodulo7 from modact131 where ejercicio>=2022 and "
    "ejercicio<2025 and periodo='4T'";

Row Declaracion(const char* actividad, int ejercicio, int base, const char* periodo) {
    Row row = {T(actividad), I(ejercicio)};
    for (int i = 1; i <= 7; ++i)
        row.push_back(I(base + i));
    row.push_back(T(periodo));
    return row;
}

class DatosBaseEmpresaTest : public ::testing::Test {
  protected:
    DatosBaseEmpresaTest() {
        fixture.EmpresaActual("0001");
        indices.rows = {{T("ACTINDICE")}};
        sql.Answer(kSondaIndice, indices);
        modact.rows = {
            Declaracion("6920", 2023, 10, "4T"),
            Declaracion("6920", 2023, 90, "3T"),  // another quarter: ignored
            Declaracion("6910", 2021, 30, "4T"),  // too old
            Declaracion("6910", 2024, 20, "4T"),  // no INDCOR row for 2024 yet
        };
        const auto cuartoTrimestre = [](const Row& r) {
            const auto year = r[1].intValue();
            return year >= 2022 && year < 2025 && r[9].toText() == "4T";
        };
        sql.Answer(kModulosDBE, modact, cuartoTrimestre);
        sql.Answer(kModulosDBI, modact, cuartoTrimestre);
        indcor.rows = {IndcorRow("6920", 2023), IndcorRow("6920", 2025)};
        for (const auto& [act, year] : {std::pair{"6920", 2023}, std::pair{"6910", 2024}}) {
            sql.Answer(std::string("select * from indcor where act='") + act +
                           "' and ejercicio=" + std::to_string(year),
                       indcor, [act, year](const Row& r) {
                           return r[0].toText() == act && r[1].toNumber() == year;
                       });
        }
    }

    Row IndcorRow(const char* act, int year) {
        Row row(indcor.fields.size());
        row[0] = T(act);
        row[1] = I(year);
        row[indcor.Column("ICI")] = I(5);
        return row;
    }

    std::vector<std::string> Units(std::size_t row, const char* prefix) const {
        std::vector<std::string> units;
        for (int i = 1; i <= 7; ++i)
            units.push_back(indcor.Text(row, prefix + std::to_string(i)));
        return units;
    }

    bool Sent(const std::string& text) const {
        return std::find(sql.sent.begin(), sql.sent.end(), text) != sql.sent.end();
    }

    test_support::RunFixture fixture;
    FakeConnection sql;
    FakeTable indices = FakeTable::WithColumns({"name"});
    FakeTable modact = FakeTable::WithColumns(
        {"actividad", "ejercicio", "unidadmodulo1", "unidadmodulo2", "unidadmodulo3",
         "unidadmodulo4", "unidadmodulo5", "unidadmodulo6", "unidadmodulo7", "periodo"});
    FakeTable indcor = FakeTable::WithColumns({"act", "Ejercicio", "DBE1", "DBE2", "DBE3", "DBE4",
                                               "DBE5", "DBE6", "DBE7", "DBI1", "DBI2", "DBI3",
                                               "DBI4", "DBI5", "DBI6", "DBI7", "ICI"});
};

TEST_F(DatosBaseEmpresaTest, ConvertsAnOldTableToThePerYearLayout) {
    ActualizaDatosBaseEmpresa(fixture.ctx(), sql);
    const std::vector<std::string> executed = sql.Executed();
    ASSERT_EQ(executed.size(), 2u + 20u + 4u);
    EXPECT_EQ(executed[0], "DROP INDEX INDCOR.ACTINDICE");
    EXPECT_EQ(executed[1],
              "IF EXISTS(select TOP 1 *  from syscolumns where name ='librdatosbase1' and "
              "id=object_id('INDCOR')) exec sp_rename 'INDCOR.librdatosbase1','DBI8','COLUMN'");
    EXPECT_EQ(executed[2], "Alter Table INDCOR ADD Ejercicio int NOT NULL DEFAULT(0) ");
    EXPECT_EQ(executed[8], "Alter Table INDCOR ADD ICLOCAL bit NOT NULL DEFAULT(0) ");
    EXPECT_EQ(executed[20], "Alter Table INDCOR ADD ICDISCAPACIDAD bit NOT NULL DEFAULT(0) ");
    EXPECT_EQ(std::vector<std::string>(executed.end() - 4, executed.end()),
              (std::vector<std::string>{
                  "drop index INDCOR.APUNTNUM",
                  "create unique index APUNTNUM on INDCOR (ACT,Ejercicio)",
                  "update indcor set Ejercicio=2025 where Ejercicio=0",
                  "insert into indcor (act,DBI1,DBI2,DBI3,DBI4,DBI5,DBI6,DBI7,ICI,DBE1,DBE2,DBE3,"
                  "DBE4,DBE5,DBE6,DBE7,ICE,ICE2,ICE3,ICE4,DBI8,Ejercicio) select act,DBI1,DBI2,"
                  "DBI3,DBI4,DBI5,DBI6,DBI7,ICI,DBE1,DBE2,DBE3,DBE4,DBE5,DBE6,DBE7,ICE,ICE2,ICE3,"
                  "ICE4,DBI8,YEAR(GETDATE()) from indcor where Ejercicio=2025",
              }));
    EXPECT_TRUE(Sent(std::string("open: ") + kModulosDBE));
    EXPECT_TRUE(Sent(std::string("open: ") + kModulosDBI));
}

TEST_F(DatosBaseEmpresaTest, CopiesTheFourthQuarterUnitsIntoBothColumnSets) {
    ActualizaDatosBaseEmpresa(fixture.ctx(), sql);
    const std::vector<std::string> declared = {"11", "12", "13", "14", "15", "16", "17"};
    EXPECT_EQ(Units(0, "DBE"), declared);
    EXPECT_EQ(Units(0, "DBI"), declared);
    EXPECT_EQ(indcor.Text(0, "ICI"), "5");
    // The other year's row of the same activity is not touched.
    EXPECT_EQ(Units(1, "DBE"), std::vector<std::string>(7, ""));
    // A return for a year without a row creates the row with only its key and its units.
    ASSERT_EQ(indcor.rows.size(), 3u);
    EXPECT_EQ(indcor.Text(2, "act"), "6910");
    EXPECT_EQ(indcor.Text(2, "Ejercicio"), "2024");
    EXPECT_EQ(Units(2, "DBE"),
              (std::vector<std::string>{"21", "22", "23", "24", "25", "26", "27"}));
    EXPECT_EQ(Units(2, "DBI"),
              (std::vector<std::string>{"21", "22", "23", "24", "25", "26", "27"}));
    EXPECT_TRUE(indcor.At(2, "ICI").isNull());
}

TEST_F(DatosBaseEmpresaTest, ATableAlreadyPerYearOnlyGetsTheNewColumns) {
    indices.rows.clear();
    sql.ColumnAlreadyThere("INDCOR", "Ejercicio");
    ActualizaDatosBaseEmpresa(fixture.ctx(), sql);
    const std::vector<std::string> executed = sql.Executed();
    EXPECT_EQ(executed.front().rfind("IF EXISTS(select TOP 1 *", 0), 0u);
    EXPECT_EQ(std::count_if(executed.begin(), executed.end(),
                            [](const std::string& s) {
                                return s.find("APUNTNUM") != std::string::npos ||
                                       s.find("ACTINDICE") != std::string::npos;
                            }),
              0);
    EXPECT_FALSE(Sent(std::string("open: ") + kModulosDBE));
    EXPECT_EQ(Units(0, "DBE"), std::vector<std::string>(7, ""));
}

TEST_F(DatosBaseEmpresaTest, AnOldIndexAloneStillBringsTheModuleCopy) {
    sql.ColumnAlreadyThere("INDCOR", "Ejercicio");
    ActualizaDatosBaseEmpresa(fixture.ctx(), sql);
    EXPECT_TRUE(Sent("exec: DROP INDEX INDCOR.ACTINDICE"));
    EXPECT_FALSE(Sent("exec: drop index INDCOR.APUNTNUM"));
    EXPECT_EQ(Units(0, "DBI")[0], "11");
}

TEST_F(DatosBaseEmpresaTest, AFailedIndexProbeCountsAsAnExistingIndex) {
    sql.Fail(kSondaIndice, 208, "Invalid object name 'SYSINDEXES'.");
    sql.ColumnAlreadyThere("INDCOR", "Ejercicio");
    ActualizaDatosBaseEmpresa(fixture.ctx(), sql);
    EXPECT_TRUE(Sent("exec: DROP INDEX INDCOR.ACTINDICE"));
    EXPECT_TRUE(Sent(std::string("open: ") + kModulosDBE));
}

TEST_F(DatosBaseEmpresaTest, ARefusedSaveIsCancelledAndTheNextEntryFollows) {
    sql.acceptRow = [](const Row& r) { return r[0].toText() != "6920"; };
    TraspasarModulosIndcor(fixture.ctx(), sql);
    EXPECT_EQ(Units(0, "DBE"), std::vector<std::string>(7, ""));
    ASSERT_EQ(indcor.rows.size(), 3u);
    EXPECT_EQ(Units(2, "DBI")[6], "27");
    EXPECT_FALSE(sql.hasError());
}

TEST_F(DatosBaseEmpresaTest, AnActivityCodeWithAQuoteStillNamesItsRow) {
    modact.rows = {Declaracion("69'2", 2023, 10, "4T")};
    TraspasarModulosIndcor(fixture.ctx(), sql);
    EXPECT_TRUE(Sent("open: select * from indcor where act='69''2' and ejercicio=2023"));
}

TEST_F(DatosBaseEmpresaTest, WithoutModuleReturnsNothingIsCopied) {
    sql.Fail(kModulosDBE, 208, "Invalid object name 'modact131'.");
    sql.Fail(kModulosDBI, 208, "Invalid object name 'modact131'.");
    TraspasarModulosIndcor(fixture.ctx(), sql);
    EXPECT_EQ(sql.sent.size(), 2u);
    EXPECT_EQ(indcor.rows.size(), 2u);
    EXPECT_TRUE(fixture.Entradas().empty());
}

}  // namespace
}  // namespace refdata
