#include "app/connections.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "db/connection_string.h"
#include "support/embedded_server.h"
#include "support/run_fixture.h"
#include "support/statement_trace.h"

namespace app {
namespace {

using test_support::EmbeddedServer;
using test_support::RunFixture;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

TEST(CadenaConexion, LoginAndIntegratedForms) {
    EXPECT_EQ(CadenaConexion("SRV", "vardex", true, "sa", "secreto"),
              "Server=SRV;uid=sa;pwd=secreto;database=vardex");
    EXPECT_EQ(CadenaConexion("SRV,1433", "Vardex", false, "", ""),
              "Server=SRV,1433;database=Vardex;Integrated Security=SSPI");
    EXPECT_EQ(CadenaConexion("SRV", "Empresa_0001", true, "null", ""),
              "Server=SRV;uid=null;pwd=;database=Empresa_0001");
}

TEST(CadenaConexion, APasswordCannotAddAttributes) {
    for (const std::string clave : {"a;database=master", "x}y;Integrated Security=SSPI", " b "}) {
        const auto ajustes =
            db::parseConnectionString(CadenaConexion("SRV", "Vardex", true, "sa", clave));
        ASSERT_TRUE(ajustes) << clave;
        EXPECT_EQ(ajustes->password, clave);
        EXPECT_EQ(ajustes->database, "Vardex");
        EXPECT_FALSE(ajustes->integratedSecurity);
    }
}

TEST(Credenciales, TheListingComparesNullWithoutCaseTheUpdatesDoNot) {
    run::ParametrosEjecucion p{"null", "clave", "SRV", true, ""};
    const Credenciales listado = CredencialesListado(p);
    EXPECT_FALSE(listado.usarLogin);
    EXPECT_EQ(listado.usuario, "");
    EXPECT_EQ(listado.clave, "");
    const Credenciales actualizacion = CredencialesActualizacion(p);
    EXPECT_TRUE(actualizacion.usarLogin);
    EXPECT_EQ(actualizacion.usuario, "null");
    EXPECT_EQ(actualizacion.clave, "clave");

    run::ParametrosEjecucion sa{"sa", "x;y", "SRV", true, ""};
    EXPECT_TRUE(CredencialesListado(sa).usarLogin);
    EXPECT_EQ(CredencialesListado(sa).clave, "x;y");
    run::ParametrosEjecucion integrada{"NULL", "", "SRV", false, ""};
    EXPECT_FALSE(CredencialesListado(integrada).usarLogin);
    EXPECT_FALSE(CredencialesActualizacion(integrada).usarLogin);
}

TEST(ConsultaEmpresas, SelectorIsOneQuotedLiteral) {
    EXPECT_EQ(ConsultaEmpresas(""), "Select MENUMEMPRESA, MENOMBRE from emp");
    EXPECT_EQ(ConsultaEmpresas("0007"),
              "Select MENUMEMPRESA, MENOMBRE from emp where MENUMEMPRESA='0007'");
    EXPECT_EQ(ConsultaEmpresas("0001' OR '1'='1"),
              "Select MENUMEMPRESA, MENOMBRE from emp where MENUMEMPRESA='0001'' OR ''1''=''1'");
}

class UnreachableServerTest : public ::testing::Test {
  protected:
    RunFixture f_{"/nonexistent/actualiza/datos"};
};

TEST_F(UnreachableServerTest, ListingEndsTheProgramAfterOneEntry) {
    EXPECT_EQ(RealizarConexion(f_.ctx(), f_.ctx().parametros.Servidor, false, "", "", ""),
              ResultadoListado::kServidorInaccesible);
    const auto entradas = f_.Entradas();
    ASSERT_EQ(entradas.size(), 1u);
    EXPECT_THAT(entradas[0], StartsWith("Error en el procesimiento RealizarConexion:Error de "
                                        "conexión con el servidor     Mensaje devuelto por el "
                                        "servidor :"));
    EXPECT_GT(entradas[0].size(), std::string("Error en el procesimiento RealizarConexion:Error de "
                                              "conexión con el servidor     Mensaje devuelto por "
                                              "el servidor :")
                                      .size());
    EXPECT_EQ(f_.ctx().grid.Row(run::ProcessGrid::kConnectionRow).status, run::RowStatus::kNone);
    EXPECT_EQ(f_.ctx().grid.RowCount(), 3);
    EXPECT_TRUE(f_.ctx().HayIncidencias());
}

TEST_F(UnreachableServerTest, UpdateConnectionsReportTheirFailure) {
    std::unique_ptr<db::Connection> conexion;
    EXPECT_FALSE(
        AbreconexionSimple(f_.ctx(), conexion, "/nonexistent/actualiza/datos", true, "sa", "x"));
    ASSERT_NE(conexion, nullptr);
    EXPECT_FALSE(conexion->isOpen());
    EXPECT_FALSE(AbreconexionEmpresa(f_.ctx(), conexion, "/nonexistent/actualiza/datos", "0004",
                                     false, "", ""));
    ASSERT_NE(conexion, nullptr);
    const auto entradas = f_.Entradas();
    ASSERT_EQ(entradas.size(), 2u);
    EXPECT_EQ(entradas[0],
              "Error en el procesimiento AbreconexionSimple:Error al conectar Vardex; en el "
              "servidor /nonexistent/actualiza/datos     Mensaje devuelto por el servidor :");
    EXPECT_THAT(entradas[1], StartsWith("Error en el procesimiento AbreconexionEmpresa:Error al "
                                        "conectar con la empresa 0004 en el servidor "
                                        "/nonexistent/actualiza/datos     Mensaje devuelto por el "
                                        "servidor :"));
}

TEST(UnreachableOdbcServer, ARefusedServerEndsTheListingToo) {
    // Nothing listens on port 1: the ODBC driver's refusal is the server text.
    RunFixture f{"127.0.0.1,1"};
    EXPECT_EQ(RealizarConexion(f.ctx(), "127.0.0.1,1", true, "sa", "x", ""),
              ResultadoListado::kServidorInaccesible);
    const auto entradas = f.Entradas();
    ASSERT_EQ(entradas.size(), 1u);
    EXPECT_THAT(entradas[0], StartsWith("Error en el procesimiento RealizarConexion:Error de "
                                        "conexión con el servidor"));
    EXPECT_EQ(f.ctx().grid.Row(run::ProcessGrid::kConnectionRow).status, run::RowStatus::kNone);
}

// Against a reachable server of the embedded engine.
class EmbeddedConnectionsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        servidor_.CrearBaseDatos(
            "Vardex", {"CREATE TABLE EMP (MENUMEMPRESA char(4) NOT NULL, MENOMBRE varchar(60))",
                       "INSERT INTO EMP VALUES ('0001', 'Ferreteria Ruiz')",
                       "INSERT INTO EMP VALUES ('0002', 'Bodegas Peña')",
                       "INSERT INTO EMP VALUES ('0004', 'Sin base de datos')"});
        servidor_.CrearBaseDatos("Empresa_0001");
    }
    std::vector<std::pair<std::string, std::string>> FilasEmpresa() {
        std::vector<std::pair<std::string, std::string>> filas;
        const auto& grid = f_.ctx().grid;
        for (int r = run::ProcessGrid::kFirstCompanyRow; r < grid.RowCount(); ++r) {
            filas.emplace_back(grid.Row(r).text, grid.Row(r).code);
        }
        return filas;
    }

