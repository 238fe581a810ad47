#include "refdata/catalogos_fiscales.h"

#include <gtest/gtest.h>

#include "refdata/fake_connection.h"
#include "refdata/statement_list.h"
#include "support/run_fixture.h"

namespace refdata {
namespace {

using db::Variant;
using namespace testing;

class CatalogosFiscalesTest : public ::testing::Test {
  protected:
    CatalogosFiscalesTest() {
        sql.Answer("SELECT * FROM PROPIEDADES WHERE OBJETO='IVATAB' AND NOMBRE='VERSION'",
                   propiedades, [](const Row& r) { return r[0].toText() == "IVATAB"; });
    }

    std::string VersionIvatab() const {
        return propiedades.rows.empty() ? "" : propiedades.Text(0, "VALOR");
    }

    test_support::RunFixture fixture;
    FakeConnection sql{"Vardex"};
    FakeTable propiedades = FakeTable::WithColumns({"OBJETO", "NOMBRE", "VALOR"});
};

TEST(EjecutarEnOrdenTest, AFailureStopsNothingAndLeavesNoErrorPending) {
    FakeConnection conn{"Vardex"};
    constexpr std::string_view kSentencias[] = {
        "DROP INDEX MODULOS.INDNUM",
        "UPDATE MODULOS SET PERIODO=1",
        "CREATE UNIQUE INDEX INDNUM ON MODULOS (CODIGO,PERIODO)",
    };
    conn.Fail("DROP INDEX MODULOS.INDNUM", 3701);
    conn.Fail("CREATE UNIQUE INDEX INDNUM ON MODULOS (CODIGO,PERIODO)", 1505);
    EjecutarEnOrden(conn, kSentencias);
    EXPECT_EQ(conn.Executed(),
              std::vector<std::string>(std::begin(kSentencias), std::end(kSentencias)));
    EXPECT_FALSE(conn.hasError());
}

TEST_F(CatalogosFiscalesTest, OperacionesOrmConfiguresTheTaxesOnlyWhenTheColumnIsNew) {
    ActualizaOperacionesOrm(fixture.ctx(), sql);
    EXPECT_EQ(sql.Executed(),
              (std::vector<std::string>{
                  "Alter Table OPERACIONES_ORM ADD CONFIGURACIONIMPUESTOS int NOT NULL DEFAULT(0) ",
                  "UPDATE OPERACIONES_ORM SET CONFIGURACIONIMPUESTOS=0",
                  "UPDATE OPERACIONES_ORM SET CONFIGURACIONIMPUESTOS=4 WHERE CODOPERACION ='12'",
                  "UPDATE OPERACIONES_ORM SET CONFIGURACIONIMPUESTOS=8 WHERE CODOPERACION ='14'",
                  "UPDATE OPERACIONES_ORM SET CONFIGURACIONIMPUESTOS=12 WHERE CODOPERACION IN "
                  "('01','09','10','11','16','18','19','20')",
                  "UPDATE OPERACIONES_ORM SET CONFIGURACIONIMPUESTOS=12 WHERE CODOPERACION >'20'",
              }));
    EXPECT_EQ(
        fixture.Entradas(),
        (std::vector<std::string>{
            "Información:  Comenzando actualizacion estructura Operaciones_orm , servidor: SRV",
            "Información:  Campo CONFIGURACIONIMPUESTOS actualizado correctamente en la "
            "empresa  , servidor: SRV",
        }));

    sql.sent.clear();
    sql.ColumnAlreadyThere("OPERACIONES_ORM", "CONFIGURACIONIMPUESTOS");
    ActualizaOperacionesOrm(fixture.ctx(), sql);
    EXPECT_EQ(sql.Executed().size(), 1u);
}

TEST_F(CatalogosFiscalesTest, ModulosRebuildsItsKeyOnlyWhenThePeriodIsNew) {
    ActualizaModulos(fixture.ctx(), sql);
    const std::vector<std::string> first = sql.Executed();
    ASSERT_EQ(first.size(), 13u);  // five columns with their fills, then the key
    EXPECT_EQ(first[0], "Alter Table MODULOS ADD IVAIMP8 FLOAT DEFAULT(0) ");
    EXPECT_EQ(first[2], "Alter Table MODULOS ADD IVADES8 VARCHAR (50) DEFAULT(0) ");
    EXPECT_EQ(first[4], "Alter Table MODULOS ADD CLAVE VARCHAR (1) NOT NULL DEFAULT('') ");
    EXPECT_EQ(first[6], "Alter Table MODULOS ADD EPIGRAFE VARCHAR (7) NOT NULL DEFAULT('') ");
    EXPECT_EQ(first[8], "Alter Table MODULOS ADD PERIODO INT NOT NULL DEFAULT(0) ");
    EXPECT_EQ(std::vector<std::string>(first.begin() + 10, first.end()),
              (std::vector<std::string>{"DROP INDEX MODULOS.INDNUM", "UPDATE MODULOS SET PERIODO=1",
                                        "CREATE UNIQUE INDEX INDNUM ON MODULOS (CODIGO,PERIODO)"}));

    // A MODULOS that already has PERIODO keeps its index, even when other columns are new.
    sql.sent.clear();
    sql.ColumnAlreadyThere("MODULOS", "PERIODO");
    ActualizaModulos(fixture.ctx(), sql);
    for (const std::string& sent : sql.Executed())
        EXPECT_EQ(sent.find("INDNUM"), std::string::npos);
}

TEST_F(CatalogosFiscalesTest, TheKeyStatementsRunEvenWhenTheDropFails) {
    sql.Fail("DROP INDEX MODULOS.INDNUM", 3701, "Cannot drop the index 'MODULOS.INDNUM'");
    ActualizaModulos(fixture.ctx(), sql);
    const std::vector<std::string> executed = sql.Executed();
    EXPECT_EQ(executed.back(), "CREATE UNIQUE INDEX INDNUM ON MODULOS (CODIGO,PERIODO)");
    EXPECT_FALSE(sql.hasError());
}

TEST_F(CatalogosFiscalesTest, TipoIVA2010FillsTheNewColumnAndAsksForTheSupplierRemap) {
    ActualizaTipoIVA2010(fixture.ctx(), sql);
    EXPECT_TRUE(fixture.ctx().ActualizarIVAProveedores);
    const std::vector<std::string> executed = sql.Executed();
    ASSERT_EQ(executed.size(), 6u);
    EXPECT_EQ(executed[0], "Alter Table IVATAB ADD TipoIVA2010 float DEFAULT(0) ");
    EXPECT_EQ(executed[1], "UPDATE IVATAB SET TipoIVA2010=0");
    EXPECT_EQ(executed[2],
              "UPDATE IVATAB SET TipoIVA2010 = TipoIVA where codiiva in "
              "('1','2','3','4','5','6','7','8','9','10')");
    EXPECT_EQ(executed[5],
              "UPDATE IVATAB SET TipoIVA2010 = 0 where codiiva in "
              "('11','12','13','14','15','16','17','18','19','20')");
}

TEST_F(CatalogosFiscalesTest, TipoIVA2010OnAnExistingColumnChangesNothing) {
    sql.ColumnAlreadyThere("IVATAB", "TipoIVA2010");
    ActualizaTipoIVA2010(fixture.ctx(), sql);
    EXPECT_FALSE(fixture.ctx().ActualizarIVAProveedores);
    EXPECT_EQ(sql.Executed().size(), 1u);
    EXPECT_TRUE(fixture.Entradas().empty());
}

TEST_F(CatalogosFiscalesTest, AMissingIvatabIsLoggedAndSetsNoFlag) {
    sql.FailPrefix("Alter Table IVATAB ", 4902,
                   "Cannot find the object \"IVATAB\" because it does not exist or you do not "
                   "have permissions.");
    ActualizaTipoIVA2010(fixture.ctx(), sql);
    EXPECT_FALSE(fixture.ctx().ActualizarIVAProveedores);
    ASSERT_EQ(fixture.Entradas().size(), 1u);
    EXPECT_EQ(fixture.Entradas()[0].rfind("Error en el procesimiento Form_Activate:Error al crear "
                                          "el campo TipoIVA2010",
                                          0),
              0u);
}

TEST_F(CatalogosFiscalesTest, TheRateChangesRunOnceEachAndRecordTheirVersions) {
    ActualizaIVA2010(fixture.ctx(), sql);
    EXPECT_EQ(sql.Executed(),
              (std::vector<std::string>{
                  "UPDATE IVATAB SET TipoIVA2010 = 21 where TipoIVA2010=18 and AdonIVA='1' and "
                  "codiiva in ('1','2','3','4','5','6','7','8','9','10')",
                  "UPDATE IVATAB SET TipoIVA2010 = 10 where TipoIVA2010=8 and AdonIVA='2' and "
                  "codiiva in ('1','2','3','4','5','6','7','8','9','10')",
                  "UPDATE IVATAB SET TipoIVA = 18 where TipoIVA=16 and AdonIVA='1' and codiiva in "
                  "('1','2','3','4','5','6','7','8','9','10')",
                  "UPDATE IVATAB SET TipoIVA = 8 where TipoIVA=7 and AdonIVA='2' and codiiva in "
                  "('1','2','3','4','5','6','7','8','9','10')",
              }));
    EXPECT_EQ(VersionIvatab(), "1001");

    sql.sent.clear();
    ActualizaIVA2012(fixture.ctx(), sql);
    EXPECT_EQ(sql.Executed(),
              (std::vector<std::string>{
                  "UPDATE IVATAB SET TipoIVA2010 = 19,TipoIVA=19 where codiiva ='11'",
                  "UPDATE IVATAB SET TipoIVA2010 = 20,TipoIVA = 20 where codiiva ='19'",
              }));
    EXPECT_EQ(VersionIvatab(), "1002");
    ASSERT_EQ(propiedades.rows.size(), 1u);

    // A later run finds 1002 and changes nothing.
    sql.sent.clear();
    ActualizaIVA2010(fixture.ctx(), sql);
    ActualizaIVA2012(fixture.ctx(), sql);
    EXPECT_TRUE(sql.Executed().empty());
}

TEST_F(CatalogosFiscalesTest, AtVersion1001OnlyThe2012ChangeRuns) {
    propiedades.rows = {{Variant::text("IVATAB"), Variant::text("VERSION"), Variant::text("1001")}};
    ActualizaIVA2010(fixture.ctx(), sql);
    EXPECT_TRUE(sql.Executed().empty());
    ActualizaIVA2012(fixture.ctx(), sql);
    EXPECT_EQ(sql.Executed().size(), 2u);
    EXPECT_EQ(VersionIvatab(), "1002");
}

TEST_F(CatalogosFiscalesTest, AFailedRateStatementStopsNothingAndTheVersionIsStored) {
    sql.FailPrefix("UPDATE IVATAB SET TipoIVA2010 = 21", 207, "Invalid column name 'TipoIVA2010'.");
    ActualizaIVA2010(fixture.ctx(), sql);
    EXPECT_EQ(sql.Executed().size(), 4u);
    EXPECT_EQ(VersionIvatab(), "1001");
    EXPECT_TRUE(fixture.Entradas().empty());
}

TEST_F(CatalogosFiscalesTest, ActividadesOrmWidensTheTenActivityColumns) {
    ActualizaActividadesOrm(fixture.ctx(), sql);
    std::vector<std::string> expected;
    for (const char* c : {"A11", "B11", "C11", "D11", "E11", "F11", "G11", "H11", "I11", "J11"}) {
        expected.push_back(std::string("IF COL_LENGTH ('ACTIVIDADES_ORM','") + c +
                           "') < 2 ALTER TABLE ACTIVIDADES_ORM ALTER COLUMN " + c + " varchar(2)");
    }
    EXPECT_EQ(sql.Executed(), expected);
}

TEST_F(CatalogosFiscalesTest, CuentasPGetsItsTwentyBoxColumnsInOrder) {
    ActualizaCuentasP(fixture.ctx(), sql);
    std::vector<std::string> alters;
    for (const std::string& sent : sql.Executed()) {
        if (sent.rfind("Alter Table", 0) == 0) alters.push_back(sent);
    }
    ASSERT_EQ(alters.size(), 20u);
    EXPECT_EQ(alters.front(), "Alter Table CUENTASP ADD CASILLAIVA17 FLOAT NOT NULL DEFAULT(0) ");
    EXPECT_EQ(alters[9], "Alter Table CUENTASP ADD CASILLAIVA107 FLOAT NOT NULL DEFAULT(0) ");
    EXPECT_EQ(alters[10], "Alter Table CUENTASP ADD CASILLAIVA18 FLOAT NOT NULL DEFAULT(0) ");
    EXPECT_EQ(alters.back(), "Alter Table CUENTASP ADD CASILLAIVA108 FLOAT NOT NULL DEFAULT(0) ");
}

}  // namespace
}  // namespace refdata
