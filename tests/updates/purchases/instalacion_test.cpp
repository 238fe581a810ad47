// The seven routines, in the run's order, over the purchase documents of the old-release
// installation (fixtures/old-release: the databases and the purchase script), with the BIC
// catalogue of the base-data file that ships beside the program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "refdata/codigos_bic.h"
#include "script_batches.h"
#include "support/embedded_server.h"
#include "support/run_fixture.h"
#include "updates/purchases/albaranes_compra.h"
#include "updates/purchases/comisiones.h"
#include "updates/purchases/facturas_compra.h"
#include "updates/purchases/lineas_facturas_compra.h"
#include "updates/purchases/pedidos_compra.h"

namespace compras_test {
namespace {

namespace fs = std::filesystem;
using Filas = std::vector<std::vector<std::string>>;
using test_support::EmbeddedServer;
using ::testing::Each;
using ::testing::StartsWith;

void ActualizaCompras(run::RunContext& ctx, db::Connection& conexion) {
    using namespace updates::purchases;
    ActualizaComisiones(ctx, conexion);
    ActualizaPedidosCompra(ctx, conexion);
    ActualizaLineasPedidosCompra(ctx, conexion);
    ActualizaAlbaranesCompra(ctx, conexion);
    ActualizaLineasAlbaranesCompra(ctx, conexion);
    ActualizaFacturasCompra(ctx, conexion);
    ActualizaLineasFacturasCompra(ctx, conexion);
}

class InstalacionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const fs::path repo = ACTUALIZA_REPO_DIR;
        auto master = servidor_.Conectar("");
        ASSERT_TRUE(master->isOpen()) << master->lastError().description;
        for (const char* guion : {"00-databases.sql", "70-purchases.sql"}) {
            const std::string texto =
                fixtures_test::readFile(repo / "fixtures" / "old-release" / guion);
            ASSERT_FALSE(texto.empty()) << guion;
            for (const fixtures_test::ScriptBatch& lote : fixtures_test::splitBatches(texto)) {
                EmbeddedServer::Preparar(*master, lote.text);
                ASSERT_FALSE(HasFatalFailure()) << guion << ":" << lote.firstLine;
            }
        }
        master->close();

        fs::create_directories(fixture_.directory() / "Include");
        fs::copy_file(repo / "fixtures" / "base-data" / "Datos Base.MDB",
                      fixture_.directory() / "Include" / "Datos Base.MDB");
        refdata::CargarCodigosBIC(ctx_);
        ASSERT_FALSE(ctx_.ColeccionBIC.Empty());
    }

    // Runs the routines on a company, as the run does with its row current.
    std::unique_ptr<db::Connection> Actualizar(const std::string& codigo) {
        fixture_.EmpresaActual(codigo);
        auto conexion = servidor_.Conectar("Empresa_" + codigo);
        EXPECT_TRUE(conexion->isOpen()) << conexion->lastError().description;
        ActualizaCompras(ctx_, *conexion);
        return conexion;
    }

    static std::string Ancho(db::Connection& c, const std::string& tabla,
                             const std::string& columna) {
        const Filas filas =
            EmbeddedServer::Filas(c, "SELECT COL_LENGTH('" + tabla + "','" + columna + "')");
        return filas.empty() ? "" : filas.front().front();
    }

    EmbeddedServer servidor_;
    test_support::RunFixture fixture_{servidor_.Servidor()};
    run::RunContext& ctx_ = fixture_.ctx();
};

