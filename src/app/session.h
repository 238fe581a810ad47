// One execution of the program, from start-up to its exit status, shared by both views.
//
// Load performs the start-up: the update log is started before anything else (so that even a
// rejected command line leaves a log), the progress is hidden at 0, the command line is read
// and the process grid is prepared. The view then shows itself and calls Run once; afterwards
// it either starts its closing timer (the usual end) or closes at once. Close requests go
// through RequestClose, which applies the close guard and ends the process when the user
// abandons a single-company run.
//
// Thread safety: none; everything runs on the view's thread.
#pragma once

#include <functional>
#include <string_view>

#include "app/close_guard.h"
#include "app/update_run.h"
#include "run/exit_status.h"
#include "run/run_context.h"

namespace app {

// Ends the process at once with `exit_code`: no destructors, no further log entries.
[[noreturn]] void TerminateProcess(int exit_code);

class Session {
  public:
    using Terminate = std::function<void(int exit_code)>;

    enum class AfterRun { kStartClosingTimer, kCloseNow };

    // `update_run` may be null: the program then has no run and closes after showing itself.
    Session(run::RunContext& context, UpdateRun* update_run,
            Terminate terminate = TerminateProcess);

    // Start-up before the view is shown. False when the command line was rejected: the view
    // must not be shown and the program ends with ExitCode().
    bool Load(std::string_view command_line);

    // Runs the update run (once; later calls only repeat the first answer), then the close-down:
    // progress and status label hidden, EstoyActualizando false.
    AfterRun Run();

    // Applies the close guard to a close request. On kAbandon the process is ended through the
    // terminate function with the "abandoned" status before this returns.
    CloseDecision RequestClose(bool requested_by_user, ClosePrompter& prompter);

    int ExitCode() const;

    run::RunContext& context() { return context_; }

  private:
    run::RunContext& context_;
    UpdateRun* update_run_;
    Terminate terminate_;
    bool rejected_ = false;
    bool ran_ = false;
    RunOutcome outcome_;
};

}  // namespace app
