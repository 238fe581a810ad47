// The statement trace: when the environment variable ACTUALIZA_TRACE names a file, every
// statement text sent on any connection is appended to it with its outcome, one record
// per line:
//     <outcome> TAB <kind> TAB <database> TAB <statement>
// outcome is "ok" or the native error number of the first error ("2705"; "0" for an error
// that did not come from the server); kind is "connect", "execute", "open", "update" or
// "insert"; database is the database the connection was opened on. The statement is
// escaped so that a record is exactly one line: backslash, CR, LF and TAB are written as
// \\, \r, \n and \t. Connection strings and passwords are never written (a "connect"
// record carries an empty statement, except a base-data file that could not be opened: its
// record carries the reason, which names the file).
// The file is opened, appended and closed per record, so that it is complete if the
// program is killed; records of concurrent connections do not interleave (one lock).
// Builds with the test suite also count the records for the kill harness's hook
// (ACTUALIZA_TEST_KILL_AFTER, tests/app/kill-harness).
// Thread-safe.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/error.h"

namespace db::trace {

struct Record {
    std::string outcome;
    std::string kind;
    std::string database;
    std::string statement;
};

// Appends one record when ACTUALIZA_TRACE is set (the variable is read on every call).
void write(std::string_view kind, std::string_view database, std::string_view statement,
           const Status& outcome);

std::string escape(std::string_view text);
std::string unescape(std::string_view text);
std::string formatRecord(const Record& record);
std::optional<Record> parseRecord(std::string_view line);
// Every record of a trace file, in order; an unreadable file gives no records.
std::vector<Record> readFile(const std::string& path);

}  // namespace db::trace
