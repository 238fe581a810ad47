// The embedded driver against the engine itself: connections to a data directory,
// statements and their server errors, record sets, updatable sets over row identities.
#include <gtest/gtest.h>

#include "db/connect.h"
#include "db/trace.h"
#include "engine/session.h"
#include "test_support.h"

namespace db {
namespace {

using testing::ScopedEnv;
using testing::TempDir;

class EmbeddedTest : public ::testing::Test {
protected:
    void SetUp() override {
        server_ = (dir_.path() / "datos").string();
        engine::SessionOptions options;
        options.createDataDirectory = true;
        auto admin = engine::Session::open(server_, "", options);
        ASSERT_TRUE(admin.session);
        ASSERT_FALSE(admin.session->execute("CREATE DATABASE Vardex").hasErrors());
        admin.session->close();
        conn_ = open("vardex");
        ASSERT_TRUE(conn_->isOpen()) << conn_->lastError().description;
        ASSERT_TRUE(conn_->execute("CREATE TABLE PROPIEDADES(OBJETO VARCHAR(128) NOT NULL DEFAULT(''), "
                                   "NOMBRE VARCHAR(128) NOT NULL DEFAULT(''),VALOR VARCHAR(128) NOT NULL DEFAULT(''))"));
        ASSERT_TRUE(conn_->execute("CREATE UNIQUE INDEX PROIDX ON PROPIEDADES (OBJETO,NOMBRE)"));
    }

    std::unique_ptr<Connection> open(const std::string& database) {
        return connect("Server=" + quoteValue(server_) + ";database=" + quoteValue(database) +
                       ";Integrated Security=SSPI");
    }

    long count(const std::string& sql) {
        auto rs = conn_->openRecordset(sql, CursorType::ForwardOnly, LockType::ReadOnly);
        if (!rs || rs->eof()) return -1;
        return static_cast<long>(rs->value(size_t{0}).toNumber());
    }

