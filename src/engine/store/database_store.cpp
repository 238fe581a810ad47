#include "engine/store/database_store.h"

#include <unistd.h>

#include <algorithm>

#include "engine/store/binary.h"
#include "engine/store/change_codec.h"
#include "engine/store/crc32.h"
#include "engine/types/value_codec.h"

namespace engine::store {

namespace {

constexpr std::string_view kSnapshotMagic = "SQLEMBDB";
constexpr std::string_view kJournalMagic = "SQLEMBJL";
constexpr size_t kJournalHeaderSize = 8 + 4;
constexpr uint32_t kRecordMarker = 0x4A524543;  // "CERJ": start of a journal record

void appendRecord(std::string& out, std::string_view payload) {
    putFixed32(out, static_cast<uint32_t>(payload.size()));
    putFixed32(out, crc32(payload));
    out.append(payload);
}

std::string snapshotHeader(const std::string& name, int32_t databaseId, uint64_t sequence) {
    std::string out(kSnapshotMagic);
    putFixed32(out, kStoreFormatVersion);
    putFixed32(out, static_cast<uint32_t>(kValueCodecVersion));
    putFixed64(out, sequence);
    putString(out, name);
    putSigned(out, databaseId);
    return out;
}

std::string journalHeader() {
    std::string out(kJournalMagic);
    putFixed32(out, kStoreFormatVersion);
    return out;
}

struct SnapshotHeader {
    uint32_t format = 0;
    uint32_t codec = 0;
    uint64_t sequence = 0;
    std::string name;
    int32_t databaseId = 0;
};

FileError parseHeader(std::string_view& in, SnapshotHeader& h, const std::filesystem::path& path) {
    if (in.substr(0, kSnapshotMagic.size()) != kSnapshotMagic)
        return "'" + path.string() + "' is not a database snapshot";
    in.remove_prefix(kSnapshotMagic.size());
    int64_t id = 0;
    if (!getFixed32(in, h.format) || !getFixed32(in, h.codec) || !getFixed64(in, h.sequence) ||
        !getString(in, h.name) || !getSigned(in, id))
        return "'" + path.string() + "' has a damaged header";
    h.databaseId = static_cast<int32_t>(id);
    if (h.format > kStoreFormatVersion || h.codec > static_cast<uint32_t>(kValueCodecVersion))
        return "'" + path.string() + "' was written by a newer release (format " +
               std::to_string(h.format) + ")";
    return std::nullopt;
}

// The header is small: a name of at most 128 characters, a few numbers.
constexpr size_t kLongestHeader = 4096;
// Snapshot records of rows aim at this size, so that writing and reading them needs little
// memory whatever the size of the table.
constexpr size_t kRowRecordTarget = 1 << 20;

FileError readSnapshotHeader(FileReader& reader, SnapshotHeader& h,
                             const std::filesystem::path& path) {
    if (FileError e = reader.need(kLongestHeader)) return e;
    std::string_view in = reader.available();
    const size_t before = in.size();
    if (FileError e = parseHeader(in, h, path)) return e;
    reader.consume(before - in.size());
    return std::nullopt;
}

// Reads the snapshot's records (each a change list) and applies them to db.
FileError loadSnapshot(FileReader& reader, Database& db, uint32_t format,
                       const std::filesystem::path& path) {
    uint64_t remaining = reader.fileSize();
    uint32_t records = 0;
    std::string problem;
    while (problem.empty()) {
        if (FileError e = reader.need(8)) return e;
        std::string_view in = reader.available();
        uint32_t length, checksum;
        if (!getFixed32(in, length) || !getFixed32(in, checksum)) {
            problem = "is truncated";
            break;
        }
        reader.consume(8);
        if (length == 0) {
            if (checksum != records) problem = "is incomplete";
            break;
        }
        if (length > remaining) {
            problem = "is damaged";
            break;
        }
        if (FileError e = reader.need(length)) return e;
        std::string_view payload = reader.available().substr(0, length);
        if (payload.size() < length || crc32(payload) != checksum) {
            problem = "is damaged";
            break;
        }
        ChangeList changes;
        if (!decodeChanges(payload, changes, format)) {
            problem = "holds a record this release cannot read";
            break;
        }
        db.apply(changes);
        reader.consume(length);
        ++records;
    }
    if (!problem.empty()) return "'" + path.string() + "' " + problem;
    return std::nullopt;
}

// Applies to db the journal's whole records newer than sequence (which follows them);
// goodSize is where the whole records end (0 when the file has no header of ours) and
// format the version its header gives.
FileError replayJournal(const std::filesystem::path& path, Database& db, uint64_t& sequence,
                        uint64_t& goodSize, uint32_t& format) {
    FileReader reader;
    if (FileError e = reader.open(path)) return e;
    if (FileError e = reader.need(kJournalHeaderSize)) return e;
    std::string_view header = reader.available();
    if (header.size() < kJournalHeaderSize ||
        header.substr(0, kJournalMagic.size()) != kJournalMagic)
        return std::nullopt;
    header.remove_prefix(kJournalMagic.size());
    getFixed32(header, format);
    if (format < 1 || format > kStoreFormatVersion)
        return "'" + path.string() + "' was written by a newer release";
    reader.consume(kJournalHeaderSize);
    goodSize = kJournalHeaderSize;
    while (true) {
        if (FileError e = reader.need(20)) return e;
        std::string_view record = reader.available();
        if (record.size() < 20) break;
        uint32_t marker, length, checksum;
        uint64_t recordSequence;
        getFixed32(record, marker);
        getFixed32(record, length);
        getFixed32(record, checksum);
        getFixed64(record, recordSequence);
        // A length past the end of the file is a torn record, not something to allocate.
        if (marker != kRecordMarker || length > reader.fileSize() - goodSize - 20) break;
        if (FileError e = reader.need(20 + length)) return e;
        std::string_view payload = reader.available().substr(20);
        if (payload.size() < length) break;
        payload = payload.substr(0, length);
        std::string checked;
        putFixed64(checked, recordSequence);
        if (crc32(payload, crc32(checked)) != checksum) break;
        ChangeList changes;
        if (!decodeChanges(payload, changes, format)) break;
        if (recordSequence > sequence) {
            db.apply(changes);
            sequence = recordSequence;
        }
        reader.consume(20 + length);
        goodSize += 20 + length;
    }
    return std::nullopt;
}

void frameRecord(std::string& frame, std::string_view payload) {
    frame.clear();
    putFixed32(frame, static_cast<uint32_t>(payload.size()));
    putFixed32(frame, crc32(payload));
}

}  // namespace

std::filesystem::path DatabaseStore::snapshotPath() const {
    return directory_ / (stem_ + ".sdb");
}
std::filesystem::path DatabaseStore::journalPath() const {
    return directory_ / (stem_ + ".sjl");
}

FileError DatabaseStore::create(const std::filesystem::path& directory, const std::string& stem,
                                const std::string& name, int32_t databaseId) {
    std::filesystem::path snapshot = directory / (stem + ".sdb");
    std::error_code ec;
    if (std::filesystem::exists(snapshot, ec)) return "'" + snapshot.string() + "' already exists";
    // A journal left by an earlier database of the same name must not be replayed.
    std::filesystem::remove(directory / (stem + ".sjl"), ec);
    std::string bytes = snapshotHeader(name, databaseId, 0);
    Database empty(name, databaseId);
    std::string payload;
    encodeChanges(empty.metadataChanges(), payload);
    appendRecord(bytes, payload);
    putFixed32(bytes, 0);  // end record
    putFixed32(bytes, 1);
    return replaceFileAtomically(snapshot, bytes);
}

FileError DatabaseStore::readHeader(const std::filesystem::path& snapshotPath, std::string& name,
                                    int32_t& databaseId) {
    FileReader reader;
    if (FileError e = reader.open(snapshotPath)) return e;
    SnapshotHeader h;
    if (FileError e = readSnapshotHeader(reader, h, snapshotPath)) return e;
    name = h.name;
    databaseId = h.databaseId;
    return std::nullopt;
}

FileError DatabaseStore::remove(const std::filesystem::path& directory, const std::string& stem) {
    std::error_code ec;
    std::filesystem::remove(directory / (stem + ".sjl"), ec);
    if (!std::filesystem::remove(directory / (stem + ".sdb"), ec) && ec)
        return "cannot delete '" + (directory / (stem + ".sdb")).string() + "': " + ec.message();
    return syncDirectory(directory);
}

FileError DatabaseStore::open(const std::filesystem::path& directory, const std::string& stem,
                              std::unique_ptr<DatabaseStore>& store,
                              std::unique_ptr<Database>& database) {
    std::unique_ptr<DatabaseStore> result(new DatabaseStore(directory, stem));
    std::unique_ptr<Database> db;
    {
        FileReader reader;
        if (FileError e = reader.open(result->snapshotPath())) return e;
        result->snapshotBytes_ = reader.fileSize();
        SnapshotHeader h;
        if (FileError e = readSnapshotHeader(reader, h, result->snapshotPath())) return e;
        db = std::make_unique<Database>(h.name, h.databaseId);
        if (FileError e = loadSnapshot(reader, *db, h.format, result->snapshotPath())) return e;
        result->sequence_ = h.sequence;
    }

    // The journal: replay every whole record newer than the snapshot; cut a torn tail.
    uint64_t goodSize = 0;
    uint32_t journalFormat = kStoreFormatVersion;
    std::error_code ec;
    if (std::filesystem::exists(result->journalPath(), ec)) {
        if (FileError e = replayJournal(result->journalPath(), *db, result->sequence_, goodSize,
                                        journalFormat))
            return e;
    }
    if (FileError e = result->journal_.open(result->journalPath())) return e;
    if (goodSize > kJournalHeaderSize && journalFormat != kStoreFormatVersion) {
        // Records of an older format: fold them into a snapshot of this format, which also
        // starts the journal again with this format's header.
        if (result->journal_.size() != goodSize) {
            if (FileError e = result->journal_.truncate(goodSize)) return e;
        }
        if (FileError e = result->fold(*db)) return e;
    } else if (goodSize < kJournalHeaderSize || journalFormat != kStoreFormatVersion) {
        if (FileError e = result->journal_.truncate(0)) return e;
        if (FileError e = result->journal_.append(journalHeader())) return e;
    } else if (result->journal_.size() != goodSize) {
        if (FileError e = result->journal_.truncate(goodSize)) return e;
    }
    store = std::move(result);
    database = std::move(db);
    return std::nullopt;
}

FileError DatabaseStore::append(const ChangeList& changes) {
    if (changes.empty()) return std::nullopt;
    std::string payload;
    encodeChanges(changes, payload);
    uint64_t sequence = sequence_ + 1;
    std::string checked;
    putFixed64(checked, sequence);
    std::string record;
    record.reserve(payload.size() + 20);
    putFixed32(record, kRecordMarker);
    putFixed32(record, static_cast<uint32_t>(payload.size()));
    putFixed32(record, crc32(payload, crc32(checked)));
    putFixed64(record, sequence);
    record.append(payload);
    if (FileError e = journal_.append(record)) return e;
    sequence_ = sequence;
    return std::nullopt;
}

FileError DatabaseStore::sync() {
    return journal_.sync();
}

bool DatabaseStore::foldIsDue(FoldMoment moment) const {
    const uint64_t journal = journal_.size() > kJournalHeaderSize ? journal_.size() : 0;
    if (journal == 0) return false;
    if (moment == FoldMoment::InUse)
        return journal > kInUseFoldFloorBytes && journal > snapshotBytes_;
    return journal * 4 >= snapshotBytes_;
}

FileError DatabaseStore::fold(const Database& database) {
    // Everything in the journal is in the snapshot written here; the journal is emptied
    // only once the snapshot is safely in place (a crash in between replays nothing twice:
    // the snapshot records the sequence it includes). The snapshot is streamed to its file
    // a record at a time: a table's definition, then its rows in records of about
    // kRowRecordTarget bytes.
    AtomicFileWriter writer;
    if (FileError e = writer.begin(snapshotPath())) return e;
    if (FileError e = writer.write(snapshotHeader(database.name(), database.id(), sequence_)))
        return e;
    uint32_t records = 0;
    std::string payload;
    std::string frame;
    auto writeRecord = [&]() -> FileError {
        frameRecord(frame, payload);
        if (FileError e = writer.write(frame)) return e;
        ++records;
        return writer.write(payload);
    };
    for (const auto& [id, table] : database.tables()) {
        payload.clear();
        putVarint(payload, 1);
        encodeTableDefinition(*table, payload);
        if (FileError e = writeRecord()) return e;
        const size_t rows = table->data.rowCount();
        size_t step = 4096;
        for (size_t first = 0; first < rows;) {
            const size_t count = std::min(step, rows - first);
            payload.clear();
            putVarint(payload, 1);
            encodeTableRows(*table, first, count, payload);
            if (FileError e = writeRecord()) return e;
            first += count;
            // Aim the next record at the target size, from this one's bytes per row.
            step = std::clamp<size_t>(
                count * kRowRecordTarget / std::max<size_t>(payload.size(), 1), 64, 1 << 18);
        }
    }
    payload.clear();
    encodeChanges(database.metadataChanges(), payload);
    if (FileError e = writeRecord()) return e;
    frame.clear();
    putFixed32(frame, 0);
    putFixed32(frame, records);
    if (FileError e = writer.write(frame)) return e;
    if (FileError e = writer.commit()) return e;
    snapshotBytes_ = writer.written();
    // The journal starts again, with this format's header.
    if (FileError e = journal_.truncate(0)) return e;
    if (FileError e = journal_.append(journalHeader())) return e;
    return journal_.sync();
}

}  // namespace engine::store
