// tds-server under load: 64 FreeTDS connections at once for a bounded time (seconds on the
// command line), each mixing transfers between accounts of one shared database (committed and
// rolled back), read-modify-write cycles on a counter its group of connections shares, and
// transactions over two databases taken in opposite orders, whose deadlock victims (1205)
// retry as SQL Server clients do. Afterwards the data must add up to what the clients saw
// committed, and every connection must have come and gone cleanly.
//
//   server_load_test [SECONDS] [gtest options]
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <random>
#include <thread>

#include "odbc_client.h"
#include "server_fixture.h"

namespace server_test {
namespace {

using test_support::TdsServerProcess;
using Clock = std::chrono::steady_clock;

int g_seconds = 25;

constexpr int kClients = 64;
constexpr int kGroups = 8;  // databases Grupo_0.. Grupo_7, eight clients each
constexpr int kAccounts = 16;
constexpr int kOpeningBalance = 1000;

// What one client saw committed.
struct Tally {
    int64_t transfers = 0;        // committed, each also one row of Diario
    int64_t journalChecksum = 0;  // sum of the Diario rows' seq
    int64_t crossings = 0;        // committed transactions over Izquierda and Derecha
    int64_t deadlocks = 0;        // 1205 victims among them, retried
    int64_t increments = 0;       // committed read-modify-writes of its group's counter
    std::string failure;          // the first thing that went wrong
};

class Client {
  public:
    Client(int port, int index, Clock::time_point deadline)
        : index_(index),
          deadline_(deadline),
          random_(static_cast<unsigned>(index) * 7919u + 1u),
          odbc_(port, TdsServerProcess::kLogin, TdsServerProcess::kPassword,
                "Grupo_" + std::to_string(index % kGroups)) {}

    Tally Run() {
        if (!odbc_.Connected()) {
            tally_.failure = "connection: " + odbc_.Error();
            return tally_;
        }
        for (int64_t seq = 1; Clock::now() < deadline_ && tally_.failure.empty(); ++seq) {
            switch (seq % 8) {
                case 0:
                case 1:
                case 2:
                    Transfer(seq, true);
                    break;
                case 3:
                    Transfer(seq, false);
                    break;
                case 4:
                    Cross();
                    break;
                case 5:
                    Increment(true);
                    break;
                case 6:
                    Increment(false);
                    break;
                case 7:
                    CheckReads();
                    break;
            }
        }
        return tally_;
    }

  private:
    bool Ok(const Outcome& out, const std::string& sql) {
        if (out.ok()) return true;
        if (tally_.failure.empty()) tally_.failure = sql + ": " + out.errorText;
        return false;
    }

    // Money moves between two accounts; a rolled-back one leaves a row in Descartes behind
    // it, which must vanish with it.
    void Transfer(int64_t seq, bool commit) {
        const int from = static_cast<int>(random_() % kAccounts) + 1, to = from % kAccounts + 1;
        const int amount = static_cast<int>(random_() % 50) + 1;
        const std::string row = std::to_string(index_) + ", " + std::to_string(seq);
        const std::string sql =
            "BEGIN TRANSACTION;"
            "UPDATE Comun.dbo.Cuentas SET saldo = saldo - " +
            std::to_string(amount) + " WHERE id = " + std::to_string(from) +
            ";"
            "UPDATE Comun.dbo.Cuentas SET saldo = saldo + " +
            std::to_string(amount) + " WHERE id = " + std::to_string(to) + ";" +
            (commit ? "UPDATE Comun.dbo.Contador SET n = n + 1; INSERT Comun.dbo.Diario VALUES (" +
                          row + "); COMMIT"
                    : "INSERT Comun.dbo.Descartes VALUES (" + row + "); ROLLBACK");
        if (!Ok(odbc_.Run(sql), sql) || !commit) return;
        ++tally_.transfers;
        tally_.journalChecksum += seq;
    }

