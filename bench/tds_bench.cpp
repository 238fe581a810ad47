// tds_bench: what the wire costs. Small statements per second through unixODBC and
// FreeTDS against tds-server on loopback, with 1 and 8 connections, against the same
// statements on the engine in process; and a result set of a million rows fetched through
// the driver, with its time and the server's peak memory.
//
//   tds_bench [statements] [rows of the large result]     (defaults 20000, 1000000)
//
// The table of bench/README.md ("Over TDS") is this program's output.
#include <sql.h>
#include <sqlext.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "engine/session.h"
#include "support/tds_server_process.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// VmHWM (peak resident memory) of a process, in MiB.
double peakMiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

[[noreturn]] void fail(const std::string& what) {
    std::cerr << "tds_bench: " << what << "\n";
    std::exit(1);
}

class OdbcConnection {
  public:
    explicit OdbcConnection(int port) {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
        SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
        std::string text = "Driver=FreeTDS;Server=127.0.0.1;Port=" + std::to_string(port) +
                           ";Database=Bench;UID=" + test_support::TdsServerProcess::kLogin +
                           ";PWD=" + test_support::TdsServerProcess::kPassword +
                           ";TDS_Version=7.4;ClientCharset=UTF-8";
        SQLCHAR out[1024];
        SQLSMALLINT outLength = 0;
        if (!SQL_SUCCEEDED(SQLDriverConnect(dbc_, nullptr, (SQLCHAR*)text.c_str(), SQL_NTS, out,
                                            sizeof out, &outLength, SQL_DRIVER_NOPROMPT)))
            fail("cannot connect through FreeTDS");
        SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt_);
    }
    ~OdbcConnection() {
        SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
        SQLDisconnect(dbc_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
    }
    // Runs a statement and reads all it returns; the number of rows fetched.
    long run(const std::string& sql) {
        SQLRETURN rc = SQLExecDirect(stmt_, (SQLCHAR*)sql.c_str(), SQL_NTS);
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) fail("statement failed: " + sql);
        long rows = 0;
        do {
            while (SQL_SUCCEEDED(SQLFetch(stmt_))) {
                SQLINTEGER v = 0;
                SQLLEN indicator = 0;
                SQLGetData(stmt_, 1, SQL_C_SLONG, &v, sizeof v, &indicator);
                ++rows;
            }
        } while (SQL_SUCCEEDED(SQLMoreResults(stmt_)));
        SQLFreeStmt(stmt_, SQL_CLOSE);
        return rows;
    }

  private:
    SQLHENV env_ = SQL_NULL_HENV;
    SQLHDBC dbc_ = SQL_NULL_HDBC;
    SQLHSTMT stmt_ = SQL_NULL_HSTMT;
};

// The statement mix: a point read and an increment on a 1,000-row table, and an insert.
std::string statement(int i, int connection) {
    const int id = (i * 7919 + connection * 31) % 1000;
    switch (i % 3) {
        case 0: return "SELECT v FROM small WHERE id = " + std::to_string(id);
        case 1: return "UPDATE small SET v = v + 1 WHERE id = " + std::to_string(id);
        default:
            return "INSERT INTO log (c, i) VALUES (" + std::to_string(connection) + ", " +
                   std::to_string(i) + ")";
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int statements = argc > 1 ? std::stoi(argv[1]) : 20000;
    const int bigRows = argc > 2 ? std::stoi(argv[2]) : 1000000;
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("tds-bench-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);

    // The data: set up in process, then served.
    double inProcessRate = 0, inProcessBig = 0;
    {
        engine::SessionOptions options;
        options.createDataDirectory = true;
        auto opened = engine::Session::open(dir, "", options);
        if (!opened.session) fail("cannot create the data directory");
        engine::Session& s = *opened.session;
        auto check = [&](const std::string& sql) {
            auto r = s.execute(sql);
            if (r.hasErrors()) fail(sql + ": " + r.firstError()->text);
            return r;
        };
        check("CREATE DATABASE Bench");
        s.useDatabase("Bench");
        check("CREATE TABLE small (id int PRIMARY KEY, v int NOT NULL)");
        check("CREATE TABLE log (c int, i int)");
        check("CREATE TABLE digits (d int)");
        check("INSERT digits VALUES (0),(1),(2),(3),(4),(5),(6),(7),(8),(9)");
        check("INSERT small SELECT a.d + 10 * b.d + 100 * c.d, 0 FROM digits a, digits b, digits c");
        check("CREATE TABLE big (id int, name varchar(20), amount decimal(12,2))");
        check("INSERT big SELECT n, 'row ' + CAST(n AS varchar(10)), n * 0.25 FROM (SELECT "
              "a.d + 10*b.d + 100*c.d + 1000*d.d + 10000*e.d + 100000*f.d AS n FROM digits a, "
              "digits b, digits c, digits d, digits e, digits f) x WHERE n < " +
              std::to_string(bigRows));
        auto start = Clock::now();
        for (int i = 0; i < statements; ++i)
            s.execute(statement(i, 0));
        inProcessRate = statements / seconds(start);
        start = Clock::now();
        auto r = check("SELECT id, name, amount FROM big");
        inProcessBig = seconds(start);
        if (r.resultSets.at(0).rows.size() != static_cast<size_t>(bigRows)) fail("big table short");
        check("DELETE FROM log");
    }

    test_support::TdsServerProcess server(dir);
    if (!server.Started()) fail(server.Error());

    auto overTds = [&](int connections) {
        std::vector<std::thread> threads;
        std::vector<std::unique_ptr<OdbcConnection>> open;
        for (int c = 0; c < connections; ++c)
            open.push_back(std::make_unique<OdbcConnection>(server.Port()));
        auto start = Clock::now();
        for (int c = 0; c < connections; ++c) {
            threads.emplace_back([&, c] {
                for (int i = c; i < statements; i += connections)
                    open[c]->run(statement(i, c));
            });
        }
        for (auto& t : threads)
            t.join();
        return statements / seconds(start);
    };
    const double one = overTds(1);
    const double eight = overTds(8);

    OdbcConnection client(server.Port());
    const double before = peakMiB(server.Pid());
    auto start = Clock::now();
    const long fetched = client.run("SELECT id, name, amount FROM big");
    const double big = seconds(start);
    const double peak = peakMiB(server.Pid());
    if (fetched != bigRows) fail("fetched " + std::to_string(fetched) + " rows");

    std::printf("| Measure | In process | Over TDS |\n|---|---:|---:|\n");
    std::printf("| small statements per second, 1 connection | %.0f | %.0f |\n", inProcessRate, one);
    std::printf("| small statements per second, 8 connections | | %.0f |\n", eight);
    std::printf("| %d-row result set, seconds | %.2f | %.2f |\n", bigRows, inProcessBig, big);
    std::printf("\nServer peak resident memory: %.0f MiB before the large result, %.0f MiB after.\n",
                before, peak);
    server.Stop();
    std::filesystem::remove_all(dir);
    return 0;
}
