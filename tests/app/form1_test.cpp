#include "app/window/form1.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QSpontaneKeyEvent>
#include <optional>

#include "app/fake_prompter.h"
#include "app/session.h"
#include "app/window/status_pictures.h"
#include "run/test_files.h"

namespace app {
namespace {

using run::RowStatus;

// Waits, processing events, until `done` holds or two seconds have passed.
template <typename Condition>
bool WaitFor(Condition done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 2000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// Delivers a close event the way the window system delivers the user's click on the close
// button (spontaneous); returns whether the window accepted it.
bool UserClose(QWidget& widget) {
    QCloseEvent event;
    QSpontaneKeyEvent::setSpontaneous(&event);
    QApplication::instance()->notify(&widget, &event);
    return event.isAccepted();
}

class Form1Test : public ::testing::Test {
  protected:
    Form1Test() { EXPECT_TRUE(session_.Load(command_line_)); }

    std::string command_line_ = "NULL,,./demo/datos";
    run_test::TempDir dir_;
    run::RunContext context_{dir_.path()};
    std::optional<int> terminated_with_;
    Session session_{context_, nullptr, [this](int code) { terminated_with_ = code; }};
    FakePrompter prompter_;
    Form1 form_{context_,
                [this](bool by_user) { return session_.RequestClose(by_user, prompter_); }};

    QTableWidget& grid() { return *form_.vsFlexGrid1(); }
};

TEST_F(Form1Test, ShowsTheCaptionTitleAndAHiddenProgressAtLoad) {
    EXPECT_EQ(form_.windowTitle().toStdString(), "Actualizando catálogos de bases de datos...");
    EXPECT_EQ(form_.label1()->text().toStdString(), "Actualización de catálogos de bases de datos");
    EXPECT_TRUE(form_.label1()->font().bold());
    EXPECT_DOUBLE_EQ(form_.label1()->font().pointSizeF(), 14.25);
    if (QFile::exists("/usr/share/wine/fonts/tahoma.ttf")) {
        EXPECT_EQ(form_.label1()->font().family(), "Tahoma");
        EXPECT_EQ(grid().font().family(), "Tahoma");
    }
    EXPECT_EQ(form_.label2()->text().toStdString(), "Proceso de Actualización");
    form_.show();
    EXPECT_TRUE(form_.label1()->isVisible());
    EXPECT_FALSE(form_.label2()->isVisible());
    EXPECT_FALSE(form_.progressBar1()->isVisible());
    EXPECT_EQ(form_.progressBar1()->value(), 0);
    EXPECT_TRUE(form_.windowIcon().availableSizes().contains(QSize(48, 48)));
}

TEST_F(Form1Test, TheGridHasThreeColumnsAMergedHeaderAndAHiddenCodeColumn) {
    EXPECT_EQ(grid().columnCount(), 3);
    EXPECT_TRUE(grid().isColumnHidden(kCodeColumn));
    EXPECT_FALSE(grid().isColumnHidden(kPictureColumn));
    EXPECT_EQ(form_.gridHeader()->caption(), "Procesos");
    ASSERT_EQ(grid().rowCount(), 2);
    EXPECT_EQ(grid().item(0, kTextColumn)->text(), "Conectando con el Servidor");
    EXPECT_EQ(grid().item(1, kTextColumn)->text(), "Actualizando Vardex");
    EXPECT_FALSE(grid().isRowHidden(1));
}

TEST_F(Form1Test, ASingleCompanyRunHidesTheVardexRow) {
    context_.grid.Prepare("0007");
    ASSERT_EQ(grid().rowCount(), 2);
    EXPECT_TRUE(grid().isRowHidden(Form1::TableRow(run::ProcessGrid::kCentralRow)));
    EXPECT_FALSE(grid().isRowHidden(Form1::TableRow(run::ProcessGrid::kConnectionRow)));
}

TEST_F(Form1Test, FollowsTheGridModel) {
    int row = context_.grid.AddCompanyRow("Actualizando Uno", "0001");
    ASSERT_EQ(grid().rowCount(), 3);
    EXPECT_EQ(grid().item(Form1::TableRow(row), kCodeColumn)->text(), "0001");
    context_.grid.SetCurrentRow(row);
    EXPECT_EQ(grid().currentRow(), Form1::TableRow(row));
    context_.grid.SetStatus(row, RowStatus::kInProgress);
    QVariant picture = grid().item(Form1::TableRow(row), kPictureColumn)->data(Qt::DecorationRole);
    ASSERT_TRUE(picture.canConvert<QPixmap>());
    EXPECT_EQ(picture.value<QPixmap>().toImage(), StatusPicture(RowStatus::kInProgress).toImage());
    EXPECT_FALSE(grid().item(0, kPictureColumn)->data(Qt::DecorationRole).isValid());
    context_.grid.SetCurrentRow(run::ProcessGrid::kNoRow);
    EXPECT_EQ(grid().currentRow(), -1);
    context_.grid.RepaintNow();
}

TEST_F(Form1Test, FollowsTheProgressModel) {
    form_.show();
    context_.progress.SetMaximum(1000);
    context_.progress.Show();
    context_.progress.ShowStatusLabel();
    context_.progress.AvanzarProgreso(989);
    EXPECT_TRUE(form_.progressBar1()->isVisible());
    EXPECT_TRUE(form_.label2()->isVisible());
    EXPECT_EQ(form_.progressBar1()->maximum(), 1000);
    EXPECT_EQ(form_.progressBar1()->value(), 989);
    session_.Run();  // the close-down hides both again
    EXPECT_FALSE(form_.progressBar1()->isVisible());
    EXPECT_FALSE(form_.label2()->isVisible());
}

TEST_F(Form1Test, AScreenshotShowsTheThreeStatusPictures) {
    int done = context_.grid.AddCompanyRow("Actualizando Uno", "0001");
    int busy = context_.grid.AddCompanyRow("Actualizando Dos", "0002");
    int failed = context_.grid.AddCompanyRow("Actualizando Tres", "0003");
    context_.grid.SetStatus(run::ProcessGrid::kConnectionRow, RowStatus::kDone);
    context_.grid.SetStatus(done, RowStatus::kDone);
    context_.grid.SetStatus(busy, RowStatus::kInProgress);
    context_.grid.SetStatus(failed, RowStatus::kFailed);
    context_.progress.SetMaximum(1000);
    context_.progress.Show();
    context_.progress.ShowStatusLabel();
    context_.progress.AvanzarProgreso(430);
    form_.show();
    QApplication::processEvents();

    QImage shot = form_.grab().toImage();
    QString file = QDir(QString::fromStdString(dir_.path().string())).filePath("form1.png");
    ASSERT_TRUE(shot.save(file));
    ASSERT_TRUE(QImage(file).size() == shot.size());
    if (const char* keep = std::getenv("ACTUALIZA_SCREENSHOT")) shot.save(keep);

    auto count_near = [&](int row, QColor color) {
        QRect cell = grid().visualRect(grid().model()->index(Form1::TableRow(row), kPictureColumn));
        QRect area(grid().viewport()->mapTo(&form_, cell.topLeft()), cell.size());
        int hits = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) {
                QColor c = shot.pixelColor(x, y);
                if (std::abs(c.red() - color.red()) < 30 &&
                    std::abs(c.green() - color.green()) < 30 &&
                    std::abs(c.blue() - color.blue()) < 30)
                    ++hits;
            }
        return hits;
    };
    QColor green = StatusRingColor(RowStatus::kDone);
    QColor blue = StatusRingColor(RowStatus::kInProgress);
    QColor red = StatusRingColor(RowStatus::kFailed);
    EXPECT_GE(count_near(done, green), 20);
    EXPECT_GE(count_near(run::ProcessGrid::kConnectionRow, green), 20);
    EXPECT_GE(count_near(busy, blue), 20);
    EXPECT_GE(count_near(failed, red), 20);
    EXPECT_EQ(count_near(done, red), 0);
    EXPECT_EQ(count_near(failed, green), 0);
    EXPECT_EQ(count_near(run::ProcessGrid::kCentralRow, green), 0);  // no picture yet
    EXPECT_GE(count_near(busy, Qt::white), 20);
}

TEST_F(Form1Test, TheUsersCloseDuringARunForEverythingIsRefused) {
    form_.show();
    context_.EstoyActualizando = true;
    EXPECT_FALSE(UserClose(form_));
    EXPECT_EQ(prompter_.messages.size(), 1u);
    EXPECT_TRUE(form_.isVisible());
    EXPECT_FALSE(terminated_with_.has_value());
}

TEST_F(Form1Test, TheProgramsOwnCloseIsAllowedDuringARun) {
    form_.show();
    context_.EstoyActualizando = true;
    EXPECT_TRUE(form_.close());
    EXPECT_FALSE(form_.isVisible());
    EXPECT_TRUE(prompter_.messages.empty());
    EXPECT_TRUE(prompter_.questions.empty());
}

TEST_F(Form1Test, AfterTheRunTheUserMayClose) {
    form_.show();
    EXPECT_TRUE(UserClose(form_));
    EXPECT_TRUE(prompter_.messages.empty());
}

TEST(Form1SingleCompany, TheUserIsAskedAndNoKeepsTheWindow) {
    run_test::TempDir dir;
    run::RunContext context(dir.path());
    std::optional<int> terminated;
    Session session(context, nullptr, [&](int code) { terminated = code; });
    ASSERT_TRUE(session.Load("sa,pw,SRV,0007"));
    FakePrompter prompter;
    Form1 form(context, [&](bool by_user) { return session.RequestClose(by_user, prompter); });
    form.show();
    context.EstoyActualizando = true;
    EXPECT_FALSE(UserClose(form));
    ASSERT_EQ(prompter.questions.size(), 1u);
    EXPECT_FALSE(terminated.has_value());
    prompter.answer = true;
    EXPECT_TRUE(UserClose(form));
    EXPECT_EQ(terminated, 4);
}

TEST_F(Form1Test, Timer1ClosesTheWindowOnceAfter100Ms) {
    EXPECT_TRUE(form_.timer1()->isSingleShot());
    EXPECT_EQ(form_.timer1()->interval(), 100);
    EXPECT_FALSE(form_.timer1()->isActive());
    form_.show();
    context_.EstoyActualizando = true;  // even then: the timer's close is not the user's
    form_.StartClosingTimer();
    EXPECT_TRUE(form_.timer1()->isActive());
    EXPECT_TRUE(form_.isVisible());
    EXPECT_TRUE(WaitFor([&] { return !form_.isVisible(); }));
    EXPECT_FALSE(form_.timer1()->isActive());
    EXPECT_TRUE(prompter_.messages.empty());
}

TEST_F(Form1Test, TheRunStartsOnceAfterTheWindowIsShown) {
    int starts = 0;
    bool visible_at_start = false;
    form_.SetOnFirstShown([&] {
        ++starts;
        visible_at_start = form_.isVisible();
    });
    EXPECT_EQ(starts, 0);
    form_.show();
    EXPECT_TRUE(WaitFor([&] { return starts == 1; }));
    form_.hide();
    form_.show();
    QApplication::processEvents();
    EXPECT_EQ(starts, 1);
    EXPECT_TRUE(visible_at_start);
}

// A run that lets the window process its events while a user's close is waiting.
class RunWithUserClose : public UpdateRun {
  public:
    explicit RunWithUserClose(QWidget& window) : window_(window) {}
    RunOutcome Execute(run::RunContext& context) override {
        context.EstoyActualizando = true;
        QTimer::singleShot(0, &window_, [this] { close_accepted = UserClose(window_); });
        for (int i = 0; i < 5; ++i)
            context.ProcessPendingEvents();
        finished = true;
        return RunOutcome::Finished();
    }
    QWidget& window_;
    std::optional<bool> close_accepted;
    bool finished = false;
};

TEST(Form1DuringARun, ACloseSeenWhileTheRunProcessesEventsIsRefusedAndTheRunGoesOn) {
    run_test::TempDir dir;
    run::RunContext context(dir.path());
    FakePrompter prompter;
    std::unique_ptr<Session> session;
    Form1 form(context, [&](bool by_user) { return session->RequestClose(by_user, prompter); });
    RunWithUserClose update_run(form);
    session = std::make_unique<Session>(context, &update_run, [](int) { FAIL(); });
    ASSERT_TRUE(session->Load("sa,pw,SRV"));
    context.SetEventPump([] { QApplication::processEvents(); });
    form.SetOnFirstShown([&] {
        if (session->Run() == Session::AfterRun::kStartClosingTimer) form.StartClosingTimer();
    });
    form.show();
    EXPECT_TRUE(WaitFor([&] { return update_run.finished && !form.isVisible(); }));
    EXPECT_EQ(update_run.close_accepted, false);
    EXPECT_EQ(prompter.messages.size(), 1u);
    EXPECT_FALSE(context.EstoyActualizando);
}

}  // namespace
}  // namespace app
