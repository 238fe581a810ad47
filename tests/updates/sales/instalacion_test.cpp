// The sales, article and stock routines, in the order of the company phase, over the
// old-release installation of fixtures/old-release on the embedded engine, with the BIC
// catalogue of the shipped base-data file: what a real first run leaves in a complete company
// (0001), a partially updated one (0002) and a small one (0005), and how quiet the second run
// is.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "refdata/codigos_bic.h"
#include "schema/catalogue_probes.h"
#include "script_batches.h"
#include "support/embedded_server.h"
#include "support/run_fixture.h"
#include "support/statement_trace.h"
#include "updates/sales/albaranes.h"
#include "updates/sales/articulos.h"
#include "updates/sales/escan_lineas.h"
#include "updates/sales/facturas.h"
#include "updates/sales/presupuestos_pedidos.h"
#include "updates/sales/produccion.h"
#include "updates/sales/stock.h"

namespace updates::sales {
namespace {

namespace fs = std::filesystem;
using Filas = std::vector<std::vector<std::string>>;
using test_support::EmbeddedServer;
using ::testing::Contains;
using ::testing::Not;

// The routines of this area in the order of the company steps, with their guards.
struct Paso {
    std::string_view guarda;  // a table that must exist; empty: always
    void (*rutina)(run::RunContext&, db::Connection&);
};

constexpr Paso kPasos[] = {
    {"", AmpliaArticuloClientesCyC},
    {"", ActualizaArticulos},
    {"FAMI", ActualizaFamilias},
    {"", AmpliaArticuloTipoArticli},
    {"", AmpliaArticuloReprenArticli},
    {"", ActualizaEscanTabla},
    {"", AmpliaArticuloColores},
    {"", AmpliaArticuloColores},
    {"", AmpliaArticuloCyC},
    {"", AmpliaArticuloOfertas},
    {"", AmpliaArticuloPreciosIniciales},
    {"", ActualizaProvarticli},
    {"ESCANLINEAS", ActualizaEscanLineas},
    {"", ActualizaPresupuestos},
    {"", ActualizaLineasPresupuestos},
    {"", ActualizaPedidos},
    {"", ActualizaLineasPedidos},
    {"", ActualizaAlbaranes},
    {"", ActualizaLineasAlbaranes},
    {"", ActualizaFacturas},
    {"", ActualizaLineasFacturas},
    {"", ActualizaProduccion},
    {"", ActualizaCaducidades},
    {"", AmpliaCodPostalAlmacen},
    {"", ActualizaMovimientosAlmacen},
    {"", ActualizaCStock},
};

class InstalacionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const fs::path repo = ACTUALIZA_REPO_DIR;
        fs::create_directories(fixture_.directory() / "Include");
        fs::copy_file(repo / "fixtures" / "base-data" / "Datos Base.MDB",
                      fixture_.directory() / "Include" / "Datos Base.MDB");
        refdata::CargarCodigosBIC(fixture_.ctx());
        ASSERT_EQ(fixture_.ctx().ColeccionBIC.Find("0049").value_or(""), "BSCHESMMXXX");

        auto master = servidor_.Conectar("");
        ASSERT_TRUE(master->isOpen()) << master->lastError().description;
        for (const fs::path& script : fixtures_test::sqlFiles(repo / "fixtures" / "old-release"))
            for (const auto& lote : fixtures_test::splitBatches(fixtures_test::readFile(script))) {
                master->clearError();
                const db::Status estado = master->execute(lote.text);
                ASSERT_TRUE(estado.ok())
                    << script << ":" << lote.firstLine << ": " << estado.error().description;
            }
    }

    // Runs the area's steps for company `codigo`, as the company phase does.
    void Actualizar(const std::string& codigo) {
        fixture_.EmpresaActual(codigo);
        auto conexion = servidor_.Conectar("Empresa_" + codigo);
        ASSERT_TRUE(conexion->isOpen());
        for (const Paso& paso : kPasos) {
            if (paso.guarda.empty() || schema::ExisteObjeto(paso.guarda, *conexion))
                paso.rutina(fixture_.ctx(), *conexion);
        }
    }

    Filas Consulta(const std::string& codigo, const std::string& sql) {
        test_support::ScopedEnv sinTraza("ACTUALIZA_TRACE", "");
        auto conexion = servidor_.Conectar("Empresa_" + codigo);
        return EmbeddedServer::Filas(*conexion, sql);
    }
    std::string Valor(const std::string& codigo, const std::string& sql) {
        const Filas filas = Consulta(codigo, sql);
        return filas.empty() ? "" : filas.front().front();
    }
    bool ExisteVista(const std::string& codigo, const std::string& vista) {
        return !Consulta(codigo,
                         "SELECT name FROM sysobjects WHERE xtype='V' AND name='" + vista + "'")
                    .empty();
    }
    std::vector<std::string> Errores() const {
        std::vector<std::string> errores;
        for (const std::string& entrada : fixture_.Entradas())
            if (entrada.starts_with("Error")) errores.push_back(entrada);
        return errores;
    }

