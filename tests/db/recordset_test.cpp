// Record-set and connection semantics that every driver shares, over an in-memory
// connection whose writer records what it is asked to save.
#include <gtest/gtest.h>

#include <algorithm>

#include "db/connection.h"
#include "db/trace.h"
#include "test_support.h"

namespace db {
namespace {

struct Saved {
    std::string kind;
    size_t row = 0;
    std::vector<std::optional<Variant>> values;
};

// Refuses every save while `fail` is set; queues updates (deferred saves) and refuses the
// queued rows whose value is "bad" when sent.
class RecordingWriter : public RowWriter {
public:
    RecordingWriter(std::vector<Saved>& log, bool& fail) : log_(log), fail_(fail) {}
    Status updateRow(size_t row, const std::vector<Variant>&, const std::vector<std::optional<Variant>>& changes) override {
        return save("update", row, changes);
    }
    std::optional<Status> queueUpdate(size_t row, const std::vector<Variant>&,
                                      const std::vector<std::optional<Variant>>& changes) override {
        queue_.push_back({"update", row, changes});
        return std::nullopt;
    }
    std::vector<Status> flush() override {
        std::vector<Status> outcomes;
        for (const Saved& s : queue_) {
            const bool bad = std::any_of(s.values.begin(), s.values.end(),
                                         [](const auto& v) { return v && *v == Variant::text("bad"); });
            outcomes.push_back(bad ? Status(Error{client_error::kErrorsInCommand, 8152, "22001", "String or binary data would be truncated."})
                                   : save("update", s.row, s.values));
        }
        queue_.clear();
        return outcomes;
    }
    Status insertRow(size_t row, const std::vector<std::optional<Variant>>& values, std::vector<Variant>&) override {
        return save("insert", row, values);
    }

private:
    Status save(const char* kind, size_t row, const std::vector<std::optional<Variant>>& values) {
        if (fail_) return Status(Error{client_error::kErrorsInCommand, 2627, "23000", "Violation of PRIMARY KEY constraint"});
        log_.push_back({kind, row, values});
        return Status::success();
    }
    std::vector<Saved>& log_;
    bool& fail_;
    std::vector<Saved> queue_;
};

// Serves every query with the same rows; "fail" in a statement makes it fail with 208.
class MemoryConnection : public Connection {
public:
    MemoryConnection() : Connection("Memoria") {}
    RowSet rows;
    std::vector<Saved> saved;
    bool failSaves = false;

protected:
    bool doIsOpen() const override { return open_; }
    Status doExecute(std::string_view sql) override {
        if (sql.find("fail") != std::string_view::npos) {
            return Status(Error{client_error::kErrorsInCommand, 208, "42S02", "Invalid object name 'fail'."});
        }
        return Status::success();
    }
    Status doOpenRecordset(std::string_view sql, CursorType, LockType, OpenedSet& out) override {
        if (Status s = doExecute(sql); !s) return s;
        out.rows = rows;
        out.writer = std::make_unique<RecordingWriter>(saved, failSaves);
        return Status::success();
    }
    std::string doCurrentDatabase() override { return "Memoria"; }
    void doClose() override { open_ = false; }
    Status doBeginTransaction() override { return Status::success(); }
    Status doCommitTransaction() override { return Status::success(); }
    Status doRollbackTransaction() override { return Status::success(); }

private:
    bool open_ = true;
};

FieldInfo field(const char* name) {
    FieldInfo f;
    f.name = name;
    f.type = FieldType::VarChar;
    return f;
}

class RecordsetTest : public ::testing::Test {
protected:
    void SetUp() override {
        conn_.rows.fields = {field("NOMBRE"), field("VALOR")};
        conn_.rows.rows = {{Variant::text("A"), Variant::text("1")}, {Variant::text("B"), Variant()}};
    }
    std::unique_ptr<Recordset> open(LockType lock = LockType::Optimistic, CursorType cursor = CursorType::Dynamic) {
        return conn_.openRecordset("SELECT * FROM PROPIEDADES", cursor, lock);
    }
    MemoryConnection conn_;
};

TEST_F(RecordsetTest, PositionsFollowAdo) {
    auto rs = open();
    EXPECT_FALSE(rs->bof());
    EXPECT_FALSE(rs->eof());
    EXPECT_EQ(rs->absolutePosition(), 1);
    EXPECT_EQ(rs->text("nombre"), "A");
    EXPECT_EQ(rs->value(1).toText(), "1");
    ASSERT_TRUE(rs->moveNext());
    EXPECT_EQ(rs->absolutePosition(), 2);
    ASSERT_TRUE(rs->moveNext());
    EXPECT_TRUE(rs->eof());
    EXPECT_FALSE(rs->bof());
    EXPECT_EQ(rs->absolutePosition(), -1);
    EXPECT_EQ(rs->moveNext().error().number, client_error::kNoCurrentRecord);
    EXPECT_EQ(rs->value(size_t{5}).kind(), Variant::Kind::Null);
    EXPECT_EQ(conn_.lastError().number, client_error::kItemNotFound);

    conn_.rows.rows.clear();
    auto empty = open();
    EXPECT_TRUE(empty->bof());
    EXPECT_TRUE(empty->eof());
    EXPECT_EQ(empty->recordCount(), 0);
    EXPECT_EQ(open(LockType::ReadOnly, CursorType::ForwardOnly)->recordCount(), -1);
}

TEST_F(RecordsetTest, EditsAreBufferedUntilSavedAndMovingSavesThem) {
    auto rs = open();
    ASSERT_TRUE(rs->setValue("VALOR", Variant::text("9")));
    EXPECT_EQ(rs->text("VALOR"), "9");
    EXPECT_TRUE(conn_.saved.empty());
    ASSERT_TRUE(rs->moveNext());  // saves the pending edit first
    ASSERT_EQ(conn_.saved.size(), 1u);
    EXPECT_EQ(conn_.saved[0].kind, "update");
    EXPECT_EQ(conn_.saved[0].row, 0u);
    EXPECT_FALSE(conn_.saved[0].values[0].has_value());
    EXPECT_EQ(*conn_.saved[0].values[1], Variant::text("9"));
    rs->moveFirst();
    EXPECT_EQ(rs->text("VALOR"), "9");
}

TEST_F(RecordsetTest, AddNewAppendsOnSaveAndCancelReturnsToThePreviousRow) {
    auto rs = open();
    rs->moveNext();
    ASSERT_TRUE(rs->addNew());
    EXPECT_FALSE(rs->eof());
    EXPECT_TRUE(rs->value("NOMBRE").isNull());
    ASSERT_TRUE(rs->cancelUpdate());
    EXPECT_EQ(rs->text("NOMBRE"), "B");

    ASSERT_TRUE(rs->addNew());
    rs->setValue("NOMBRE", Variant::text("C"));
    ASSERT_TRUE(rs->update());
    ASSERT_EQ(conn_.saved.size(), 1u);
    EXPECT_EQ(conn_.saved[0].kind, "insert");
    EXPECT_EQ(conn_.saved[0].row, 2u);
    EXPECT_EQ(rs->text("NOMBRE"), "C");
    EXPECT_EQ(rs->recordCount(), 3);
    EXPECT_EQ(rs->absolutePosition(), 3);
}

TEST_F(RecordsetTest, AFailedSaveKeepsTheBufferAndTheErrorPending) {
    auto rs = open();
    conn_.failSaves = true;
    rs->setValue("VALOR", Variant::text("x"));
    Status s = rs->update();
    ASSERT_FALSE(s);
    EXPECT_EQ(conn_.lastError().nativeError, 2627);
    EXPECT_EQ(rs->editMode(), EditMode::InProgress);
    EXPECT_EQ(rs->text("VALOR"), "x");
    EXPECT_FALSE(rs->moveNext());  // the implicit save fails the same way
    EXPECT_EQ(rs->absolutePosition(), 1);
    rs->cancelUpdate();
    EXPECT_EQ(rs->text("VALOR"), "1");
    EXPECT_TRUE(rs->moveNext());
}

TEST_F(RecordsetTest, DeferredSavesAreSentBeforeAnythingElseAndEachRowKeepsItsOutcome) {
    conn_.rows.rows.push_back({Variant::text("C"), Variant::text("2")});
    auto rs = open();
    std::vector<bool> outcomes;
    rs->deferUpdates([&](const Status& s) { outcomes.push_back(s.ok()); });
    for (const char* v : {"9", "bad", "7"}) {
        conn_.clearError();
        rs->setValue("VALOR", Variant::text(v));
        ASSERT_TRUE(rs->update());
        rs->moveNext();
    }
    EXPECT_TRUE(conn_.saved.empty());
    EXPECT_TRUE(outcomes.empty());
    conn_.execute("select 1");  // the queue goes first
    EXPECT_EQ(outcomes, (std::vector<bool>{true, false, true}));
    ASSERT_EQ(conn_.saved.size(), 2u);
    EXPECT_EQ(conn_.saved[1].row, 2u);
    EXPECT_FALSE(conn_.hasError());  // as clearError(); update() of the last row left it
    rs->moveFirst();
    EXPECT_EQ(rs->text("VALOR"), "9");
    rs->moveNext();
    EXPECT_TRUE(rs->value("VALOR").isNull());  // the refused row is cancelled

    // A queued row is sent before it is read again; a refusal of the last row stays pending.
    rs->setValue("VALOR", Variant::text("bad"));
    ASSERT_TRUE(rs->update());
    EXPECT_EQ(outcomes.size(), 3u);
    EXPECT_TRUE(rs->value("VALOR").isNull());
    EXPECT_EQ(outcomes.size(), 4u);
    EXPECT_EQ(conn_.lastError().nativeError, 8152);

    // Another set's save waits for the queued rows; so does closing.
    auto other = open();
    rs->moveFirst();
    rs->setValue("VALOR", Variant::text("5"));
    rs->update();
    other->setValue("VALOR", Variant::text("6"));
    ASSERT_TRUE(other->update());
    ASSERT_EQ(conn_.saved.size(), 4u);
    EXPECT_EQ(*conn_.saved[2].values[1], Variant::text("5"));
    EXPECT_EQ(*conn_.saved[3].values[1], Variant::text("6"));
    rs->moveNext();
    rs->setValue("VALOR", Variant::text("8"));
    rs->update();
    rs->close();
    EXPECT_EQ(conn_.saved.size(), 5u);
    EXPECT_EQ(outcomes.size(), 6u);
}

TEST_F(RecordsetTest, ReadOnlySetsAndClosedSetsRefuseChanges) {
    auto ro = open(LockType::ReadOnly);
    EXPECT_FALSE(ro->isUpdatable());
    EXPECT_EQ(ro->setValue("VALOR", Variant::text("x")).error().number, client_error::kNotUpdatable);
    EXPECT_EQ(ro->addNew().error().number, client_error::kNotUpdatable);
    auto rs = open();
    EXPECT_EQ(rs->setValue("NOPE", Variant()).error().number, client_error::kItemNotFound);
    rs->moveNext();
    rs->moveNext();
    EXPECT_EQ(rs->setValue("VALOR", Variant::text("x")).error().number, client_error::kNoCurrentRecord);
    rs->close();
    EXPECT_FALSE(rs->isOpen());
    EXPECT_EQ(rs->moveFirst().error().number, client_error::kObjectClosed);
}

TEST_F(RecordsetTest, PendingErrorsAndTheTraceOfTheConnection) {
    testing::TempDir dir;
    testing::ScopedEnv trace("ACTUALIZA_TRACE", dir.file("t.txt"));
    EXPECT_FALSE(conn_.hasError());
    EXPECT_FALSE(conn_.execute("select * from fail"));
    EXPECT_EQ(conn_.lastError().nativeError, 208);
    EXPECT_EQ(conn_.errors().size(), 1u);
    EXPECT_TRUE(conn_.execute("select 1\nfrom x"));
    EXPECT_EQ(conn_.lastError().nativeError, 208);  // success leaves it pending
    EXPECT_EQ(conn_.openRecordset("fail", CursorType::Static, LockType::ReadOnly), nullptr);
    conn_.clearError();
    EXPECT_EQ(conn_.lastError(), Error{});
    conn_.close();
    EXPECT_FALSE(conn_.isOpen());
    EXPECT_EQ(conn_.execute("select 1").error().number, client_error::kObjectClosed);
    EXPECT_EQ(conn_.currentDatabase(), "");

    const auto records = trace::readFile(dir.file("t.txt"));
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].outcome, "208");
    EXPECT_EQ(records[1].statement, "select 1\nfrom x");
    EXPECT_EQ(records[1].database, "Memoria");
    EXPECT_EQ(records[2].kind, "open");
    EXPECT_EQ(records[3].outcome, "0");  // refused by the client: no server number
}

TEST(Trace, RecordsSurviveEveryCharacter) {
    const trace::Record record{"2705", "execute", "Empresa_0001", "a\tb\\nc\r\nd\\"};
    const std::string line = trace::formatRecord(record);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    const auto back = trace::parseRecord(line);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->outcome, record.outcome);
    EXPECT_EQ(back->kind, record.kind);
    EXPECT_EQ(back->database, record.database);
    EXPECT_EQ(back->statement, record.statement);
    EXPECT_FALSE(trace::parseRecord("no tabs here"));
}

}  // namespace
}  // namespace db
