// sqlshell: GO splitting, sqlcmd's output layout, the command line and its exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/sqlshell/script.h"
#include "tools/sqlshell/shell_output.h"

namespace {

using tools::splitScript;

TEST(ScriptTest, GoLinesSeparateBatchesAndAreNotSent) {
    auto batches = splitScript(
        "CREATE TABLE T (a int)\nGO\n  go  \nINSERT T VALUES (1)\r\nGo 3\nSELECT 'GO'\nGO -- "
        "done\n\n");
    ASSERT_EQ(batches.size(), 3u);
    EXPECT_EQ(batches[0].text, "CREATE TABLE T (a int)\n");
    EXPECT_EQ(batches[1].text, "INSERT T VALUES (1)\r\n");
    EXPECT_EQ(batches[1].repeat, 3);
    EXPECT_EQ(batches[2].text, "SELECT 'GO'\n");
}

TEST(ScriptTest, OnlyWholeGoLinesSeparate) {
    auto batches = splitScript("SELECT 1 AS GOOD\nGOTO x\nSELECT 2 GO\n");
    ASSERT_EQ(batches.size(), 1u);
    EXPECT_EQ(batches[0].text, "SELECT 1 AS GOOD\nGOTO x\nSELECT 2 GO\n");
}

TEST(ScriptTest, BlankLinesStayInTheBatchSoLineNumbersMatch) {
    auto batches = splitScript("\xEF\xBB\xBF\n\nSELECT x\nGO\n\n\n");
    ASSERT_EQ(batches.size(), 1u);
    EXPECT_EQ(batches[0].text, "\n\nSELECT x\n");
}

TEST(ShellOutputTest, ResultSetsUseFixedWidthsWithNumbersRightAligned) {
    engine::ResultSet set;
    set.columns.push_back({"id", engine::DataType::of(engine::TypeId::Int), false, false, ""});
    set.columns.push_back({"name", engine::DataType::varchar(6), true, false, ""});
    set.columns.push_back({"", engine::DataType::decimal(5, 2), true, false, ""});
    set.rows.push_back({engine::Value::integer(7), engine::Value::varchar("ñandú"),
                        engine::Value::decimal(150, engine::DataType::decimal(5, 2))});
    set.rows.push_back({engine::Value::integer(-12),
                        engine::Value::null(engine::DataType::varchar(6)),
                        engine::Value::null(engine::DataType::decimal(5, 2))});
    std::ostringstream out;
    tools::writeResultSet(set, out);
    EXPECT_EQ(out.str(),
              "id          name          \n"
              "----------- ------ -------\n"
              "          7 ñandú     1.50\n"
              "        -12 NULL      NULL\n");
}

TEST(ShellOutputTest, ErrorsCarryTheirHeaderAndInformationalMessagesDoNot) {
    engine::BatchResult r;
    engine::SqlMessage error{2705, 16, 4, 1, "", "Column names in each table must be unique."};
    engine::SqlMessage proc{15248, 11, 1, 3, "sp_rename", "Either ..."};
    engine::SqlMessage info{0, 0, 1, 2, "", "hello"};
    r.messages = {error, proc, info};
    r.rowCounts = {{1, 1}, {3, 2}};
    r.events = {{engine::BatchResult::Kind::Message, 0},
                {engine::BatchResult::Kind::RowCount, 0},
                {engine::BatchResult::Kind::Message, 1},
                {engine::BatchResult::Kind::Message, 2},
                {engine::BatchResult::Kind::RowCount, 1}};
    std::ostringstream out;
    tools::writeBatchResult(r, out);
    EXPECT_EQ(out.str(),
              "Msg 2705, Level 16, State 4, Line 1\nColumn names in each table must be unique.\n"
              "\n(1 row affected)\n"
              "Msg 15248, Level 11, State 1, Procedure sp_rename, Line 3\nEither ...\n"
              "hello\n"
              "\n(3 rows affected)\n");
}

class ShellCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("sqlshell-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    int run(std::vector<std::string> args, std::string& output) {
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        pid_t child = ::fork();
        if (child == 0) {
            ::dup2(fds[1], 1);
            ::close(fds[0]);
            std::vector<char*> argv{const_cast<char*>("sqlshell")};
            for (auto& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(SQLSHELL_PATH, argv.data());
            _exit(127);
        }
        ::close(fds[1]);
        output.clear();
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0)
            output.append(buffer, static_cast<size_t>(n));
        ::close(fds[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::filesystem::path script(const std::string& text) {
        std::filesystem::create_directories(dir_.parent_path());
        auto path = dir_.string() + ".sql";
        std::ofstream(path) << text;
        scripts_.push_back(path);
        return path;
    }

    std::filesystem::path dir_;
    std::vector<std::filesystem::path> scripts_;
};

TEST_F(ShellCommandTest, RunsScriptsBatchByBatchAndKeepsTheirWork) {
    std::string out;
    auto file = script(
        "CREATE DATABASE Vardex\nGO\nUSE Vardex\nCREATE TABLE EMP (MENUMEMPRESA varchar(4))\nGO\n"
        "INSERT EMP VALUES ('0001')\nGO 2\n");
    EXPECT_EQ(run({"--create", "-S", dir_.string(), "-i", file.string()}, out), 0) << out;
    EXPECT_EQ(out,
              "Changed database context to 'Vardex'.\n\n(1 row affected)\n\n(1 row affected)\n");
    EXPECT_EQ(
        run({"-S", dir_.string(), "-d", "vardex", "-Q", "SELECT COUNT(*) AS n FROM EMP"}, out), 0);
    EXPECT_EQ(out, "n          \n-----------\n          2\n\n(1 row affected)\n");
}

TEST_F(ShellCommandTest, WithBTheFirstFailingBatchEndsTheRun) {
    std::string out;
    auto file = script("SELECT nope\nGO\nPRINT 'not reached'\nGO\n");
    EXPECT_EQ(run({"--create", "-S", dir_.string(), "-b", "-i", file.string()}, out), 1);
    EXPECT_EQ(out, "Msg 207, Level 16, State 1, Line 1\nInvalid column name 'nope'.\n");
    // Without -b every batch runs and the exit status is 0.
    EXPECT_EQ(run({"-S", dir_.string(), "-i", file.string()}, out), 0);
    EXPECT_NE(out.find("not reached"), std::string::npos);
}

TEST_F(ShellCommandTest, MissingDatabaseOrDirectoryFail) {
    std::string out;
    EXPECT_EQ(run({"-S", dir_.string(), "-Q", "SELECT 1"}, out), 1);
    EXPECT_NE(out.find("Msg 17,"), std::string::npos) << out;
    EXPECT_EQ(run({"--create", "-S", dir_.string(), "-d", "Nada", "-Q", "SELECT 1"}, out), 1);
    EXPECT_EQ(out,
              "Msg 4060, Level 11, State 1, Line 0\nCannot open database \"Nada\" requested by the "
              "login. The login failed.\n");
    EXPECT_EQ(run({"-S"}, out), 2);
}

}  // namespace
