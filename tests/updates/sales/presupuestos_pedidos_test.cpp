// The quotation and customer order routines on the embedded engine.
#include "updates/sales/presupuestos_pedidos.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "updates/sales/facturas.h"
#include "updates/sales/sales_test.h"

namespace updates::sales {
namespace {

using sales_test::CabeceraDocumento;
using sales_test::Filas;
using sales_test::kClientes;
using ::testing::Contains;
using ::testing::ElementsAre;

// The accounts of CabeceraDocumento's rows after the backfill, with only 0049 in the BIC
// catalogue.
const Filas kCuentasRellenas = {{"1", "ES25", "BSCHESMMXXX"},
                                {"2", "ES13", ""},
                                {"3", "ES64", ""},
                                {"4", "", ""},
                                {"5", "", ""}};

class PresupuestosPedidosTest : public sales_test::SalesTest {
  protected:
    PresupuestosPedidosTest() { ctx_.ColeccionBIC.Add("0049", "BSCHESMMXXX"); }
};

TEST_F(PresupuestosPedidosTest, QuotationsFrom2013OnAreBackfilledAndKeepTheirStatusAsText) {
    Empresa({kClientes, CabeceraDocumento("E2012PresupuestoTabla", "PRECOM"),
             CabeceraDocumento("E2013PresupuestoTabla", "PRECOM")});
    ActualizaPresupuestos(ctx_, *conexion_);

    EXPECT_EQ(Consulta("SELECT PRECOMNumero, PRECOMIBAN, PRECOMBIC FROM E2013PresupuestoTabla "
                       "ORDER BY 1"),
              kCuentasRellenas);
    EXPECT_EQ(Consulta("SELECT DISTINCT PRECOMIBAN FROM E2012PresupuestoTabla"), Filas{{""}});
    // The status is a character column whose default is the number 0.
    EXPECT_EQ(Columna("E2013PresupuestoTabla", "PRECOMESTADO"), "varchar 10 NO ((0))");
    EXPECT_EQ(Consulta("SELECT DISTINCT PRECOMESTADO FROM E2013PresupuestoTabla"), Filas{{"0"}});
    EXPECT_EQ(Columna("E2013PresupuestoTabla", "PRECOMCpostalcli"), "varchar 10 YES NULL");
    EXPECT_EQ(Columna("E2013PresupuestoTabla", "PRECOMDireccionEnvio"), "varchar 100 YES NULL");
    EXPECT_EQ(Columna("E2013PresupuestoTabla", "PRECOMCODASUNTOINT"), "float NULL NO ((0))");

    const std::vector<std::string> columnas = Columnas("E2013PresupuestoTabla");
    EXPECT_EQ(std::vector<std::string>(columnas.begin() + 17, columnas.end()),
              (std::vector<std::string>{"PRECOMBancoPago", "PRECOMESTADO", "PRECOMSUPLIDOS",
                                        "PRECOMCODASUNTOINT", "PRECOMBIC", "PRECOMIBAN",
                                        "PRECOMIDCONTACTO", "PRECOMCONTACTONOMBRE",
                                        "PRECOMCODIGOESTADO", "PRECOMTIPOCLIENTE"}));
    EXPECT_FALSE(ctx_.HayIncidencias());
}

TEST_F(PresupuestosPedidosTest, SignatureTablesWithoutHeadersGetTheSurveyResult) {
    Empresa({"CREATE TABLE E2014PresupuestoTablaFirmas (PRECOMNumero int NOT NULL)",
             "CREATE TABLE E2014PedidosTablaFirmas (PEDIDOSNumero int NOT NULL)"});
    ActualizaPresupuestos(ctx_, *conexion_);
    EXPECT_EQ(Columna("E2014PresupuestoTablaFirmas", "SURVEYRESULT"), "int NULL NO ((0))");
    EXPECT_EQ(Columna("E2014PedidosTablaFirmas", "SURVEYRESULT"), "int NULL NO ((0))");
    EXPECT_THAT(Entradas(),
                ElementsAre(Info("Comenzando actualizacion estructura presupuestos en la "
                                 "empresa0001 , servidor: SRV"),
                            Creado("SURVEYRESULT"),
                            Info("Comenzando actualizacion estructura pedidos en la empresa0001 "
                                 ", servidor: SRV"),
                            Creado("SURVEYRESULT")));

    // ActualizaPedidos leaves the order signatures alone.
    traza_.Clear();
    ActualizaPedidos(ctx_, *conexion_);
    for (const std::string& sql : Enviadas())
        EXPECT_EQ(sql.find("PedidosTablaFirmas"), std::string::npos) << sql;
}

TEST_F(PresupuestosPedidosTest, OrdersAreListedWithTheirOwnQueryAndWidenTheDeliveryAddress) {
    Empresa({kClientes, CabeceraDocumento("E2013PedidosTabla", "PEDIDOS", 5, 40)});
    ActualizaPedidos(ctx_, *conexion_);
    const std::vector<std::string> enviadas = Enviadas();
    ASSERT_FALSE(enviadas.empty());
    EXPECT_EQ(enviadas.front(),
              "select Table_Name from INFORMATION_SCHEMA.TABLES where Table_name "
              "like'E____PedidosTabla' and table_type='BASE TABLE '");
    EXPECT_THAT(enviadas,
                Contains("SELECT PEDIDOSENTIDAD, PEDIDOSSUCURSAL, PEDIDOSDIGITO, PEDIDOSCC, "
                         "PEDIDOSIban, PEDIDOSBic FROM E2013PedidosTabla WHERE "
                         "(isnull(PEDIDOSENTIDAD,'') <> '' AND ISNULL(PEDIDOSSUCURSAL,'') <> '' "
                         "AND ISNULL(PEDIDOSDIGITO,'')<> '' AND isnull(PEDIDOSCC,'') <> '')"));
    EXPECT_THAT(enviadas, Contains("UPDATE E2013PedidosTabla SET "
                                   "PEDIDOSTIPOCLIENTE=TipoClienteCodigo FROM E2013PedidosTabla P "
                                   "INNER JOIN CLIENTESTABLA C ON P.PEDIDOSNumcli=C.Clicodigo"));

    EXPECT_EQ(Columna("E2013PedidosTabla", "PEDIDOSDireccionEnvio"), "varchar 100 YES NULL");
    EXPECT_EQ(Columna("E2013PedidosTabla", "PEDIDOSCpostalcli"), "varchar 10 YES NULL");
    EXPECT_EQ(Consulta("SELECT PEDIDOSNumero, PEDIDOSIBAN, PEDIDOSBIC FROM E2013PedidosTabla "
                       "ORDER BY 1"),
              kCuentasRellenas);
    const std::vector<std::string> columnas = Columnas("E2013PedidosTabla");
    EXPECT_EQ(std::vector<std::string>(columnas.begin() + 17, columnas.end()),
              (std::vector<std::string>{"PEDIDOSBancoPago", "PEDIDOSBIC", "PEDIDOSIBAN",
                                        "PEDIDOSIDCONTACTO", "PEDIDOSCONTACTONOMBRE",
                                        "PEDIDOSTIPOCLIENTE", "PEDIDOSCODIGOESTADO"}));
}

TEST_F(PresupuestosPedidosTest, QuotationsAndOrdersTakeTheirCustomersType) {
    Empresa({kClientes, CabeceraDocumento("E2013PresupuestoTabla", "PRECOM"),
             CabeceraDocumento("E2013PedidosTabla", "PEDIDOS")});
    ActualizaPresupuestos(ctx_, *conexion_);
    ActualizaPedidos(ctx_, *conexion_);
    EXPECT_THAT(Enviadas(),
                Contains("UPDATE E2013PresupuestoTabla SET PRECOMTIPOCLIENTE=TipoClienteCodigo "
                         "FROM E2013PresupuestoTabla P INNER JOIN CLIENTESTABLA C ON "
                         "P.PRECOMNumcli=C.Clicodigo"));
    const Filas esperadas = {{"1", "MAY"}, {"2", "MIN"}, {"3", ""}, {"4", "MAY"}, {"5", "MIN"}};
    EXPECT_EQ(Consulta("SELECT PRECOMNumero, PRECOMTIPOCLIENTE FROM E2013PresupuestoTabla "
                       "ORDER BY 1"),
              esperadas);
    EXPECT_EQ(
        Consulta("SELECT PEDIDOSNumero, PEDIDOSTIPOCLIENTE FROM E2013PedidosTabla ORDER BY 1"),
        esperadas);
}

std::string Lineas(const std::string& tabla, const std::string& p, int articulo,
                   const std::string& extra = "") {
    return "CREATE TABLE " + tabla + " (" + p + "Numero int NOT NULL, " + p +
           "CodArticulo varchar(" + std::to_string(articulo) + "), " + p +
           "DESARTICULO varchar(100)" + extra + "); INSERT INTO " + tabla + " (" + p +
           "Numero) VALUES (1),(2)";
}

TEST_F(PresupuestosPedidosTest, LineTablesGainSizeColourAndLotWithoutAnyDefaultRepair) {
    // A colour column of an older release keeps its default: only invoice lines and
    // warehouse movements repair it.
    Empresa({Lineas("E2013PresupuestoLineas", "PRECOM2", 10,
                    ", PRECOM2Color varchar(5) NOT NULL CONSTRAINT DF_PRE_Color DEFAULT ('0')"),
             Lineas("E2013PedidosLineas", "PEDIDOS2", 10,
                    ", PEDIDOS2Color varchar(5) NOT NULL CONSTRAINT DF_PED_Color DEFAULT ('0')")});
    ActualizaLineasPresupuestos(ctx_, *conexion_);
    ActualizaLineasPedidos(ctx_, *conexion_);

    EXPECT_EQ(Defecto("E2013PresupuestoLineas", "PRECOM2Color").second, "('0')");
    EXPECT_EQ(Defecto("E2013PedidosLineas", "PEDIDOS2Color").second, "('0')");
    for (const std::string& sql : Enviadas())
        EXPECT_FALSE(sql.starts_with("IF EXISTS")) << sql;

    EXPECT_EQ(Columna("E2013PresupuestoLineas", "PRECOM2CodArticulo"), "varchar 20 YES NULL");
    EXPECT_EQ(Columna("E2013PresupuestoLineas", "PRECOM2DESARTICULO"), "varchar 255 YES NULL");
    EXPECT_EQ(Columna("E2013PresupuestoLineas", "PRECOM2TIPOIMPORTE"), "varchar 1 YES ((0))");
    EXPECT_EQ(Columna("E2013PedidosLineas", "PEDIDOS2CodArticulo"), "varchar 20 YES NULL");
    EXPECT_EQ(Columna("E2013PedidosLineas", "PEDIDOS2PrecioMedioCoste"), "float NULL YES ((0))");
    EXPECT_EQ(Consulta("SELECT DISTINCT PRECOM2Talla, PRECOM2Lote, PRECOM2NOFACTURABLE FROM "
                       "E2013PresupuestoLineas"),
              (Filas{{"00000", "0000000000", "False"}}));
    EXPECT_EQ(Consulta("SELECT DISTINCT PEDIDOS2Talla, PEDIDOS2Lote FROM E2013PedidosLineas"),
              (Filas{{"00000", "0000000000"}}));

    const std::vector<std::string> entradas = Entradas();
    ASSERT_FALSE(entradas.empty());
    EXPECT_EQ(entradas.front(), Info("Comenzando actualizacion estructura lineas presupuestos "
                                     "en la empresa0001 , servidor: SRV"));
    // The order lines' literal ends with a blank, so a blank comes before the code.
    EXPECT_THAT(entradas, Contains(Info("Comenzando actualizacion estructura lineas pedidos en "
                                        "la empresa 0001 , servidor: SRV")));
}

}  // namespace
}  // namespace updates::sales
