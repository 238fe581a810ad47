// engine_bench: times the statements the updater's performance depends on, on the
// embedded engine and on SQLite, in one run, over tables of a million rows.
//
//   engine_bench [rows] [work directory]
//
// For each step it prints the wall time of the engine and of SQLite, and the resident
// memory of the process after the load (the engine's tables are in memory; SQLite's are
// in its file and page cache). The table of bench/README.md is this program's output.
#include <malloc.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "engine/session.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

long residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return 0;
}

struct Step {
    std::string name;
    std::string engineSql;
    std::string sqliteSql;
    double engineSeconds = 0;
    double sqliteSeconds = 0;
    std::string engineResult = {};
    std::string sqliteResult = {};
};

std::string engineRun(engine::Session& s, const std::string& sql) {
    auto r = s.execute(sql);
    if (r.hasErrors()) {
        std::cerr << "engine error in " << sql << ": " << r.firstError()->text << "\n";
        std::exit(1);
    }
    if (!r.resultSets.empty() && !r.resultSets.back().rows.empty()) {
        std::string out;
        for (const auto& v : r.resultSets.back().rows[0])
            out += (out.empty() ? "" : " ") + std::to_string(v.asInt64());
        return out;
    }
    return r.rowCounts.empty() ? "" : std::to_string(r.rowCounts.back().rows) + " rows";
}

