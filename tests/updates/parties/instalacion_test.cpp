// Every routine of the customers, suppliers, staff and law practice, in the run's order and
// with the run's guards, over the companies of the old-release installation (the scripts of
// fixtures/old-release/), then a second time: what the installation's tables hold afterwards
// and what the log says.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "refdata/codigos_bic.h"
#include "schema/catalogue_probes.h"
#include "script_batches.h"
#include "updates/parties/clientes.h"
#include "updates/parties/despacho.h"
#include "updates/parties/parties_test.h"
#include "updates/parties/personal.h"
#include "updates/parties/proveedores.h"
#include "updates/parties/tablas_clientes.h"

namespace parties_test {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;
using namespace updates::parties;

// The company steps of these routines, in order, each behind its guard.
void ActualizarEmpresa(run::RunContext& ctx, db::Connection& conexion, const std::string& codigo) {
    ActualizaClientes(ctx, conexion, codigo);
    ActualizaTelefonos(ctx, conexion);
    ActualizaDireccionesEnvio(ctx, conexion, codigo);
    ActualizaProveedores(ctx, conexion);
    ActualizaTarifasCliente(ctx, conexion);
    const struct {
        const char* tabla;
        void (*rutina)(run::RunContext&, db::Connection&);
    } protegidas[] = {
        {"REPTABLA", ActualizaRepresentantes},
        {"PermisosRep", ActualizaPermisosRepresentante},
        {"PERSONAL", ActualizaPersonal},
        {"TAREAS", ActualizaTareas},
        {"INSTANCIAS", ActualizaInstancias},
        {"LINEASINSTANCIAS", ActualizaLineasInstancias},
        {"ASUNTOS", ActualizaAsuntos},
        {"ABOGADOS", ActualizaAbogados},
        {"RELACIONENVIOS", ActualizaRelacionEnvios},
    };
    for (const auto& paso : protegidas)
        if (schema::ExisteObjeto(paso.tabla, conexion)) paso.rutina(ctx, conexion);
    ActualizaTiposCliente(ctx, conexion);
}

bool EsError(const std::string& entrada) {
    return entrada.starts_with("Error en el procesimiento ");
}

class InstalacionTest : public ::testing::Test {
  protected:
    // One installation for the whole suite; each test works on a company of its own.
    static void SetUpTestSuite() {
        servidor_ = new test_support::EmbeddedServer();
        auto master = servidor_->Conectar("");
        ASSERT_TRUE(master->isOpen()) << master->lastError().description;
        const fs::path repo = PARTIES_REPO_DIR;
        for (const fs::path& script : fixtures_test::sqlFiles(repo / "fixtures" / "old-release")) {
            for (const fixtures_test::ScriptBatch& lote :
                 fixtures_test::splitBatches(fixtures_test::readFile(script))) {
                master->clearError();
                const db::Status estado = master->execute(lote.text);
                ASSERT_TRUE(estado.ok()) << script.filename() << ":" << lote.firstLine << ": "
                                         << estado.error().description;
            }
        }
        master->close();
    }
    static void TearDownTestSuite() {
        delete servidor_;
        servidor_ = nullptr;
    }

    // Opens Empresa_<codigo>, makes its row current and loads the BIC catalogue from the
    // base-data file, as the run does before the company phase.
    db::Connection& Abrir(const std::string& codigo) {
        codigo_ = codigo;
        fixture_.EmpresaActual(codigo);
        const fs::path include = fixture_.directory() / "Include";
        fs::create_directories(include);
        fs::copy_file(fs::path(PARTIES_REPO_DIR) / "fixtures" / "base-data" / "Datos Base.MDB",
                      include / "Datos Base.MDB");
        refdata::CargarCodigosBIC(fixture_.ctx());
        EXPECT_FALSE(fixture_.ctx().ColeccionBIC.Empty());
        conexion_ = servidor_->Conectar("Empresa_" + codigo);
        EXPECT_TRUE(conexion_->isOpen()) << conexion_->lastError().description;
        return *conexion_;
    }
    void Actualizar() { ActualizarEmpresa(fixture_.ctx(), *conexion_, codigo_); }
    Filas Consulta(const std::string& sql) {
        return test_support::EmbeddedServer::Filas(*conexion_, sql);
    }
    std::string Ancho(const std::string& tabla, const std::string& columna) {
        const Filas filas = Consulta("SELECT COL_LENGTH('" + tabla + "','" + columna + "')");
        return filas.empty() ? "" : filas.front().front();
    }
    std::vector<std::string> Entradas() const { return fixture_.Entradas(); }
    std::vector<std::string> Errores() const {
        std::vector<std::string> errores;
        for (const std::string& entrada : Entradas())
            if (EsError(entrada)) errores.push_back(entrada);
        return errores;
    }

