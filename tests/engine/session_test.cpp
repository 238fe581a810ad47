// The session API: opening, databases, result-set identities, row operations, sharing of
// databases between sessions and threads of one process.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <thread>

#include "engine/session.h"
#include "engine/store/database_store.h"
#include "engine/types/render.h"

namespace {

using engine::ColumnAssignment;
using engine::RowChange;
using engine::Session;
using engine::Value;

class SessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("engine-session-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        engine::SessionOptions options;
        options.createDataDirectory = true;
        auto opened = Session::open(dir_, "", options);
        ASSERT_TRUE(opened.session);
        exec(*opened.session, "CREATE DATABASE Empresa_0001");
        exec(*opened.session,
             "USE Empresa_0001 "
             "CREATE TABLE PROPIEDADES (Id int IDENTITY(1,1), NOMBRE varchar(10) NOT NULL, "
             "VALOR varchar(5) NOT NULL DEFAULT('d'), N int NULL) "
             "CREATE UNIQUE INDEX PROPIDX ON PROPIEDADES (NOMBRE) "
             "INSERT INTO PROPIEDADES (NOMBRE, VALOR) VALUES ('A', 'x'), ('B', 'y')");
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    static engine::BatchResult exec(Session& s, const std::string& sql) {
        auto r = s.execute(sql);
        EXPECT_FALSE(r.hasErrors()) << sql << ": " << (r.firstError() ? r.firstError()->text : "");
        return r;
    }

    std::unique_ptr<Session> open(const std::string& db = "Empresa_0001") {
        auto opened = Session::open(dir_, db);
        EXPECT_TRUE(opened.session) << (opened.messages.empty() ? "" : opened.messages[0].text);
        return std::move(opened.session);
    }

    std::filesystem::path dir_;
};

TEST_F(SessionTest, OpensDatabasesCaseInsensitivelyAndReportsTheStoredName) {
    auto opened = Session::open(dir_, "EMPRESA_0001");
    ASSERT_TRUE(opened.session);
    EXPECT_EQ(opened.session->currentDatabase(), "Empresa_0001");
    ASSERT_EQ(opened.messages.size(), 2u);
    EXPECT_EQ(opened.messages[0].number, 5701);
    EXPECT_EQ(opened.messages[0].text, "Changed database context to 'Empresa_0001'.");
    EXPECT_FALSE(opened.messages[0].isError());
    EXPECT_EQ(opened.messages[1].number, 5703);
}

TEST_F(SessionTest, MissingDatabaseFailsWith4060AsAValue) {
    auto opened = Session::open(dir_, "EMPRESA_0002");
    EXPECT_FALSE(opened.session);
    ASSERT_EQ(opened.messages.size(), 1u);
    EXPECT_EQ(opened.messages[0].number, 4060);
    EXPECT_EQ(opened.messages[0].text,
              "Cannot open database \"EMPRESA_0002\" requested by the login. The login failed.");
}

TEST_F(SessionTest, MissingDataDirectoryFailsWithoutCreatingIt) {
    auto missing = dir_ / "nope";
    auto opened = Session::open(missing, "master");
    EXPECT_FALSE(opened.session);
    ASSERT_FALSE(opened.messages.empty());
    EXPECT_EQ(opened.messages[0].number, 17);
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(SessionTest, UseDatabaseSwitchesAndFailsWith911) {
    auto s = open("master");
    auto ok = s->useDatabase("empresa_0001");
    ASSERT_EQ(ok.size(), 1u);
    EXPECT_EQ(ok[0].number, 5701);
    EXPECT_EQ(s->currentDatabase(), "Empresa_0001");
    auto bad = s->useDatabase("Nada");
    ASSERT_EQ(bad.size(), 1u);
    EXPECT_EQ(bad[0].number, 911);
    EXPECT_EQ(s->currentDatabase(), "Empresa_0001");
}

TEST_F(SessionTest, ResultSetsFromOneTableCarryItsIdentityAndRowIds) {
    auto s = open();
    auto r = exec(*s, "SELECT * FROM PROPIEDADES WHERE NOMBRE='B'");
    ASSERT_EQ(r.resultSets.size(), 1u);
    const auto& set = r.resultSets[0];
    ASSERT_TRUE(set.baseTable);
    EXPECT_EQ(set.baseTable->database, "Empresa_0001");
    EXPECT_EQ(set.baseTable->name, "PROPIEDADES");
    ASSERT_EQ(set.rowIds.size(), 1u);
    EXPECT_EQ(set.columns[1].baseColumn, "NOMBRE");
    EXPECT_TRUE(set.columns[0].identity);
    EXPECT_EQ(set.columns[2].type, engine::DataType::varchar(5));
    EXPECT_FALSE(set.columns[2].nullable);

    auto joined = exec(*s, "SELECT a.NOMBRE FROM PROPIEDADES a JOIN PROPIEDADES b ON a.Id = b.Id");
    EXPECT_FALSE(joined.resultSets[0].baseTable);
    auto grouped = exec(*s, "SELECT COUNT(*) FROM PROPIEDADES");
    EXPECT_FALSE(grouped.resultSets[0].baseTable);
    auto computed = exec(*s, "SELECT NOMBRE + 'x' AS n, VALOR FROM PROPIEDADES");
    ASSERT_TRUE(computed.resultSets[0].baseTable);
    EXPECT_EQ(computed.resultSets[0].columns[0].baseColumn, "");
    EXPECT_EQ(computed.resultSets[0].columns[1].baseColumn, "VALOR");
}

TEST_F(SessionTest, UpdateRowChangesTheRowAndReportsItAsStored) {
    auto s = open();
    auto r = exec(*s, "SELECT NOMBRE, VALOR FROM PROPIEDADES WHERE NOMBRE='A'");
    auto table = *r.resultSets[0].baseTable;
    auto row = r.resultSets[0].rowIds[0];
    RowChange c =
        s->updateRow(table, row, {{"valor", Value::varchar("z")}, {"N", Value::varchar("42")}});
    ASSERT_TRUE(c.ok()) << (c.messages.empty() ? "" : c.messages[0].text);
    ASSERT_EQ(c.row.size(), 4u);
    EXPECT_EQ(engine::renderForShell(c.row[2]), "z");
    EXPECT_EQ(c.row[3].typeId(), engine::TypeId::Int);
    EXPECT_EQ(c.row[3].asInt64(), 42);
    auto after = exec(*s, "SELECT VALOR, N FROM PROPIEDADES WHERE NOMBRE='A'");
    EXPECT_EQ(engine::renderForShell(after.resultSets[0].rows[0][0]), "z");
    // The row keeps its identity across a schema change.
    exec(*s, "ALTER TABLE PROPIEDADES ADD Extra int NULL");
    RowChange again = s->updateRow(table, row, {{"Extra", Value::integer(5)}});
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.row.size(), 5u);
}

TEST_F(SessionTest, RowOperationsReachTheSessionsTemporaryTablesOnly) {
    auto s = open(), other = open();
    exec(*s, "SELECT * INTO #p FROM PROPIEDADES");
    auto r = exec(*s, "SELECT NOMBRE, VALOR FROM #p WHERE NOMBRE='A'");
    ASSERT_TRUE(r.resultSets[0].baseTable);
    auto table = *r.resultSets[0].baseTable;
    EXPECT_EQ(table.database, "tempdb");
    auto row = r.resultSets[0].rowIds[0];
    ASSERT_TRUE(s->updateRow(table, row, {{"VALOR", Value::varchar("t")}}).ok());
    EXPECT_TRUE(s->insertRow(table, {{"NOMBRE", Value::varchar("C")}, {"VALOR", Value::varchar("d")}}).ok());
    EXPECT_EQ(engine::renderForShell(exec(*s, "SELECT COUNT(*) FROM #p WHERE VALOR IN ('t', 'd')")
                                         .resultSets[0].rows[0][0]),
              "2");
    EXPECT_EQ(engine::renderForShell(
                  exec(*s, "SELECT VALOR FROM PROPIEDADES WHERE NOMBRE='A'").resultSets[0].rows[0][0]),
              "x");
    EXPECT_EQ(other->readRow(table, row).status, RowChange::Status::RowMissing);
}

TEST_F(SessionTest, RowOperationsRaiseTheServersErrorsAndChangeNothing) {
    auto s = open();
    auto r = exec(*s, "SELECT * FROM PROPIEDADES WHERE NOMBRE='A'");
    auto table = *r.resultSets[0].baseTable;
    auto row = r.resultSets[0].rowIds[0];

    RowChange nulls = s->updateRow(
        table, row,
        {{"VALOR", Value::varchar("q")}, {"NOMBRE", Value::null(engine::DataType::varchar(10))}});
    EXPECT_EQ(nulls.status, RowChange::Status::Failed);
    ASSERT_EQ(nulls.messages.size(), 2u);
    EXPECT_EQ(nulls.messages[0].number, 515);
    EXPECT_EQ(nulls.messages[1].number, 3621);

    RowChange dup = s->updateRow(table, row, {{"NOMBRE", Value::varchar("b ")}});
    EXPECT_EQ(dup.status, RowChange::Status::Failed);
    EXPECT_EQ(dup.messages[0].number, 2601);

    RowChange longer = s->updateRow(table, row, {{"VALOR", Value::varchar("123456")}});
    EXPECT_EQ(longer.messages[0].number, 8152);

    RowChange conversion = s->updateRow(table, row, {{"N", Value::varchar("abc")}});
    EXPECT_EQ(conversion.messages[0].number, 245);

    RowChange identity = s->updateRow(table, row, {{"Id", Value::integer(9)}});
    EXPECT_EQ(identity.messages[0].number, 8102);

    RowChange column = s->updateRow(table, row, {{"Nope", Value::integer(9)}});
    EXPECT_EQ(column.messages[0].number, 207);

    exec(*s, "ALTER TABLE PROPIEDADES ADD CONSTRAINT CK_N CHECK (N >= 0)");
    RowChange checked = s->updateRow(table, row, {{"N", Value::integer(-1)}});
    EXPECT_EQ(checked.status, RowChange::Status::Failed);
    ASSERT_EQ(checked.messages.size(), 2u);
    EXPECT_EQ(checked.messages[0].number, 547);
    EXPECT_NE(checked.messages[0].text.find("The UPDATE statement conflicted with the CHECK "
                                            "constraint \"CK_N\""),
              std::string::npos);
    EXPECT_EQ(checked.messages[1].number, 3621);
    RowChange inserted =
        s->insertRow(table, {{"NOMBRE", Value::varchar("Q")}, {"N", Value::integer(-5)}});
    EXPECT_EQ(inserted.status, RowChange::Status::Failed);
    EXPECT_EQ(inserted.messages[0].number, 547);
    EXPECT_TRUE(
        s->insertRow(table, {{"NOMBRE", Value::varchar("Q")}, {"N", Value::integer(5)}}).ok());

    auto after = exec(*s, "SELECT NOMBRE, VALOR, N FROM PROPIEDADES WHERE Id = 1");
    EXPECT_EQ(engine::renderForShell(after.resultSets[0].rows[0][0]), "A");
    EXPECT_EQ(engine::renderForShell(after.resultSets[0].rows[0][1]), "x");
    EXPECT_TRUE(after.resultSets[0].rows[0][2].isNull());
}

TEST_F(SessionTest, OptimisticChecksDetectChangedAndMissingRows) {
    auto s = open();
    auto r = exec(*s, "SELECT * FROM PROPIEDADES WHERE NOMBRE='A'");
    auto table = *r.resultSets[0].baseTable;
    auto row = r.resultSets[0].rowIds[0];
    exec(*s, "UPDATE PROPIEDADES SET VALOR = 'w' WHERE NOMBRE = 'A'");
    RowChange stale = s->updateRow(table, row, {{"VALOR", Value::varchar("v")}},
                                   {{"VALOR", Value::varchar("x")}});
    EXPECT_EQ(stale.status, RowChange::Status::RowChanged);
    // Compared as '=' compares: case and trailing blanks do not matter.
    RowChange fresh = s->updateRow(table, row, {{"VALOR", Value::varchar("v")}},
                                   {{"VALOR", Value::varchar("W ")}, {"N", Value()}});
    EXPECT_TRUE(fresh.ok());
    exec(*s, "DELETE FROM PROPIEDADES WHERE NOMBRE = 'A'");
    EXPECT_EQ(s->updateRow(table, row, {{"VALOR", Value::varchar("v")}}).status,
              RowChange::Status::RowMissing);
    EXPECT_EQ(s->readRow(table, row).status, RowChange::Status::RowMissing);
    exec(*s, "DROP TABLE PROPIEDADES CREATE TABLE PROPIEDADES (a int)");
    EXPECT_EQ(s->readRow(table, 2).status, RowChange::Status::RowMissing);
}

TEST_F(SessionTest, InsertRowAppliesDefaultsIdentityAndChecks) {
    auto s = open();
    auto r = exec(*s, "SELECT * FROM PROPIEDADES WHERE 1 = 0");
    auto table = *r.resultSets[0].baseTable;
    RowChange added = s->insertRow(table, {{"NOMBRE", Value::varchar("C")}});
    ASSERT_TRUE(added.ok()) << (added.messages.empty() ? "" : added.messages[0].text);
    EXPECT_EQ(added.row[0].asInt64(), 3);
    EXPECT_EQ(engine::renderForShell(added.row[2]), "d");
    RowChange read = s->readRow(table, added.rowId);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(engine::renderForShell(read.row[1]), "C");

    RowChange dup = s->insertRow(table, {{"NOMBRE", Value::varchar("c")}});
    EXPECT_EQ(dup.messages[0].number, 2601);
    RowChange missing = s->insertRow(table, {{"VALOR", Value::varchar("q")}});
    EXPECT_EQ(missing.messages[0].number, 515);
    RowChange identity =
        s->insertRow(table, {{"Id", Value::integer(7)}, {"NOMBRE", Value::varchar("E")}});
    EXPECT_EQ(identity.messages[0].number, 544);

    RowChange removed = s->deleteRow(table, added.rowId);
    EXPECT_TRUE(removed.ok());
    auto count = exec(*s, "SELECT COUNT(*) FROM PROPIEDADES");
    EXPECT_EQ(count.resultSets[0].rows[0][0].asInt64(), 2);
}

TEST_F(SessionTest, RowOperationsAreDurable) {
    engine::TableIdentity table;
    engine::RowId row;
    {
        auto s = open();
        auto r = exec(*s, "SELECT * FROM PROPIEDADES WHERE NOMBRE='B'");
        table = *r.resultSets[0].baseTable;
        row = r.resultSets[0].rowIds[0];
        ASSERT_TRUE(s->updateRow(table, row, {{"VALOR", Value::varchar("kept")}}).ok());
        ASSERT_TRUE(s->insertRow(table, {{"NOMBRE", Value::varchar("New")}}).ok());
    }
    auto s = open();
    auto r = exec(*s, "SELECT NOMBRE, VALOR FROM PROPIEDADES ORDER BY Id");
    ASSERT_EQ(r.resultSets[0].rows.size(), 3u);
    EXPECT_EQ(engine::renderForShell(r.resultSets[0].rows[1][1]), "kept");
    EXPECT_EQ(engine::renderForShell(r.resultSets[0].rows[2][0]), "New");
    // Row identities are stable across a restart.
    EXPECT_TRUE(s->readRow(table, row).ok());
}

// The rows of a query, a line each, cells separated by '|' (NULL as "NULL").
std::string rowsOf(const engine::BatchResult& r) {
    std::string out;
    for (const auto& row : r.resultSets.at(0).rows) {
        for (size_t c = 0; c < row.size(); ++c)
            out += (c ? "|" : "") + (row[c].isNull() ? "NULL" : engine::renderForShell(row[c]));
        out += "\n";
    }
    return out;
}

TEST_F(SessionTest, RowOperationsFireAfterTriggersAsTheirStatementsWould) {
    engine::TableIdentity table;
    {
        auto s = open();
        exec(*s, "CREATE TABLE Audit (seq int IDENTITY, what varchar(3), id int, was varchar(5), "
                 "now varchar(5), n int, valorSet bit, tc int)");
        exec(*s, "CREATE TRIGGER PROPIEDADES_audit ON PROPIEDADES AFTER INSERT, UPDATE, DELETE AS "
                 "DECLARE @n int = @@ROWCOUNT "
                 "INSERT Audit (what, id, was, now, n, valorSet, tc) "
                 "SELECT CASE WHEN d.Id IS NULL THEN 'ins' ELSE 'upd' END, i.Id, "
                 "d.VALOR, i.VALOR, @n, CASE WHEN UPDATE(VALOR) THEN 1 ELSE 0 END, @@TRANCOUNT "
                 "FROM inserted i LEFT JOIN deleted d ON d.Id = i.Id "
                 "INSERT Audit (what, id, was, now, n, valorSet, tc) "
                 "SELECT 'del', Id, VALOR, NULL, @n, NULL, @@TRANCOUNT FROM deleted "
                 "WHERE NOT EXISTS (SELECT * FROM inserted)");
        auto r = exec(*s, "SELECT * FROM PROPIEDADES ORDER BY Id");
        table = *r.resultSets[0].baseTable;
        const engine::RowId a = r.resultSets[0].rowIds[0], b = r.resultSets[0].rowIds[1];
        EXPECT_TRUE(s->updateRow(table, a, {{"VALOR", Value::varchar("v")}}).ok());
        // Grouped updates of a table with triggers: each row fires them on its own.
        std::vector<RowChange> out = s->updateRows(
            table, {{b, {{"N", Value::integer(7)}}, {}}, {999, {{"N", Value::integer(8)}}, {}},
                    {b, {{"VALOR", Value::varchar("w")}}, {}}});
        EXPECT_TRUE(out[0].ok());
        EXPECT_EQ(out[1].status, RowChange::Status::RowMissing);
        EXPECT_TRUE(out[2].ok());
        EXPECT_TRUE(s->insertRow(table, {{"NOMBRE", Value::varchar("C")}, {"VALOR", Value::varchar("d")}}).ok());
        EXPECT_TRUE(s->deleteRow(table, a).ok());
        EXPECT_EQ(s->transactionCount(), 0);
    }
    // What the triggers did is as durable as the rows.
    auto s = open();
    EXPECT_EQ(rowsOf(exec(*s, "SELECT what, id, was, now, n, valorSet, tc FROM Audit ORDER BY seq")),
              "upd|1|x|v|1|1|1\n"
              "upd|2|y|y|1|0|1\n"
              "upd|2|y|w|1|1|1\n"
              "ins|3|NULL|d|1|1|1\n"
              "del|1|v|NULL|1|NULL|1\n");
    EXPECT_EQ(rowsOf(exec(*s, "SELECT NOMBRE, VALOR, N FROM PROPIEDADES ORDER BY Id")),
              "B|w|7\nC|d|NULL\n");
}

TEST_F(SessionTest, ATriggersErrorFailsTheRowOperationAndTakesItsChangeBack) {
    auto s = open();
    exec(*s, "CREATE TABLE Trail (n int)");
    exec(*s, "CREATE TRIGGER PROPIEDADES_guard ON PROPIEDADES AFTER UPDATE, DELETE AS "
             "SET NOCOUNT ON "
             "INSERT Trail SELECT COUNT(*) FROM deleted "
             "IF EXISTS (SELECT * FROM inserted WHERE N < 0) "
             "BEGIN RAISERROR ('N < 0', 16, 1) ROLLBACK TRANSACTION END "
             "ELSE IF NOT EXISTS (SELECT * FROM inserted) RAISERROR ('kept', 16, 1)");
    auto r = exec(*s, "SELECT * FROM PROPIEDADES ORDER BY Id");
    auto table = *r.resultSets[0].baseTable;
    const engine::RowId a = r.resultSets[0].rowIds[0], b = r.resultSets[0].rowIds[1];

    RowChange negative = s->updateRow(table, a, {{"N", Value::integer(-1)}});
    EXPECT_EQ(negative.status, RowChange::Status::Failed);
    ASSERT_EQ(negative.messages.size(), 2u);
    EXPECT_EQ(negative.messages[0].number, 50000);
    EXPECT_EQ(negative.messages[0].procedure, "PROPIEDADES_guard");
    EXPECT_EQ(negative.messages[1].number, 3609);
    // An error without ROLLBACK fails the operation too, and takes back only the
    // operation's part of the caller's transaction.
    RowChange unguarded = s->deleteRow(table, a);
    EXPECT_EQ(unguarded.status, RowChange::Status::Failed);
    exec(*s, "BEGIN TRANSACTION UPDATE PROPIEDADES SET VALOR = 't' WHERE Id = 2");
    RowChange inside = s->deleteRow(table, b);
    EXPECT_EQ(inside.status, RowChange::Status::Failed);
    ASSERT_FALSE(inside.messages.empty());
    EXPECT_EQ(inside.messages[0].text, "kept");
    EXPECT_EQ(s->transactionCount(), 1);
    exec(*s, "COMMIT");
    EXPECT_EQ(rowsOf(exec(*s, "SELECT NOMBRE, VALOR, N FROM PROPIEDADES ORDER BY Id")),
              "A|x|NULL\nB|t|NULL\n");
    EXPECT_EQ(rowsOf(exec(*s, "SELECT n FROM Trail")), "1\n");
}

TEST_F(SessionTest, AnInsteadOfTriggerRunsInPlaceOfInsertRow) {
    auto s = open();
    exec(*s, "CREATE TRIGGER PROPIEDADES_ins ON PROPIEDADES INSTEAD OF INSERT AS "
             "SET NOCOUNT ON "
             "INSERT PROPIEDADES (NOMBRE, VALOR, N) SELECT UPPER(NOMBRE), VALOR, N + 1 FROM inserted");
    auto r = exec(*s, "SELECT * FROM PROPIEDADES WHERE 1 = 0");
    auto table = *r.resultSets[0].baseTable;
    RowChange added =
        s->insertRow(table, {{"NOMBRE", Value::varchar("c")}, {"N", Value::integer(5)}});
    ASSERT_TRUE(added.ok()) << (added.messages.empty() ? "" : added.messages[0].text);
    // The operation's row is the one the trigger wrote.
    ASSERT_EQ(added.row.size(), 4u);
    EXPECT_EQ(engine::renderForShell(added.row[1]), "C");
    EXPECT_EQ(added.row[3].asInt64(), 6);
    EXPECT_TRUE(s->readRow(table, added.rowId).ok());
    // The row reaches the trigger unchecked; the trigger's own INSERT fails it.
    RowChange nameless = s->insertRow(table, {{"N", Value::integer(1)}});
    EXPECT_EQ(nameless.status, RowChange::Status::Failed);
    ASSERT_FALSE(nameless.messages.empty());
    EXPECT_EQ(nameless.messages[0].number, 515);
    EXPECT_EQ(rowsOf(exec(*s, "SELECT NOMBRE, N FROM PROPIEDADES ORDER BY Id")),
              "A|NULL\nB|NULL\nC|6\n");
}

TEST_F(SessionTest, SessionsOfOneProcessShareDatabases) {
    auto a = open();
    auto b = open("empresa_0001");
    exec(*a, "INSERT INTO PROPIEDADES (NOMBRE) VALUES ('FromA')");
    auto r = exec(*b, "SELECT COUNT(*) FROM PROPIEDADES WHERE NOMBRE = 'froma'");
    EXPECT_EQ(r.resultSets[0].rows[0][0].asInt64(), 1);
    // A database in use cannot be dropped.
    auto m = open("master");
    auto drop = m->execute("DROP DATABASE Empresa_0001");
    ASSERT_TRUE(drop.firstError());
    EXPECT_EQ(drop.firstError()->number, 3702);
}

TEST_F(SessionTest, ThreadsWithTheirOwnSessionsDoNotLoseWork) {
    const int threads = 4, perThread = 50;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            auto s = open();
            for (int i = 0; i < perThread; ++i) {
                auto r = s->execute("INSERT INTO PROPIEDADES (NOMBRE, N) VALUES ('T" +
                                    std::to_string(t) + "_" + std::to_string(i) + "', " +
                                    std::to_string(t) + ")");
                EXPECT_FALSE(r.hasErrors());
            }
        });
    }
    for (auto& w : workers)
        w.join();
    auto s = open();
    auto r =
        exec(*s, "SELECT COUNT(*), COUNT(DISTINCT NOMBRE) FROM PROPIEDADES WHERE N IS NOT NULL");
    EXPECT_EQ(r.resultSets[0].rows[0][0].asInt64(), threads * perThread);
    EXPECT_EQ(r.resultSets[0].rows[0][1].asInt64(), threads * perThread);
}

