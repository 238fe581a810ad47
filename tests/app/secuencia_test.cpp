// The run sequence as a whole, with scripted servers and recording steps: the order of the
// phases, the grid's pictures, the progress bar, the connections and the final message.
#include "app/secuencia/secuencia.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>

#include "app/secuencia/paralelo.h"
#include "app/secuencia/pasos.h"
#include "updates/central/routine_test.h"

namespace app {
namespace {

using central_test::ConTabla;
using test_support::ScriptedConnection;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// What the recording steps saw, in order: "<step> <database> code=<code> current=<code of the
// current row> progress=<value>/<maximum>".
std::vector<std::string>* g_visto = nullptr;
// Companies updated side by side record from their worker threads.
std::mutex g_registro;

void Registra(const std::string& paso, const EntornoPaso& e) {
    std::lock_guard lock(g_registro);
    g_visto->push_back(paso + " " + e.conexion.currentDatabase() + " code=" + e.codigo +
                       " current=" + e.ctx.CodigoEmpresaActual() +
                       " progress=" + std::to_string(e.ctx.progress.Value()) + "/" +
                       std::to_string(e.ctx.progress.Maximum()));
}

void PasoA(const EntornoPaso& e) {
    Registra("A", e);
}
void PasoB(const EntornoPaso& e) {
    Registra("B", e);
}
void PasoGuardado(const EntornoPaso& e) {
    Registra("G", e);
}
void PasoFalla(const EntornoPaso& e) {
    Registra("F", e);
    e.ctx.EscribirLog("Form_Activate", "fallo de prueba", "", run::kNivelError);
}
void PasoFecha(const EntornoPaso& e) {
    g_visto->push_back("stamp " + e.fechaPrograma);
}

constexpr Paso kCentrales[] = {
    {"C1", Siempre(), PasoA, 1},
    {"C2", Existe("SOCIOS"), PasoGuardado, 2},
    {"C3", Siempre(), PasoB},
    {"C4", Siempre(), PasoFecha, 23},
};
constexpr Paso kEmpresa[] = {
    {"K1", Siempre(), PasoA, 7},
    {"K2", NoExiste("PROPIEDADES"), PasoGuardado},
    {"K3", Siempre(), PasoB, 65},
};
constexpr Paso kEmpresaConFallo[] = {
    {"K1", Siempre(), PasoFalla},
};

// A scripted connection that notes, when it is released, whether it had been closed.
class ConexionObservada : public ScriptedConnection {
  public:
    ConexionObservada(std::string database, std::vector<std::string>& eventos)
        : ScriptedConnection(database), nombre_(std::move(database)), eventos_(eventos) {}
    ~ConexionObservada() override {
        std::lock_guard lock(g_registro);
        eventos_.push_back("release " + nombre_ + (isOpen() ? " open" : " closed"));
    }

  private:
    std::string nombre_;
    std::vector<std::string>& eventos_;
};

class SecuenciaTest : public central_test::RoutineTest, public run::ProgressObserver {
  protected:
    SecuenciaTest() {
        g_visto = &visto_;
        ctx_.parametros = {"sa", "secreto", "SRV", true, ""};
        ctx_.progress.AddObserver(this);
        dep_.realizarConexion = [this](run::RunContext& ctx) {
            const run::ParametrosEjecucion& p = ctx.parametros;
            listado_ = p.Servidor + "|" + p.EmpresaSolicitada;
            if (!alcanzable_) {
                ctx.EscribirLog("RealizarConexion", "Error de conexión con el servidor", "x",
                                run::kNivelError);
                return ResultadoListado::kServidorInaccesible;
            }
            ctx.grid.SetStatus(run::ProcessGrid::kConnectionRow, run::RowStatus::kDone);
            for (const auto& [code, name] : empresas_)
                if (p.EmpresaSolicitada.empty() || p.EmpresaSolicitada == code)
                    ctx.grid.AddCompanyRow("Actualizando " + name, code);
            return ResultadoListado::kListado;
        };
        dep_.abreconexionSimple = [this](run::RunContext& ctx,
                                         std::unique_ptr<db::Connection>& conexion) {
            aperturas_.push_back("Vardex");
            auto c = std::make_unique<ConexionObservada>("Vardex", eventos_);
            ConTabla(*c, "SOCIOS");
            if (!central_abre_) c->Cerrar();
            conexion = std::move(c);
            if (!central_abre_)
                ctx.EscribirLog("AbreconexionSimple",
                                "Error al conectar Vardex; en el servidor SRV", "",
                                run::kNivelError);
            return central_abre_;
        };
        dep_.abreconexionEmpresa = [this](run::RunContext& ctx,
                                          std::unique_ptr<db::Connection>& conexion,
                                          std::string_view codigo) {
            std::unique_lock lock(g_registro);
            aperturas_.push_back("Empresa_" + std::string(codigo));
            eventos_.push_back("open Empresa_" + std::string(codigo));
            lock.unlock();
            auto c =
                std::make_unique<ConexionObservada>("Empresa_" + std::string(codigo), eventos_);
            bool ok = !sin_base_.contains(std::string(codigo));
            if (!ok) c->Cerrar();
            if (codigo == "0002") ConTabla(*c, "PROPIEDADES");
            conexion = std::move(c);
            if (!ok)
                ctx.EscribirLog("AbreconexionEmpresa", "Error al conectar con la empresa", "",
                                run::kNivelError);
            return ok;
        };
        dep_.cargarCodigosBIC = [this](run::RunContext&) { visto_.push_back("BIC"); };
        dep_.pasosCentrales = kCentrales;
        dep_.pasosEmpresa = kEmpresa;
        dep_.fechaPrograma = "01/02/2026 10:11:12";
    }
    ~SecuenciaTest() override {
        ctx_.progress.RemoveObserver(this);
        g_visto = nullptr;
    }

