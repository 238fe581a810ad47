// sqllogictest: runs sqllogictest files against the embedded engine as SQL Server and
// reports, per file, how many records passed.
//
//   sqllogictest [--root DIR] [--differences FILE] [--min-rate PERCENT]
//                [--file-budget SECONDS] [--record-limit SECONDS] [--failures N] [--work DIR]
//                PATH...
//
// PATH is a file or a directory (searched for *.test), under --root when given (all of it
// when no PATH is given); the names
// of files (in the report and the differences file) are relative to --root, or to PATH
// without it. Exit status 1 when a file passes fewer than --min-rate percent of its executed
// records, a record is not reached or runs out of memory, or the differences file lists a
// record that no longer differs as listed.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "runner.h"

namespace {

void usage() {
    std::cerr << "usage: sqllogictest [--root DIR] [--differences FILE] [--min-rate PERCENT] "
                 "[--file-budget SECONDS] [--record-limit SECONDS] [--failures N] "
                 "[--work DIR] PATH...\n";
}

}  // namespace

int main(int argc, char** argv) {
    std::string differencesFile;
    std::filesystem::path root;
    double minRate = 0;
    slt::Options options;
    options.keepFailures = 5;
    std::filesystem::path work =
        std::filesystem::temp_directory_path() / ("sqllogictest-" + std::to_string(::getpid()));
    std::vector<std::filesystem::path> paths;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                usage();
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--root") {
            root = value();
        } else if (a == "--differences") {
            differencesFile = value();
        } else if (a == "--min-rate") {
            minRate = std::atof(value().c_str());
        } else if (a == "--file-budget") {
            options.fileBudgetSeconds = std::atof(value().c_str());
        } else if (a == "--record-limit") {
            options.recordLimitSeconds = std::atof(value().c_str());
        } else if (a == "--failures") {
            options.keepFailures = static_cast<size_t>(std::atoi(value().c_str()));
        } else if (a == "--work") {
            work = value();
        } else if (!a.empty() && a[0] == '-') {
            usage();
            return 2;
        } else {
            paths.emplace_back(a);
        }
    }
    if (paths.empty() && !root.empty()) paths.emplace_back(".");
    if (paths.empty()) {
        usage();
        return 2;
    }
    slt::Differences differences;
    if (!differencesFile.empty()) {
        std::string error;
        if (!slt::loadDifferences(differencesFile, differences, error)) {
            std::cerr << error << "\n";
            return 2;
        }
    }

    bool ok = true;
    slt::FileReport total;
    std::printf("%-40s %8s %8s %8s %6s %8s %7s %5s %8s %8s\n", "file", "executed", "passed",
                "listed", "failed", "skipped", "unrun", "oom", "rate", "seconds");
    for (const auto& path : paths) {
        const std::filesystem::path full = (root.empty() ? path : root / path).lexically_normal();
        const bool single = std::filesystem::is_regular_file(full);
        if (!single && !std::filesystem::is_directory(full)) {
            std::fprintf(stderr, "%s: no such file or directory\n", full.c_str());
            return 2;
        }
        for (const std::string& found : slt::suiteFiles(full)) {
            const std::filesystem::path file = single ? full : full / found;
            const std::string name =
                root.empty() ? found
                             : file.lexically_relative(root.lexically_normal()).generic_string();
            slt::FileReport r = slt::runFile(file, name, work, differences, options);
            std::printf("%-40s %8d %8d %8d %6d %8d %7d %5d %7.2f%% %8.1f\n", name.c_str(),
                        r.executed, r.passed, r.expected, r.failed, r.skipped, r.notReached,
                        r.outOfMemory, r.passRate(), r.seconds);
            if (r.haltedAtLine)
                std::printf("    halted for SQL Server at line %d (as the file says)\n",
                            r.haltedAtLine);
            for (const auto& f : r.failures) {
                std::string sql = f.sql.substr(0, 300);
                for (char& c : sql) {
                    if (c == '\n') c = ' ';
                }
                std::printf("    %s:%d: %s\n        %s\n", name.c_str(), f.line, f.message.c_str(),
                            sql.c_str());
            }
            for (int line : r.listedButPassed)
                std::printf("    %s:%d: listed as a difference, but gives the file's answer\n",
                            name.c_str(), line);
            for (int line : r.listedOtherOutcome)
                std::printf("    %s:%d: listed as a difference, but fails otherwise\n",
                            name.c_str(), line);
            for (int line : r.listedNotRun)
                std::printf("    %s:%d: listed as a difference, but no record runs there\n",
                            name.c_str(), line);
            std::fflush(stdout);
            if (r.passRate() < minRate || r.notReached > 0 || r.outOfMemory > 0 ||
                !r.listedButPassed.empty() || !r.listedOtherOutcome.empty() ||
                !r.listedNotRun.empty())
                ok = false;
            total.executed += r.executed;
            total.passed += r.passed;
            total.expected += r.expected;
            total.failed += r.failed;
            total.skipped += r.skipped;
            total.notReached += r.notReached;
            total.outOfMemory += r.outOfMemory;
            total.seconds += r.seconds;
        }
    }
    std::printf("%-40s %8d %8d %8d %6d %8d %7d %5d %7.2f%% %8.1f\n", "total", total.executed,
                total.passed, total.expected, total.failed, total.skipped, total.notReached,
                total.outOfMemory, total.passRate(), total.seconds);
    std::filesystem::remove_all(work);
    return ok ? 0 : 1;
}
