// Runner of sqllogictest files (the format of the public sqllogictest corpus) against the
// embedded engine, which plays SQL Server: records under "skipif mssql" are skipped, those
// under "onlyif mssql" run, "onlyif <other engine>" records are skipped.
//
// Format: records separated by blank lines; "statement ok" / "statement error" and the
// statement; "query <types> [nosort|rowsort|valuesort] [label]", the query, "----" and the
// expected values one a line (or "N values hashing to <md5>"); "hash-threshold N"; "halt";
// "#" comments. Values are rendered as the corpus renders them: I columns as integers, R
// with three decimals, NULL as "NULL", the empty string as "(empty)", characters outside
// printable ASCII as "@".
//
// Some records expect what SQL Server itself would not give (they were generated on other
// engines). They are listed in a differences file with what the engine gives instead and
// why; a listed record that gives the listed outcome counts as an expected difference, one
// that passes after all is reported so that the list stays true.
//
// Every file runs in a fresh data directory. Thread-compatible.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace slt {

// A record whose expectation SQL Server would not meet: what the engine gives instead.
struct ExpectedDifference {
    int error = 0;       // the error the engine raises; 0: it gives other values
    std::string reason;  // why that is SQL Server's answer
};

// "file:line" (file relative to the suite's root, '/'-separated) -> the difference.
using Differences = std::map<std::string, ExpectedDifference>;

// Reads a differences file:
//   # comment
//   [reason text]                 -- the reason of the records that follow
//   select4.test:1234 error 8120  -- the record at that line raises error 8120
//   random/x.test:77 values       -- the record gives other values
// Returns false (and the line in `error`) on a malformed line.
bool loadDifferences(const std::filesystem::path& path, Differences& out, std::string& error);

struct RecordFailure {
    int line = 0;
    std::string sql;
    std::string message;
};

struct FileReport {
    std::string name;      // relative to the suite's root
    int records = 0;       // statements and queries in the file
    int skipped = 0;       // not for SQL Server (skipif / onlyif, after a halt)
    int executed = 0;      // run
    int passed = 0;        // gave what the file expects
    int expected = 0;      // gave the listed difference instead
    int failed = 0;        // anything else
    int notReached = 0;    // left when the file's time budget ran out
    int outOfMemory = 0;   // failed with 701 (or the allocator gave up)
    int haltedAtLine = 0;  // a "halt" for SQL Server stopped the file there
    double seconds = 0;
    std::vector<RecordFailure> failures;  // up to Options::keepFailures
    std::vector<int> listedButPassed;     // listed differences that gave the file's answer
    std::vector<int> listedOtherOutcome;  // listed differences that failed otherwise
    std::vector<int> listedNotRun;        // listed lines that hold no record run here

    double passRate() const { return executed ? 100.0 * passed / executed : 100.0; }
};

struct Options {
    double fileBudgetSeconds = 0;     // 0: none; records after it count as not reached
    double recordLimitSeconds = 120;  // a record running longer is cancelled (and fails)
    size_t keepFailures = 20;
};

// Runs one file; `name` is its path relative to the suite's root (for the differences).
FileReport runFile(const std::filesystem::path& file, const std::string& name,
                   const std::filesystem::path& dataDirectory, const Differences& differences,
                   const Options& options);

// The .test files under `root` (or `root` itself when it is a file), relative to
// `root`, sorted.
std::vector<std::string> suiteFiles(const std::filesystem::path& root);

// MD5 of the values as the corpus hashes them (each value followed by a line feed), in
// lower-case hex.
std::string hashValues(const std::vector<std::string>& values);

}  // namespace slt
