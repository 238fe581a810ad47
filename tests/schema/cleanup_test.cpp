#include "schema/cleanup.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/run_fixture.h"
#include "support/scripted_connection.h"

namespace schema {
namespace {

using test_support::ErrorServidor;
using test_support::Filas;
using test_support::RunFixture;
using test_support::ScriptedConnection;
using ::testing::ElementsAre;

const std::string kTemporales =
    "SELECT '[' +user_name(uid)+'].[' +NAME + ']' AS NOMBRE FROM SYSOBJECTS WHERE XTYPE='U' AND "
    "NAME like 'TEMP[0-9][0-9][0-9][0-9]%'";

class EliminarTablasTemporalesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        f_.EmpresaActual("0001");
        f_.ctx().progress.SetMaximum(1000);
        f_.ctx().progress.SetValue(500);
        conn_.AlEjecutar([this](const std::string&) { bombeosAlBorrar_.push_back(f_.Bombeos()); });
    }
    RunFixture f_;
    ScriptedConnection conn_;
    std::vector<int> bombeosAlBorrar_;
};

TEST_F(EliminarTablasTemporalesTest, DropsEachTableShowingItsProgress) {
    conn_.Devuelve(
        kTemporales,
        Filas({"NOMBRE"}, {{"[dbo].[TEMP0001]"}, {"[ana].[TEMP2010_X]"}, {"[dbo].[TEMP9999]"}}));
    conn_.FallaCon("DROP TABLE [ana].[TEMP2010_X]", ErrorServidor(3701, "Cannot drop"));
    EliminarTablasTemporales(f_.ctx(), conn_);
    EXPECT_THAT(conn_.Enviadas(),
                ElementsAre(kTemporales, "DROP TABLE [dbo].[TEMP0001]",
                            "DROP TABLE [ana].[TEMP2010_X]", "DROP TABLE [dbo].[TEMP9999]"));
    EXPECT_EQ(f_.ctx().progress.Maximum(), 3);
    EXPECT_EQ(f_.ctx().progress.Value(), 3);
    // Each drop happens before its position is shown and the events are pumped.
    EXPECT_THAT(bombeosAlBorrar_, ElementsAre(0, 1, 2));
    EXPECT_EQ(f_.Bombeos(), 3);
    EXPECT_THAT(f_.Entradas(),
                ElementsAre("Información:  Comenzando eliminación tablas temporales"));
    EXPECT_FALSE(f_.ctx().HayIncidencias());
}

TEST_F(EliminarTablasTemporalesTest, WithoutTablesTheProgressBarIsLeftAsItWas) {
    EliminarTablasTemporales(f_.ctx(), conn_);
    EXPECT_EQ(f_.ctx().progress.Maximum(), 1000);
    EXPECT_EQ(f_.ctx().progress.Value(), 500);
    EXPECT_EQ(f_.Bombeos(), 0);
    EXPECT_THAT(f_.Entradas(),
                ElementsAre("Información:  Comenzando eliminación tablas temporales"));
}

TEST_F(EliminarTablasTemporalesTest, AFailingListingStopsAfterTheStartLine) {
    conn_.FallaCon(kTemporales, ErrorServidor(208, "Invalid object name"));
    EliminarTablasTemporales(f_.ctx(), conn_);
    EXPECT_THAT(conn_.Enviadas(), ElementsAre(kTemporales));
    EXPECT_EQ(f_.Entradas().size(), 1u);
}

TEST(EliminarVistas, StockMovementViewsAreDroppedByBracketedName) {
    ScriptedConnection conn;
    const std::string consulta =
        "Select name from sysobjects where xtype='V' and name like 'E____MOVIMIENTOSSTOCK'";
    conn.Devuelve(consulta,
                  Filas({"name"}, {{"E2009MOVIMIENTOSSTOCK"}, {"E2010MOVIMIENTOSSTOCK"}}));
    conn.FallaCon("DROP VIEW [E2009MOVIMIENTOSSTOCK]", ErrorServidor(3701, "Cannot drop"));
    EliminarVistasMovimientosStock(conn);
    EXPECT_THAT(conn.Enviadas(), ElementsAre(consulta, "DROP VIEW [E2009MOVIMIENTOSSTOCK]",
                                             "DROP VIEW [E2010MOVIMIENTOSSTOCK]"));
}

TEST(EliminarVistas, ViewsWithoutCantidadAreDroppedOnlyWhenTheyLackIt) {
    ScriptedConnection conn;
    const std::string consulta =
        "Select Name from Sysobjects where xtype='V' and name like "
        "'E[0-9][0-9][0-9][0-9]Movimientosstock%'";
    conn.Devuelve(consulta,
                  Filas({"Name"}, {{"E2009MOVIMIENTOSSTOCK"}, {"E2009MovimientosstockAnual"}}));
    EliminarVistasSinCantidad(conn);
    EXPECT_THAT(conn.Enviadas(),
                ElementsAre(consulta,
                            "if (SELECT COL_LENGTH('E2009MOVIMIENTOSSTOCK','cantidad')) is null "
                            "drop view E2009MOVIMIENTOSSTOCK",
                            "if (SELECT COL_LENGTH('E2009MovimientosstockAnual','cantidad')) is "
                            "null drop view E2009MovimientosstockAnual"));
}

TEST(EliminarVistas, FailingListingDropsNothing) {
    ScriptedConnection conn;
    conn.Romper(ErrorServidor(0, "link failure"));
    EliminarVistasMovimientosStock(conn);
    EliminarVistasSinCantidad(conn);
    EXPECT_EQ(conn.Ejecutadas().size(), 0u);
}

}  // namespace
}  // namespace schema
