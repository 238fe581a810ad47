// The store loader under arbitrary bytes: what the libFuzzer target (store_fuzzer.cpp) runs
// for each input, and what the engine tests replay for every recorded input.
//
// The first byte of an input says what the rest is:
//   0  a snapshot file, next to an empty journal;
//   1  a journal file, next to a small valid snapshot;
//   2  record payloads ([varint length][bytes], repeated) framed with correct checksums
//      into a snapshot, so that the change decoder and apply() see what the checksums
//      would otherwise keep out;
//   3  the same framed into journal records, numbered in order, after the small snapshot.
// Whatever the bytes, loading must not crash, and these must hold (abort otherwise):
//   - a check (DatabaseStore::check) finds damage exactly when opening fails for damage or,
//     the damage being in rows set aside, reading some table's rows fails afterwards;
//   - a database that opened folds into a snapshot that opens again with the same tables
//     and row counts, before its rows are read and after; salvage never crashes.
// Not thread-safe: one directory per process, files rewritten for each input.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/catalog/database.h"
#include "engine/store/binary.h"
#include "engine/store/change_codec.h"
#include "engine/store/crc32.h"
#include "engine/store/database_store.h"
#include "engine/store/snapshot_rows.h"

namespace store_fuzz {

namespace fs = std::filesystem;
using namespace engine;

inline const fs::path& directory() {
    static const fs::path dir = [] {
        fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        fs::path d = base / ("store-fuzz-" + std::to_string(::getpid()));
        fs::remove_all(d);
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

inline void writeFile(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

[[noreturn]] inline void fail(const std::string& what) {
    std::fprintf(stderr, "store fuzz invariant broken: %s\n", what.c_str());
    std::abort();
}

// The files of a small valid database (a table with rows, a property), made once.
struct Baseline {
    std::string snapshot;
    std::string emptyJournal;
};

inline const Baseline& baseline() {
    static const Baseline b = [] {
        const fs::path dir = directory() / "baseline";
        fs::create_directories(dir);
        store::DatabaseStore::create(dir, "b", "Base", 5);
        std::unique_ptr<store::DatabaseStore> st;
        std::unique_ptr<Database> db;
        if (store::DatabaseStore::open(dir, "b", st, db)) fail("the baseline does not open");
        Change put;
        put.kind = Change::Kind::PutTable;
        put.table.id = 100;
        put.table.name = "T";
        put.table.columns.push_back(ColumnSchema{1, "n", DataType::of(TypeId::Int), true});
        put.table.columns.push_back(ColumnSchema{2, "s", DataType::varchar(20), true});
        put.table.nextColumnId = 3;
        Change rows;
        rows.kind = Change::Kind::InsertRows;
        rows.objectId = 100;
        rows.values.emplace_back(DataType::of(TypeId::Int));
        rows.values.emplace_back(DataType::varchar(20));
        for (int i = 1; i <= 5; ++i) {
            rows.rowIds.push_back(i);
            rows.values[0].push(Value::integer(i));
            rows.values[1].push(Value::string("fila " + std::to_string(i), DataType::varchar(20)));
        }
        Change prop;
        prop.kind = Change::Kind::PutProperty;
        prop.property = ExtendedProperty{"VERSION", Value::varchar("1")};
        const ChangeList changes = {put, rows, prop};
        st->append(changes);
        db->apply(changes);
        st->fold(*db);
        st.reset();
        Baseline out{readFile(dir / "b.sdb"), readFile(dir / "b.sjl")};
        fs::remove_all(dir);
        return out;
    }();
    return b;
}

// Payloads of a type-2/3 input: [varint length][bytes], as many as there are.
inline std::vector<std::string_view> payloads(std::string_view in) {
    std::vector<std::string_view> out;
    while (!in.empty()) {
        uint64_t length = 0;
        if (!store::getVarint(in, length)) break;
        length = std::min<uint64_t>(length, in.size());
        out.push_back(in.substr(0, length));
        in.remove_prefix(length);
    }
    return out;
}

inline std::string framedSnapshot(const std::vector<std::string_view>& records) {
    const std::string& base = baseline().snapshot;
    // The baseline's header: magic, versions, sequence 0... name "Base", id 5, checksum.
    const size_t header = 8 + 4 + 4 + 8 + 1 + 4 + 1 + 4;
    std::string out = base.substr(0, header);
    for (std::string_view payload : records) {
        store::putFixed32(out, static_cast<uint32_t>(payload.size()));
        store::putFixed32(out, store::crc32(payload));
        out.append(payload);
    }
    store::putFixed32(out, 0);
    store::putFixed32(out, static_cast<uint32_t>(records.size()));
    return out;
}

inline std::string framedJournal(const std::vector<std::string_view>& records) {
    std::string out = baseline().emptyJournal;
    uint64_t sequence = 2;  // the baseline's snapshot holds statement 1
    for (std::string_view payload : records) {
        std::string checked;
        store::putFixed64(checked, sequence);
        std::string frame;
        store::putFixed32(frame, 0x4A524543);
        store::putFixed32(frame, static_cast<uint32_t>(payload.size()));
        store::putFixed32(frame, store::crc32(payload, store::crc32(checked)));
        store::putFixed64(frame, sequence);
        store::putFixed32(frame, store::crc32(frame));
        out += frame;
        out.append(payload);
        ++sequence;
    }
    return out;
}

// Tables and their row counts (read or not): what a fold must keep.
inline std::map<int32_t, size_t> shape(const Database& db) {
    std::map<int32_t, size_t> out;
    for (const auto& [id, table] : db.tables())
        out[id] = table->rowCount();
    return out;
}

// Reads the rows of every table; the first failure, if any.
inline std::optional<std::string> unreadableRows(const Database& db) {
    for (const auto& [id, table] : db.tables()) {
        try {
            if (table->data().rowCount() != table->rowCount())
                return "a row count changed on reading";
        } catch (const store::RowsUnreadable& e) {
            return e.failure().text();
        }
    }
    return std::nullopt;
}

inline void foldAndReopen(const fs::path& dir, std::unique_ptr<store::DatabaseStore>& st,
                          std::unique_ptr<Database>& db) {
    const auto before = shape(*db);
    if (auto e = st->fold(*db)) fail("a loaded database does not fold: " + *e);
    st.reset();
    db.reset();
    if (auto f = store::DatabaseStore::open(dir, "x", st, db))
        fail("a folded database does not open: " + f->text());
    if (shape(*db) != before) fail("a fold changed the tables or their rows");
}

inline void runOne(const uint8_t* data, size_t size) {
    if (size == 0) return;
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const fs::path dir = directory() / "db";
    fs::remove_all(dir);
    fs::create_directories(dir);
    switch (data[0] % 4) {
        case 0:
            writeFile(dir / "x.sdb", rest);
            writeFile(dir / "x.sjl", baseline().emptyJournal);
            break;
        case 1:
            writeFile(dir / "x.sdb", baseline().snapshot);
            writeFile(dir / "x.sjl", rest);
            break;
        case 2:
            writeFile(dir / "x.sdb", framedSnapshot(payloads(rest)));
            writeFile(dir / "x.sjl", baseline().emptyJournal);
            break;
        case 3:
            writeFile(dir / "x.sdb", baseline().snapshot);
            writeFile(dir / "x.sjl", framedJournal(payloads(rest)));
            break;
    }
    const store::CheckReport report = store::DatabaseStore::check(dir, "x");
    {
        Database rescued("Rescued", 9);
        store::DatabaseStore::salvage(dir, "x", rescued);
    }
    std::unique_ptr<store::DatabaseStore> st;
    std::unique_ptr<Database> db;
    store::LoadResult failure = store::DatabaseStore::open(dir, "x", st, db);
    const bool damaged = failure && failure->kind == store::LoadFailure::Kind::Damaged;
    if (failure) {
        if (damaged == report.clean())
            fail("open refused (" + failure->text() + ") what the check passed");
        return;
    }
    // Rows set aside go over to the new snapshot as they stand in the old one.
    foldAndReopen(dir, st, db);
    const std::optional<std::string> unreadable = unreadableRows(*db);
    if (unreadable.has_value() == report.clean())
        fail(unreadable ? "rows the check passed cannot be read (" + *unreadable + ")"
                        : "the check found damage (" + report.damage.front().text() +
                              ") in what opened and reads");
    if (!unreadable) foldAndReopen(dir, st, db);
}

}  // namespace store_fuzz
