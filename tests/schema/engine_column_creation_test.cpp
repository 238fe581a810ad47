// CrearCampo against the embedded engine: the server's own answers (2705, 4902, 2715) decide
// the result codes, and the statement trace shows the exact texts sent.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "schema/column_creation.h"
#include "support/embedded_server.h"
#include "support/run_fixture.h"
#include "support/statement_trace.h"

namespace schema {
namespace {

using test_support::EmbeddedServer;
using test_support::RunFixture;
using test_support::StatementTrace;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Filas = std::vector<std::vector<std::string>>;

class EngineCrearCampoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        servidor_.CrearBaseDatos("Empresa_0001",
                                 {"CREATE TABLE CTANUEVOPGC (NUMCUENTA varchar(10) NOT NULL)",
                                  "INSERT INTO CTANUEVOPGC VALUES ('4300001')",
                                  "INSERT INTO CTANUEVOPGC VALUES ('4300002')"});
        conexion_ = servidor_.Conectar("Empresa_0001");
        ASSERT_TRUE(conexion_->isOpen()) << conexion_->lastError().description;
        f_.EmpresaActual("0001");
    }
    ResultadoCampo Crear(std::string_view campo, std::string_view tabla, std::string_view tipo,
                         const Longitud& longitud, bool notNull, std::string_view defecto) {
        return CrearCampo(f_.ctx(), campo, tabla, tipo, *conexion_, longitud, notNull, defecto);
    }
    Filas Consulta(std::string_view sql) { return EmbeddedServer::Filas(*conexion_, sql); }

    EmbeddedServer servidor_;
    RunFixture f_{servidor_.Servidor()};
    std::unique_ptr<db::Connection> conexion_;
};

TEST_F(EngineCrearCampoTest, NewColumnThenTheSameAgainThenAMissingTable) {
    StatementTrace traza;
    EXPECT_EQ(Crear("Bic", "CTANUEVOPGC", "varchar", 15, true, "''"), ResultadoCampo::Creado);
    EXPECT_EQ(Crear("Bic", "CTANUEVOPGC", "varchar", 15, true, "''"), ResultadoCampo::YaExistia);
    EXPECT_EQ(Crear("Bic", "NOEXISTE", "varchar", 15, true, "''"), ResultadoCampo::Fallido);

    std::vector<std::string> registros;
    for (const auto& r : traza.Records())
        registros.push_back(r.outcome + " " + r.statement);
    EXPECT_THAT(
        registros,
        ElementsAre("ok Alter Table CTANUEVOPGC ADD Bic varchar (15) NOT NULL DEFAULT('') ",
                    "ok UPDATE CTANUEVOPGC SET Bic=''",
                    "2705 Alter Table CTANUEVOPGC ADD Bic varchar (15) NOT NULL DEFAULT('') ",
                    "4902 Alter Table NOEXISTE ADD Bic varchar (15) NOT NULL DEFAULT('') "));
    const std::string servidor = servidor_.Servidor();
    EXPECT_THAT(
        f_.Entradas(),
        ElementsAre("Información:  Campo Bic actualizado correctamente en la empresa 0001 "
                    ", servidor: " +
                        servidor,
                    "Error en el procesimiento Form_Activate:Error al crear el campo Bic en "
                    "la empresa 0001 , servidor: " +
                        servidor +
                        "     Mensaje devuelto por el servidor :Cannot find the object "
                        "\"NOEXISTE\" because it does not exist or you do not have "
                        "permissions."));
    EXPECT_EQ(Consulta("SELECT NUMCUENTA, Bic FROM CTANUEVOPGC ORDER BY NUMCUENTA"),
              (Filas{{"4300001", ""}, {"4300002", ""}}));
}

TEST_F(EngineCrearCampoTest, TheLengthMayComeAsNumberTextOrBoolean) {
    EXPECT_EQ(Crear("Nombre", "CTANUEVOPGC", "VARCHAR", "255", false, ""), ResultadoCampo::Creado);
    EXPECT_EQ(Crear("Activa", "CTANUEVOPGC", "bit", true, true, "0"), ResultadoCampo::Creado);
    EXPECT_EQ(Crear("Codigo", "CTANUEVOPGC", "char", 4, false, ""), ResultadoCampo::Creado);
    EXPECT_EQ(
        Consulta("SELECT COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH FROM "
                 "INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME='CTANUEVOPGC' AND "
                 "COLUMN_NAME<>'NUMCUENTA' ORDER BY ORDINAL_POSITION"),
        (Filas{{"Nombre", "varchar", "255"}, {"Activa", "bit", "NULL"}, {"Codigo", "char", "4"}}));
}

TEST_F(EngineCrearCampoTest, ExistingRowsGetTheDefaultAlsoWhereNullIsAllowed) {
    EXPECT_EQ(Crear("Importe", "CTANUEVOPGC", "FLOAT", 0, false, "0"), ResultadoCampo::Creado);
    EXPECT_EQ(Crear("Nota", "CTANUEVOPGC", "varchar", 10, false, ""), ResultadoCampo::Creado);
    EXPECT_EQ(Consulta("SELECT Importe, Nota FROM CTANUEVOPGC"),
              (Filas{{"0", "NULL"}, {"0", "NULL"}}));
}

TEST_F(EngineCrearCampoTest, RefusalsOtherThanADuplicateAreIncidents) {
    EXPECT_EQ(Crear("C", "CTANUEVOPGC", "VACHAR", 10, false, ""), ResultadoCampo::Fallido);
    // NOT NULL without a default on a table with rows.
    EXPECT_EQ(Crear("D", "CTANUEVOPGC", "int", 0, true, ""), ResultadoCampo::Fallido);
    EXPECT_EQ(f_.Entradas().size(), 2u);
    EXPECT_TRUE(f_.ctx().HayIncidencias());
    EXPECT_EQ(Consulta("SELECT COUNT(*) FROM INFORMATION_SCHEMA.COLUMNS WHERE "
                       "TABLE_NAME='CTANUEVOPGC'"),
              (Filas{{"1"}}));
}

TEST_F(EngineCrearCampoTest, ASecondRunLogsNothing) {
    static constexpr DefinicionCampo kCampos[] = {
        {"Iban", "varchar", 4, false, "''"},
        {"Bic", "varchar", 15, false, "''"},
        {"Fecha", "datetime", {}, false, ""},
    };
    CrearCampos(f_.ctx(), *conexion_, "CTANUEVOPGC", kCampos);
    EXPECT_EQ(f_.Entradas().size(), 3u);
    RunFixture segunda{servidor_.Servidor()};
    CrearCampos(segunda.ctx(), *conexion_, "CTANUEVOPGC", kCampos);
    EXPECT_THAT(segunda.Entradas(), IsEmpty());
}

}  // namespace
}  // namespace schema
