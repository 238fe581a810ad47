#include "engine/store/database_store.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <map>

#include "engine/store/binary.h"
#include "engine/store/change_codec.h"
#include "engine/store/crc32.h"
#include "engine/store/load_failures.h"
#include "engine/store/snapshot_records.h"
#include "engine/store/snapshot_rows.h"
#include "engine/types/value_codec.h"

namespace engine::store {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kSnapshotMagic = "SQLEMBDB";
constexpr std::string_view kJournalMagic = "SQLEMBJL";
constexpr uint32_t kRecordMarker = 0x4A524543;  // "CERJ": start of a journal record
// From format 7: the start of a record whose unit (a batch, a transaction) goes on in later
// records. Such records are replayed only once a record with the plain marker follows.
constexpr uint32_t kContinuedMarker = 0x4B524543;  // "CERK"
// The first format that has continued records.
constexpr uint32_t kFirstUnitFormat = 7;
static_assert(kChangeFormatVersion == 5, "a new change encoding needs a store format of its own");

// The change encoding of the records of a store format (procedures, triggers and alias
// types came with store format 4, FOREIGN KEY constraints with 5, scalar functions with 6).
uint32_t changeFormatOf(uint32_t storeFormat) {
    if (storeFormat >= 6) return 5;  // 7 changed the journal's framing only
    if (storeFormat >= 4) return storeFormat - 1;
    return std::min<uint32_t>(storeFormat, 2);
}
bool isMarker(uint32_t marker, uint32_t format) {
    return marker == kRecordMarker || (format >= kFirstUnitFormat && marker == kContinuedMarker);
}
size_t journalHeaderSize(uint32_t format) {
    return format >= 3 ? 16 : 12;
}
// Marker, length, checksum, sequence and, from format 3, the framing's own checksum.
size_t journalFrameSize(uint32_t format) {
    return format >= 3 ? 24 : 20;
}
// A format number above the one written but at most this is taken for a later release's;
// anything larger is a damaged header.
constexpr uint32_t kLikelyFormat = 64;
// The header is small: a name of at most 128 characters, a few numbers.
constexpr size_t kLongestHeader = 4096;
// Snapshot records of rows aim at this size, so that writing and reading them needs little
// memory whatever the size of the table.
constexpr size_t kRowRecordTarget = 1 << 20;

LoadFailure newer(const fs::path& file, uint32_t format) {
    return LoadFailure{LoadFailure::Kind::Newer, file, 0,
                       "was written by a newer release (format " + std::to_string(format) + ")"};
}

std::string snapshotHeader(const std::string& name, int32_t databaseId, uint64_t sequence) {
    std::string out(kSnapshotMagic);
    putFixed32(out, kStoreFormatVersion);
    putFixed32(out, static_cast<uint32_t>(kValueCodecVersion));
    putFixed64(out, sequence);
    putString(out, name);
    putSigned(out, databaseId);
    putFixed32(out, crc32(out));
    return out;
}

std::string journalHeader() {
    std::string out(kJournalMagic);
    putFixed32(out, kStoreFormatVersion);
    putFixed32(out, crc32(out));
    return out;
}

struct SnapshotHeader {
    uint32_t format = 0;
    uint32_t codec = 0;
    uint64_t sequence = 0;
    std::string name;
    int32_t databaseId = 0;
    size_t size = 0;  // bytes
};

LoadResult parseHeader(std::string_view bytes, uint64_t fileSize, SnapshotHeader& h,
                       const fs::path& path) {
    if (fileSize == 0) return damaged(path, 0, "the file is empty");
    if (bytes.substr(0, kSnapshotMagic.size()) != kSnapshotMagic)
        return damaged(path, 0, "it does not start as a database snapshot does");
    std::string_view in = bytes.substr(kSnapshotMagic.size());
    if (!getFixed32(in, h.format) || !getFixed32(in, h.codec))
        return damaged(path, bytes.size(), "the header is cut short");
    if (h.format == 0 || h.format > kLikelyFormat)
        return damaged(path, 8, "the header gives format " + std::to_string(h.format));
    if (h.codec == 0 || h.codec > kLikelyFormat)
        return damaged(path, 12, "the header gives value encoding " + std::to_string(h.codec));
    if (h.format > kStoreFormatVersion) return newer(path, h.format);
    if (h.codec > static_cast<uint32_t>(kValueCodecVersion)) return newer(path, h.codec);
    int64_t id = 0;
    if (!getFixed64(in, h.sequence) || !getString(in, h.name) || !getSigned(in, id))
        return damaged(path, 24, "the header's name or database id cannot be read");
    if (id < INT32_MIN || id > INT32_MAX)
        return damaged(path, 24, "the header gives database id " + std::to_string(id));
    h.databaseId = static_cast<int32_t>(id);
    if (h.format >= 3) {
        const size_t covered = bytes.size() - in.size();
        uint32_t stored = 0;
        if (!getFixed32(in, stored)) return damaged(path, covered, "the header is cut short");
        const uint32_t computed = crc32(bytes.substr(0, covered));
        if (stored != computed)
            return damaged(path, covered,
                           "the header's checksum is " + hex32(stored) + " where its bytes give " +
                               hex32(computed));
    }
    h.size = bytes.size() - in.size();
    return std::nullopt;
}

LoadResult readSnapshotHeader(FileReader& reader, SnapshotHeader& h, const fs::path& path) {
    if (FileError e = reader.need(kLongestHeader)) return unreadable(path, *e);
    if (LoadResult f = parseHeader(reader.available(), reader.fileSize(), h, path)) return f;
    reader.consume(h.size);
    return std::nullopt;
}

// What is wrong with a table's data as loaded (empty when nothing is): the checks that keep
// a crafted or mismatched record from leaving cells the executor would read past.
std::string inconsistency(const Table& table) {
    const TableData& data = table.data();
    if (data.columns.size() != table.schema.columns.size())
        return "table '" + table.schema.name + "' has " + std::to_string(data.columns.size()) +
               " columns of cells for " + std::to_string(table.schema.columns.size()) + " columns";
    for (size_t c = 0; c < data.columns.size(); ++c) {
        if (data.columns[c].size() != data.rowIds.size())
            return "column '" + table.schema.columns[c].name + "' of table '" + table.schema.name +
                   "' has " + std::to_string(data.columns[c].size()) + " cells for " +
                   std::to_string(data.rowIds.size()) + " rows";
    }
    return {};
}

// Applies changes and checks the tables they touched; on a mismatch returns what is wrong
// and, when drop is set, drops the table (a salvage keeps the rest).
std::string applyChecked(Database& db, const ChangeList& changes, bool drop) {
    db.apply(changes);
    for (const Change& c : changes) {
        const int32_t id = c.kind == Change::Kind::PutTable ? c.table.id : c.objectId;
        const Table* table = db.tableById(id);
        // Rows still set aside were not touched (a definition changed, say): nothing to check.
        if (!table || table->deferredRows()) continue;
        std::string problem = inconsistency(*table);
        if (problem.empty()) continue;
        if (drop) {
            Change dropTable;
            dropTable.kind = Change::Kind::DropTable;
            dropTable.objectId = id;
            db.apply(dropTable);
        }
        return problem;
    }
    return {};
}

// The rows records of one table, held until its last one has been read, so that the table's
// columns are sized once for all of them instead of growing record by record (every growth a
// copy of the column, and room to spare left behind).
class HeldRows {
  public:
    // Takes `changes` when it is one rows record that appends cleanly (same columns and
    // types, rows in ascending order after those already there) to the table of the rows
    // held; otherwise puts the held rows in place first and leaves `changes` to the caller.
    bool take(Database& db, ChangeList& changes) {
        if (changes.size() != 1 || changes.front().kind != Change::Kind::InsertRows) {
            flush(db);
            return false;
        }
        Change& rows = changes.front();
        if (!held_.empty() && held_.front().objectId != rows.objectId) flush(db);
        if (!appendsCleanly(db, rows)) {
            flush(db);
            return false;
        }
        held_.push_back(std::move(rows));
        return true;
    }