TEST_F(SessionTest, ClosedSessionsRefuseWork) {
    auto s = open();
    s->close();
    s->close();
    auto r = s->execute("SELECT 1");
    EXPECT_TRUE(r.hasErrors());
    EXPECT_EQ(s->readRow(engine::TableIdentity{}, 1).status, RowChange::Status::Failed);
}

TEST_F(SessionTest, MessagesComeInTheOrderTheServerSendsThem) {
    auto s = open();
    auto r = s->execute("PRINT 'a'\nSELECT 1 AS one\nSELECT nope FROM PROPIEDADES");
    // 207 at compile time rejects the whole batch.
    ASSERT_EQ(r.events.size(), 1u);
    EXPECT_EQ(r.messages[0].number, 207);
    EXPECT_EQ(r.messages[0].line, 3);
    auto ok = s->execute("PRINT 'a'\nSELECT 1 AS one\nPRINT 'b'");
    ASSERT_EQ(ok.events.size(), 4u);
    EXPECT_EQ(ok.events[0].kind, engine::BatchResult::Kind::Message);
    EXPECT_EQ(ok.events[1].kind, engine::BatchResult::Kind::ResultSet);
    EXPECT_EQ(ok.events[2].kind, engine::BatchResult::Kind::RowCount);
    EXPECT_EQ(ok.rowCounts[0].line, 2);
    EXPECT_EQ(ok.events[3].kind, engine::BatchResult::Kind::Message);
    EXPECT_EQ(ok.messages[1].text, "b");
}

}  // namespace

