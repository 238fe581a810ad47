// The built program run over an old-release installation on the embedded engine: the central
// phase alone (twice), a whole run with the failing company, a run for one company, and whole
// runs with companies updated side by side against the same runs one after another. The
// databases are then read through the client layer and the update log line by line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>
#include <vector>

#include "app/installation.h"
#include "support/database_dump.h"

namespace app_test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

using Rows = std::vector<std::vector<std::string>>;

// --- what the central phase logs on a first run ------------------------------------------

class CentralLog {
  public:
    explicit CentralLog(std::string server) : server_(std::move(server)) {}

    CentralLog& Info(const std::string& message) {
        lines_.push_back("Información:  " + message);
        return *this;
    }
    CentralLog& Added(std::initializer_list<std::string> columns) {
        for (const std::string& c : columns)
            Info("Campo " + c + " actualizado correctamente en la empresa  , servidor: " + server_);
        return *this;
    }
    CentralLog& Estructura(const std::string& what) {
        return Info("Comenzando actualizacion estructura " + what + " , servidor: " + server_);
    }
    const std::vector<std::string>& lines() const { return lines_; }

  private:
    std::string server_;
    std::vector<std::string> lines_;
};

std::vector<std::string> FirstCentralRunLog(const std::string& server) {
    CentralLog log(server);
    log.Info("Conexión con vardex: OK")
        .Info("Comenzando actualizacion de Vardex")
        .Info("Comenzando actualización de la tabla EMP")
        .Added({"CodigoTabla",
                "CodigoTarifa",
                "PROGCONTABLE",
                "CODIGOEMISORPOPERACIONAL",
                "CODIGORECEPTORPOPERACIONAL",
                "CODIGOFORMAPAGORELACION",
                "RegimenIva",
                "FJURID",
                "TIPOFACTURA",
                "EMPFAMIDEFECTO",
                "IDEMPRESA",
                "IDEMPRESAIP",
                "FormatoIntroduccionArticulosCompras",
                "MEIPF",
                "MENURUTADOCUMENTOS",
                "EMPTAMAÑOCODIGOARTICULOS",
                "EMPRELLENARCODIGOSARTICULOS",
                "EMPFAMIDEFECTOBUSQUEDAS",
                "MEEMPRESAAGRARIA",
                "CRITERIOCAJA",
                "TIPOPROGRAMA",
                "EMPCAMBIARREPRESENTANTESPORUSUAROS",
                "EMPSINCDATOSCTA",
                "ESTADOSII",
                "EMPLOTEDESDELINEA",
                "MEEMPRESAAGRARIAC"})
        .Info("Comenzando actualización de calendario fiscal.")
        .Info("Comenzando actualización de criterios orientadores.")
        .Added({"Unidades", "TextoUnidades", "TramoUnidades", "PrecioTramoUnidades",
                "Multiplicador", "IdAyuda"})
        .Added({"Tribunal", "RadPostal", "Tratamiento", "Zona", "Turnar", "Sala", "AbreTratamiento",
                "AbTratamien", "Zona_VD", "Competencia"})
        .Added({"Plantilla", "Tipo"})
        .Added({"MINORACION", "DEDVIVIENDA"})
        .Added({"CAJASENTIDADBANCARIA", "CAJASAGRUPARLINEAS", "CAJASTARIFA", "CAJASOBSOLETA"})
        .Added({"CodigoProvincia", "CodigoComunidad", "Comunidad", "TipoVia"})
        .Added({"TipoVia"})
        .Estructura("etiquetas en la empresa")
        .Added({"ETIQUETATAMAÑOFUENTETEXTOS", "ETIQUETAFUENTENEGRITA"})
        .Added({"filtroSQL"})
        .Added({"DispImpPuerto"})
        .Estructura("escritorioactivo en la empresa")
        .Added({"ESCRITORIOACTIVOPROGRAMA"})
        .Estructura("Operaciones_orm")
        .Added({"CONFIGURACIONIMPUESTOS"})
        .Added({"IVAIMP8", "IVADES8", "CLAVE", "EPIGRAFE", "PERIODO"})
        .Added({"TipoIVA2010"})
        .Added({"CASILLAIVA17", "CASILLAIVA27", "CASILLAIVA37", "CASILLAIVA47", "CASILLAIVA57",
                "CASILLAIVA67", "CASILLAIVA77", "CASILLAIVA87", "CASILLAIVA97", "CASILLAIVA107",
                "CASILLAIVA18", "CASILLAIVA28", "CASILLAIVA38", "CASILLAIVA48", "CASILLAIVA58",
                "CASILLAIVA68", "CASILLAIVA78", "CASILLAIVA88", "CASILLAIVA98", "CASILLAIVA108"});
    return log.lines();
}

