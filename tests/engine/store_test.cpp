// The durable store: change encoding, journal replay, torn tails, snapshots and their
// format header.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "engine/catalog/database.h"
#include "engine/session.h"
#include "engine/store/binary.h"
#include "engine/store/change_codec.h"
#include "engine/store/database_store.h"
#include "engine/types/render.h"

namespace {

using namespace engine;

std::filesystem::path freshDirectory(const std::string& name) {
    auto dir = std::filesystem::temp_directory_path() /
               ("engine-store-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

TableSchema sampleTable() {
    TableSchema t;
    t.id = 1234567;
    t.name = "Clientes";
    t.created = Value::datetime(40000, 300);
    t.columns.push_back(
        ColumnSchema{1, "Codigo", DataType::of(TypeId::Int), false, true, 10, 5, 0});
    t.columns.push_back(ColumnSchema{2, "Nombre", DataType::varchar(40), true, false, 1, 1, 99});
    t.defaults.push_back(DefaultSchema{99, "DF_x", 2, "('')", Value::datetime(1, 2)});
    t.indexes.push_back(IndexSchema{
        1, "PK_C", true, true, KeyConstraint::PrimaryKey, 77, {{1, false}}, Value::datetime(3, 4)});
    t.nextColumnId = 3;
    t.identityCurrent = 15;
    t.identityUsed = true;
    return t;
}

TEST(ChangeCodecTest, RoundTripsEveryKindOfChange) {
    ChangeList changes;
    Change put;
    put.kind = Change::Kind::PutTable;
    put.table = sampleTable();
    changes.push_back(put);
    Change insert;
    insert.kind = Change::Kind::InsertRows;
    insert.objectId = 1234567;
    insert.rowIds = {5, 6, 900};
    insert.values.emplace_back(DataType::of(TypeId::Int));
    insert.values.emplace_back(DataType::varchar(40));
    for (int i = 0; i < 3; ++i) {
        insert.values[0].push(Value::integer(i * 1000));
        insert.values[1].push(i == 1
                                  ? Value::null(DataType::varchar(40))
                                  : Value::string("ñ" + std::to_string(i), DataType::varchar(40)));
    }
    insert.identityCurrent = 20;
    insert.identityUsed = true;
    changes.push_back(insert);
    Change update;
    update.kind = Change::Kind::UpdateCells;
    update.objectId = 1234567;
    update.rowIds = {6};
    update.positions = {1};
    update.values.emplace_back(DataType::varchar(40));
    update.values[0].push(Value::string("x", DataType::varchar(40)));
    changes.push_back(update);
    Change add;
    add.kind = Change::Kind::AddColumn;
    add.objectId = 1234567;
    add.position = 2;
    add.useFill = true;
    add.fill = Value::money(12345);
    changes.push_back(add);
    Change property;
    property.kind = Change::Kind::PutProperty;
    property.property = ExtendedProperty{"VERSION", Value::varchar("2013.1")};
    changes.push_back(property);
    Change ids;
    ids.kind = Change::Kind::SetIdState;
    ids.idState = 0xFEDCBA9876543210ull;
    changes.push_back(ids);

    std::string bytes;
    store::encodeChanges(changes, bytes);
    ChangeList decoded;
    ASSERT_TRUE(store::decodeChanges(bytes, decoded));
    ASSERT_EQ(decoded.size(), changes.size());
    const TableSchema& t = decoded[0].table;
    EXPECT_EQ(t.name, "Clientes");
    EXPECT_EQ(t.columns[1].type, DataType::varchar(40));
    EXPECT_EQ(t.columns[0].identityIncrement, 5);
    EXPECT_EQ(t.defaults[0].definition, "('')");
    EXPECT_EQ(t.indexes[0].constraint, KeyConstraint::PrimaryKey);
    EXPECT_EQ(t.identityCurrent, 15);
    EXPECT_EQ(decoded[1].rowIds, (std::vector<RowId>{5, 6, 900}));
    EXPECT_EQ(decoded[1].values[0].get(2).asInt64(), 2000);
    EXPECT_TRUE(decoded[1].values[1].get(1).isNull());
    EXPECT_EQ(decoded[1].values[1].get(2).bytes(), "ñ2");
    EXPECT_EQ(decoded[2].positions, (std::vector<int32_t>{1}));
    EXPECT_EQ(decoded[3].fill.moneyScaled(), 12345);
    EXPECT_EQ(decoded[4].property.name, "VERSION");
    EXPECT_EQ(decoded[5].idState, 0xFEDCBA9876543210ull);

    // Every truncation of the encoding is rejected, never misread.
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        ChangeList partial;
        EXPECT_FALSE(store::decodeChanges(std::string_view(bytes).substr(0, cut), partial)) << cut;
    }
}

TEST(DatabaseStoreTest, ReplaysTheJournalAndDropsATornTail) {
    auto dir = freshDirectory("torn");
    SessionOptions options;
    options.createDataDirectory = true;
    {
        auto s = Session::open(dir, "", options).session;
        ASSERT_TRUE(s);
        ASSERT_FALSE(s->execute("CREATE TABLE T (a int)").hasErrors());
        for (int i = 1; i <= 5; ++i)
            ASSERT_FALSE(
                s->execute("INSERT INTO T VALUES (" + std::to_string(i) + ")").hasErrors());
        // Simulate a crash: the journal is as the last write() left it; no snapshot fold.
        std::filesystem::copy_file(dir / "master.sjl", dir / "journal.copy");
    }
    // The snapshot folded at close holds everything: put back an empty one and the journal
    // as it was, with its last record torn.
    {
        std::filesystem::remove(dir / "master.sdb");
        ASSERT_FALSE(store::DatabaseStore::create(dir, "master", "master", 1));
        std::filesystem::copy_file(dir / "journal.copy", dir / "master.sjl",
                                   std::filesystem::copy_options::overwrite_existing);
        auto size = std::filesystem::file_size(dir / "master.sjl");
        std::filesystem::resize_file(dir / "master.sjl", size - 3);
    }
    {
        auto s = Session::open(dir, "").session;
        ASSERT_TRUE(s);
        auto r = s->execute("SELECT COUNT(*), MAX(a) FROM T");
        ASSERT_FALSE(r.hasErrors());
        EXPECT_EQ(r.resultSets[0].rows[0][0].asInt64(), 4);
        EXPECT_EQ(r.resultSets[0].rows[0][1].asInt64(), 4);
        // Work goes on after the cut.
        ASSERT_FALSE(s->execute("INSERT INTO T VALUES (6)").hasErrors());
    }
    auto s = Session::open(dir, "").session;
    auto r = s->execute("SELECT COUNT(*), MAX(a) FROM T");
    EXPECT_EQ(r.resultSets[0].rows[0][0].asInt64(), 5);
    EXPECT_EQ(r.resultSets[0].rows[0][1].asInt64(), 6);
    s.reset();
    std::filesystem::remove_all(dir);
}

TEST(DatabaseStoreTest, CorruptRecordsInTheMiddleEndTheReplayThere) {
    auto dir = freshDirectory("corrupt");
    ASSERT_FALSE(store::DatabaseStore::create(dir, "db", "Db", 5));
    std::unique_ptr<store::DatabaseStore> st;
    std::unique_ptr<Database> db;
    ASSERT_FALSE(store::DatabaseStore::open(dir, "db", st, db));
    for (int i = 0; i < 3; ++i) {
        Change prop;
        prop.kind = Change::Kind::PutProperty;
        prop.property = ExtendedProperty{"P" + std::to_string(i), Value::integer(i)};
        ASSERT_FALSE(st->append({prop}));
        db->apply(prop);
    }
    st.reset();
    // Flip a byte in the second record's payload.
    std::string journal;
    {
        std::ifstream in(dir / "db.sjl", std::ios::binary);
        journal.assign(std::istreambuf_iterator<char>(in), {});
    }
    size_t recordSize = (journal.size() - 12) / 3;
    journal[12 + recordSize + recordSize - 1] ^= 0x5A;
    {
        std::ofstream out(dir / "db.sjl", std::ios::binary | std::ios::trunc);
        out << journal;
    }
    ASSERT_FALSE(store::DatabaseStore::open(dir, "db", st, db));
    ASSERT_EQ(db->properties().size(), 1u);
    EXPECT_EQ(db->properties()[0].name, "P0");
    EXPECT_EQ(st->journalBytes(), 12 + recordSize);
    std::filesystem::remove_all(dir);
}

TEST(DatabaseStoreTest, FoldWritesASnapshotAndEmptiesTheJournal) {
    auto dir = freshDirectory("fold");
    ASSERT_FALSE(store::DatabaseStore::create(dir, "db", "Ventas", 7));
    std::unique_ptr<store::DatabaseStore> st;
    std::unique_ptr<Database> db;
    ASSERT_FALSE(store::DatabaseStore::open(dir, "db", st, db));
    Change put;
    put.kind = Change::Kind::PutTable;
    put.table = sampleTable();
    Change rows;
    rows.kind = Change::Kind::InsertRows;
    rows.objectId = put.table.id;
    rows.values.emplace_back(DataType::of(TypeId::Int));
    rows.values.emplace_back(DataType::varchar(40));
    for (int i = 0; i < 1000; ++i) {
        rows.rowIds.push_back(i + 1);
        rows.values[0].push(Value::integer(i));
        rows.values[1].push(Value::string("n" + std::to_string(i), DataType::varchar(40)));
    }
    rows.identityCurrent = 1000;
    rows.identityUsed = true;
    ASSERT_FALSE(st->append({put, rows}));
    db->apply({put, rows});
    EXPECT_GT(st->journalBytes(), 1000u);
    ASSERT_FALSE(st->fold(*db));
    EXPECT_EQ(st->journalBytes(), 12u);
    st.reset();
    std::string name;
    int32_t id = 0;
    ASSERT_FALSE(store::DatabaseStore::readHeader(dir / "db.sdb", name, id));
    EXPECT_EQ(name, "Ventas");
    EXPECT_EQ(id, 7);
    ASSERT_FALSE(store::DatabaseStore::open(dir, "db", st, db));
    const Table* t = db->findTable("CLIENTES");
    ASSERT_TRUE(t);
    EXPECT_EQ(t->data.rowCount(), 1000u);
    EXPECT_EQ(t->data.columns[1].get(999).bytes(), "n999");
    EXPECT_EQ(t->data.slotOf(1000), 999);
    EXPECT_EQ(t->schema.identityCurrent, 1000);
    EXPECT_TRUE(db->findObject("DF_x"));
    std::filesystem::remove_all(dir);
}

TEST(DatabaseStoreTest, RefusesFilesItCannotRead) {
    auto dir = freshDirectory("format");
    {
        std::ofstream out(dir / "junk.sdb", std::ios::binary);
        out << "not a database at all";
    }
    std::unique_ptr<store::DatabaseStore> st;
    std::unique_ptr<Database> db;
    auto error = store::DatabaseStore::open(dir, "junk", st, db);
    ASSERT_TRUE(error);
    EXPECT_NE(error->find("not a database snapshot"), std::string::npos);

    // A snapshot written by a later format version is refused with a clear error.
    ASSERT_FALSE(store::DatabaseStore::create(dir, "later", "Later", 9));
    std::string bytes;
    {
        std::ifstream in(dir / "later.sdb", std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    bytes[8] = static_cast<char>(store::kStoreFormatVersion + 1);
    {
        std::ofstream out(dir / "later.sdb", std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    error = store::DatabaseStore::open(dir, "later", st, db);
    ASSERT_TRUE(error);
    EXPECT_NE(error->find("newer release"), std::string::npos);

    // A truncated snapshot (no end record) is refused rather than half loaded.
    ASSERT_FALSE(store::DatabaseStore::create(dir, "cut", "Cut", 10));
    auto size = std::filesystem::file_size(dir / "cut.sdb");
    std::filesystem::resize_file(dir / "cut.sdb", size - 4);
    EXPECT_TRUE(store::DatabaseStore::open(dir, "cut", st, db));
    std::filesystem::remove_all(dir);
}

}  // namespace
