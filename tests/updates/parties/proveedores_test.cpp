// The supplier master and the suppliers' bank accounts.
#include "updates/parties/proveedores.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "updates/parties/parties_test.h"

namespace parties_test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;
using updates::parties::ActualizaProveedores;

const std::vector<std::string> kProveedoresAntiguos = {
    "CREATE TABLE PROVEEDORESTABLA (ProvCodigo varchar(10) NOT NULL, ProvNombre varchar(40) NULL, "
    "ProvNomComercial varchar(50) NULL, ProvPersonaCont varchar(50) NULL, ProvDireccion "
    "varchar(60) NULL, ProvCif varchar(12) NULL, ProvCodPostal varchar(5) NULL, ProvIVA int NULL)",
    "INSERT INTO PROVEEDORESTABLA VALUES "
    "('000001','Harinas del Ebro, S.A.','Harinas Ebro','Jesús Marín','Carretera de Castellón, km "
    "4','A50444555','50013',0),"
    "('000002','Papelera del Jalón, S.L.',NULL,NULL,NULL,'B50121212','50180',3),"
    "('000003','Transportes Cinca',NULL,NULL,NULL,'B22343434','22400',5),"
    "('000004','Suministros Aragón',NULL,NULL,NULL,'B50989898','50013',2),"
    "('000005','Imprenta Sanz',NULL,NULL,NULL,'B50000001','50001',4),"
    "('000006','Sin régimen',NULL,NULL,NULL,'B50000002','50001',NULL)",
    "CREATE TABLE PROVBANCOSDISP (PROVBANCOSPROVEEDOR varchar(10) NOT NULL, PROVBANCOSNUMERO int "
    "NOT NULL, PROVBANCOSENTIDAD varchar(4) NULL, PROVBANCOSSUCURSAL varchar(4) NULL, "
    "PROVBANCOSDIGITO varchar(2) NULL, PROVBANCOSCUENTA varchar(10) NULL)",
    "INSERT INTO PROVBANCOSDISP VALUES "
    "('000001',1,'0182','5566','10','0201500123'),"
    "('000002',1,'3025','0001','08','0012345678'),"
    "('000003',1,'49','1500','31','0123456789'),"
    "('000004',1,'0081','','','0000000001'),"
    "('000005',1,NULL,NULL,NULL,NULL)",
};

const std::string kCuentas =
    "SELECT PROVBANCOSPROVEEDOR, PROVBANCOSIBAN, PROVBANCOSBIC FROM PROVBANCOSDISP ORDER BY "
    "PROVBANCOSPROVEEDOR";
const std::string kRegimenes =
    "SELECT ProvCodigo, ProvIVA FROM PROVEEDORESTABLA ORDER BY ProvCodigo";
const Filas kRegimenesAntiguos = {{"000001", "0"}, {"000002", "3"}, {"000003", "5"},
                                  {"000004", "2"}, {"000005", "4"}, {"000006", "NULL"}};

class ProveedoresEngineTest : public EngineTest {
  protected:
    ProveedoresEngineTest() {
        ctx().ColeccionBIC.Add("0182", "BBVAESMMXXX");
        ctx().ColeccionBIC.Add("0049", "BSCHESMMXXX");
    }
    void Actualizar() { ActualizaProveedores(ctx(), conexion()); }
};