    TempDir dir_;
    std::string server_;
    std::unique_ptr<Connection> conn_;
};

TEST_F(EmbeddedTest, ReportsTheDatabaseNameAsStoredAndFailsOnMissingOnes) {
    EXPECT_EQ(conn_->currentDatabase(), "Vardex");
    auto missing = open("Empresa_0002");
    EXPECT_FALSE(missing->isOpen());
    EXPECT_EQ(missing->lastError().nativeError, 4060);
    EXPECT_NE(missing->lastError().description.find("Empresa_0002"), std::string::npos);

    auto nowhere = connect("Server=" + quoteValue((dir_.path() / "no-such-dir").string()) + ";database=Vardex");
    EXPECT_FALSE(nowhere->isOpen());
    EXPECT_TRUE(nowhere->hasError());
    EXPECT_FALSE(nowhere->lastError().description.empty());
}

TEST_F(EmbeddedTest, LoginsReadDateStringsDayFirstAsSpanishLoginsDo) {
    ASSERT_TRUE(conn_->execute("CREATE TABLE F (D datetime)"));
    ASSERT_TRUE(conn_->execute("INSERT INTO F VALUES ('31/12/1899')"));
    ASSERT_TRUE(conn_->execute("INSERT INTO F VALUES ('02/01/2013')"));
    EXPECT_EQ(count("SELECT COUNT(*) FROM F WHERE D = {d '1899-12-31'}"), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM F WHERE D = {d '2013-01-02'}"), 1);
}

TEST_F(EmbeddedTest, ServerErrorsAreNativeNumbersAndMessagesAreNotErrors) {
    ASSERT_TRUE(conn_->execute("Alter Table PROPIEDADES ADD Bic varchar (15) NOT NULL DEFAULT('') "));
    Status again = conn_->execute("Alter Table PROPIEDADES ADD Bic varchar (15) NOT NULL DEFAULT('') ");
    ASSERT_FALSE(again);
    EXPECT_EQ(again.error().nativeError, 2705);
    EXPECT_EQ(conn_->lastError().nativeError, 2705);
    conn_->clearError();
    Status missing = conn_->execute("Alter Table NOEXISTE ADD Bic varchar (15) ");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().nativeError, 4902);
    conn_->clearError();
    // PRINT sends an informational message only.
    EXPECT_TRUE(conn_->execute("PRINT 'hola'"));
    EXPECT_FALSE(conn_->hasError());
}

TEST_F(EmbeddedTest, RecordSetsReadTypedValues) {
    ASSERT_TRUE(conn_->execute("CREATE TABLE T (ID int, NOMBRE varchar(50), IMPORTE money, ALTA datetime, "
                               "ACTIVO bit, TASA decimal(5,2), NOTA varchar(10))"));
    ASSERT_TRUE(conn_->execute("INSERT INTO T VALUES (1, 'Almería', 12.5, '19860101 10:20:30', 1, 21.00, '')"));
    ASSERT_TRUE(conn_->execute("INSERT INTO T VALUES (2, 'Ávila', NULL, NULL, 0, NULL, NULL)"));
    auto rs = conn_->openRecordset("SELECT * FROM T ORDER BY ID", CursorType::Static, LockType::ReadOnly);
    ASSERT_TRUE(rs) << conn_->lastError().description;
    EXPECT_EQ(rs->field(2).type, FieldType::Currency);
    EXPECT_EQ(rs->field(1).definedSize, 50);
    EXPECT_EQ(rs->value("id"), Variant::integer(1));
    EXPECT_EQ(rs->text("NOMBRE"), "Almería");
    EXPECT_EQ(rs->value("IMPORTE"), Variant::currency(125000));
    EXPECT_EQ(rs->value("ALTA"), Variant::dateTime(DateTime{1986, 1, 1, 10, 20, 30, 0}));
    EXPECT_EQ(rs->value("ACTIVO"), Variant::boolean(true));
    EXPECT_EQ(rs->text("TASA"), "21");
    EXPECT_FALSE(rs->value("NOTA").isNull());
    rs->moveNext();
    EXPECT_TRUE(rs->value("IMPORTE").isNull());
    EXPECT_TRUE(rs->value("NOTA").isNull());
    rs->moveNext();
    EXPECT_TRUE(rs->eof());
}

TEST_F(EmbeddedTest, UpdatableSetsWriteThroughRowIdentities) {
    auto rs = conn_->openRecordset("SELECT * FROM PROPIEDADES WHERE OBJETO='IVATAB' AND NOMBRE='VERSION'",
                                   CursorType::Dynamic, LockType::Optimistic);
    ASSERT_TRUE(rs) << conn_->lastError().description;
    ASSERT_TRUE(rs->bof() && rs->eof());
    ASSERT_TRUE(rs->isUpdatable());
    ASSERT_TRUE(rs->addNew());
    rs->setValue("OBJETO", Variant::text("IVATAB"));
    rs->setValue("NOMBRE", Variant::text("VERSION"));
    rs->setValue("VALOR", Variant::text("1001"));
    ASSERT_TRUE(rs->update()) << conn_->lastError().description;
    ASSERT_TRUE(rs->setValue("VALOR", Variant::text("1002")));
    ASSERT_TRUE(rs->update()) << conn_->lastError().description;
    EXPECT_EQ(count("SELECT COUNT(*) FROM PROPIEDADES WHERE VALOR='1002'"), 1);

    // A new row with only some columns: the rest take their defaults.
    ASSERT_TRUE(rs->addNew());
    rs->setValue("OBJETO", Variant::text("PAISES"));
    ASSERT_TRUE(rs->update());
    EXPECT_EQ(count("SELECT COUNT(*) FROM PROPIEDADES WHERE OBJETO='PAISES' AND NOMBRE='' AND VALOR=''"), 1);
    EXPECT_EQ(rs->value("NOMBRE"), Variant::text(""));  // the default, as stored

    // A duplicate key is the server's 2601; the row stays pending until cancelled.
    ASSERT_TRUE(rs->addNew());
    rs->setValue("OBJETO", Variant::text("IVATAB"));
    rs->setValue("NOMBRE", Variant::text("VERSION"));
    conn_->clearError();
    Status dup = rs->update();
    ASSERT_FALSE(dup);
    EXPECT_EQ(dup.error().nativeError, 2601);
    EXPECT_TRUE(conn_->hasError());
    EXPECT_EQ(rs->editMode(), EditMode::Add);
    ASSERT_TRUE(rs->cancelUpdate());
    EXPECT_EQ(count("SELECT COUNT(*) FROM PROPIEDADES"), 2);

    // NULL into a NOT NULL column is the server's 515.
    rs->moveFirst();
    ASSERT_TRUE(rs->setValue("VALOR", Variant()));
    EXPECT_EQ(rs->update().error().nativeError, 515);
    rs->cancelUpdate();
}

TEST_F(EmbeddedTest, ARowChangedMeanwhileIsNotOverwritten) {
    ASSERT_TRUE(conn_->execute("INSERT INTO PROPIEDADES VALUES ('A','VERSION','1')"));
    auto rs = conn_->openRecordset("SELECT * FROM PROPIEDADES", CursorType::Dynamic, LockType::Optimistic);
    ASSERT_TRUE(rs);
    ASSERT_TRUE(conn_->execute("UPDATE PROPIEDADES SET VALOR='2'"));
    rs->setValue("VALOR", Variant::text("3"));
    EXPECT_EQ(rs->update().error().number, client_error::kRowNotLocated);
    EXPECT_EQ(count("SELECT VALOR FROM PROPIEDADES"), 2);
}

TEST_F(EmbeddedTest, RowOperationsAreTraced) {
    const std::string tracePath = dir_.file("trace.txt");
    ScopedEnv trace("ACTUALIZA_TRACE", tracePath);
    auto conn = open("Vardex");
    auto rs = conn->openRecordset("SELECT * FROM PROPIEDADES", CursorType::Dynamic, LockType::Optimistic);
    ASSERT_TRUE(rs);
    rs->addNew();
    rs->setValue("OBJETO", Variant::text("X"));
    rs->update();
    rs->setValue("VALOR", Variant::text("v"));
    rs->update();
    const auto records = trace::readFile(tracePath);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].kind, "connect");
    EXPECT_EQ(records[0].database, "Vardex");
    EXPECT_EQ(records[1].statement, "SELECT * FROM PROPIEDADES");
    EXPECT_EQ(records[2].kind, "insert");
    EXPECT_EQ(records[2].statement, "INSERT INTO \"PROPIEDADES\" (\"OBJETO\") VALUES (?)");
    EXPECT_EQ(records[3].kind, "update");
    EXPECT_EQ(records[3].outcome, "ok");
    EXPECT_EQ(records[3].statement.rfind("UPDATE \"PROPIEDADES\" SET \"VALOR\"=? WHERE ROW_IDENTITY=", 0), 0u);
}

}  // namespace
}  // namespace db