    static test_support::EmbeddedServer* servidor_;
    test_support::RunFixture fixture_;
    std::unique_ptr<db::Connection> conexion_;
    std::string codigo_;
};

test_support::EmbeddedServer* InstalacionTest::servidor_ = nullptr;

TEST_F(InstalacionTest, TheCompleteOldCompanyIsBroughtUpToTheReleaseAndThenLeftAlone) {
    Abrir("0001");
    Actualizar();
    EXPECT_THAT(Errores(), ::testing::IsEmpty());

    // Customers.
    EXPECT_EQ(Ancho("CLIENTESTABLA", "CliNombre"), "100");
    EXPECT_EQ(Ancho("CLIENTESTABLA", "clicif"), "15");
    EXPECT_EQ(Consulta("SELECT COUNT(*) FROM CLIENTESTABLA WHERE CliEmpresa<>'0001' OR "
                       "CliFechaMandato<>'20091031'"),
              (Filas{{"0"}}));
    // Every customer is visible to lawyer -1 but the one that another lawyer already sees; the
    // code with a quote included.
    EXPECT_EQ(Consulta("SELECT CodCliente FROM ABOGADOCLIENTE WHERE CodAbogado=-1 ORDER BY 1"),
              (Filas{{"000001"}, {"000004"}, {"000005"}, {"000006"}, {"O'DONNELL"}}));
    EXPECT_EQ(Consulta("SELECT t.name, OBJECT_NAME(c.cdefault) FROM syscolumns c JOIN systypes t "
                       "ON c.xtype=t.xtype WHERE c.id=OBJECT_ID('CLIENTESTABLA') AND "
                       "c.name='CLIIVAINTRACOMUNITARIO'"),
              (Filas{{"int", "DF_CLIENTESTABLA_CLIIVAINTRACOMUNITARIO"}}));
    EXPECT_EQ(Consulta("SELECT CLICODIGO, CODIGOCENTRO, TIPO FROM CENTROSADMINISTRATIVOS ORDER "
                       "BY TIPO"),
              (Filas{{"000002", "000001", "01"}, {"000002", "000004", "03"}}));
    EXPECT_EQ(Consulta("SELECT TipoRel FROM CLIENTESTABLARELACIONES"), (Filas{{"05"}}));
    EXPECT_EQ(Ancho("CLIDIRENVIOS", "CLIENVIDIRECCION"), "100");
    EXPECT_EQ(Ancho("TELEFON", "TELEEMAIL"), "100");
    EXPECT_EQ(Consulta("SELECT COLUMNPROPERTY(OBJECT_ID('TELEFON'),'ID','IsIdentity')"),
              (Filas{{"1"}}));
    EXPECT_EQ(Ancho("TarifasCliente", "TariCodArticul"), "20");

    // Suppliers: the file's first BIC for 0049 wins; 3025 has none; the account with empty
    // parts is not touched.
    EXPECT_EQ(Consulta("SELECT PROVBANCOSPROVEEDOR, PROVBANCOSIBAN, PROVBANCOSBIC FROM "
                       "PROVBANCOSDISP ORDER BY 1"),
              (Filas{{"000001", "ES48", "BBVAESMMXXX"},
                     {"000002", "ES33", ""},
                     {"000003", "ES25", "BSCHESMMXXX"},
                     {"000004", "", ""}}));
    EXPECT_EQ(Consulta("SELECT ProvIVA FROM PROVEEDORESTABLA ORDER BY ProvCodigo"),
              (Filas{{"0"}, {"3"}, {"5"}, {"2"}}));

    // Representatives and staff.
    EXPECT_EQ(Consulta("SELECT COUNT(*) FROM SYSINDEXES WHERE ID=OBJECT_ID('REPTABLA') AND "
                       "NAME='REPINDICE'"),
              (Filas{{"1"}}));
    EXPECT_EQ(Ancho("REPTABLA", "REPCODPOSTAL"), "10");
    EXPECT_EQ(Consulta("SELECT DISTINCT IPF, TipoVia FROM PERSONAL"), (Filas{{"0", ""}}));

    // Law practice.
    EXPECT_EQ(Consulta("SELECT codasuntointerno, numeroinstancia, Adeber FROM INSTANCIAS ORDER "
                       "BY 1, 2"),
              (Filas{{"1", "1", "750"}, {"1", "2", "0"}, {"2", "1", "400"}}));
    EXPECT_EQ(Consulta("SELECT LINEA, NUMFACT, CANAL FROM LINEASINSTANCIAS WHERE "
                       "CodAsuntoInterno=1 AND NUMEROINSTANCIA=2 ORDER BY LINEA"),
              (Filas{{"1", "27", "00"}, {"2", "0", ""}}));
    EXPECT_EQ(Consulta("SELECT CODIGOASUNTOINTERNO, ClientePrincipalAsunto FROM ASUNTOS ORDER BY "
                       "1"),
              (Filas{{"1", "000002"}, {"2", "NULL"}}));
    EXPECT_EQ(Ancho("RELACIONENVIOS", "ASUNTO"), "255");

    // The second run: start lines and reported widenings only (customers 1 + 4, delivery
    // addresses 1 + 2, suppliers 1 + 5, and the start line of each of the nine guarded
    // routines), no incident, no new lawyer row.
    const size_t antes = Entradas().size();
    Actualizar();
    const std::vector<std::string> entradas = Entradas();
    EXPECT_EQ(entradas.size() - antes, 5u + 3u + 6u + 9u);
    const std::set<std::string> informadas = {
        "CliNombre",          "CliDireccion",     "clicif",     "CliNombreComun",
        "Clienviomcomercial", "Clienvidireccion", "ProvNombre", "ProvNomComercial",
        "ProvPersonaCont",    "ProvDireccion",    "ProvCif"};
    const std::string campo = "Información:  Campo ";
    for (size_t i = antes; i < entradas.size(); ++i) {
        if (entradas[i].starts_with("Información:  Comenzando actualizacion estructura ")) continue;
        ASSERT_TRUE(entradas[i].starts_with(campo)) << entradas[i];
        const std::string columna =
            entradas[i].substr(campo.size(), entradas[i].find(' ', campo.size()) - campo.size());
        EXPECT_TRUE(informadas.contains(columna)) << entradas[i];
    }
    EXPECT_FALSE(fixture_.ctx().HayIncidencias());
    EXPECT_EQ(Consulta("SELECT COUNT(*) FROM ABOGADOCLIENTE"), (Filas{{"6"}}));
}

TEST_F(InstalacionTest, ThePartlyUpdatedCompanyKeepsWhatItAlreadyHad) {
    Abrir("0002");
    Actualizar();
    EXPECT_THAT(Errores(), ::testing::IsEmpty());
    // The long address keeps the mail column at 255; the duplicate codes keep the index out.
    EXPECT_EQ(Ancho("TELEFON", "TELEEMAIL"), "255");
    EXPECT_EQ(Consulta("SELECT COUNT(*) FROM SYSINDEXES WHERE ID=OBJECT_ID('REPTABLA') AND "
                       "NAME='REPINDICE'"),
              (Filas{{"0"}}));
    EXPECT_EQ(Consulta("SELECT LINEA, Estado FROM LINEASINSTANCIAS ORDER BY LINEA"),
              (Filas{{"1", "1"}, {"2", "2"}, {"3", "Pendiente"}}));
    EXPECT_EQ(Consulta("SELECT Adeber FROM INSTANCIAS"), (Filas{{"450"}}));
    EXPECT_EQ(Consulta("SELECT TipoRel FROM CLIENTESTABLARELACIONES"), (Filas{{"02"}}));
    EXPECT_EQ(Consulta("SELECT Clicodigo FROM CLIENTESTABLA WHERE CliFechaMandato IS NULL"),
              (Filas{{"C0002"}}));
    EXPECT_EQ(Consulta("SELECT PROVBANCOSIBAN, PROVBANCOSBIC FROM PROVBANCOSDISP"),
              (Filas{{"", ""}}));
    // Only the guarded routines whose tables exist ran.
    std::vector<std::string> comienzos;
    for (const std::string& entrada : Entradas())
        if (entrada.starts_with("Información:  Comenzando")) comienzos.push_back(entrada);
    EXPECT_THAT(comienzos,
                ElementsAre(Info("Comenzando actualizacion estructura clientestabla en la empresa "
                                 "0002 , servidor: SRV"),
                            Info("Comenzando actualizacion estructura CLIDIRENVIOS en la "
                                 "empresa0002 , servidor: SRV"),
                            Info("Comenzando actualizacion estructura Proveedorestabla en la "
                                 "empresa0002 , servidor: SRV"),
                            Info("Comenzando actualizacion estructura reptabla en la empresa0002 "
                                 ", servidor: SRV"),
                            Info("Comenzando actualizacion estructura INSTANCIAS en la "
                                 "empresa0002 , servidor: SRV"),
                            Info("Comenzando actualizacion estructura LINEASINSTANCIAS en la "
                                 "empresa0002 , servidor: SRV")));
}

TEST_F(InstalacionTest, TheLawPracticeGetsItsOwedAmountsAndMainClients) {
    Abrir("0003");
    Actualizar();
    EXPECT_THAT(Errores(), ::testing::IsEmpty());
    EXPECT_EQ(Consulta("SELECT CODIGOASUNTOINTERNO, ClientePrincipalAsunto FROM ASUNTOS ORDER BY "
                       "1"),
              (Filas{{"10", "CL0001"}, {"11", "CL0002"}, {"12", "NULL"}}));
    EXPECT_EQ(Consulta("SELECT codasuntointerno, Adeber FROM INSTANCIAS ORDER BY 1"),
              (Filas{{"10", "845.5"}, {"11", "0"}}));
    EXPECT_EQ(Consulta("SELECT LINEA, NUMFACT, CANAL FROM LINEASINSTANCIAS WHERE "
                       "CodAsuntoInterno=11 ORDER BY LINEA"),
              (Filas{{"1", "14", "01"}, {"2", "0", ""}}));
    EXPECT_EQ(Consulta("SELECT COUNT(*) FROM INFORMATION_SCHEMA.COLUMNS WHERE "
                       "TABLE_NAME='ABOGADOS'"),
              (Filas{{"28"}}));
}

TEST_F(InstalacionTest, TheSmallCompanyReportsTheColumnsOfItsMissingTables) {
    Abrir("0005");
    Actualizar();
    const std::string servidor = " , servidor: SRV";
    const auto error = [&](const std::string& columna) {
        return "Error en el procesimiento Form_Activate:Error al crear el campo " + columna +
               " en la empresa 0005" + servidor;
    };
    std::vector<std::string> campos;
    for (const std::string& entrada : Errores())
        campos.push_back(entrada.substr(0, entrada.find("     Mensaje devuelto")));
    EXPECT_THAT(campos,
                ElementsAre(error("TELEEMAIL"), error("PROVBANCOSACTIVA"), error("PROVBANCOSBIC"),
                            error("PROVBANCOSIBAN"), error("TariTar6"), error("TIPOPUBLICABLE")));
    EXPECT_TRUE(fixture_.ctx().HayIncidencias());
    // What it has is updated all the same.
    EXPECT_EQ(Ancho("CLIENTESTABLA", "CliNombre"), "100");
    EXPECT_EQ(Consulta("SELECT CliEmpresa FROM CLIENTESTABLA"), (Filas{{"0005"}}));
    EXPECT_EQ(Ancho("PROVEEDORESTABLA", "ProvNombre"), "50");
    EXPECT_THAT(Entradas(), Not(Contains(::testing::HasSubstr("reptabla"))));
}

}  // namespace
}  // namespace parties_test