TEST_F(ProveedoresEngineTest, AnOldSupplierTableGetsTheReleaseLayout) {
    Empresa(kProveedoresAntiguos);
    Actualizar();
    EXPECT_EQ(Columna("PROVEEDORESTABLA", "ProvNombre"), "varchar(50) NULL");
    EXPECT_EQ(Columna("PROVEEDORESTABLA", "ProvNomComercial"), "varchar(100) NULL");
    EXPECT_EQ(Columna("PROVEEDORESTABLA", "ProvPersonaCont"), "varchar(100) NULL");
    EXPECT_EQ(Columna("PROVEEDORESTABLA", "ProvDireccion"), "varchar(100) NULL");
    EXPECT_EQ(Columna("PROVEEDORESTABLA", "ProvCif"), "varchar(15) NULL");
    EXPECT_EQ(Columna("PROVEEDORESTABLA", "ProvCodPostal"), "varchar(10) NULL");

    EXPECT_EQ(Columna("PROVEEDORESTABLA", "ProvIPF"), "int NOT NULL ((0))");
    EXPECT_EQ(Columna("PROVEEDORESTABLA", "ProvTipoVia"), "varchar(3) NULL");
    EXPECT_EQ(Columna("PROVEEDORESTABLA", "Sexo"), "char(1) NULL ('')");
    EXPECT_EQ(Columna("PROVEEDORESTABLA", "Colegio"), "varchar(5) NULL");
    EXPECT_EQ(Columna("PROVEEDORESTABLA", "EsIntra"), "bit NOT NULL ((0))");
    EXPECT_EQ(Columna("PROVEEDORESTABLA", "PlazoEntrega"), "float NOT NULL ((0))");
    EXPECT_EQ(NumeroColumnas("PROVEEDORESTABLA"), 8 + 16 + 1);
    EXPECT_EQ(Columna("PROVBANCOSDISP", "PROVBANCOSACTIVA"), "varchar(1) NULL ((0))");
    EXPECT_EQ(Columna("PROVBANCOSDISP", "PROVBANCOSBIC"), "varchar(15) NOT NULL ('')");
    EXPECT_EQ(Columna("PROVBANCOSDISP", "PROVBANCOSIBAN"), "varchar(4) NOT NULL ('')");

    const std::vector<std::string> log = Entradas();
    ASSERT_EQ(log.size(), 1u + 5u + 19u + 1u);
    EXPECT_EQ(log[0], Comienzo("Comenzando actualizacion estructura Proveedorestabla en la "
                               "empresa"));
    EXPECT_EQ(log[1], Info("Campo ProvNombre actualizado correctamente en la empresa 0001 , "
                           "servidor: SRV"));
    EXPECT_EQ(log[5], Info("Campo ProvCif actualizado correctamente en la empresa 0001 , "
                           "servidor: SRV"));
    EXPECT_EQ(log[6], Creado("ProvIPF"));
    EXPECT_EQ(log[24], Creado("PROVBANCOSIBAN"));
    EXPECT_EQ(log[25], Creado("PlazoEntrega"));
    EXPECT_FALSE(ctx().HayIncidencias());
}

TEST_F(ProveedoresEngineTest, TheRunThatAddsBothBankColumnsFillsEveryCompleteAccount) {
    Empresa(kProveedoresAntiguos);
    Actualizar();
    // Check digits of the full 26-digit number (ES = 1428): 0182 5566 10 0201500123 → 48,
    // 3025 0001 08 0012345678 → 33, 0049 1500 31 0123456789 → 25. 3025 has no BIC in the
    // catalogue: its IBAN is still saved. The entity stored as "49" is 0049 for the IBAN and for
    // the BIC. Accounts missing a part are not touched.
    EXPECT_EQ(Consulta(kCuentas), (Filas{{"000001", "ES48", "BBVAESMMXXX"},
                                         {"000002", "ES33", ""},
                                         {"000003", "ES25", "BSCHESMMXXX"},
                                         {"000004", "", ""},
                                         {"000005", "", ""}}));

    // Later runs leave the accounts as the users keep them.
    Ejecutar(
        "UPDATE PROVBANCOSDISP SET PROVBANCOSIBAN='', PROVBANCOSBIC='' WHERE "
        "PROVBANCOSPROVEEDOR='000001'");
    const size_t antes = Entradas().size();
    Actualizar();
    EXPECT_EQ(Consulta(kCuentas)[0], (std::vector<std::string>{"000001", "", ""}));
    // Only the start line and the reported widenings: every column is there.
    EXPECT_EQ(Entradas().size() - antes, 1u + 5u);
}