// --- the central database's columns after the run -----------------------------------------

struct Columna {
    std::string tabla;
    std::string columna;
    std::string tipo;      // DATA_TYPE as the catalogue reports it
    std::string longitud;  // CHARACTER_MAXIMUM_LENGTH, "NULL" for types without one
    std::string nulos;     // IS_NULLABLE
};

std::vector<Columna> ColumnasCentralesEsperadas() {
    std::vector<Columna> c = {
        // the company register
        {"EMP", "CodigoTabla", "int", "NULL", "NO"},
        {"EMP", "CodigoTarifa", "int", "NULL", "NO"},
        {"EMP", "PROGCONTABLE", "int", "NULL", "NO"},
        {"EMP", "CODIGOEMISORPOPERACIONAL", "varchar", "50", "YES"},
        {"EMP", "CODIGORECEPTORPOPERACIONAL", "varchar", "50", "YES"},
        {"EMP", "CODIGOFORMAPAGORELACION", "varchar", "15", "YES"},
        {"EMP", "RegimenIva", "int", "NULL", "NO"},
        {"EMP", "FJURID", "varchar", "1", "YES"},
        {"EMP", "TIPOFACTURA", "varchar", "35", "NO"},
        {"EMP", "EMPFAMIDEFECTO", "varchar", "4", "NO"},
        {"EMP", "IDEMPRESA", "varchar", "100", "YES"},
        {"EMP", "IDEMPRESAIP", "varchar", "100", "YES"},
        {"EMP", "FormatoIntroduccionArticulosCompras", "int", "NULL", "NO"},
        {"EMP", "MEIPF", "int", "NULL", "YES"},
        {"EMP", "MENURUTADOCUMENTOS", "varchar", "255", "YES"},
        {"EMP", "EMPTAMAÑOCODIGOARTICULOS", "int", "NULL", "YES"},
        {"EMP", "EMPRELLENARCODIGOSARTICULOS", "int", "NULL", "YES"},
        {"EMP", "EMPFAMIDEFECTOBUSQUEDAS", "varchar", "4", "YES"},
        {"EMP", "MEEMPRESAAGRARIA", "int", "NULL", "YES"},
        {"EMP", "CRITERIOCAJA", "int", "NULL", "YES"},
        {"EMP", "TIPOPROGRAMA", "int", "NULL", "YES"},
        {"EMP", "EMPCAMBIARREPRESENTANTESPORUSUAROS", "int", "NULL", "YES"},
        {"EMP", "EMPSINCDATOSCTA", "int", "NULL", "NO"},
        {"EMP", "ESTADOSII", "int", "NULL", "YES"},
        {"EMP", "EMPLOTEDESDELINEA", "int", "NULL", "NO"},
        {"EMP", "MEEMPRESAAGRARIAC", "int", "NULL", "YES"},
        {"DATOSFISCALES", "CASILLAPAR16", "varchar", "5", "YES"},
        {"DATOSFISCALES", "CASILLAPAR26", "varchar", "5", "YES"},
        {"DATOSFISCALES", "CASILLAPAR36", "varchar", "5", "YES"},
        {"DATOSFISCALES", "CASILLAPAR46", "varchar", "5", "YES"},
        // the small catalogues
        {"TRABAJOS_PREDEFINIDOS", "Plantilla", "varchar", "255", "YES"},
        {"TRABAJOS_PREDEFINIDOS", "Tipo", "varchar", "3", "NO"},
        {"SOCIOS", "MINORACION", "bit", "NULL", "YES"},
        {"SOCIOS", "DEDVIVIENDA", "bit", "NULL", "YES"},
        {"POSTA", "CPOSTAL", "varchar", "10", "YES"},  // ALTER COLUMN without NOT NULL
        {"CAJASTABLA", "CAJASENTIDADBANCARIA", "varchar", "4", "NO"},
        {"CAJASTABLA", "CAJASAGRUPARLINEAS", "varchar", "1", "YES"},
        {"CAJASTABLA", "CAJASTARIFA", "varchar", "1", "YES"},
        {"CAJASTABLA", "CAJASOBSOLETA", "bit", "NULL", "NO"},
        {"ETIQUETAS", "ETIQUETATAMAÑOFUENTETEXTOS", "float", "NULL", "YES"},
        {"ETIQUETAS", "ETIQUETAFUENTENEGRITA", "varchar", "2", "YES"},
        {"ImpresorasTabla", "DispImpPuerto", "varchar", "35", "YES"},
        {"ESCRITORIOACTIVO", "ESCRITORIOACTIVOPROGRAMA", "varchar", "35", "YES"},
        // the law-practice catalogues
        {"E2013HONCRITERIOS", "Unidades", "bit", "NULL", "NO"},
        {"E2013HONCRITERIOS", "TextoUnidades", "varchar", "100", "YES"},
        {"E2013HONCRITERIOS", "TramoUnidades", "int", "NULL", "YES"},
        {"E2013HONCRITERIOS", "PrecioTramoUnidades", "float", "NULL", "YES"},
        {"E2013HONCRITERIOS", "Multiplicador", "float", "NULL", "YES"},
        {"E2013HONINDICE", "IdAyuda", "int", "NULL", "NO"},
        {"JUZGADOS", "Tribunal", "varchar", "5", "YES"},
        {"JUZGADOS", "RadPostal", "varchar", "1", "YES"},
        {"JUZGADOS", "Tratamiento", "varchar", "50", "YES"},
        {"JUZGADOS", "Zona", "varchar", "3", "YES"},
        {"JUZGADOS", "Turnar", "varchar", "1", "YES"},
        {"JUZGADOS", "Sala", "varchar", "50", "YES"},
        {"JUZGADOS", "AbreTratamiento", "varchar", "10", "YES"},
        {"JUZGADOS", "AbTratamien", "varchar", "25", "YES"},
        {"JUZGADOS", "Zona_VD", "varchar", "3", "YES"},
        {"JUZGADOS", "Competencia", "varchar", "1", "YES"},
        {"JUZGADOS", "CodigoProvincia", "varchar", "2", "NO"},
        {"JUZGADOS", "CodigoComunidad", "varchar", "2", "NO"},
        {"JUZGADOS", "Comunidad", "varchar", "255", "NO"},
        {"JUZGADOS", "TipoVia", "varchar", "3", "NO"},
        {"COLEGIOSABOGADOS", "TipoVia", "varchar", "3", "YES"},
        {"CONSULTASASUNTOS", "filtroSQL", "text", "2147483647", "NO"},
        // the tax catalogues
        {"OPERACIONES_ORM", "CONFIGURACIONIMPUESTOS", "int", "NULL", "NO"},
        {"MODULOS", "IVAIMP8", "float", "NULL", "YES"},
        {"MODULOS", "IVADES8", "varchar", "50", "YES"},
        {"MODULOS", "CLAVE", "varchar", "1", "NO"},
        {"MODULOS", "EPIGRAFE", "varchar", "7", "NO"},
        {"MODULOS", "PERIODO", "int", "NULL", "NO"},
        {"IVATAB", "TipoIVA2010", "float", "NULL", "YES"},
        {"ACTIVIDADES_ORM", "I11", "varchar", "3", "YES"},
        // the property table
        {"PROPIEDADES", "OBJETO", "varchar", "128", "NO"},
        {"PROPIEDADES", "NOMBRE", "varchar", "128", "NO"},
        {"PROPIEDADES", "VALOR", "varchar", "128", "NO"},
    };
    for (const char* anio : {"E2013CALENDARIO", "E2014CALENDARIO"})
        for (const char* col : {"CDOP", "CMOD", "CIMP"})
            c.push_back({anio, col, "varchar", "255", "YES"});
    for (const char* col : {"A11", "B11", "C11", "D11", "E11", "F11", "G11", "H11", "J11"})
        c.push_back({"ACTIVIDADES_ORM", col, "varchar", "2", "YES"});
    for (const char* digito : {"7", "8"})
        for (int casilla = 1; casilla <= 10; ++casilla)
            c.push_back({"CUENTASP", "CASILLAIVA" + std::to_string(casilla) + digito, "float",
                         "NULL", "NO"});
    return c;
}

