// The production path: the built program updates an old-release installation through
// unixODBC and FreeTDS against tds-server, as it would update a SQL Server, and must leave
// the same databases and write the same log as the run on the embedded engine in process:
// the first run, the quiet second run and a run for one company; and the first two with four
// companies updated at once over the wire.
#include <gtest/gtest.h>

#include <map>
#include <regex>

#include "app/installation.h"
#include "support/database_dump.h"
#include "support/tds_server_process.h"

namespace app_test {
namespace {

using test_support::DumpDifferences;
using test_support::TdsServerProcess;
using test_support::WithoutToday;

// The log with what may differ between two runs made the same: dates and times, and the
// server's name.
std::string Comparable(std::string log, const std::string& server) {
    for (size_t at; (at = log.find(server)) != std::string::npos;)
        log.replace(at, server.size(), "<server>");
    static const std::regex stamp(R"(\d\d/\d\d/\d\d\d\d \d\d:\d\d:\d\d)");
    return std::regex_replace(log, stamp, "<date>");
}

// Runs both installations with each selector in turn, `inProcess` on the embedded engine and
// `overTds` through tds-server, and compares their logs and databases after every run.
void ExpectSameRuns(Installation& inProcess, Installation& overTds,
                    const std::vector<std::string>& selectors,
                    const std::map<std::string, std::string>& envOverTds = {}) {
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
            remote = overTds.RunWith(line, envOverTds);
            EXPECT_EQ(server.Stop(), 0) << server.Log();
        }
        EXPECT_EQ(remote.exit_code, local.exit_code) << remote.err;
        // The program writes "host:port" into the connection as "host,port".
        std::string serverName = address;
        serverName[serverName.rfind(':')] = ',';
        const std::string logInProcess = Comparable(inProcess.LogBytes(), inProcess.Server());
        const std::string logOverTds = Comparable(overTds.LogBytes(), serverName);
        EXPECT_TRUE(logOverTds == logInProcess) << DumpDifferences(logInProcess, logOverTds, "in process", "over TDS");
        const std::string dumpInProcess = WithoutToday(inProcess.Dump());
        const std::string dumpOverTds = WithoutToday(overTds.Dump());
        EXPECT_TRUE(dumpOverTds == dumpInProcess) << DumpDifferences(dumpInProcess, dumpOverTds, "in process", "over TDS");
    }
}

TEST(RunOverTdsTest, SameDatabasesAndLogAsTheRunInProcess) {
    Installation inProcess, overTds;
    ExpectSameRuns(inProcess, overTds, {"", "", "0001"});
}

// Four companies at once over the wire, each on its own connections to the server, against the
// run one company after another in process.
TEST(RunOverTdsTest, FourCompaniesAtOnceLeaveWhatTheRunInProcessLeaves) {
    Installation inProcess, overTds;
    ExpectSameRuns(inProcess, overTds, {"", ""}, {{"ACTUALIZA_PARALELO", "4"}});
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