    EmbeddedServer servidor_;
    RunFixture f_{servidor_.Servidor()};
};

TEST_F(EmbeddedConnectionsTest, ListingFillsTheGridWithEveryCompany) {
    EXPECT_EQ(RealizarConexion(f_.ctx(), servidor_.Servidor(), false, "", "", ""),
              ResultadoListado::kListado);
    EXPECT_EQ(f_.ctx().grid.Row(run::ProcessGrid::kConnectionRow).status, run::RowStatus::kDone);
    using P = std::pair<std::string, std::string>;
    EXPECT_THAT(FilasEmpresa(), ElementsAre(P{"Actualizando Ferreteria Ruiz", "0001"},
                                            P{"Actualizando Bodegas Peña", "0002"},
                                            P{"Actualizando Sin base de datos", "0004"}));
    EXPECT_THAT(f_.Entradas(), IsEmpty());
}

TEST_F(EmbeddedConnectionsTest, TheRunParametersChooseServerCredentialsAndSelector) {
    f_.ctx().parametros = {"NULL", "", servidor_.Servidor(), false, "0001"};
    EXPECT_EQ(RealizarConexion(f_.ctx()), ResultadoListado::kListado);
    using P = std::pair<std::string, std::string>;
    EXPECT_THAT(FilasEmpresa(), ElementsAre(P{"Actualizando Ferreteria Ruiz", "0001"}));
    std::unique_ptr<db::Connection> central, empresa;
    EXPECT_TRUE(AbreconexionSimple(f_.ctx(), central));
    EXPECT_TRUE(AbreconexionEmpresa(f_.ctx(), empresa, "0001"));
    EXPECT_EQ(empresa->currentDatabase(), "Empresa_0001");
}