namespace {

TEST_F(SessionTest, TheLoginLanguageSetsTheDateFormat) {
    engine::SessionOptions spanish;
    spanish.language = "Español";
    auto opened = Session::open(dir_, "Empresa_0001", spanish);
    ASSERT_TRUE(opened.session);
    EXPECT_EQ(opened.messages[1].text, "Changed language setting to Español.");
    auto r = exec(*opened.session,
                  "SELECT MONTH(CAST('31/12/1899' AS datetime)), MONTH('2013-01-02'), @@DATEFIRST");
    EXPECT_EQ(r.resultSets[0].rows[0][0].asInt64(), 12);
    EXPECT_EQ(r.resultSets[0].rows[0][1].asInt64(), 2);
    EXPECT_EQ(r.resultSets[0].rows[0][2].asInt64(), 1);
    auto english = open();
    auto e = english->execute("SELECT CAST('31/12/1899' AS datetime)");
    ASSERT_TRUE(e.firstError());
    EXPECT_EQ(e.firstError()->number, 242);
}

}  // namespace

namespace {

TEST_F(SessionTest, ADatabaseNobodyUsesKeepsASmallJournalAndFoldsALargeOne) {
    auto master = open("master");  // keeps the server open
    const auto journal = dir_ / "Empresa_0001.sjl";
    const auto snapshot = dir_ / "Empresa_0001.sdb";
    {
        // Sizes with room to spare either side of the thresholds below: the setup's snapshot
        // alone is so small that its dates' encoded length (shorter early in the day) decided.
        auto s = open();
        exec(*s,
             "CREATE TABLE RELLENO (T varchar(300)) INSERT RELLENO VALUES (REPLICATE('x', 250))");
    }
    {
        auto s = open();
        exec(*s, "INSERT INTO PROPIEDADES (NOMBRE) VALUES ('Z')");
    }
    // One small statement against a larger snapshot: the last session leaves the synced
    // journal as it is rather than rewriting the snapshot.
    auto smallJournal = std::filesystem::file_size(journal);
    EXPECT_GT(smallJournal, engine::store::DatabaseStore::kJournalHeaderBytes);
    EXPECT_LT(smallJournal * 4, std::filesystem::file_size(snapshot));
    {
        auto s = open();
        exec(*s,
             "INSERT INTO PROPIEDADES (NOMBRE, VALOR) SELECT 'K' + CAST(p.Id * 10 + q.Id AS "
             "varchar(5)), 'v' FROM PROPIEDADES p CROSS JOIN PROPIEDADES q");
    }
    // Work as large as a quarter of the snapshot: folded, journal emptied.
    EXPECT_EQ(std::filesystem::file_size(journal),
              engine::store::DatabaseStore::kJournalHeaderBytes);
    auto again = open();
    auto r = exec(*again, "SELECT COUNT(*) FROM PROPIEDADES");
    EXPECT_EQ(r.resultSets[0].rows[0][0].asInt64(), 12);
    // Another database is read without being opened as the current one.
    auto cross = exec(*master, "SELECT COUNT(*) FROM Empresa_0001.dbo.PROPIEDADES");
    EXPECT_EQ(cross.resultSets[0].rows[0][0].asInt64(), 12);
}

}  // namespace

