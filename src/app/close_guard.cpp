#include "app/close_guard.h"

namespace app {

CloseDecision EvaluateCloseRequest(bool requested_by_user, const run::RunContext& context,
                                   ClosePrompter& prompter) {
    if (!requested_by_user) return CloseDecision::kAllow;
    if (!context.parametros.EmpresaSolicitada.empty()) {
        return prompter.AskYesNo(kPreguntaCancelar) ? CloseDecision::kAbandon
                                                    : CloseDecision::kRefuse;
    }
    if (context.EstoyActualizando) {
        prompter.ShowCritical(kAvisoNoEsPosibleCerrar);
        return CloseDecision::kRefuse;
    }
    return CloseDecision::kAllow;
}

}  // namespace app