    void flush(Database& db) {
        if (held_.empty()) return;
        if (Table* table = db.tableById(held_.front().objectId)) {
            size_t total = table->data().rowCount();
            for (const Change& c : held_)
                total += c.rowIds.size();
            table->data().rowIds.reserve(total);
            for (size_t i = 0; i < table->data().columns.size(); ++i) {
                size_t arena = 0;
                for (const Change& c : held_)
                    arena += c.values[i].arenaBytes();
                table->data().columns[i].reserve(total, arena);
            }
        }
        for (const Change& c : held_)
            db.apply(c);
        held_.clear();
    }

  private:
    bool appendsCleanly(const Database& db, const Change& rows) const {
        const Table* table = db.tableById(rows.objectId);
        if (!table || rows.rowIds.empty() || rows.values.size() != table->data().columns.size())
            return false;
        for (size_t i = 0; i < rows.values.size(); ++i) {
            if (rows.values[i].type() != table->data().columns[i].type()) return false;
        }
        for (size_t i = 1; i < rows.rowIds.size(); ++i) {
            if (rows.rowIds[i] <= rows.rowIds[i - 1]) return false;
        }
        if (!held_.empty()) return rows.rowIds.front() > held_.back().rowIds.back();
        return table->data().rowIds.empty() || rows.rowIds.front() > table->data().rowIds.back();
    }

