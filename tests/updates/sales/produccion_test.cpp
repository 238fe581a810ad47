// The production routine on the embedded engine: production lines and production headers.
#include "updates/sales/produccion.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "updates/sales/sales_test.h"

namespace updates::sales {
namespace {

using sales_test::Filas;
using ::testing::ElementsAre;

class ProduccionTest : public sales_test::SalesTest {};

const std::string kInicioLineas =
    "Información:  Comenzando actualizacion estructura líneas de producción en la empresa0001 "
    ", servidor: SRV";
const std::string kInicioProduccion =
    "Información:  Comenzando actualizacion estructura producción en la empresa0001 , "
    "servidor: SRV";

TEST_F(ProduccionTest, LinesGainTheirColumnsAndHeadersAWiderCustomerDescription) {
    Empresa(
        {"CREATE TABLE E2013ProduccionLineas (PROLINEASNUM int, PROLINEASCODARTI varchar(10), "
         "DESCLI varchar(50)); INSERT INTO E2013ProduccionLineas VALUES (1,'HAR0000001','x')",
         "CREATE TABLE E2012Produccion (PRONUM int, DESCLI varchar(30))",
         "CREATE TABLE E2013Produccion (PRONUM int, DESCLI varchar(50))",
         "CREATE TABLE E2014Produccion (PRONUM int, DESCLI varchar(60))",
         "CREATE TABLE E2013CSTOCK (CSTOCKARTICULO varchar(20))",
         "CREATE VIEW E2013MOVIMIENTOSSTOCK AS SELECT CSTOCKARTICULO FROM E2013CSTOCK"});
    ActualizaProduccion(ctx_, *conexion_);

    const std::string t = "E2013ProduccionLineas";
    EXPECT_EQ(Columna(t, "PROLINEASCODARTI"), "varchar 20 YES NULL");
    EXPECT_EQ(Columna(t, "PROLINEASACTIVO"), "varchar 1 YES ('0')");
    EXPECT_EQ(Columna(t, "PROLINEASUNIDAD"), "int NULL YES ((0))");
    EXPECT_EQ(Columna(t, "PROLINEASUNIDADESFIJA"), "bit NULL YES ((0))");
    EXPECT_EQ(Consulta("SELECT PROLINEASACTIVO, PROLINEASCANTIDAD, PROLINEASGRUESO, "
                       "PROLINEASUNIDADESFIJA FROM " +
                       t),
              (Filas{{"0", "0", "0", "False"}}));
    // The fixed-units mark was added now: the stock-movement views go.
    EXPECT_FALSE(ExisteVista("E2013MOVIMIENTOSSTOCK"));

    // 30 and 50 grow to 100, 60 stays; the line table is no production table.
    EXPECT_EQ(Columna("E2012Produccion", "DESCLI"), "varchar 100 YES NULL");
    EXPECT_EQ(Columna("E2013Produccion", "DESCLI"), "varchar 100 YES NULL");
    EXPECT_EQ(Columna("E2014Produccion", "DESCLI"), "varchar 60 YES NULL");
    EXPECT_EQ(Columna(t, "DESCLI"), "varchar 50 YES NULL");

    const std::vector<std::string> entradas = Entradas();
    ASSERT_EQ(entradas.size(), 1u + 8 + 1);
    EXPECT_EQ(entradas.front(), kInicioLineas);
    EXPECT_EQ(entradas[1], Creado("PROLINEASACTIVO"));
    EXPECT_EQ(entradas[8], Creado("PROLINEASUNIDADESFIJA"));
    EXPECT_EQ(entradas.back(), kInicioProduccion);
}

TEST_F(ProduccionTest, ASecondRunLogsOnlyTheTwoStartLinesAndKeepsTheViews) {
    Empresa(
        {"CREATE TABLE E2013ProduccionLineas (PROLINEASNUM int, PROLINEASCODARTI varchar(10))"});
    ActualizaProduccion(ctx_, *conexion_);
    conexion_->execute("CREATE TABLE E2013CSTOCK (CSTOCKARTICULO varchar(20))");
    conexion_->execute(
        "CREATE VIEW E2013MOVIMIENTOSSTOCK AS SELECT CSTOCKARTICULO FROM "
        "E2013CSTOCK");

    fixture_.ctx().log.IniciarLog();
    ActualizaProduccion(ctx_, *conexion_);
    EXPECT_THAT(Entradas(), ElementsAre(kInicioLineas, kInicioProduccion));
    EXPECT_TRUE(ExisteVista("E2013MOVIMIENTOSSTOCK"));
}

}  // namespace
}  // namespace updates::sales
