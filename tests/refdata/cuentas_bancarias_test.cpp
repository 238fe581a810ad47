#include "refdata/cuentas_bancarias.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "refdata/fake_connection.h"
#include "support/run_fixture.h"

namespace refdata {
namespace {

using db::Variant;
using namespace testing;

constexpr const char* kSelectCtaNuevoPgc =
    "SELECT ENTIDAD,SUCURSAL,DC,CUENTABANCO, BIC,IBAN FROM CTANUEVOPGC WHERE (IBAN IS NULL OR "
    "IBAN ='') OR (BIC IS NULL OR BIC ='') ";
constexpr const char* kSelectCliBancosDisp =
    "SELECT CLIBANCOSENTIDAD, CLIBANCOSSUCURSAL, CLIBANCOSDIGITO, CLIBANCOSCUENTA, "
    "CLIBANCOSIBAN, CLIBANCOSBIC FROM CLIBANCOSDISP WHERE CLIBANCOSCUENTA <> '' AND "
    "CLIBANCOSENTIDAD<>'' AND CLIBANCOSDIGITO <> '' AND CLIBANCOSSUCURSAL<>''";

bool IsEmpty(const Variant& v) {
    return v.isNull() || v.toText().empty();
}

class CuentasBancariasTest : public ::testing::Test {
  protected:
    CuentasBancariasTest() {
        fixture.EmpresaActual("0001");
        fixture.ctx().ColeccionBIC.Add("0049", "BSCHESMMXXX");
        fixture.ctx().ColeccionBIC.Add("2100", "CAIXESBBXXX");
    }

    bool Opened(const std::string& select) const {
        return std::find(sql.sent.begin(), sql.sent.end(), "open: " + select) != sql.sent.end();
    }

    test_support::RunFixture fixture;
    FakeConnection sql;
};

class CtaNuevoPgcTest : public CuentasBancariasTest {
  protected:
    CtaNuevoPgcTest() {
        cuentas.rows = {
            {T("49"), T("1500"), T("5"), T("1234567892"), T(""), T("")},
            {T("2100"), T("0418"), T("45"), T("0200051332"), N, T("ES11")},
            {T("0128"), T("0418"), T("45"), T("0200051332"), T(""), N},
            {T("2100"), N, T("45"), T("0200051332"), T(""), T("")},
        };
        // The statement keeps the rows lacking an IBAN or a BIC.
        sql.Answer(kSelectCtaNuevoPgc, cuentas,
                   [](const Row& r) { return IsEmpty(r[5]) || IsEmpty(r[4]); });
    }

    FakeTable cuentas =
        FakeTable::WithColumns({"ENTIDAD", "SUCURSAL", "DC", "CUENTABANCO", "BIC", "IBAN"});
};

TEST_F(CtaNuevoPgcTest, AddsItsColumnsBackfillsAndWidensOnTheFirstRun) {
    ActualizaCtaNuevoPgc(fixture.ctx(), sql, "0001");

    const std::vector<std::string> executed = sql.Executed();
    std::vector<std::string> alters;
    std::copy_if(executed.begin(), executed.end(), std::back_inserter(alters),
                 [](const std::string& s) { return s.rfind("Alter Table CTANUEVOPGC", 0) == 0; });
    ASSERT_EQ(alters.size(), 13u);
    EXPECT_EQ(alters[0],
              "Alter Table CTANUEVOPGC ADD CodigoPais varchar (5) NOT NULL DEFAULT('') ");
    EXPECT_EQ(alters[3], "Alter Table CTANUEVOPGC ADD Plazos int NOT NULL DEFAULT(0) ");
    EXPECT_EQ(alters[11], "Alter Table CTANUEVOPGC ADD Bic varchar (15) NOT NULL DEFAULT('') ");
    EXPECT_EQ(alters[12], "Alter Table CTANUEVOPGC ADD Iban varchar (4) NOT NULL DEFAULT('') ");
    EXPECT_EQ(std::vector<std::string>(executed.end() - 2, executed.end()),
              (std::vector<std::string>{
                  "if COL_LENGTH ('CTANUEVOPGC','CP') <10 alter table CTANUEVOPGC alter column CP "
                  "varchar(10)",
                  "if COL_LENGTH ('CTANUEVOPGC','titulodelacuenta') < 100 alter table CTANUEVOPGC "
                  "alter column titulodelacuenta varchar(100)",
              }));

    EXPECT_TRUE(Opened(kSelectCtaNuevoPgc));
    EXPECT_EQ(cuentas.Text(0, "IBAN"), "ES60");  // 0049 1500 05 1234567892
    EXPECT_EQ(cuentas.Text(0, "BIC"), "BSCHESMMXXX");
    EXPECT_EQ(cuentas.Text(1, "IBAN"), "ES11");  // an IBAN already there stays
    EXPECT_EQ(cuentas.Text(1, "BIC"), "CAIXESBBXXX");
    EXPECT_EQ(cuentas.Text(2, "IBAN"), "ES18");  // an entity without BIC still gets its IBAN
    EXPECT_EQ(cuentas.Text(2, "BIC"), "");
    EXPECT_EQ(cuentas.Text(3, "IBAN"), "");  // a NULL branch: no IBAN
    EXPECT_EQ(cuentas.Text(3, "BIC"), "CAIXESBBXXX");

    const std::vector<std::string> entradas = fixture.Entradas();
    EXPECT_EQ(entradas.front(),
              "Información:  Comenzando actualizacion estructura ctanuevopgc "
              "en la empresa0001 , servidor: SRV");
    EXPECT_EQ(entradas.back(),
              "Información:  Campo titulodelacuenta actualizado correctamente "
              "en la empresa 0001 , servidor: SRV");
    EXPECT_EQ(entradas.size(), 1u + 13u + 1u);
}

TEST_F(CtaNuevoPgcTest, NamesTheCompanyItIsGivenInItsStartLine) {
    ActualizaCtaNuevoPgc(fixture.ctx(), sql, "0042");
    EXPECT_EQ(fixture.Entradas().front(),
              "Información:  Comenzando actualizacion estructura "
              "ctanuevopgc en la empresa0042 , servidor: SRV");
}

TEST_F(CtaNuevoPgcTest, NoBackfillOnceEitherBankColumnExisted) {
    sql.ColumnAlreadyThere("CTANUEVOPGC", "Bic");
    ActualizaCtaNuevoPgc(fixture.ctx(), sql, "0001");
    EXPECT_FALSE(Opened(kSelectCtaNuevoPgc));
    EXPECT_EQ(cuentas.Text(0, "IBAN"), "");

    sql.ColumnAlreadyThere("CTANUEVOPGC", "Iban");
    ActualizaCtaNuevoPgc(fixture.ctx(), sql, "0001");
    EXPECT_FALSE(Opened(kSelectCtaNuevoPgc));
}

TEST_F(CtaNuevoPgcTest, AFailedWideningOfTheTitleIsAnIncident) {
    sql.Fail(
        "if COL_LENGTH ('CTANUEVOPGC','titulodelacuenta') < 100 alter table CTANUEVOPGC alter "
        "column titulodelacuenta varchar(100)",
        5074, "The object 'DF_TITULO' is dependent on column 'titulodelacuenta'.");
    ActualizaCtaNuevoPgc(fixture.ctx(), sql, "0001");
    EXPECT_EQ(fixture.Entradas().back(),
              "Error en el procesimiento Form_Activate:Actualizando campo titulodelacuenta en la "
              "empresa0001 en el servidor SRV     Mensaje devuelto por el servidor :The object "
              "'DF_TITULO' is dependent on column 'titulodelacuenta'.");
    EXPECT_TRUE(fixture.ctx().HayIncidencias());
}

class CliBancosDispTest : public CuentasBancariasTest {
  protected:
    CliBancosDispTest() {
        cuentas.rows = {
            {T("49"), T("1500"), T("05"), T("1234567892"), T(""), T("")},
            {T("2100"), T("0418"), T("45"), T("0200051332"), T("ES00"), T("VIEJOXXX")},
            {T("2100"), T(""), T("45"), T("0200051332"), T(""), T("")},
        };
        sql.Answer(kSelectCliBancosDisp, cuentas,
                   [](const Row& r) { return std::none_of(r.begin(), r.begin() + 4, IsEmpty); });
    }