    std::vector<Change> held_;
};

// One pass over a database's files. Strict (open): the first damage ends it. Lenient
// (check, salvage): every damage is noted and reading goes on where it can.
class Loader {
  public:
    Loader(const fs::path& directory, const std::string& stem, bool lenient)
        : snapshotPath_(directory / (stem + ".sdb")),
          journalPath_(directory / (stem + ".sjl")),
          lenient_(lenient) {}

    // Loads into the database made from the header (into == nullptr) or into `into`.
    LoadResult run(Database* into) {
        {
            FileReader reader;
            if (FileError e = reader.open(snapshotPath_)) return unreadable(snapshotPath_, *e);
            snapshotBytes_ = reader.fileSize();
            if (LoadResult f = readSnapshotHeader(reader, header_, snapshotPath_)) {
                if (f->kind != LoadFailure::Kind::Damaged || !lenient_) return f;
                report.damage.push_back(*f);
                return std::nullopt;  // nothing after a header that cannot be read
            }
            if (into) {
                target_ = into;
            } else {
                owned_ = std::make_unique<Database>(header_.name, header_.databaseId);
                target_ = owned_.get();
            }
            sequence_ = header_.sequence;
            if (!lenient_) {
                // Opening sets the tables' rows aside, to be read from this copy of the file.
                if (FileError e = SnapshotFile::open(snapshotPath_, changeFormatOf(header_.format),
                                                     header_.name, file_))
                    return unreadable(snapshotPath_, *e);
            }
            if (LoadResult f = loadSnapshot(reader)) return f;
        }
        try {
            return replayJournal();
        } catch (const RowsUnreadable& e) {
            // A table the journal changes could not be read from the snapshot.
            return note(e.failure());
        }
    }

    CheckReport report;
    std::unique_ptr<Database> owned_;
    SnapshotHeader header_;
    uint64_t snapshotBytes_ = 0;
    uint64_t sequence_ = 0;            // of the last journal record applied (or the snapshot's)
    bool journalHeaderWhole_ = false;  // a journal with a whole header of ours
    uint32_t journalFormat_ = kStoreFormatVersion;
    uint64_t journalGoodSize_ = 0;  // where its whole records end

  private:
    std::shared_ptr<const SnapshotFile> file_;  // when rows are set aside
    std::map<int32_t, SnapshotRows*> aside_;    // by table: the rows set aside (owned by it)

    // Strict: the failure to return. Lenient: noted, and reading goes on (nullopt).
    LoadResult note(LoadFailure failure) {
        if (!lenient_) return failure;
        report.damage.push_back(std::move(failure));
        return std::nullopt;
    }

