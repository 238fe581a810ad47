#include "app/session.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "app/command_line.h"
#include "run/bloques_log.h"

namespace app {

void TerminateProcess(int exit_code) {
    std::fflush(nullptr);
    std::_Exit(exit_code);
}

Session::Session(run::RunContext& context, UpdateRun* update_run, Terminate terminate)
    : context_(context), update_run_(update_run), terminate_(std::move(terminate)) {}

bool Session::Load(std::string_view command_line) {
    // A run killed while companies were updated side by side left their blocks beside the log:
    // they complete its log, in grid order, before this run starts its own.
    run::RecuperarBloques(context_.log.file());
    context_.log.IniciarLog();
    context_.progress.SetValue(0);
    context_.progress.Hide();
    std::optional<run::ParametrosEjecucion> parametros =
        ReadCommandLine(command_line, context_.log);
    if (!parametros) {
        rejected_ = true;
        return false;
    }
    context_.parametros = std::move(*parametros);
    context_.grid.Prepare(context_.parametros.EmpresaSolicitada);
    return true;
}

Session::AfterRun Session::Run() {
    if (!ran_) {
        ran_ = true;
        if (update_run_ != nullptr) outcome_ = update_run_->Execute(context_);
        if (!outcome_.end_at_once) {
            context_.progress.Hide();
            context_.progress.HideStatusLabel();
            context_.EstoyActualizando = false;
        }
    }
    return outcome_.end_at_once ? AfterRun::kCloseNow : AfterRun::kStartClosingTimer;
}

CloseDecision Session::RequestClose(bool requested_by_user, ClosePrompter& prompter) {
    CloseDecision decision = EvaluateCloseRequest(requested_by_user, context_, prompter);
    if (decision == CloseDecision::kAbandon) terminate_(run::ToInt(run::ExitStatus::kAbandoned));
    return decision;
}

int Session::ExitCode() const {
    if (rejected_) return run::ToInt(run::ExitStatus::kRejectedCommandLine);
    if (outcome_.end_at_once) return run::ToInt(outcome_.status);
    if (context_.HayIncidencias()) return run::ToInt(run::ExitStatus::kWithIncidents);
    return run::ToInt(outcome_.status);
}

}  // namespace app