std::vector<std::string> Describe(const Installation& inst, const Columna& c) {
    Rows rows = inst.Rows("Vardex",
                          "SELECT DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, IS_NULLABLE FROM "
                          "INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME='" +
                              c.tabla + "' AND COLUMN_NAME='" + c.columna + "'");
    return rows.empty() ? std::vector<std::string>{"<missing>"} : rows.front();
}

// The whole column catalogue of a database, to compare a database before and after a run.
Rows Catalogue(const Installation& inst, const std::string& database) {
    return inst.Rows(database,
                     "SELECT TABLE_NAME, COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, "
                     "IS_NULLABLE FROM INFORMATION_SCHEMA.COLUMNS ORDER BY TABLE_NAME, "
                     "ORDINAL_POSITION");
}

const std::regex kFecha("[0-3][0-9]/[01][0-9]/[0-9]{4} [0-2][0-9]:[0-5][0-9]:[0-5][0-9]");

// --- the central phase alone ---------------------------------------------------------------

class CentralRunTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        inst_ = new Installation();
        if (inst_->Built()) outcome_ = inst_->Run("VARDEX");
    }
    static void TearDownTestSuite() {
        delete inst_;
        inst_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(inst_->Built()) << inst_->BuildError(); }

    static Installation* inst_;
    static Outcome outcome_;
};
Installation* CentralRunTest::inst_ = nullptr;
Outcome CentralRunTest::outcome_;