    LoadResult loadSnapshot(FileReader& reader) {
        HeldRows held;
        try {
            LoadResult result = loadSnapshotRecords(reader, held);
            held.flush(*target_);
            return result;
        } catch (const RowsUnreadable& e) {
            // Rows set aside earlier in the file, read because a later record changes them.
            return note(e.failure());
        }
    }

    // A rows record left in the file: set aside with its table's other rows, or read now when
    // the table's rows are in memory already or there is no such table (a file written
    // otherwise than fold() does).
    LoadResult setAside(const SnapshotRecord& record, HeldRows& held) {
        held.flush(*target_);
        const int32_t id = *record.rowsOf;
        Table* table = target_->tableById(id);
        const RowsRecordPlace place{record.offset, record.number};
        auto it = aside_.find(id);
        if (table && it != aside_.end() && table->deferredRows() == it->second) {
            it->second->add(place, record.rows);
            return std::nullopt;
        }
        if (table && !table->deferredRows() && table->data().rowCount() == 0) {
            auto rows = std::make_unique<SnapshotRows>(file_);
            rows->add(place, record.rows);
            aside_[id] = rows.get();
            table->deferRows(std::move(rows));
            return std::nullopt;
        }
        std::string bytes;
        if (LoadResult f = file_->readRecord(record.offset, record.number, bytes)) return f;
        const std::string which = "record " + std::to_string(record.number);
        ChangeList changes;
        if (!decodeChanges(std::string_view(bytes).substr(8), changes,
                           changeFormatOf(header_.format)))
            return damaged(snapshotPath_, record.offset,
                           which + " passes its checksum but cannot be decoded");
        if (std::string wrong = applyChecked(*target_, changes, false); !wrong.empty())
            return damaged(snapshotPath_, record.offset, which + " leaves " + wrong);
        return std::nullopt;
    }

    LoadResult loadSnapshotRecords(FileReader& reader, HeldRows& held) {
        SnapshotRecords records(reader, snapshotPath_, header_.size, changeFormatOf(header_.format),
                                !lenient_);
        while (true) {
            SnapshotRecord record = records.next();
            if (record.end) {
                if (!record.failure) return std::nullopt;
                if (record.failure->kind == LoadFailure::Kind::Unreadable) return record.failure;
                LoadResult f = note(std::move(*record.failure));
                if (record.recordLost && lenient_) ++report.recordsLost;
                return f;
            }
            std::optional<LoadFailure> problem = std::move(record.failure);
            if (problem) {
                // Skipped whole: neither checksummed nor decoded.
            } else if (record.rowsOf) {
                problem = setAside(record, held);
            } else if (held.take(*target_, record.changes)) {
                // Put in place with the table's other rows records.
            } else if (std::string wrong = applyChecked(*target_, record.changes, lenient_);
                       !wrong.empty()) {
                problem = damaged(snapshotPath_, record.offset,
                                  "record " + std::to_string(record.number) + " leaves " + wrong);
            }
            if (problem) {
                held.flush(*target_);
                if (LoadResult f = note(*problem)) return f;
                ++report.recordsLost;
            } else {
                ++report.snapshotRecords;
            }
        }
    }

    // Whether only zero bytes lie from offset to the end of the file: what a file extended
    // by a crash before its data reached the disk holds.
    bool zerosToEnd(uint64_t offset) {
        FileReader reader;
        if (reader.open(journalPath_) || reader.seek(offset)) return false;
        while (true) {
            if (reader.need(1 << 16)) return false;
            std::string_view bytes = reader.available();
            if (bytes.empty()) return true;
            if (bytes.find_first_not_of('\0') != std::string_view::npos) return false;
            reader.consume(bytes.size());
        }
    }

