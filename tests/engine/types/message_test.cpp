#include "engine/types/sql_message.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

namespace engine {
namespace {

TEST(MessageCatalogue, FillsTemplatesInOrder) {
    struct Case {
        int number;
        std::vector<std::string> args;
        int severity;
        const char* text;
    } cases[] = {
        {208, {"dbo.Clientes"}, 16, "Invalid object name 'dbo.Clientes'."},
        {2705,
         {"a", "T"},
         16,
         "Column names in each table must be unique. Column name 'a' in table 'T' is specified "
         "more than once."},
        {245,
         {"varchar", "abc", "int"},
         16,
         "Conversion failed when converting the varchar value 'abc' to data type int."},
        {8115,
         {"expression", "int"},
         16,
         "Arithmetic overflow error converting expression to data type int."},
        {220,
         {"smallint", "123456789"},
         16,
         "Arithmetic overflow error for data type smallint, value = 123456789."},
        {3701,
         {"drop", "table", "agenda"},
         11,
         "Cannot drop the table 'agenda', because it does not exist or you do not have "
         "permission."},
        {4902,
         {"dbo.T"},
         16,
         "Cannot find the object \"dbo.T\" because it does not exist or you do not have "
         "permissions."},
        {137, {"@Ejercicio"}, 15, "Must declare the scalar variable \"@Ejercicio\"."},
        {5074,
         {"object", "DF__parts__qty__123EB7A3", "column", "qty"},
         16,
         "The object 'DF__parts__qty__123EB7A3' is dependent on column 'qty'."},
        {4922,
         {"ALTER TABLE ALTER COLUMN", "user_login"},
         16,
         "ALTER TABLE ALTER COLUMN user_login failed because one or more objects access this "
         "column."},
        {4060,
         {"Empresa_0001"},
         11,
         "Cannot open database \"Empresa_0001\" requested by the login. The login failed."},
        {515,
         {"CellPhone", "db.dbo.T", "UPDATE"},
         16,
         "Cannot insert the value NULL into column 'CellPhone', table 'db.dbo.T'; column does not "
         "allow nulls. UPDATE fails."},
        {2627,
         {"PRIMARY KEY", "PK_Clientes", "dbo.Clientes", "(7)"},
         14,
         "Violation of PRIMARY KEY constraint 'PK_Clientes'. Cannot insert duplicate key in object "
         "'dbo.Clientes'. The duplicate key value is (7)."},
        {15248,
         {"COLUMN"},
         11,
         "Either the parameter @objname is ambiguous or the claimed @objtype (COLUMN) is wrong."},
        {536, {"SUBSTRING"}, 16, "Invalid length parameter passed to the SUBSTRING function."},
        {18456, {"sa"}, 14, "Login failed for user 'sa'."},
    };
    for (const auto& c : cases) {
        const SqlMessage m = sqlMessage(c.number, c.args);
        EXPECT_EQ(m.number, c.number);
        EXPECT_EQ(m.severity, c.severity) << c.number;
        EXPECT_EQ(m.text, c.text) << c.number;
        EXPECT_EQ(m.line, 0);
    }
}

TEST(MessageCatalogue, InformationalMessagesReachTheClientWithSeverityZero) {
    for (int number : {3621, 5701, 5703, 15477, 15472, 4628}) {
        const SqlMessage m = sqlMessage(number, {"x"});
        EXPECT_EQ(m.severity, 0) << number;
        EXPECT_FALSE(m.isError()) << number;
    }
    // Companions listed at 10 that clients see as errors, state 0.
    for (int number : {1750, 3727}) {
        const SqlMessage m = sqlMessage(number);
        EXPECT_EQ(m.severity, 16) << number;
        EXPECT_EQ(m.state, 0) << number;
        EXPECT_TRUE(m.isError());
    }
    EXPECT_EQ(
        sqlMessage(15477).text,
        "Caution: Changing any part of an object name could break scripts and stored procedures.");
}

TEST(MessageCatalogue, EveryMessageTheEngineRaisesIsThere) {
    for (int number :
         {102,   105,   109,   110,   111,   113,   120,   121,   137,  156,  159,  174,
          195,   205,   206,   207,   208,   213,   214,   220,   241,  242,  245,  257,
          306,   402,   512,   515,   529,   536,   1033,  1088,  1505, 1750, 1779, 1781,
          1902,  1911,  1913,  2601,  2627,  2628,  2705,  2714,  2812, 3621, 3701, 3723,
          3727,  3728,  3733,  4060,  4417,  4418,  4420,  4421,  4628, 4901, 4902, 4922,
          4923,  4924,  4927,  4928,  5074,  5701,  8114,  8115,  8134, 8152, 8180, 15009,
          15217, 15225, 15233, 15248, 15249, 15335, 15472, 15477, 18456}) {
        EXPECT_TRUE(hasMessage(number)) << number;
        EXPECT_FALSE(messageTemplate(number).empty()) << number;
    }
    EXPECT_FALSE(hasMessage(99999));
    EXPECT_EQ(sqlMessage(99999).severity, 16);
}

TEST(MessageCatalogue, HoldsTheExecutorsOwnMessages) {
    struct Case {
        int number;
        std::vector<std::string> args;
        int severity;
        const char* text;
    } cases[] = {
        {4701,
         {"Nope"},
         16,
         "Cannot find the object \"Nope\" because it does not exist or you do not have "
         "permissions."},
        {189, {"substring", "3", "3"}, 15, "The substring function requires 3 to 3 arguments."},
        {8106,
         {"T"},
         16,
         "Table 'T' does not have the identity property. Cannot perform SET operation."},
        {3705,
         {"TABLE", "V", "V", "view", "DROP VIEW"},
         16,
         "Cannot use DROP TABLE with 'V' because 'V' is a view. Use DROP VIEW."},
        {8154, {"DOC"}, 16, "The table 'DOC' is ambiguous."},
    };
    for (const auto& c : cases) {
        SqlMessage m = sqlMessage(c.number, c.args);
        EXPECT_EQ(m.severity, c.severity) << c.number;
        EXPECT_EQ(m.text, c.text) << c.number;
    }
}

// Every message number the engine raises with a literal number has its template here:
// a number missing from the catalogue would reach clients as "Unknown message N.".
TEST(MessageCatalogue, CoversEveryNumberTheEngineRaises) {
    const std::regex raised(
        R"(\b(?:raise|sqlMessage|sqlMessageWithState|messageAt|SqlException)\(\s*)"
        R"((?:[A-Za-z_.>-]+,\s*)?([0-9]{3,5})\b)");
    std::set<int> missing;
    size_t files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(ENGINE_SOURCE_DIR)) {
        if (entry.path().extension() != ".cpp") continue;
        ++files;
        std::ifstream in(entry.path());
        std::stringstream text;
        text << in.rdbuf();
        const std::string source = text.str();
        for (std::sregex_iterator it(source.begin(), source.end(), raised), end; it != end; ++it) {
            int number = std::stoi((*it)[1].str());
            if (!hasMessage(number)) missing.insert(number);
        }
    }
    EXPECT_GT(files, 20u);
    EXPECT_TRUE(missing.empty()) << "first missing: " << (missing.empty() ? 0 : *missing.begin());
}

TEST(MessageCatalogue, StatesThatClientsReport) {
    EXPECT_EQ(sqlMessage(2705).state, 4);
    EXPECT_EQ(sqlMessage(515).state, 2);
    EXPECT_EQ(sqlMessage(4922).state, 9);
    EXPECT_EQ(sqlMessageWithState(3701, 7).state, 7);
}

TEST(ErrorScope, ConversionAndCompileErrorsAbortTheBatch) {
    for (int number : {245, 8114, 241, 102, 156, 137, 207, 208, 257, 529, 206}) {
        EXPECT_EQ(errorScope(number), ErrorScope::Batch) << number;
    }
}

TEST(ErrorScope, ArithmeticTruncationConstraintAndDdlErrorsEndTheStatement) {
    for (int number : {8115, 220,  8134, 8152, 2628, 2627, 2601, 515,  2705, 2714, 1913, 1505, 1781,
                       3701, 3728, 4901, 4902, 4922, 5074, 4924, 1911, 3723, 2812, 512,  15248}) {
        EXPECT_EQ(errorScope(number), ErrorScope::Statement) << number;
    }
}

TEST(SqlExceptionType, PairsKeepDetailFirstAndSummaryAsPrimary) {
    SqlException e(std::vector<SqlMessage>{sqlMessage(5074, {"object", "DF_x", "column", "c"}),
                                           sqlMessage(4922, {"ALTER TABLE ALTER COLUMN", "c"})});
    EXPECT_EQ(e.messages().size(), 2u);
    EXPECT_EQ(e.primary().number, 4922);
    EXPECT_EQ(e.messages().front().number, 5074);
}

}  // namespace
}  // namespace engine