TEST_F(CentralRunTest, TheRunEndsWithoutIncidentsShowingOnlyTheServerRows) {
    EXPECT_EQ(outcome_.exit_code, 0) << outcome_.err;
    EXPECT_THAT(outcome_.err, HasSubstr("[✓] Conectando con el Servidor"));
    EXPECT_THAT(outcome_.err, HasSubstr("[✓] Actualizando Vardex"));
    EXPECT_THAT(outcome_.err, Not(HasSubstr("Actualizando Distribuciones")));
}

TEST_F(CentralRunTest, TheLogHoldsTheStartLineAndTheCentralMessagesAndNoFinalMessage) {
    const std::string bytes = inst_->LogBytes();
    std::smatch start;
    ASSERT_TRUE(std::regex_search(bytes, start,
                                  std::regex("^Inicio proceso de actualizaci\xF3n de Catalogos a "
                                             "[0-9/]{10} [0-9:]{8}\r\n-{20}\r\n")))
        << bytes.substr(0, 200);
    EXPECT_THAT(inst_->LogEntries(), ElementsAreArray(FirstCentralRunLog(inst_->Server())));
}

TEST_F(CentralRunTest, EveryCentralColumnHasItsTypeLengthAndNullRule) {
    for (const Columna& c : ColumnasCentralesEsperadas()) {
        EXPECT_THAT(Describe(*inst_, c), ElementsAre(c.tipo, c.longitud, c.nulos))
            << c.tabla << "." << c.columna;
    }
}

TEST_F(CentralRunTest, ExistingRowsHoldTheDefaultsOfTheNewColumns) {
    EXPECT_EQ(inst_->Rows("Vardex",
                          "SELECT DISTINCT PROGCONTABLE, TIPOFACTURA, "
                          "EMPTAMAÑOCODIGOARTICULOS, IDEMPRESA FROM EMP"),
              (Rows{{"1", "", "10", "NULL"}}));
    EXPECT_EQ(inst_->Rows("Vardex",
                          "SELECT DISTINCT CAJASAGRUPARLINEAS, CAJASTARIFA, "
                          "CAJASOBSOLETA FROM CAJASTABLA"),
              (Rows{{"1", "A", "False"}}));
    EXPECT_EQ(inst_->Rows("Vardex",
                          "SELECT USUARIO, DESCRIPCION, ESCRITORIOACTIVOPROGRAMA FROM "
                          "ESCRITORIOACTIVO ORDER BY USUARIO, DESCRIPCION"),
              (Rows{{"ADMIN", "Cierre de ejercicio", "KORVAN"},
                    {"ADMIN", "Escritorio principal", "KORVAN"},
                    {"LNUNEZ", "Escritorio principal", "KORVAN"}}));
    EXPECT_EQ(inst_->Rows("Vardex",
                          "SELECT COUNT(*) FROM SYSINDEXES WHERE NAME='INDICEUSUARIO' "
                          "AND ID=OBJECT_ID('ESCRITORIOACTIVO')"),
              (Rows{{"1"}}));
}