TEST_F(InstalacionTest, TheCompleteCompanyIsBroughtUpToTheReleaseAndASecondRunIsQuiet) {
    auto empresa = Actualizar("0001");
    db::Connection& c = *empresa;

    for (const std::string anio : {"2012", "2013", "2014"}) {
        const std::string e = "E" + anio;
        EXPECT_EQ(Ancho(c, e + "ComisionesTab", "ComiNomCliente"), "50");
        EXPECT_EQ(Ancho(c, e + "ComprasPedidosTabla", "ComprasPedidosDireccionEnvio"), "100");
        EXPECT_EQ(Ancho(c, e + "ComprasAlbaranesTabla", "ComprasAlbaranDireccionEnvio"), "100");
        EXPECT_EQ(Ancho(c, e + "ComprasPedidosLineas", "ComprasPedidos2CodArticulo"), "20");
        EXPECT_EQ(Ancho(c, e + "ComprasAlbaranesLineas", "ComprasAlbaran2CodArticulo"), "20");
        EXPECT_EQ(Ancho(c, e + "ComprasFacturasLineas", "ComprasFacturas2CodArticulo"), "20");
        EXPECT_EQ(Ancho(c, e + "ComprasFacturaTabla", "ComprasFacturaCpostalcli"), "10");
        EXPECT_EQ(EmbeddedServer::Filas(c,
                                        "SELECT COUNT(*) FROM INFORMATION_SCHEMA.COLUMNS WHERE "
                                        "TABLE_NAME='" +
                                            e +
                                            "ComprasFacturasLineas' AND COLUMN_DEFAULT = "
                                            "'(''00000'')'"),
                  Filas{{"2"}})
            << anio;
    }
    EXPECT_EQ(Ancho(c, "E2013ComisionesTab", "ComiArticulo"), "20");
    EXPECT_EQ(Ancho(c, "E2014ComisionesTab", "ComiArticulo"), "12");
    EXPECT_EQ(EmbeddedServer::Filas(c,
                                    "SELECT o.name FROM syscolumns c INNER JOIN sysobjects o ON "
                                    "c.cdefault = o.id WHERE c.id = "
                                    "OBJECT_ID('E2013ComprasFacturasLineas') AND c.name = "
                                    "'ComprasFacturas2Talla'"),
              Filas{{"DF_E2013ComprasFacturasLineas_Talla"}});

    const std::string iban =
        "SELECT ComprasFacturaNumero, ComprasFacturaIban, ComprasFacturaBic FROM %s ORDER BY 1";
    const Filas rellenas = {{"1", "ES48", "BBVAESMMXXX"},
                            {"2", "ES33", ""},
                            {"3", "ES25", ""},
                            {"4", "", ""},
                            {"5", "", ""}};
    for (const std::string tabla : {"E2013ComprasFacturaTabla", "E2014ComprasFacturaTabla"}) {
        std::string sql = iban;
        EXPECT_EQ(EmbeddedServer::Filas(c, sql.replace(sql.find("%s"), 2, tabla)), rellenas)
            << tabla;
    }
    std::string sql2012 = iban;
    EXPECT_EQ(EmbeddedServer::Filas(
                  c, sql2012.replace(sql2012.find("%s"), 2, "E2012ComprasFacturaTabla")),
              (Filas{{"1", "", ""}, {"2", "", ""}}));

    // Seven start lines and one line per column: three years of 9 + 4 + 13 + 4 + 18 columns,
    // and of the invoice lines 4 (2012, no size yet) + 3 + 3.
    const std::vector<std::string> entradas = fixture_.Entradas();
    EXPECT_EQ(entradas.size(), 7u + 3u * 48u + 10u);
    EXPECT_THAT(entradas, Each(StartsWith("Información:  ")));
    EXPECT_FALSE(ctx_.HayIncidencias());

    ActualizaCompras(ctx_, c);
    const std::vector<std::string> segunda = fixture_.Entradas();
    ASSERT_EQ(segunda.size(), entradas.size() + 7u);
    for (size_t i = entradas.size(); i < segunda.size(); ++i)
        EXPECT_THAT(segunda[i], StartsWith("Información:  Comenzando actualizacion estructura "));
    for (const std::string tabla : {"E2013ComprasFacturaTabla", "E2014ComprasFacturaTabla"}) {
        std::string sql = iban;
        EXPECT_EQ(EmbeddedServer::Filas(c, sql.replace(sql.find("%s"), 2, tabla)), rellenas);
    }
}

TEST_F(InstalacionTest, APartlyUpdatedCompanyOnlyGetsWhatItLacks) {
    auto empresa = Actualizar("0002");
    const std::vector<std::string> entradas = fixture_.Entradas();
    // Only the invoice lines of 2014 exist there, with colour and size already.
    EXPECT_EQ(entradas.size(), 7u + 2u);
    EXPECT_EQ(entradas[7],
              "Información:  Campo ComprasFacturas2CodigoArticuloProveedor "
              "actualizado correctamente en la empresa 0002 , servidor: " +
                  servidor_.Servidor());
    EXPECT_EQ(EmbeddedServer::Filas(*empresa,
                                    "SELECT ComprasFacturas2Talla, ComprasFacturas2Lote FROM "
                                    "E2014ComprasFacturasLineas"),
              (Filas{{"00000", "0000000000"}}));
    EXPECT_EQ(EmbeddedServer::Filas(*empresa,
                                    "SELECT COUNT(*) FROM sysobjects WHERE name = "
                                    "'DF_E2014ComprasFacturasLineas_Talla'"),
              Filas{{"1"}});
}

}  // namespace
}  // namespace compras_test
