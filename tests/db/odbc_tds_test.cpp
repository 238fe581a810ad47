// Updatable sets through the updater's ODBC driver and FreeTDS against tds-server: rows saved
// in batches (deferred saves) end with the outcomes and the table that saving them one by one
// gives, refusals, rows changed meanwhile and a batch the driver stops short included.
#include <gtest/gtest.h>

#include "db/connect.h"
#include "support/embedded_server.h"
#include "support/statement_trace.h"
#include "support/tds_server_process.h"

namespace db {
namespace {

using test_support::EmbeddedServer;
using test_support::StatementTrace;
using test_support::TdsServerProcess;

constexpr int kRows = 2500;  // three batches

// One table of kRows keyed rows: k unique, a text, n a number.
std::vector<std::string> Table(const std::string& name) {
    std::vector<std::string> batches = {
        "CREATE TABLE " + name + " (k int NOT NULL, a varchar(10) NULL, n int NULL)",
        "CREATE UNIQUE INDEX " + name + "_k ON " + name + " (k)"};
    for (int first = 0; first < kRows; first += 500) {
        std::string insert = "INSERT INTO " + name + " (k, a, n) VALUES ";
        for (int k = first; k < first + 500; ++k)
            insert += (k == first ? "" : ",") + ("(" + std::to_string(k) + ",'x',0)");
        batches.push_back(insert);
    }
    return batches;
}

class OdbcTds : public ::testing::Test {
  protected:
    void SetUp() override {
        server_.CrearBaseDatos("Prueba", [] {
            auto all = Table("uno");
            for (auto& b : Table("dos"))
                all.push_back(b);
            all.push_back("CREATE TABLE dup (a varchar(10) NULL, b varchar(10) NULL)");
            all.push_back("INSERT INTO dup VALUES ('x',''),('y',''),('x',''),('x',''),('y','')");
            return all;
        }());
        tds_ = std::make_unique<TdsServerProcess>(server_.Servidor());
        ASSERT_TRUE(tds_->Started()) << tds_->Error();
    }

    std::unique_ptr<Connection> Connect() {
        ConnectionSettings settings;
        std::string address = tds_->Address();
        address[address.rfind(':')] = ',';
        settings.server = address;
        settings.database = "Prueba";
        settings.user = TdsServerProcess::kLogin;
        settings.password = TdsServerProcess::kPassword;
        auto c = connect(settings);
        EXPECT_TRUE(c->isOpen()) << c->lastError().description;
        return c;
    }

    // Walks the table as the bank-account backfill does, saving "v<k>" in a (a value too long
    // for row 300, the text "abc" in the number of row 1500), with row 700 changed by another
    // connection once the set is open. The outcome of each row: "ok" or its error number.
    std::vector<std::string> Walk(Connection& c, const std::string& table, bool deferred) {
        auto rs = c.openRecordset("SELECT k, a, n FROM " + table + " ORDER BY k",
                                  CursorType::Dynamic, LockType::Optimistic);
        EXPECT_TRUE(rs && rs->isUpdatable());
        auto other = Connect();
        other->execute("UPDATE " + table + " SET a = 'otro' WHERE k = 700");
        std::vector<std::string> outcomes;
        auto note = [&](const Status& s) {
            outcomes.push_back(s ? "ok"
                                 : std::to_string(s.error().nativeError ? s.error().nativeError
                                                                        : s.error().number));
        };
        if (deferred) rs->deferUpdates(note);
        while (!rs->eof()) {
            const long k = static_cast<long>(rs->number("k"));
            rs->setValue("a",
                         Variant::text(k == 300 ? "demasiado largo" : "v" + std::to_string(k)));
            if (k == 1500) rs->setValue("n", Variant::text("abc"));
            c.clearError();
            const Status saved = rs->update();
            if (!deferred) note(saved);
            if (!saved) rs->cancelUpdate();
            rs->moveNext();
        }
        rs->close();
        return outcomes;
    }

    EmbeddedServer server_;
    std::unique_ptr<TdsServerProcess> tds_;
};

TEST_F(OdbcTds, RowsSavedInBatchesEndAsRowsSavedOneByOne) {
    auto c = Connect();
    StatementTrace trace;
    const std::vector<std::string> batched = Walk(*c, "uno", true);
    const auto records = trace.Records();
    const std::vector<std::string> single = Walk(*c, "dos", false);

    ASSERT_EQ(batched.size(), size_t{kRows});
    EXPECT_EQ(batched, single);
    EXPECT_NE(batched[300], "ok");
    EXPECT_NE(batched[700], "ok");
    EXPECT_NE(batched[1500], "ok");
    EXPECT_EQ(std::count(batched.begin(), batched.end(), "ok"), kRows - 3);
    const auto rows = [&](const std::string& t) {
        return EmbeddedServer::Filas(*c, "SELECT k, a, n FROM " + t + " ORDER BY k");
    };
    EXPECT_EQ(rows("uno"), rows("dos"));
    EXPECT_EQ(rows("uno")[2499], (std::vector<std::string>{"2499", "v2499", "0"}));

    // The first two batches held a failing row and went again row by row; the third went whole.
    int undone = 0, commits = 0;
    for (const auto& r : records) {
        if (r.statement.find("rows in one batch, undone") != std::string::npos) ++undone;
        if (r.statement == "IF @@TRANCOUNT > 0 COMMIT TRANSACTION") ++commits;
    }
    EXPECT_EQ(undone, 2);
    EXPECT_EQ(commits, 1);

    // No transaction is left open behind the caller's statements.
    ASSERT_TRUE(c->execute("INSERT INTO dup VALUES ('z','')"));
    EXPECT_EQ(EmbeddedServer::Filas(*c, "SELECT @@TRANCOUNT"),
              (std::vector<std::vector<std::string>>{{"0"}}));
}

TEST_F(OdbcTds, RowsEqualInEveryColumnOfTheSetAreWrittenOneEach) {
    auto c = Connect();
    for (bool deferred : {false, true}) {
        auto rs =
            c->openRecordset("SELECT a, b FROM dup", CursorType::Dynamic, LockType::Optimistic);
        ASSERT_TRUE(rs && rs->isUpdatable());
        int saved = 0;
        if (deferred) rs->deferUpdates([&](const Status& s) { saved += s.ok(); });
        while (!rs->eof()) {
            rs->setValue("b", Variant::text(rs->text("a") + (deferred ? "2" : "1")));
            if (rs->update() && !deferred) ++saved;
            rs->moveNext();
        }
        rs->close();
        EXPECT_EQ(saved, 5);
        const std::string b = deferred ? "2" : "1";
        EXPECT_EQ(
            EmbeddedServer::Filas(*c, "SELECT a, b FROM dup ORDER BY a"),
            (std::vector<std::vector<std::string>>{
                {"x", "x" + b}, {"x", "x" + b}, {"x", "x" + b}, {"y", "y" + b}, {"y", "y" + b}}));
    }
}

}  // namespace
}  // namespace db