    // The offset of the first whole journal record that starts after offset, if any.
    std::optional<uint64_t> wholeRecordAfter(uint64_t offset, uint32_t format) {
        FileReader reader;
        if (reader.open(journalPath_) || reader.seek(offset + 1)) return std::nullopt;
        const size_t frame = journalFrameSize(format);
        const uint64_t size = reader.fileSize();
        uint64_t position = offset + 1;
        // Both markers start with the same three bytes.
        std::string marker;
        putFixed32(marker, kRecordMarker);
        marker.resize(3);
        while (position + frame <= size) {
            if (reader.need(1 << 16)) return std::nullopt;
            std::string_view bytes = reader.available();
            size_t hit = bytes.find(marker);
            if (hit == std::string_view::npos) {
                // Keep the last bytes: a marker may straddle two reads.
                const size_t skip = bytes.size() > 2 ? bytes.size() - 2 : 0;
                if (skip == 0) return std::nullopt;
                reader.consume(skip);
                position += skip;
                continue;
            }
            reader.consume(hit);
            position += hit;
            if (reader.need(frame)) return std::nullopt;
            std::string_view head = reader.available();
            if (head.size() < frame) return std::nullopt;
            uint32_t m, length, checksum, headCheck = 0;
            uint64_t sequence;
            std::string_view in = head;
            getFixed32(in, m);
            getFixed32(in, length);
            getFixed32(in, checksum);
            getFixed64(in, sequence);
            if (!isMarker(m, format)) {
                reader.consume(1);
                position += 1;
                continue;
            }
            if (format >= 3) {
                getFixed32(in, headCheck);
                if (crc32(head.substr(0, 20)) == headCheck) return position;
            } else if (length <= size - position - frame) {
                if (reader.need(frame + length)) return std::nullopt;
                std::string checked;
                putFixed64(checked, sequence);
                if (crc32(reader.available().substr(frame, length), crc32(checked)) == checksum)
                    return position;
            }
            reader.consume(1);
            position += 1;
        }
        return std::nullopt;
    }