    void OnProgressChanged(const run::ProgressModel& p) override {
        if (valores_.empty() || valores_.back() != p.Value()) valores_.push_back(p.Value());
    }

    RunOutcome Run() {
        ctx_.grid.Prepare(ctx_.parametros.EmpresaSolicitada);
        RunSequence sequence(dep_);
        return sequence.Execute(ctx_);
    }

    std::vector<run::RowStatus> Pictures() const {
        std::vector<run::RowStatus> out;
        for (int r = 1; r < ctx_.grid.RowCount(); ++r)
            out.push_back(ctx_.grid.Row(r).status);
        return out;
    }

    RunSequence::Dependencias dep_;
    std::vector<std::string> visto_;
    std::vector<int> valores_;
    std::vector<std::string> aperturas_;
    std::vector<std::string> eventos_;  // connections opened and released
    std::string listado_;
    bool alcanzable_ = true;
    bool central_abre_ = true;
    std::set<std::string> sin_base_;
    std::vector<std::pair<std::string, std::string>> empresas_ = {
        {"0001", "Ñandú S.A."}, {"0002", "Segunda"}, {"0004", "Sin base"}};
};

using run::RowStatus;

const std::string kFinalCon =
    "Información:  Terminada actualización de catálogos con incidencias 08/12/2026 10:30:00";
const std::string kFinalSin =
    "Información:  Terminada actualización de catálogos sin incidencias 08/12/2026 10:30:00";

TEST_F(SecuenciaTest, AWholeRunUpdatesTheCentralDatabaseThenEveryCompanyInOrder) {
    sin_base_ = {"0004"};
    RunOutcome outcome = Run();
    EXPECT_FALSE(outcome.end_at_once);
    EXPECT_EQ(listado_, "SRV|");
    EXPECT_THAT(aperturas_, ElementsAre("Vardex", "Empresa_0001", "Empresa_0002", "Empresa_0004"));
    EXPECT_THAT(visto_,
                ElementsAre("A Vardex code= current= progress=0/1000",
                            "G Vardex code= current= progress=43/1000",
                            "B Vardex code= current= progress=86/1000", "stamp 01/02/2026 10:11:12",
                            "BIC", "A Empresa_0001 code=0001 current=0001 progress=0/1000",
                            "G Empresa_0001 code=0001 current=0001 progress=98/1000",
                            "B Empresa_0001 code=0001 current=0001 progress=98/1000",
                            "A Empresa_0002 code=0002 current=0002 progress=0/1000",
                            "B Empresa_0002 code=0002 current=0002 progress=98/1000"));
    // Central: 43 per unit of k, the stamp's 23 gives 989; each company: 14 per unit; the
    // company whose database is missing shows the bar full.
    EXPECT_THAT(valores_, ElementsAre(0, 43, 86, 989, 0, 98, 910, 0, 98, 910, 1000));
    EXPECT_THAT(Pictures(), ElementsAre(RowStatus::kDone, RowStatus::kDone, RowStatus::kDone,
                                        RowStatus::kDone, RowStatus::kFailed));
    EXPECT_THAT(Entries(),
                ElementsAre("Información:  Comenzando actualizacion de Empresa_0001",
                            "Información:  Comenzando actualizacion de Empresa_0002",
                            "Error en el procesimiento AbreconexionEmpresa:Error al conectar con "
                            "la empresa     Mensaje devuelto por el servidor :",
                            kFinalCon));
    EXPECT_TRUE(ctx_.EstoyActualizando);  // the close-down that clears it is the session's
    EXPECT_TRUE(ctx_.progress.StatusLabelVisible());
}

// Side by side, the companies do what they do one after another, each with its own code and
// progress; the log holds their blocks in grid order, the pictures are those of the sequential
// run, the bar counts every company step (3 each, a company that could not be opened all 3 at
// once) up to its maximum, and the failing company's error gives the incidents.
TEST_F(SecuenciaTest, CompaniesSideBySideLeaveTheLogPicturesAndProgressOfTheSequentialRun) {
    sin_base_ = {"0004"};
    empresas_.emplace_back("0005", "Quinta");
    dep_.empresasALaVez = 3;
    Run();
    EXPECT_THAT(visto_, ::testing::UnorderedElementsAre(
                            "A Vardex code= current= progress=0/1000",
                            "G Vardex code= current= progress=43/1000",
                            "B Vardex code= current= progress=86/1000", "stamp 01/02/2026 10:11:12",
                            "BIC", "A Empresa_0001 code=0001 current=0001 progress=0/1000",
                            "G Empresa_0001 code=0001 current=0001 progress=98/1000",
                            "B Empresa_0001 code=0001 current=0001 progress=98/1000",
                            "A Empresa_0002 code=0002 current=0002 progress=0/1000",
                            "B Empresa_0002 code=0002 current=0002 progress=98/1000",
                            "A Empresa_0005 code=0005 current=0005 progress=0/1000",
                            "G Empresa_0005 code=0005 current=0005 progress=98/1000",
                            "B Empresa_0005 code=0005 current=0005 progress=98/1000"));
    EXPECT_THAT(Entries(),
                ElementsAre("Información:  Comenzando actualizacion de Empresa_0001",
                            "Información:  Comenzando actualizacion de Empresa_0002",
                            "Error en el procesimiento AbreconexionEmpresa:Error al conectar con "
                            "la empresa     Mensaje devuelto por el servidor :",
                            "Información:  Comenzando actualizacion de Empresa_0005", kFinalCon));
    EXPECT_THAT(Pictures(), ElementsAre(RowStatus::kDone, RowStatus::kDone, RowStatus::kDone,
                                        RowStatus::kDone, RowStatus::kFailed, RowStatus::kDone));
    ASSERT_GE(valores_.size(), 6u);
    EXPECT_THAT(std::vector<int>(valores_.begin(), valores_.begin() + 5),
                ElementsAre(0, 43, 86, 989, 0));
    EXPECT_TRUE(std::is_sorted(valores_.begin() + 4, valores_.end()));
    EXPECT_EQ(valores_.back(), 12);
    EXPECT_EQ(ctx_.progress.Maximum(), 12);
    for (const auto& file : std::filesystem::directory_iterator(ctx_.log.file().parent_path()))
        EXPECT_FALSE(file.path().filename().string().starts_with("LogActualizacion.0"));
}

TEST_F(SecuenciaTest, EveryConnectionIsClosedBeforeTheNextOneIsUsed) {
    sin_base_ = {"0004"};
    Run();
    EXPECT_THAT(eventos_, ElementsAre("release Vardex closed", "open Empresa_0001",
                                      "release Empresa_0001 closed", "open Empresa_0002",
                                      "release Empresa_0002 closed", "open Empresa_0004",
                                      "release Empresa_0004 closed"));
}

TEST_F(SecuenciaTest, ARunWithoutErrorsEndsWithoutIncidentsEvenIfTheFlagWasSetBefore) {
    ctx_.log.SetHayIncidencias(true);
    ctx_.ActualizarIVAProveedores = true;
    Run();
    EXPECT_EQ(Entries().back(), kFinalSin);
    EXPECT_FALSE(ctx_.ActualizarIVAProveedores);
}

TEST_F(SecuenciaTest, AnErrorInAnyCompanyStepTurnsTheFinalMessageIntoIncidents) {
    dep_.pasosEmpresa = kEmpresaConFallo;
    empresas_ = {{"0001", "Una"}};
    Run();
    EXPECT_EQ(Entries().back(), kFinalCon);
    EXPECT_THAT(Pictures(), ElementsAre(RowStatus::kDone, RowStatus::kDone, RowStatus::kDone));
}

TEST_F(SecuenciaTest, TheCentralSelectorUpdatesOnlyTheCentralDatabaseAndWritesNoFinalMessage) {
    ctx_.parametros.EmpresaSolicitada = "VARDEX";
    Run();
    EXPECT_EQ(listado_, "SRV|VARDEX");
    EXPECT_THAT(visto_, ElementsAre("A Vardex code= current= progress=0/1000",
                                    "G Vardex code= current= progress=43/1000",
                                    "B Vardex code= current= progress=86/1000",
                                    "stamp 01/02/2026 10:11:12"));
    EXPECT_EQ(ctx_.grid.RowCount(), 3);
    EXPECT_EQ(ctx_.grid.Row(2).status, RowStatus::kDone);
    EXPECT_THAT(Entries(), IsEmpty());
    EXPECT_EQ(ctx_.progress.Value(), 0);
}

TEST_F(SecuenciaTest, ACompanySelectorSkipsTheCentralPhaseShowingTheBarFull) {
    ctx_.parametros.EmpresaSolicitada = "0002";
    Run();
    EXPECT_EQ(listado_, "SRV|0002");
    EXPECT_THAT(visto_, ElementsAre("BIC", "A Empresa_0002 code=0002 current=0002 progress=0/1000",
                                    "B Empresa_0002 code=0002 current=0002 progress=98/1000"));
    EXPECT_THAT(valores_, ElementsAre(0, 1000, 0, 98, 910));
    EXPECT_TRUE(ctx_.grid.Row(2).hidden);
    EXPECT_EQ(ctx_.grid.Row(2).status, RowStatus::kDone);
    EXPECT_EQ(Entries().back(), kFinalSin);
}

TEST_F(SecuenciaTest, ASelectorNamingNoCompanyEndsWithoutCompanyPhaseOrFinalMessage) {
    std::vector<std::string> avisos;
    ctx_.SetAvisoOperador([&](std::string_view texto) { avisos.emplace_back(texto); });
    ctx_.parametros.EmpresaSolicitada = "0099";
    const RunOutcome outcome = Run();
    EXPECT_THAT(visto_, IsEmpty());
    // The operator and the log are told, and the run does not end well.
    const std::string aviso = "Ninguna empresa tiene el código 0099: no se actualiza nada";
    EXPECT_THAT(Entries(), ElementsAre("Advertencia en el procedimiento RealizarConexion:  " + aviso));
    EXPECT_THAT(avisos, ElementsAre(aviso));
    EXPECT_FALSE(outcome.end_at_once);
    EXPECT_EQ(outcome.status, run::ExitStatus::kWithIncidents);
}

TEST_F(SecuenciaTest, AnUnreachableServerEndsTheProgramAtOnceWithoutTouchingAnyDatabase) {
    alcanzable_ = false;
    RunOutcome outcome = Run();
    EXPECT_TRUE(outcome.end_at_once);
    EXPECT_EQ(outcome.status, run::ExitStatus::kServerUnreachable);
    EXPECT_THAT(aperturas_, IsEmpty());
    EXPECT_THAT(visto_, IsEmpty());
    EXPECT_FALSE(ctx_.EstoyActualizando);
}

TEST_F(SecuenciaTest, WithoutTheCentralDatabaseTheCompaniesAreStillUpdated) {
    central_abre_ = false;
    empresas_ = {{"0001", "Una"}};
    Run();
    EXPECT_THAT(visto_, ElementsAre("BIC", "A Empresa_0001 code=0001 current=0001 progress=0/1000",
                                    "G Empresa_0001 code=0001 current=0001 progress=98/1000",
                                    "B Empresa_0001 code=0001 current=0001 progress=98/1000"));
    EXPECT_EQ(ctx_.grid.Row(2).status, RowStatus::kDone);
    EXPECT_EQ(Entries().back(), kFinalCon);
}

TEST(ProgresoDePasoTest, TheProductIsTakenIn16BitsAndRefusedWhenItDoesNotFit) {
    EXPECT_EQ(ProgresoDePaso(43, 23), 989);
    EXPECT_EQ(ProgresoDePaso(14, 65), 910);
    EXPECT_EQ(ProgresoDePaso(1000, 32), 32000);
    EXPECT_EQ(ProgresoDePaso(1000, 33), std::nullopt);
}

TEST(MensajeFinalTest, TheFinalMessageNamesTheOutcomeAndTheDate) {
    EXPECT_EQ(TextoMensajeFinal(true, "d"),
              "Terminada actualización de catálogos con incidencias d");
    EXPECT_EQ(TextoMensajeFinal(false, "d"),
              "Terminada actualización de catálogos sin incidencias d");
}

}  // namespace
}  // namespace app

namespace app {
namespace {

TEST(EmpresasALaVezTest, AWholeNumberFromOneTo64ElseOneAtATimeAndTheOperatorIsTold) {
    std::string aviso;
    EXPECT_EQ(EmpresasALaVez(nullptr, aviso), 1);
    EXPECT_EQ(aviso, "");
    for (auto [valor, n] : {std::pair{"1", 1}, {"8", 8}, {"08", 8}, {"64", 64}}) {
        EXPECT_EQ(EmpresasALaVez(valor, aviso), n) << valor;
        EXPECT_EQ(aviso, "") << valor;
    }
    for (const char* valor : {"", "0", "65", "-2", "8 ", "0008", "cuatro", "4x"}) {
        EXPECT_EQ(EmpresasALaVez(valor, aviso), 1) << valor;
        EXPECT_EQ(aviso, std::string("ACTUALIZA_PARALELO=") + valor +
                             " no es un número de empresas entre 1 y 64: se actualizan de una en una");
    }
}

}  // namespace
}  // namespace app
