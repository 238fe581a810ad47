// Batches sent as they are written, for a shell: a connection to a SQL Server (or any TDS
// server) through unixODBC whose answers come back in the engine's BatchResult form, so that
// a shell prints them as it prints the embedded engine's. Every result set (its values as
// the driver's text), every message (informational ones included, with the server's
// severity, state, procedure and line where the driver reports them; otherwise 16 and state 1
// for an error, 0 for information, line 0) and every row count,
// in the order the server sent them.
// Thread-compatible: one thread uses a session at a time.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/connection_string.h"
#include "db/error.h"
#include "engine/session.h"

namespace db::odbc {

class BatchSession {
  public:
    ~BatchSession();
    BatchSession(const BatchSession&) = delete;
    BatchSession& operator=(const BatchSession&) = delete;

    // Connects with the settings through the driver (see chooseDriver()); nullptr when that
    // failed, with the driver's errors in `errors`.
    static std::unique_ptr<BatchSession> open(const ConnectionSettings& settings,
                                              const std::string& driver,
                                              std::vector<Error>& errors);

    engine::BatchResult execute(std::string_view batch);

  private:
    struct Impl;
    explicit BatchSession(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// The engine's type for a column the driver describes: what the shell needs to lay it out
// (width, alignment). Text columns longer than 8000 or of unknown length are (max).
engine::DataType shellTypeOf(short sqlType, unsigned long columnSize, short decimalDigits);

}  // namespace db::odbc