    LoadResult replayJournal() {
        const fs::path& path = journalPath_;
        // From format 3 the journal always exists and is never empty (atomic replaces);
        // older releases left it missing, empty or with half a header after some crashes,
        // all holding nothing.
        const bool always = header_.format >= 3;
        std::error_code ec;
        if (!fs::exists(path, ec)) {
            if (ec) return unreadable(path, "cannot read '" + path.string() + "': " + ec.message());
            if (always) return note(damaged(path, 0, "the journal is missing"));
            return std::nullopt;
        }
        FileReader reader;
        if (FileError e = reader.open(path)) return unreadable(path, *e);
        const uint64_t size = reader.fileSize();
        if (size == 0) {
            if (always) return note(damaged(path, 0, "the journal is empty"));
            return std::nullopt;
        }
        if (FileError e = reader.need(16)) return unreadable(path, *e);
        std::string_view header = reader.available();
        const size_t common = std::min(header.size(), kJournalMagic.size());
        if (header.substr(0, common) != kJournalMagic.substr(0, common))
            return note(damaged(path, 0, "it does not start as a journal does"));
        if (header.size() < 12) {
            if (always) return note(damaged(path, header.size(), "the header is cut short"));
            return std::nullopt;
        }
        std::string_view in = header.substr(8);
        uint32_t format = 0;
        getFixed32(in, format);
        if (format == 0 || format > kLikelyFormat)
            return note(damaged(path, 8, "the header gives format " + std::to_string(format)));
        if (format > kStoreFormatVersion) return newer(path, format);
        if (format >= 3) {
            uint32_t stored = 0;
            if (!getFixed32(in, stored))
                return note(damaged(path, header.size(), "the header is cut short"));
            const uint32_t computed = crc32(header.substr(0, 12));
            if (stored != computed)
                return note(damaged(path, 12,
                                    "the header's checksum is " + hex32(stored) +
                                        " where its bytes give " + hex32(computed)));
        }
        journalHeaderWhole_ = true;
        journalFormat_ = format;
        uint64_t offset = journalHeaderSize(format);
        reader.consume(offset);
        journalGoodSize_ = offset;

        const size_t frame = journalFrameSize(format);
        uint64_t previous = 0;
        bool any = false;
        // The records of a unit not yet ended by a plain record.
        struct HeldRecord {
            ChangeList changes;
            uint64_t offset;
            uint64_t sequence;
        };
        std::vector<HeldRecord> held;
        auto lose = [&](LoadFailure f) -> LoadResult {
            report.journalBytesLost = size - offset;
            return note(std::move(f));
        };
        while (offset < size) {
            const uint64_t remaining = size - offset;
            if (FileError e = reader.need(frame)) return unreadable(path, *e);
            std::string_view head = reader.available();
            std::string torn;  // why the record looks cut short, if it does
            uint32_t marker = 0, length = 0, checksum = 0;
            uint64_t sequence = 0;
            if (remaining < frame) {
                torn = "the file ends " + std::to_string(remaining) + " bytes into its " +
                       std::to_string(frame) + "-byte framing";
            } else {
                std::string_view h = head;
                getFixed32(h, marker);
                getFixed32(h, length);
                getFixed32(h, checksum);
                getFixed64(h, sequence);
                bool framed = isMarker(marker, format);
                if (format >= 3) {
                    uint32_t headCheck = 0;
                    getFixed32(h, headCheck);
                    framed = framed && crc32(head.substr(0, 20)) == headCheck;
                }
                if (!framed) {
                    if (!zerosToEnd(offset))
                        return lose(damaged(path, offset,
                                            format >= 3 ? "a record's framing fails its checksum"
                                                        : "no record starts here"));
                    torn = "only zeros follow its start";
                } else if (length > remaining - frame) {
                    torn = "it claims " + std::to_string(length) + " bytes where " +
                           std::to_string(remaining - frame) + " remain";
                }
            }
            if (torn.empty()) {
                if (FileError e = reader.need(frame + length)) return unreadable(path, *e);
                std::string_view payload = reader.available().substr(frame, length);
                std::string checked;
                putFixed64(checked, sequence);
                const uint32_t computed = crc32(payload, crc32(checked));
                const std::string which = "the record of statement " + std::to_string(sequence);
                if (computed != checksum) {
                    const bool last = frame + length == remaining;
                    const std::string_view end =
                        payload.substr(payload.size() - std::min<size_t>(512, payload.size()));
                    if (!last || end.find_first_not_of('\0') != std::string_view::npos)
                        return lose(checksumMismatch(path, offset, which, checksum, computed));
                    torn = "its data ends in zeros that fail its checksum";
                } else {
                    ChangeList changes;
                    if (!decodeChanges(payload, changes, changeFormatOf(format)))
                        return lose(damaged(path, offset,
                                            which + " passes its checksum but cannot be decoded"));
                    if (any && sequence != previous + 1)
                        return lose(damaged(
                            path, offset,
                            which + " follows that of statement " + std::to_string(previous)));
                    if (!any && sequence > header_.sequence + 1)
                        return lose(damaged(
                            path, offset,
                            which + " comes first, but the snapshot holds statements up to " +
                                std::to_string(header_.sequence) +
                                " only: the ones between are missing"));
                    if (sequence > sequence_) {
                        held.push_back({std::move(changes), offset, sequence});
                        // A unit's records take effect together, when its last one is read.
                        if (marker == kRecordMarker) {
                            for (HeldRecord& h : held) {
                                std::string wrong = applyChecked(*target_, h.changes, false);
                                if (wrong.empty()) continue;
                                report.journalBytesLost = size - h.offset;
                                return note(damaged(path, h.offset,
                                                    "the record of statement " +
                                                        std::to_string(h.sequence) + " leaves " +
                                                        wrong));
                            }
                            held.clear();
                            sequence_ = sequence;
                        }
                    }
                    previous = sequence;
                    any = true;
                    ++report.journalRecords;
                    reader.consume(frame + length);
                    offset += frame + length;
                    journalGoodSize_ = offset;
                    continue;
                }
            }
            // Cut short, as the last write before a crash leaves a record; damage instead
            // when a whole record follows it.
            if (auto next = wholeRecordAfter(offset, format))
                return lose(damaged(path, offset,
                                    "a record looks cut short (" + torn +
                                        "), yet a whole record follows at offset " +
                                        std::to_string(*next)));
            report.tornTail =
                LoadFailure{LoadFailure::Kind::Torn, path, offset,
                            "its last record, " + std::to_string(remaining) +
                                " bytes, was cut short by a crash in the middle of its write (" +
                                torn + "); the statement it held had not completed"};
            break;
        }
        if (!held.empty()) {
            // A batch or transaction that had not finished when the process stopped: its
            // records go, as a torn last record does (open() cuts the journal before them).
            const uint64_t from = held.front().offset;
            std::string why = std::to_string(held.size()) +
                              (held.size() == 1 ? " record" : " records") +
                              " of a batch or transaction that had not completed";
            if (report.tornTail) why += ", then " + report.tornTail->detail;
            report.tornTail = LoadFailure{LoadFailure::Kind::Torn, path, from, why};
            journalGoodSize_ = from;
        }
        // The snapshot says which statements it holds; a journal that ends before them is
        // not the one written with it (or the snapshot's header is wrong).
        if (any && previous < header_.sequence)
            return note(damaged(
                snapshotPath_, 16,
                "its header says it holds statements up to " + std::to_string(header_.sequence) +
                    ", but its journal ends with statement " + std::to_string(previous)));
        return std::nullopt;
    }

