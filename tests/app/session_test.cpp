#include "app/session.h"

#include <gtest/gtest.h>

#include <optional>

#include "app/fake_prompter.h"
#include "run/test_files.h"

namespace app {
namespace {

// An update run for tests: records what it saw and ends as told.
class ScriptedRun : public UpdateRun {
  public:
    RunOutcome outcome = RunOutcome::Finished();
    bool log_an_error = false;
    int executions = 0;
    bool was_updating = false;

    RunOutcome Execute(run::RunContext& context) override {
        ++executions;
        context.EstoyActualizando = true;
        context.progress.SetMaximum(1000);
        context.progress.Show();
        context.progress.ShowStatusLabel();
        was_updating = context.EstoyActualizando;
        if (log_an_error) context.EscribirLog("Form_Activate", "fallo", "", run::kNivelError);
        return outcome;
    }
};

class SessionTest : public ::testing::Test {
  protected:
    run_test::TempDir dir_;
    run::RunContext context_{dir_.path(), [] { return run::LocalDateTime{2026, 1, 2, 3, 4, 5}; }};
    ScriptedRun run_;
    std::optional<int> terminated_with_;
    Session session_{context_, &run_, [this](int code) { terminated_with_ = code; }};

    std::string Log() const { return run_test::ReadBytes(context_.log.file()); }
};

const std::string kStartLine =
    "Inicio proceso de actualizaci\xF3n de Catalogos a 02/01/2026 03:04:05\r\n"
    "--------------------\r\n";

TEST_F(SessionTest, AnEmptyCommandLineLeavesTheStartLineAndTheErrorAndExitsWith2) {
    EXPECT_FALSE(session_.Load(""));
    EXPECT_EQ(Log(), kStartLine +
                         "Error en el procesimiento Load:Incorrecta forma de ejecutar la "
                         "aplicaci\xF3n     Mensaje devuelto por el servidor :\r\n"
                         "--------------------\r\n");
    EXPECT_EQ(session_.ExitCode(), 2);
    EXPECT_EQ(context_.grid.RowCount(), 1);  // the grid is never prepared
}

TEST_F(SessionTest, TwoPlainParametersAreRejectedWith2) {
    EXPECT_FALSE(session_.Load("sa,secret"));
    EXPECT_NE(Log().find("Load:Parametros Incorrectos"), std::string::npos);
    EXPECT_EQ(session_.ExitCode(), 2);
}

TEST_F(SessionTest, LoadStartsTheLogHidesTheProgressAndPreparesTheGrid) {
    std::filesystem::path log = context_.log.file();
    { std::ofstream(log) << "previous run"; }
    context_.progress.SetValue(50);
    ASSERT_TRUE(session_.Load("NULL,,./datos,0007"));
    EXPECT_EQ(Log(), kStartLine);
    EXPECT_EQ(context_.progress.Value(), 0);
    EXPECT_FALSE(context_.progress.Visible());
    EXPECT_FALSE(context_.progress.StatusLabelVisible());
    EXPECT_EQ(context_.parametros.Servidor, "./datos");
    EXPECT_EQ(context_.parametros.EmpresaSolicitada, "0007");
    ASSERT_EQ(context_.grid.RowCount(), 3);
    EXPECT_TRUE(context_.grid.Row(2).hidden);
    EXPECT_EQ(run_.executions, 0);  // the run waits for the view
}

TEST_F(SessionTest, RunExecutesOnceThenClosesDown) {
    ASSERT_TRUE(session_.Load("sa,pw,SRV"));
    EXPECT_EQ(session_.Run(), Session::AfterRun::kStartClosingTimer);
    EXPECT_EQ(session_.Run(), Session::AfterRun::kStartClosingTimer);
    EXPECT_EQ(run_.executions, 1);
    EXPECT_TRUE(run_.was_updating);
    EXPECT_FALSE(context_.EstoyActualizando);
    EXPECT_FALSE(context_.progress.Visible());
    EXPECT_FALSE(context_.progress.StatusLabelVisible());
    EXPECT_EQ(session_.ExitCode(), 0);
}

TEST_F(SessionTest, AnErrorEntryDuringTheRunGivesExitStatus1) {
    run_.log_an_error = true;
    ASSERT_TRUE(session_.Load("sa,pw,SRV"));
    session_.Run();
    EXPECT_EQ(session_.ExitCode(), 1);
}

TEST_F(SessionTest, ARunThatMustEndAtOnceSkipsTheCloseDown) {
    run_.outcome = RunOutcome::EndAtOnce(run::ExitStatus::kServerUnreachable);
    run_.log_an_error = true;
    ASSERT_TRUE(session_.Load("sa,pw,SRV"));
    EXPECT_EQ(session_.Run(), Session::AfterRun::kCloseNow);
    EXPECT_EQ(session_.Run(), Session::AfterRun::kCloseNow);
    EXPECT_EQ(session_.ExitCode(), 3);
}

TEST(SessionWithoutRun, ClosesDownWithoutTouchingAnything) {
    run_test::TempDir dir;
    run::RunContext context(dir.path());
    Session session(context, nullptr, [](int) { FAIL() << "nothing may end the process"; });
    ASSERT_TRUE(session.Load("NULL,,./demo/datos"));
    EXPECT_EQ(session.Run(), Session::AfterRun::kStartClosingTimer);
    EXPECT_EQ(session.ExitCode(), 0);
    EXPECT_EQ(context.grid.RowCount(), 3);
    EXPECT_EQ(context.grid.Row(1).status, run::RowStatus::kNone);
}

TEST_F(SessionTest, ConfirmingTheQuestionEndsTheProcessWith4AndWritesNothing) {
    ASSERT_TRUE(session_.Load("sa,pw,SRV,0007"));
    context_.EstoyActualizando = true;
    FakePrompter prompter;
    prompter.answer = false;
    EXPECT_EQ(session_.RequestClose(true, prompter), CloseDecision::kRefuse);
    EXPECT_FALSE(terminated_with_.has_value());
    prompter.answer = true;
    EXPECT_EQ(session_.RequestClose(true, prompter), CloseDecision::kAbandon);
    EXPECT_EQ(terminated_with_, 4);
    EXPECT_EQ(Log(), kStartLine);
}

}  // namespace
}  // namespace app