namespace {

TEST_F(SessionTest, AQueryBeyondTheMemoryBudgetFailsWith701AndTheSessionGoesOn) {
    engine::SessionOptions options;
    options.queryMemoryLimit = 64 << 20;
    auto opened = Session::open(dir_, "Empresa_0001", options);
    ASSERT_TRUE(opened.session);
    Session& s = *opened.session;
    exec(s,
         "CREATE TABLE d (x int) "
         "INSERT INTO d VALUES (0),(1),(2),(3),(4),(5),(6),(7),(8),(9) "
         "CREATE TABLE h (x int) INSERT INTO h SELECT a.x * 10 + b.x FROM d a, d b");
    // A product of 100 million tuples; a million groups.
    for (const char* sql : {"BEGIN TRANSACTION INSERT INTO d VALUES (10) "
                            "SELECT COUNT(*) FROM h a, h b, h c, h e",
                            "SELECT a.x, b.x, c.x, COUNT(*) FROM h a, h b, h c "
                            "GROUP BY a.x, b.x, c.x"}) {
        auto r = s.execute(sql);
        const engine::SqlMessage* e = r.firstError();
        ASSERT_TRUE(e) << sql;
        EXPECT_EQ(e->number, 701);
        EXPECT_EQ(e->severity, 17);
        EXPECT_EQ(
            e->text,
            "There is insufficient system memory in resource pool 'default' to run this query.");
        // The batch ended and took its transaction with it; the session goes on.
        EXPECT_EQ(s.transactionCount(), 0);
        auto after =
            exec(s, "SELECT COUNT(*) FROM d; SELECT COUNT(*) FROM h a, h b WHERE a.x = b.x");
        ASSERT_EQ(after.resultSets.size(), 2u);
        EXPECT_EQ(after.resultSets[0].rows[0][0].asInt64(), 10);
        EXPECT_EQ(after.resultSets[1].rows[0][0].asInt64(), 100);
    }
}

}  // namespace

