// The ODBC driver's mechanics against a real ODBC driver that needs no server: the
// SQLite 3 ODBC driver. Statement execution and its errors (native numbers included),
// record sets, updatable sets written with bound parameters, transactions, the trace.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "db/connect.h"
#include "db/odbc/odbc_connection.h"
#include "db/odbc/odbc_support.h"
#include "db/trace.h"
#include "test_support.h"

namespace db {
namespace {

using testing::ScopedEnv;
using testing::TempDir;

// The SQLite 3 driver by its registered name, or by the path of its library.
std::string sqliteDriver() {
    for (const auto& name : odbc::installedDrivers()) {
        if (name == "SQLite3") return name;
    }
    for (const char* path : {"/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so",
                             "/usr/lib/aarch64-linux-gnu/odbc/libsqlite3odbc.so", "/usr/lib/odbc/libsqlite3odbc.so"}) {
        if (std::filesystem::exists(path)) return path;
    }
    return "";
}

class OdbcSqlite : public ::testing::Test {
protected:
    void SetUp() override {
        driver_ = sqliteDriver();
        if (driver_.empty()) GTEST_SKIP() << "the SQLite 3 ODBC driver (libsqliteodbc) is not installed";
        conn_ = open("secret");
        ASSERT_TRUE(conn_->isOpen()) << conn_->lastError().description;
        ASSERT_TRUE(conn_->execute("CREATE TABLE PROPIEDADES (OBJETO VARCHAR(128) NOT NULL DEFAULT '', "
                                   "NOMBRE VARCHAR(128) NOT NULL DEFAULT '', VALOR VARCHAR(128) NOT NULL DEFAULT '', "
                                   "PRIMARY KEY (OBJETO, NOMBRE))"));
    }

    std::unique_ptr<Connection> open(const std::string& password) {
        ConnectionSettings s;
        s.server = "localhost";
        s.database = dir_.file("test.db");
        s.user = "sa";
        s.password = password;
        return odbc::openConnection(s, driver_);
    }

    long count(const std::string& sql) {
        auto rs = conn_->openRecordset(sql, CursorType::ForwardOnly, LockType::ReadOnly);
        if (!rs || rs->eof()) return -1;
        return static_cast<long>(rs->value(size_t{0}).toNumber());
    }

