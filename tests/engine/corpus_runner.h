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
// Every file runs in a fresh data directory. Thread-compatible.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace corpus {

struct Failure {
    int line = 0;
    std::string message;
};

// Runs one corpus file; returns its failures (empty when every case passed).
std::vector<Failure> runFile(const std::filesystem::path& file,
                             const std::filesystem::path& dataDirectory);

}  // namespace corpus
