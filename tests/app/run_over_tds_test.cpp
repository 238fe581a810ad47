// The production path: the built program updates an old-release installation through
// unixODBC and FreeTDS against tds-server, as it would update a SQL Server, and must leave
// the same databases and write the same log as the run on the embedded engine in process:
// the first run, the quiet second run and a run for one company.
#include <gtest/gtest.h>

#include <ctime>
#include <regex>
#include <sstream>

#include "app/installation.h"
#include "support/tds_server_process.h"

namespace app_test {
namespace {

using test_support::TdsServerProcess;

// The log with what may differ between two runs made the same: dates and times, and the
// server's name.
std::string Comparable(std::string log, const std::string& server) {
    for (size_t at; (at = log.find(server)) != std::string::npos;)
        log.replace(at, server.size(), "<server>");
    static const std::regex stamp(R"(\d\d/\d\d/\d\d\d\d \d\d:\d\d:\d\d)");
    return std::regex_replace(log, stamp, "<date>");
}

// A dump with the moments the run itself wrote (defaults of GETDATE() and the like, today's
// date) masked: two runs a second apart write different ones.
std::string WithoutToday(const std::string& dump) {
    const std::time_t now = std::time(nullptr);
    char today[16];
    std::strftime(today, sizeof today, "%d/%m/%Y", std::localtime(&now));
    return std::regex_replace(dump, std::regex(std::string(today) + R"( \d\d:\d\d:\d\d)"), "<now>");
}

// Where two long texts part: the first differing lines, with their line numbers.
std::string Differences(const std::string& expected, const std::string& got) {
    auto lines = [](const std::string& text) {
        std::vector<std::string> out;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            out.push_back(line);
        return out;
    };
    const auto a = lines(expected), b = lines(got);
    std::string out;
    int shown = 0;
    for (size_t i = 0; i < std::max(a.size(), b.size()) && shown < 15; ++i) {
        const std::string x = i < a.size() ? a[i] : "<none>", y = i < b.size() ? b[i] : "<none>";
        if (x == y) continue;
        out += "line " + std::to_string(i + 1) + "\n  in process: " + x + "\n  over TDS:   " + y + "\n";
        ++shown;
    }
    return out;
}

// Runs both installations with each selector in turn, `inProcess` on the embedded engine and
// `overTds` through tds-server, and compares their logs and databases after every run.
void ExpectSameRuns(Installation& inProcess, Installation& overTds,
                    const std::vector<std::string>& selectors) {
    ASSERT_TRUE(inProcess.Built()) << inProcess.BuildError();
    ASSERT_TRUE(overTds.Built()) << overTds.BuildError();
    // Both stamp the same release date into the databases.
    std::filesystem::last_write_time(overTds.Program(),
                                     std::filesystem::last_write_time(inProcess.Program()));

    for (const std::string& selector : selectors) {
        SCOPED_TRACE("selector '" + selector + "'");
        Outcome local = inProcess.Run(selector);
        Outcome remote;
        std::string address;
        {
            TdsServerProcess server(overTds.Server());
            ASSERT_TRUE(server.Started()) << server.Error();
            address = server.Address();
            std::string line = std::string(TdsServerProcess::kLogin) + "," +
                               TdsServerProcess::kPassword + "," + address;
            if (!selector.empty()) line += "," + selector;
            remote = overTds.RunWith(line);
            EXPECT_EQ(server.Stop(), 0) << server.Log();
        }
        EXPECT_EQ(remote.exit_code, local.exit_code) << remote.err;
        // The program writes "host:port" into the connection as "host,port".
        std::string serverName = address;
        serverName[serverName.rfind(':')] = ',';
        const std::string logInProcess = Comparable(inProcess.LogBytes(), inProcess.Server());
        const std::string logOverTds = Comparable(overTds.LogBytes(), serverName);
        EXPECT_TRUE(logOverTds == logInProcess) << Differences(logInProcess, logOverTds);
        const std::string dumpInProcess = WithoutToday(inProcess.Dump());
        const std::string dumpOverTds = WithoutToday(overTds.Dump());
        EXPECT_TRUE(dumpOverTds == dumpInProcess) << Differences(dumpInProcess, dumpOverTds);
    }
}

TEST(RunOverTdsTest, SameDatabasesAndLogAsTheRunInProcess) {
    Installation inProcess, overTds;
    ExpectSameRuns(inProcess, overTds, {"", "", "0001"});
}

// A company whose per-year tables hold a thousand rows each, most of them equal in the columns
// the bank-account backfills read: the rows go to the server in batches.
TEST(RunOverTdsTest, SameDatabasesAndLogOnABenchmarkCompany) {
    const std::string size = "--companies 1 --years 1 --rows 1000";
    Installation inProcess(size), overTds(size);
    ExpectSameRuns(inProcess, overTds, {""});
}

}  // namespace
}  // namespace app_test