TEST_F(SessionTest, UpdateRowsGiveEachRowItsOwnOutcomeAndAreDurableTogether) {
    engine::TableIdentity table;
    {
        auto s = open();
        auto r = exec(*s, "SELECT * FROM PROPIEDADES ORDER BY Id");
        table = *r.resultSets[0].baseTable;
        const engine::RowId a = r.resultSets[0].rowIds[0], b = r.resultSets[0].rowIds[1];
        // Each row sees the ones before it: B cannot take the name A took a row earlier.
        std::vector<engine::RowUpdate> rows = {
            {a, {{"NOMBRE", Value::varchar("C")}}, {}},
            {b, {{"NOMBRE", Value::varchar("c")}}, {}},
            {b, {{"VALOR", Value::varchar("q")}}, {{"VALOR", Value::varchar("zz")}}},
            {999, {{"VALOR", Value::varchar("q")}}, {}},
            {b, {{"VALOR", Value::varchar("ok")}}, {{"VALOR", Value::varchar("Y")}}},
        };
        std::vector<RowChange> out = s->updateRows(table, rows);
        ASSERT_EQ(out.size(), 5u);
        EXPECT_TRUE(out[0].ok());
        ASSERT_EQ(out[1].status, RowChange::Status::Failed);
        EXPECT_EQ(out[1].messages[0].number, 2601);
        EXPECT_EQ(out[2].status, RowChange::Status::RowChanged);
        EXPECT_EQ(out[3].status, RowChange::Status::RowMissing);
        EXPECT_TRUE(out[4].ok());
        // Saves of the same cells reach the journal as one change: a row saved twice keeps
        // its last values when the journal is replayed (the files copied before the session
        // closes, and folds, are read through their journal).
        rows = {{a, {{"VALOR", Value::varchar("x1")}}, {}},
                {b, {{"VALOR", Value::varchar("x2")}}, {}},
                {a, {{"VALOR", Value::varchar("x3")}}, {}},
                {b, {{"VALOR", Value::varchar("x4")}}, {}},
                {b, {{"N", Value::integer(7)}}, {}}};
        for (const RowChange& change : s->updateRows(table, rows))
            EXPECT_TRUE(change.ok());
        std::filesystem::copy(dir_, dir_.string() + "-replayed");
    }
    const std::filesystem::path replayed = dir_.string() + "-replayed";
    for (const std::filesystem::path& dir : {dir_, replayed}) {
        auto s = Session::open(dir, "Empresa_0001").session;
        ASSERT_TRUE(s);
        auto r = exec(*s, "SELECT NOMBRE, VALOR, N FROM PROPIEDADES ORDER BY Id");
        ASSERT_EQ(r.resultSets[0].rows.size(), 2u);
        EXPECT_EQ(engine::renderForShell(r.resultSets[0].rows[0][0]), "C");
        EXPECT_EQ(engine::renderForShell(r.resultSets[0].rows[0][1]), "x3");
        EXPECT_EQ(engine::renderForShell(r.resultSets[0].rows[1][0]), "B");
        EXPECT_EQ(engine::renderForShell(r.resultSets[0].rows[1][1]), "x4");
        EXPECT_EQ(engine::renderForShell(r.resultSets[0].rows[1][2]), "7");
    }
    std::filesystem::remove_all(replayed);
}