    test_support::RunFixture fixture_;
    EmbeddedServer servidor_;
    test_support::StatementTrace traza_;
};

TEST_F(InstalacionTest, ACompleteOldCompanyIsBroughtUpToDate) {
    Actualizar("0001");
    EXPECT_THAT(Errores(), ::testing::ElementsAre());

    // Invoices: 2013 and 2014 backfilled with the file's BICs (21 is looked up as 0021; 0238
    // has no BIC in the file, 3025 is not in it), 2012 not at all.
    const Filas cuentas = {{"1", "ES25", "BSCHESMMXXX"},
                           {"2", "ES91", "CAIXESBBXXX"},
                           {"3", "ES13", "PRUEBAS0021"},
                           {"4", "", ""},
                           {"5", "", ""},
                           {"6", "ES88", ""},
                           {"7", "ES33", ""}};
    for (const std::string anio : {"2013", "2014"})
        EXPECT_EQ(Consulta("0001", "SELECT FACTURANumero, FACTURAIBAN, FACTURABIC FROM E" + anio +
                                       "FacturaTabla ORDER BY 1"),
                  cuentas)
            << anio;
    EXPECT_EQ(Consulta("0001", "SELECT DISTINCT FACTURAIBAN, FACTURABIC FROM E2012FacturaTabla"),
              (Filas{{"", ""}}));
    EXPECT_EQ(Consulta("0001",
                       "SELECT COL_LENGTH('E2012FacturaTabla','FACTURACpostalcli'), "
                       "COL_LENGTH('E2013FacturaTabla','FACTURACpostalcli'), "
                       "COL_LENGTH('E2014FacturaTabla','FACTURACpostalcli')"),
              (Filas{{"10", "10", "12"}}));
    EXPECT_EQ(Consulta("0001",
                       "SELECT COL_LENGTH('E2013AlbaranesLineas','ALBARAN2CodArticulo'), "
                       "COL_LENGTH('E2014AlbaranesLineas','ALBARAN2CodArticulo'), "
                       "COL_LENGTH('E2013PedidosTabla','PEDIDOSDireccionEnvio')"),
              (Filas{{"20", "15", "100"}}));

    // The colour default of 2013's invoice lines and movements is repaired under its name.
    EXPECT_EQ(Consulta("0001",
                       "SELECT o.name, m.text FROM syscolumns c INNER JOIN sysobjects o ON "
                       "c.cdefault = o.id INNER JOIN syscomments m ON m.id = o.id WHERE c.id IN "
                       "(OBJECT_ID('E2013FACTURASLineas'), OBJECT_ID('E2013MOVIALMACEN')) AND "
                       "UPPER(c.name) IN ('FACTURAS2COLOR','COLOR') ORDER BY o.name"),
              (Filas{{"DF_E2013FACTURASLineas_Color", "('00000')"},
                     {"DF_E2013MOVIALMACEN_COLOR", "('00000')"}}));

    // Stock: every year's key rebuilt and its views dropped, the longer-named view kept.
    for (const std::string anio : {"2012", "2013", "2014"}) {
        EXPECT_FALSE(ExisteVista("0001", "E" + anio + "MOVIMIENTOSSTOCK")) << anio;
        EXPECT_FALSE(ExisteVista("0001", "E" + anio + "AGRUPASTOCK")) << anio;
        EXPECT_FALSE(ExisteVista("0001", "E" + anio + "MOVIALMACENTRI")) << anio;
        EXPECT_EQ(Valor("0001",
                        "SELECT COUNT(*) FROM sysindexkeys k INNER JOIN sysindexes i ON "
                        "i.id = k.id AND i.indid = k.indid WHERE i.name = "
                        "'CSTOCKINDICENUM' AND i.id = OBJECT_ID('E" +
                            anio + "CSTOCK')"),
                  "5")
            << anio;
    }
    EXPECT_TRUE(ExisteVista("0001", "E2013MOVIMIENTOSSTOCK2"));

    // Scanning lines numbered per document in article order.
    EXPECT_EQ(Consulta("0001",
                       "SELECT ESCANLINEACODIGO, ESCANLINEACODART, ESCANNUMLINEA FROM "
                       "ESCANLINEAS WHERE ESCANLINEACODIGO IS NOT NULL ORDER BY 1, 2"),
              (Filas{{"7", "ACE0000002", "1"},
                     {"7", "BOL0000004", "2"},
                     {"7", "HAR0000001", "3"},
                     {"9", "ACE0000002", "1"}}));

    // Widths of the fixed tables.
    EXPECT_EQ(Consulta("0001",
                       "SELECT COL_LENGTH('ALMACEN','ALMCODPOSTAL'), "
                       "COL_LENGTH('TIPOARTICLI','TIPOARTIARTI'), "
                       "COL_LENGTH('ArticulosCyCTabla','CodArticulo'), "
                       "COL_LENGTH('clientescyctabla','clientescycarticulo'), "
                       "COL_LENGTH('E2012Produccion','DESCLI'), "
                       "COL_LENGTH('E2013Produccion','DESCLI'), "
                       "COL_LENGTH('E2014Produccion','DESCLI'), "
                       "COL_LENGTH('ESCANTABLA','BIENINVERSION')"),
              (Filas{{"10", "20", "15", "20", "100", "100", "60", "NULL"}}));
}

