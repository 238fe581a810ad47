// The window view: creates the Qt application and Form1, installs Qt's event processing as the
// run context's event pump, starts the run once the window is visible, and closes through the
// closing timer (or at once when the run must end the program).
//
// Thread safety: call from the main thread only.
#pragma once

#include "app/session.h"

namespace app {

inline constexpr char kApplicationName[] = "actualiza-catalogos";

// Shows the window and runs the session; returns the program's exit status.
int ExecWindowView(Session& session, const char* program_name);

}  // namespace app
