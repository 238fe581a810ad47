#include "app/console_view.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <optional>
#include <sstream>

#include "app/display.h"
#include "run/test_files.h"

namespace app {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class ConsoleRendererTest : public ::testing::Test {
  protected:
    ConsoleRendererTest() { context_.grid.Prepare(""); }
    run::RunContext context_{"/nonexistent"};
    std::ostringstream out_;
};

TEST_F(ConsoleRendererTest, ShowsTheTitleTheHeaderAndTheVisibleRows) {
    context_.grid.Prepare("0007");
    ConsoleRenderer renderer(context_, out_, false);
    renderer.Show();
    EXPECT_EQ(out_.str(),
              "Actualizando catálogos de bases de datos...\n"
              "Actualización de catálogos de bases de datos\n"
              "Procesos\n"
              "  [ ] Conectando con el Servidor\n"
              "0%\n");
}

TEST_F(ConsoleRendererTest, NothingIsPrintedBeforeTheViewIsShown) {
    ConsoleRenderer renderer(context_, out_, false);
    context_.grid.SetStatus(1, run::RowStatus::kDone);
    context_.progress.SetValue(50);
    EXPECT_EQ(out_.str(), "");
}

TEST_F(ConsoleRendererTest, RowsArePrintedWithTheirStatusMarkAsTheyChange) {
    context_.progress.Hide();
    ConsoleRenderer renderer(context_, out_, false);
    renderer.Show();
    out_.str("");
    context_.grid.SetStatus(1, run::RowStatus::kDone);
    int row = context_.grid.AddCompanyRow("Actualizando Uno", "0001");
    context_.grid.SetStatus(row, run::RowStatus::kInProgress);
    context_.grid.SetStatus(row, run::RowStatus::kFailed);
    EXPECT_EQ(out_.str(),
              "  [✓] Conectando con el Servidor\n"
              "  [ ] Actualizando Uno\n"
              "  [i] Actualizando Uno\n"
              "  [✗] Actualizando Uno\n");
}

TEST_F(ConsoleRendererTest, WithoutATerminalProgressIsPrintedEveryTenth) {
    context_.progress.Hide();
    ConsoleRenderer renderer(context_, out_, false);
    renderer.Show();
    out_.str("");
    context_.progress.SetMaximum(1000);
    context_.progress.ShowStatusLabel();
    context_.progress.Show();
    for (int n = 43; n <= 989; n += 43)
        context_.progress.AvanzarProgreso(static_cast<short>(n));
    context_.progress.AvanzarProgreso(1000);
    EXPECT_EQ(out_.str(),
              "Proceso de Actualización 0%\n"
              "Proceso de Actualización 12%\n"
              "Proceso de Actualización 21%\n"
              "Proceso de Actualización 30%\n"
              "Proceso de Actualización 43%\n"
              "Proceso de Actualización 51%\n"
              "Proceso de Actualización 60%\n"
              "Proceso de Actualización 73%\n"
              "Proceso de Actualización 81%\n"
              "Proceso de Actualización 90%\n"
              "Proceso de Actualización 100%\n");
    EXPECT_THAT(out_.str(), Not(HasSubstr("\r")));
}

TEST_F(ConsoleRendererTest, OnATerminalTheProgressLineIsRedrawnInPlace) {
    context_.progress.SetMaximum(1000);
    ConsoleRenderer renderer(context_, out_, true);
    renderer.Show();
    out_.str("");
    context_.progress.SetValue(500);
    EXPECT_EQ(out_.str(), "\r\033[K[###############...............] 50%");
    out_.str("");
    // A row printed meanwhile clears the bar, takes its line, and the bar is drawn again below.
    context_.grid.SetStatus(1, run::RowStatus::kDone);
    EXPECT_EQ(out_.str(),
              "\r\033[K  [✓] Conectando con el Servidor\n"
              "\r\033[K[###############...............] 50%");
    out_.str("");
    context_.progress.Hide();
    EXPECT_EQ(out_.str(), "\r\033[K");
    out_.str("");
    renderer.BreakLine();  // nothing open any more
    EXPECT_EQ(out_.str(), "");
}

TEST(TerminalPrompter, WithoutATerminalTheAnswerIsNo) {
    std::ostringstream out;
    TerminalPrompter prompter(nullptr, out);
    EXPECT_FALSE(prompter.AskYesNo("¿Seguro?"));
    EXPECT_EQ(out.str(), "¿Seguro? [s/N] N\n");
}

TEST(TerminalPrompter, ReadsTheAnswerFromTheTerminal) {
    for (auto [typed, expected] : std::vector<std::pair<std::string, bool>>{{"s\n", true},
                                                                            {"  Si\n", true},
                                                                            {"y\n", true},
                                                                            {"n\n", false},
                                                                            {"\n", false},
                                                                            {"", false},
                                                                            {"no s\n", false}}) {
        std::istringstream in(typed);
        std::ostringstream out;
        TerminalPrompter prompter(&in, out);
        EXPECT_EQ(prompter.AskYesNo("q"), expected) << typed;
    }
}

TEST(TerminalPrompter, ShowsTheCriticalMessageOnItsOwnLine) {
    std::ostringstream out;
    TerminalPrompter(nullptr, out).ShowCritical("no es posible");
    EXPECT_EQ(out.str(), "no es posible\n");
}

TEST(InterruptWatch, TurnsCtrlCIntoOnePendingRequest) {
    InterruptWatch watch;
    EXPECT_FALSE(watch.TakePending());
    std::raise(SIGINT);
    EXPECT_TRUE(watch.TakePending());
    EXPECT_FALSE(watch.TakePending());
}

// A run that presses Ctrl-C in the middle and lets the view process it.
class InterruptedRun : public UpdateRun {
  public:
    RunOutcome Execute(run::RunContext& context) override {
        context.EstoyActualizando = true;
        std::raise(SIGINT);
        context.ProcessPendingEvents();
        continued = true;
        return RunOutcome::Finished();
    }
    bool continued = false;
};

class ExecConsoleViewTest : public ::testing::Test {
  protected:
    // Loads `command_line`, then runs the console view with `typed` as the terminal's input
    // (null: no terminal); returns the exit status.
    int Exec(const char* command_line, std::istream* typed) {
        EXPECT_TRUE(session_.Load(command_line));
        return ExecConsoleView(session_, {out_, false, typed});
    }

