// Sessions of one process working at once: what one session's open transaction did stays
// out of the others' sight until it ends, concurrent changes are not lost, deadlocks and
// lock timeouts end as SQL Server ends them, and a running batch can be cancelled.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <thread>

#include "engine/session.h"

namespace {

using engine::BatchResult;
using engine::BatchSink;
using engine::Session;
using namespace std::chrono_literals;

// Long enough for a broken implementation to show itself, never reached by a working one.
constexpr auto kBlocked = 100ms;
// Bounds a wait for something that must happen.
constexpr auto kPatience = 20s;

class IsolationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("engine-isolation-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        engine::SessionOptions options;
        options.createDataDirectory = true;
        master_ = Session::open(dir_, "", options).session;
        ASSERT_TRUE(master_);
        for (const char* db : {"Iso", "Iso2"}) {
            exec(*master_, std::string("CREATE DATABASE ") + db);
            exec(*master_,
                 std::string("USE ") + db +
                     " CREATE TABLE T (id int PRIMARY KEY, v int) INSERT T VALUES (1, 0)");
        }
        exec(*master_, "USE master");
    }
    void TearDown() override {
        master_.reset();
        std::filesystem::remove_all(dir_);
    }

    static BatchResult exec(Session& s, const std::string& sql) {
        auto r = s.execute(sql);
        EXPECT_FALSE(r.hasErrors()) << sql << ": " << (r.firstError() ? r.firstError()->text : "");
        return r;
    }
    static int64_t scalar(Session& s, const std::string& sql) {
        auto r = exec(s, sql);
        if (r.resultSets.empty() || r.resultSets.back().rows.empty()) return -1;
        return r.resultSets.back().rows[0][0].asInt64();
    }
    std::unique_ptr<Session> open(const std::string& db = "Iso") {
        auto opened = Session::open(dir_, db);
        EXPECT_TRUE(opened.session);
        return std::move(opened.session);
    }
    // Runs a batch on another thread.
    static std::future<BatchResult> start(Session& s, std::string sql) {
        return std::async(std::launch::async, [&s, sql] { return s.execute(sql); });
    }

    std::filesystem::path dir_;
    std::unique_ptr<Session> master_;
};

// Records the transaction changes a batch announces, and tells when a PRINT 'started'
// came through (the batch is running).
class RecordingSink : public BatchSink {
  public:
    void resultSet(engine::ResultSet&&) override {}
    void message(const engine::SqlMessage& m) override {
        messages.push_back(m);
        if (m.text == "started") started.set_value();
    }
    void rowCount(const engine::RowCount&) override {}
    void transactionChanged(Transaction change) override { changes.push_back(change); }

    std::vector<engine::SqlMessage> messages;
    std::vector<Transaction> changes;
    std::promise<void> started;
};

// How an open transaction that inserted a row ends, and what a reader that waited for it
// then counts.
struct Ending {
    const char* name;
    int rowsSeen;
};

class TransactionEndTest : public IsolationTest, public ::testing::WithParamInterface<Ending> {};

