#include "app/secuencia/secuencia.h"

#include <utility>

#include "app/secuencia/pasos_central.h"
#include "app/secuencia/pasos_empresa.h"
#include "db/connect.h"
#include "refdata/codigos_bic.h"
#include "run/date_time_text.h"
#include "run/program_directory.h"
#include "run/progress.h"
#include "run/update_log.h"
#include "schema/pasos_pendientes.h"
#include "schema/statements.h"

namespace app {
namespace {

constexpr int kMaximoProgreso = 1000;
constexpr std::string_view kSelectorCentral = "VARDEX";

}  // namespace

std::string TextoSinEmpresa(std::string_view selector) {
    return "Ninguna empresa tiene el código " + std::string(selector) + ": no se actualiza nada";
}

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
    dep.anotarPasoEnEmpresas = AnotarPasoEnEmpresas;
    dep.pasosCentrales = PasosCentrales();
    dep.pasosEmpresa = PasosEmpresa();
    dep.fechaPrograma = run::FechaPrograma();
    return dep;
}

RunSequence::RunSequence(Dependencias dependencias) : dep_(std::move(dependencias)) {}

void AnotarPasoEnEmpresas(run::RunContext& ctx, std::string_view clave) {
    const Credenciales c = CredencialesActualizacion(ctx.parametros);
    for (int fila = run::ProcessGrid::kFirstCompanyRow; fila < ctx.grid.RowCount(); ++fila) {
        std::unique_ptr<db::Connection> empresa = db::connect(
            CadenaConexion(ctx.parametros.Servidor, "Empresa_" + ctx.grid.Row(fila).code,
                           c.usarLogin, c.usuario, c.clave));
        if (!empresa->isOpen()) continue;
        for (const std::string& sentencia : schema::SentenciasMarcarPasoSiFalta(clave))
            empresa->execute(sentencia);
        empresa->close();
    }
}

RunOutcome RunSequence::Execute(run::RunContext& ctx) {
    const run::ParametrosEjecucion& p = ctx.parametros;
    ctx.ActualizarIVAProveedores = false;
    ctx.log.SetHayIncidencias(false);
    ctx.anotarPasoEnEmpresas = [anotar = dep_.anotarPasoEnEmpresas, &ctx](std::string_view clave) {
        if (anotar) anotar(ctx, clave);
    };

    if (dep_.realizarConexion(ctx) == ResultadoListado::kServidorInaccesible)
        return RunOutcome::EndAtOnce(run::ExitStatus::kServerUnreachable);
    // A selector of one company that names none of the register's updates nothing: the run
    // goes on as ever, but the operator and the log are told, and the run does not end well.
    const bool sinEmpresa = !p.EmpresaSolicitada.empty() && p.EmpresaSolicitada != kSelectorCentral &&
                            ctx.grid.RowCount() <= run::ProcessGrid::kFirstCompanyRow;
    if (sinEmpresa) {
        ctx.EscribirLog("RealizarConexion", TextoSinEmpresa(p.EmpresaSolicitada), "",
                        run::kNivelAdvertencia);
        ctx.AvisarOperador(TextoSinEmpresa(p.EmpresaSolicitada));
    }

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
        if (dep_.empresasALaVez > 1 && ctx.grid.RowCount() > run::ProcessGrid::kFirstCompanyRow + 1)
            EmpresasEnParalelo(ctx);
        else
            for (int fila = run::ProcessGrid::kFirstCompanyRow; fila < ctx.grid.RowCount(); ++fila)
                FaseEmpresa(ctx, fila);
        MensajeFinal(ctx);
    }
    return sinEmpresa ? RunOutcome::FinishedWith(run::ExitStatus::kWithIncidents)
                      : RunOutcome::Finished();
}

void RunSequence::FaseCentral(run::RunContext& ctx, db::Connection& conexion) {
    const std::string sinCodigo;
    schema::ComenzarFase(ctx, conexion);
    EjecutarPasos(dep_.pasosCentrales, {ctx, conexion, sinCodigo, dep_.fechaPrograma},
                  run::PasoProgresoCentral(ctx.progress.Maximum()));
    schema::TerminarFase(ctx, conexion);
}

void RunSequence::FaseEmpresa(run::RunContext& ctx, int fila,
                              const std::function<void()>& alTerminarPaso) {
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
        schema::ComenzarFase(ctx, *conexion);
        EjecutarPasos(dep_.pasosEmpresa, {ctx, *conexion, codigo, dep_.fechaPrograma},
                      run::PasoProgresoEmpresa(ctx.progress.Maximum()), alTerminarPaso);
        schema::TerminarFase(ctx, *conexion);
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