std::string sqliteRun(sqlite3* db, const std::string& sql) {
    std::string result;
    char* error = nullptr;
    int rc = sqlite3_exec(
        db, sql.c_str(),
        [](void* out, int n, char** values, char**) {
            auto* s = static_cast<std::string*>(out);
            if (s->empty()) {
                for (int i = 0; i < n; ++i)
                    *s += (i ? " " : "") + std::string(values[i] ? values[i] : "NULL");
            }
            return 0;
        },
        &result, &error);
    if (rc != SQLITE_OK) {
        std::cerr << "sqlite error in " << sql << ": " << (error ? error : "") << "\n";
        std::exit(1);
    }
    if (result.empty()) result = std::to_string(sqlite3_changes(db)) + " rows";
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    long rows = argc > 1 ? std::stol(argv[1]) : 1000000;
    std::filesystem::path work =
        argc > 2 ? argv[2] : std::filesystem::temp_directory_path() / "engine-bench";
    std::filesystem::remove_all(work);
    std::filesystem::create_directories(work);
    std::string n = std::to_string(rows);

    engine::SessionOptions options;
    options.createDataDirectory = true;
    auto session = engine::Session::open(work / "engine", "", options).session;
    if (!session) return 1;
    sqlite3* lite = nullptr;
    sqlite3_open((work / "bench.sqlite").c_str(), &lite);
    // WAL without an fsync per statement: the same durability class as the engine's
    // journal (every statement handed to the operating system, fsync grouped).
    sqliteRun(lite, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");

    long rssStart = residentKiB();
    // The engine loads from a cross join of a digits table; SQLite from a recursive CTE.
    engineRun(*session,
              "CREATE TABLE digits (d int); INSERT digits VALUES "
              "(0),(1),(2),(3),(4),(5),(6),(7),(8),(9)");
    engineRun(*session,
              "CREATE TABLE t (id int NOT NULL, grp int NOT NULL, name varchar(20), c int)");
    engineRun(*session, "CREATE TABLE u (id int NOT NULL, v int)");
    sqliteRun(lite,
              "CREATE TABLE t (id int NOT NULL, grp int NOT NULL, name varchar(20), c int);"
              "CREATE TABLE u (id int NOT NULL, v int);");
    std::string million =
        "FROM digits a CROSS JOIN digits b CROSS JOIN digits c CROSS JOIN digits d CROSS JOIN "
        "digits e CROSS JOIN digits f "
        "WHERE a.d + 10*b.d + 100*c.d + 1000*d.d + 10000*e.d + 100000*f.d < " +
        n;
    std::string number = "a.d + 10*b.d + 100*c.d + 1000*d.d + 10000*e.d + 100000*f.d";
    std::vector<Step> steps = {
        {"load t (INSERT ... SELECT, " + n + " rows)",
         "INSERT INTO t SELECT " + number + ", (" + number + ") % 1000, 'n' + CAST(" + number +
             " AS varchar(10)), 1 " + million,
         "WITH RECURSIVE s(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM s WHERE i + 1 < " + n +
             ") INSERT INTO t SELECT i, i % 1000, 'n' || i, 1 FROM s"},
        {"load u (INSERT ... SELECT, " + n + " rows)",
         "INSERT INTO u SELECT " + number + ", 7 " + million,
         "WITH RECURSIVE s(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM s WHERE i + 1 < " + n +
             ") INSERT INTO u SELECT i, 7 FROM s"},
        {"UPDATE t SET c = 0", "UPDATE t SET c = 0", "UPDATE t SET c = 0"},
        {"ALTER TABLE t ADD d int NOT NULL DEFAULT(0)",
         "ALTER TABLE t ADD d int NOT NULL DEFAULT(0)",
         "ALTER TABLE t ADD COLUMN d int NOT NULL DEFAULT 0"},
        {"UPDATE t SET d = grp + 1 WHERE grp < 500", "UPDATE t SET d = grp + 1 WHERE grp < 500",
         "UPDATE t SET d = grp + 1 WHERE grp < 500"},
        {"equi-join COUNT(*) t JOIN u ON t.id = u.id",
         "SELECT COUNT(*) FROM t JOIN u ON t.id = u.id",
         "SELECT COUNT(*) FROM t JOIN u ON t.id = u.id"},
        {"GROUP BY grp (1000 groups)",
         "SELECT COUNT(*) FROM (SELECT grp, COUNT(*) AS n FROM t GROUP BY grp) g",
         "SELECT COUNT(*) FROM (SELECT grp, COUNT(*) AS n FROM t GROUP BY grp) g"},
        {"SELECT ... WHERE name = 'n777777'", "SELECT COUNT(*) FROM t WHERE name = 'n777777'",
         "SELECT COUNT(*) FROM t WHERE name = 'n777777'"},
    };
    long rssLoaded = 0;
    for (auto& step : steps) {
        auto start = Clock::now();
        step.engineResult = engineRun(*session, step.engineSql);
        step.engineSeconds = seconds(start);
        start = Clock::now();
        step.sqliteResult = sqliteRun(lite, step.sqliteSql);
        step.sqliteSeconds = seconds(start);
        if (step.name.rfind("load u", 0) == 0) {
            // Hand freed heap memory back to the system so that the figure is what the
            // process holds, not the high-water mark of the load.
            malloc_trim(0);
            rssLoaded = residentKiB();
        }
    }

    // Many small statements, as a company update sends them: 10,000 single-row inserts into
    // a table with a unique index (each checked against the rows before it).
    engineRun(
        *session,
        "CREATE TABLE small (k int, v varchar(20)) CREATE UNIQUE INDEX UX_small ON small (k)");
    sqliteRun(
        lite,
        "CREATE TABLE small (k int, v varchar(20)); CREATE UNIQUE INDEX UX_small ON small (k)");
    Step small;
    small.name = "10,000 single-row INSERT statements (unique index)";
    auto start = Clock::now();
    for (int i = 0; i < 10000; ++i)
        engineRun(*session, "INSERT INTO small VALUES (" + std::to_string(i) + ", 'valor')");
    small.engineSeconds = seconds(start);
    start = Clock::now();
    for (int i = 0; i < 10000; ++i)
        sqliteRun(lite, "INSERT INTO small VALUES (" + std::to_string(i) + ", 'valor')");
    small.sqliteSeconds = seconds(start);
    steps.push_back(small);

    // Closing folds the journal into a snapshot; opening reads it back.
    start = Clock::now();
    session.reset();
    double closeSeconds = seconds(start);
    start = Clock::now();
    session = engine::Session::open(work / "engine", "").session;
    engineRun(*session, "SELECT COUNT(*) FROM t");
    double openSeconds = seconds(start);
    sqlite3_close(lite);

    std::uintmax_t engineBytes = 0;
    for (const auto& f : std::filesystem::directory_iterator(work / "engine"))
        engineBytes += f.file_size();

    std::printf(
        "| Step | engine (s) | SQLite (s) | engine result | SQLite result "
        "|\n|---|---:|---:|---|---|\n");
    for (const auto& s : steps)
        std::printf("| %s | %.3f | %.3f | %s | %s |\n", s.name.c_str(), s.engineSeconds,
                    s.sqliteSeconds, s.engineResult.c_str(), s.sqliteResult.c_str());
    std::printf(
        "\nEngine close (journal folded into a snapshot): %.3f s; open and first query: %.3f s.\n",
        closeSeconds, openSeconds);
    std::printf(
        "Resident memory of the process: %ld MiB at start, %ld MiB with t and u loaded "
        "(the engine's tables live in memory; SQLite's page cache is bounded).\n",
        rssStart / 1024, rssLoaded / 1024);
    std::printf("Engine files after close: %.1f MiB.\n",
                static_cast<double>(engineBytes) / (1 << 20));
    std::filesystem::remove_all(work);
    return 0;
}