TEST_P(TransactionEndTest, AReaderWaitsForTheWriterAndSeesOnlyWhatItCommitted) {
    auto writer = open();
    auto reader = open();
    exec(*writer, "BEGIN TRAN INSERT T VALUES (2, 0)");
    // Not readable, not even by a session that will not wait.
    auto refused = reader->execute("SET LOCK_TIMEOUT 0 SELECT COUNT(*) FROM T");
    ASSERT_TRUE(refused.firstError());
    EXPECT_EQ(refused.firstError()->number, 1222);
    exec(*reader, "SET LOCK_TIMEOUT -1");

    auto read = start(*reader, "SELECT COUNT(*) FROM T");
    EXPECT_EQ(read.wait_for(kBlocked), std::future_status::timeout);
    std::string ending = GetParam().name;
    if (ending == "close") {
        writer->close();
    } else {
        exec(*writer, ending);
    }
    ASSERT_EQ(read.wait_for(kPatience), std::future_status::ready);
    auto r = read.get();
    ASSERT_FALSE(r.hasErrors());
    EXPECT_EQ(r.resultSets[0].rows[0][0].asInt64(), 1 + GetParam().rowsSeen);
    EXPECT_EQ(reader->transactionCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Endings, TransactionEndTest,
                         ::testing::Values(Ending{"COMMIT", 1}, Ending{"ROLLBACK", 0},
                                           Ending{"close", 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(IsolationTest, ConcurrentIncrementsAreNotLost) {
    const int threads = 4, times = 50;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            // Half of them from another database, through three-part names; half of each
            // inside transactions of several statements.
            auto s = open(t < 2 ? "Iso" : "Iso2");
            const std::string table = t < 2 ? "T" : "Iso.dbo.T";
            for (int i = 0; i < times; ++i) {
                std::string sql = "UPDATE " + table + " SET v = v + 1 WHERE id = 1";
                if (t == 3) sql = "UPDATE T SET v = v + 1 WHERE id = 1 " + sql;
                if (t % 2) sql = "BEGIN TRAN " + sql + " UPDATE " + table + " SET v = v WHERE id = 1 COMMIT";
                auto r = s->execute(sql);
                EXPECT_FALSE(r.hasErrors()) << (r.firstError() ? r.firstError()->text : "");
            }
        });
    }
    for (auto& w : workers)
        w.join();
    EXPECT_EQ(scalar(*master_, "SELECT v FROM Iso.dbo.T WHERE id = 1"), threads * times);
    EXPECT_EQ(scalar(*master_, "SELECT v FROM Iso2.dbo.T WHERE id = 1"), times);
}

// A sink that holds its batch inside the engine at PRINT 'started' until let go.
class HoldingSink : public RecordingSink {
  public:
    void message(const engine::SqlMessage& m) override {
        RecordingSink::message(m);
        if (m.text == "started") go.get_future().wait();
    }
    std::promise<void> go;
};

// A batch held inside the engine at PRINT 'started' (see HoldingSink) until release(), which
// the end of the scope does too, however the test ends; then waits for the batch to finish.
class HeldBatch {
  public:
    HeldBatch(engine::Session& session, std::string sql) {
        running_ = std::async(std::launch::async, [&session, sql, this] { session.execute(sql, sink_); });
        sink_.started.get_future().wait();
    }
    ~HeldBatch() { finish(); }
    void finish() {
        if (!released_) sink_.go.set_value();
        released_ = true;
        if (running_.valid()) running_.get();
    }

  private:
    HoldingSink sink_;
    std::future<void> running_;
    bool released_ = false;
};

TEST_F(IsolationTest, CallsInDifferentDatabasesRunAtOnceAndOneReachingPastItsOwnWaits) {
    auto inIso = open("Iso"), inIso2 = open("Iso2"), reaching = open("Iso2");
    HeldBatch held(*inIso, "PRINT 'started' UPDATE T SET v = 5 WHERE id = 1");
    auto own = start(*inIso2, "UPDATE T SET v = v + 1 WHERE id = 1 SELECT v FROM T");
    const bool ranAtOnce = own.wait_for(kPatience) == std::future_status::ready;
    EXPECT_TRUE(ranAtOnce) << "a call in another database waited for the held one";
    if (!ranAtOnce) return held.finish();
    auto r = own.get();
    ASSERT_FALSE(r.hasErrors());
    EXPECT_EQ(r.resultSets.back().rows[0][0].asInt64(), 1);

    auto past = start(*reaching, "SELECT v FROM Iso.dbo.T WHERE id = 1");
    EXPECT_EQ(past.wait_for(kBlocked), std::future_status::timeout)
        << "a call reaching into the held call's database did not wait for it";
    held.finish();
    r = past.get();
    ASSERT_FALSE(r.hasErrors());
    EXPECT_EQ(r.resultSets.back().rows[0][0].asInt64(), 5);
}

TEST_F(IsolationTest, ADeadlockEndsOneTransactionWith1205AndTheOtherCompletes) {
    auto a = open("Iso");
    auto b = open("Iso2");
    exec(*a, "BEGIN TRAN UPDATE T SET v = 10");
    exec(*b, "BEGIN TRAN UPDATE T SET v = 20");
    // Each now reads what the other changed.
    RecordingSink sinkA, sinkB;
    auto runA =
        std::async(std::launch::async, [&] { a->execute("SELECT v FROM Iso2.dbo.T", sinkA); });
    auto runB =
        std::async(std::launch::async, [&] { b->execute("SELECT v FROM Iso.dbo.T", sinkB); });
    ASSERT_EQ(runA.wait_for(kPatience), std::future_status::ready);
    ASSERT_EQ(runB.wait_for(kPatience), std::future_status::ready);

    bool aLost = !sinkA.messages.empty();
    Session& victim = aLost ? *a : *b;
    Session& survivor = aLost ? *b : *a;
    RecordingSink& lost = aLost ? sinkA : sinkB;
    RecordingSink& won = aLost ? sinkB : sinkA;
    ASSERT_EQ(lost.messages.size(), 1u);
    EXPECT_EQ(lost.messages[0].number, 1205);
    EXPECT_EQ(lost.messages[0].severity, 13);
    EXPECT_EQ(lost.messages[0].text,
              "Transaction (Process ID " + std::to_string(victim.id()) +
                  ") was deadlocked on lock resources with another process and has been chosen "
                  "as the deadlock victim. Rerun the transaction.");
    EXPECT_EQ(lost.changes, std::vector{BatchSink::Transaction::RolledBack});
    EXPECT_EQ(victim.transactionCount(), 0);
    EXPECT_TRUE(won.messages.empty());
    EXPECT_TRUE(won.changes.empty());
    EXPECT_EQ(survivor.transactionCount(), 1);

    exec(survivor, "COMMIT");
    int64_t iso = scalar(*master_, "SELECT v FROM Iso.dbo.T");
    int64_t iso2 = scalar(*master_, "SELECT v FROM Iso2.dbo.T");
    EXPECT_EQ(iso, aLost ? 0 : 10);
    EXPECT_EQ(iso2, aLost ? 20 : 0);
}

TEST_F(IsolationTest, LockTimeoutEndsTheStatementOnlyAndStatementsWithoutTablesNeverWait) {
    auto writer = open();
    exec(*writer, "BEGIN TRAN UPDATE T SET v = 1");
    auto other = open();
    // Would block (and fail with 1222 after no wait at all) if they took a lock.
    auto free = other->execute(
        "SET LOCK_TIMEOUT 0 SELECT 1 SELECT @@TRANCOUNT PRINT 'p' DECLARE @x int SET @x = 2 "
        "SELECT @@SPID, DB_NAME(), OBJECT_ID('T')");
    EXPECT_FALSE(free.hasErrors()) << (free.firstError() ? free.firstError()->text : "");

    auto r =
        other->execute("SET LOCK_TIMEOUT 30 UPDATE T SET v = 2 PRINT 'next' SELECT @@LOCK_TIMEOUT");
    ASSERT_EQ(r.messages.size(), 2u);
    EXPECT_EQ(r.messages[0].number, 1222);
    EXPECT_EQ(r.messages[0].severity, 16);
    EXPECT_EQ(r.messages[0].text, "Lock request time out period exceeded.");
    EXPECT_EQ(r.messages[1].text, "next");
    EXPECT_EQ(r.resultSets.back().rows[0][0].asInt64(), 30);
    exec(*writer, "COMMIT");
    EXPECT_EQ(scalar(*other, "SELECT v FROM T"), 1);
}

TEST_F(IsolationTest, RepeatableReadKeepsWhatTheTransactionReadUntilItEnds) {
    auto reader = open();
    auto writer = open();
    exec(*writer, "SET LOCK_TIMEOUT 0");
    for (const char* level : {"REPEATABLE READ", "SERIALIZABLE"}) {
        exec(*reader, std::string("SET TRANSACTION ISOLATION LEVEL ") + level +
                          " BEGIN TRAN SELECT COUNT(*) FROM T");
        auto refused = writer->execute("UPDATE T SET v = 1");
        ASSERT_TRUE(refused.firstError()) << level;
        EXPECT_EQ(refused.firstError()->number, 1222);
        exec(*reader, "COMMIT");
    }
    // READ COMMITTED (READ UNCOMMITTED reads as it does): the read's lock goes with it.
    exec(*reader,
         "SET TRANSACTION ISOLATION LEVEL READ UNCOMMITTED BEGIN TRAN SELECT COUNT(*) FROM T");
    exec(*writer, "UPDATE T SET v = 1");
    exec(*reader, "COMMIT");
    auto snapshot = reader->execute("SET TRANSACTION ISOLATION LEVEL SNAPSHOT");
    ASSERT_TRUE(snapshot.firstError());
    EXPECT_EQ(snapshot.firstError()->number, 3952);
}

TEST_F(IsolationTest, DropDatabaseWaitsForTheTransactionsWorkingInIt) {
    auto writer = open("master");
    exec(*writer, "BEGIN TRAN INSERT Iso2.dbo.T VALUES (5, 5)");
    // The last session whose current database it is leaves: it stays loaded and locked.
    open("Iso2").reset();
    auto drop = start(*master_, "SET LOCK_TIMEOUT 0 DROP DATABASE Iso2");
    EXPECT_EQ(drop.wait_for(kBlocked), std::future_status::timeout);
    EXPECT_EQ(scalar(*writer, "SELECT COUNT(*) FROM Iso2.dbo.T"), 2);
    exec(*writer, "ROLLBACK");
    ASSERT_EQ(drop.wait_for(kPatience), std::future_status::ready);
    EXPECT_FALSE(drop.get().hasErrors());
    EXPECT_EQ(scalar(*master_, "SELECT COUNT(*) FROM sys.databases WHERE name = 'Iso2'"), 0);
}

TEST_F(IsolationTest, SessionIdsAreDistinctFrom51) {
    auto a = open();
    auto b = open();
    EXPECT_GE(master_->id(), 51);
    EXPECT_NE(a->id(), b->id());
    EXPECT_NE(a->id(), master_->id());
    EXPECT_EQ(scalar(*a, "SELECT @@SPID"), a->id());
}

TEST_F(IsolationTest, ImplicitTransactionsAreAnnouncedOnceEach) {
    auto s = open();
    RecordingSink sink;
    s->execute(
        "SET IMPLICIT_TRANSACTIONS ON SELECT 1 INSERT T VALUES (3, 0) INSERT T VALUES (4, 0) "
        "COMMIT BEGIN TRAN SELECT COUNT(*) FROM T COMMIT ROLLBACK",
        sink);
    using C = BatchSink::Transaction;
    EXPECT_EQ(sink.changes, (std::vector{C::Began, C::Committed, C::Began, C::RolledBack}));
    EXPECT_EQ(s->transactionCount(), 0);
}

// Cancelling a running batch: a WAITFOR, a loop of statements, one long statement. The
// batch stops without a message; the transaction stays open unless XACT_ABORT is ON.
struct CancelCase {
    const char* name;
    const char* batch;
    bool xactAbort;
};

class CancelTest : public IsolationTest, public ::testing::WithParamInterface<CancelCase> {};

TEST_P(CancelTest, StopsTheBatchPromptlyAndTheStatementChangesNothing) {
    auto s = open();
    exec(*s, "CREATE TABLE Big (n int) INSERT Big VALUES (1), (2), (3), (4), (5), (6), (7), (8)");
    exec(*s, "INSERT Big SELECT a.n FROM Big a, Big b, Big c");  // 520 rows
    exec(*s, std::string("SET XACT_ABORT ") + (GetParam().xactAbort ? "ON" : "OFF"));
    s->cancel();  // nothing runs: forgotten
    exec(*s, "SELECT 1");
    EXPECT_FALSE(s->lastBatchCancelled());

    RecordingSink sink;
    auto started = sink.started.get_future();
    auto run = std::async(std::launch::async, [&] {
        s->execute(std::string("BEGIN TRAN UPDATE T SET v = 7 PRINT 'started' ") +
                       GetParam().batch + " PRINT 'not reached'",
                   sink);
    });
    ASSERT_EQ(started.wait_for(kPatience), std::future_status::ready);
    s->cancel();
    ASSERT_EQ(run.wait_for(kPatience), std::future_status::ready);
    EXPECT_TRUE(s->lastBatchCancelled());
    ASSERT_EQ(sink.messages.size(), 1u);  // 'started' only
    EXPECT_EQ(s->transactionCount(), GetParam().xactAbort ? 0 : 1);
    using C = BatchSink::Transaction;
    EXPECT_EQ(sink.changes.size(), GetParam().xactAbort ? 2u : 1u);
    EXPECT_EQ(sink.changes.back(), GetParam().xactAbort ? C::RolledBack : C::Began);

    exec(*s, "IF @@TRANCOUNT > 0 ROLLBACK");
    EXPECT_FALSE(s->lastBatchCancelled());
    EXPECT_EQ(scalar(*s, "SELECT COUNT(*) FROM Big"), 520);
    EXPECT_EQ(scalar(*s, "SELECT v FROM T"), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Batches, CancelTest,
    ::testing::Values(
        CancelCase{"WaitFor", "WAITFOR DELAY '00:00:30'", false},
        CancelCase{"WaitForUnderXactAbort", "WAITFOR DELAY '00:00:30'", true},
        CancelCase{"Loop", "WHILE 1 = 1 UPDATE Big SET n = n + 1", false},
        // Some seconds of work in one statement (a subquery over 520 x 520 rows per row).
        CancelCase{"LongStatement",
                   "INSERT Big SELECT a.n FROM Big a "
                   "WHERE (SELECT COUNT(*) FROM Big b, Big c WHERE b.n <= a.n) >= 0",
                   false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(IsolationTest, WaitForTimeWaitsUntilTheSessionClockShowsThatTime) {
    engine::SessionOptions options;
    // The clock GETDATE() reads says 10:00:00 (local time) whenever it is asked.
    std::tm tm{};
    tm.tm_year = 124;
    tm.tm_mon = 0;
    tm.tm_mday = 2;
    tm.tm_hour = 10;
    tm.tm_isdst = -1;
    auto ten = std::chrono::system_clock::from_time_t(std::mktime(&tm));
    options.clock = [ten] { return ten; };
    auto s = Session::open(dir_, "Iso", options).session;
    ASSERT_TRUE(s);
    // A time a moment later: a short wait (one a moment earlier would be a day long).
    auto run = start(*s, "WAITFOR TIME '10:00:00.050' SELECT 1");
    ASSERT_EQ(run.wait_for(kPatience), std::future_status::ready);
    EXPECT_FALSE(run.get().hasErrors());
}

}  // namespace

namespace {

TEST_F(IsolationTest, EachSessionHasItsOwnTemporaryTablesOfOneName) {
    auto a = open(), b = open();
    exec(*a, "CREATE TABLE #t (v int) INSERT #t VALUES (1)");
    exec(*b, "CREATE TABLE #t (v varchar(5)) INSERT #t VALUES ('b')");
    EXPECT_EQ(scalar(*a, "SELECT v FROM #t"), 1);
    EXPECT_EQ(b->execute("SELECT v FROM #t").resultSets.at(0).rows.at(0).at(0).bytes(), "b");
    a->close();
    EXPECT_EQ(b->execute("SELECT v FROM #t").resultSets.at(0).rows.at(0).at(0).bytes(), "b");
    auto c = open();
    EXPECT_TRUE(c->execute("SELECT OBJECT_ID('tempdb..#t')").resultSets.at(0).rows.at(0).at(0).isNull());
}

// A session's #tables are its own: working in them locks nothing, waits for no call in
// another database, and writes nothing to the database's journal.
TEST_F(IsolationTest, TemporaryTablesTakeNoLockNoServerWideHoldAndNoJournal) {
    auto holder = open("Iso2"), worker = open(), other = open();
    const auto journal = dir_ / "Iso.sjl";
    const auto journalSize = std::filesystem::file_size(journal);

    HeldBatch held(*holder, "PRINT 'started' UPDATE T SET v = 5 WHERE id = 1");
    auto work = start(*worker,
                      "BEGIN TRAN CREATE TABLE #t (v int) INSERT #t SELECT v FROM T "
                      "UPDATE #t SET v = 9 CREATE INDEX ix ON #t (v) SELECT * INTO #u FROM #t "
                      "DELETE #u DROP TABLE #u");
    const bool ranAtOnce = work.wait_for(kPatience) == std::future_status::ready;
    EXPECT_TRUE(ranAtOnce) << "work in #tables waited for a call in another database";
    if (!ranAtOnce) return held.finish();
    auto r = work.get();
    EXPECT_FALSE(r.hasErrors()) << (r.firstError() ? r.firstError()->text : "");
    EXPECT_EQ(std::filesystem::file_size(journal), journalSize);
    held.finish();

    auto write = other->execute("SET LOCK_TIMEOUT 0 UPDATE T SET v = 3");
    EXPECT_FALSE(write.hasErrors()) << (write.firstError() ? write.firstError()->text : "");
    EXPECT_EQ(scalar(*worker, "SELECT v FROM #t"), 9);
    exec(*worker, "ROLLBACK");
    EXPECT_TRUE(worker->execute("SELECT OBJECT_ID('tempdb..#t')").resultSets.at(0).rows.at(0).at(0).isNull());
}

}  // namespace
