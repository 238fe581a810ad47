// The invoice routines on the embedded engine: headers, lines and signature tables of several
// fiscal years, with the bank-account backfill, the customer-type fill and the colour-default
// repair, and what a second run does (nothing).
#include "updates/sales/facturas.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "updates/sales/sales_test.h"

namespace updates::sales {
namespace {

using sales_test::Filas;
using sales_test::kClientes;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

// An invoice header table of the old release; `cpostal` is the length of its postal code.
std::string CabeceraFacturas(const std::string& tabla, int cpostal = 8) {
    return sales_test::CabeceraDocumento(tabla, "FACTURA", cpostal);
}

const std::string kInicio =
    "Información:  Comenzando actualizacion estructura facturas en la empresa0001 , servidor: "
    "SRV";

class FacturasTest : public sales_test::SalesTest {
  protected:
    FacturasTest() {
        ctx_.ColeccionBIC.Add("0049", "BSCHESMMXXX");
        ctx_.ColeccionBIC.Add("0021", "BBVAESMMXXX");
    }

    Filas Cuentas(const std::string& tabla) const {
        return Consulta("SELECT FACTURANumero, FACTURAIBAN, FACTURABIC FROM " + tabla +
                        " ORDER BY FACTURANumero");
    }
};

TEST_F(FacturasTest, HeadersFrom2013OnAreBackfilledOnTheRunThatAddsIbanAndBic) {
    Empresa({kClientes, CabeceraFacturas("E2012FacturaTabla"),
             CabeceraFacturas("E2013FacturaTabla"), CabeceraFacturas("EABCDFacturaTabla")});
    ActualizaFacturas(ctx_, *conexion_);

    // Entity 21, branch 38, control 5, account 123 is account 00210038050000000123, whose BIC
    // is found under 0021; 3025 has no BIC; an empty or NULL part leaves the invoice alone.
    EXPECT_EQ(Cuentas("E2013FacturaTabla"), (Filas{{"1", "ES25", "BSCHESMMXXX"},
                                                   {"2", "ES13", "BBVAESMMXXX"},
                                                   {"3", "ES64", ""},
                                                   {"4", "", ""},
                                                   {"5", "", ""}}));
    // 2012 and a table whose year is not a number get the columns but no backfill.
    for (const std::string tabla : {"E2012FacturaTabla", "EABCDFacturaTabla"}) {
        const Filas cuentas = Cuentas(tabla);
        ASSERT_EQ(cuentas.size(), 5u) << tabla;
        for (const auto& fila : cuentas)
            EXPECT_EQ(fila, (std::vector<std::string>{fila[0], "", ""})) << tabla;
    }
    EXPECT_FALSE(ctx_.HayIncidencias());
}

TEST_F(FacturasTest, NoBackfillWhenOnlyOneOfTheTwoColumnsIsNew) {
    Empresa(
        {kClientes,
         CabeceraFacturas("E2013FacturaTabla") +
             "; ALTER TABLE E2013FacturaTabla ADD FACTURABIC varchar(15) NOT NULL DEFAULT('')",
         CabeceraFacturas("E2014FacturaTabla") +
             "; ALTER TABLE E2014FacturaTabla ADD FACTURAIBAN varchar(4) NOT NULL DEFAULT('')"});
    ActualizaFacturas(ctx_, *conexion_);
    for (const std::string& sql : Enviadas())
        EXPECT_FALSE(sql.starts_with("SELECT FacturaENTIDAD")) << sql;
    EXPECT_EQ(Consulta("SELECT DISTINCT FACTURAIBAN FROM E2013FacturaTabla"), Filas{{""}});
    EXPECT_EQ(Consulta("SELECT DISTINCT FACTURABIC FROM E2014FacturaTabla"), Filas{{""}});
}

TEST_F(FacturasTest, EachInvoiceTakesItsCustomersTypeOnce) {
    Empresa({kClientes, CabeceraFacturas("E2014FacturaTabla")});
    ActualizaFacturas(ctx_, *conexion_);
    EXPECT_THAT(Enviadas(),
                Contains("UPDATE E2014FacturaTabla SET "
                         "FACTURATIPOCLIENTE=TipoClienteCodigo FROM E2014FacturaTabla "
                         "P INNER JOIN CLIENTESTABLA C ON P.FACTURANumcli=C.Clicodigo"));
    const std::string tipos =
        "SELECT FACTURANumero, FACTURATIPOCLIENTE FROM E2014FacturaTabla ORDER BY 1";
    const Filas esperadas = {{"1", "MAY"}, {"2", "MIN"}, {"3", ""}, {"4", "MAY"}, {"5", "MIN"}};
    EXPECT_EQ(Consulta(tipos), esperadas);

    // A customer whose type changes later does not change the invoices on the next run.
    conexion_->execute("UPDATE CLIENTESTABLA SET TipoClienteCodigo='OTRO'");
    ActualizaFacturas(ctx_, *conexion_);
    EXPECT_EQ(Consulta(tipos), esperadas);
}

TEST_F(FacturasTest, ACustomerWithoutTypeDoesNotKeepTheOthersInvoicesFromTheirs) {
    // Customer 000002 has no type: the NOT NULL column refuses the plain fill as a whole.
    Empresa({kClientes, "UPDATE CLIENTESTABLA SET TipoClienteCodigo=NULL WHERE Clicodigo='000002'",
             CabeceraFacturas("E2014FacturaTabla")});
    ActualizaFacturas(ctx_, *conexion_);
    const std::string llano =
        "UPDATE E2014FacturaTabla SET FACTURATIPOCLIENTE=TipoClienteCodigo FROM E2014FacturaTabla "
        "P INNER JOIN CLIENTESTABLA C ON P.FACTURANumcli=C.Clicodigo";
    const std::string sinTipoAVacio =
        "UPDATE E2014FacturaTabla SET FACTURATIPOCLIENTE=ISNULL(TipoClienteCodigo,'') FROM "
        "E2014FacturaTabla P INNER JOIN CLIENTESTABLA C ON P.FACTURANumcli=C.Clicodigo";
    const std::vector<std::string> enviadas = Enviadas();
    const auto primero = std::find(enviadas.begin(), enviadas.end(), llano);
    ASSERT_NE(primero, enviadas.end());
    EXPECT_EQ(std::next(primero) != enviadas.end() ? *std::next(primero) : "", sinTipoAVacio);
    EXPECT_EQ(
        Consulta("SELECT FACTURANumero, FACTURATIPOCLIENTE FROM E2014FacturaTabla ORDER BY 1"),
        (Filas{{"1", "MAY"}, {"2", ""}, {"3", ""}, {"4", "MAY"}, {"5", ""}}));
}

TEST_F(FacturasTest, TheHeaderTableEndsWithTheReleasesColumnsInOrder) {
    Empresa({kClientes, CabeceraFacturas("E2013FacturaTabla", 8),
             CabeceraFacturas("E2014FacturaTabla", 12)});
    ActualizaFacturas(ctx_, *conexion_);

    std::vector<std::string> nuevas = Columnas("E2013FacturaTabla");
    ASSERT_GT(nuevas.size(), 17u);
    nuevas.erase(nuevas.begin(), nuevas.begin() + 17);  // the old release's columns
    EXPECT_THAT(
        nuevas,
        ElementsAre("FACTURABancoPago", "FACTURACANALRECTIFICADO", "FACTURADOCUMENTORECTIFICADO",
                    "FACTURACANALRECTIFICADOR", "FACTURADOCUMENTORECTIFICADOR",
                    "FACTURANumeroAsientoDos", "FACTURANumeroAsientoTres",
                    "FACTURANumeroAsientoCuatro", "FACTURASuplidos", "FACTURAApOrmIngGastos",
                    "FACTURAApOrmActividad", "FACTURAApOrmNumApunte", "FACTURAApOrmCanal",
                    "FACTURATipoFactura", "FACTURAFechaInicioTurno", "FACTURAFechaFinTurno",
                    "FACTURAPagadaComisionRep", "FACTURAFechaPagoComision", "FACTURAComisionPagada",
                    "FACTURACodigoTarea", "FACTURABIC", "FACTURAIBAN", "FACTURATARJETAID",
                    "FACTURATPVEntregaCliente", "FACTURATPVCambio", "FACTURAULTIMAMODIFICACION",
                    "FACTURAIDCONTACTO", "FACTURACONTACTONOMBRE", "FACTURATIPOCLIENTE",
                    "FACTURACODIGOESTADO"));

    const std::string t = "E2013FacturaTabla";
    EXPECT_EQ(Columna(t, "FACTURABancoPago"), "varchar 35 YES NULL");
    EXPECT_EQ(Columna(t, "FACTURACANALRECTIFICADO"), "varchar 2 YES ('')");
    EXPECT_EQ(Columna(t, "FACTURADOCUMENTORECTIFICADO"), "float NULL YES ((0))");
    EXPECT_EQ(Columna(t, "FACTURAApOrmIngGastos"), "varchar 1 NO ('')");
    EXPECT_EQ(Columna(t, "FACTURATipoFactura"), "int NULL NO ((0))");
    EXPECT_EQ(Columna(t, "FACTURAFechaInicioTurno"), "datetime NULL YES NULL");
    EXPECT_EQ(Columna(t, "FACTURATARJETAID"), "bigint NULL NO ((0))");
    EXPECT_EQ(Columna(t, "FACTURANumeroAsientoDos"), "varchar 23 YES ('')");
    // Existing invoices hold the defaults of the columns that have one.
    EXPECT_EQ(Consulta("SELECT DISTINCT FACTURACANALRECTIFICADO, FACTURASuplidos, "
                       "FACTURAComisionPagada, FACTURAULTIMAMODIFICACION FROM " +
                       t),
              (Filas{{"", "0", "0", "NULL"}}));

    // Text columns are widened; a postal code of 8 grows to 10, one of 12 is left alone.
    EXPECT_EQ(Columna(t, "FACTURANombrecli"), "varchar 100 YES NULL");
    EXPECT_EQ(Columna(t, "FACTURACampoLibreTexto2"), "varchar 100 YES NULL");
    EXPECT_EQ(Columna(t, "FACTURANifCliente"), "varchar 15 YES NULL");
    EXPECT_EQ(Columna(t, "FACTURACpostalcli"), "varchar 10 YES NULL");
    EXPECT_EQ(Columna("E2014FacturaTabla", "FACTURACpostalcli"), "varchar 12 YES NULL");
}

TEST_F(FacturasTest, SignatureTablesGetTheSurveyResultAfterTheHeaders) {
    Empresa(
        {"CREATE TABLE E2013FacturasTablaFirmas (FACTURANumero int NOT NULL); INSERT INTO "
         "E2013FacturasTablaFirmas VALUES (1),(2)"});
    ActualizaFacturas(ctx_, *conexion_);
    EXPECT_EQ(Columna("E2013FacturasTablaFirmas", "SURVEYRESULT"), "int NULL NO ((0))");
    EXPECT_EQ(Consulta("SELECT SURVEYRESULT FROM E2013FacturasTablaFirmas"), (Filas{{"0"}, {"0"}}));
    EXPECT_THAT(Entradas(), ElementsAre(kInicio, Creado("SURVEYRESULT")));
}

TEST_F(FacturasTest, ADatabaseWithoutInvoiceTablesLogsOnlyTheStartLine) {
    Empresa({});
    ActualizaFacturas(ctx_, *conexion_);
    EXPECT_THAT(Entradas(), ElementsAre(kInicio));
}

TEST_F(FacturasTest, ASecondRunSendsTheSameStatementsAndChangesNothing) {
    Empresa({kClientes, CabeceraFacturas("E2013FacturaTabla")});
    ActualizaFacturas(ctx_, *conexion_);
    const std::vector<std::string> entradas = Entradas();
    ASSERT_FALSE(entradas.empty());
    EXPECT_EQ(entradas.front(), kInicio);
    EXPECT_THAT(entradas, Contains(Creado("FACTURAIBAN")));
    // A user clears an IBAN; the next run does not fill it again.
    conexion_->execute("UPDATE E2013FacturaTabla SET FACTURAIBAN='' WHERE FACTURANumero=1");

    fixture_.ctx().log.IniciarLog();
    traza_.Clear();
    ActualizaFacturas(ctx_, *conexion_);
    EXPECT_THAT(Entradas(), ElementsAre(kInicio));
    EXPECT_EQ(Valor("SELECT FACTURAIBAN FROM E2013FacturaTabla WHERE FACTURANumero=1"), "");
    for (const std::string& sql : Enviadas()) {
        EXPECT_FALSE(sql.starts_with("SELECT FacturaENTIDAD")) << sql;
        EXPECT_FALSE(sql.starts_with("UPDATE E2013FacturaTabla SET FACTURATIPOCLIENTE")) << sql;
    }
    EXPECT_FALSE(ctx_.HayIncidencias());
}

TEST_F(FacturasTest, StatementTextsOfOneTable) {
    Empresa({kClientes, CabeceraFacturas("E2014FacturaTabla")});
    ActualizaFacturas(ctx_, *conexion_);
    const std::vector<std::string> enviadas = Enviadas();
    ASSERT_GE(enviadas.size(), 3u);
    EXPECT_EQ(enviadas[0],
              "select Table_Name from INFORMATION_SCHEMA.TABLES where Table_name like "
              "'E____FacturaTabla' and table_type='BASE TABLE '");
    EXPECT_EQ(enviadas[1],
              "if COL_LENGTH ('E2014FacturaTabla','FACTURANombrecli') < 100 alter table "
              "E2014FacturaTabla alter column FACTURANombrecli varchar(100)");
    EXPECT_EQ(enviadas[11], "Alter Table E2014FacturaTabla ADD FACTURABancoPago varchar (35) ");
    EXPECT_THAT(enviadas,
                Contains("SELECT FacturaENTIDAD, FacturaSUCURSAL, FacturaDIGITO, FacturaCC, "
                         "FacturaIban,FacturaBic FROM E2014FacturaTabla WHERE "
                         "(ISNULL(FacturaENTIDAD,'') <> '' AND ISNULL(FacturaSUCURSAL,'') <>'' "
                         "AND ISNULL(FacturaDIGITO,'') <> '' AND ISNULL(FacturaCC,'') <> '')"));
    // The backfill comes between the card column and the point-of-sale columns.
    const auto posicion = [&](const std::string& prefijo) {
        return std::find_if(enviadas.begin(), enviadas.end(),
                            [&](const std::string& s) { return s.starts_with(prefijo); }) -
               enviadas.begin();
    };
    EXPECT_LT(posicion("Alter Table E2014FacturaTabla ADD FACTURATARJETAID"),
              posicion("SELECT FacturaENTIDAD"));
    EXPECT_LT(posicion("SELECT FacturaENTIDAD"),
              posicion("Alter Table E2014FacturaTabla ADD FACTURATPVEntregaCliente"));
    // The signature family is listed after the last header table.
    EXPECT_EQ(enviadas.back(),
              "select Table_Name from INFORMATION_SCHEMA.TABLES where Table_name like "
              "'E____FacturasTablaFirmas' and table_type='BASE TABLE '");
}

// --- Lines --------------------------------------------------------------------------------

std::string LineasFacturas(const std::string& tabla, int articulo, const std::string& color) {
    return "CREATE TABLE " + tabla +
           " (FACTURAS2Numero int NOT NULL, FACTURAS2CodArticulo varchar(" +
           std::to_string(articulo) +
           "), FACTURAS2DESARTICULO varchar(100), FACTURADomiciliocli varchar(60)" + color +
           "); INSERT INTO " + tabla + " (FACTURAS2Numero) VALUES (1),(2)";
}

TEST_F(FacturasTest, LineColourDefaultsEndAsFiveZerosUnderTheirOwnNames) {
    Empresa({LineasFacturas("E2012FACTURASLineas", 10, ""),
             LineasFacturas("E2013FACTURASLineas", 10,
                            ", FACTURAS2Color varchar(5) NOT NULL CONSTRAINT "
                            "DF_E2013FACTURASLineas_Color DEFAULT ('0')"),
             LineasFacturas("E2014FACTURASLineas", 15,
                            ", FACTURAS2Color varchar(5) NOT NULL CONSTRAINT "
                            "DF_E2014FACTURASLineas_Color DEFAULT ('00000')")});
    ActualizaLineasFacturas(ctx_, *conexion_);
    const std::vector<std::string> enviadas = Enviadas();

    // Added now: the rows hold the default.
    EXPECT_EQ(Defecto("E2012FACTURASLineas", "FACTURAS2Color").second, "('00000')");
    EXPECT_EQ(Consulta("SELECT DISTINCT FACTURAS2Color FROM E2012FACTURASLineas"),
              Filas{{"00000"}});
    // Already there with another default: the constraint keeps its name and gets '00000'; the
    // rows keep their values.
    EXPECT_EQ(
        Defecto("E2013FACTURASLineas", "FACTURAS2Color"),
        std::make_pair(std::string("DF_E2013FACTURASLineas_Color"), std::string("('00000')")));
    EXPECT_EQ(Consulta("SELECT DISTINCT FACTURAS2Color FROM E2013FACTURASLineas"), Filas{{"0"}});
    EXPECT_EQ(
        Defecto("E2014FACTURASLineas", "FACTURAS2Color"),
        std::make_pair(std::string("DF_E2014FACTURASLineas_Color"), std::string("('00000')")));
    // New rows of the repaired table take the repaired default.
    conexion_->execute("INSERT INTO E2013FACTURASLineas (FACTURAS2Numero) VALUES (3)");
    EXPECT_EQ(Valor("SELECT FACTURAS2Color FROM E2013FACTURASLineas WHERE FACTURAS2Numero=3"),
              "00000");

    // The repair is sent for the tables that had the column, not for the one that gained it.
    EXPECT_THAT(enviadas,
                Contains(LoteReparacionDefecto("E2013FACTURASLineas", kReparacionColorFacturas)));
    EXPECT_THAT(enviadas,
                Contains(LoteReparacionDefecto("E2014FACTURASLineas", kReparacionColorFacturas)));
    EXPECT_THAT(
        enviadas,
        Not(Contains(LoteReparacionDefecto("E2012FACTURASLineas", kReparacionColorFacturas))));
    EXPECT_FALSE(ctx_.HayIncidencias());
}

TEST_F(FacturasTest, LineTablesWidenArticleCodesOfTenAndGainTheirColumns) {
    Empresa({LineasFacturas("E2013FACTURASLineas", 10, ""),
             LineasFacturas("E2014FACTURASLineas", 15, "")});
    ActualizaLineasFacturas(ctx_, *conexion_);
    const std::vector<std::string> enviadas = Enviadas();

    EXPECT_EQ(Columna("E2013FACTURASLineas", "FACTURAS2CodArticulo"), "varchar 20 YES NULL");
    EXPECT_EQ(Columna("E2014FACTURASLineas", "FACTURAS2CodArticulo"), "varchar 15 YES NULL");
    EXPECT_EQ(Columna("E2013FACTURASLineas", "FACTURAS2DESARTICULO"), "varchar 255 YES NULL");
    EXPECT_EQ(Columna("E2013FACTURASLineas", "FACTURADomiciliocli"), "varchar 100 YES NULL");
    EXPECT_THAT(enviadas, Contains("if COL_LENGTH ('E2013FACTURASLineas','FACTURAS2DESARTICULO') "
                                   "< 255 alter table E2013FACTURASLineas alter column "
                                   "FACTURAS2DESARTICULO varchar (255)"));

    EXPECT_EQ(Columna("E2013FACTURASLineas", "FACTURAS2TipoImporte"), "varchar 1 YES NULL");
    EXPECT_EQ(Columna("E2013FACTURASLineas", "FACTURAS2Talla"), "varchar 5 NO ('00000')");
    EXPECT_EQ(Columna("E2013FACTURASLineas", "FACTURAS2NOFACTURABLE"), "bit NULL NO ((0))");
    EXPECT_EQ(Columna("E2013FACTURASLineas", "FACTURAS2Lote"), "varchar 50 NO ('0000000000')");
    EXPECT_EQ(Consulta("SELECT DISTINCT FACTURAS2Talla, FACTURAS2Lote, FACTURAS2Horas, "
                       "FACTURAS2FechaInicioTurno FROM E2013FACTURASLineas"),
              (Filas{{"00000", "0000000000", "0", "NULL"}}));
    EXPECT_EQ(Entradas().front(),
              "Información:  Comenzando actualizacion estructura lineas de facturas en la "
              "empresa0001 , servidor: SRV");
    // Start line and 17 columns for each of the two tables.
    EXPECT_EQ(Entradas().size(), 1u + 2 * 17);
}

}  // namespace
}  // namespace updates::sales
