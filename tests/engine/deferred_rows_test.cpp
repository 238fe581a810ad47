// Rows set aside on opening: read on first use, folded as they stand in the file, and damage
// found on reading them reported by the statement that needed them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "engine/catalog/database.h"
#include "engine/session.h"
#include "engine/store/database_store.h"
#include "engine/types/render.h"

namespace {

using namespace engine;
namespace fs = std::filesystem;

// A database with a small table and a large one (many rows records, strings in the arena).
fs::path makeDatabase(const std::string& name) {
    const fs::path dir =
        fs::temp_directory_path() / ("engine-deferred-" + std::to_string(::getpid()) + "-" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    SessionOptions options;
    options.createDataDirectory = true;
    auto s = Session::open(dir, "", options).session;
    EXPECT_TRUE(s);
    for (const char* sql :
         {"CREATE TABLE D (n int NOT NULL)",
          "INSERT INTO D VALUES (0),(1),(2),(3),(4),(5),(6),(7),(8),(9)",
          "CREATE TABLE Big (id int NOT NULL PRIMARY KEY, name varchar(60), t int)",
          "INSERT INTO Big SELECT a.n + 10 * b.n + 100 * c.n + 1000 * d.n, "
          "'a name long enough to need the arena ' + CAST(a.n * 7 + d.n AS varchar(3)), "
          "NULLIF(b.n, 3) FROM D a CROSS JOIN D b CROSS JOIN D c CROSS JOIN D d",
          "DELETE FROM Big WHERE id % 1000 = 0"}) {
        auto r = s->execute(sql);
        EXPECT_FALSE(r.hasErrors()) << sql;
    }
    // Closing folds the journal into the snapshot, which the tests open again.
    return dir;
}

// Every cell of every table, as text: what loading must reproduce.
std::string contents(const Database& db) {
    std::string out;
    for (const auto& [id, table] : db.tables()) {
        const TableData& data = table->data();
        out += table->schema.name + ":" + std::to_string(data.rowCount()) + "\n";
        for (size_t slot = 0; slot < data.rowCount(); ++slot) {
            out += std::to_string(data.rowIds[slot]);
            for (const ColumnStore& c : data.columns)
                out += "|" + (c.isNull(slot) ? std::string("NULL") : renderAsText(c.get(slot)));
            out += "\n";
        }
    }
    return out;
}

TEST(DeferredRowsTest, RowsAreReadOnFirstUseAndAFoldCopiesThoseNotRead) {
    const fs::path dir = makeDatabase("fold");
    std::unique_ptr<store::DatabaseStore> st;
    std::unique_ptr<Database> db;
    ASSERT_FALSE(store::DatabaseStore::open(dir, "master", st, db));
    const Table* big = db->findTable("Big");
    const Table* small = db->findTable("D");
    ASSERT_TRUE(big && small);
    // Counted without being read.
    ASSERT_TRUE(big->deferredRows());
    EXPECT_EQ(big->rowCount(), 9990u);
    EXPECT_TRUE(big->deferredRows());
    EXPECT_EQ(small->data().rowCount(), 10u);
    EXPECT_FALSE(small->deferredRows());

    // Big goes to the new snapshot as it stands in the old one, which is replaced meanwhile
    // and still read from afterwards.
    ASSERT_FALSE(st->fold(*db));
    EXPECT_TRUE(big->deferredRows());
    const std::string read = contents(*db);
    EXPECT_NE(read.find("Big:9990\n"), std::string::npos);
    EXPECT_NE(read.find("|a name long enough to need the arena 9|NULL\n"), std::string::npos);
    st.reset();
    db.reset();
    ASSERT_FALSE(store::DatabaseStore::open(dir, "master", st, db));
    EXPECT_EQ(contents(*db), read);
    // And once read, written from memory.
    ASSERT_FALSE(st->fold(*db));
    st.reset();
    db.reset();
    ASSERT_FALSE(store::DatabaseStore::open(dir, "master", st, db));
    EXPECT_EQ(contents(*db), read);
    st.reset();
    db.reset();
    fs::remove_all(dir);
}

TEST(DeferredRowsTest, RowsDamagedAfterOpeningFailTheStatementThatReadsThemWith824) {
    const fs::path dir = makeDatabase("damage");
    auto s = Session::open(dir, "").session;
    ASSERT_TRUE(s);
    ASSERT_FALSE(s->execute("SELECT COUNT(*) FROM D").hasErrors());
    {
        // The middle of the file is Big's rows; damaged in place, as a failing disk would.
        const auto size = fs::file_size(dir / "master.sdb");
        std::fstream file(dir / "master.sdb", std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(static_cast<std::streamoff>(size / 2));
        file.put('\x5a');
        file.seekp(static_cast<std::streamoff>(size / 2 + 1));
        file.put('\xa5');
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto r = s->execute("SELECT COUNT(*) FROM Big");
        const SqlMessage* error = r.firstError();
        ASSERT_TRUE(error);
        EXPECT_EQ(error->number, 824);
        EXPECT_NE(error->text.find("fails its checksum"), std::string::npos) << error->text;
        EXPECT_NE(error->text.find("master.sdb"), std::string::npos) << error->text;
    }
    // The rest of the database goes on working, and so does the session.
    auto r = s->execute("SELECT COUNT(*) FROM D; SELECT COUNT(*) FROM sys.tables");
    ASSERT_FALSE(r.hasErrors());
    EXPECT_EQ(renderAsText(r.resultSets[0].rows[0][0]), "10");
    s.reset();
    fs::remove_all(dir);
}

}  // namespace
