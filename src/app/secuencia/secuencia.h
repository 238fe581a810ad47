// The update run: the program's one job. It lists the companies, updates the central database
// (the central phase) and then every company database in turn (the company phase), and writes
// the run's final message. The views start it once their window or console is showing and
// perform the close-down afterwards.
//
//   1. Flags cleared; the listing connection fills the grid (an unreachable server ends the
//      program at once with the "server unreachable" status).
//   2. EstoyActualizando; progress 0 of 1000 with the status label; the central update
//      connection. The central phase runs when it opened and the selector is empty or
//      "VARDEX"; a single-company selector shows the bar full instead.
//   3. Row 2 done, progress 0. With at least one company row: the BIC catalogue is loaded,
//      every company row is updated in order (a company whose database cannot be opened is
//      marked failed and the bar shown full), and the final message is written. With
//      empresasALaVez above 1 the companies are updated side by side instead, each on its own
//      worker thread and connections, the log still in grid order (paralelo.cpp).
//
// Each phase keeps the one-off steps' markers of its database (schema/pasos_pendientes.h): it
// reads them when it begins and drops their table, left empty, when it ends.
//
// Everything the run reaches outside itself — the three connection routines, the BIC loader,
// the company markers, the program date and the two phases' step tables — is handed in
// (Dependencias), so that tests can run the whole sequence against scripted servers.
//
// Thread safety: runs on the view's thread; the companies updated side by side run on worker
// threads of their own, each with a run context of its own (see EmpresasEnParalelo).
#pragma once

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "app/connections.h"
#include "app/secuencia/pasos.h"
#include "app/update_run.h"
#include "db/connection.h"
#include "run/run_context.h"

namespace app {

class RunSequence : public UpdateRun {
  public:
    // The connection routines as the run calls them: server, credentials and selector come
    // from ctx.parametros.
    using Listado = std::function<ResultadoListado(run::RunContext&)>;
    using AperturaCentral = std::function<bool(run::RunContext&, std::unique_ptr<db::Connection>&)>;
    using AperturaEmpresa = std::function<bool(run::RunContext&, std::unique_ptr<db::Connection>&,
                                               std::string_view codigo)>;

    struct Dependencias {
        Listado realizarConexion;
        AperturaCentral abreconexionSimple;
        AperturaEmpresa abreconexionEmpresa;
        std::function<void(run::RunContext&)> cargarCodigosBIC;
        // Writes a step's marker into every company database of the grid (run::RunContext's
        // anotarPasoEnEmpresas); empty: no company gets it.
        std::function<void(run::RunContext&, std::string_view clave)> anotarPasoEnEmpresas;
        std::span<const Paso> pasosCentrales;
        std::span<const Paso> pasosEmpresa;
        // The release stamp written into every database.
        std::string fechaPrograma;
        // How many companies are updated at once (ACTUALIZA_PARALELO); 1 is one after another.
        int empresasALaVez = 1;
    };

    // The real run: the connection routines, the BIC loader of the base-data file, the
    // program date of the running executable and the step tables of both phases.
    static Dependencias DependenciasDelPrograma();

    explicit RunSequence(Dependencias dependencias);

    RunOutcome Execute(run::RunContext& ctx) override;

  private:
    void FaseCentral(run::RunContext& ctx, db::Connection& conexion);
    // `alTerminarPaso`: called after each company step (see EjecutarPasos).
    void FaseEmpresa(run::RunContext& ctx, int fila,
                     const std::function<void()>& alTerminarPaso = {});
    // The company phase for every company row, up to empresasALaVez at once (paralelo.cpp).
    void EmpresasEnParalelo(run::RunContext& ctx);
    void MensajeFinal(run::RunContext& ctx);

    Dependencias dep_;
};

// Writes the marker of step `clave` into the database of every company row of the grid, through
// connections of its own that log nothing; a company whose database cannot be opened gets none
// (its update fails anyway).
void AnotarPasoEnEmpresas(run::RunContext& ctx, std::string_view clave);

// The warning (log and operator) of a one-company selector that matches no company.
std::string TextoSinEmpresa(std::string_view selector);

// The final message's text for the given incident flag and date-time text.
std::string TextoMensajeFinal(bool hayIncidencias, std::string_view fecha);

}  // namespace app
