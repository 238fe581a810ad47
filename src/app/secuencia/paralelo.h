// Companies updated side by side: ACTUALIZA_PARALELO=N (environment) updates up to N companies
// at once after the central phase, which stays first and alone. 1, the default, is the run one
// company after another.
//
// Each company gets a worker thread, its own connections and a run context of its own whose
// log entries go to the company's block file (run/bloques_log.h); its grid and progress are
// mirrored into the run's through the run context's dispatcher, so the views are only ever
// touched on the run's thread. The run's own thread waits for the workers while it lets the
// view process its events (the close guard behaves as ever) and appends each company's block
// to the log as soon as every earlier company's block is there. The progress bar counts the
// companies' steps (one unit a step, a company that could not be opened counting all of its
// steps), whatever order they come in. A company that fails stops nobody else; its level-1
// entries turn the final message into "con incidencias" as they do one after another.
//
// Thread safety: EmpresasALaVez is reentrant; the phase itself runs on the run's thread.
#pragma once

#include <string>

namespace app {

inline constexpr char kVariableParalelo[] = "ACTUALIZA_PARALELO";
inline constexpr int kMaximoEmpresasALaVez = 64;

// The number of companies to update at once for the variable's value (null when unset): a
// whole number from 1 to kMaximoEmpresasALaVez. Anything else gives 1 and, in `aviso`, the
// notice for the operator (empty otherwise).
int EmpresasALaVez(const char* valor, std::string& aviso);

}  // namespace app
