#include "app/secuencia/secuencia.h"

#include <utility>

#include "app/secuencia/pasos_central.h"
#include "app/secuencia/pasos_empresa.h"
#include "refdata/codigos_bic.h"
#include "run/date_time_text.h"
#include "run/program_directory.h"
#include "run/progress.h"
#include "run/update_log.h"
#include "schema/statements.h"

namespace app {
namespace {

constexpr int kMaximoProgreso = 1000;
constexpr std::string_view kSelectorCentral = "VARDEX";

}  // namespace

std::string TextoMensajeFinal(bool hayIncidencias, std::string_view fecha) {
    std::string texto = hayIncidencias ? "Terminada actualización de catálogos con incidencias "
                                       : "Terminada actualización de catálogos sin incidencias ";
    texto += fecha;
    return texto;
}

RunSequence::Dependencias RunSequence::DependenciasDelPrograma() {
    Dependencias dep;
    dep.realizarConexion = [](run::RunContext& ctx) { return RealizarConexion(ctx); };
    dep.abreconexionSimple = [](run::RunContext& ctx, std::unique_ptr<db::Connection>& c) {
        return AbreconexionSimple(ctx, c);
    };
    dep.abreconexionEmpresa = [](run::RunContext& ctx, std::unique_ptr<db::Connection>& c,
                                 std::string_view codigo) {
        return AbreconexionEmpresa(ctx, c, codigo);
    };
    dep.cargarCodigosBIC = [](run::RunContext& ctx) { refdata::CargarCodigosBIC(ctx); };
    dep.pasosCentrales = PasosCentrales();
    dep.pasosEmpresa = PasosEmpresa();
    dep.fechaPrograma = run::FechaPrograma();
    return dep;
}

RunSequence::RunSequence(Dependencias dependencias) : dep_(std::move(dependencias)) {}

RunOutcome RunSequence::Execute(run::RunContext& ctx) {
    const run::ParametrosEjecucion& p = ctx.parametros;
    ctx.ActualizarIVAProveedores = false;
    ctx.log.SetHayIncidencias(false);

    if (dep_.realizarConexion(ctx) == ResultadoListado::kServidorInaccesible)
        return RunOutcome::EndAtOnce(run::ExitStatus::kServerUnreachable);

    ctx.EstoyActualizando = true;
    ctx.progress.SetValue(0);
    ctx.progress.SetMaximum(kMaximoProgreso);
    ctx.progress.Show();
    ctx.progress.ShowStatusLabel();

    std::unique_ptr<db::Connection> central;
    if (dep_.abreconexionSimple(ctx, central)) {
        if (!p.EmpresaSolicitada.empty() && p.EmpresaSolicitada != kSelectorCentral)
            ctx.progress.SetValue(ctx.progress.Maximum());
        else
            FaseCentral(ctx, *central);
    }
    if (central) central->close();
    central.reset();

    ctx.grid.SetStatus(run::ProcessGrid::kCentralRow, run::RowStatus::kDone);
    ctx.grid.RepaintNow();
    ctx.progress.SetValue(0);

    if (ctx.grid.RowCount() > run::ProcessGrid::kFirstCompanyRow) {
        ctx.progress.Show();
        dep_.cargarCodigosBIC(ctx);
        for (int fila = run::ProcessGrid::kFirstCompanyRow; fila < ctx.grid.RowCount(); ++fila)
            FaseEmpresa(ctx, fila);
        MensajeFinal(ctx);
    }
    return RunOutcome::Finished();
}

void RunSequence::FaseCentral(run::RunContext& ctx, db::Connection& conexion) {
    const std::string sinCodigo;
    EjecutarPasos(dep_.pasosCentrales, {ctx, conexion, sinCodigo, dep_.fechaPrograma},
                  run::PasoProgresoCentral(ctx.progress.Maximum()));
}

void RunSequence::FaseEmpresa(run::RunContext& ctx, int fila) {
    const std::string codigo = ctx.grid.Row(fila).code;
    std::unique_ptr<db::Connection> conexion;
    if (!dep_.abreconexionEmpresa(ctx, conexion, codigo)) {
        ctx.progress.SetValue(ctx.progress.Maximum());
        ctx.grid.SetStatus(fila, run::RowStatus::kFailed);
    } else {
        ctx.grid.SetCurrentRow(fila);
        ctx.grid.SetStatus(fila, run::RowStatus::kInProgress);
        ctx.grid.RepaintNow();
        ctx.EscribirLog(schema::kProcedimientoFormActivate,
                        "Comenzando actualizacion de " + conexion->currentDatabase(), "",
                        run::kNivelInformacion);
        ctx.progress.SetValue(0);
        ctx.progress.SetMaximum(kMaximoProgreso);
        EjecutarPasos(dep_.pasosEmpresa, {ctx, *conexion, codigo, dep_.fechaPrograma},
                      run::PasoProgresoEmpresa(ctx.progress.Maximum()));
        // Done also when routines logged errors: those show in the log and the final message.
        ctx.grid.SetStatus(fila, run::RowStatus::kDone);
    }
    ctx.grid.RepaintNow();
    if (conexion) conexion->close();
}

void RunSequence::MensajeFinal(run::RunContext& ctx) {
    ctx.EscribirLog(schema::kProcedimientoFormActivate,
                    TextoMensajeFinal(ctx.HayIncidencias(), ctx.log.NowText()), "",
                    run::kNivelInformacion);
}

}  // namespace app
