// The update run as the views see it: one job, started once after the view is visible, that
// works through the databases while the view shows its progress. The run sequence implements
// it; until it exists the program has no run and goes straight to its close-down.
//
// Thread safety: the run executes on the view's thread and reaches the view only through the
// run context (grid, progress, ProcessPendingEvents).
#pragma once

#include "run/exit_status.h"
#include "run/run_context.h"

namespace app {

struct RunOutcome {
    // False: the run finished; the program performs its close-down and closes through its
    // timer, its exit status `status` unless the log's incidents make it worse. True: the
    // program must end at once with `status` (the server was not reachable).
    bool end_at_once = false;
    run::ExitStatus status = run::ExitStatus::kWithoutIncidents;

    static RunOutcome Finished() { return {}; }
    static RunOutcome FinishedWith(run::ExitStatus status) { return {false, status}; }
    static RunOutcome EndAtOnce(run::ExitStatus status) { return {true, status}; }
};

class UpdateRun {
  public:
    virtual ~UpdateRun() = default;
    virtual RunOutcome Execute(run::RunContext& context) = 0;
};

}  // namespace app