    run_test::TempDir dir_;
    run::RunContext context_{dir_.path()};
    InterruptedRun update_run_;
    std::optional<int> ended_;
    Session session_{context_, &update_run_, [this](int code) { ended_ = code; }};
    std::ostringstream out_;
};

TEST_F(ExecConsoleViewTest, CtrlCDuringARunForEverythingIsRefusedAndTheRunGoesOn) {
    EXPECT_EQ(Exec("sa,pw,SRV", nullptr), 0);
    EXPECT_FALSE(ended_.has_value());
    EXPECT_TRUE(update_run_.continued);
    EXPECT_THAT(out_.str(), HasSubstr("no es posible cerrar la aplicación.\n"));
    EXPECT_THAT(out_.str(), HasSubstr("  [ ] Actualizando Vardex\n"));
}

TEST_F(ExecConsoleViewTest, CtrlCDuringASingleCompanyRunAsksAndYesAbandons) {
    std::istringstream typed("s\n");
    Exec("sa,pw,SRV,0007", &typed);
    EXPECT_EQ(ended_, 4);
    EXPECT_THAT(out_.str(), HasSubstr("proxima vez que entre en la empresa [s/N] "));
}

TEST_F(ExecConsoleViewTest, WithoutATerminalASingleCompanyRunIsNotAbandoned) {
    EXPECT_EQ(Exec("sa,pw,SRV,0007", nullptr), 0);
    EXPECT_FALSE(ended_.has_value());
    EXPECT_TRUE(update_run_.continued);
}

TEST(HasDisplay, LooksForAnX11OrWaylandDisplayOrAnExplicitQtPlatform) {
    auto with = [](std::map<std::string, std::string> env) {
        return HasDisplay([env](const char* name) -> const char* {
            auto it = env.find(name);
            return it == env.end() ? nullptr : it->second.c_str();
        });
    };
    EXPECT_FALSE(with({}));
    EXPECT_FALSE(with({{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}}));
    EXPECT_TRUE(with({{"DISPLAY", ":0"}}));
    EXPECT_TRUE(with({{"WAYLAND_DISPLAY", "wayland-0"}}));
    EXPECT_TRUE(with({{"QT_QPA_PLATFORM", "offscreen"}}));
}

}  // namespace
}  // namespace app
