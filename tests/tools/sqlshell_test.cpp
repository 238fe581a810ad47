// sqlshell: GO splitting, sqlcmd's output layout, the command line and its exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <tuple>

#include "support/tds_server_process.h"
#include "tools/sqlshell/options.h"
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

// sqlcmd's layout options on one result set: -h -1, -h N, -s, -W.
TEST(ShellOutputTest, HeaderSeparatorAndTrimOptionsShapeTheLayout) {
    engine::ResultSet set;
    set.columns.push_back({"id", engine::DataType::of(engine::TypeId::Int), false, false, ""});
    set.columns.push_back({"name", engine::DataType::varchar(6), true, false, ""});
    for (int i : {7, 12, 300})
        set.rows.push_back(
            {engine::Value::integer(i), engine::Value::varchar(i == 12 ? "b  " : "ab")});
    struct Case {
        tools::OutputFormat format;
        std::string expected;
    };
    const Case cases[] = {
        {{-1, " ", false}, "          7 ab    \n         12 b     \n        300 ab    \n"},
        {{0, ",", false},
         "id         ,name  \n-----------,------\n          7,ab    \n         12,b     \n        "
         "300,ab    \n"},
        {{0, "|", true}, "id|name\n--|----\n7|ab\n12|b\n300|ab\n"},
        {{-1, ";", true}, "7;ab\n12;b\n300;ab\n"},
        {{2, " ", true}, "id name\n-- ----\n7 ab\n12 b\nid name\n-- ----\n300 ab\n"},
    };
    for (const Case& c : cases) {
        std::ostringstream out;
        tools::writeResultSet(set, out, c.format);
        EXPECT_EQ(out.str(), c.expected)
            << "-h " << c.format.headers << " -s '" << c.format.separator << "'"
            << (c.format.trim ? " -W" : "");
    }
}

// -r0 sends errors to the error stream, -r1 every message; results and counts stay.
TEST(ShellOutputTest, MessagesGoWhereRSendsThem) {
    engine::BatchResult r;
    r.messages = {{0, 0, 1, 1, "", "hello"}, {208, 16, 1, 2, "", "Invalid object name 'x'."}};
    r.rowCounts = {{2, 1}};
    r.events = {{engine::BatchResult::Kind::Message, 0},
                {engine::BatchResult::Kind::RowCount, 0},
                {engine::BatchResult::Kind::Message, 1}};
    const std::string error = "Msg 208, Level 16, State 1, Line 2\nInvalid object name 'x'.\n";
    for (auto [to, out, err] :
         {std::tuple{tools::MessagesTo::Output, "hello\n\n(2 rows affected)\n" + error,
                     std::string()},
          std::tuple{tools::MessagesTo::Errors, std::string("hello\n\n(2 rows affected)\n"), error},
          std::tuple{tools::MessagesTo::All, std::string("\n(2 rows affected)\n"),
                     "hello\n" + error}}) {
        std::ostringstream o, e;
        tools::writeBatchResult(r, tools::ShellStreams{o, e, to}, tools::OutputFormat{});
        EXPECT_EQ(o.str(), out);
        EXPECT_EQ(e.str(), err);
    }
}

TEST(ShellOptionsTest, ReadsSqlcmdOptionsInBothSpellings) {
    auto parse = [](std::vector<std::string> args) { return tools::parseOptions(args); };
    auto o = parse({"-S",  "h,1", "-dVardex", "-U", "sa",       "-Psecret", "-h",  "-1",
                    "-s,", "-W",  "-e",       "-o", "out.txt",  "-v",       "a=1", "B=x=y",
                    "-v",  "c=",  "-r1",      "-Q", "SELECT 1", "-b"});
    ASSERT_TRUE(o.options) << o.problem;
    EXPECT_EQ(o.options->server, "h,1");
    EXPECT_EQ(o.options->database, "Vardex");
    EXPECT_EQ(o.options->login, "sa");
    EXPECT_EQ(o.options->password, "secret");
    EXPECT_EQ(o.options->format.headers, -1);
    EXPECT_EQ(o.options->format.separator, ",");
    EXPECT_TRUE(o.options->format.trim && o.options->echo && o.options->stopOnError);
    EXPECT_EQ(o.options->outputFile, "out.txt");
    EXPECT_EQ(o.options->variables, (std::vector<std::pair<std::string, std::string>>{
                                        {"a", "1"}, {"B", "x=y"}, {"c", ""}}));
    EXPECT_EQ(o.options->messages, tools::MessagesTo::All);
    EXPECT_EQ(o.options->query, "SELECT 1");
    EXPECT_EQ(parse({"-S", "d/", "-r"}).options->messages, tools::MessagesTo::Errors);
    EXPECT_EQ(parse({"-S", "d/", "-r", "1"}).options->messages, tools::MessagesTo::All);
    EXPECT_EQ(parse({"-S", "d/", "-i", "a.sql", "-ib.sql"}).options->inputs,
              (std::vector<std::string>{"a.sql", "b.sql"}));
    EXPECT_TRUE(parse({"-S", "d/", "--check"}).options->check);
    auto salvage = parse({"-S", "d/", "--salvage", "Empresa_0002", "Rescate"});
    ASSERT_TRUE(salvage.options) << salvage.problem;
    EXPECT_EQ(salvage.options->salvageFrom + "|" + salvage.options->salvageInto,
              "Empresa_0002|Rescate");
    for (auto bad : std::vector<std::vector<std::string>>{{"-Q", "x"},
                                                          {"-S"},
                                                          {"-S", "d/", "-h", "0"},
                                                          {"-S", "d/", "-h", "x"},
                                                          {"-S", "d/", "-r2"},
                                                          {"-S", "d/", "-v", "novalue"},
                                                          {"-S", "d/", "-s"},
                                                          {"-S", "d/", "--salvage", "x"},
                                                          {"-S", "d/", "-x"}})
        EXPECT_FALSE(parse(bad).options) << bad.back();
}