    fs::path snapshotPath_;
    fs::path journalPath_;
    bool lenient_;
    Database* target_ = nullptr;
};

void frameRecord(std::string& frame, std::string_view payload) {
    frame.clear();
    putFixed32(frame, static_cast<uint32_t>(payload.size()));
    putFixed32(frame, crc32(payload));
}

// The engine's error log: what recovery did that nobody asked for.
void logRecovery(const std::string& line) {
    std::cerr << "engine: " << line << "\n";
    std::cerr.flush();
}

}  // namespace

std::string LoadFailure::text() const {
    switch (kind) {
        case Kind::Unreadable:
            return detail;
        case Kind::Newer:
            return "'" + file.string() + "' " + detail;
        case Kind::Damaged:
        case Kind::Torn:
            break;
    }
    char offsetText[32];
    std::snprintf(offsetText, sizeof offsetText, "%llu (0x%llx)",
                  static_cast<unsigned long long>(offset), static_cast<unsigned long long>(offset));
    return "'" + file.string() + (kind == Kind::Torn ? "' at offset " : "' is damaged at offset ") +
           offsetText + ": " + detail;
}

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
    // The journal first: a snapshot of this format is never without one. It replaces any
    // journal left by an earlier database of the same name, which must not be replayed.
    if (FileError e = replaceFileAtomically(directory / (stem + ".sjl"), journalHeader())) return e;
    std::string bytes = snapshotHeader(name, databaseId, 0);
    Database empty(name, databaseId);
    std::string payload;
    encodeChanges(empty.metadataChanges(), payload);
    std::string frame;
    frameRecord(frame, payload);
    bytes += frame + payload;
    putFixed32(bytes, 0);  // end record
    putFixed32(bytes, 1);
    return replaceFileAtomically(snapshot, bytes);
}

LoadResult DatabaseStore::readHeader(const std::filesystem::path& snapshotPath, std::string& name,
                                     int32_t& databaseId) {
    FileReader reader;
    if (FileError e = reader.open(snapshotPath)) return unreadable(snapshotPath, *e);
    SnapshotHeader h;
    if (LoadResult f = readSnapshotHeader(reader, h, snapshotPath)) return f;
    name = h.name;
    databaseId = h.databaseId;
    return std::nullopt;
}

FileError DatabaseStore::remove(const std::filesystem::path& directory, const std::string& stem) {
    // The snapshot first: a journal left alone by a crash is replaced by the next create(),
    // a snapshot left without its journal would be damage.
    std::error_code ec;
    if (!std::filesystem::remove(directory / (stem + ".sdb"), ec) && ec)
        return "cannot delete '" + (directory / (stem + ".sdb")).string() + "': " + ec.message();
    std::filesystem::remove(directory / (stem + ".sjl"), ec);
    return syncDirectory(directory);
}

FileError DatabaseStore::startJournal() {
    if (FileError e = replaceFileAtomically(journalPath(), journalHeader())) return e;
    return journal_.open(journalPath());
}

