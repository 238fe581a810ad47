// join_bench: times joins on the embedded engine and on SQLite, in one run: four 100-row
// tables joined through WHERE (the shape that used to build the whole product), a 9-table
// join of the sqllogictest suite's select5, and a join of two million-row tables written
// with JOIN ... ON and through WHERE.
//
//   join_bench [rows] [work directory] [select5.test]
//
// select5.test defaults to ../shared/external/sqllogictest/select5.test; without it the
// nine tables are made here in select5's shape (ten rows each, a key, a permuted link, a
// label) and joined as select5 joins them. For each step it prints the wall time and the
// result on each engine and the peak resident memory of the process while the engine ran
// the step, above what it held before. A step that fails prints the error instead of a
// result.
#include <malloc.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "engine/session.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A line of /proc/self/status in KiB: VmRSS (resident now), VmHWM (peak since the last
// reset).
long statusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::string(field).size()));
    }
    return 0;
}

void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// The first value of the last result set (or the row count), or the error.
std::string engineRun(engine::Session& s, const std::string& sql, size_t* rows = nullptr) {
    auto r = s.execute(sql);
    if (const engine::SqlMessage* e = r.firstError())
        return "Msg " + std::to_string(e->number) + ": " + e->text.substr(0, 60);
    if (!r.resultSets.empty()) {
        const auto& set = r.resultSets.back();
        if (rows) *rows = set.rows.size();
        if (set.rows.empty()) return "no rows";
        const engine::Value& v = set.rows[0][0];
        return v.type().id == engine::TypeId::Int || v.type().id == engine::TypeId::BigInt
                   ? std::to_string(v.asInt64())
                   : v.bytes();
    }
    return "";
}

std::string sqliteRun(sqlite3* db, const std::string& sql, size_t* rows = nullptr) {
    struct Out {
        std::string first;
        size_t rows = 0;
    } out;
    char* error = nullptr;
    int rc = sqlite3_exec(
        db, sql.c_str(),
        [](void* p, int n, char** values, char**) {
            auto* o = static_cast<Out*>(p);
            if (o->rows++ == 0 && n > 0) o->first = values[0] ? values[0] : "NULL";
            return 0;
        },
        &out, &error);
    if (rc != SQLITE_OK) {
        std::string text = error ? error : "";
        sqlite3_free(error);
        return "error: " + text;
    }
    if (rows) *rows = out.rows;
    return out.first;
}

struct Step {
    std::string name;
    std::string engineSql, sqliteSql;
    double engineSeconds = 0, sqliteSeconds = 0;
    std::string engineResult = {};
    std::string sqliteResult = {};
    long enginePeakMiB = 0;  // above what the process held before the step
};

// The records "statement ok" of select5.test before its first query (its tables), and
// its first 9-table query.
bool readSelect5(const std::filesystem::path& file, std::vector<std::string>& setup,
                 std::string& query) {
    std::ifstream in(file);
    if (!in) return false;
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    bool queries = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const bool statement = lines[i] == "statement ok";
        const bool join9 = lines[i].rfind("query TTTTTTTTT ", 0) == 0;
        if (!statement && lines[i].rfind("query", 0) == 0) queries = true;
        if (!(statement && !queries) && !join9) continue;
        std::string sql;
        for (++i; i < lines.size() && !lines[i].empty() && lines[i] != "----"; ++i)
            sql += (sql.empty() ? "" : "\n") + lines[i];
        if (join9) {
            query = sql;
            return true;
        }
        setup.push_back(sql);
    }
    return false;
}

