// The delivery-note routines on the embedded engine.
#include "updates/sales/albaranes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "updates/sales/sales_test.h"

namespace updates::sales {
namespace {

using sales_test::CabeceraDocumento;
using sales_test::Filas;
using sales_test::kClientes;
using ::testing::Contains;
using ::testing::ElementsAre;

class AlbaranesTest : public sales_test::SalesTest {
  protected:
    AlbaranesTest() {
        ctx_.ColeccionBIC.Add("0049", "BSCHESMMXXX");
        ctx_.ColeccionBIC.Add("3025", "CDENESBBXXX");
    }
};

TEST_F(AlbaranesTest, HeadersGainTransportAndTerminalFieldsAndTheirAccountsOnce) {
    Empresa({kClientes, CabeceraDocumento("E2013AlbaranesTabla", "ALBARAN"),
             "CREATE TABLE E2013AlbaranesTablaFirmas (ALBARANNumero int NOT NULL)"});
    ActualizaAlbaranes(ctx_, *conexion_);

    const std::string t = "E2013AlbaranesTabla";
    // The terminal's salesperson and note number have no default: existing notes hold NULL,
    // while the amount paid is filled with 0.
    EXPECT_EQ(Columna(t, "ALBARANComercialPDA"), "int NULL YES NULL");
    EXPECT_EQ(Columna(t, "ALBARANAlbaranPDA"), "bigint NULL YES NULL");
    EXPECT_EQ(Consulta("SELECT DISTINCT ALBARANComercialPDA, ALBARANAlbaranPDA, "
                       "ALBARANImportePagado, ALBARANTransporteConductor FROM " +
                       t),
              (Filas{{"NULL", "NULL", "0", ""}}));
    EXPECT_EQ(Columna(t, "ALBARANTransporteMatriculaRemolque"), "varchar 20 NO ('')");
    EXPECT_EQ(Columna(t, "ALBARANNombrecli"), "varchar 100 YES NULL");
    EXPECT_EQ(Columna(t, "ALBARANCpostalcli"), "varchar 10 YES NULL");
    EXPECT_EQ(Columna("E2013AlbaranesTablaFirmas", "SURVEYRESULT"), "int NULL NO ((0))");

    EXPECT_EQ(Consulta("SELECT ALBARANNumero, ALBARANIBAN, ALBARANBIC FROM " + t + " ORDER BY 1"),
              (Filas{{"1", "ES25", "BSCHESMMXXX"},
                     {"2", "ES13", ""},
                     {"3", "ES64", "CDENESBBXXX"},
                     {"4", "", ""},
                     {"5", "", ""}}));
    EXPECT_THAT(Enviadas(),
                Contains("SELECT ALBARANENTIDAD, ALBARANSUCURSAL, ALBARANDIGITO, ALBARANCC, "
                         "ALBARANIban,ALBARANBic FROM E2013AlbaranesTabla WHERE "
                         "(ISNULL(ALBARANCC,'') <> '' AND  ISNULL(ALBARANSUCURSAL,'') <> '' AND "
                         "ISNULL(ALBARANDIGITO,'') <>'' AND ISNULL(ALBARANENTIDAD,'')<>'')"));
    EXPECT_THAT(Enviadas(), Contains("UPDATE E2013AlbaranesTabla SET "
                                     "ALBARANTIPOCLIENTE=TipoClienteCodigo FROM "
                                     "E2013AlbaranesTabla P INNER JOIN CLIENTESTABLA C ON "
                                     "P.ALBARANNumcli=C.Clicodigo"));

    // The next run finds every column: only its start line is logged.
    fixture_.ctx().log.IniciarLog();
    ActualizaAlbaranes(ctx_, *conexion_);
    EXPECT_THAT(Entradas(), ElementsAre(Info("Comenzando actualizacion estructura albaranes en "
                                             "la empresa0001 , servidor: SRV")));
    EXPECT_FALSE(ctx_.HayIncidencias());
}

TEST_F(AlbaranesTest, LinesWidenArticleCodesOfTenOrLessOnly) {
    Empresa(
        {"CREATE TABLE E2013AlbaranesLineas (ALBARAN2Numero int, ALBARAN2CodArticulo "
         "varchar(10)); INSERT INTO E2013AlbaranesLineas VALUES (1, 'HAR0000001')",
         "CREATE TABLE E2014AlbaranesLineas (ALBARAN2Numero int, ALBARAN2CodArticulo "
         "varchar(11))"});
    ActualizaLineasAlbaranes(ctx_, *conexion_);
    EXPECT_EQ(Columna("E2013AlbaranesLineas", "ALBARAN2CodArticulo"), "varchar 20 YES NULL");
    EXPECT_EQ(Columna("E2014AlbaranesLineas", "ALBARAN2CodArticulo"), "varchar 11 YES NULL");
    EXPECT_EQ(Consulta("SELECT ALBARAN2CodArticulo, ALBARAN2Talla, ALBARAN2Color, "
                       "ALBARAN2NOFACTURABLE, ALBARAN2Lote FROM E2013AlbaranesLineas"),
              (Filas{{"HAR0000001", "00000", "00000", "False", "0000000000"}}));
    EXPECT_EQ(Columnas("E2014AlbaranesLineas"),
              (std::vector<std::string>{"ALBARAN2Numero", "ALBARAN2CodArticulo", "ALBARAN2Talla",
                                        "ALBARAN2Color", "ALBARAN2PrecioMedioCoste",
                                        "ALBARAN2NOFACTURABLE", "ALBARAN2Lote"}));
}

}  // namespace
}  // namespace updates::sales
