// Captures the statement trace (ACTUALIZA_TRACE) of a test in a temporary file, so that a
// test can hold a routine against the exact statement texts it sent and their outcomes, on
// any connection. The variable is put back when the object goes away.
#pragma once

#include <string>
#include <vector>

#include "db/trace.h"
#include "support/run_fixture.h"

namespace test_support {

class StatementTrace {
  public:
    StatementTrace();

    // Every record written since the capture started (or since Clear()).
    std::vector<db::trace::Record> Records() const;
    // Only the statement texts of the records of `kind` ("execute", "open", ...); every kind
    // when `kind` is empty.
    std::vector<std::string> Statements(const std::string& kind = "") const;
    void Clear();

  private:
    TempDir dir_;
    std::string file_;
    ScopedEnv env_;
};

}  // namespace test_support
