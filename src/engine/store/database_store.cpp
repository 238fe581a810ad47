#include "engine/store/database_store.h"

#include <unistd.h>

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
    std::string bytes;
    if (FileError e = readWholeFile(snapshotPath, bytes)) return e;
    std::string_view in(bytes);
    SnapshotHeader h;
    if (FileError e = parseHeader(in, h, snapshotPath)) return e;
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
    std::string bytes;
    if (FileError e = readWholeFile(result->snapshotPath(), bytes)) return e;
    result->snapshotBytes_ = bytes.size();
    std::string_view in(bytes);
    SnapshotHeader h;
    if (FileError e = parseHeader(in, h, result->snapshotPath())) return e;
    auto db = std::make_unique<Database>(h.name, h.databaseId);
    uint32_t records = 0;
    while (true) {
        uint32_t length, checksum;
        if (!getFixed32(in, length) || !getFixed32(in, checksum))
            return "'" + result->snapshotPath().string() + "' is truncated";
        if (length == 0) {
            if (checksum != records)
                return "'" + result->snapshotPath().string() + "' is incomplete";
            break;
        }
        if (length > in.size() || crc32(in.substr(0, length)) != checksum)
            return "'" + result->snapshotPath().string() + "' is damaged";
        ChangeList changes;
        if (!decodeChanges(in.substr(0, length), changes))
            return "'" + result->snapshotPath().string() +
                   "' holds a record this release cannot read";
        db->apply(changes);
        in.remove_prefix(length);
        ++records;
    }
    bytes.clear();
    bytes.shrink_to_fit();

    // The journal: replay every whole record newer than the snapshot; cut a torn tail.
    result->sequence_ = h.sequence;
    std::string journal;
    uint64_t goodSize = 0;
    std::error_code ec;
    if (std::filesystem::exists(result->journalPath(), ec)) {
        if (FileError e = readWholeFile(result->journalPath(), journal)) return e;
        std::string_view j(journal);
        if (j.size() >= kJournalHeaderSize && j.substr(0, kJournalMagic.size()) == kJournalMagic) {
            goodSize = kJournalHeaderSize;
            j.remove_prefix(kJournalHeaderSize);
            while (j.size() >= 20) {
                std::string_view record = j;
                uint32_t marker, length, checksum;
                uint64_t sequence;
                getFixed32(record, marker);
                getFixed32(record, length);
                getFixed32(record, checksum);
                getFixed64(record, sequence);
                if (marker != kRecordMarker || length > record.size()) break;
                std::string_view payload = record.substr(0, length);
                std::string checked;
                putFixed64(checked, sequence);
                if (crc32(payload, crc32(checked)) != checksum) break;
                ChangeList changes;
                if (!decodeChanges(payload, changes)) break;
                if (sequence > result->sequence_) {
                    db->apply(changes);
                    result->sequence_ = sequence;
                }
                j.remove_prefix(20 + length);
                goodSize += 20 + length;
            }
        }
    }
    if (FileError e = result->journal_.open(result->journalPath())) return e;
    if (goodSize < kJournalHeaderSize) {
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

FileError DatabaseStore::fold(const Database& database) {
    // Everything in the journal is in the snapshot written here; the journal is emptied
    // only once the snapshot is safely in place (a crash in between replays nothing twice:
    // the snapshot records the sequence it includes).
    std::string bytes = snapshotHeader(database.name(), database.id(), sequence_);
    uint32_t records = 0;
    std::string payload;
    for (const auto& [id, table] : database.tables()) {
        payload.clear();
        putVarint(payload, 2);
        encodeTableContents(*table, payload);
        appendRecord(bytes, payload);
        ++records;
    }
    payload.clear();
    encodeChanges(database.metadataChanges(), payload);
    appendRecord(bytes, payload);
    ++records;
    putFixed32(bytes, 0);
    putFixed32(bytes, records);
    if (FileError e = replaceFileAtomically(snapshotPath(), bytes)) return e;
    snapshotBytes_ = bytes.size();
    if (FileError e = journal_.truncate(kJournalHeaderSize)) return e;
    return journal_.sync();
}

}  // namespace engine::store
