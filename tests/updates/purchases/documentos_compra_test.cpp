// Commissions, purchase orders and purchase delivery notes against company databases of the
// embedded engine: the columns each table ends with, the widths it is widened to, the values
// existing rows receive, and a second run that changes and logs nothing but the start lines.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <utility>

#include "updates/purchases/albaranes_compra.h"
#include "updates/purchases/comisiones.h"
#include "updates/purchases/compras_test.h"
#include "updates/purchases/pedidos_compra.h"

namespace compras_test {
namespace {

using ::testing::ElementsAre;

using Definiciones = std::vector<std::pair<std::string, std::string>>;

class DocumentosCompraTest : public EngineTest {
  protected:
    void ExpectColumnas(const std::string& tabla, const Definiciones& esperadas) {
        for (const auto& [columna, definicion] : esperadas)
            EXPECT_EQ(Columna(tabla, columna), definicion) << tabla << "." << columna;
    }
};

TEST_F(DocumentosCompraTest, CommissionArticleCodesOfTenAreWidenedAndLongerOnesKept) {
    Empresa(
        {"CREATE TABLE E2013ComisionesTab (ComiCodigo int NOT NULL, ComiNomCliente "
         "varchar(40) NULL, ComiArticulo varchar(10) NULL)",
         "CREATE TABLE E2014ComisionesTab (ComiCodigo int NOT NULL, ComiNomCliente "
         "varchar(50) NULL, ComiArticulo varchar(12) NULL)",
         "CREATE TABLE E2014ComisionesTabla (ComiArticulo varchar(10) NULL)",
         "INSERT INTO E2013ComisionesTab VALUES (1, 'Supermercados Ebro, S.A.', "
         "'ACE0000002')"});
    updates::purchases::ActualizaComisiones(ctx_, *conn_);

    EXPECT_EQ(Columna("E2013ComisionesTab", "ComiNomCliente"), "varchar(50) NULL -");
    EXPECT_EQ(Columna("E2013ComisionesTab", "ComiArticulo"), "varchar(20) NULL -");
    EXPECT_EQ(Columna("E2014ComisionesTab", "ComiNomCliente"), "varchar(50) NULL -");
    EXPECT_EQ(Columna("E2014ComisionesTab", "ComiArticulo"), "varchar(12) NULL -");
    // A longer name is not of the family.
    EXPECT_EQ(Columna("E2014ComisionesTabla", "ComiArticulo"), "varchar(10) NULL -");
    EXPECT_EQ(Consulta("SELECT ComiNomCliente, ComiArticulo FROM E2013ComisionesTab"),
              (Filas{{"Supermercados Ebro, S.A.", "ACE0000002"}}));
    EXPECT_THAT(Entries(), ElementsAre(Inicio("Comenzando actualizacion estructura comisiones en "
                                              "la empresa",
                                              Servidor())));
}

const char kPedidos2013[] =
    "CREATE TABLE E2013ComprasPedidosTabla (ComprasPedidosNumero int NOT NULL, "
    "ComprasPedidosNombrecli varchar(40) NULL, ComprasPedidosDireccionEnvio varchar(40) NULL, "
    "ComprasPedidosNifCliente varchar(12) NULL, ComprasPedidosNumerosudocu varchar(20) NULL, "
    "ComprasPedidosDomiciliocli varchar(60) NULL, ComprasPedidosCpostalcli varchar(5) NULL)";

const Definiciones kCabeceraPedido = {
    {"ComprasPedidosNombrecli", "varchar(50) NULL -"},
    {"ComprasPedidosDireccionEnvio", "varchar(100) NULL -"},
    {"ComprasPedidosNifCliente", "varchar(15) NULL -"},
    {"ComprasPedidosNumerosudocu", "varchar(25) NULL -"},
    {"ComprasPedidosDomiciliocli", "varchar(100) NULL -"},
    {"ComprasPedidosBancoPago", "varchar(35) NULL -"},
    {"ComprasPedidosCampoLibreDouble1", "float NULL ((0))"},
    {"ComprasPedidosCampoLibreDouble2", "float NULL ((0))"},
    {"ComprasPedidosCampoLibreDouble3", "float NULL ((0))"},
    {"ComprasPedidosCampoLibreDouble4", "float NULL ((0))"},
    {"ComprasPedidosCampoLibreDouble5", "float NULL ((0))"},
    {"ComprasPedidosIDCONTACTO", "bigint NOT NULL ((0))"},
    {"ComprasPedidosCONTACTONOMBRE", "varchar(100) NOT NULL ('')"},
    {"ComprasPedidosCpostalcli", "varchar(10) NULL -"},
    {"COMPRASPEDIDOSCODIGOESTADO", "varchar(4) NOT NULL ('')"},
};

TEST_F(DocumentosCompraTest, OrderHeadersEndWithTheReleaseColumnsAndTheirRowsFilled) {
    Empresa({kPedidos2013,
             "INSERT INTO E2013ComprasPedidosTabla VALUES (1, 'Harinas del Ebro, S.A.', "
             "'Polígono Cogullada, calle H', 'A50444555', 'P-2013-001', 'Zaragoza', '50014')"});
    updates::purchases::ActualizaPedidosCompra(ctx_, *conn_);

    // The delivery address of 40 went through 50 to 100.
    ExpectColumnas("E2013ComprasPedidosTabla", kCabeceraPedido);
    // Nullable columns with a default were filled too; the bank, without default, stays NULL.
    EXPECT_EQ(Consulta("SELECT ComprasPedidosBancoPago, ComprasPedidosCampoLibreDouble1, "
                       "ComprasPedidosCampoLibreDouble5, ComprasPedidosIDCONTACTO, "
                       "ComprasPedidosCONTACTONOMBRE, COMPRASPEDIDOSCODIGOESTADO, "
                       "ComprasPedidosDireccionEnvio FROM E2013ComprasPedidosTabla"),
              (Filas{{"NULL", "0", "0", "0", "", "", "Polígono Cogullada, calle H"}}));

    const std::vector<std::string> entradas = Entries();
    ASSERT_EQ(entradas.size(), 10u);
    EXPECT_EQ(entradas[0], Inicio("Comenzando actualizacion estructura pedidos compra en la "
                                  "empresa",
                                  Servidor()));
    EXPECT_EQ(entradas[1], Creada("ComprasPedidosBancoPago", Servidor()));
    EXPECT_EQ(entradas[9], Creada("COMPRASPEDIDOSCODIGOESTADO", Servidor()));
    EXPECT_FALSE(ctx_.HayIncidencias());
}

TEST_F(DocumentosCompraTest, ASecondRunOverOrdersChangesNothingAndLogsOnlyTheStartLines) {
    Empresa({kPedidos2013,
             "CREATE TABLE E2013ComprasPedidosLineas (ComprasPedidos2Numero int NOT NULL, "
             "ComprasPedidos2CodArticulo varchar(10) NULL)",
             "INSERT INTO E2013ComprasPedidosLineas VALUES (1, 'HAR0000001')"});
    updates::purchases::ActualizaPedidosCompra(ctx_, *conn_);
    updates::purchases::ActualizaLineasPedidosCompra(ctx_, *conn_);
    const size_t primeraPasada = Entries().size();
    ASSERT_EQ(primeraPasada, 1u + 9u + 1u + 4u);
    conn_->execute("UPDATE E2013ComprasPedidosLineas SET ComprasPedidos2Talla = 'XL'");

    updates::purchases::ActualizaPedidosCompra(ctx_, *conn_);
    updates::purchases::ActualizaLineasPedidosCompra(ctx_, *conn_);
    const std::vector<std::string> entradas = Entries();
    EXPECT_THAT(std::vector<std::string>(entradas.begin() + primeraPasada, entradas.end()),
                ElementsAre(Inicio("Comenzando actualizacion estructura pedidos compra en la "
                                   "empresa",
                                   Servidor()),
                            Inicio("Comenzando actualizacion estructura lineas pedidos compra en "
                                   "la empresa",
                                   Servidor())));
    ExpectColumnas("E2013ComprasPedidosTabla", kCabeceraPedido);
    // The defaults are not applied again to rows that changed since.
    EXPECT_EQ(Consulta("SELECT ComprasPedidos2Talla FROM E2013ComprasPedidosLineas"),
              Filas{{"XL"}});
    EXPECT_FALSE(ctx_.HayIncidencias());
}

TEST_F(DocumentosCompraTest, OrderAndDeliveryNoteLinesGetSizeColourSupplierCodeAndBatch) {
    Empresa(
        {"CREATE TABLE E2013ComprasPedidosLineas (ComprasPedidos2Numero int NOT NULL, "
         "ComprasPedidos2CodArticulo varchar(10) NULL)",
         "CREATE TABLE E2014ComprasPedidosLineas (ComprasPedidos2Numero int NOT NULL, "
         "ComprasPedidos2CodArticulo varchar(15) NULL)",
         "CREATE TABLE E2013ComprasAlbaranesLineas (ComprasAlbaran2Numero int NOT NULL, "
         "ComprasAlbaran2CodArticulo varchar(8) NULL)",
         "INSERT INTO E2013ComprasPedidosLineas VALUES (1, 'HAR0000001')",
         "INSERT INTO E2013ComprasAlbaranesLineas VALUES (1, 'BOL00004')"});
    updates::purchases::ActualizaLineasPedidosCompra(ctx_, *conn_);
    updates::purchases::ActualizaLineasAlbaranesCompra(ctx_, *conn_);

    EXPECT_EQ(Columna("E2013ComprasPedidosLineas", "ComprasPedidos2CodArticulo"),
              "varchar(20) NULL -");
    EXPECT_EQ(Columna("E2014ComprasPedidosLineas", "ComprasPedidos2CodArticulo"),
              "varchar(15) NULL -");
    EXPECT_EQ(Columna("E2013ComprasAlbaranesLineas", "ComprasAlbaran2CodArticulo"),
              "varchar(20) NULL -");
    for (const std::string& prefijo :
         {std::string("ComprasPedidos2"), std::string("ComprasAlbaran2")}) {
        const std::string tabla = prefijo == "ComprasPedidos2" ? "E2013ComprasPedidosLineas"
                                                               : "E2013ComprasAlbaranesLineas";
        ExpectColumnas(tabla, {{prefijo + "Talla", "varchar(5) NOT NULL ('00000')"},
                               {prefijo + "Color", "varchar(5) NOT NULL ('00000')"},
                               {prefijo + "CodigoArticuloProveedor", "varchar(50) NULL -"},
                               {prefijo + "Lote", "varchar(50) NOT NULL ('0000000000')"}});
        EXPECT_EQ(Consulta("SELECT " + prefijo + "Talla, " + prefijo + "Color, " + prefijo +
                           "CodigoArticuloProveedor, " + prefijo + "Lote FROM " + tabla),
                  (Filas{{"00000", "00000", "NULL", "0000000000"}}));
    }
    // The size is added before the colour in these lines.
    const std::vector<std::string> entradas = Entries();
    ASSERT_EQ(entradas.size(), 1u + 8u + 1u + 4u);
    EXPECT_EQ(entradas[1], Creada("ComprasPedidos2Talla", Servidor()));
    EXPECT_EQ(entradas[2], Creada("ComprasPedidos2Color", Servidor()));
    EXPECT_EQ(entradas[10], Creada("ComprasAlbaran2Talla", Servidor()));
    EXPECT_EQ(entradas[11], Creada("ComprasAlbaran2Color", Servidor()));
}

TEST_F(DocumentosCompraTest, DeliveryNoteHeadersGetTransportDataAndTheOtherReleaseColumns) {
    Empresa(
        {"CREATE TABLE E2013ComprasAlbaranesTabla (ComprasAlbaranNumero int NOT NULL, "
         "ComprasAlbaranNombrecli varchar(40) NULL, ComprasAlbaranDireccionEnvio varchar(60) "
         "NULL, ComprasAlbaranNifCliente varchar(12) NULL, ComprasAlbaranNumerosudocu "
         "varchar(20) NULL, ComprasAlbaranDomiciliocli varchar(60) NULL, "
         "COMPRASALBARANCpostalcli varchar(12) NULL)",
         "INSERT INTO E2013ComprasAlbaranesTabla VALUES (1, 'Transportes Cinca', 'Polígono "
         "Cogullada, calle H', 'B22343434', 'P-2013-003', 'Zaragoza', '50014')"});
    updates::purchases::ActualizaAlbaranesCompra(ctx_, *conn_);

    ExpectColumnas("E2013ComprasAlbaranesTabla",
                   {
                       {"ComprasAlbaranNombrecli", "varchar(50) NULL -"},
                       // 60 is not below 50, but below 100.
                       {"ComprasAlbaranDireccionEnvio", "varchar(100) NULL -"},
                       {"ComprasAlbaranNifCliente", "varchar(15) NULL -"},
                       {"ComprasAlbaranNumerosudocu", "varchar(25) NULL -"},
                       {"ComprasAlbaranDomiciliocli", "varchar(100) NULL -"},
                       {"ComprasAlbaranBancoPago", "varchar(35) NULL -"},
                       {"COMPRASALBARANTransporteConductor", "varchar(70) NOT NULL ('')"},
                       {"COMPRASALBARANTransporteDniConductor", "varchar(15) NOT NULL ('')"},
                       {"COMPRASALBARANTransporteMatricula", "varchar(20) NOT NULL ('')"},
                       {"COMPRASALBARANTransporteMatriculaRemolque", "varchar(20) NOT NULL ('')"},
                       {"COMPRASALBARANCampoLibreDouble1", "float NULL ((0))"},
                       {"COMPRASALBARANCampoLibreDouble2", "float NULL ((0))"},
                       {"COMPRASALBARANCampoLibreDouble3", "float NULL ((0))"},
                       {"COMPRASALBARANCampoLibreDouble4", "float NULL ((0))"},
                       {"COMPRASALBARANCampoLibreDouble5", "float NULL ((0))"},
                       {"COMPRASALBARANIDCONTACTO", "bigint NOT NULL ((0))"},
                       {"COMPRASALBARANCONTACTONOMBRE", "varchar(100) NOT NULL ('')"},
                       // 12 is not below 10: left as it was.
                       {"COMPRASALBARANCpostalcli", "varchar(12) NULL -"},
                       {"COMPRASALBARANCODIGOESTADO", "varchar(4) NOT NULL ('')"},
                   });
    EXPECT_EQ(Consulta("SELECT COMPRASALBARANTransporteConductor, "
                       "COMPRASALBARANCampoLibreDouble3, COMPRASALBARANIDCONTACTO FROM "
                       "E2013ComprasAlbaranesTabla"),
              (Filas{{"", "0", "0"}}));
    EXPECT_EQ(Entries().size(), 1u + 13u);
    EXPECT_FALSE(ctx_.HayIncidencias());
}

}  // namespace
}  // namespace compras_test
