// The close guard: what happens when the window (or, in the console view, Ctrl-C) asks to close.
//
// A close that the user did not ask for (the closing timer, the program itself, the operating
// system) is allowed. A user's close is put as a Yes/No question when the run was started for
// one selected database (Yes abandons the run and ends the program at once); otherwise it is
// refused with a message while the run is in progress, and allowed when no run is in progress.
//
// Thread safety: none; it runs on the run's one thread, inside the event pump.
#pragma once

#include <string>

#include "run/run_context.h"

namespace app {

inline constexpr char kPreguntaCancelar[] =
    "El proceso de actualización no ha terminado, si lo cancela ahora se ejecutará de nuevo la "
    "proxima vez que entre en la empresa";
inline constexpr char kAvisoNoEsPosibleCerrar[] =
    "El proceso de actualización no ha terminado, no es posible cerrar la aplicación.";

// How a view puts the guard's two messages to the user.
class ClosePrompter {
  public:
    virtual ~ClosePrompter() = default;
    // A question with Yes and No; true for Yes.
    virtual bool AskYesNo(const std::string& question) = 0;
    // A critical message with an OK button.
    virtual void ShowCritical(const std::string& message) = 0;
};

enum class CloseDecision {
    kAllow,    // the window may close
    kRefuse,   // the window stays and the run goes on
    kAbandon,  // the user gave up the run: the program ends at once
};

CloseDecision EvaluateCloseRequest(bool requested_by_user, const run::RunContext& context,
                                   ClosePrompter& prompter);

}  // namespace app
