// Purchase invoice headers: the release columns, and the IBAN and BIC backfill of the invoices
// of 2013 and later on the run that creates both columns.
#include "updates/purchases/facturas_compra.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <algorithm>

#include "updates/purchases/compras_test.h"

namespace compras_test {
namespace {

using test_support::ErrorServidor;
using ::testing::ElementsAre;

std::string TablaFacturas(const std::string& tabla, int anchoCpostal = 5) {
    return "CREATE TABLE " + tabla +
           " (ComprasFacturaNumero int NOT NULL, ComprasFacturaNombrecli varchar(40) NULL, "
           "ComprasFacturaDireccionEnvio varchar(40) NULL, ComprasFacturaNifCliente varchar(12) "
           "NULL, ComprasFacturaNumerosudocu varchar(20) NULL, ComprasFacturaDomiciliocli "
           "varchar(60) NULL, ComprasFacturaCpostalcli varchar(" +
           std::to_string(anchoCpostal) +
           ") NULL, ComprasFacturaENTIDAD varchar(4) NULL, ComprasFacturaSUCURSAL varchar(4) NULL, "
           "ComprasFacturaDIGITO varchar(2) NULL, ComprasFacturaCC varchar(10) NULL)";
}

// The invoices of the old-release company, one per case of the backfill.
std::string Facturas(const std::string& tabla) {
    return "INSERT INTO " + tabla +
           " (ComprasFacturaNumero, ComprasFacturaENTIDAD, ComprasFacturaSUCURSAL, "
           "ComprasFacturaDIGITO, ComprasFacturaCC) VALUES "
           "(1, '0182', '5566', '10', '0201500123'), "  // entity with a BIC
           "(2, '3025', '0001', '08', '0012345678'), "  // entity without a BIC
           "(3, '49', '1500', '31', '0123456789'), "    // entity stored unpadded
           "(4, '0081', '0001', '', ''), "              // no account number
           "(5, NULL, NULL, NULL, NULL), "              // nothing at all
           "(6, '', '1500', '31', '0123456789')";       // account without its entity
}

const char kIbanYBic[] =
    "SELECT ComprasFacturaNumero, ComprasFacturaIban, ComprasFacturaBic FROM %s ORDER BY "
    "ComprasFacturaNumero";

class FacturasCompraEngineTest : public EngineTest {
  protected:
    FacturasCompraEngineTest() {
        ctx_.ColeccionBIC.Add("0182", "BBVAESMMXXX");
        ctx_.ColeccionBIC.Add("0049", "BSCHESMMXXX");
    }
    Filas IbanYBic(const std::string& tabla) {
        std::string sql = kIbanYBic;
        sql.replace(sql.find("%s"), 2, tabla);
        return Consulta(sql);
    }
};

TEST_F(FacturasCompraEngineTest, InvoicesFrom2013OnGetTheirIbanAndBicOnTheRunThatAddsThem) {
    Empresa({TablaFacturas("E2012ComprasFacturaTabla"), TablaFacturas("E2013ComprasFacturaTabla"),
             Facturas("E2012ComprasFacturaTabla"), Facturas("E2013ComprasFacturaTabla")});
    updates::purchases::ActualizaFacturasCompra(ctx_, *conn_);

    EXPECT_EQ(IbanYBic("E2013ComprasFacturaTabla"),
              (Filas{{"1", "ES48", "BBVAESMMXXX"},
                     {"2", "ES33", ""},
                     // Looked up as stored, "49" finds no BIC; the IBAN is that of 0049.
                     {"3", "ES25", ""},
                     {"4", "", ""},
                     {"5", "", ""},
                     // No check digits for an account whose entity is missing.
                     {"6", "", ""}}));
    const Filas sinRelleno = {{"1", "", ""}, {"2", "", ""}, {"3", "", ""},
                              {"4", "", ""}, {"5", "", ""}, {"6", "", ""}};
    EXPECT_EQ(IbanYBic("E2012ComprasFacturaTabla"), sinRelleno);
    EXPECT_FALSE(ctx_.HayIncidencias());
}

TEST_F(FacturasCompraEngineTest, ALaterRunLeavesTheFilledColumnsAsTheUserLeftThem) {
    Empresa({TablaFacturas("E2014ComprasFacturaTabla"), Facturas("E2014ComprasFacturaTabla")});
    updates::purchases::ActualizaFacturasCompra(ctx_, *conn_);
    const size_t primeraPasada = Entries().size();
    ASSERT_EQ(primeraPasada, 1u + 18u);
    ASSERT_TRUE(conn_
                    ->execute("UPDATE E2014ComprasFacturaTabla SET ComprasFacturaIban = 'ES00', "
                              "ComprasFacturaBic = 'OTROBICXXX' WHERE ComprasFacturaNumero = 1")
                    .ok());

    updates::purchases::ActualizaFacturasCompra(ctx_, *conn_);
    EXPECT_EQ(IbanYBic("E2014ComprasFacturaTabla").front(),
              (std::vector<std::string>{"1", "ES00", "OTROBICXXX"}));
    const std::vector<std::string> entradas = Entries();
    EXPECT_THAT(std::vector<std::string>(entradas.begin() + primeraPasada, entradas.end()),
                ElementsAre(Inicio("Comenzando actualizacion estructura facturas decompra en la "
                                   "empresa",
                                   Servidor())));
}

TEST_F(FacturasCompraEngineTest, AnIbanColumnFromAnEarlierReleaseMeansNoBackfill) {
    Empresa({TablaFacturas("E2013ComprasFacturaTabla"), Facturas("E2013ComprasFacturaTabla"),
             "ALTER TABLE E2013ComprasFacturaTabla ADD ComprasFacturaIban VARCHAR(4) NOT NULL "
             "DEFAULT('')"});
    updates::purchases::ActualizaFacturasCompra(ctx_, *conn_);
    EXPECT_EQ(Columna("E2013ComprasFacturaTabla", "ComprasFacturaBic"),
              "varchar(15) NOT NULL ('')");
    for (const std::vector<std::string>& fila : IbanYBic("E2013ComprasFacturaTabla")) {
        EXPECT_EQ(fila[1], "") << fila[0];
        EXPECT_EQ(fila[2], "") << fila[0];
    }
}

TEST_F(FacturasCompraEngineTest, HeadersEndWithTheReleaseColumns) {
    Empresa({TablaFacturas("E2013ComprasFacturaTabla", 8),
             TablaFacturas("E2014ComprasFacturaTabla", 12)});
    updates::purchases::ActualizaFacturasCompra(ctx_, *conn_);
    const std::vector<std::pair<std::string, std::string>> esperadas = {
        {"ComprasFacturaNombrecli", "varchar(50) NULL -"},
        {"ComprasFacturaDireccionEnvio", "varchar(100) NULL -"},
        {"ComprasFacturaNifCliente", "varchar(15) NULL -"},
        {"ComprasFacturaNumerosudocu", "varchar(25) NULL -"},
        {"ComprasFacturaDomiciliocli", "varchar(100) NULL -"},
        {"ComprasFacturaCanalRectificado", "varchar(2) NULL -"},
        {"ComprasFacturaDocumentoRectificado", "float NULL ((0))"},
        {"ComprasFacturaCanalRectificador", "varchar(2) NULL -"},
        {"ComprasFacturaDocumentoRectificador", "float NULL ((0))"},
        {"ComprasFacturaNumeroAsientoDos", "varchar(7) NULL -"},
        {"ComprasFacturaNumeroAsientoTres", "varchar(7) NULL -"},
        {"ComprasFacturaNumeroAsientoCuatro", "varchar(7) NULL -"},
        {"ComprasFacturaObservaciones", "text NULL -"},
        {"ComprasFacturaIban", "varchar(4) NOT NULL ('')"},
        {"ComprasFacturaBic", "varchar(15) NOT NULL ('')"},
        {"ComprasFacturaCampoLibreDouble1", "float NULL ((0))"},
        {"ComprasFacturaCampoLibreDouble2", "float NULL ((0))"},
        {"ComprasFacturaCampoLibreDouble3", "float NULL ((0))"},
        {"ComprasFacturaCampoLibreDouble4", "float NULL ((0))"},
        {"ComprasFacturaCampoLibreDouble5", "float NULL ((0))"},
        {"ComprasFacturaIDCONTACTO", "bigint NOT NULL ((0))"},
        {"ComprasFacturaCONTACTONOMBRE", "varchar(100) NOT NULL ('')"},
        {"ComprasFacturaCODIGOESTADO", "varchar(4) NOT NULL ('')"},
    };
    for (const auto& [columna, definicion] : esperadas)
        EXPECT_EQ(Columna("E2013ComprasFacturaTabla", columna), definicion) << columna;
    EXPECT_EQ(Columna("E2013ComprasFacturaTabla", "ComprasFacturaCpostalcli"),
              "varchar(10) NULL -");
    EXPECT_EQ(Columna("E2014ComprasFacturaTabla", "ComprasFacturaCpostalcli"),
              "varchar(12) NULL -");
}

class FacturasCompraTest : public ScriptedTest {};

const char kRellenoE2013[] =
    "SELECT ComprasFacturaENTIDAD, ComprasFacturaSUCURSAL, ComprasFacturaDIGITO, "
    "ComprasFacturaCC, ComprasFacturaIban,ComprasFacturaBic FROM E2013ComprasFacturaTabla WHERE "
    "ComprasFacturaCC <> ''";

TEST_F(FacturasCompraTest, TheBackfillRunsRightAfterTheBicColumnWithItsOwnQuery) {
    ConFamilia(conn_, "ComprasFacturaTabla", {"E2013ComprasFacturaTabla"});
    conn_.Devuelve(kRellenoE2013,
                   test_support::Filas(
                       {"ComprasFacturaENTIDAD", "ComprasFacturaSUCURSAL", "ComprasFacturaDIGITO",
                        "ComprasFacturaCC", "ComprasFacturaIban", "ComprasFacturaBic"},
                       {{"0182", "5566", "10", "0201500123", "", ""}}));
    ctx_.ColeccionBIC.Add("0182", "BBVAESMMXXX");
    updates::purchases::ActualizaFacturasCompra(ctx_, conn_);

    const std::vector<std::string>& enviadas = conn_.Enviadas();
    const auto relleno = std::find(enviadas.begin(), enviadas.end(), kRellenoE2013);
    ASSERT_NE(relleno, enviadas.end());
    EXPECT_EQ(*(relleno - 1), "UPDATE E2013ComprasFacturaTabla SET ComprasFacturaBic=''");
    EXPECT_EQ(*(relleno + 1),
              "Alter Table E2013ComprasFacturaTabla ADD ComprasFacturaCampoLibreDouble1 float "
              "DEFAULT(0) ");
    ASSERT_EQ(conn_.Guardadas().size(), 1u);
    EXPECT_EQ(conn_.Guardadas()[0].valores.at("ComprasFacturaIban").toText(), "ES48");
    EXPECT_EQ(conn_.Guardadas()[0].valores.at("ComprasFacturaBic").toText(), "BBVAESMMXXX");
}

TEST_F(FacturasCompraTest, RefusedInvoicesAreSkippedSilentlyAndTheTableIsFinished) {
    ConFamilia(conn_, "ComprasFacturaTabla", {"E2013ComprasFacturaTabla"});
    conn_.Devuelve(kRellenoE2013,
                   test_support::Filas(
                       {"ComprasFacturaENTIDAD", "ComprasFacturaSUCURSAL", "ComprasFacturaDIGITO",
                        "ComprasFacturaCC", "ComprasFacturaIban", "ComprasFacturaBic"},
                       {{"0182", "5566", "10", "0201500123", "", ""},
                        {"3025", "0001", "08", "0012345678", "", ""}}));
    conn_.RechazarGuardado(ErrorServidor(547, "The UPDATE statement conflicted."));
    updates::purchases::ActualizaFacturasCompra(ctx_, conn_);

    EXPECT_TRUE(conn_.Guardadas().empty());
    EXPECT_EQ(conn_.Enviadas().back(),
              "UPDATE E2013ComprasFacturaTabla SET ComprasFacturaCODIGOESTADO=''");
    EXPECT_EQ(Entries().size(), 1u + 18u);
    EXPECT_FALSE(ctx_.HayIncidencias());
}

TEST_F(FacturasCompraTest, TablesWithoutAYearOrBefore2013AreNotBackfilled) {
    ConFamilia(
        conn_, "ComprasFacturaTabla",
        {"E2012ComprasFacturaTabla", "EXXXXComprasFacturaTabla", "E201XComprasFacturaTabla"});
    updates::purchases::ActualizaFacturasCompra(ctx_, conn_);
    for (const std::string& sql : conn_.Enviadas())
        EXPECT_FALSE(sql.starts_with("SELECT ComprasFacturaENTIDAD")) << sql;
}

TEST_F(FacturasCompraTest, ABicColumnThatFailedToBeAddedMeansNoBackfill) {
    ConFamilia(conn_, "ComprasFacturaTabla", {"E2013ComprasFacturaTabla"});
    conn_.FallaCon(
        "Alter Table E2013ComprasFacturaTabla ADD ComprasFacturaBic VARCHAR (15) NOT NULL "
        "DEFAULT('') ",
        ErrorServidor(1105, "Could not allocate space."));
    updates::purchases::ActualizaFacturasCompra(ctx_, conn_);
    for (const std::string& sql : conn_.Enviadas())
        EXPECT_NE(sql, kRellenoE2013);
    EXPECT_TRUE(ctx_.HayIncidencias());
}

}  // namespace
}  // namespace compras_test
