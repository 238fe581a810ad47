// The run context: the one object that holds the state shared by the whole run — the run
// parameters, the update log and its incident flag, the process grid, the progress, the run's
// flags, the program directory — and the "process pending events" hook where the views let the
// user act (and where the close guard runs). It is passed by reference to every routine; there
// are no globals, so a test builds a context of its own.
//
// Later parts of the run add their members here; everything is public on purpose, the way the
// run's shared variables are.
//
// Thread safety: none; a context lives on one thread. The run's own context lives on the view's
// thread; a company updated side by side with others gets a context of its own on its worker
// thread (secuencia/paralelo.h), whose grid and progress the run mirrors into its own.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "run/coleccion_bic.h"
#include "run/date_time_text.h"
#include "run/parametros_ejecucion.h"
#include "run/pasos_pendientes.h"
#include "run/process_grid.h"
#include "run/progress.h"
#include "run/update_log.h"

namespace run {

class RunContext {
  public:
    // A context for a program living in `programDirectory`; its log is
    // `programDirectory/LogActualizacion.txt`, its dates come from `clock`.
    explicit RunContext(std::filesystem::path programDirectory, Clock clock = CurrentLocalDateTime);
    // A context whose log entries go to `logFile` instead (a company's block, bloques_log.h).
    RunContext(std::filesystem::path programDirectory, Clock clock, std::filesystem::path logFile);

    RunContext(const RunContext&) = delete;
    RunContext& operator=(const RunContext&) = delete;

    std::filesystem::path programDirectory;
    Clock clock;
    ParametrosEjecucion parametros;
    UpdateLog log;
    ProcessGrid grid;
    ProgressModel progress;
    // True while the run is in progress; the close guard reads it.
    bool EstoyActualizando = false;
    // Set by the central VAT routine; read by the supplier routine of the company phase.
    bool ActualizarIVAProveedores = false;
    // Entity code -> BIC, loaded from the base-data file before the company phase; read by the
    // bank-account backfills.
    run::ColeccionBIC ColeccionBIC;
    // The one-off steps' markers of the database the current phase works on.
    run::PasosPendientes pasos;
    // Writes the marker of step `clave` into every company database of the run, so that the
    // company phase owes that step even if this run is interrupted before reaching it. Installed
    // by the run sequence (which owns the connections); does nothing until then.
    std::function<void(std::string_view clave)> anotarPasoEnEmpresas;

    void EscribirLog(std::string_view procedimiento, std::string_view mensaje,
                     std::string_view textoServidor, std::int16_t nivel) {
        log.EscribirLog(procedimiento, mensaje, textoServidor, nivel);
    }
    bool HayIncidencias() const { return log.HayIncidencias(); }

    // The code of the company being updated (the current grid row); empty in the central phase.
    std::string CodigoEmpresaActual() const { return grid.CurrentCompanyCode(); }

    // Lets the view handle what the user did meanwhile (window events, a pending Ctrl-C); long
    // loops of the run call it. Does nothing until a view installs its pump.
    void ProcessPendingEvents() const {
        if (event_pump_) event_pump_();
    }
    void SetEventPump(std::function<void()> pump) { event_pump_ = std::move(pump); }

    // Tells the operator what the log cannot or does not carry (an unwritable log, a selector
    // that matches no company, an unusable base-data file): the view installs where it goes
    // (standard error). A text already told is not repeated. Does nothing until installed.
    void AvisarOperador(std::string_view texto) const;
    void SetAvisoOperador(std::function<void(std::string_view)> aviso) {
        aviso_operador_ = std::move(aviso);
    }

    // Runs `task` on the run's thread, tasks in the order they were handed in: how workers of
    // the company phase reach the grid and the progress the views watch. The window installs
    // Qt's queued invocation (tasks then run also while a message box is open); without a
    // dispatcher the run's own loop runs them (secuencia/paralelo.h).
    using Dispatcher = std::function<void(std::function<void()> task)>;
    void SetDispatcher(Dispatcher dispatcher) { dispatcher_ = std::move(dispatcher); }
    const Dispatcher& dispatcher() const { return dispatcher_; }

  private:
    Dispatcher dispatcher_;
    std::function<void()> event_pump_;
    std::function<void(std::string_view)> aviso_operador_;
    mutable std::set<std::string, std::less<>> avisados_;
};

}  // namespace run
