// The scanning lines: their columns, the numbering of the lines of each document and the new
// unique key, built once; and the numbering when rows cannot be saved (scripted server).
#include "updates/sales/escan_lineas.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/scripted_connection.h"
#include "updates/sales/sales_test.h"

namespace updates::sales {
namespace {

using sales_test::Filas;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

const std::vector<std::string> kEscanLineas = {
    "CREATE TABLE ESCANLINEAS (ESCANLINEACODIGO int NULL, ESCANLINEACODART varchar(10) NOT "
    "NULL, ESCANLINEACANTIDAD float)",
    "CREATE UNIQUE INDEX ESCANLINEAINDICENUM ON ESCANLINEAS (ESCANLINEACODIGO, "
    "ESCANLINEACODART)",
    "INSERT INTO ESCANLINEAS VALUES (7,'B',1),(7,'A',2),(7,'C',3),(9,'A',4),(NULL,'D',5),"
    "(NULL,'E',6)",
    // The stock views that the programs build again, and one the exact pattern misses.
    "CREATE TABLE E2013CSTOCK (CSTOCKARTICULO varchar(20))",
    "CREATE VIEW E2013MOVIMIENTOSSTOCK AS SELECT CSTOCKARTICULO FROM E2013CSTOCK",
    "CREATE VIEW E2013MOVIMIENTOSSTOCK2 AS SELECT CSTOCKARTICULO FROM E2013CSTOCK",
};

const std::string kNumeros =
    "SELECT ESCANLINEACODIGO, ESCANLINEACODART, ESCANNUMLINEA FROM ESCANLINEAS ORDER BY "
    "ESCANLINEACODIGO, ESCANLINEACODART";

class EscanLineasTest : public sales_test::SalesTest {};

TEST_F(EscanLineasTest, LinesAreNumberedPerDocumentByArticleAndKeyedOnTheirNumber) {
    Empresa(kEscanLineas);
    ActualizaEscanLineas(ctx_, *conexion_);

    // Lines without a document are numbered together, so the new key can be built.
    EXPECT_EQ(Consulta(kNumeros), (Filas{{"NULL", "D", "1"},
                                         {"NULL", "E", "2"},
                                         {"7", "A", "1"},
                                         {"7", "B", "2"},
                                         {"7", "C", "3"},
                                         {"9", "A", "1"}}));
    EXPECT_EQ(ColumnasIndice("ESCANLINEAS", "ESCANLINEAINDICENUM"),
              "ESCANLINEACODIGO,ESCANNUMLINEA");
    conexion_->clearError();
    EXPECT_FALSE(conexion_
                     ->execute("INSERT INTO ESCANLINEAS (ESCANLINEACODIGO, "
                               "ESCANLINEACODART, ESCANNUMLINEA) VALUES (7,'Z',2)")
                     .ok());

    // The fixed-unit column was added now: the stock-movement views go, except the one whose
    // name only starts like them.
    EXPECT_FALSE(ExisteVista("E2013MOVIMIENTOSSTOCK"));
    EXPECT_TRUE(ExisteVista("E2013MOVIMIENTOSSTOCK2"));

    EXPECT_EQ(Columna("ESCANLINEAS", "ESCANLINEACODART"), "varchar 20 YES NULL");
    EXPECT_EQ(Columna("ESCANLINEAS", "ESCANDETALLE"), "text 2147483647 YES NULL");
    EXPECT_EQ(Columna("ESCANLINEAS", "ESCANACTIVO"), "varchar 35 YES ('')");
    EXPECT_EQ(Columna("ESCANLINEAS", "ESCANNUMLINEA"), "bigint NULL YES ((0))");
    EXPECT_THAT(Columnas("ESCANLINEAS"),
                ElementsAre("ESCANLINEACODIGO", "ESCANLINEACODART", "ESCANLINEACANTIDAD",
                            "ESCANLARGO", "ESCANANCHO", "ESCANGRUESO", "ESCANUNIDADMEDIDA",
                            "ESCANUNIDADREAL", "ESCANVOLUMEN", "ESCANACTIVO", "ESCANDETALLE",
                            "ESCANLINEAUNIDADFIJA", "ESCANNUMLINEA"));
    const std::vector<std::string> entradas = Entradas();
    ASSERT_EQ(entradas.size(), 1u + 10);
    EXPECT_EQ(entradas.front(), Info("Comenzando actualizacion estructura ESCANLINEAS en la "
                                     "empresa0001 , servidor: SRV"));
    EXPECT_FALSE(ctx_.HayIncidencias());
}

TEST_F(EscanLineasTest, TheNumberingAndTheKeyAreBuiltOnlyOnTheRunThatAddsTheNumber) {
    Empresa(kEscanLineas);
    ActualizaEscanLineas(ctx_, *conexion_);
    const std::vector<std::string> primera = Enviadas();
    EXPECT_THAT(primera, Contains("drop index ESCANLINEAS.ESCANLINEAINDICENUM"));
    EXPECT_THAT(primera, Contains("CREATE UNIQUE INDEX ESCANLINEAINDICENUM ON ESCANLINEAS "
                                  "(ESCANLINEACODIGO,ESCANNUMLINEA)"));
    // The numbers are in place before the key that relies on them.
    const auto antes = std::find(primera.begin(), primera.end(),
                                 "Select * from escanlineas order by "
                                 "ESCANLINEACODIGO,ESCANLINEACODART");
    const auto indice =
        std::find(primera.begin(), primera.end(), "drop index ESCANLINEAS.ESCANLINEAINDICENUM");
    EXPECT_LT(antes, indice);

    // A line typed in later keeps the number its program gave it.
    conexion_->execute("UPDATE ESCANLINEAS SET ESCANNUMLINEA=8 WHERE ESCANLINEACODIGO=9");
    fixture_.ctx().log.IniciarLog();
    traza_.Clear();
    ActualizaEscanLineas(ctx_, *conexion_);
    EXPECT_EQ(Valor("SELECT ESCANNUMLINEA FROM ESCANLINEAS WHERE ESCANLINEACODIGO=9"), "8");
    for (const std::string& sql : Enviadas()) {
        EXPECT_FALSE(sql.starts_with("Select * from escanlineas")) << sql;
        EXPECT_FALSE(sql.starts_with("drop index")) << sql;
        EXPECT_FALSE(sql.starts_with("Select name from sysobjects where xtype='V'")) << sql;
    }
    EXPECT_THAT(Entradas(), ElementsAre(Info("Comenzando actualizacion estructura ESCANLINEAS en "
                                             "la empresa0001 , servidor: SRV")));
}

TEST(RenumeraEscanLineasTest, ARefusedSaveKeepsTheWalkGoing) {
    test_support::RunFixture fixture;
    test_support::ScriptedConnection conexion;
    conexion.Devuelve("Select * from escanlineas order by ESCANLINEACODIGO,ESCANLINEACODART",
                      test_support::Filas({"ESCANLINEACODIGO", "ESCANLINEACODART", "ESCANNUMLINEA"},
                                          {{"7", "A", "0"}, {"7", "B", "0"}, {"9", "A", "0"}}));
    conexion.RechazarGuardado(test_support::ErrorServidor(2627, "Violation of UNIQUE KEY"));
    const Renumeracion r = RenumeraEscanLineas(fixture.ctx(), conexion);
    EXPECT_TRUE(r.abierta);
    EXPECT_EQ(r.numeradas, 0);
    EXPECT_EQ(r.rechazadas, 3);
    EXPECT_THAT(fixture.Entradas(), ElementsAre());
}

TEST(RenumeraEscanLineasTest, EachDocumentStartsAgainAtOne) {
    test_support::RunFixture fixture;
    test_support::ScriptedConnection conexion;
    conexion.Devuelve("Select * from escanlineas order by ESCANLINEACODIGO,ESCANLINEACODART",
                      test_support::Filas({"ESCANLINEACODIGO", "ESCANLINEACODART", "ESCANNUMLINEA"},
                                          {{std::string(test_support::kNulo), "X", "0"},
                                           {"7", "A", "0"},
                                           {"7", "B", "0"},
                                           {"9", "A", "0"},
                                           {"9", "B", "0"},
                                           {"9", "C", "0"}}));
    const Renumeracion r = RenumeraEscanLineas(fixture.ctx(), conexion);
    EXPECT_EQ(r.numeradas, 6);
    std::vector<std::string> numeros;
    for (const test_support::FilaGuardada& fila : conexion.Guardadas())
        numeros.push_back(fila.valores.at("ESCANNUMLINEA").toText());
    EXPECT_THAT(numeros, ElementsAre("1", "1", "2", "1", "2", "3"));
}

TEST(RenumeraEscanLineasTest, ATableThatCannotBeReadIsLeftAlone) {
    test_support::RunFixture fixture;
    test_support::ScriptedConnection conexion;
    conexion.FallaCon("Select * from escanlineas order by ESCANLINEACODIGO,ESCANLINEACODART",
                      test_support::ErrorServidor(208, "Invalid object name 'escanlineas'."));
    EXPECT_FALSE(RenumeraEscanLineas(fixture.ctx(), conexion).abierta);
    EXPECT_TRUE(conexion.Guardadas().empty());
}

}  // namespace
}  // namespace updates::sales
