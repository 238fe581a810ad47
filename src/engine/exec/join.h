// Execution of a query level's FROM and WHERE: the tuples of its join plan (see JoinBlock).
//
// Every input of a block is read first (scans with their filters, outer joins), so the
// order of the joins follows the sizes the inputs really have. The inputs linked by
// equalities are joined by hash joins, smallest input first, each step taking the input
// whose join is estimated to give the fewest tuples (from the inputs' sizes and the distinct
// values of the join keys); what no equality links is crossed last, smallest first. Every
// conjunct is tested as soon as the inputs it reads have been joined. The tuples are charged
// to the session's memory budget. Thread-compatible.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/exec/memory_budget.h"
#include "engine/exec/query.h"

namespace engine::exec {

// Tuples of a query level: one row index per source (-1 = no row), flattened.
class Tuples {
  public:
    explicit Tuples(size_t width = 0, MemoryBudget* budget = nullptr)
        : width(width), charge_(budget) {}

    size_t count() const { return width ? data.size() / width : 0; }
    const int64_t* at(size_t i) const { return data.data() + i * width; }
    void push(const int64_t* t) {
        if (data.size() + width > data.capacity()) reserve(std::max<size_t>(count() * 2, 64));
        data.insert(data.end(), t, t + width);
    }
    // Room for `tuples` tuples, charged before it is taken.
    void reserve(size_t tuples) {
        if (tuples * width <= data.capacity()) return;
        charge_.set(tuples * width * sizeof(int64_t));
        data.reserve(tuples * width);
    }

    size_t width = 0;
    std::vector<int64_t> data;

  private:
    MemoryCharge charge_;
};

// The tuples of a core's FROM clause filtered by its plan (not yet by residualWhere).
// Without a FROM clause there are no sources: width 0, no tuples. With a limit (> 0) a
// plan that reads one table with nothing to test after its filters may stop once it has
// that many tuples, taken in any order: for TOP without ORDER BY.
Tuples evaluateFrom(const BoundCore& core, ExecContext& ctx, const Frame* outer, size_t limit = 0);

}  // namespace engine::exec
