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
#include "engine/store/crc32.h"
#include "engine/store/database_store.h"
#include "engine/types/render.h"
#include "engine/types/value_codec.h"

namespace {

using namespace engine;

std::filesystem::path freshDirectory(const std::string& name) {
    auto dir = std::filesystem::temp_directory_path() /
               ("engine-store-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A property change (the smallest change a journal record can hold).
Change propertyChange(const std::string& name, Value value) {
    Change c;
    c.kind = Change::Kind::PutProperty;
    c.property = ExtendedProperty{name, std::move(value)};
    return c;
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

TEST(ChangeCodecTest, ModulesOfEachKindAreReadOnlyFromTheEncodingThatKnowsTheirKind) {
    auto encoded = [](ModuleSchema::Kind kind) {
        Change put;
        put.kind = Change::Kind::PutModule;
        put.module.kind = kind;
        put.module.id = 77;
        put.module.name = "f";
        put.module.text = "CREATE FUNCTION f() RETURNS int AS BEGIN RETURN 1 END";
        put.module.created = Value::integer(0);
        std::string bytes;
        store::encodeChanges({put}, bytes);
        return bytes;
    };
    // Files of the encoding before functions keep loading their triggers.
    ChangeList decoded;
    EXPECT_TRUE(store::decodeChanges(encoded(ModuleSchema::Kind::Trigger), decoded, 4));
    // A function module is a damaged record there, a function in the current one.
    EXPECT_FALSE(store::decodeChanges(encoded(ModuleSchema::Kind::Function), decoded, 4));
    ASSERT_TRUE(store::decodeChanges(encoded(ModuleSchema::Kind::Function), decoded));
    EXPECT_EQ(decoded[0].module.kind, ModuleSchema::Kind::Function);
    EXPECT_EQ(decoded[0].module.text, "CREATE FUNCTION f() RETURNS int AS BEGIN RETURN 1 END");
}

TEST(Crc32Test, MatchesTheStandardChecksumForEveryLengthAndSplit) {
    EXPECT_EQ(store::crc32("123456789"), 0xCBF43926u);
    EXPECT_EQ(store::crc32(""), 0u);
    // Against a bit-by-bit reference, for lengths around the 8-byte groups and for a
    // checksum continued over two pieces.
    auto reference = [](std::string_view bytes) {
        uint32_t crc = 0xFFFFFFFFu;
        for (unsigned char b : bytes) {
            crc ^= b;
            for (int k = 0; k < 8; ++k)
                crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
        }
        return ~crc;
    };
    std::string data;
    for (int i = 0; i < 100; ++i)
        data.push_back(static_cast<char>(i * 131 + 7));
    for (size_t length = 0; length <= data.size(); ++length) {
        std::string_view piece(data.data(), length);
        ASSERT_EQ(store::crc32(piece), reference(piece)) << length;
        size_t half = length / 3;
        ASSERT_EQ(store::crc32(piece.substr(half), store::crc32(piece.substr(0, half))),
                  reference(piece))
            << length;
    }
}

TEST(ChangeCodecTest, ColumnsKeepEveryCellNullsAndExtremesOfEachRepresentation) {
    Change insert;
    insert.kind = Change::Kind::InsertRows;
    insert.objectId = 9;
    const std::vector<DataType> types = {
        DataType::of(TypeId::BigInt),    DataType::of(TypeId::DateTime), DataType::numeric(38, 4),
        Value::floating(0).type(),       DataType::varchar(200),         DataType::of(TypeId::Bit),
        DataType::of(TypeId::SqlVariant)};
    const Int128 wide = static_cast<Int128>(1) << 120;
    for (const auto& t : types)
        insert.values.emplace_back(t);
    for (int row = 0; row < 19; ++row) {
        insert.rowIds.push_back(row * 3 + 1);
        const bool null = row % 4 == 1 || row == 18;
        auto cell = [&](Value v, const DataType& t) { return null ? Value::null(t) : v; };
        insert.values[0].push(
            cell(Value::integer(row % 2 ? INT64_MIN : INT64_MAX, TypeId::BigInt), types[0]));
        insert.values[1].push(cell(Value::datetime(-53690 + row, 25919999), types[1]));
        insert.values[2].push(cell(Value::decimal(row % 2 ? -wide : wide, types[2]), types[2]));
        insert.values[3].push(cell(Value::floating(-1.5e300 * row), types[3]));
        insert.values[4].push(cell(Value::string(std::string(row * 10, 'x'), types[4]), types[4]));
        insert.values[5].push(cell(Value::bit(row % 2), types[5]));
        insert.values[6].push(cell(Value::varchar("variant " + std::to_string(row)), types[6]));
    }
    std::string bytes;
    store::encodeChanges({insert}, bytes);
    ChangeList decoded;
    ASSERT_TRUE(store::decodeChanges(bytes, decoded));
    ASSERT_EQ(decoded.size(), 1u);
    ASSERT_EQ(decoded[0].values.size(), types.size());
    for (size_t c = 0; c < types.size(); ++c) {
        const ColumnStore& got = decoded[0].values[c];
        ASSERT_EQ(got.size(), 19u) << c;
        EXPECT_EQ(got.type(), types[c]) << c;
        for (size_t row = 0; row < 19; ++row) {
            EXPECT_EQ(got.isNull(row), insert.values[c].isNull(row)) << c << " " << row;
            EXPECT_EQ(renderAsText(got.get(row)), renderAsText(insert.values[c].get(row)))
                << c << " " << row;
        }
    }
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        ChangeList partial;
        EXPECT_FALSE(store::decodeChanges(std::string_view(bytes).substr(0, cut), partial)) << cut;
    }
}

TEST(DatabaseStoreTest, AJournalOfTheFirstFormatIsReplayedAndFoldedAway) {
    auto dir = freshDirectory("oldjournal");
    ASSERT_FALSE(store::DatabaseStore::create(dir, "db", "Db", 5));
    // A journal of the first format holding one property.
    Change prop = propertyChange("VERSION", Value::varchar("2013.1"));
    std::string payload;
    store::encodeChanges({prop}, payload);
    std::string journal("SQLEMBJL");
    store::putFixed32(journal, 1);
    std::string sequence;
    store::putFixed64(sequence, 1);
    store::putFixed32(journal, 0x4A524543);
    store::putFixed32(journal, static_cast<uint32_t>(payload.size()));
    store::putFixed32(journal, store::crc32(payload, store::crc32(sequence)));
    journal += sequence + payload;
    {
        std::ofstream out(dir / "db.sjl", std::ios::binary | std::ios::trunc);
        out << journal;
    }
    std::unique_ptr<store::DatabaseStore> st;
    std::unique_ptr<Database> db;
    ASSERT_FALSE(store::DatabaseStore::open(dir, "db", st, db));
    ASSERT_EQ(db->properties().size(), 1u);
    // Folded: the journal is empty and of this format; the snapshot holds the property.
    EXPECT_EQ(st->journalBytes(), store::DatabaseStore::kJournalHeaderBytes);
    const std::string header = readFile(dir / "db.sjl");
    std::string_view version(header);
    version.remove_prefix(8);
    uint32_t format = 0;
    ASSERT_TRUE(store::getFixed32(version, format));
    EXPECT_EQ(format, store::kStoreFormatVersion);
    // Work goes on in the new format and survives a reopen.
    prop.property.name = "OTRA";
    ASSERT_FALSE(st->append({prop}));
    st.reset();
    ASSERT_FALSE(store::DatabaseStore::open(dir, "db", st, db));
    EXPECT_EQ(db->properties().size(), 2u);
    std::filesystem::remove_all(dir);
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
    EXPECT_EQ(st->journalBytes(), store::DatabaseStore::kJournalHeaderBytes);
    st.reset();
    std::string name;
    int32_t id = 0;
    ASSERT_FALSE(store::DatabaseStore::readHeader(dir / "db.sdb", name, id));
    EXPECT_EQ(name, "Ventas");
    EXPECT_EQ(id, 7);
    ASSERT_FALSE(store::DatabaseStore::open(dir, "db", st, db));
    const Table* t = db->findTable("CLIENTES");
    ASSERT_TRUE(t);
    EXPECT_EQ(t->data().rowCount(), 1000u);
    EXPECT_EQ(t->data().columns[1].get(999).bytes(), "n999");
    EXPECT_EQ(t->data().slotOf(1000), 999);
    EXPECT_EQ(t->schema.identityCurrent, 1000);
    EXPECT_TRUE(db->findObject("DF_x"));
    std::filesystem::remove_all(dir);
}

// The lengths of a snapshot's records, read from its framing (after the header).
std::vector<uint32_t> recordLengths(const std::string& bytes, size_t headerSize) {
    std::vector<uint32_t> lengths;
    std::string_view in(bytes);
    in.remove_prefix(headerSize);
    while (true) {
        uint32_t length = 0, checksum = 0;
        if (!store::getFixed32(in, length) || !store::getFixed32(in, checksum) || length == 0)
            break;
        lengths.push_back(length);
        in.remove_prefix(std::min<size_t>(length, in.size()));
    }
    return lengths;
}

// The header a snapshot of that name starts with.
std::string snapshotHeader(const std::string& name, int32_t id, uint32_t format) {
    std::string out("SQLEMBDB");
    store::putFixed32(out, format);
    store::putFixed32(out, static_cast<uint32_t>(kValueCodecVersion));
    store::putFixed64(out, 0);
    store::putString(out, name);
    store::putSigned(out, id);
    return out;
}

TEST(DatabaseStoreTest, LargeTablesAreWrittenAndReadInRecordsOfBoundedSize) {
    auto dir = freshDirectory("large");
    SessionOptions options;
    options.createDataDirectory = true;
    {
        auto s = Session::open(dir, "", options).session;
        ASSERT_TRUE(s);
        ASSERT_FALSE(s->execute("CREATE TABLE D (n int NOT NULL)").hasErrors());
        ASSERT_FALSE(
            s->execute("INSERT INTO D VALUES (0),(1),(2),(3),(4),(5),(6),(7),(8),(9)").hasErrors());
        ASSERT_FALSE(
            s->execute("CREATE TABLE Big (id int NOT NULL, name varchar(60), t int)").hasErrors());
        // 100,000 rows with strings long enough to live outside their cells.
        auto r = s->execute(
            "INSERT INTO Big SELECT a.n + 10 * b.n + 100 * c.n + 1000 * d.n + 10000 * e.n, "
            "'a name long enough to need the arena ' + CAST(a.n * 7 + e.n AS varchar(3)), NULL "
            "FROM D a CROSS JOIN D b CROSS JOIN D c CROSS JOIN D d CROSS JOIN D e");
        ASSERT_FALSE(r.hasErrors());
    }
    const std::string bytes = readFile(dir / "master.sdb");
    EXPECT_GT(bytes.size(), 4u << 20);
    // The header of this format ends with its checksum.
    const auto lengths = recordLengths(bytes, snapshotHeader("master", 1, 1).size() + 4);
    ASSERT_GT(lengths.size(), 4u);
    for (uint32_t length : lengths)
        EXPECT_LT(length, 3u << 20);

    auto s = Session::open(dir, "").session;
    ASSERT_TRUE(s);
    auto r = s->execute(
        "SELECT COUNT(*), SUM(CAST(id AS bigint)), MAX(name), COUNT(t) FROM Big WHERE "
        "name LIKE 'a name long enough%'");
    ASSERT_FALSE(r.hasErrors());
    EXPECT_EQ(renderAsText(r.resultSets[0].rows[0][0]), "100000");
    EXPECT_EQ(renderAsText(r.resultSets[0].rows[0][1]), "4999950000");
    EXPECT_EQ(renderAsText(r.resultSets[0].rows[0][2]), "a name long enough to need the arena 9");
    EXPECT_EQ(renderAsText(r.resultSets[0].rows[0][3]), "0");
    s.reset();
    std::filesystem::remove_all(dir);
}

TEST(DatabaseStoreTest, ReadingAHeaderReadsNothingBeyondIt) {
    auto dir = freshDirectory("header");
    ASSERT_FALSE(store::DatabaseStore::create(dir, "huge", "Enorme", 12));
    // A database file of 64 GB (sparse): reading it whole could not even be attempted.
    std::filesystem::resize_file(dir / "huge.sdb", 64ull << 30);
    std::string name;
    int32_t id = 0;
    ASSERT_FALSE(store::DatabaseStore::readHeader(dir / "huge.sdb", name, id));
    EXPECT_EQ(name, "Enorme");
    EXPECT_EQ(id, 12);
    // The server reads every database's header when it starts; opening master works.
    SessionOptions options;
    auto opened = Session::open(dir, "", options);
    ASSERT_TRUE(opened.session);
    auto r = opened.session->execute("SELECT name FROM sys.databases WHERE database_id = 12");
    ASSERT_FALSE(r.hasErrors()) << r.firstError()->text;
    ASSERT_EQ(r.resultSets[0].rows.size(), 1u);
    EXPECT_EQ(r.resultSets[0].rows[0][0].bytes(), "Enorme");
    opened.session.reset();
    std::filesystem::remove_all(dir);
}

TEST(DatabaseStoreTest, ATornRecordClaimingAHugeLengthIsDroppedNotAllocated) {
    auto dir = freshDirectory("claim");
    ASSERT_FALSE(store::DatabaseStore::create(dir, "db", "Db", 5));
    std::unique_ptr<store::DatabaseStore> st;
    std::unique_ptr<Database> db;
    ASSERT_FALSE(store::DatabaseStore::open(dir, "db", st, db));
    ASSERT_FALSE(st->append({propertyChange("P", Value::integer(1))}));
    const uint64_t good = st->journalBytes();
    st.reset();
    {
        std::string torn;
        store::putFixed32(torn, 0x4A524543);  // a record's marker
        store::putFixed32(torn, 0xFFFFFFF0u);
        store::putFixed32(torn, 0);
        store::putFixed64(torn, 2);
        store::putFixed32(torn, store::crc32(torn));
        std::ofstream out(dir / "db.sjl", std::ios::binary | std::ios::app);
        out << torn << "a few bytes";
    }
    testing::internal::CaptureStderr();
    ASSERT_FALSE(store::DatabaseStore::open(dir, "db", st, db));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cut short"), std::string::npos);
    ASSERT_EQ(db->properties().size(), 1u);
    EXPECT_EQ(st->journalBytes(), good);
    std::filesystem::remove_all(dir);
}

TEST(DatabaseStoreTest, ReadsSnapshotsThatHoldATableInOneRecord) {
    // Snapshots of the first format version hold each table's definition and all of its rows
    // in one record of two changes.
    auto dir = freshDirectory("v1");
    Change put;
    put.kind = Change::Kind::PutTable;
    put.table = sampleTable();
    Change rows;
    rows.kind = Change::Kind::InsertRows;
    rows.objectId = put.table.id;
    rows.values.emplace_back(DataType::of(TypeId::Int));
    rows.values.emplace_back(DataType::varchar(40));
    for (int i = 0; i < 300; ++i) {
        rows.rowIds.push_back(i + 1);
        rows.values[0].push(Value::integer(i));
        rows.values[1].push(
            Value::string("cliente número " + std::to_string(i), DataType::varchar(40)));
    }
    rows.identityCurrent = 300;
    rows.identityUsed = true;
    // The first format wrote every cell as a value with its own type.
    std::string tableRecord;
    store::putVarint(tableRecord, 2);
    store::encodeChange(put, tableRecord);
    tableRecord.pop_back();  // the count of CHECK constraints, which the first format lacks
    tableRecord.push_back(static_cast<char>(Change::Kind::InsertRows));
    store::putSigned(tableRecord, rows.objectId);
    store::putSigned(tableRecord, rows.identityCurrent);
    tableRecord.push_back(1);
    store::putVarint(tableRecord, rows.rowIds.size());
    for (size_t i = 0; i < rows.rowIds.size(); ++i)
        store::putSigned(tableRecord, 1);  // ascending by one
    store::putVarint(tableRecord, rows.values.size());
    for (const ColumnStore& column : rows.values) {
        encodeDataType(column.type(), tableRecord);
        store::putVarint(tableRecord, column.size());
        for (size_t i = 0; i < column.size(); ++i)
            encodeValue(column.get(i), tableRecord);
    }
    std::string metadataRecord;
    store::encodeChanges(Database("Antigua", 8).metadataChanges(), metadataRecord);

    std::string file = snapshotHeader("Antigua", 8, 1);
    uint32_t records = 0;
    for (const std::string& payload : {tableRecord, metadataRecord}) {
        store::putFixed32(file, static_cast<uint32_t>(payload.size()));
        store::putFixed32(file, store::crc32(payload));
        file += payload;
        ++records;
    }
    store::putFixed32(file, 0);
    store::putFixed32(file, records);
    {
        std::ofstream out(dir / "old.sdb", std::ios::binary);
        out << file;
    }
    std::unique_ptr<store::DatabaseStore> st;
    std::unique_ptr<Database> db;
    ASSERT_FALSE(store::DatabaseStore::open(dir, "old", st, db));
    EXPECT_EQ(db->name(), "Antigua");
    const Table* t = db->findTable("clientes");
    ASSERT_TRUE(t);
    ASSERT_EQ(t->data().rowCount(), 300u);
    EXPECT_EQ(t->data().columns[1].get(299).bytes(), "cliente número 299");
    EXPECT_EQ(t->schema.identityCurrent, 300);
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
    EXPECT_NE(error->text().find("does not start as a database snapshot does"), std::string::npos);

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
    EXPECT_EQ(error->kind, store::LoadFailure::Kind::Newer);
    EXPECT_NE(error->text().find("newer release"), std::string::npos);

    // A truncated snapshot (no end record) is refused rather than half loaded.
    ASSERT_FALSE(store::DatabaseStore::create(dir, "cut", "Cut", 10));
    auto size = std::filesystem::file_size(dir / "cut.sdb");
    std::filesystem::resize_file(dir / "cut.sdb", size - 4);
    EXPECT_TRUE(store::DatabaseStore::open(dir, "cut", st, db));
    std::filesystem::remove_all(dir);
}

}  // namespace