    FakeTable cuentas =
        FakeTable::WithColumns({"CLIBANCOSENTIDAD", "CLIBANCOSSUCURSAL", "CLIBANCOSDIGITO",
                                "CLIBANCOSCUENTA", "CLIBANCOSIBAN", "CLIBANCOSBIC"});
};

TEST_F(CliBancosDispTest, WidensAddsAndBackfillsEveryCompleteAccount) {
    ActualizaCliBancosDisp(fixture.ctx(), sql);
    const std::vector<std::string> executed = sql.Executed();
    ASSERT_EQ(executed.size(), 9u);
    EXPECT_EQ(executed[0],
              "IF COL_LENGTH ('CLIBANCOSDISP','CLIBANCOSENTIDAD') < 10 ALTER TABLE CLIBANCOSDISP "
              "ALTER COLUMN CLIBANCOSENTIDAD varchar(10)");
    EXPECT_EQ(executed[1],
              "Alter Table CLIBANCOSDISP ADD SWIFT varchar (25) NOT NULL DEFAULT('') ");
    EXPECT_EQ(executed[3],
              "Alter Table CLIBANCOSDISP ADD ROUTING varchar (25) NOT NULL DEFAULT('') ");
    EXPECT_EQ(executed[5],
              "Alter Table CLIBANCOSDISP ADD CLIBANCOSIBAN varchar (4) NOT NULL DEFAULT('') ");
    EXPECT_EQ(executed[7],
              "Alter Table CLIBANCOSDISP ADD CLIBANCOSBIC varchar (15) NOT NULL DEFAULT('') ");
    EXPECT_EQ(sql.sent.back(), std::string("open: ") + kSelectCliBancosDisp);

    // "49" is looked up as "0049"; every selected row is recomputed and overwritten.
    EXPECT_EQ(cuentas.Text(0, "CLIBANCOSIBAN"), "ES60");
    EXPECT_EQ(cuentas.Text(0, "CLIBANCOSBIC"), "BSCHESMMXXX");
    EXPECT_EQ(cuentas.Text(1, "CLIBANCOSIBAN"), "ES91");
    EXPECT_EQ(cuentas.Text(1, "CLIBANCOSBIC"), "CAIXESBBXXX");
    EXPECT_EQ(cuentas.Text(2, "CLIBANCOSIBAN"), "");  // not selected: an empty branch

    // Only CrearCampo logs.
    EXPECT_EQ(fixture.Entradas().size(), 4u);
}

TEST_F(CliBancosDispTest, ASecondRunTouchesNoAccount) {
    sql.ColumnAlreadyThere("CLIBANCOSDISP", "CLIBANCOSIBAN");
    sql.ColumnAlreadyThere("CLIBANCOSDISP", "CLIBANCOSBIC");
    ActualizaCliBancosDisp(fixture.ctx(), sql);
    EXPECT_FALSE(Opened(kSelectCliBancosDisp));
    EXPECT_EQ(cuentas.Text(0, "CLIBANCOSIBAN"), "");
}

}  // namespace
}  // namespace refdata