    // Two databases, one statement at a time, in an order that depends on the client: the
    // other half takes them the other way round, so some become deadlock victims and retry.
    void Cross() {
        const bool leftFirst = index_ % 2 == 0;
        const std::string first = leftFirst ? "Izquierda" : "Derecha",
                          second = leftFirst ? "Derecha" : "Izquierda";
        for (int attempt = 0; attempt < 1000; ++attempt) {
            if (!Ok(odbc_.Run("BEGIN TRANSACTION"), "BEGIN TRANSACTION")) return;
            bool victim = false;
            for (const std::string& database : {first, second}) {
                const std::string sql = "UPDATE " + database + ".dbo.Marcador SET n = n + 1";
                Outcome out = odbc_.Run(sql);
                if (out.has(1205)) {  // rolled back by the server: start over
                    victim = true;
                    break;
                }
                if (!Ok(out, sql)) return;
            }
            if (victim) {
                // As clients do, after a pause that differs between them.
                ++tally_.deadlocks;
                std::this_thread::sleep_for(std::chrono::milliseconds(random_() % 20));
                continue;
            }
            if (Ok(odbc_.Run("COMMIT"), "COMMIT")) ++tally_.crossings;
            return;
        }
        tally_.failure = "a crossing was a deadlock victim a thousand times";
    }

    // Read, then write what was read plus one, on a row the whole group shares: an update
    // lost between two clients would show in the final count.
    void Increment(bool commit) {
        const char* lock = "BEGIN TRANSACTION; UPDATE Compartido SET n = n WHERE id = 1";
        if (!Ok(odbc_.Run(lock), lock)) return;
        Outcome read = odbc_.Run("SELECT n FROM Compartido WHERE id = 1");
        if (!Ok(read, "SELECT n")) return;
        const std::string write =
            "UPDATE Compartido SET n = " + std::to_string(std::atoll(read.scalar().c_str()) + 1) +
            " WHERE id = 1; " + (commit ? "COMMIT" : "ROLLBACK");
        if (Ok(odbc_.Run(write), write) && commit) ++tally_.increments;
    }

    // What others have not committed is never seen: the accounts always add up.
    void CheckReads() {
        Outcome sum = odbc_.Run("SELECT SUM(saldo) FROM Comun.dbo.Cuentas");
        if (!Ok(sum, "SELECT SUM(saldo)")) return;
        if (sum.scalar() != std::to_string(kAccounts * kOpeningBalance))
            tally_.failure = "the accounts added up to " + sum.scalar() + " for a moment";
    }

