// The property store, its migration and the column type change against the embedded engine.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "schema/catalogue_probes.h"
#include "schema/column_type_change.h"
#include "schema/properties.h"
#include "support/run_fixture.h"
#include "support/embedded_server.h"

namespace schema {
namespace {

using test_support::EmbeddedServer;
using ::testing::ElementsAre;
using Filas = std::vector<std::vector<std::string>>;

class EnginePropertiesTest : public ::testing::Test {
  protected:
    db::Connection& Base(const std::string& nombre, const std::vector<std::string>& lotes = {}) {
        servidor_.CrearBaseDatos(nombre, lotes);
        conexion_ = servidor_.Conectar(nombre);
        EXPECT_TRUE(conexion_->isOpen()) << conexion_->lastError().description;
        return *conexion_;
    }
    Filas Consulta(std::string_view sql) { return EmbeddedServer::Filas(*conexion_, sql); }

    EmbeddedServer servidor_;
    std::unique_ptr<db::Connection> conexion_;
};

TEST_F(EnginePropertiesTest, CentralPropertiesAreWrittenOnceAndRead) {
    db::Connection& vardex = Base("Vardex");
    EXPECT_FALSE(GuardarPropiedad(vardex, "IVATAB", "VERSION", "1001"));
    EXPECT_FALSE(ExisteObjeto("PROPIEDADES", vardex));
    CrearPropiedades(vardex);
    EXPECT_TRUE(ExisteObjeto("PROPIEDADES", vardex));
    EXPECT_TRUE(ExisteIndice("PROPIEDADES", "PROIDX", vardex));
    EXPECT_TRUE(VersionPendiente(vardex, "IVATAB", 1001));
    EXPECT_TRUE(GuardarPropiedad(vardex, "IVATAB", "VERSION", "1001"));
    EXPECT_TRUE(GuardarPropiedad(vardex, "IVATAB", "VERSION", "1002"));
    EXPECT_TRUE(GuardarPropiedad(vardex, "PLADIO_FECHA", "VERSION", "08/12/2026 10:30:00"));
    EXPECT_EQ(LeerPropiedad(vardex, "IVATAB", "VERSION"), "1002");
    EXPECT_FALSE(VersionPendiente(vardex, "IVATAB", 1002));
    EXPECT_EQ(LeerPropiedad(vardex, "IVATAB", "OTRA"), "");
    EXPECT_EQ(
        Consulta("SELECT OBJETO, NOMBRE, VALOR FROM PROPIEDADES ORDER BY OBJETO"),
        (Filas{{"IVATAB", "VERSION", "1002"}, {"PLADIO_FECHA", "VERSION", "08/12/2026 10:30:00"}}));
}

TEST_F(EnginePropertiesTest, QuotesInNamesAndValuesAreStoredAsTheyAre) {
    db::Connection& vardex = Base("Vardex");
    CrearPropiedades(vardex);
    EXPECT_TRUE(GuardarPropiedad(vardex, "D'ONOFRIO", "NOTA", "it's 'quoted'"));
    EXPECT_EQ(LeerPropiedad(vardex, "D'ONOFRIO", "NOTA"), "it's 'quoted'");
    EXPECT_EQ(Consulta("SELECT COUNT(*) FROM PROPIEDADES"), (Filas{{"1"}}));
}

TEST_F(EnginePropertiesTest, CompanyPropertiesAreKeyedByName) {
    db::Connection& empresa = Base("Empresa_0001");
    CrearPropiedadesEmpresa(empresa);
    EXPECT_TRUE(GuardarPropiedadEmpresa(empresa, "ENTIDAD", "1001"));
    EXPECT_TRUE(GuardarPropiedadEmpresa(empresa, "PLADIO_FECHA", "08/12/2026 10:30:00"));
    EXPECT_TRUE(GuardarPropiedadEmpresa(empresa, "ENTIDAD", "1002"));
    EXPECT_EQ(LeerPropiedadEmpresa(empresa, "ENTIDAD"), "1002");
    EXPECT_EQ(LeerPropiedadEmpresa(empresa, "NADA"), "");
    EXPECT_EQ(Consulta("SELECT NOMBRE, VALOR FROM PROPIEDADES ORDER BY NOMBRE"),
              (Filas{{"ENTIDAD", "1002"}, {"PLADIO_FECHA", "08/12/2026 10:30:00"}}));
}

TEST_F(EnginePropertiesTest, MigrationCopiesExtendedPropertiesIntoANewTable) {
    const std::string larga(150, 'x');
    db::Connection& empresa =
        Base("Empresa_0001", {"EXEC sp_addextendedproperty 'VERSION', '1001'",
                              "EXEC sp_addextendedproperty 'LARGA', '" + larga + "'"});
    MigrarPropiedadesExtendidas(test_support::RunFixture().ctx(), empresa);
    EXPECT_EQ(Consulta("SELECT NOMBRE, VALOR FROM PROPIEDADES ORDER BY NOMBRE"),
              (Filas{{"LARGA", larga.substr(0, 128)}, {"VERSION", "1001"}}));
    EXPECT_TRUE(ExisteIndice("PROPIEDADES", "PROPIDX", empresa));
    EXPECT_EQ(Consulta("SELECT name FROM ::fn_listextendedproperty(NULL, NULL, NULL, NULL, NULL, "
                       "NULL, NULL)"),
              (Filas{{"LARGA"}}));
    // A second run finds rows and changes nothing.
    MigrarPropiedadesExtendidas(test_support::RunFixture().ctx(), empresa);
    EXPECT_EQ(Consulta("SELECT COUNT(*) FROM PROPIEDADES"), (Filas{{"2"}}));
}

TEST_F(EnginePropertiesTest, MigrationFillsAnEmptyTableOnceAndLeavesAFullOneAlone) {
    db::Connection& empresa =
        Base("Empresa_0001", {"EXEC sp_addextendedproperty 'VERSION', '1001'"});
    CrearPropiedadesEmpresa(empresa);
    MigrarPropiedadesExtendidas(test_support::RunFixture().ctx(), empresa);
    EXPECT_EQ(Consulta("SELECT NOMBRE, VALOR FROM PROPIEDADES"), (Filas{{"VERSION", "1001"}}));

    db::Connection& otra = Base("Empresa_0002", {"EXEC sp_addextendedproperty 'VERSION', '7'"});
    CrearPropiedadesEmpresa(otra);
    GuardarPropiedadEmpresa(otra, "PLADIO_FECHA", "01/01/2026 00:00:00");
    MigrarPropiedadesExtendidas(test_support::RunFixture().ctx(), otra);
    EXPECT_EQ(Consulta("SELECT NOMBRE FROM PROPIEDADES"), (Filas{{"PLADIO_FECHA"}}));
    EXPECT_FALSE(ExisteIndice("PROPIEDADES", "PROPIDX", otra));
}

TEST_F(EnginePropertiesTest, MigrationWithoutExtendedPropertiesCreatesAnEmptyTable) {
    db::Connection& empresa = Base("Empresa_0001");
    MigrarPropiedadesExtendidas(test_support::RunFixture().ctx(), empresa);
    EXPECT_TRUE(ExisteObjeto("PROPIEDADES", empresa));
    EXPECT_EQ(Consulta("SELECT COUNT(*) FROM PROPIEDADES"), (Filas{{"0"}}));
}

class EngineCambiarTipoDatosTest : public EnginePropertiesTest {
  protected:
    std::string Defecto(const std::string& columna) {
        const Filas filas = Consulta(
            "SELECT SYSOBJECTS.NAME, SYSCOMMENTS.TEXT FROM SYSCOLUMNS INNER JOIN SYSOBJECTS ON "
            "SYSCOLUMNS.CDEFAULT = SYSOBJECTS.ID INNER JOIN SYSCOMMENTS ON SYSCOMMENTS.ID = "
            "SYSOBJECTS.ID WHERE SYSCOLUMNS.ID = OBJECT_ID('IVATABLA') AND SYSCOLUMNS.NAME='" +
            columna + "'");
        return filas.empty() ? "" : filas[0][0] + " " + filas[0][1];
    }
    std::string Tipo(const std::string& columna) {
        return Consulta(
            "SELECT DATA_TYPE FROM INFORMATION_SCHEMA.COLUMNS WHERE "
            "TABLE_NAME='IVATABLA' AND COLUMN_NAME='" +
            columna + "'")[0][0];
    }
};

TEST_F(EngineCambiarTipoDatosTest, ChangesTheTypeAndKeepsTheDefaultsName) {
    db::Connection& empresa =
        Base("Empresa_0001", {"CREATE TABLE IVATABLA (IVAEXONERADO bit NOT NULL CONSTRAINT "
                              "DF__IVATABLA__IVAEX__0123ABCD DEFAULT 0, N int)",
                              "INSERT INTO IVATABLA (N) VALUES (1)"});
    EXPECT_FALSE(CambiarTipoDatos(empresa, "IVATABLA", "N", "int", "0"));
    EXPECT_TRUE(CambiarTipoDatos(empresa, "ivatabla", "IvaExonerado", "int", "1"));
    EXPECT_EQ(Tipo("IVAEXONERADO"), "int");
    EXPECT_EQ(Defecto("IVAEXONERADO"), "DF__IVATABLA__IVAEX__0123ABCD ((1))");
}

TEST_F(EngineCambiarTipoDatosTest, AColumnWithoutDefaultGetsTheBuiltName) {
    db::Connection& empresa =
        Base("Empresa_0001", {"CREATE TABLE IVATABLA (IVAEXONERADOTOTAL bit)"});
    EXPECT_TRUE(CambiarTipoDatos(empresa, "IVATABLA", "IVAEXONERADOTOTAL", "int", "0"));
    EXPECT_EQ(Defecto("IVAEXONERADOTOTAL"), "DF__IVATABLA__IVAEXONERADO__389C9811 ((0))");
}

TEST_F(EngineCambiarTipoDatosTest, AnEmptyNewDefaultDropsTheOldOne) {
    db::Connection& empresa = Base("Empresa_0001", {"CREATE TABLE IVATABLA (C bit DEFAULT 0)"});
    EXPECT_TRUE(CambiarTipoDatos(empresa, "IVATABLA", "C", "int", ""));
    EXPECT_EQ(Defecto("C"), "");
    EXPECT_EQ(Tipo("C"), "int");
}

TEST_F(EngineCambiarTipoDatosTest, ARefusedChangeKeepsTheOldDefault) {
    db::Connection& empresa =
        Base("Empresa_0001", {"CREATE TABLE IVATABLA (C varchar(10) CONSTRAINT DF_C DEFAULT 'x')",
                              "INSERT INTO IVATABLA VALUES ('abc')"});
    EXPECT_FALSE(CambiarTipoDatos(empresa, "IVATABLA", "C", "int", "0"));
    EXPECT_EQ(Tipo("C"), "varchar");
    EXPECT_EQ(Defecto("C"), "DF_C ('x')");
}

// Column names of the suite carry Ñ and accents: the name is upper-cased letter by letter, as
// the server's UPPER does, and cut after twelve letters, not twelve bytes.
TEST_F(EngineCambiarTipoDatosTest, AccentedColumnNamesAreComparedAndCutByLetter) {
    db::Connection& empresa = Base(
        "Empresa_0001",
        {"CREATE TABLE IVATABLA (AÑOBASE bit CONSTRAINT DF_ANO DEFAULT 0, AÑOFISCALXYZW bit)"});
    EXPECT_TRUE(CambiarTipoDatos(empresa, "IVATABLA", "añobase", "int", "1"));
    EXPECT_EQ(Defecto("AÑOBASE"), "DF_ANO ((1))");
    EXPECT_TRUE(CambiarTipoDatos(empresa, "IVATABLA", "AÑOFISCALXYZW", "int", "0"));
    EXPECT_EQ(Defecto("AÑOFISCALXYZW"), "DF__IVATABLA__AÑOFISCALXYZ__389C9811 ((0))");
    EXPECT_EQ(NombreDefectoNuevo("T", "ÁÉÍÓÚÑáéíóúñX"), "DF__T__ÁÉÍÓÚÑáéíóúñ__389C9811");
}

}  // namespace
}  // namespace schema
