#include "app/console_view.h"

#include <signal.h>

#include <chrono>
#include <csignal>
#include <thread>

namespace app {
namespace {

constexpr char kCaption[] = "Actualizando catálogos de bases de datos...";
constexpr char kTitle[] = "Actualización de catálogos de bases de datos";
constexpr char kStatusLabel[] = "Proceso de Actualización";
constexpr char kClearLine[] = "\r\033[K";
constexpr int kBarWidth = 30;

volatile std::sig_atomic_t interrupt_pending = 0;
struct sigaction previous_action;

extern "C" void OnInterrupt(int) {
    interrupt_pending = 1;
}

int Percent(const run::ProgressModel& progress) {
    return static_cast<int>(100LL * progress.Value() / progress.Maximum());
}

}  // namespace

const char* StatusMark(run::RowStatus status) {
    switch (status) {
        case run::RowStatus::kInProgress:
            return "[i]";
        case run::RowStatus::kDone:
            return "[✓]";
        case run::RowStatus::kFailed:
            return "[✗]";
        case run::RowStatus::kNone:
            break;
    }
    return "[ ]";
}

ConsoleRenderer::ConsoleRenderer(run::RunContext& context, std::ostream& out, bool terminal)
    : context_(context), out_(out), terminal_(terminal) {
    context_.grid.AddObserver(this);
    context_.progress.AddObserver(this);
}

ConsoleRenderer::~ConsoleRenderer() {
    BreakLine();
    context_.grid.RemoveObserver(this);
    context_.progress.RemoveObserver(this);
}

void ConsoleRenderer::Show() {
    shown_ = true;
    out_ << kCaption << "\n" << kTitle << "\n";
    OnGridReset(context_.grid);
    OnProgressChanged(context_.progress);
}

void ConsoleRenderer::BreakLine() {
    if (!progress_line_open_) return;
    out_ << "\n" << std::flush;
    progress_line_open_ = false;
}

void ConsoleRenderer::OnGridReset(const run::ProcessGrid& grid) {
    if (!shown_) return;
    BreakLine();
    out_ << grid.Row(run::ProcessGrid::kHeaderRow).text << "\n";
    for (int row = run::ProcessGrid::kHeaderRow + 1; row < grid.RowCount(); ++row)
        PrintRow(grid, row);
    out_ << std::flush;
}

void ConsoleRenderer::OnRowAdded(const run::ProcessGrid& grid, int row) {
    PrintRow(grid, row);
}

void ConsoleRenderer::OnRowChanged(const run::ProcessGrid& grid, int row) {
    PrintRow(grid, row);
}

void ConsoleRenderer::OnRepaintRequested(const run::ProcessGrid&) {
    out_ << std::flush;
}

void ConsoleRenderer::PrintRow(const run::ProcessGrid& grid, int row) {
    const run::GridRow& line = grid.Row(row);
    if (!shown_ || line.hidden) return;
    bool redraw = progress_line_open_;
    if (redraw) {
        out_ << kClearLine;
        progress_line_open_ = false;
    }
    out_ << "  " << StatusMark(line.status) << " " << line.text << "\n";
    if (redraw) DrawProgress(context_.progress);
}

void ConsoleRenderer::OnProgressChanged(const run::ProgressModel& progress) {
    if (!shown_) return;
    if (!progress.Visible()) {
        if (progress_line_open_) out_ << kClearLine << std::flush;
        progress_line_open_ = false;
        last_tenth_ = -1;
        return;
    }
    DrawProgress(progress);
}

void ConsoleRenderer::DrawProgress(const run::ProgressModel& progress) {
    int percent = Percent(progress);
    std::string label = progress.StatusLabelVisible() ? std::string(kStatusLabel) + " " : "";
    if (!terminal_) {
        // Sparse lines: one when the bar appears and one for every tenth it passes.
        int tenth = percent / 10;
        if (tenth == last_tenth_) return;
        last_tenth_ = tenth;
        out_ << label << percent << "%\n" << std::flush;
        return;
    }
    int filled = static_cast<int>(1LL * kBarWidth * progress.Value() / progress.Maximum());
    out_ << kClearLine << label << "[" << std::string(filled, '#')
         << std::string(kBarWidth - filled, '.') << "] " << percent << "%" << std::flush;
    progress_line_open_ = true;
}

bool TerminalPrompter::AskYesNo(const std::string& question) {
    out_ << question << " [s/N] " << std::flush;
    std::string answer;
    if (in_ == nullptr || !std::getline(*in_, answer)) {
        out_ << "N\n" << std::flush;  // nobody to answer: the safe answer keeps the run going
        return false;
    }
    size_t first = answer.find_first_not_of(" \t");
    return first != std::string::npos &&
           std::string("sSyY").find(answer[first]) != std::string::npos;
}

std::function<void(std::string_view)> AvisoEnSalida(std::ostream& out) {
    return [&out](std::string_view texto) {
        out << "actualiza-catalogos: " << texto << "\n" << std::flush;
    };
}

void TerminalPrompter::ShowCritical(const std::string& message) {
    out_ << message << "\n" << std::flush;
}

InterruptWatch::InterruptWatch() {
    interrupt_pending = 0;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;  // a blocked read or driver call goes on after Ctrl-C
    sigaction(SIGINT, &action, &previous_action);
}

InterruptWatch::~InterruptWatch() {
    sigaction(SIGINT, &previous_action, nullptr);
}

bool InterruptWatch::TakePending() {
    if (interrupt_pending == 0) return false;
    interrupt_pending = 0;
    return true;
}

int ExecConsoleView(Session& session, const ConsoleIo& io) {
    run::RunContext& context = session.context();
    ConsoleRenderer renderer(context, io.out, io.out_is_terminal);
    TerminalPrompter prompter(io.terminal_in, io.out);
    InterruptWatch interrupts;
    // An allowed close (no run in progress, no selected database) closes the view; like a
    // closed window it does not interrupt the run, but no closing timer is waited for after it.
    bool closed = false;
    // A notice starts on a line of its own, also in the middle of a progress line.
    context.SetAvisoOperador([&renderer, aviso = AvisoEnSalida(io.out)](std::string_view texto) {
        renderer.BreakLine();
        aviso(texto);
    });
    context.SetEventPump([&] {
        if (!interrupts.TakePending()) return;
        renderer.BreakLine();
        if (session.RequestClose(true, prompter) == CloseDecision::kAllow) closed = true;
    });

    renderer.Show();
    Session::AfterRun after = session.Run();
    if (after == Session::AfterRun::kStartClosingTimer && !closed) {
        // The closing timer: the view stays 100 ms, then closes.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    context.SetEventPump({});
    context.SetAvisoOperador(AvisoEnSalida(io.out));
    return session.ExitCode();
}

}  // namespace app