    TempDir dir_;
    std::string driver_;
    std::unique_ptr<Connection> conn_;
};

TEST_F(OdbcSqlite, ErrorsCarryTheNativeNumberAndStayPendingUntilCleared) {
    ASSERT_TRUE(conn_->execute("ALTER TABLE PROPIEDADES ADD COLUMN EXTRA INTEGER"));
    EXPECT_FALSE(conn_->hasError());

    Status dup = conn_->execute("ALTER TABLE PROPIEDADES ADD COLUMN EXTRA INTEGER");
    ASSERT_FALSE(dup);
    EXPECT_EQ(dup.error().nativeError, 1);  // SQLITE_ERROR
    EXPECT_NE(dup.error().description.find("duplicate column name"), std::string::npos) << dup.error().description;
    EXPECT_EQ(dup.error().description.find('['), std::string::npos) << "driver prefix left in the text";
    ASSERT_TRUE(conn_->hasError());
    EXPECT_EQ(conn_->lastError(), dup.error());

    // Success does not clear what is pending; clearError() does.
    ASSERT_TRUE(conn_->execute("INSERT INTO PROPIEDADES (OBJETO, NOMBRE, VALOR) VALUES ('A','B','C')"));
    EXPECT_TRUE(conn_->hasError());
    conn_->clearError();
    EXPECT_FALSE(conn_->hasError());
    EXPECT_EQ(conn_->lastError().nativeError, 0);

    Status constraint = conn_->execute("INSERT INTO PROPIEDADES (OBJETO, NOMBRE, VALOR) VALUES ('A','B','D')");
    ASSERT_FALSE(constraint);
    EXPECT_EQ(constraint.error().nativeError, 19);  // SQLITE_CONSTRAINT
    EXPECT_EQ(count("SELECT VALOR = 'C' FROM PROPIEDADES"), 1);
}

TEST_F(OdbcSqlite, AnErrorOfALaterStatementOfTheBatchFailsTheCall) {
    Status s = conn_->execute("CREATE TABLE A (X INTEGER); INSERT INTO NOSUCH VALUES (1)");
    ASSERT_FALSE(s);
    EXPECT_EQ(s.error().nativeError, 1);
    EXPECT_NE(s.error().description.find("no such table: NOSUCH"), std::string::npos) << s.error().description;
    EXPECT_EQ(count("SELECT COUNT(*) FROM sqlite_master WHERE name='A'"), 1);  // the first statement ran
}

TEST_F(OdbcSqlite, RecordSetReadsTypesNullsAndPositions) {
    ASSERT_TRUE(conn_->execute("CREATE TABLE T (ID INTEGER PRIMARY KEY, NOMBRE VARCHAR(50), IMPORTE DOUBLE, "
                               "ALTA TIMESTAMP, NOTA VARCHAR(10))"));
    ASSERT_TRUE(conn_->execute("INSERT INTO T VALUES (1, 'Almería', 8.25, '1986-01-01 10:20:30', '')"));
    ASSERT_TRUE(conn_->execute("INSERT INTO T VALUES (2, 'Ávila', NULL, NULL, NULL)"));

    auto rs = conn_->openRecordset("SELECT ID, NOMBRE, IMPORTE, ALTA, NOTA FROM T ORDER BY ID", CursorType::Static,
                                   LockType::ReadOnly);
    ASSERT_TRUE(rs);
    EXPECT_FALSE(rs->bof());
    EXPECT_FALSE(rs->eof());
    EXPECT_EQ(rs->recordCount(), 2);
    ASSERT_EQ(rs->fieldCount(), 5u);
    EXPECT_EQ(rs->field(0).type, FieldType::Integer);
    EXPECT_EQ(rs->field(2).type, FieldType::Double);
    EXPECT_EQ(rs->field(3).type, FieldType::DateTime);
    EXPECT_EQ(rs->value("id").intValue(), 1);
    EXPECT_EQ(rs->text("Nombre"), "Almería");
    EXPECT_EQ(rs->number("IMPORTE"), 8.25);
    EXPECT_EQ(rs->value("ALTA").dateTimeValue(), (DateTime{1986, 1, 1, 10, 20, 30, 0}));
    EXPECT_FALSE(rs->value("NOTA").isNull());
    EXPECT_EQ(rs->text("NOTA"), "");
    EXPECT_EQ(rs->absolutePosition(), 1);

    ASSERT_TRUE(rs->moveNext());
    EXPECT_EQ(rs->text("NOMBRE"), "Ávila");
    EXPECT_TRUE(rs->value("IMPORTE").isNull());
    EXPECT_TRUE(rs->value("NOTA").isNull());
    EXPECT_EQ(rs->number("IMPORTE"), 0);

    ASSERT_TRUE(rs->moveNext());
    EXPECT_TRUE(rs->eof());
    EXPECT_FALSE(rs->bof());
    conn_->clearError();
    Status past = rs->moveNext();
    EXPECT_FALSE(past);
    EXPECT_EQ(past.error().number, client_error::kNoCurrentRecord);
    EXPECT_EQ(conn_->lastError().number, client_error::kNoCurrentRecord);
    EXPECT_TRUE(rs->value("ID").isNull());

    conn_->clearError();
    rs->moveFirst();
    EXPECT_TRUE(rs->value("NO_SUCH_FIELD").isNull());
    EXPECT_EQ(conn_->lastError().number, client_error::kItemNotFound);
}

TEST_F(OdbcSqlite, EmptySetIsAtBothEndsAndBadQueryFailsTheOpen) {
    auto rs = conn_->openRecordset("SELECT * FROM PROPIEDADES WHERE NOMBRE='none'", CursorType::ForwardOnly,
                                   LockType::ReadOnly);
    ASSERT_TRUE(rs);
    EXPECT_TRUE(rs->bof());
    EXPECT_TRUE(rs->eof());
    EXPECT_EQ(rs->recordCount(), -1);  // forward-only sets do not count
    EXPECT_EQ(rs->fieldCount(), 3u);

    conn_->clearError();
    EXPECT_EQ(conn_->openRecordset("SELECT * FROM NO_SUCH_TABLE", CursorType::Static, LockType::ReadOnly), nullptr);
    EXPECT_TRUE(conn_->hasError());
    EXPECT_EQ(conn_->lastError().nativeError, 1);
    EXPECT_NE(conn_->lastError().description.find("no such table"), std::string::npos);
}

TEST_F(OdbcSqlite, UpdatableSetEditsAddsAndCancels) {
    ASSERT_TRUE(conn_->execute("INSERT INTO PROPIEDADES VALUES ('IVATAB','VERSION','1001')"));
    auto rs = conn_->openRecordset("SELECT * FROM PROPIEDADES WHERE OBJETO='IVATAB' AND NOMBRE='VERSION'",
                                   CursorType::Dynamic, LockType::Optimistic);
    ASSERT_TRUE(rs);
    ASSERT_TRUE(rs->isUpdatable());
    ASSERT_TRUE(rs->setValue("valor", Variant::text("1002")));
    EXPECT_EQ(rs->editMode(), EditMode::InProgress);
    EXPECT_EQ(rs->text("VALOR"), "1002");
    ASSERT_TRUE(rs->update()) << conn_->lastError().description;
    EXPECT_EQ(rs->editMode(), EditMode::None);
    EXPECT_EQ(count("SELECT COUNT(*) FROM PROPIEDADES WHERE VALOR='1002'"), 1);

    // A new row: only the assigned columns are sent; the others take their defaults.
    ASSERT_TRUE(rs->addNew());
    EXPECT_FALSE(rs->eof());
    ASSERT_TRUE(rs->setValue("OBJETO", Variant::text("PAISES")));
    ASSERT_TRUE(rs->setValue("NOMBRE", Variant::text("VERSION")));
    ASSERT_TRUE(rs->update()) << conn_->lastError().description;
    EXPECT_EQ(rs->text("OBJETO"), "PAISES");
    EXPECT_EQ(count("SELECT COUNT(*) FROM PROPIEDADES WHERE OBJETO='PAISES' AND VALOR=''"), 1);
    // The new row holds the default the server gave it, so it can be edited at once.
    EXPECT_FALSE(rs->value("VALOR").isNull());
    ASSERT_TRUE(rs->setValue("VALOR", Variant::text("5")));
    ASSERT_TRUE(rs->update()) << conn_->lastError().description;
    EXPECT_EQ(count("SELECT VALOR FROM PROPIEDADES WHERE OBJETO='PAISES'"), 5);

    // An edit that is cancelled changes nothing.
    rs->moveFirst();
    ASSERT_TRUE(rs->setValue("VALOR", Variant::text("9999")));
    ASSERT_TRUE(rs->cancelUpdate());
    EXPECT_EQ(rs->text("VALOR"), "1002");
    EXPECT_EQ(count("SELECT COUNT(*) FROM PROPIEDADES WHERE VALOR='9999'"), 0);
}

TEST_F(OdbcSqlite, FailedSaveLeavesTheErrorPendingAndTheRowCancellable) {
    ASSERT_TRUE(conn_->execute("INSERT INTO PROPIEDADES VALUES ('A','VERSION','1')"));
    auto rs = conn_->openRecordset("SELECT * FROM PROPIEDADES", CursorType::Dynamic, LockType::Optimistic);
    ASSERT_TRUE(rs);
    ASSERT_TRUE(rs->addNew());
    ASSERT_TRUE(rs->setValue("OBJETO", Variant::text("A")));
    ASSERT_TRUE(rs->setValue("NOMBRE", Variant::text("VERSION")));  // duplicate key
    conn_->clearError();
    Status saved = rs->update();
    ASSERT_FALSE(saved);
    EXPECT_EQ(saved.error().nativeError, 19);
    EXPECT_TRUE(conn_->hasError());
    EXPECT_EQ(rs->editMode(), EditMode::Add);
    ASSERT_TRUE(rs->cancelUpdate());
    EXPECT_EQ(rs->editMode(), EditMode::None);
    EXPECT_EQ(rs->text("OBJETO"), "A");
    EXPECT_EQ(count("SELECT COUNT(*) FROM PROPIEDADES"), 1);

    // NULL into a NOT NULL column: refused by the server, not by the client.
    ASSERT_TRUE(rs->setValue("VALOR", Variant()));
    EXPECT_FALSE(rs->update());
    EXPECT_EQ(rs->editMode(), EditMode::InProgress);
    rs->cancelUpdate();
    EXPECT_EQ(count("SELECT COUNT(*) FROM PROPIEDADES WHERE VALOR='1'"), 1);
}

TEST_F(OdbcSqlite, UpdateOfARowChangedMeanwhileIsRefused) {
    ASSERT_TRUE(conn_->execute("INSERT INTO PROPIEDADES VALUES ('A','VERSION','1')"));
    auto rs = conn_->openRecordset("SELECT * FROM PROPIEDADES", CursorType::Dynamic, LockType::Optimistic);
    ASSERT_TRUE(rs);
    ASSERT_TRUE(conn_->execute("UPDATE PROPIEDADES SET VALOR='2'"));
    ASSERT_TRUE(rs->setValue("VALOR", Variant::text("3")));
    Status saved = rs->update();
    ASSERT_FALSE(saved);
    EXPECT_EQ(saved.error().number, client_error::kRowNotLocated);
    EXPECT_EQ(count("SELECT VALOR FROM PROPIEDADES"), 2);
}

TEST_F(OdbcSqlite, WithoutAKeyEveryColumnFindsTheRowAndDuplicatesAreNotTouched) {
    ASSERT_TRUE(conn_->execute("CREATE TABLE SINCLAVE (A VARCHAR(10), B INTEGER)"));
    ASSERT_TRUE(conn_->execute("INSERT INTO SINCLAVE VALUES ('x', 1)"));
    ASSERT_TRUE(conn_->execute("INSERT INTO SINCLAVE VALUES ('x', 1)"));
    ASSERT_TRUE(conn_->execute("INSERT INTO SINCLAVE VALUES ('y', NULL)"));
    auto rs = conn_->openRecordset("select A, B from SINCLAVE order by A", CursorType::Dynamic, LockType::Optimistic);
    ASSERT_TRUE(rs);
    ASSERT_TRUE(rs->setValue("B", Variant::integer(5)));
    Status ambiguous = rs->update();
    ASSERT_FALSE(ambiguous);
    EXPECT_EQ(ambiguous.error().number, client_error::kRowNotLocated);
    rs->cancelUpdate();
    EXPECT_EQ(count("SELECT COUNT(*) FROM SINCLAVE WHERE B=1"), 2) << "the refused update was not rolled back";

    rs->moveNext();
    rs->moveNext();
    ASSERT_EQ(rs->text("A"), "y");
    ASSERT_TRUE(rs->setValue("B", Variant::text("7")));  // text into an integer column
    ASSERT_TRUE(rs->update()) << conn_->lastError().description;
    EXPECT_EQ(count("SELECT B FROM SINCLAVE WHERE A='y'"), 7);
}

TEST_F(OdbcSqlite, ReadOnlySetsAndComputedColumnsCannotBeWritten) {
    ASSERT_TRUE(conn_->execute("INSERT INTO PROPIEDADES VALUES ('A','VERSION','1')"));
    auto ro = conn_->openRecordset("SELECT * FROM PROPIEDADES", CursorType::Static, LockType::ReadOnly);
    ASSERT_TRUE(ro);
    EXPECT_FALSE(ro->isUpdatable());
    EXPECT_EQ(ro->setValue("VALOR", Variant::text("2")).error().number, client_error::kNotUpdatable);
    EXPECT_FALSE(ro->addNew());

    ASSERT_TRUE(conn_->execute("CREATE TABLE OTRA (X INTEGER)"));
    ASSERT_TRUE(conn_->execute("INSERT INTO OTRA VALUES (1)"));
    auto joined = conn_->openRecordset("SELECT a.VALOR, o.X FROM PROPIEDADES a, OTRA o", CursorType::Dynamic,
                                       LockType::Optimistic);
    ASSERT_TRUE(joined);
    EXPECT_FALSE(joined->isUpdatable());

    auto counted = conn_->openRecordset("SELECT COUNT(*) AS N FROM PROPIEDADES", CursorType::Dynamic, LockType::Optimistic);
    ASSERT_TRUE(counted);
    EXPECT_FALSE(counted->isUpdatable());

    // A computed column beside real ones: the real ones can be written, it cannot.
    auto mixed = conn_->openRecordset("SELECT VALOR, 'k' AS K FROM PROPIEDADES", CursorType::Dynamic, LockType::Optimistic);
    ASSERT_TRUE(mixed);
    ASSERT_TRUE(mixed->isUpdatable());
    ASSERT_TRUE(mixed->setValue("K", Variant::text("z")));
    EXPECT_EQ(mixed->update().error().number, client_error::kNotUpdatable);
    mixed->cancelUpdate();
    ASSERT_TRUE(mixed->setValue("VALOR", Variant::text("2")));
    EXPECT_TRUE(mixed->update());
    EXPECT_EQ(count("SELECT VALOR FROM PROPIEDADES"), 2);
}

TEST_F(OdbcSqlite, TransactionsCommitAndRollBack) {
    ASSERT_TRUE(conn_->beginTransaction());
    ASSERT_TRUE(conn_->execute("INSERT INTO PROPIEDADES VALUES ('T','1','x')"));
    ASSERT_TRUE(conn_->rollbackTransaction());
    EXPECT_EQ(count("SELECT COUNT(*) FROM PROPIEDADES"), 0);

    ASSERT_TRUE(conn_->beginTransaction());
    ASSERT_TRUE(conn_->execute("INSERT INTO PROPIEDADES VALUES ('T','2','x')"));
    // A saved row inside the caller's transaction belongs to it.
    auto rs = conn_->openRecordset("SELECT * FROM PROPIEDADES", CursorType::Dynamic, LockType::Optimistic);
    ASSERT_TRUE(rs);
    ASSERT_TRUE(rs->addNew());
    rs->setValue("OBJETO", Variant::text("T"));
    rs->setValue("NOMBRE", Variant::text("3"));
    ASSERT_TRUE(rs->update());
    ASSERT_TRUE(conn_->rollbackTransaction());
    EXPECT_EQ(count("SELECT COUNT(*) FROM PROPIEDADES"), 0);
    EXPECT_FALSE(conn_->commitTransaction());
}

TEST_F(OdbcSqlite, EveryStatementIsTracedWithItsOutcomeButNeverThePassword) {
    const std::string tracePath = dir_.file("trace.txt");
    ScopedEnv trace("ACTUALIZA_TRACE", tracePath);
    auto conn = open("p4ss;w0rd}");
    ASSERT_TRUE(conn->isOpen());
    conn->execute("INSERT INTO PROPIEDADES (OBJETO, NOMBRE)\r\nVALUES ('a','b')");
    conn->execute("INSERT INTO PROPIEDADES (OBJETO, NOMBRE) VALUES ('a','b')");
    auto rs = conn->openRecordset("SELECT * FROM PROPIEDADES", CursorType::Dynamic, LockType::Optimistic);
    ASSERT_TRUE(rs);
    rs->setValue("VALOR", Variant::text("v"));
    rs->update();
    rs->addNew();
    rs->setValue("OBJETO", Variant::text("c"));
    rs->update();

    const auto records = trace::readFile(tracePath);
    ASSERT_EQ(records.size(), 6u);
    EXPECT_EQ(records[0].kind, "connect");
    EXPECT_EQ(records[0].statement, "");
    EXPECT_EQ(records[1].statement, "INSERT INTO PROPIEDADES (OBJETO, NOMBRE)\r\nVALUES ('a','b')");
    EXPECT_EQ(records[1].outcome, "ok");
    EXPECT_EQ(records[1].kind, "execute");
    EXPECT_EQ(records[1].database, dir_.file("test.db"));
    EXPECT_EQ(records[2].outcome, "19");
    EXPECT_EQ(records[3].kind, "open");
    EXPECT_EQ(records[4].kind, "update");
    EXPECT_EQ(records[4].statement,
              "UPDATE \"PROPIEDADES\" SET \"VALOR\"=? WHERE \"OBJETO\"=? AND \"NOMBRE\"=? AND \"VALOR\"=?");
    EXPECT_EQ(records[5].kind, "insert");
    EXPECT_EQ(records[5].statement, "INSERT INTO \"PROPIEDADES\" (\"OBJETO\") VALUES (?)");

    std::ifstream in(tracePath);
    const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(all.find("p4ss"), std::string::npos);
}

TEST(OdbcOpen, UnknownDriverGivesAClosedConnectionWithTheErrorPending) {
    ConnectionSettings s;
    s.server = "localhost";
    s.database = "Vardex";
    auto conn = odbc::openConnection(s, "No Such Driver 99");
    EXPECT_FALSE(conn->isOpen());
    ASSERT_TRUE(conn->hasError());
    EXPECT_EQ(conn->lastError().number, client_error::kConnectionFailed);
    EXPECT_FALSE(conn->lastError().description.empty());
    conn->clearError();
    EXPECT_EQ(conn->execute("select 1").error().number, client_error::kObjectClosed);
    EXPECT_EQ(conn->openRecordset("select 1", CursorType::Static, LockType::ReadOnly), nullptr);
    EXPECT_EQ(conn->currentDatabase(), "");
}

TEST(OdbcOpen, ConnectRoutesNonDirectoryServersThroughTheDriverOverride) {
    const std::string driver = sqliteDriver();
    if (driver.empty()) GTEST_SKIP() << "the SQLite 3 ODBC driver is not installed";
    TempDir dir;
    ScopedEnv override("ACTUALIZA_ODBC_DRIVER", driver);
    auto conn = connect("Server=localhost;uid=sa;pwd={x;y};database=" + quoteValue(dir.file("c.db")));
    ASSERT_TRUE(conn->isOpen()) << conn->lastError().description;
    EXPECT_TRUE(conn->execute("create table t (a int)"));
    EXPECT_FALSE(conn->currentDatabase().empty());
}

}  // namespace
}  // namespace db

