#include "run/coleccion_bic.h"

#include <gtest/gtest.h>

namespace run {
namespace {

TEST(ColeccionBIC, TheFirstEntryOfAKeyWinsWhateverItsLetterCase) {
    ColeccionBIC bics;
    EXPECT_TRUE(bics.Add("0049", "BSCHESMMXXX"));
    EXPECT_FALSE(bics.Add("0049", "DUPLICADOXXX"));
    EXPECT_TRUE(bics.Add("ab12", "PRIMEROXXX"));
    EXPECT_FALSE(bics.Add("AB12", "SEGUNDOXXX"));
    EXPECT_EQ(bics.Count(), 2u);
    EXPECT_EQ(bics.Find("0049"), "BSCHESMMXXX");
    EXPECT_EQ(bics.Find("AB12"), "PRIMEROXXX");
    EXPECT_EQ(bics.Find("aB12"), "PRIMEROXXX");
}

TEST(ColeccionBIC, FindsNothingForAnUnknownOrDifferentlyWrittenKey) {
    ColeccionBIC bics;
    bics.Add("0049", "BSCHESMMXXX");
    EXPECT_EQ(bics.Find("49"), std::nullopt);
    EXPECT_EQ(bics.Find("0049 "), std::nullopt);
    bics.Clear();
    EXPECT_TRUE(bics.Empty());
    EXPECT_EQ(bics.Find("0049"), std::nullopt);
}

}  // namespace
}  // namespace run