TEST_F(CentralRunTest, EachCompanyWithoutAnAccountLengthGetsItsOwn) {
    EXPECT_EQ(
        inst_->Rows("Vardex", "SELECT MENUMEMPRESA, CUENTEMP7 FROM EMP ORDER BY MENUMEMPRESA"),
        (Rows{{"0001", "600000"},
              {"0002", "6000000"},
              {"0003", "60000000"},
              {"0004", "0"},  // no digit settings of its own: left as it was
              {"0005", "6000000"}}));
}

TEST_F(CentralRunTest, VatRatesFollowTheRateChangesAndTheVersionIsRecorded) {
    EXPECT_EQ(inst_->Rows("Vardex",
                          "SELECT codiiva, TipoIVA, TipoIVA2010 FROM IVATAB ORDER BY "
                          "CAST(codiiva AS int)"),
              (Rows{{"1", "18", "21"}, {"2", "8", "10"},   {"3", "4", "4"},    {"4", "0", "0"},
                    {"5", "18", "21"}, {"6", "8", "10"},   {"7", "4", "4"},    {"8", "18", "21"},
                    {"9", "8", "10"},  {"10", "16", "16"}, {"11", "19", "19"}, {"12", "7", "0"},
                    {"13", "16", "0"}, {"14", "0", "0"},   {"15", "0", "0"},   {"16", "16", "0"},
                    {"17", "7", "0"},  {"18", "16", "0"},  {"19", "20", "20"}, {"20", "0", "0"}}));
    EXPECT_EQ(inst_->Rows("Vardex",
                          "SELECT VALOR FROM PROPIEDADES WHERE OBJETO='IVATAB' AND "
                          "NOMBRE='VERSION'"),
              (Rows{{"1002"}}));
}

TEST_F(CentralRunTest, CourtsBelongToTheRegionOfTheirPostalCode) {
    EXPECT_EQ(inst_->Rows("Vardex",
                          "SELECT CODIGO, CodigoProvincia, CodigoComunidad, Comunidad "
                          "FROM JUZGADOS ORDER BY CODIGO"),
              (Rows{{"1", "41", "01", "ANDALUCIA"},
                    {"2", "50", "02", "ARAGON"},
                    {"3", "33", "03", "ASTURIAS"},
                    {"4", "07", "04", "BALEARES"},
                    {"5", "28", "13", "MADRID"},
                    {"6", "08", "09", "CATALUÑA"},
                    {"7", "17", "09", "CATALUÑA"},
                    {"8", "26", "17", "LA RIOJA"},
                    {"9", "46", "10", "COMUNIDAD VALENCIANA"},
                    {"10", "48", "16", "PAIS VASCO"},
                    {"11", "51", "18", "CEUTA"},
                    {"12", "52", "19", "MELILLA"},
                    {"13", "", "", ""},
                    {"14", "", "", ""}}));
}

TEST_F(CentralRunTest, OutdatedCatalogueLayoutsAreDroppedAndCurrentOnesKept) {
    EXPECT_EQ(inst_->Rows("Vardex",
                          "SELECT name FROM sysobjects WHERE xtype='U' AND name IN "
                          "('CPENITEN','TIPOSDEVIA','TIPOSIDENTIFICATIVOS',"
                          "'TABLAOBSOLETA') ORDER BY name"),
              (Rows{{"TIPOSDEVIA"}, {"TIPOSIDENTIFICATIVOS"}}));
}