TEST_F(ProveedoresEngineTest, OneBankColumnAlreadyThereMeansNoBackfill) {
    std::vector<std::string> lotes(kProveedoresAntiguos);
    lotes.push_back("ALTER TABLE PROVBANCOSDISP ADD PROVBANCOSIBAN varchar(4) NOT NULL DEFAULT ''");
    Empresa(lotes);
    Actualizar();
    EXPECT_EQ(Consulta("SELECT COUNT(*) FROM PROVBANCOSDISP WHERE PROVBANCOSIBAN<>'' OR "
                       "PROVBANCOSBIC<>''"),
              (Filas{{"0"}}));
    EXPECT_THAT(Entradas(), Contains(Creado("PROVBANCOSBIC")));
    EXPECT_THAT(Entradas(), Not(Contains(Creado("PROVBANCOSIBAN"))));
}

TEST_F(ProveedoresEngineTest, VatRegimesAreReMappedOnlyWhenTheCentralPhaseAskedForIt) {
    Empresa(kProveedoresAntiguos);
    Actualizar();
    EXPECT_EQ(Consulta(kRegimenes), kRegimenesAntiguos);

    ctx().ActualizarIVAProveedores = true;
    Actualizar();
    // 3, 4 and 5 become 1, every other regime 0; a supplier without regime keeps none.
    EXPECT_EQ(Consulta(kRegimenes), (Filas{{"000001", "0"},
                                           {"000002", "1"},
                                           {"000003", "1"},
                                           {"000004", "0"},
                                           {"000005", "1"},
                                           {"000006", "NULL"}}));
}

// --- Exact texts and failures, on a scripted server ----------------------------------------

class ProveedoresScriptedTest : public ScriptedTest {};

const std::string kSelectBancos =
    "SELECT PROVBANCOSENTIDAD, PROVBANCOSSUCURSAL, PROVBANCOSDIGITO, PROVBANCOSCUENTA, "
    "PROVBANCOSIBAN, PROVBANCOSBIC FROM PROVBANCOSDISP WHERE PROVBANCOSCUENTA <> '' AND "
    "PROVBANCOSENTIDAD<>'' AND PROVBANCOSSUCURSAL<>'' AND PROVBANCOSDIGITO<>''";

TEST_F(ProveedoresScriptedTest, TheStatementsGoInTheRoutinesOrder) {
    ctx().ActualizarIVAProveedores = true;
    ActualizaProveedores(ctx(), conn_);
    const std::vector<std::string>& enviadas = conn_.Enviadas();
    EXPECT_EQ(enviadas.front(),
              "if COL_LENGTH ('ProveedoresTabla','ProvNombre') < 50 alter table ProveedoresTabla  "
              "alter column ProvNombre varchar(50)");
    EXPECT_EQ(enviadas[4],
              "if COL_LENGTH ('ProveedoresTabla','ProvCif') < 15 alter table ProveedoresTabla  "
              "alter column ProvCif varchar(15)");
    const std::vector<int> orden = {
        Posicion("Alter Table ProveedoresTabla ADD ProvIPF int NOT NULL DEFAULT(0) "),
        Posicion("Alter Table PROVEEDORESTABLA ADD Sexo CHAR (1) DEFAULT('') "),
        Posicion("Alter Table PROVBANCOSDISP ADD PROVBANCOSACTIVA VARCHAR (1) DEFAULT(0) "),
        Posicion("Alter Table PROVBANCOSDISP ADD PROVBANCOSBIC varchar (15) NOT NULL "
                 "DEFAULT('') "),
        Posicion("Alter Table PROVBANCOSDISP ADD PROVBANCOSIBAN varchar (4) NOT NULL "
                 "DEFAULT('') "),
        Posicion("IF COL_LENGTH ('proveedorestabla','ProvCodPostal') < 10 ALTER TABLE "
                 "proveedorestabla ALTER COLUMN ProvCodPostal varchar(10)"),
        Posicion(kSelectBancos),
        Posicion("UPDATE ProveedoresTabla SET ProvIVA = 0 WHERE ProvIVA NOT IN (3,4,5)"),
        Posicion("UPDATE ProveedoresTabla SET ProvIVA = 1 WHERE ProvIVA IN (3,4,5)"),
        Posicion("Alter Table PROVEEDORESTABLA ADD PlazoEntrega FLOAT NOT NULL DEFAULT(0) "),
    };
    for (size_t i = 0; i < orden.size(); ++i) {
        EXPECT_GE(orden[i], 0) << "landmark " << i << " not sent";
        if (i > 0) {
            EXPECT_LT(orden[i - 1], orden[i]) << "landmark " << i;
        }
    }
    EXPECT_EQ(enviadas.back(), "UPDATE PROVEEDORESTABLA SET PlazoEntrega=0");
}

