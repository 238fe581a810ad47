// The routines against databases of the embedded engine: what they leave in the tables, where
// the recording connection can only show what they send.
#include <gtest/gtest.h>

#include "refdata/base_data_fixture.h"
#include "refdata/catalogos_fiscales.h"
#include "refdata/cuentas_bancarias.h"
#include "refdata/datos_base.h"
#include "refdata/datos_base_empresa.h"
#include "support/embedded_server.h"
#include "support/run_fixture.h"

namespace refdata {
namespace {

using Filas = std::vector<std::vector<std::string>>;
using test_support::EmbeddedServer;

class EngineTest : public ::testing::Test {
  protected:
    std::unique_ptr<db::Connection> Base(const std::string& nombre,
                                         const std::vector<std::string>& lotes) {
        servidor.CrearBaseDatos(nombre, lotes);
        auto conexion = servidor.Conectar(nombre);
        EXPECT_TRUE(conexion->isOpen()) << conexion->lastError().description;
        return conexion;
    }

    static Filas Consulta(db::Connection& conexion, std::string_view sql) {
        return EmbeddedServer::Filas(conexion, sql);
    }

    test_support::RunFixture fixture;
    EmbeddedServer servidor;
};

const std::string kPropiedadesCentral =
    "CREATE TABLE PROPIEDADES(OBJETO VARCHAR(128) NOT NULL DEFAULT(''), NOMBRE VARCHAR(128) NOT "
    "NULL DEFAULT(''),VALOR VARCHAR(128) NOT NULL DEFAULT(''))";

TEST_F(EngineTest, TheVatRoutinesBringTheRatesOfEveryCodeToTheirLastValues) {
    auto vardex =
        Base("Vardex", {kPropiedadesCentral,
                        "CREATE TABLE IVATAB (codiiva varchar(2) NOT NULL, TipoIVA float, "
                        "AdonIVA varchar(1))",
                        "INSERT INTO IVATAB VALUES ('1',16,'1'),('2',7,'2'),('3',4,'3'),"
                        "('11',0,'0'),('12',0,'0'),('19',0,'0')"});
    ActualizaTipoIVA2010(fixture.ctx(), *vardex);
    ActualizaIVA2010(fixture.ctx(), *vardex);
    ActualizaIVA2012(fixture.ctx(), *vardex);

    const Filas esperadas = {{"1", "18", "21"},  {"2", "8", "10"}, {"3", "4", "4"},
                             {"11", "19", "19"}, {"12", "0", "0"}, {"19", "20", "20"}};
    const std::string consulta =
        "SELECT codiiva, TipoIVA, TipoIVA2010 FROM IVATAB ORDER BY CAST(codiiva AS int)";
    EXPECT_EQ(Consulta(*vardex, consulta), esperadas);
    EXPECT_TRUE(fixture.ctx().ActualizarIVAProveedores);
    EXPECT_EQ(Consulta(*vardex, "SELECT VALOR FROM PROPIEDADES WHERE OBJETO='IVATAB'"),
              Filas{{"1002"}});

    // A second run over the same database changes nothing.
    fixture.ctx().ActualizarIVAProveedores = false;
    ActualizaTipoIVA2010(fixture.ctx(), *vardex);
    ActualizaIVA2010(fixture.ctx(), *vardex);
    ActualizaIVA2012(fixture.ctx(), *vardex);
    EXPECT_EQ(Consulta(*vardex, consulta), esperadas);
    EXPECT_FALSE(fixture.ctx().ActualizarIVAProveedores);
}

TEST_F(EngineTest, ModulosKeysItsRowsByCodeAndPeriodOnce) {
    auto vardex = Base("Vardex", {"CREATE TABLE MODULOS (CODIGO varchar(5) NOT NULL, IVAIMP8 "
                                  "FLOAT)",
                                  "CREATE UNIQUE INDEX INDNUM ON MODULOS (CODIGO)",
                                  "INSERT INTO MODULOS (CODIGO) VALUES ('M1'),('M2')"});
    ActualizaModulos(fixture.ctx(), *vardex);
    EXPECT_EQ(Consulta(*vardex, "SELECT CODIGO, PERIODO FROM MODULOS ORDER BY CODIGO"),
              (Filas{{"M1", "1"}, {"M2", "1"}}));
    // The same code may now appear for another period, but not twice for one.
    vardex->clearError();
    EXPECT_TRUE(vardex->execute("INSERT INTO MODULOS (CODIGO, PERIODO) VALUES ('M1', 2)").ok());
    EXPECT_FALSE(vardex->execute("INSERT INTO MODULOS (CODIGO, PERIODO) VALUES ('M1', 2)").ok());

    // Run again: PERIODO exists, the index and the periods stay.
    ActualizaModulos(fixture.ctx(), *vardex);
    EXPECT_EQ(Consulta(*vardex, "SELECT COUNT(*) FROM MODULOS WHERE PERIODO=1"), Filas{{"2"}});
}

TEST_F(EngineTest, CtaNuevoPgcFillsIbanAndBicOnTheRunThatCreatesThem) {
    fixture.EmpresaActual("0001");
    fixture.ctx().ColeccionBIC.Add("0049", "BSCHESMMXXX");
    auto empresa = Base("Empresa_0001",
                        {"CREATE TABLE CTANUEVOPGC (CUENTA varchar(10) NOT NULL, CP varchar(5), "
                         "titulodelacuenta varchar(40), Entidad varchar(4) NOT NULL DEFAULT(''), "
                         "Sucursal varchar(4) NOT NULL DEFAULT(''), Dc varchar(2) NOT NULL "
                         "DEFAULT(''), CuentaBanco varchar(10) NOT NULL DEFAULT(''))",
                         "INSERT INTO CTANUEVOPGC (CUENTA, Entidad, Sucursal, Dc, CuentaBanco) "
                         "VALUES ('4300001','49','1500','05','1234567892'),"
                         "('4300002','2100','0418','45','0200051332'),('4300003','','','','')"});
    ActualizaCtaNuevoPgc(fixture.ctx(), *empresa, "0001");
    EXPECT_EQ(
        Consulta(*empresa, "SELECT CUENTA, IBAN, BIC FROM CTANUEVOPGC ORDER BY CUENTA"),
        (Filas{{"4300001", "ES60", "BSCHESMMXXX"}, {"4300002", "ES91", ""}, {"4300003", "", ""}}));
    EXPECT_EQ(Consulta(*empresa,
                       "SELECT COL_LENGTH('CTANUEVOPGC','CP'), "
                       "COL_LENGTH('CTANUEVOPGC','titulodelacuenta')"),
              (Filas{{"10", "100"}}));
    EXPECT_FALSE(fixture.ctx().HayIncidencias());

    // The second run finds the columns and touches no row.
    empresa->execute("UPDATE CTANUEVOPGC SET IBAN='' WHERE CUENTA='4300002'");
    ActualizaCtaNuevoPgc(fixture.ctx(), *empresa, "0001");
    EXPECT_EQ(Consulta(*empresa, "SELECT IBAN FROM CTANUEVOPGC WHERE CUENTA='4300002'"),
              Filas{{""}});
}

TEST_F(EngineTest, CliBancosDispFillsEveryCompleteAccount) {
    fixture.EmpresaActual("0001");
    fixture.ctx().ColeccionBIC.Add("0049", "BSCHESMMXXX");
    auto empresa = Base("Empresa_0001",
                        {"CREATE TABLE CLIBANCOSDISP (CLICODIGO varchar(10) NOT NULL, "
                         "CLIBANCOSENTIDAD varchar(4), CLIBANCOSSUCURSAL varchar(4), "
                         "CLIBANCOSDIGITO varchar(2), CLIBANCOSCUENTA varchar(10))",
                         "INSERT INTO CLIBANCOSDISP VALUES ('C1','49','1500','05','1234567892'),"
                         "('C2','2100','','45','0200051332')"});
    ActualizaCliBancosDisp(fixture.ctx(), *empresa);
    EXPECT_EQ(Consulta(*empresa,
                       "SELECT CLICODIGO, CLIBANCOSIBAN, CLIBANCOSBIC FROM "
                       "CLIBANCOSDISP ORDER BY CLICODIGO"),
              (Filas{{"C1", "ES60", "BSCHESMMXXX"}, {"C2", "", ""}}));
    EXPECT_EQ(Consulta(*empresa, "SELECT COL_LENGTH('CLIBANCOSDISP','CLIBANCOSENTIDAD')"),
              Filas{{"10"}});
}

TEST_F(EngineTest, TheCentralReferenceTablesFollowTheFixtureFile) {
    testing::InstallBaseDataFile(fixture.directory());
    auto vardex = Base(
        "Vardex",
        {kPropiedadesCentral, "CREATE UNIQUE INDEX PROIDX ON PROPIEDADES (OBJETO,NOMBRE)",
         "CREATE TABLE PROVINCIAS (CODIGO varchar(2) NOT NULL PRIMARY KEY, NOMBRE varchar(50), "
         "COMUNIDAD varchar(2))",
         "INSERT INTO PROVINCIAS VALUES ('99','Antigua','00')",
         "CREATE TABLE TIPOSDEVIA (TIPOVIA varchar(5) NOT NULL, DESCRIPCION varchar(50))",
         "CREATE TABLE PAISES (CODIGO varchar(3) NOT NULL, NOMBRE varchar(50), CONTINENTE "
         "varchar(20), PREFIJO int, IVAGENERAL float, UE bit, ALTA datetime, CUOTA money)",
         "INSERT INTO PAISES (CODIGO, NOMBRE, CONTINENTE) VALUES ('DE','Alemania','EUROPA'),"
         "('JP','Japón','ASIA')",
         "CREATE TABLE TABLAOBSOLETA (CODIGO varchar(10))",
         "CREATE TABLE CNAE (CODIGO varchar(4), DESCRIPCION varchar(255))",
         "CREATE TABLE TABLAAUSENTE (CODIGO varchar(10))",
         "INSERT INTO TABLAAUSENTE VALUES ('sigue')",
         "CREATE TABLE FORMASPAGO (CODIGO varchar(2), DESCRIPCION varchar(50), DIAS int)"});

    SincronizarDatosBase(fixture.ctx(), *vardex);

    EXPECT_EQ(Consulta(*vardex, "SELECT COUNT(*) FROM PROVINCIAS"), Filas{{"52"}});
    EXPECT_EQ(Consulta(*vardex, "SELECT COUNT(*) FROM TIPOSDEVIA"), Filas{{"8"}});
    EXPECT_EQ(Consulta(*vardex, "SELECT CODIGO, PREFIJO, UE, CUOTA FROM PAISES ORDER BY CODIGO"),
              (Filas{{"CH", "41", "False", "NULL"},
                     {"ES", "34", "True", "12.5"},
                     {"FR", "33", "True", "NULL"},
                     {"JP", "NULL", "NULL", "NULL"},
                     {"PT", "351", "True", "0"}}));
    EXPECT_EQ(Consulta(*vardex, "SELECT ALTA FROM PAISES WHERE CODIGO='ES'"),
              Filas{{"01/01/1986"}});
    EXPECT_EQ(Consulta(*vardex, "SELECT OBJECT_ID('TABLAOBSOLETA')"), Filas{{"NULL"}});
    EXPECT_EQ(Consulta(*vardex, "SELECT CODIGO FROM TABLAAUSENTE"), Filas{{"sigue"}});
    EXPECT_EQ(Consulta(*vardex, "SELECT COUNT(*) FROM FORMASPAGO"), Filas{{"3"}});
    EXPECT_EQ(Consulta(*vardex, "SELECT OBJETO, VALOR FROM PROPIEDADES ORDER BY OBJETO"),
              (Filas{{"CNAE", "7"},
                     {"FORMASPAGO", "4"},
                     {"PAISES", "5"},
                     {"PROVINCIAS", "3"},
                     {"TABLAOBSOLETA", "1"},
                     {"TIPOSDEVIA", "2"}}));
    EXPECT_TRUE(fixture.Entradas().empty());
}

TEST_F(EngineTest, ARowTheServerRefusesIsLeftOutAndTheCopyIsKept) {
    testing::InstallBaseDataFile(fixture.directory());
    auto empresa = Base(
        "Empresa_0001",
        {kPropiedadesCentral,
         "CREATE TABLE PROVINCIAS (CODIGO varchar(2) NOT NULL PRIMARY KEY, NOMBRE varchar(50), "
         "COMUNIDAD varchar(2))",
         // One province per region: every later province of a region is refused.
         "CREATE UNIQUE INDEX UNAPORCOMUNIDAD ON PROVINCIAS (COMUNIDAD)",
         "INSERT INTO PROVINCIAS VALUES ('99','Antigua','00')",
         "CREATE TABLE FORMASPAGO (CODIGO varchar(2), DESCRIPCION varchar(50), DIAS int)"});
    SincronizarDatosBase(fixture.ctx(), *empresa);
    empresa->close();

    // What the copy left is committed: a new connection sees it.
    auto otra = servidor.Conectar("Empresa_0001");
    EXPECT_EQ(Consulta(*otra,
                       "SELECT COUNT(*), COUNT(DISTINCT COMUNIDAD), MIN(CODIGO) FROM "
                       "PROVINCIAS"),
              (Filas{{"19", "19", "01"}}));
    EXPECT_EQ(Consulta(*otra, "SELECT COUNT(*) FROM PROVINCIAS WHERE CODIGO='99'"), Filas{{"0"}});
    EXPECT_EQ(Consulta(*otra, "SELECT OBJETO, VALOR FROM PROPIEDADES ORDER BY OBJETO"),
              (Filas{{"FORMASPAGO", "2"}, {"PROVINCIAS", "1"}}));
}

TEST_F(EngineTest, AFilterTheTargetCannotEvaluateLeavesTheTargetAndItsVersion) {
    testing::InstallBaseDataFile(fixture.directory());
    auto vardex = Base("Vardex", {kPropiedadesCentral,
                                  "CREATE TABLE PAISES (CODIGO varchar(3) NOT NULL, NOMBRE "
                                  "varchar(50))",  // no CONTINENTE: the filtered delete fails
                                  "INSERT INTO PAISES VALUES ('ES','España antigua')"});
    SincronizarDatosBase(fixture.ctx(), *vardex);
    EXPECT_EQ(Consulta(*vardex, "SELECT CODIGO, NOMBRE FROM PAISES"),
              (Filas{{"ES", "España antigua"}}));
    EXPECT_EQ(Consulta(*vardex, "SELECT COUNT(*) FROM PROPIEDADES WHERE OBJETO='PAISES'"),
              Filas{{"0"}});
}

TEST_F(EngineTest, AnOldIndcorBecomesPerYearWithTheDeclaredModules) {
    // The statements mix the computer's year and the server's: here both are today's.
    fixture.ctx().clock = run::CurrentLocalDateTime;
    const int y = fixture.ctx().clock().year;
    std::string columnas =
        "act varchar(4) NOT NULL, librdatosbase1 float DEFAULT(0), ICI float "
        "DEFAULT(0), ICE float DEFAULT(0), ICE2 float DEFAULT(0), ICE3 float "
        "DEFAULT(0), ICE4 float DEFAULT(0)";
    for (int i = 1; i <= 7; ++i) {
        columnas += ", DBI" + std::to_string(i) + " float DEFAULT(0), DBE" + std::to_string(i) +
                    " float DEFAULT(0)";
    }
    auto empresa =
        Base("Empresa_0001",
             {"CREATE TABLE INDCOR (" + columnas + ")", "CREATE INDEX ACTINDICE ON INDCOR (act)",
              "CREATE UNIQUE INDEX APUNTNUM ON INDCOR (act)",
              "INSERT INTO INDCOR (act, librdatosbase1, ICI) VALUES ('6920', 8, 3)",
              "CREATE TABLE modact131 (actividad varchar(4), ejercicio int, periodo varchar(2), "
              "unidadmodulo1 float, unidadmodulo2 float, unidadmodulo3 float, unidadmodulo4 float, "
              "unidadmodulo5 float, unidadmodulo6 float, unidadmodulo7 float)",
              "INSERT INTO modact131 VALUES ('6920'," + std::to_string(y - 3) +
                  ",'4T',1,2,3,4,5,6,7),"
                  "('6920'," +
                  std::to_string(y - 3) + ",'1T',9,9,9,9,9,9,9)"});

    ActualizaDatosBaseEmpresa(fixture.ctx(), *empresa);

    EXPECT_EQ(Consulta(*empresa,
                       "SELECT Ejercicio, ICI, DBI8, DBE1, DBI7 FROM INDCOR ORDER BY "
                       "Ejercicio"),
              (Filas{{std::to_string(y - 3), "0", "0", "1", "7"},
                     {std::to_string(y - 1), "3", "8", "0", "0"},
                     {std::to_string(y), "3", "8", "0", "0"}}));
    EXPECT_EQ(Consulta(*empresa,
                       "SELECT COUNT(*) FROM SYSINDEXES WHERE "
                       "ID=OBJECT_ID('INDCOR') AND NAME='ACTINDICE'"),
              Filas{{"0"}});
    // The key is now (act, Ejercicio).
    empresa->clearError();
    EXPECT_FALSE(empresa
                     ->execute("INSERT INTO INDCOR (act, Ejercicio) VALUES ('6920', " +
                               std::to_string(y) + ")")
                     .ok());
}

}  // namespace
}  // namespace refdata
