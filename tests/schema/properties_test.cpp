#include "schema/properties.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/run_fixture.h"
#include "support/scripted_connection.h"

namespace schema {
namespace {

using test_support::ErrorServidor;
using test_support::Filas;
using test_support::kNulo;
using test_support::ScriptedConnection;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string kVersionIvatab =
    "SELECT * FROM PROPIEDADES WHERE OBJETO='IVATAB' AND NOMBRE='VERSION'";
const std::string kEntidad = "SELECT * FROM PROPIEDADES WHERE NOMBRE='ENTIDAD'";

db::Variant T(const char* s) {
    return db::Variant::text(s);
}

TEST(GuardarPropiedad, AddsTheRowWhenThereIsNone) {
    ScriptedConnection conn("Vardex");
    conn.Devuelve(kVersionIvatab, Filas({"OBJETO", "NOMBRE", "VALOR"}, {}));
    EXPECT_TRUE(GuardarPropiedad(conn, "IVATAB", "VERSION", "1001"));
    ASSERT_EQ(conn.Guardadas().size(), 1u);
    const auto& fila = conn.Guardadas()[0];
    EXPECT_TRUE(fila.nueva);
    EXPECT_EQ(fila.valores.at("OBJETO"), T("IVATAB"));
    EXPECT_EQ(fila.valores.at("NOMBRE"), T("VERSION"));
    EXPECT_EQ(fila.valores.at("VALOR"), T("1001"));
    EXPECT_THAT(conn.Enviadas(), ElementsAre(kVersionIvatab));
}

TEST(GuardarPropiedad, ChangesOnlyTheValueOfAnExistingRow) {
    ScriptedConnection conn("Vardex");
    conn.Devuelve(kVersionIvatab,
                  Filas({"OBJETO", "NOMBRE", "VALOR"}, {{"IVATAB", "VERSION", "1001"}}));
    EXPECT_TRUE(GuardarPropiedad(conn, "IVATAB", "VERSION", "1002"));
    ASSERT_EQ(conn.Guardadas().size(), 1u);
    EXPECT_FALSE(conn.Guardadas()[0].nueva);
    EXPECT_EQ(conn.Guardadas()[0].valores.size(), 1u);
    EXPECT_EQ(conn.Guardadas()[0].valores.at("VALOR"), T("1002"));
}

TEST(GuardarPropiedad, MissingTableOrRefusedSaveAnswersFalse) {
    ScriptedConnection sinTabla("Vardex");
    sinTabla.FallaCon(kVersionIvatab, ErrorServidor(208, "Invalid object name 'PROPIEDADES'."));
    EXPECT_FALSE(GuardarPropiedad(sinTabla, "IVATAB", "VERSION", "1001"));
    EXPECT_THAT(sinTabla.Guardadas(), IsEmpty());

    ScriptedConnection rechaza("Vardex");
    rechaza.Devuelve(kVersionIvatab, Filas({"OBJETO", "NOMBRE", "VALOR"}, {}));
    rechaza.RechazarGuardado(ErrorServidor(2627, "Violation of UNIQUE KEY constraint"));
    EXPECT_FALSE(GuardarPropiedad(rechaza, "IVATAB", "VERSION", "1001"));
    EXPECT_EQ(rechaza.lastError().nativeError, 2627);
}

TEST(GuardarPropiedad, QuotesInKeysAreDoubledAndValuesStoredAsTheyAre) {
    ScriptedConnection conn("Vardex");
    const std::string consulta =
        "SELECT * FROM PROPIEDADES WHERE OBJETO='O''BRIEN' AND NOMBRE='A''B'";
    conn.Devuelve(consulta, Filas({"OBJETO", "NOMBRE", "VALOR"}, {}));
    EXPECT_TRUE(GuardarPropiedad(conn, "O'BRIEN", "A'B", "it's"));
    EXPECT_THAT(conn.Enviadas(), ElementsAre(consulta));
    EXPECT_EQ(conn.Guardadas()[0].valores.at("OBJETO"), T("O'BRIEN"));
    EXPECT_EQ(conn.Guardadas()[0].valores.at("VALOR"), T("it's"));
}

TEST(GuardarPropiedadEmpresa, KeysByNameAlone) {
    ScriptedConnection conn;
    conn.Devuelve(kEntidad, Filas({"NOMBRE", "VALOR"}, {}));
    EXPECT_TRUE(GuardarPropiedadEmpresa(conn, "ENTIDAD", "1001"));
    ASSERT_EQ(conn.Guardadas().size(), 1u);
    EXPECT_EQ(conn.Guardadas()[0].valores.size(), 2u);
    EXPECT_EQ(conn.Guardadas()[0].valores.at("NOMBRE"), T("ENTIDAD"));
    EXPECT_EQ(conn.Guardadas()[0].valores.at("VALOR"), T("1001"));
    EXPECT_THAT(conn.Enviadas(), ElementsAre(kEntidad));
}

TEST(LeerPropiedad, GivesTheValueOrEmptyText) {
    ScriptedConnection conn("Vardex");
    EXPECT_EQ(LeerPropiedad(conn, "IVATAB", "VERSION"), "");
    conn.Devuelve(kVersionIvatab,
                  Filas({"OBJETO", "NOMBRE", "VALOR"}, {{"IVATAB", "VERSION", "1002"}}));
    EXPECT_EQ(LeerPropiedad(conn, "IVATAB", "VERSION"), "1002");
    conn.Devuelve(kEntidad, Filas({"NOMBRE", "VALOR"}, {{"ENTIDAD", std::string(kNulo)}}));
    EXPECT_EQ(LeerPropiedadEmpresa(conn, "ENTIDAD"), "");
    conn.Romper(ErrorServidor(0, "link failure"));
    EXPECT_EQ(LeerPropiedad(conn, "IVATAB", "VERSION"), "");
}

TEST(VersionGate, MissingOrNonNumericVersionsCountAsZero) {
    ScriptedConnection conn("Vardex");
    EXPECT_EQ(VersionGuardada(conn, "IVATAB"), 0);
    EXPECT_TRUE(VersionPendiente(conn, "IVATAB", 1001));
    conn.Devuelve(kVersionIvatab,
                  Filas({"OBJETO", "NOMBRE", "VALOR"}, {{"IVATAB", "VERSION", "1001"}}));
    EXPECT_FALSE(VersionPendiente(conn, "IVATAB", 1001));
    EXPECT_TRUE(VersionPendiente(conn, "IVATAB", 1002));
    conn.Devuelve(kVersionIvatab,
                  Filas({"OBJETO", "NOMBRE", "VALOR"}, {{"IVATAB", "VERSION", "abc"}}));
    EXPECT_TRUE(VersionPendiente(conn, "IVATAB", 1));
}

TEST(GuardarVersion, StoresUnderVersion) {
    ScriptedConnection conn("Vardex");
    const std::string consulta =
        "SELECT * FROM PROPIEDADES WHERE OBJETO='PAISES' AND NOMBRE='VERSION'";
    conn.Devuelve(consulta, Filas({"OBJETO", "NOMBRE", "VALOR"}, {}));
    EXPECT_TRUE(GuardarVersion(conn, "PAISES", "7"));
    EXPECT_EQ(conn.Guardadas()[0].valores.at("VALOR"), T("7"));
}

TEST(CrearPropiedades, SendsTheTableAndIndexStatements) {
    ScriptedConnection central("Vardex");
    central.FallaSiEmpiezaPor("CREATE TABLE", ErrorServidor(2714, "There is already an object"));
    CrearPropiedades(central);
    EXPECT_THAT(central.Ejecutadas(),
                ElementsAre("CREATE TABLE PROPIEDADES(OBJETO VARCHAR(128) NOT NULL DEFAULT(''), "
                            "NOMBRE VARCHAR(128) NOT NULL DEFAULT(''),VALOR VARCHAR(128) NOT "
                            "NULL DEFAULT(''))",
                            "CREATE UNIQUE INDEX PROIDX ON PROPIEDADES (OBJETO,NOMBRE)"));
    ScriptedConnection empresa;
    CrearPropiedadesEmpresa(empresa);
    EXPECT_THAT(empresa.Ejecutadas(),
                ElementsAre("CREATE TABLE PROPIEDADES(NOMBRE VARCHAR(128) NOT NULL "
                            "DEFAULT(''),VALOR VARCHAR(128) NOT NULL DEFAULT(''))",
                            "CREATE UNIQUE INDEX PROIDX ON PROPIEDADES (NOMBRE)"));
}

const std::string kTablaPropiedades =
    "select Table_Name from INFORMATION_SCHEMA.TABLES where Table_name like 'PROPIEDADES' and "
    "table_type='BASE TABLE '";
const std::string kCuenta = "Select count(Nombre) from propiedades";
const std::string kCrear = "CREATE TABLE PROPIEDADES (NOMBRE varchar(128), VALOR varchar(128))";
const std::string kIndice = "CREATE UNIQUE INDEX PROPIDX ON PROPIEDADES (NOMBRE)";
const std::string kGrant = "Grant all on propiedades to public";
const std::string kCopia =
    "insert into propiedades select name, cast(value as varchar(128)) FROM "
    "::fn_listextendedproperty(NULL, NULL, NULL, NULL, NULL, NULL, NULL)";
const std::string kBorrar =
    "EXEC sp_dropextendedproperty 'VERSION', NULL, NULL, NULL, NULL, NULL, NULL";

TEST(MigrarPropiedadesExtendidas, WithoutTableCreatesItAndCopiesTheProperties) {
    ScriptedConnection conn;
    MigrarPropiedadesExtendidas(test_support::RunFixture().ctx(), conn);
    EXPECT_THAT(conn.Enviadas(),
                ElementsAre(kTablaPropiedades, kCrear, kIndice, kGrant, kCopia, kBorrar));
}

TEST(MigrarPropiedadesExtendidas, TableWithRowsIsNeverTouched) {
    ScriptedConnection conn;
    conn.Devuelve(kTablaPropiedades, Filas({"Table_Name"}, {{"PROPIEDADES"}}));
    conn.Devuelve(kCuenta, Filas({""}, {{"3"}}));
    MigrarPropiedadesExtendidas(test_support::RunFixture().ctx(), conn);
    EXPECT_THAT(conn.Enviadas(), ElementsAre(kTablaPropiedades, kCuenta));
}

TEST(MigrarPropiedadesExtendidas, EmptyTableGetsTheCopyOnce) {
    ScriptedConnection conn;
    conn.Devuelve(kTablaPropiedades, Filas({"Table_Name"}, {{"PROPIEDADES"}}));
    conn.Devuelve(kCuenta, Filas({""}, {{"0"}}));
    conn.FallaCon(kCrear, ErrorServidor(2714, "There is already an object named 'PROPIEDADES'"));
    MigrarPropiedadesExtendidas(test_support::RunFixture().ctx(), conn);
    EXPECT_THAT(conn.Enviadas(),
                ElementsAre(kTablaPropiedades, kCuenta, kCrear, kIndice, kGrant, kCopia, kBorrar));
    // Once PROPIDX exists the copy is not repeated.
    ScriptedConnection marcada;
    marcada.Devuelve(kTablaPropiedades, Filas({"Table_Name"}, {{"PROPIEDADES"}}));
    marcada.Devuelve(kCuenta, Filas({""}, {{std::string(kNulo)}}));
    marcada.FallaCon(kCrear, ErrorServidor(2714, "There is already an object"));
    marcada.FallaCon(kIndice, ErrorServidor(1913,
                                            "The operation failed because an index or "
                                            "statistics with name 'PROPIDX' already exists"));
    MigrarPropiedadesExtendidas(test_support::RunFixture().ctx(), marcada);
    EXPECT_THAT(marcada.Enviadas(), ElementsAre(kTablaPropiedades, kCuenta, kCrear, kIndice));
}

TEST(MigrarPropiedadesExtendidas, FailingCatalogueQueryDoesNothing) {
    ScriptedConnection conn;
    conn.FallaCon(kTablaPropiedades, ErrorServidor(208, "Invalid object name"));
    MigrarPropiedadesExtendidas(test_support::RunFixture().ctx(), conn);
    EXPECT_THAT(conn.Enviadas(), ElementsAre(kTablaPropiedades));
}

}  // namespace
}  // namespace schema