TEST_F(CentralRunTest, BaseDataTablesAreRefreshedAndTheirVersionsRecorded) {
    EXPECT_EQ(inst_->Rows("Vardex",
                          "SELECT OBJETO, VALOR FROM PROPIEDADES WHERE NOMBRE='VERSION' "
                          "AND OBJETO NOT IN ('IVATAB','PLADIO_FECHA') ORDER BY OBJETO"),
              (Rows{{"CNAE", "7"},
                    {"FORMASPAGO", "4"},
                    {"PAISES", "5"},
                    {"PROVINCIAS", "3"},
                    {"TABLAOBSOLETA", "1"},
                    {"TIPOSDEVIA", "2"}}));
    EXPECT_EQ(inst_->Rows("Vardex", "SELECT COUNT(*), MIN(CODIGO), MAX(CODIGO) FROM PROVINCIAS"),
              (Rows{{"52", "01", "52"}}));
    EXPECT_EQ(inst_->Rows("Vardex", "SELECT CODIGO, CONTINENTE FROM PAISES ORDER BY CODIGO"),
              (Rows{{"CH", "AMERICA"},
                    {"ES", "EUROPA"},
                    {"FR", "EUROPA"},
                    {"JP", "ASIA"},
                    {"PT", "EUROPA"},
                    {"US", "AMERICA"}}));
    EXPECT_EQ(inst_->Rows("Vardex", "SELECT COUNT(*) FROM TIPOSDEVIA"), (Rows{{"8"}}));
    EXPECT_EQ(inst_->Rows("Vardex", "SELECT COUNT(*) FROM FORMASPAGO"), (Rows{{"3"}}));
}

TEST_F(CentralRunTest, TheReleaseStampIsTheProgramsModificationDate) {
    const std::string date = inst_->ProgramDate();
    ASSERT_TRUE(std::regex_match(date, kFecha)) << date;
    EXPECT_EQ(inst_->Rows("Vardex",
                          "SELECT VALOR FROM PROPIEDADES WHERE OBJETO='PLADIO_FECHA' "
                          "AND NOMBRE='VERSION'"),
              (Rows{{date}}));
}

TEST_F(CentralRunTest, CompanyDatabasesAreNotTouched) {
    EXPECT_EQ(inst_->Rows("Empresa_0001",
                          "SELECT COUNT(*) FROM sysobjects WHERE xtype='U' AND "
                          "name='PROPIEDADES'"),
              (Rows{{"0"}}));
}

// --- a second run of the central phase ----------------------------------------------------

TEST(SecondCentralRunTest, ASecondRunAddsNothingAndLogsNoAddedColumn) {
    Installation inst;
    ASSERT_TRUE(inst.Built()) << inst.BuildError();
    ASSERT_EQ(inst.Run("VARDEX").exit_code, 0);
    const Rows before = Catalogue(inst, "Vardex");
    const Rows courts = inst.Rows("Vardex", "SELECT * FROM JUZGADOS ORDER BY CODIGO");
    const Rows vat = inst.Rows("Vardex", "SELECT * FROM IVATAB ORDER BY codiiva");

    Outcome second = inst.Run("VARDEX");
    EXPECT_EQ(second.exit_code, 0) << second.err;
    const std::string s = inst.Server();
    EXPECT_THAT(
        inst.LogEntries(),
        ElementsAre("Información:  Conexión con vardex: OK",
                    "Información:  Comenzando actualizacion de Vardex",
                    "Información:  Comenzando actualización de la tabla EMP",
                    "Información:  Comenzando actualización de calendario fiscal.",
                    "Información:  Comenzando actualización de criterios orientadores.",
                    "Información:  Comenzando actualizacion estructura etiquetas en la empresa , "
                    "servidor: " +
                        s,
                    "Información:  Comenzando actualizacion estructura escritorioactivo en la "
                    "empresa , servidor: " +
                        s,
                    "Información:  Comenzando actualizacion estructura Operaciones_orm , "
                    "servidor: " +
                        s));
    EXPECT_EQ(Catalogue(inst, "Vardex"), before);
    EXPECT_EQ(inst.Rows("Vardex", "SELECT * FROM JUZGADOS ORDER BY CODIGO"), courts);
    EXPECT_EQ(inst.Rows("Vardex", "SELECT * FROM IVATAB ORDER BY codiiva"), vat);
}

TEST(WindowRunTest, WithADisplayTheWindowRunsTheUpdateAndClosesByItself) {
    Installation inst;
    ASSERT_TRUE(inst.Built()) << inst.BuildError();
    Outcome outcome = RunProgram(inst.Program(), {"NULL,," + inst.Server() + ",VARDEX"},
                                 inst.Program().parent_path(), {{"QT_QPA_PLATFORM", "offscreen"}});
    EXPECT_EQ(outcome.exit_code, 0);
    EXPECT_THAT(outcome.err, Not(HasSubstr("Procesos")));  // the window, not the console view
    EXPECT_THAT(inst.LogEntries(), ElementsAreArray(FirstCentralRunLog(inst.Server())));
}

