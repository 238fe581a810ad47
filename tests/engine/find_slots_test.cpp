// findSlots against a plain search: rows in order, out of order, missing, repeated,
// before the first and after the last row of the table.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "engine/catalog/database.h"

namespace {

TEST(FindSlotsTest, AgreesWithAPlainSearchWhateverTheOrderOfTheRows) {
    engine::TableData data;
    for (engine::RowId r = 3; r < 3000; r += 3)
        data.rowIds.push_back(r);  // every third id: the others are missing
    std::mt19937 random(7);
    std::vector<std::vector<engine::RowId>> cases = {
        {}, {3}, {2997}, {1}, {3000}, {4}, {2997, 3}, {3, 3, 6}, {1, 2, 3, 2999, 3000}};
    std::vector<engine::RowId> all(3001);
    for (engine::RowId r = 0; r <= 3000; ++r)
        all[static_cast<size_t>(r)] = r;
    cases.push_back(all);
    for (int n : {1, 5, 200}) {
        std::vector<engine::RowId> sample;
        std::sample(all.begin(), all.end(), std::back_inserter(sample), n, random);
        cases.push_back(sample);  // ascending
        std::shuffle(sample.begin(), sample.end(), random);
        cases.push_back(sample);
    }
    for (const auto& rows : cases) {
        std::vector<int64_t> slots;
        const int64_t found = engine::findSlots(data, rows, slots);
        ASSERT_EQ(slots.size(), rows.size());
        int64_t expectedFound = 0;
        for (size_t i = 0; i < rows.size(); ++i) {
            const int64_t expected = data.slotOf(rows[i]);
            ASSERT_EQ(slots[i], expected) << "row " << rows[i] << " of a case of " << rows.size();
            expectedFound += expected >= 0;
        }
        EXPECT_EQ(found, expectedFound);
    }
}

}  // namespace