namespace db {
namespace {

// The SQL Server drivers are driven through the wide calls. The SQLite driver has none,
// so the driver manager maps them: enough to run the wide path on plain ASCII text.
TEST(OdbcWidePath, ExecutesReadsWritesAndReportsThroughTheWideCalls) {
    const std::string driver = sqliteDriver();
    if (driver.empty()) GTEST_SKIP() << "the SQLite 3 ODBC driver is not installed";
    TempDir dir;
    ConnectionSettings s;
    s.server = "localhost";
    s.database = dir.file("wide.db");
    auto conn = odbc::openConnection(s, driver, odbc::Encoding::Utf16);
    ASSERT_TRUE(conn->isOpen()) << conn->lastError().description;
    ASSERT_TRUE(conn->execute("CREATE TABLE W (K INTEGER PRIMARY KEY, V VARCHAR(20))"));
    Status bad = conn->execute("CREATE TABLE W (K INTEGER)");
    ASSERT_FALSE(bad);
    EXPECT_EQ(bad.error().nativeError, 1);
    EXPECT_NE(bad.error().description.find("already exists"), std::string::npos) << bad.error().description;

    auto rs = conn->openRecordset("SELECT K, V FROM W", CursorType::Dynamic, LockType::Optimistic);
    ASSERT_TRUE(rs);
    ASSERT_TRUE(rs->addNew());
    rs->setValue("K", Variant::integer(7));
    rs->setValue("V", Variant::text("seven"));
    ASSERT_TRUE(rs->update()) << conn->lastError().description;
    ASSERT_TRUE(rs->setValue("V", Variant::text("SEVEN")));
    ASSERT_TRUE(rs->update()) << conn->lastError().description;

    auto check = conn->openRecordset("SELECT V AS Texto FROM W WHERE K = 7", CursorType::Static, LockType::ReadOnly);
    ASSERT_TRUE(check);
    EXPECT_EQ(check->field(0).name, "Texto");
    EXPECT_EQ(check->text("texto"), "SEVEN");
}

}  // namespace
}  // namespace db