// --- a whole run ------------------------------------------------------------------------------

std::vector<std::string> Matching(const std::vector<std::string>& entries,
                                  const std::string& prefix) {
    std::vector<std::string> out;
    for (const std::string& e : entries)
        if (e.starts_with(prefix)) out.push_back(e);
    return out;
}

TEST(WholeRunTest, TheCentralPhaseThenEveryCompanyWithTheMissingOneFailed) {
    Installation inst;
    ASSERT_TRUE(inst.Built()) << inst.BuildError();
    Outcome outcome = inst.Run();
    EXPECT_EQ(outcome.exit_code, 1) << outcome.err;
    const std::vector<std::string> log = inst.LogEntries();
    const std::string s = inst.Server();

    EXPECT_THAT(Matching(log, "Información:  Comenzando actualizacion de "),
                ElementsAre("Información:  Comenzando actualizacion de Vardex",
                            "Información:  Comenzando actualizacion de Empresa_0001",
                            "Información:  Comenzando actualizacion de Empresa_0002",
                            "Información:  Comenzando actualizacion de Empresa_0003",
                            "Información:  Comenzando actualizacion de Empresa_0005"));
    EXPECT_THAT(Matching(log, "Error en el procesimiento AbreconexionEmpresa:"),
                ElementsAre(StartsWith("Error en el procesimiento AbreconexionEmpresa:Error al "
                                       "conectar con la empresa 0004 en el servidor " +
                                       s + "     Mensaje devuelto por el servidor :")));
    // The steps of each company whose routines exist run with that company's code.
    EXPECT_THAT(Matching(log, "Información:  Comenzando actualizacion estructura ctanuevopgc"),
                ElementsAre("Información:  Comenzando actualizacion estructura ctanuevopgc en la "
                            "empresa0001 , servidor: " +
                                s,
                            "Información:  Comenzando actualizacion estructura ctanuevopgc en la "
                            "empresa0002 , servidor: " +
                                s,
                            "Información:  Comenzando actualizacion estructura ctanuevopgc en la "
                            "empresa0003 , servidor: " +
                                s,
                            "Información:  Comenzando actualizacion estructura ctanuevopgc en la "
                            "empresa0005 , servidor: " +
                                s));
    EXPECT_EQ(Matching(log, "Información:  Comenzando eliminación tablas temporales").size(), 4u);
    ASSERT_FALSE(log.empty());
    EXPECT_THAT(log.back(),
                StartsWith("Información:  Terminada actualización de catálogos con incidencias "));
    EXPECT_TRUE(std::regex_match(log.back().substr(log.back().size() - 19), kFecha)) << log.back();

    EXPECT_THAT(outcome.err, HasSubstr("[✓] Actualizando Distribuciones Peñalver, S.L."));
    EXPECT_THAT(outcome.err, HasSubstr("[✗] Actualizando Construcciones Álvarez Muñoz, S.L."));
    EXPECT_THAT(outcome.err, HasSubstr("[✓] Actualizando Librería Cervantes, C.B."));

    // Each company that was reached carries the release stamp, in a property table of its own.
    const std::string date = inst.ProgramDate();
    for (const char* empresa : {"Empresa_0001", "Empresa_0002", "Empresa_0003", "Empresa_0005"}) {
        EXPECT_EQ(inst.Rows(empresa, "SELECT VALOR FROM PROPIEDADES WHERE NOMBRE='PLADIO_FECHA'"),
                  (Rows{{date}}))
            << empresa;
    }
    // Temporary work tables are gone; a table merely named like one stays.
    EXPECT_EQ(inst.Rows("Empresa_0001",
                        "SELECT COUNT(*) FROM sysobjects WHERE xtype='U' AND "
                        "name LIKE 'TEMP[0-9][0-9][0-9][0-9]%'"),
              (Rows{{"0"}}));
    EXPECT_EQ(inst.Rows("Vardex", "SELECT VALOR FROM PROPIEDADES WHERE OBJETO='PLADIO_FECHA'"),
              (Rows{{date}}));
}

