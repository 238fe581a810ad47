// tds-server stopped with work in flight, started again on the same data directory, and
// started where it cannot work (the port taken, the directory missing or held by another
// server, a bad command line).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <thread>

#include "odbc_client.h"
#include "server_fixture.h"

namespace server_test {
namespace {

using test_support::TdsServerProcess;

// A port that something else listens on, for as long as the object lives.
class TakenPort {
  public:
    TakenPort() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length);
        ::listen(fd_, 1);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~TakenPort() { ::close(fd_); }
    int port() const { return port_; }

  private:
    int fd_ = -1;
    int port_ = 0;
};

OdbcClient* Connect(std::vector<std::unique_ptr<OdbcClient>>& clients, int port,
                    const std::string& database) {
    clients.push_back(std::make_unique<OdbcClient>(port, TdsServerProcess::kLogin,
                                                   TdsServerProcess::kPassword, database));
    return clients.back().get();
}

TEST(StopStartTest, SigtermWithWorkInFlightEndsAtOnceAndKeepsOnlyWhatWasCommitted) {
    TempDirectory directory("stop-start");
    ASSERT_EQ(
        MakeDataDirectory(
            directory.path(),
            {"CREATE DATABASE Vardex", "CREATE DATABASE Empresa_0001",
             "USE Vardex; CREATE TABLE Marcas (id int PRIMARY KEY); CREATE TABLE Aviso (n int);"
             "INSERT Aviso VALUES (0)",
             "USE Empresa_0001; CREATE TABLE Pedidos (id int PRIMARY KEY)"}),
        "");
    std::vector<std::unique_ptr<OdbcClient>> clients;
    {
        TdsServerProcess server(directory.path());
        ASSERT_TRUE(server.Started()) << server.Error();
        const int port = server.Port();
        OdbcClient* committer = Connect(clients, port, "Vardex");
        OdbcClient* open = Connect(clients, port, "Empresa_0001");
        OdbcClient* sleeper = Connect(clients, port, "Vardex");
        OdbcClient* probe = Connect(clients, port, "Vardex");
        Connect(clients, port, "master");  // idle all along
        for (const auto& c : clients)
            ASSERT_TRUE(c->Connected()) << c->Error();

        for (const char* sql : {"INSERT Marcas VALUES (1); INSERT Marcas VALUES (2)",
                                "BEGIN TRANSACTION; INSERT Marcas VALUES (3); COMMIT",
                                "BEGIN TRANSACTION; INSERT Marcas VALUES (4); ROLLBACK"}) {
            Outcome out = committer->Run(sql);
            ASSERT_TRUE(out.ok()) << sql << ": " << out.errorText;
        }
        Outcome began =
            open->Run("BEGIN TRANSACTION; INSERT Pedidos VALUES (1); INSERT Pedidos VALUES (2)");
        ASSERT_TRUE(began.ok()) << began.errorText;
        // A long statement inside a transaction of its own.
        Outcome slept;
        std::thread sleeping([&] {
            slept =
                sleeper->Run("BEGIN TRANSACTION; UPDATE Aviso SET n = 1; WAITFOR DELAY '00:01:00'");
        });
        // It runs once its transaction holds Vardex: the probe is refused the lock (1222) then.
        bool running = false;
        for (int i = 0; i < 300 && !running; ++i) {
            running = probe->Run("SET LOCK_TIMEOUT 0; SELECT n FROM Aviso").has(1222);
            if (!running) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        EXPECT_TRUE(running);

        // Sooner than the WAITFOR would end on its own.
        EXPECT_EQ(server.Stop(std::chrono::seconds(30)), 0) << server.Log();
        sleeping.join();
        EXPECT_FALSE(slept.ok());
        const std::string log = server.Log();
        EXPECT_EQ(CountLines(log, ": opened ("), 5u) << log;
        EXPECT_EQ(CountLines(log, ": closed (server stopping)"), 5u) << log;
        EXPECT_EQ(CountLines(log, "tds-server: stopped"), 1u) << log;
        clients.clear();
    }
    // Started again on the same directory: what was committed, and nothing else.
    TdsServerProcess again(directory.path());
    ASSERT_TRUE(again.Started()) << again.Error();
    OdbcClient client(again.Port(), TdsServerProcess::kLogin, TdsServerProcess::kPassword,
                      "Vardex");
    ASSERT_TRUE(client.Connected()) << client.Error();
    Outcome out = client.Run(
        "SELECT CAST(COUNT(*) AS varchar(9)) + ':' + CAST(MAX(id) AS varchar(9)) FROM Marcas;"
        "SELECT n FROM Aviso; SELECT COUNT(*) FROM Empresa_0001.dbo.Pedidos");
    ASSERT_TRUE(out.ok()) << out.errorText;
    ASSERT_EQ(out.rows.size(), 3u);
    EXPECT_EQ(out.rows[0][0], "3:3");
    EXPECT_EQ(out.rows[1][0], "0");
    EXPECT_EQ(out.rows[2][0], "0");
    EXPECT_EQ(again.Stop(), 0) << again.Log();
}

TEST(StopStartTest, AStartThatCannotWorkSaysWhyAndFails) {
    TempDirectory held("start-held"), free("start-free");
    ASSERT_EQ(MakeDataDirectory(held.path(), {}), "");
    ASSERT_EQ(MakeDataDirectory(free.path(), {}), "");
    TdsServerProcess holder(held.path());
    ASSERT_TRUE(holder.Started()) << holder.Error();
    TakenPort taken;

    struct Case {
        const char* what;
        std::filesystem::path directory;
        std::vector<std::string> arguments;
        int status;
        std::string said;
    };
    const Case cases[] = {
        {"the port in use",
         free.path(),
         {"--listen", "127.0.0.1:" + std::to_string(taken.port())},
         1,
         "the port is in use"},
        {"no such data directory", free.path() / "nowhere", {}, 1, "does not exist"},
        {"the data directory held by another server",
         held.path(),
         {},
         1,
         "in use by another process"},
        {"an unknown option", free.path(), {"--fast"}, 2, "unknown option --fast"},
        {"an option without its value",
         free.path(),
         {"--max-connections"},
         2,
         "--max-connections needs a value"},
        {"a count that is not one",
         free.path(),
         {"--max-connections", "many"},
         2,
         "--max-connections takes a number from 1"},
        {"no connections at all",
         free.path(),
         {"--max-connections", "0"},
         2,
         "--max-connections takes a number from 1"},
        {"a port out of range",
         free.path(),
         {"--listen", "127.0.0.1:70000"},
         2,
         "bad port in --listen"},
        {"a port with more than digits",
         free.path(),
         {"--listen", "127.0.0.1:80x"},
         2,
         "bad port in --listen"},
        {"an address without a port",
         free.path(),
         {"--listen", "localhost"},
         2,
         "--listen takes HOST:PORT"},
        {"a certificate without its key",
         free.path(),
         {"--certificate", "server.pem"},
         2,
         "--certificate and --key go together"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TdsServerProcess server(c.directory, c.arguments);
        EXPECT_FALSE(server.Started());
        EXPECT_EQ(server.Stop(), c.status);
        EXPECT_NE(server.Error().find(c.said), std::string::npos) << server.Error();
    }
    // The server that holds its directory went on serving through all that.
    OdbcClient client(holder.Port(), TdsServerProcess::kLogin, TdsServerProcess::kPassword);
    ASSERT_TRUE(client.Connected()) << client.Error();
    EXPECT_EQ(client.Run("SELECT 7").scalar(), "7");
    EXPECT_EQ(holder.Stop(), 0) << holder.Log();
}

}  // namespace
}  // namespace server_test
