// The statement corpus over the wire: a corpus::Executor that serves a data directory with
// the built tds-server and runs each batch through unixODBC and FreeTDS's ODBC driver, with
// the raw ODBC API, turning what the driver hands back into an engine::BatchResult in order
// (result sets with their columns' engine types rebuilt from the driver's description,
// messages from the diagnostic records of every call, row counts from SQLRowCount).
//
// FreeTDS keeps neither a message's state nor its procedure (its SQL_DIAG_SS_MSGSTATE
// field holds the severity): messages come back with state 0 and no procedure, and
// seesMessageState() says so. Thread-compatible.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "corpus_runner.h"

namespace server_test {

class OdbcExecutor : public corpus::Executor {
  public:
    // The server starts with open(), on `dataDirectory` (created when missing), with the
    // corpus's fixed clock and random seed.
    explicit OdbcExecutor(std::filesystem::path dataDirectory);
    ~OdbcExecutor() override;

    std::string open(const std::string& database) override;
    // Disconnects, stops the server and starts it again on the same data directory.
    std::string reopen(const std::string& database) override;
    engine::BatchResult execute(const std::string& batch) override;
    std::string use(const std::string& database) override;
    bool seesMessageState() const override { return false; }

    // What the server wrote to its standard error (for failure reports).
    std::string serverLog() const;

  private:
    struct Odbc;
    std::filesystem::path dataDirectory_;
    std::unique_ptr<Odbc> odbc_;
};

}  // namespace server_test
