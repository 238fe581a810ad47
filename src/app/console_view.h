// The console view: the window's contents rendered as text lines on standard error, for machines
// without a display. Grid rows are printed with a status mark as they appear or change; the
// progress bar redraws itself in place on a terminal and prints a line every tenth of the way
// when the output is not a terminal. Ctrl-C is the close request: it is seen when the run
// processes pending events, and the close guard asks its questions on the terminal (with no
// terminal the guard gets the safe answer, No, and the close is refused).
//
// Thread safety: none; the view lives on the run's thread. The Ctrl-C handler only sets a flag.
#pragma once

#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>

#include "app/close_guard.h"
#include "app/session.h"
#include "run/process_grid.h"
#include "run/progress.h"
#include "run/run_context.h"

namespace app {

// Writes an operator notice (run::RunContext::AvisarOperador) as a line of its own on `out`,
// after the program's name.
std::function<void(std::string_view)> AvisoEnSalida(std::ostream& out);

// The text mark of a status picture: "[ ]", "[i]", "[✓]", "[✗]".
const char* StatusMark(run::RowStatus status);

class ConsoleRenderer : public run::ProcessGridObserver, public run::ProgressObserver {
  public:
    // `terminal`: the output is a terminal, so the progress line may be redrawn in place.
    ConsoleRenderer(run::RunContext& context, std::ostream& out, bool terminal);
    ~ConsoleRenderer() override;

    // Prints the caption, the title and the visible rows of the grid.
    void Show();
    // Ends an in-place progress line so that what follows starts on a line of its own.
    void BreakLine();

    void OnGridReset(const run::ProcessGrid& grid) override;
    void OnRowAdded(const run::ProcessGrid& grid, int row) override;
    void OnRowChanged(const run::ProcessGrid& grid, int row) override;
    void OnRepaintRequested(const run::ProcessGrid& grid) override;
    void OnProgressChanged(const run::ProgressModel& progress) override;

  private:
    void PrintRow(const run::ProcessGrid& grid, int row);
    void DrawProgress(const run::ProgressModel& progress);

    run::RunContext& context_;
    std::ostream& out_;
    bool terminal_;
    bool shown_ = false;
    bool progress_line_open_ = false;  // an in-place progress line is on screen
    int last_tenth_ = -1;              // last tenth printed when not on a terminal
};

// The close guard's questions on a terminal. `in` is null when there is no terminal to ask.
class TerminalPrompter : public ClosePrompter {
  public:
    TerminalPrompter(std::istream* in, std::ostream& out) : in_(in), out_(out) {}
    bool AskYesNo(const std::string& question) override;
    void ShowCritical(const std::string& message) override;

  private:
    std::istream* in_;
    std::ostream& out_;
};

// Catches Ctrl-C (SIGINT) while it exists, turning it into a pending close request; the
// previous handler is restored on destruction. One watch at a time.
class InterruptWatch {
  public:
    InterruptWatch();
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    // True once for every Ctrl-C received since the last call.
    bool TakePending();
};

struct ConsoleIo {
    std::ostream& out;
    bool out_is_terminal;
    std::istream* terminal_in;  // null: no terminal to ask questions on
};

// Shows the console view, runs the session and closes after the closing timer's 100 ms;
// returns the program's exit status.
int ExecConsoleView(Session& session, const ConsoleIo& io);

}  // namespace app