    int index_;
    Clock::time_point deadline_;
    std::minstd_rand random_;
    OdbcClient odbc_;
    Tally tally_;
};

std::vector<std::string> Databases() {
    std::vector<std::string> batches = {
        "CREATE DATABASE Comun",
        "CREATE DATABASE Izquierda",
        "CREATE DATABASE Derecha",
        "USE Comun; SET NOCOUNT ON; CREATE TABLE Cuentas (id int PRIMARY KEY, saldo int NOT NULL);"
        "DECLARE @i int = 1; WHILE @i <= " +
            std::to_string(kAccounts) + " BEGIN INSERT Cuentas VALUES (@i, " +
            std::to_string(kOpeningBalance) +
            "); SET @i += 1 END;"
            "CREATE TABLE Contador (n int NOT NULL); INSERT Contador VALUES (0);"
            "CREATE TABLE Diario (cliente int, seq int, PRIMARY KEY (cliente, seq));"
            "CREATE TABLE Descartes (cliente int, seq int)",
        "USE Izquierda; CREATE TABLE Marcador (n int NOT NULL); INSERT Marcador VALUES (0)",
        "USE Derecha; CREATE TABLE Marcador (n int NOT NULL); INSERT Marcador VALUES (0)"};
    for (int g = 0; g < kGroups; ++g) {
        const std::string name = "Grupo_" + std::to_string(g);
        batches.push_back("CREATE DATABASE " + name);
        batches.push_back("USE " + name +
                          "; CREATE TABLE Compartido (id int PRIMARY KEY, n int NOT NULL);"
                          "INSERT Compartido VALUES (1, 0)");
    }
    return batches;
}

TEST(LoadTest, SixtyFourConnectionsKeepTheDataConsistent) {
    TempDirectory directory("load");
    ASSERT_EQ(MakeDataDirectory(directory.path(), Databases()), "");
    TdsServerProcess server(directory.path());
    ASSERT_TRUE(server.Started()) << server.Error();

    const auto deadline = Clock::now() + std::chrono::seconds(g_seconds);
    std::vector<Tally> tallies(kClients);
    std::vector<std::thread> threads;
    std::mutex doneMutex;
    std::condition_variable doneChanged;
    int done = 0;
    for (int i = 0; i < kClients; ++i) {
        threads.emplace_back([&, i] {
            {
                Client client(server.Port(), i, deadline);
                tallies[i] = client.Run();
            }  // disconnected
            std::lock_guard<std::mutex> guard(doneMutex);
            ++done;
            doneChanged.notify_all();
        });
    }
    // A server that hangs must not hang the test: past a generous margin it is killed, which
    // ends every client's wait.
    {
        std::unique_lock<std::mutex> lock(doneMutex);
        const bool finished = doneChanged.wait_until(lock, deadline + std::chrono::seconds(120),
                                                     [&] { return done == kClients; });
        EXPECT_TRUE(finished)
            << "the clients were still waiting two minutes after the end; server log:\n"
            << server.Log();
        if (!finished) server.Kill();
    }
    for (auto& t : threads)
        t.join();
    // The clients have gone; the server notices each departure on its own time.
    const std::string closed = ": closed (the client closed the connection)";
    std::string log =
        WaitForLog(server, [&](const std::string& l) { return CountLines(l, closed) >= kClients; });
    EXPECT_EQ(server.Stop(), 0);

    Tally total;
    for (int i = 0; i < kClients; ++i) {
        EXPECT_EQ(tallies[i].failure, "") << "client " << i;
        total.transfers += tallies[i].transfers;
        total.journalChecksum += tallies[i].journalChecksum;
        total.crossings += tallies[i].crossings;
        total.deadlocks += tallies[i].deadlocks;
    }
    std::cout << "transfers " << total.transfers << ", crossings " << total.crossings
              << " (deadlock victims " << total.deadlocks << ")\n";
    EXPECT_GT(total.transfers, 0);
    EXPECT_GT(total.deadlocks, 0) << "the opposite orders never met: the test did not test retries";

    log = server.Log();
    EXPECT_EQ(CountLines(log, ": opened ("), size_t(kClients)) << log;
    EXPECT_EQ(CountLines(log, closed), size_t(kClients)) << log;
    EXPECT_EQ(CountLines(log, ": closed ("), size_t(kClients)) << log;
    EXPECT_EQ(CountLines(log, "refused"), 0u) << log;

    // The data directory, opened in process once the server has gone.
    const auto query = [&](const std::string& database, const std::string& sql) {
        return QueryInProcess(directory.path(), database, sql);
    };
    EXPECT_EQ(query("Comun", "SELECT SUM(saldo) FROM Cuentas"),
              std::to_string(kAccounts * kOpeningBalance));
    EXPECT_EQ(query("Comun", "SELECT n FROM Contador"), std::to_string(total.transfers));
    EXPECT_EQ(query("Comun", "SELECT COUNT(*) FROM Diario"), std::to_string(total.transfers));
    EXPECT_EQ(query("Comun", "SELECT CAST(SUM(CAST(seq AS bigint)) AS varchar(20)) FROM Diario"),
              std::to_string(total.journalChecksum));
    EXPECT_EQ(query("Comun", "SELECT COUNT(*) FROM Descartes"), "0");
    EXPECT_EQ(query("Izquierda", "SELECT n FROM Marcador"), std::to_string(total.crossings));
    EXPECT_EQ(query("Derecha", "SELECT n FROM Marcador"), std::to_string(total.crossings));
    for (int g = 0; g < kGroups; ++g) {
        int64_t increments = 0;
        for (int i = g; i < kClients; i += kGroups)
            increments += tallies[i].increments;
        EXPECT_EQ(query("Grupo_" + std::to_string(g), "SELECT n FROM Compartido WHERE id = 1"),
                  std::to_string(increments))
            << "group " << g;
    }
}

}  // namespace
}  // namespace server_test

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc > 1) server_test::g_seconds = std::max(1, std::atoi(argv[1]));
    return RUN_ALL_TESTS();
}
