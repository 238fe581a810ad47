// The stock routines on the embedded engine: the per-year stock tables and their key, the
// warehouse movements with their colour repair and lot, and the warehouse table.
#include "updates/sales/stock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "updates/sales/sales_test.h"

namespace updates::sales {
namespace {

using sales_test::Filas;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

// A stock table of the old release with its key and its year's two views; `extra` adds
// columns.
std::vector<std::string> Stock(const std::string& anio, int articulo, const std::string& extra,
                               const std::string& clave) {
    const std::string t = "E" + anio + "CSTOCK";
    return {"CREATE TABLE " + t + " (CSTOCKARTICULO varchar(" + std::to_string(articulo) +
                ") NOT NULL, CSTOCKALMACEN varchar(4) NOT NULL, CSTOCKCANTIDAD float" + extra +
                "); CREATE UNIQUE INDEX CSTOCKINDICENUM ON " + t + " (" + clave +
                "); INSERT INTO " + t +
                " (CSTOCKARTICULO, CSTOCKALMACEN, CSTOCKCANTIDAD) VALUES "
                "('HAR0000001','A1',10),('HAR0000001','A2',5)",
            "CREATE VIEW E" + anio + "MOVIMIENTOSSTOCK AS SELECT CSTOCKARTICULO FROM " + t,
            "CREATE VIEW E" + anio + "AGRUPASTOCK AS SELECT CSTOCKALMACEN FROM " + t};
}

std::vector<std::string> Unir(std::vector<std::vector<std::string>> partes) {
    std::vector<std::string> todo;
    for (auto& parte : partes)
        todo.insert(todo.end(), parte.begin(), parte.end());
    return todo;
}

class StockTest : public sales_test::SalesTest {};

TEST_F(StockTest, AStockTableThatGainsKeyColumnsHasItsKeyRebuiltAndItsViewsDropped) {
    Empresa(Unir({Stock("2013", 10, "", "CSTOCKARTICULO, CSTOCKALMACEN"),
                  // Only the lot is missing: one new key column is enough.
                  Stock("2014", 20,
                        ", CSTOCKTALLA varchar(5) NOT NULL DEFAULT('00000'), CSTOCKCOLOR "
                        "varchar(5) NOT NULL DEFAULT('00000')",
                        "CSTOCKARTICULO, CSTOCKALMACEN, CSTOCKTALLA, CSTOCKCOLOR"),
                  Stock("2015", 20,
                        ", CSTOCKTALLA varchar(5), CSTOCKCOLOR varchar(5), CSTOCKLOTE varchar(50)",
                        "CSTOCKARTICULO, CSTOCKALMACEN")}));
    ActualizaCStock(ctx_, *conexion_);
    const std::vector<std::string> enviadas = Enviadas();

    const std::string clave = "CSTOCKARTICULO,CSTOCKALMACEN,CSTOCKTALLA,CSTOCKCOLOR,CSTOCKLOTE";
    EXPECT_EQ(ColumnasIndice("E2013CSTOCK", "CSTOCKINDICENUM"), clave);
    EXPECT_EQ(ColumnasIndice("E2014CSTOCK", "CSTOCKINDICENUM"), clave);
    for (const std::string anio : {"2013", "2014"}) {
        EXPECT_FALSE(ExisteVista("E" + anio + "MOVIMIENTOSSTOCK")) << anio;
        EXPECT_FALSE(ExisteVista("E" + anio + "AGRUPASTOCK")) << anio;
    }
    // A table that already had the three columns keeps its index and its views.
    EXPECT_EQ(ColumnasIndice("E2015CSTOCK", "CSTOCKINDICENUM"), "CSTOCKARTICULO,CSTOCKALMACEN");
    EXPECT_TRUE(ExisteVista("E2015MOVIMIENTOSSTOCK"));
    EXPECT_TRUE(ExisteVista("E2015AGRUPASTOCK"));
    EXPECT_THAT(enviadas, Not(Contains("drop index E2015CSTOCK.CSTOCKINDICENUM")));

    EXPECT_THAT(enviadas, Contains("drop index E2013CSTOCK.CSTOCKINDICENUM"));
    EXPECT_THAT(enviadas, Contains("Create unique index CSTOCKINDICENUM on E2013CSTOCK "
                                   "(CSTOCKARTICULO, CSTOCKALMACEN, CSTOCKTALLA, CSTOCKCOLOR, "
                                   "CSTOCKLOTE)"));
    EXPECT_THAT(enviadas, Contains("DROP VIEW E2013MOVIMIENTOSSTOCK"));
    EXPECT_THAT(enviadas, Contains("DROP VIEW E2013AGRUPASTOCK"));

    // Article codes of ten grow to twenty; existing stock gets the defaults of the key.
    EXPECT_EQ(Columna("E2013CSTOCK", "CSTOCKARTICULO"), "varchar 20 YES NULL");
    EXPECT_EQ(Consulta("SELECT DISTINCT CSTOCKTALLA, CSTOCKCOLOR, CSTOCKLOTE FROM E2013CSTOCK"),
              (Filas{{"00000", "00000", "0000000000"}}));
    EXPECT_EQ(Columna("E2013CSTOCK", "CSTOCKLOTE"), "varchar 50 YES ('0000000000')");

    // No start line: only the added columns are logged.
    EXPECT_THAT(Entradas(),
                ::testing::UnorderedElementsAre(Creado("CSTOCKTALLA"), Creado("CSTOCKCOLOR"),
                                                Creado("CSTOCKLOTE"), Creado("CSTOCKLOTE")));
    EXPECT_FALSE(ctx_.HayIncidencias());
}

TEST_F(StockTest, TheViewPrefixIsTheTablesFirstFiveCharactersTrimmed) {
    EXPECT_EQ(PrefijoVistasStock("E2014CSTOCK"), "E2014");
    EXPECT_EQ(PrefijoVistasStock(" E201CSTOCK"), "E201");
    EXPECT_EQ(PrefijoVistasStock("E20"), "E20");
}

// A warehouse movement table of the old release; `color` and `lote` add those columns.
std::vector<std::string> Movimientos(const std::string& anio, const std::string& color,
                                     const std::string& lote = "") {
    const std::string t = "E" + anio + "MOVIALMACEN";
    return {"CREATE TABLE " + t +
                " (MOVNUMERO int NOT NULL, ARTICULO varchar(10), articuloex varchar(10)" + color +
                lote + "); INSERT INTO " + t + " (MOVNUMERO, ARTICULO) VALUES (1,'HAR0000001')",
            "CREATE VIEW " + t + "TRI AS SELECT MOVNUMERO FROM " + t};
}

TEST_F(StockTest, WarehouseMovementsGetSizeAndColourWithTheColourDefaultRepaired) {
    Empresa(Unir({Movimientos("2012", ""),
                  Movimientos("2013",
                              ", COLOR varchar(5) NOT NULL CONSTRAINT "
                              "DF_E2013MOVIALMACEN_COLOR DEFAULT ('0')"),
                  Movimientos("2014",
                              ", COLOR varchar(5) NOT NULL CONSTRAINT "
                              "DF_E2014MOVIALMACEN_COLOR DEFAULT ('00000')")}));
    ActualizaMovimientosAlmacen(ctx_, *conexion_);
    const std::vector<std::string> enviadas = Enviadas();

    EXPECT_EQ(Columna("E2012MOVIALMACEN", "COLOR"), "varchar 5 NO ('00000')");
    EXPECT_EQ(Defecto("E2013MOVIALMACEN", "COLOR"),
              std::make_pair(std::string("DF_E2013MOVIALMACEN_COLOR"), std::string("('00000')")));
    EXPECT_EQ(Defecto("E2014MOVIALMACEN", "COLOR"),
              std::make_pair(std::string("DF_E2014MOVIALMACEN_COLOR"), std::string("('00000')")));
    EXPECT_THAT(enviadas,
                Contains(LoteReparacionDefecto("E2013MOVIALMACEN", kReparacionColorMovimientos)));
    EXPECT_THAT(
        enviadas,
        Not(Contains(LoteReparacionDefecto("E2012MOVIALMACEN", kReparacionColorMovimientos))));
    for (const std::string anio : {"2012", "2013", "2014"}) {
        EXPECT_EQ(Columna("E" + anio + "MOVIALMACEN", "ARTICULO"), "varchar 20 YES NULL");
        EXPECT_EQ(Columna("E" + anio + "MOVIALMACEN", "TALLA"), "varchar 5 NO ('00000')");
    }
    // The window is let process its events after each table.
    EXPECT_EQ(fixture_.Bombeos(), 3);
    ASSERT_FALSE(Entradas().empty());
    EXPECT_EQ(Entradas().front(), Info("Comenzando actualizacion estructura movimientos de "
                                       "almacen en la empresa0001 , servidor: SRV"));
}

TEST(ReparacionDefectoTest, TheColourBatchOfTheMovementsIsSentAsWritten) {
    // Lines end with a carriage return alone; the comment line needs it to end.
    EXPECT_EQ(LoteReparacionDefecto("E2013MOVIALMACEN", kReparacionColorMovimientos),
              "IF EXISTS (Select syscomments.text FROM Sysobjects inner join syscomments  on "
              "Sysobjects.id=syscomments.id where Sysobjects.Xtype='D' AND Sysobjects.PARENT_OBJ "
              "=OBJECT_ID('E2013MOVIALMACEN') AND COL_NAME(Sysobjects.PARENT_OBJ,Sysobjects.INFO) "
              "LIKE '%Color' and syscomments.text<>'(''00000'')')begin\r"
              "declare @Def varchar(255)\r"
              "declare @consulta  NVARCHAR(500)\r"
              "-- LOCALIZAMOS EL NOMBRE DEL VALOR POR DEFECTO\r"
              "set @Def = (SELECT SYSOBJECTS.NAME FROM SYSCOLUMNS INNER JOIN SYSOBJECTS ON "
              "SYSCOLUMNS.CDEFAULT = SYSOBJECTS.ID WHERE SYSCOLUMNS.ID = "
              "OBJECT_ID('E2013MOVIALMACEN') AND UPPER(SYSCOLUMNS.NAME) ='COLOR')\r"
              "IF @Def <> ''\r"
              "begin\r"
              "set @consulta = 'ALTER TABLE E2013MOVIALMACEN DROP CONSTRAINT ' + @Def\r"
              "exec SP_EXECUTESQL @consulta\r"
              "set @consulta = 'ALTER TABLE E2013MOVIALMACEN ADD CONSTRAINT ' + @def + ' "
              "DEFAULT(''00000'') FOR COLOR'\r"
              "exec SP_EXECUTESQL @consulta\r"
              "End\r"
              "End\r");
}

TEST_F(StockTest, ATableThatGainsItsLotLosesItsTriggerView) {
    Empresa(Unir({Movimientos("2013", ""),
                  Movimientos("2014", "", ", LOTE varchar(50) NOT NULL DEFAULT('0000000000')")}));
    ActualizaCaducidades(ctx_, *conexion_);

    EXPECT_FALSE(ExisteVista("E2013MOVIALMACENTRI"));
    EXPECT_TRUE(ExisteVista("E2014MOVIALMACENTRI"));
    EXPECT_EQ(Columna("E2013MOVIALMACEN", "LOTE"), "varchar 50 YES ('0000000000')");
    EXPECT_EQ(Consulta("SELECT LOTE FROM E2013MOVIALMACEN"), Filas{{"0000000000"}});
    EXPECT_EQ(Columna("E2013MOVIALMACEN", "articuloex"), "varchar 20 YES NULL");
    EXPECT_THAT(Enviadas(), Contains("DROP VIEW E2013MOVIALMACENTRI"));
    // Once, after the last table.
    EXPECT_EQ(fixture_.Bombeos(), 1);
    EXPECT_THAT(Entradas(), ElementsAre(Info("Comenzando actualizacion estructura caducidades en "
                                             "la empresa0001 , servidor: SRV"),
                                        Creado("LOTE")));
}

TEST_F(StockTest, TheWarehousePostalCodeGrowsToTen) {
    for (int longitud : {5, 9, 10, 12}) {
        SCOPED_TRACE(longitud);
        NuevoServidor();
        Empresa({"CREATE TABLE ALMACEN (ALMCODIGO varchar(4), ALMCODPOSTAL varchar(" +
                 std::to_string(longitud) + "))"});
        AmpliaCodPostalAlmacen(ctx_, *conexion_);
        EXPECT_EQ(Columna("ALMACEN", "ALMCODPOSTAL"),
                  "varchar " + std::to_string(std::max(longitud, 10)) + " YES NULL");
        EXPECT_THAT(Enviadas(), ElementsAre("if COL_LENGTH ('ALMACEN','ALMCODPOSTAL') <10 alter "
                                            "table ALMACEN alter column ALMCODPOSTAL varchar(10)"));
    }
    EXPECT_THAT(Entradas(), ElementsAre());
}

}  // namespace
}  // namespace updates::sales