LoadResult DatabaseStore::open(const std::filesystem::path& directory, const std::string& stem,
                               std::unique_ptr<DatabaseStore>& store,
                               std::unique_ptr<Database>& database) {
    std::unique_ptr<DatabaseStore> result(new DatabaseStore(directory, stem));
    Loader loader(directory, stem, false);
    if (LoadResult f = loader.run(nullptr)) return f;
    result->snapshotBytes_ = loader.snapshotBytes_;
    result->sequence_ = loader.sequence_;
    std::unique_ptr<Database> db = std::move(loader.owned_);
    auto failed = [&](const FileError& e) { return unreadable(result->journalPath(), *e); };

    if (loader.report.tornTail) {
        // The one thing recovery changes: a record that a crash cut short goes, so that the
        // next append does not follow it.
        if (FileError e = result->journal_.open(result->journalPath())) return failed(e);
        if (FileError e = result->journal_.truncate(loader.journalGoodSize_)) return failed(e);
        if (FileError e = result->journal_.sync()) return failed(e);
        logRecovery(loader.report.tornTail->text() + "; dropped");
    }
    if (!loader.journalHeaderWhole_) {
        // An older release's journal that holds nothing (missing, empty, half a header).
        if (FileError e = result->startJournal()) return failed(e);
    } else if (loader.journalFormat_ != kStoreFormatVersion) {
        // Records of an older format: fold them into a snapshot of this format, which also
        // starts the journal again with this format's header.
        if (FileError e = result->journal_.open(result->journalPath())) return failed(e);
        if (loader.report.journalRecords > 0) {
            if (FileError e = result->fold(*db)) return failed(e);
        } else if (FileError e = result->startJournal()) {
            return failed(e);
        }
    } else if (!result->journal_.isOpen()) {
        if (FileError e = result->journal_.open(result->journalPath())) return failed(e);
    }
    store = std::move(result);
    database = std::move(db);
    return std::nullopt;
}

CheckReport DatabaseStore::check(const std::filesystem::path& directory, const std::string& stem) {
    Loader loader(directory, stem, true);
    if (LoadResult f = loader.run(nullptr)) loader.report.damage.push_back(*f);
    return loader.report;
}

CheckReport DatabaseStore::salvage(const std::filesystem::path& directory, const std::string& stem,
                                   Database& into) {
    Loader loader(directory, stem, true);
    if (LoadResult f = loader.run(&into)) loader.report.damage.push_back(*f);
    return loader.report;
}

FileError DatabaseStore::append(const ChangeList& changes, bool continued) {
    if (changes.empty()) return std::nullopt;
    return writeRecord(changes, continued);
}

FileError DatabaseStore::endUnit() {
    if (!unitOpen_) return std::nullopt;
    return writeRecord({}, false);
}

FileError DatabaseStore::writeRecord(const ChangeList& changes, bool continued) {
    std::string payload;
    encodeChanges(changes, payload);
    uint64_t sequence = sequence_ + 1;
    std::string checked;
    putFixed64(checked, sequence);
    std::string record;
    record.reserve(payload.size() + 24);
    putFixed32(record, continued ? kContinuedMarker : kRecordMarker);
    putFixed32(record, static_cast<uint32_t>(payload.size()));
    putFixed32(record, crc32(payload, crc32(checked)));
    putFixed64(record, sequence);
    putFixed32(record, crc32(record));
    record.append(payload);
    if (FileError e = journal_.append(record)) return e;
    sequence_ = sequence;
    unitOpen_ = continued;
    return std::nullopt;
}

FileError DatabaseStore::sync() {
    return journal_.sync();
}

bool DatabaseStore::foldIsDue(FoldMoment moment) const {
    const uint64_t journal = journal_.size() > kJournalHeaderBytes ? journal_.size() : 0;
    // A snapshot taken in the middle of a unit would make its first part durable alone.
    if (journal == 0 || unitOpen_) return false;
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
        if (const auto* aside = dynamic_cast<const SnapshotRows*>(table->deferredRows())) {
            // Rows never read since the database opened go over as they stand in the file.
            if (FileError e = aside->copyTo(writer, records)) return e;
            continue;
        }
        const size_t rows = table->data().rowCount();
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
    // The journal starts again, empty and of this format, put in place whole.
    return startJournal();
}

}  // namespace engine::store