TEST_F(InstalacionTest, TheSecondRunOverTheSameCompanyChangesNothingAndLogsNoColumn) {
    Actualizar("0001");
    const Filas antes = Consulta("0001",
                                 "SELECT FACTURANumero, FACTURAIBAN, FACTURABIC, "
                                 "FACTURATIPOCLIENTE FROM E2013FacturaTabla ORDER BY 1");
    fixture_.ctx().log.IniciarLog();
    traza_.Clear();
    Actualizar("0001");

    // Only start lines and the widenings that report every run.
    for (const std::string& entrada : fixture_.Entradas()) {
        const bool inicio = entrada.starts_with("Información:  Comenzando actualizacion");
        const bool informada = entrada.starts_with("Información:  Campo ProveedorNombre") ||
                               entrada.starts_with("Información:  Campo Descripcion") ||
                               entrada.starts_with("Información:  Campo provartidescri") ||
                               entrada.starts_with("Información:  Campo provartilinea");
        EXPECT_TRUE(inicio || informada) << entrada;
    }
    EXPECT_FALSE(fixture_.ctx().HayIncidencias());
    EXPECT_EQ(Consulta("0001",
                       "SELECT FACTURANumero, FACTURAIBAN, FACTURABIC, "
                       "FACTURATIPOCLIENTE FROM E2013FacturaTabla ORDER BY 1"),
              antes);
    for (const std::string& sql : traza_.Statements("open")) {
        EXPECT_FALSE(sql.starts_with("Select * from escanlineas")) << sql;
        EXPECT_EQ(sql.find("ENTIDAD, "), std::string::npos) << sql;
    }
}

TEST_F(InstalacionTest, APartlyUpdatedCompanyKeepsWhatItHas) {
    Actualizar("0002");
    EXPECT_THAT(Errores(), ::testing::ElementsAre());
    const std::vector<std::string> abiertas = traza_.Statements("open");
    EXPECT_THAT(abiertas, Not(Contains(::testing::StartsWith("SELECT FacturaENTIDAD"))));
    EXPECT_THAT(abiertas, Not(Contains(::testing::StartsWith("Select * from escanlineas"))));

    EXPECT_EQ(Consulta("0002",
                       "SELECT o.name, m.text FROM syscolumns c INNER JOIN sysobjects o ON "
                       "c.cdefault = o.id INNER JOIN syscomments m ON m.id = o.id WHERE c.id = "
                       "OBJECT_ID('E2014FACTURASLineas') AND c.name = 'FACTURAS2Color'"),
              (Filas{{"DF_E2014FACTURASLineas_Color", "('00000')"}}));
    EXPECT_EQ(Consulta("0002",
                       "SELECT COL_LENGTH('E2014PresupuestoTablaFirmas','SURVEYRESULT'), "
                       "COL_LENGTH('E2014PedidosTablaFirmas','SURVEYRESULT')"),
              (Filas{{"4", "4"}}));
    EXPECT_TRUE(ExisteVista("0002", "E2014MOVIMIENTOSSTOCK"));
    EXPECT_TRUE(ExisteVista("0002", "E2014AGRUPASTOCK"));
    EXPECT_TRUE(ExisteVista("0002", "E2014MOVIALMACENTRI"));
}

TEST_F(InstalacionTest, ASmallCompanyLogsTheColumnsOfItsMissingTables) {
    Actualizar("0005");
    EXPECT_THAT(
        Errores(),
        ::testing::ElementsAre(
            ::testing::StartsWith("Error en el procesimiento Form_Activate:Error al crear el "
                                  "campo TIPOSCODIGOARTICULO en la empresa 0005 , servidor: "),
            ::testing::StartsWith("Error en el procesimiento Form_Activate:Error al crear el "
                                  "campo provartidescripcionarticulo en la empresa 0005 , "
                                  "servidor: ")));
    EXPECT_EQ(Valor("0005", "SELECT COL_LENGTH('ARTICULOSTABLA','TPVPrecio6')"), "8");
}

}  // namespace
}  // namespace updates::sales
