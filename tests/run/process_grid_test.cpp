#include "run/process_grid.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace run {
namespace {

// Records every notification as a short text, in order.
class RecordingObserver : public ProcessGridObserver {
  public:
    std::vector<std::string> events;
    void OnGridReset(const ProcessGrid& g) override {
        events.push_back("reset " + std::to_string(g.RowCount()));
    }
    void OnRowAdded(const ProcessGrid& g, int row) override {
        events.push_back("added " + std::to_string(row) + " " + g.Row(row).text);
    }
    void OnRowChanged(const ProcessGrid&, int row) override {
        events.push_back("changed " + std::to_string(row));
    }
    void OnCurrentRowChanged(const ProcessGrid&, int row) override {
        events.push_back("current " + std::to_string(row));
    }
    void OnRepaintRequested(const ProcessGrid&) override { events.push_back("repaint"); }
};

TEST(ProcessGrid, StartsWithTheHeaderRowOnly) {
    ProcessGrid grid;
    ASSERT_EQ(grid.RowCount(), 1);
    EXPECT_EQ(grid.Row(0).text, "Procesos");
    EXPECT_EQ(grid.CurrentRow(), ProcessGrid::kNoRow);
    EXPECT_EQ(grid.CurrentCompanyCode(), "");
}

TEST(ProcessGrid, PrepareAddsTheConnectionAndCentralRows) {
    for (const char* selector : {"", "VARDEX"}) {
        ProcessGrid grid;
        grid.Prepare(selector);
        ASSERT_EQ(grid.RowCount(), 3) << selector;
        EXPECT_EQ(grid.Row(1).text, "Conectando con el Servidor");
        EXPECT_EQ(grid.Row(2).text, "Actualizando Vardex");
        EXPECT_FALSE(grid.Row(1).hidden);
        EXPECT_FALSE(grid.Row(2).hidden) << selector;
        EXPECT_EQ(grid.Row(2).status, RowStatus::kNone);
    }
}

TEST(ProcessGrid, ASingleCompanyRunHidesTheCentralRow) {
    for (const char* selector : {"0007", "vardex", "VARDEX ", "\"VARDEX\""}) {
        ProcessGrid grid;
        grid.Prepare(selector);
        EXPECT_TRUE(grid.Row(2).hidden) << selector;
        EXPECT_FALSE(grid.Row(1).hidden);
    }
}

TEST(ProcessGrid, CompanyRowsCarryTheirCodeInTheHiddenColumn) {
    ProcessGrid grid;
    grid.Prepare("");
    EXPECT_EQ(grid.AddCompanyRow("Actualizando Uno", "0001"), 3);
    EXPECT_EQ(grid.AddCompanyRow("Actualizando Dos", "0002"), 4);
    EXPECT_EQ(grid.RowCount(), 5);
    EXPECT_EQ(grid.Row(4).code, "0002");
    EXPECT_EQ(grid.CurrentCompanyCode(), "");  // central phase: no company row is current
    ASSERT_TRUE(grid.SetCurrentRow(4));
    EXPECT_EQ(grid.CurrentCompanyCode(), "0002");
    ASSERT_TRUE(grid.SetCurrentRow(3));
    EXPECT_EQ(grid.CurrentCompanyCode(), "0001");
    ASSERT_TRUE(grid.SetCurrentRow(2));
    EXPECT_EQ(grid.CurrentCompanyCode(), "");
    ASSERT_TRUE(grid.SetCurrentRow(ProcessGrid::kNoRow));
    EXPECT_EQ(grid.CurrentCompanyCode(), "");
}

TEST(ProcessGrid, PrepareAgainDropsCompanyRowsAndTheCurrentRow) {
    ProcessGrid grid;
    grid.Prepare("");
    grid.AddCompanyRow("Actualizando Uno", "0001");
    grid.SetCurrentRow(3);
    grid.SetStatus(1, RowStatus::kDone);
    grid.Prepare("VARDEX");
    EXPECT_EQ(grid.RowCount(), 3);
    EXPECT_EQ(grid.CurrentRow(), ProcessGrid::kNoRow);
    EXPECT_EQ(grid.Row(1).status, RowStatus::kNone);
}

TEST(ProcessGrid, RowsThatDoNotExistAreRefusedWithoutChange) {
    ProcessGrid grid;
    grid.Prepare("");
    RecordingObserver observer;
    grid.AddObserver(&observer);
    EXPECT_FALSE(grid.SetStatus(3, RowStatus::kDone));
    EXPECT_FALSE(grid.SetStatus(-1, RowStatus::kDone));
    EXPECT_FALSE(grid.SetCurrentRow(3));
    EXPECT_FALSE(grid.SetCurrentRow(-2));
    EXPECT_EQ(grid.CurrentRow(), ProcessGrid::kNoRow);
    EXPECT_TRUE(observer.events.empty());
}

TEST(ProcessGrid, ObserversSeeEveryChangeInOrder) {
    ProcessGrid grid;
    RecordingObserver first, second;
    grid.AddObserver(&first);
    grid.AddObserver(&second);
    grid.AddObserver(&first);  // added once only
    grid.Prepare("");
    grid.SetStatus(1, RowStatus::kDone);
    grid.AddCompanyRow("Actualizando Uno", "0001");
    grid.SetCurrentRow(3);
    grid.SetStatus(3, RowStatus::kInProgress);
    grid.RepaintNow();
    EXPECT_THAT(first.events,
                ::testing::ElementsAre("reset 3", "changed 1", "added 3 Actualizando Uno",
                                       "current 3", "changed 3", "repaint"));
    EXPECT_EQ(second.events, first.events);
    EXPECT_EQ(grid.Row(3).status, RowStatus::kInProgress);

    grid.RemoveObserver(&second);
    grid.RepaintNow();
    EXPECT_EQ(first.events.size(), 7u);
    EXPECT_EQ(second.events.size(), 6u);
}

}  // namespace
}  // namespace run