// Nine tables in select5's shape and a chain join over them with one constant, as select5
// writes its joins (tables listed out of order, conditions in any order).
void makeSelect5Shape(std::vector<std::string>& setup, std::string& query) {
    const int order[] = {5, 2, 8, 1, 9, 4, 7, 3, 6};
    std::string select, from, where = "a1 = 7";
    for (int t = 1; t <= 9; ++t) {
        std::string n = std::to_string(t);
        setup.push_back("CREATE TABLE t" + n + "(a" + n + " INTEGER PRIMARY KEY, b" + n +
                        " INTEGER, x" + n + " VARCHAR(40))");
        for (int j = 1; j <= 10; ++j) {
            setup.push_back("INSERT INTO t" + n + " VALUES(" + std::to_string(j) + "," +
                            std::to_string(((j - 1) * 3 + t) % 10 + 1) + ",'table t" + n +
                            " row " + std::to_string(j) + "')");
        }
        select += (t > 1 ? "," : "") + std::string("x") + n;
        from += (t > 1 ? "," : "") + std::string("t") + std::to_string(order[t - 1]);
        if (t < 9) where += " AND b" + n + " = a" + std::to_string(t + 1);
    }
    query = "SELECT " + select + " FROM " + from + " WHERE " + where;
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::stol(argv[1]) : 1000000;
    const std::filesystem::path work =
        argc > 2 ? argv[2] : std::filesystem::temp_directory_path() / "join-bench";
    const std::filesystem::path select5 =
        argc > 3 ? argv[3] : "../shared/external/sqllogictest/select5.test";
    std::filesystem::remove_all(work);
    std::filesystem::create_directories(work);
    const std::string n = std::to_string(rows);

    engine::SessionOptions options;
    options.createDataDirectory = true;
    auto session = engine::Session::open(work / "engine", "", options).session;
    if (!session) return 1;
    sqlite3* lite = nullptr;
    sqlite3_open((work / "bench.sqlite").c_str(), &lite);
    sqliteRun(lite, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");

    // Four 100-row tables' worth: one table of 0..99 joined with itself.
    engineRun(*session,
              "CREATE TABLE digits (d int) INSERT digits VALUES "
              "(0),(1),(2),(3),(4),(5),(6),(7),(8),(9) "
              "CREATE TABLE a (x int) INSERT INTO a SELECT p.d * 10 + q.d FROM digits p, digits q");
    sqliteRun(lite,
              "CREATE TABLE a (x int); WITH RECURSIVE s(i) AS (SELECT 0 UNION ALL SELECT i + 1 "
              "FROM s WHERE i < 99) INSERT INTO a SELECT i FROM s;");

    std::vector<std::string> setup;
    std::string join9;
    const bool fromSuite = readSelect5(select5, setup, join9);
    if (!fromSuite) {
        setup.clear();
        makeSelect5Shape(setup, join9);
    }
    for (const auto& sql : setup) {
        std::string e = engineRun(*session, sql);
        if (e.rfind("Msg", 0) == 0) std::cerr << "engine: " << e << " in " << sql << "\n";
        sqliteRun(lite, sql);
    }

    // Two tables of `rows` rows, as engine_bench loads them.
    const std::string number = "a.d + 10*b.d + 100*c.d + 1000*d.d + 10000*e.d + 100000*f.d";
    const std::string million =
        "FROM digits a CROSS JOIN digits b CROSS JOIN digits c CROSS JOIN digits d CROSS JOIN "
        "digits e CROSS JOIN digits f WHERE " + number + " < " + n;
    engineRun(*session, "CREATE TABLE t (id int NOT NULL, grp int NOT NULL) "
                        "CREATE TABLE u (id int NOT NULL, v int)");
    engineRun(*session, "INSERT INTO t SELECT " + number + ", (" + number + ") % 1000 " + million);
    engineRun(*session, "INSERT INTO u SELECT " + number + ", 7 " + million);
    sqliteRun(lite,
              "CREATE TABLE t (id int NOT NULL, grp int NOT NULL); CREATE TABLE u (id int NOT "
              "NULL, v int); WITH RECURSIVE s(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM s "
              "WHERE i + 1 < " + n + ") INSERT INTO t SELECT i, i % 1000 FROM s; "
              "INSERT INTO u SELECT id, 7 FROM t;");

    const std::string four =
        "SELECT COUNT(*) FROM a a1, a a2, a a3, a a4 WHERE a1.x = a2.x AND a2.x = a3.x AND "
        "a3.x = a4.x";
    std::vector<Step> steps = {
        {"4 tables of 100 rows joined through WHERE", four, four},
        {std::string("9-table join of select5") + (fromSuite ? "" : " (its shape)") +
             " (rows returned)",
         join9, join9},
        {"equi-join COUNT(*) t JOIN u ON t.id = u.id (" + n + " rows each)",
         "SELECT COUNT(*) FROM t JOIN u ON t.id = u.id",
         "SELECT COUNT(*) FROM t JOIN u ON t.id = u.id"},
        {"the same through WHERE: FROM t, u WHERE t.id = u.id",
         "SELECT COUNT(*) FROM t, u WHERE t.id = u.id",
         "SELECT COUNT(*) FROM t, u WHERE t.id = u.id"},
    };
    for (auto& step : steps) {
        const bool countRows = step.name.find("rows returned") != std::string::npos;
        size_t engineRows = 0, sqliteRows = 0;
        // Freed heap goes back to the system first, so that the step's own memory shows.
        malloc_trim(0);
        resetPeak();
        const long before = statusKiB("VmRSS:");
        auto start = Clock::now();
        step.engineResult = engineRun(*session, step.engineSql, &engineRows);
        step.engineSeconds = seconds(start);
        step.enginePeakMiB = (statusKiB("VmHWM:") - before) / 1024;
        start = Clock::now();
        step.sqliteResult = sqliteRun(lite, step.sqliteSql, &sqliteRows);
        step.sqliteSeconds = seconds(start);
        if (countRows) {
            if (step.engineResult.rfind("Msg", 0) != 0)
                step.engineResult = std::to_string(engineRows);
            if (step.sqliteResult.rfind("error", 0) != 0)
                step.sqliteResult = std::to_string(sqliteRows);
        }
    }
    sqlite3_close(lite);

    std::printf(
        "| Join | engine (s) | SQLite (s) | engine result | SQLite result | engine memory "
        "(MiB) |\n|---|---:|---:|---|---|---:|\n");
    for (const auto& s : steps)
        std::printf("| %s | %.4f | %.4f | %s | %s | %ld |\n", s.name.c_str(), s.engineSeconds,
                    s.sqliteSeconds, s.engineResult.c_str(), s.sqliteResult.c_str(),
                    s.enginePeakMiB);
    session.reset();
    std::filesystem::remove_all(work);
    return 0;
}