TEST_F(ProveedoresScriptedTest, FailedWideningsAreReportedWithoutTheColonSeparator) {
    conn_.FallaSiEmpiezaPor("if COL_LENGTH ('ProveedoresTabla'",
                            ErrorServidor(4922, "ALTER TABLE ALTER COLUMN ProvNombre failed."));
    ActualizaProveedores(ctx(), conn_);
    const std::vector<std::string> log = Entradas();
    ASSERT_GE(log.size(), 6u);
    EXPECT_EQ(log[1], Error("Form_Activate",
                            "Actualizando campo ProvNombre en la empresa0001, servidor SRV",
                            "ALTER TABLE ALTER COLUMN ProvNombre failed."));
    EXPECT_EQ(log[5],
              Error("Form_Activate", "Actualizando campo ProvCif en la empresa0001, servidor SRV",
                    "ALTER TABLE ALTER COLUMN ProvNombre failed."));
    EXPECT_TRUE(ctx().HayIncidencias());
}

TEST_F(ProveedoresScriptedTest, EverySelectedAccountIsSavedWithItsIbanAndTheBicFound) {
    ctx().ColeccionBIC.Add("0182", "BBVAESMMXXX");
    conn_.Devuelve(
        kSelectBancos,
        test_support::Filas({"PROVBANCOSENTIDAD", "PROVBANCOSSUCURSAL", "PROVBANCOSDIGITO",
                             "PROVBANCOSCUENTA", "PROVBANCOSIBAN", "PROVBANCOSBIC"},
                            {{"0182", "5566", "10", "0201500123", "", ""},
                             {"3025", "0001", "08", "0012345678", "", ""}}));
    ActualizaProveedores(ctx(), conn_);
    ASSERT_EQ(conn_.Guardadas().size(), 2u);
    EXPECT_EQ(conn_.Guardadas()[0].valores.at("PROVBANCOSIBAN").toText(), "ES48");
    EXPECT_EQ(conn_.Guardadas()[0].valores.at("PROVBANCOSBIC").toText(), "BBVAESMMXXX");
    EXPECT_EQ(conn_.Guardadas()[1].valores.at("PROVBANCOSIBAN").toText(), "ES33");
    EXPECT_EQ(conn_.Guardadas()[1].valores.count("PROVBANCOSBIC"), 0u);
    // Nothing of the backfill is logged; the routine goes on to its last column.
    EXPECT_FALSE(ctx().HayIncidencias());
    EXPECT_EQ(conn_.Enviadas().back(), "UPDATE PROVEEDORESTABLA SET PlazoEntrega=0");
}

TEST_F(ProveedoresScriptedTest, RefusedSavesAreNotReportedAndTheRoutineGoesOn) {
    conn_.Devuelve(
        kSelectBancos,
        test_support::Filas({"PROVBANCOSENTIDAD", "PROVBANCOSSUCURSAL", "PROVBANCOSDIGITO",
                             "PROVBANCOSCUENTA", "PROVBANCOSIBAN", "PROVBANCOSBIC"},
                            {{"0182", "5566", "10", "0201500123", "", ""}}));
    conn_.RechazarGuardado(ErrorServidor(229, "The UPDATE permission was denied."));
    ActualizaProveedores(ctx(), conn_);
    EXPECT_TRUE(conn_.Guardadas().empty());
    EXPECT_FALSE(ctx().HayIncidencias());
    EXPECT_EQ(conn_.Enviadas().back(), "UPDATE PROVEEDORESTABLA SET PlazoEntrega=0");
}

TEST_F(ProveedoresScriptedTest, WithoutTheCentralRequestNoRegimeIsTouched) {
    ActualizaProveedores(ctx(), conn_);
    for (const std::string& sql : conn_.Enviadas())
        EXPECT_FALSE(sql.starts_with("UPDATE ProveedoresTabla SET ProvIVA")) << sql;
}

}  // namespace
}  // namespace parties_test