namespace {

// ALTER COLUMN journals the new definition alone when every cell keeps its stored bytes under
// the new type, and the whole column otherwise; either way a restart (rows read when first
// used, after the journal retyped them) and a rollback give the cells their proper type.
TEST_F(SessionTest, ARetypedColumnReadsAsItsNewTypeAfterARestartAndARollback) {
    {
        auto s = open();
        exec(*s,
             "CREATE TABLE CAMBIOS (Ceros int NULL, Cinco int NULL, Texto varchar(2) NULL) "
             "INSERT CAMBIOS VALUES (0, 5, 'ab'), (NULL, NULL, NULL), (0, 0, 'c')");
    }
    const std::string query = "SELECT Ceros, Cinco, Texto, DATALENGTH(Texto) FROM CAMBIOS";
    const std::string before = "0.0000|5.0000|ab|2\nNULL|NULL|NULL|NULL\n0.0000|0.0000|c|1\n";
    {
        auto s = open();
        exec(*s,
             "ALTER TABLE CAMBIOS ALTER COLUMN Ceros money "
             "ALTER TABLE CAMBIOS ALTER COLUMN Cinco money "
             "ALTER TABLE CAMBIOS ALTER COLUMN Texto varchar(4) "
             "BEGIN TRANSACTION ALTER TABLE CAMBIOS ALTER COLUMN Texto char(3) ROLLBACK");
        EXPECT_EQ(rowsOf(exec(*s, query)), before);
    }
    auto s = open();
    EXPECT_EQ(rowsOf(exec(*s, query)), before);
    exec(*s, "UPDATE CAMBIOS SET Texto = 'abcd' WHERE Texto = 'ab'");
    auto r = exec(*s, query);
    EXPECT_EQ(rowsOf(r), "0.0000|5.0000|abcd|4\nNULL|NULL|NULL|NULL\n0.0000|0.0000|c|1\n");
    EXPECT_EQ(r.resultSets.at(0).rows.at(0).at(0).type().id, engine::TypeId::Money);
}

}  // namespace

