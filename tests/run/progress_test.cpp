#include "run/progress.h"

#include <gtest/gtest.h>

#include <vector>

namespace run {
namespace {

TEST(DivideRoundingHalfToEven, RoundsHalvesToTheEvenNeighbour) {
    EXPECT_EQ(DivideRoundingHalfToEven(500, 1000), 0);
    EXPECT_EQ(DivideRoundingHalfToEven(1500, 1000), 2);
    EXPECT_EQ(DivideRoundingHalfToEven(2500, 1000), 2);
    EXPECT_EQ(DivideRoundingHalfToEven(2501, 1000), 3);
    EXPECT_EQ(DivideRoundingHalfToEven(2499, 1000), 2);
    EXPECT_EQ(DivideRoundingHalfToEven(-500, 1000), 0);
    EXPECT_EQ(DivideRoundingHalfToEven(-1500, 1000), -2);
    EXPECT_EQ(DivideRoundingHalfToEven(-1501, 1000), -2);
    EXPECT_EQ(DivideRoundingHalfToEven(-2600, 1000), -3);
}

TEST(PasoProgresoTest, EachPhaseDividesTheMaximumIntoItsSteps) {
    EXPECT_EQ(PasoProgresoCentral(1000), 43);
    EXPECT_EQ(PasoProgresoEmpresa(1000), 14);
    EXPECT_EQ(PasoProgresoEmpresa(67), 0);
}

TEST(AvanzarProgreso, WithAMaximumOf1000TheValueIsN) {
    ProgressModel progress;
    ASSERT_TRUE(progress.SetMaximum(1000));
    progress.AvanzarProgreso(43);
    EXPECT_EQ(progress.Value(), 43);
    progress.AvanzarProgreso(989);  // 23 steps of 43: just short of full
    EXPECT_EQ(progress.Value(), 989);
    progress.AvanzarProgreso(1000);
    EXPECT_EQ(progress.Value(), 1000);
    progress.AvanzarProgreso(0);
    EXPECT_EQ(progress.Value(), 0);
}

TEST(AvanzarProgreso, OtherMaximaAreScaledAndRoundedHalfToEven) {
    ProgressModel progress;
    ASSERT_TRUE(progress.SetMaximum(100));
    progress.AvanzarProgreso(15);  // 1.5 -> 2
    EXPECT_EQ(progress.Value(), 2);
    progress.AvanzarProgreso(25);  // 2.5 -> 2
    EXPECT_EQ(progress.Value(), 2);
    progress.AvanzarProgreso(35);  // 3.5 -> 4
    EXPECT_EQ(progress.Value(), 4);
    progress.AvanzarProgreso(5);  // 0.5 -> 0
    EXPECT_EQ(progress.Value(), 0);
    ASSERT_TRUE(progress.SetMaximum(3));
    progress.AvanzarProgreso(500);  // 1.5 -> 2
    EXPECT_EQ(progress.Value(), 2);
    progress.AvanzarProgreso(166);  // 0.498 -> 0
    EXPECT_EQ(progress.Value(), 0);
}

TEST(AvanzarProgreso, ValuesOutsideTheBarLeaveItAsItWas) {
    ProgressModel progress;
    progress.SetMaximum(1000);
    progress.AvanzarProgreso(300);
    progress.AvanzarProgreso(1001);
    EXPECT_EQ(progress.Value(), 300);
    progress.AvanzarProgreso(-1);
    EXPECT_EQ(progress.Value(), 300);
    progress.AvanzarProgreso(32767);
    EXPECT_EQ(progress.Value(), 300);
    // Beyond the 16-bit range: 30000 * 2000 / 1000 = 60000.
    progress.SetMaximum(30000);
    progress.AvanzarProgreso(2000);
    EXPECT_EQ(progress.Value(), 300);
}

TEST(ProgressModel, RefusesInvalidValuesAndMaxima) {
    ProgressModel progress;
    EXPECT_EQ(progress.Maximum(), ProgressModel::kDefaultMaximum);
    EXPECT_FALSE(progress.SetValue(101));
    EXPECT_FALSE(progress.SetValue(-1));
    EXPECT_TRUE(progress.SetValue(100));
    EXPECT_FALSE(progress.SetMaximum(0));
    EXPECT_EQ(progress.Maximum(), 100);
    EXPECT_TRUE(progress.SetMaximum(40));  // the value comes down with the maximum
    EXPECT_EQ(progress.Value(), 40);
}

class CountingObserver : public ProgressObserver {
  public:
    std::vector<int> values;
    void OnProgressChanged(const ProgressModel& p) override { values.push_back(p.Value()); }
};

TEST(ProgressModel, ObserversSeeChangesOnly) {
    ProgressModel progress;
    CountingObserver observer;
    progress.AddObserver(&observer);
    progress.SetValue(0);  // unchanged: no notification
    progress.Hide();
    progress.Hide();
    progress.ShowStatusLabel();
    progress.SetMaximum(1000);
    progress.AvanzarProgreso(43);
    progress.AvanzarProgreso(2000);  // refused
    EXPECT_EQ(observer.values, (std::vector<int>{0, 0, 0, 43}));
    EXPECT_FALSE(progress.Visible());
    EXPECT_TRUE(progress.StatusLabelVisible());
    progress.RemoveObserver(&observer);
    progress.Show();
    EXPECT_EQ(observer.values.size(), 4u);
}

}  // namespace
}  // namespace run