TEST_F(EmbeddedConnectionsTest, SelectorNamesOneCompanyOrNone) {
    RealizarConexion(f_.ctx(), servidor_.Servidor(), true, "sa", "x", "0002");
    using P = std::pair<std::string, std::string>;
    EXPECT_THAT(FilasEmpresa(), ElementsAre(P{"Actualizando Bodegas Peña", "0002"}));

    RunFixture otro{servidor_.Servidor()};
    RealizarConexion(otro.ctx(), servidor_.Servidor(), true, "sa", "x", "0009");
    EXPECT_EQ(otro.ctx().grid.RowCount(), 3);
    EXPECT_THAT(otro.Entradas(), IsEmpty());
}

TEST_F(EmbeddedConnectionsTest, AQuoteInTheSelectorSelectsNothing) {
    test_support::StatementTrace traza;
    RealizarConexion(f_.ctx(), servidor_.Servidor(), true, "sa", "x", "0001' OR '1'='1");
    EXPECT_EQ(f_.ctx().grid.RowCount(), 3);
    EXPECT_THAT(f_.Entradas(), IsEmpty());
    EXPECT_THAT(traza.Statements("open"),
                ElementsAre("Select MENUMEMPRESA, MENOMBRE from emp where "
                            "MENUMEMPRESA='0001'' OR ''1''=''1'"));
}

TEST_F(EmbeddedConnectionsTest, CentralSelectorListsNoCompany) {
    test_support::StatementTrace traza;
    EXPECT_EQ(RealizarConexion(f_.ctx(), servidor_.Servidor(), true, "sa", "x", "VARDEX"),
              ResultadoListado::kListado);
    EXPECT_EQ(f_.ctx().grid.RowCount(), 3);
    EXPECT_THAT(traza.Statements("open"), IsEmpty());
}

TEST_F(EmbeddedConnectionsTest, FailingCompanyQueryIsLoggedAndTheRunGoesOn) {
    auto vardex = servidor_.Conectar("Vardex");
    EmbeddedServer::Preparar(*vardex, "DROP TABLE EMP");
    vardex->close();
    EXPECT_EQ(RealizarConexion(f_.ctx(), servidor_.Servidor(), true, "sa", "x", ""),
              ResultadoListado::kListado);
    EXPECT_EQ(f_.ctx().grid.RowCount(), 3);
    EXPECT_THAT(f_.Entradas(),
                ElementsAre("Error en el procesimiento RealizarConexion:Consulta Empresas     "
                            "Mensaje devuelto por el servidor :Invalid object name 'emp'."));
}

TEST_F(EmbeddedConnectionsTest, UpdateConnectionsLogTheirSuccess) {
    std::unique_ptr<db::Connection> central;
    EXPECT_TRUE(AbreconexionSimple(f_.ctx(), central, servidor_.Servidor(), true, "sa", "x"));
    EXPECT_TRUE(central->isOpen());
    std::unique_ptr<db::Connection> empresa;
    EXPECT_TRUE(
        AbreconexionEmpresa(f_.ctx(), empresa, servidor_.Servidor(), "0001", false, "", ""));
    EXPECT_EQ(empresa->currentDatabase(), "Empresa_0001");
    EXPECT_THAT(f_.Entradas(), ElementsAre("Información:  Conexión con vardex: OK",
                                           "Información:  Conexión con Empresa_0001 : OK"));
}

TEST_F(EmbeddedConnectionsTest, MissingCompanyDatabaseIsReportedWithTheServersText) {
    std::unique_ptr<db::Connection> empresa;
    EXPECT_FALSE(
        AbreconexionEmpresa(f_.ctx(), empresa, servidor_.Servidor(), "0004", true, "sa", "x"));
    ASSERT_NE(empresa, nullptr);
    EXPECT_FALSE(empresa->isOpen());
    const auto entradas = f_.Entradas();
    ASSERT_EQ(entradas.size(), 1u);
    EXPECT_THAT(entradas[0],
                StartsWith("Error en el procesimiento AbreconexionEmpresa:Error al "
                           "conectar con la empresa 0004 en el servidor " +
                           servidor_.Servidor() + "     Mensaje devuelto por el servidor :"));
    EXPECT_THAT(entradas[0], HasSubstr("Empresa_0004"));
    EXPECT_TRUE(f_.ctx().HayIncidencias());
}

}  // namespace
}  // namespace app
