// The lexer and parser: statement shapes, texts kept for views and defaults, syntax
// errors with their numbers and lines, and robustness against arbitrary input.
#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "engine/exec/binder.h"
#include "engine/session.h"
#include "engine/sql/lexer.h"
#include "engine/sql/parser.h"

namespace {

using namespace engine::sql;

const Statement& only(const ParseResult& r) {
    EXPECT_TRUE(r.ok()) << (r.errors.empty() ? "" : r.errors[0].text);
    EXPECT_EQ(r.batch.statements.size(), 1u);
    return *r.batch.statements.at(0);
}

TEST(LexerTest, LinesEndAtLineFeedsCarriageReturnsOrBoth) {
    auto r = tokenize("a\nb\r\nc\rd -- x\re /* y\r\n */ f");
    ASSERT_TRUE(r.errors.empty());
    std::vector<int> lines;
    for (const auto& t : r.tokens)
        lines.push_back(t.line);
    EXPECT_EQ(lines, (std::vector<int>{1, 2, 3, 4, 5, 6, 6}));
}

TEST(LexerTest, DecodesStringsNamesAndVariables) {
    auto r = tokenize("'it''s' N'ñ' [a]]b] \"q\" @Var @@ROWCOUNT 0x1F $5 1.5 2e3 .5");
    ASSERT_TRUE(r.errors.empty());
    EXPECT_EQ(r.tokens[0].value, "it's");
    EXPECT_EQ(r.tokens[1].kind, TokenKind::NString);
    EXPECT_EQ(r.tokens[1].value, "ñ");
    EXPECT_EQ(r.tokens[2].value, "a]b");
    EXPECT_EQ(r.tokens[3].kind, TokenKind::QuotedIdentifier);
    EXPECT_EQ(r.tokens[4].kind, TokenKind::Variable);
    EXPECT_EQ(r.tokens[5].text, "@@ROWCOUNT");
    EXPECT_EQ(r.tokens[6].kind, TokenKind::Binary);
    EXPECT_EQ(r.tokens[7].kind, TokenKind::Money);
    EXPECT_EQ(r.tokens[8].kind, TokenKind::Decimal);
    EXPECT_EQ(r.tokens[9].kind, TokenKind::Float);
    EXPECT_EQ(r.tokens[10].kind, TokenKind::Decimal);
}

TEST(ParserTest, StatementsNeedNoSeparators) {
    auto r = parseBatch(
        "CREATE TABLE T (a int) INSERT T VALUES (1) SELECT * FROM T;;UPDATE T SET a = 2 DELETE T");
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(r.batch.statements.size(), 5u);
    EXPECT_TRUE(r.batch.statements[0]->as<CreateTableStmt>());
    EXPECT_TRUE(r.batch.statements[1]->as<InsertStmt>());
    EXPECT_TRUE(r.batch.statements[2]->as<SelectStmt>());
    EXPECT_TRUE(r.batch.statements[3]->as<UpdateStmt>());
    EXPECT_TRUE(r.batch.statements[4]->as<DeleteStmt>());
}

TEST(ParserTest, AlterTableAddKeepsTheDefaultAsWritten) {
    auto parsed1 = parseBatch("Alter Table CTANUEVOPGC ADD Bic varchar (15) NOT NULL DEFAULT('') ");
    const auto& s = only(parsed1);
    const auto* alter = s.as<AlterTableStmt>();
    ASSERT_TRUE(alter);
    EXPECT_EQ(alter->action, AlterTableStmt::Action::AddColumns);
    ASSERT_EQ(alter->columns.size(), 1u);
    EXPECT_EQ(alter->columns[0].type.arg1, 15);
    EXPECT_EQ(alter->columns[0].nullable, false);
    EXPECT_EQ(alter->columns[0].defaultText, "('')");
    EXPECT_EQ(engine::exec::normalizedDefinition(*alter->columns[0].defaultExpr), "('')");
}

TEST(ParserTest, DefaultDefinitionsAreNormalisedAsTheServerStoresThem) {
    struct Case {
        const char* written;
        const char* stored;
    } cases[] = {{"0", "((0))"},       {"(0)", "((0))"},         {"((0))", "((0))"},
                 {"-1", "((-1))"},     {"0.00", "((0.00))"},     {"''", "('')"},
                 {"'abc'", "('abc')"}, {"N''", "(N'')"},         {"GetDate()", "(getdate())"},
                 {"NULL", "(NULL)"},   {"'it''s'", "('it''s')"}, {"(1+2)", "((1)+(2))"}};
    for (const auto& c : cases) {
        auto r = parseExpression(c.written);
        ASSERT_TRUE(r.errors.empty()) << c.written;
        EXPECT_EQ(engine::exec::normalizedDefinition(*r.expr), c.stored) << c.written;
    }
}

TEST(ParserTest, JoinsAliasesAndDerivedTables) {
    auto parsed2 = parseBatch(
        "update a set linea=numlinea from (select x.ejercicio,x.apunte,x.linea,z.iva  from "
        "cobrospagos z left join "
        "cobrospagos_rel x on registro=REGISTRO_COBROPAGO where x.ejercicio=2013) as a  left join "
        "e2013tabla as b on "
        "a.apunte=b.asiento and b.iva=a.iva");
    const auto& s = only(parsed2);
    const auto* u = s.as<UpdateStmt>();
    ASSERT_TRUE(u);
    EXPECT_EQ(u->target.object, "a");
    ASSERT_EQ(u->from.size(), 1u);
    const TableRef& join = *u->from[0];
    EXPECT_EQ(join.kind, TableRef::Kind::Join);
    EXPECT_EQ(join.join, JoinKind::Left);
    EXPECT_EQ(join.left->kind, TableRef::Kind::Derived);
    EXPECT_EQ(join.left->alias, "a");
    EXPECT_EQ(join.right->alias, "b");
}

TEST(ParserTest, ExecArgumentsAndSystemFunctionCalls) {
    auto parsed3 = parseBatch("exec sp_rename 'INDCOR.librdatosbase1','DBI8','COLUMN'");
    const auto& e = only(parsed3);
    ASSERT_TRUE(e.as<ExecStmt>());
    EXPECT_EQ(e.as<ExecStmt>()->arguments.size(), 3u);
    auto parsed4 = parseBatch("sp_helpindex Clientes");
    const auto& bare = only(parsed4);
    ASSERT_TRUE(bare.as<ExecStmt>());
    EXPECT_EQ(bare.as<ExecStmt>()->arguments[0].value->value, "Clientes");
    auto parsed5 = parseBatch(
        "SELECT * FROM ::fn_listextendedproperty(NULL, NULL, NULL, NULL, NULL, NULL, NULL)");
    const auto& f = only(parsed5);
    const auto& from = f.as<SelectStmt>()->query->cores[0].from;
    ASSERT_EQ(from.size(), 1u);
    EXPECT_EQ(from[0]->kind, TableRef::Kind::Function);
    EXPECT_EQ(from[0]->args.size(), 7u);
}

TEST(ParserTest, ControlFlowNestsBlocks) {
    auto r = parseBatch(
        "IF EXISTS (SELECT 1)\rbegin\rdeclare @Def varchar(255)\rIF @Def <> ''\rbegin\rPRINT "
        "1\rEnd\rEnd");
    const auto& s = only(r);
    const auto* outer = s.as<IfStmt>();
    ASSERT_TRUE(outer);
    const auto* block = outer->then->as<BlockStmt>();
    ASSERT_TRUE(block);
    ASSERT_EQ(block->statements.size(), 2u);
    EXPECT_TRUE(block->statements[1]->as<IfStmt>());
    EXPECT_EQ(block->statements[1]->line, 4);
}

struct ErrorCase {
    const char* batch;
    int number;
    int line;
    const char* text;
};

class SyntaxErrorTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(SyntaxErrorTest, ReportsTheServersMessage) {
    auto r = parseBatch(GetParam().batch);
    ASSERT_FALSE(r.ok());
    EXPECT_TRUE(r.batch.statements.empty());
    EXPECT_EQ(r.errors[0].number, GetParam().number);
    EXPECT_EQ(r.errors[0].line, GetParam().line);
    EXPECT_EQ(r.errors[0].text, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SyntaxErrorTest,
    ::testing::Values(
        ErrorCase{"SELECT * FROM", 156, 1, "Incorrect syntax near the keyword 'FROM'."},
        ErrorCase{"SELECT 1\nSELECT * FROM T WHERE", 156, 2,
                  "Incorrect syntax near the keyword 'WHERE'."},
        ErrorCase{"SELECT a b c FROM T", 102, 1, "Incorrect syntax near 'c'."},
        ErrorCase{"CREATE TABLE T (a int)\nGO", 102, 2, "Incorrect syntax near 'GO'."},
        ErrorCase{"SELECT 'abc", 105, 1,
                  "Unclosed quotation mark after the character string 'abc'."},
        ErrorCase{"SELECT 1 /* x", 113, 1, "Missing end comment mark '*/'."},
        ErrorCase{"SELECT 1\nCREATE VIEW V AS SELECT 1 AS a", 111, 2,
                  "'CREATE VIEW' must be the first statement in a query batch."},
        ErrorCase{"DROP INDEX IX_X", 159, 1,
                  "Must specify the table name and index name for the DROP INDEX statement."},
        ErrorCase{"IF 1 = 1", 102, 1, "Incorrect syntax near '1'."},
        ErrorCase{"BEGIN PRINT 1", 102, 1, "Incorrect syntax near '1'."},
        ErrorCase{"SELECT (1", 102, 1, "Incorrect syntax near '1'."},
        ErrorCase{"UPDATE T SET", 156, 1, "Incorrect syntax near the keyword 'SET'."}));

// Robustness (a randomised test run on every build): arbitrary bytes, and corpus
// statements with bytes and tokens changed, never crash the parser, and running the
// mangled statements never crashes the engine: everything ends as messages.
TEST(ParserRobustnessTest, ArbitraryInputNeverCrashes) {
    std::mt19937_64 random(20240601);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < 3000; ++i) {
        std::string text(static_cast<size_t>(random() % 200), '\0');
        for (char& c : text)
            c = static_cast<char>(byte(random));
        auto r = parseBatch(text);
        if (!r.ok()) {
            EXPECT_FALSE(r.errors[0].text.empty());
        }
    }
}

TEST(ParserRobustnessTest, MangledStatementsNeverCrashTheEngine) {
    // Seeds: every batch line of the corpus.
    std::vector<std::string> seeds;
    for (const auto& entry : std::filesystem::directory_iterator(ENGINE_CORPUS_DIR)) {
        std::ifstream in(entry.path());
        std::string line;
        while (std::getline(in, line)) {
            if (line.size() > 8 && line[0] != '#' && line.find("----") == std::string::npos &&
                line.rfind("statement", 0) != 0 && line.rfind("query", 0) != 0 &&
                line.rfind("output", 0) != 0)
                seeds.push_back(line);
        }
    }
    ASSERT_GT(seeds.size(), 100u);
    const char* fragments[] = {
        "(",    ")",    ",",    "'",    "SELECT", "FROM", "WHERE",   "NULL",     "@v",
        "[",    "]",    "--",   "/*",   "*/",     "JOIN", "ON",      "BEGIN",    "END",
        "IF",   "ELSE", "CASE", "WHEN", "0",      "-",    "N'",      ";",        "\r",
        "{d '", "}",    "::",   "*",    "GO",     "EXEC", "DEFAULT", "ORDER BY", "GROUP BY"};
    auto dir =
        std::filesystem::temp_directory_path() / ("engine-fuzz-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    engine::SessionOptions options;
    options.createDataDirectory = true;
    auto session = engine::Session::open(dir, "", options).session;
    ASSERT_TRUE(session);
    session->execute(
        "CREATE TABLE T (a int, b varchar(10), c decimal(5,2) DEFAULT 0) INSERT T VALUES (1, 'x', "
        "1.5), (2, NULL, NULL)");
    std::mt19937_64 random(7);
    int executed = 0;
    for (int i = 0; i < 4000; ++i) {
        std::string text = seeds[random() % seeds.size()];
        int edits = 1 + static_cast<int>(random() % 3);
        for (int e = 0; e < edits && !text.empty(); ++e) {
            size_t at = random() % (text.size() + 1);
            switch (random() % 4) {
                case 0:
                    text.insert(at, fragments[random() % std::size(fragments)]);
                    break;
                case 1:
                    text.erase(at, random() % 6);
                    break;
                case 2:
                    if (at < text.size()) text[at] = static_cast<char>(random() % 256);
                    break;
                default:
                    text.insert(at, " " + seeds[random() % seeds.size()] + " ");
                    break;
            }
        }
        auto parsed = parseBatch(text);
        bool loops =
            text.find("WHILE") != std::string::npos || text.find("while") != std::string::npos;
        if (parsed.ok() && i % 4 == 0 && !loops) {
            // Running it must end in results or messages, whatever it is.
            auto r = session->execute(text);
            for (const auto& m : r.messages)
                EXPECT_NE(m.number, 8630) << text << ": " << m.text;
            ++executed;
        }
    }
    EXPECT_GT(executed, 50);
    session.reset();
    std::filesystem::remove_all(dir);
}

}  // namespace