TEST(ShellOptionsTest, DataDirectoriesAndTdsAddressesAreToldApart) {
    auto options = [](std::string server, bool create) {
        tools::ShellOptions o;
        o.server = std::move(server);
        o.createDirectory = create;
        return o;
    };
    EXPECT_TRUE(tools::isDataDirectory(options("./datos", false)));
    EXPECT_TRUE(tools::isDataDirectory(options("datos", true)));
    EXPECT_TRUE(
        tools::isDataDirectory(options(std::filesystem::temp_directory_path().string(), false)));
    EXPECT_FALSE(tools::isDataDirectory(options("127.0.0.1,1433", false)));
    for (auto [given, address] :
         {std::pair{"tcp:srv,1433", "srv,1433"}, std::pair{"srv:1500", "srv,1500"},
          std::pair{"srv", "srv"}, std::pair{"srv,1433", "srv,1433"}})
        EXPECT_EQ(tools::tdsServerAddress(given), address);
}

// :r and $(name), as sqlcmd expands a script before splitting it at GO.
TEST(ScriptTest, IncludesAndVariablesAreExpandedBeforeBatchesAreSplit) {
    const std::map<std::string, std::string> files = {
        {"a.sql", "SELECT $(Col) FROM t\nGO\n"},
        {"b c.sql", ":r a.sql\nPRINT 'b'"},
        {"loop.sql", ":r loop.sql\n"},
    };
    tools::ScriptReader reader = [&](const std::string& f) -> std::optional<std::string> {
        auto found = files.find(f);
        if (found == files.end()) return std::nullopt;
        return found->second;
    };
    const tools::ScriptVariables vars = {{"col", "x"}, {"DB", "Vardex"}, {"v", "$(col)"}};
    struct Case {
        std::string script, text, error;
    };
    const Case cases[] = {
        {"USE $(db)\r\n:r a.sql\nSELECT '$(v)'\n",
         "USE Vardex\r\nSELECT x FROM t\nGO\nSELECT '$(col)'\n", ""},
        {"  :r \"b c.sql\"  \nGO", "SELECT x FROM t\nGO\nPRINT 'b'\nGO", ""},
        {":r $(DB).sql\n", "", "Sqlcmd: 'Vardex.sql': Invalid filename."},
        {"SELECT $(nada)\n", "", "'nada' scripting variable not defined."},
        {":r loop.sql", "", "Sqlcmd: 'loop.sql': :r nested too deeply."},
        {":read x\n:r\n", ":read x\n:r\n", ""},
        {"SELECT '$(' + ')'", "", "'' + '' scripting variable not defined."},
    };
    for (const Case& c : cases) {
        tools::ExpandedScript e = tools::expandScript(c.script, vars, reader);
        EXPECT_EQ(e.error, c.error) << c.script;
        if (c.error.empty()) {
            EXPECT_EQ(e.text, c.text) << c.script;
        }
    }
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

    // Runs sqlshell; standard output into `output`, standard error into `errors` when given.
    int run(std::vector<std::string> args, std::string& output, std::string* errors = nullptr) {
        const std::string errFile = dir_.string() + ".err";
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        pid_t child = ::fork();
        if (child == 0) {
            ::dup2(fds[1], 1);
            if (errors && !std::freopen(errFile.c_str(), "w", stderr)) _exit(126);
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
        if (errors) {
            std::ifstream in(errFile);
            std::stringstream text;
            text << in.rdbuf();
            *errors = text.str();
            std::filesystem::remove(errFile);
        }
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

// The options together on a data directory: -v and :r expand the script, -e echoes each
// batch, -o takes the output, -r0 the errors, -W -s -h -1 shape the rows.
TEST_F(ShellCommandTest, ScriptingOptionsWorkTogether) {
    std::string out, err;
    auto inc =
        script("CREATE TABLE t (id int, name varchar(10))\nINSERT t VALUES (1, '$(who)')\nGO\n");
    std::filesystem::path main = dir_.string() + "-main.sql";
    scripts_.push_back(main);
    std::ofstream(main) << ":r " << inc.string()
                        << "\nSELECT id, name FROM t\nSELECT * FROM nada\nGO\n";
    std::filesystem::path output = dir_.string() + "-out.txt";
    scripts_.push_back(output);
    EXPECT_EQ(run({"--create", "-S", dir_.string(), "-i", main.string(), "-v", "who=ana", "-e",
                   "-o", output.string(), "-r0", "-W", "-s", ";", "-h", "-1"},
                  out, &err),
              0);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "Msg 208, Level 16, State 1, Line 2\nInvalid object name 'nada'.\n");
    std::ifstream in(output);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(),
              "CREATE TABLE t (id int, name varchar(10))\nINSERT t VALUES (1, 'ana')\n\n(1 row "
              "affected)\n"
              "SELECT id, name FROM t\nSELECT * FROM nada\n1;ana\n\n(1 row affected)\n");
    // An undefined variable stops the run before anything is sent.
    EXPECT_EQ(run({"-S", dir_.string(), "-b", "-Q", "DROP TABLE t SELECT $(nadie)"}, out, &err), 1);
    EXPECT_EQ(err, "'nadie' scripting variable not defined.\n");
    EXPECT_EQ(run({"-S", dir_.string(), "-h-1", "-Q", "SELECT COUNT(*) FROM t"}, out), 0);
    EXPECT_EQ(out, "          1\n\n(1 row affected)\n");
}

// The same shell against a TDS server: the embedded engine served by tds-server, reached
// through unixODBC and FreeTDS with a login.
TEST_F(ShellCommandTest, ReachesATdsServerWithALogin) {
    test_support::TdsServerProcess server(dir_, {"--create"});
    ASSERT_TRUE(server.Started()) << server.Error();
    const std::string address = "127.0.0.1," + std::to_string(server.Port());
    const std::vector<std::string> login = {"-S", address,
                                            "-U", test_support::TdsServerProcess::kLogin,
                                            "-P", test_support::TdsServerProcess::kPassword};
    auto with = [&](std::vector<std::string> more) {
        std::vector<std::string> args = login;
        args.insert(args.end(), more.begin(), more.end());
        return args;
    };
    std::string out, err;
    EXPECT_EQ(run(with({"-Q", "CREATE DATABASE Shell"}), out, &err), 0) << out << err;
    EXPECT_EQ(run(with({"-d", "Shell", "-b", "-Q",
                        "CREATE TABLE t (id int, name varchar(6), b varbinary(2)) "
                        "INSERT t VALUES (7, 'ñandú', 0x0AFF), (12, NULL, NULL) "
                        "PRINT 'hecho' SELECT * FROM t ORDER BY id"}),
                  out, &err),
              0)
        << out << err;
    EXPECT_EQ(out,
              "\n(2 rows affected)\nhecho\n"
              "id          name   b     \n"
              "----------- ------ ------\n"
              "          7 ñandú  0x0AFF\n"
              "         12 NULL   NULL  \n\n(2 rows affected)\n");
    // SET NOCOUNT ON: no counts, as the server sends none; -h -1 and -W as on a data directory.
    EXPECT_EQ(run(with({"-d", "Shell", "-h", "-1", "-W", "-s", ";", "-Q",
                        "SET NOCOUNT ON SELECT id, name FROM t ORDER BY id UPDATE t SET id = id"}),
                  out),
              0);
    EXPECT_EQ(out, "7;ñandú\n12;NULL\n");
    EXPECT_EQ(run(with({"-d", "Shell", "-b", "-r1", "-Q", "SELECT * FROM nada"}), out, &err), 1);
    EXPECT_EQ(out, "");
    EXPECT_NE(err.find("Msg 208, Level 16"), std::string::npos) << err;
    EXPECT_NE(err.find("Invalid object name 'nada'."), std::string::npos) << err;
    // A refused login: sqlcmd's words on the error stream and status 1.
    EXPECT_EQ(run({"-S", "tcp:127.0.0.1:" + std::to_string(server.Port()), "-U", "nadie", "-P", "x",
                   "-Q", "SELECT 1"},
                  out, &err),
              1);
    EXPECT_NE(err.find("Sqlcmd: Error: Login failed for user 'nadie'."), std::string::npos) << err;
}

}  // namespace