namespace {

// A group of row saves whose journal record cannot be written is taken back whole, each row
// to what it held before the group, a row saved twice included (its saves are undone in the
// reverse order). The journal is kept from growing by the file size limit.
TEST_F(SessionTest, UpdateRowsThatCannotBeJournaledAreTakenBackWhole) {
    auto s = open();
    auto r = exec(*s, "SELECT * FROM PROPIEDADES ORDER BY Id");
    const engine::TableIdentity table = *r.resultSets[0].baseTable;
    const engine::RowId a = r.resultSets[0].rowIds[0], b = r.resultSets[0].rowIds[1];
    const std::vector<engine::RowUpdate> rows = {{a, {{"VALOR", Value::varchar("x1")}}, {}},
                                                 {b, {{"VALOR", Value::varchar("x2")}}, {}},
                                                 {a, {{"VALOR", Value::varchar("x3")}}, {}},
                                                 {b, {{"VALOR", Value::varchar("x4")}}, {}}};
    struct rlimit before {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = before;
    limited.rlim_cur = std::filesystem::file_size(dir_ / "Empresa_0001.sjl");
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const std::vector<RowChange> out = s->updateRows(table, rows);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &before), 0);
    for (const RowChange& change : out) {
        ASSERT_EQ(change.status, RowChange::Status::Failed);
        EXPECT_EQ(change.messages.at(0).number, 823);
    }
    EXPECT_EQ(rowsOf(exec(*s, "SELECT NOMBRE, VALOR FROM PROPIEDADES ORDER BY Id")), "A|x\nB|y\n");
}

}  // namespace