TEST(SingleCompanyRunTest, OnlyTheSelectedCompanyIsUpdatedAndTheCentralDatabaseIsLeftAlone) {
    Installation inst;
    ASSERT_TRUE(inst.Built()) << inst.BuildError();
    const Rows central_before = Catalogue(inst, "Vardex");
    Outcome outcome = inst.Run("0005");
    const std::vector<std::string> log = inst.LogEntries();
    EXPECT_THAT(Matching(log, "Información:  Comenzando actualizacion de "),
                ElementsAre("Información:  Comenzando actualizacion de Empresa_0005"));
    EXPECT_THAT(Matching(log, "Información:  Conexión con "),
                ElementsAre("Información:  Conexión con vardex: OK",
                            "Información:  Conexión con Empresa_0005 : OK"));
    EXPECT_THAT(log.back(), StartsWith("Información:  Terminada actualización de catálogos "));
    EXPECT_EQ(Catalogue(inst, "Vardex"), central_before);
    EXPECT_THAT(outcome.err, Not(HasSubstr("Actualizando Vardex")));
    EXPECT_THAT(outcome.err, HasSubstr("[✓] Actualizando Librería Cervantes, C.B."));
    EXPECT_EQ(inst.Rows("Empresa_0001",
                        "SELECT COUNT(*) FROM sysobjects WHERE xtype='U' AND "
                        "name='PROPIEDADES'"),
              (Rows{{"0"}}));
}

// Four companies at once must leave the databases and write the log (dates and the server's
// path aside) as one company at a time does: the first run, with its failing company, and the
// quiet second run.
TEST(ParallelRunTest, FourCompaniesAtOnceLeaveTheDatabasesAndTheLogOfTheSequentialRun) {
    Installation sequential, parallel;
    ASSERT_TRUE(sequential.Built()) << sequential.BuildError();
    ASSERT_TRUE(parallel.Built()) << parallel.BuildError();
    std::filesystem::last_write_time(parallel.Program(),
                                     std::filesystem::last_write_time(sequential.Program()));
    auto comparable = [](std::string log, const std::string& server) {
        for (size_t at; (at = log.find(server)) != std::string::npos;)
            log.replace(at, server.size(), "<server>");
        return std::regex_replace(log, kFecha, "<date>");
    };
    // A value that is no number of companies is said on standard error and means one at a time.
    // The second parallel run is drawn in the window, whose grid the workers reach through Qt.
    for (const char* sequentialValue : {"1", "cuatro"}) {
        SCOPED_TRACE(sequentialValue);
        const bool window = std::string(sequentialValue) == "cuatro";
        Outcome one = sequential.RunWith("NULL,," + sequential.Server(),
                                         {{"ACTUALIZA_PARALELO", sequentialValue}});
        std::map<std::string, std::string> env = {{"ACTUALIZA_PARALELO", "4"}};
        if (window) env["QT_QPA_PLATFORM"] = "offscreen";
        Outcome four = parallel.RunWith("NULL,," + parallel.Server(), env);
        EXPECT_EQ(four.exit_code, one.exit_code) << four.err;
        const std::string logOne = comparable(sequential.LogBytes(), sequential.Server());
        const std::string logFour = comparable(parallel.LogBytes(), parallel.Server());
        EXPECT_TRUE(logFour == logOne)
            << test_support::DumpDifferences(logOne, logFour, "one at a time", "four at once");
        const std::string dumpOne = test_support::WithoutToday(sequential.Dump());
        const std::string dumpFour = test_support::WithoutToday(parallel.Dump());
        EXPECT_TRUE(dumpFour == dumpOne)
            << test_support::DumpDifferences(dumpOne, dumpFour, "one at a time", "four at once");
        // Every company row was drawn with its end state; no block file is left behind.
        if (window) {
            EXPECT_THAT(four.err, Not(HasSubstr("Procesos")));
        } else {
            EXPECT_THAT(four.err, HasSubstr("[✓] Actualizando Librería Cervantes, C.B."));
            EXPECT_THAT(four.err, HasSubstr("[✗] Actualizando Construcciones Álvarez Muñoz, S.L."));
        }
        for (const auto& file : std::filesystem::directory_iterator(parallel.ProgramFolder()))
            EXPECT_THAT(file.path().filename().string(), Not(StartsWith("LogActualizacion.0")));
        EXPECT_EQ(one.err.find("ACTUALIZA_PARALELO=cuatro no es un número de empresas") !=
                      std::string::npos,
                  std::string(sequentialValue) == "cuatro")
            << one.err;
    }
}

}  // namespace
}  // namespace app_test
