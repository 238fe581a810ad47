// Runner of the engine's statement corpus: plain-text files of statements with their
// expected outcomes, in the manner of sqllogictest.
//
//   # comment
//   database Vardex            -- create (if needed) and use a database
//   statement ok               -- the batch below runs without errors
//   statement error 5074 4922  -- the batch raises exactly these errors, in order
//   query [rowsort]            -- the batch's result rows (tab-separated cells as sqlshell
//   ----                          renders them) follow the "----" line
//   query count                -- only the number of result rows is given (for SELECT *
//   ----                          over a catalogue view whose other columns are internal)
//   columns                    -- the columns of the batch's result sets, one a line:
//   ----                          "name type NULL" / "name type NOT NULL"
//   output                     -- the batch's whole output as sqlshell prints it follows
//   ----                          the "----" line
//   reopen                     -- close every session and open the server again
//
// A batch is the lines after the directive up to a blank line or "----", trailing blanks
// included. A directive may end with "cr": every line of the batch then ends with a bare
// carriage return (the last one too) instead of being joined by line feeds; or with "crlf":
// the lines are joined by carriage return and line feed.
//
// The batches run on an Executor: an engine session in process, or a client of the server
// over the wire, which must give the same outcomes. Every file runs in a fresh data
// directory. Thread-compatible.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/session.h"

namespace corpus {

// The clock and random seed of every session of a corpus run: GETDATE() and NEWID() give
// the same answers on every run, in process and over the wire alike.
constexpr int64_t kFixedClockSeconds = 1700000000;
constexpr uint64_t kRandomSeed = 42;

struct Failure {
    int line = 0;
    std::string message;
};

// Where a file's batches run. Each function returns the error's text, empty on success.
class Executor {
  public:
    virtual ~Executor() = default;
    // The first connection, to `database`.
    virtual std::string open(const std::string& database) = 0;
    // "reopen": every connection closed and the server opened again from its data
    // directory; then a connection to `database`.
    virtual std::string reopen(const std::string& database) = 0;
    virtual engine::BatchResult execute(const std::string& batch) = 0;
    // `database` becomes the current one, as USE makes it.
    virtual std::string use(const std::string& database) = 0;
    // Whether a message's state and procedure reach the runner (a client whose driver
    // drops them cannot compare "Msg" lines whole).
    virtual bool seesMessageState() const { return true; }
};

// The engine in process on `dataDirectory` (created when missing).
std::unique_ptr<Executor> inProcessExecutor(const std::filesystem::path& dataDirectory);

// Cases known to come out otherwise on an executor: the directive's line → the reason.
// A listed case that gives the expected outcome after all is a failure too, so that the
// list holds only what still differs.
using KnownDifferences = std::map<int, std::string>;

// Runs one corpus file; returns its failures (empty when every case passed).
std::vector<Failure> runFile(const std::filesystem::path& file, Executor& executor,
                             const KnownDifferences& known = {});
// In process, on a data directory of its own.
std::vector<Failure> runFile(const std::filesystem::path& file,
                             const std::filesystem::path& dataDirectory);

// The corpus files under `directory` (subdirectories too), as paths relative to it, sorted.
std::vector<std::string> corpusFiles(const std::filesystem::path& directory);
// A corpus file's relative path as a test name: letters, digits and underscores.
std::string plainName(std::string path);

// "Msg 208, Level 16, State 1, Procedure p, Line 3" without its state and procedure:
// "Msg 208, Level 16, Line 3". Other lines are returned unchanged.
std::string withoutMessageState(const std::string& outputLine);

}  // namespace corpus
