// The durable form of one database: a snapshot file and a journal of completed work.
//
//   <stem>.sdb  snapshot: header (magic, format version, value codec version, the journal
//               sequence it includes, database name and id, and from format 3 a checksum of
//               the header), then checksummed records of changes that rebuild the database,
//               then an end record (which counts the records) at the very end of the file.
//               Always replaced atomically (temporary file, fsync, rename), so it is never
//               half-written: any mismatch in it is damage.
//   <stem>.sjl  journal: header (from format 3 with its own checksum), then one record per
//               completed statement: its sequence number (one more than the record before)
//               and its change list, under a checksum; from format 3 the record's framing
//               (length, sequence) has a checksum of its own. From format 7 a record may be
//               marked continued: the statements of a batch or of a transaction are made
//               durable together, when a plain record ends them (see append()). Records are handed to the
//               operating system with write() when the statement completes; fsync is
//               grouped (sync(), called when a session closes and before a snapshot). From
//               format 3 the journal is never empty or missing: it is created, and emptied
//               after a snapshot, by an atomic replace.
//
// Damage is reported, never repaired: a checksum, header, framing or sequence mismatch
// anywhere in either file makes open() fail with the file and the offset, and leaves both
// files as they are. The one exception is what a crash in the middle of an append leaves:
// the journal's last record cut short (the file ends inside it, or only zeros follow its
// start, and no whole record follows). That record held a statement that had not
// completed; open() drops it and says so on stderr (the engine's error log), naming the
// file, the offset and the bytes dropped. A journal cut exactly between two records cannot
// be told from one whose later statements never ran.
//
// Opening loads the snapshot and replays the journal records newer than it, reading both
// files a record at a time (memory for the largest record, never for the whole file); a
// table is written as its definition and records of its rows of about a megabyte each.
// Rows records are checksummed on opening but set aside (snapshot_rows.h): a table's rows are
// decoded when it is first used, and a fold copies the records of tables never used as they
// stand. A rows record that passes its checksum but does not decode is found then, by the
// statement that needs the table (824), not by open(); check() decodes everything.
// fold() writes a new snapshot holding everything and empties the journal. check() reads
// both files as open() would, changing nothing, and reports every damaged place;
// salvage() rebuilds what they still hold.
// Thread-compatible: the server serialises the use of one database's store.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/catalog/change.h"
#include "engine/catalog/database.h"
#include "engine/store/change_codec.h"
#include "engine/store/files.h"

namespace engine::store {

// The format written. 1 and 2 follow the change encoding's versions (change_codec.h);
// 3 keeps encoding 2 and adds the checksums of headers and journal record framing; 4 has
// encoding 3 (procedures, triggers, alias types); 5 has encoding 4 (FOREIGN KEY
// constraints); 6 has encoding 5 (scalar functions); 7 adds the journal's continued records
// (units of work made durable whole). Files of older versions are read; a
// journal of an older version is folded away when it is opened, so that one file never
// mixes versions.
constexpr uint32_t kStoreFormatVersion = 7;

// Why a database's files cannot be loaded.
struct LoadFailure {
    enum class Kind {
        Unreadable,  // the operating system refused (permissions, I/O error)
        Damaged,     // a checksum, header, framing or sequence mismatch
        Newer,       // written by a later release
        Torn,        // not a failure: the journal's last record cut short by a crash
    };
    Kind kind = Kind::Damaged;
    std::filesystem::path file;
    uint64_t offset = 0;  // where in file (Damaged)
    std::string detail;   // what was found there, or the operating system's words

    // One line: the file, the offset (decimal and hexadecimal) and the detail.
    std::string text() const;
};
using LoadResult = std::optional<LoadFailure>;

// What check() and salvage() found. A damaged snapshot record is skipped (its table, or
// those of its rows, are lost) and reading goes on after it; the journal is replayed up to
// its first damaged record only, because a statement's changes applied without the ones
// before them could leave a table inconsistent.
struct CheckReport {
    std::vector<LoadFailure> damage;  // every damaged place, in file order
    // The journal's last record cut short by a crash (dropped by open(), not damage).
    std::optional<LoadFailure> tornTail;
    uint64_t snapshotRecords = 0;   // records read whole
    uint64_t journalRecords = 0;    // records replayed
    uint64_t recordsLost = 0;       // snapshot records skipped
    uint64_t journalBytesLost = 0;  // journal bytes from its first damaged record on

    bool clean() const { return damage.empty(); }
};

class DatabaseStore {
  public:
    // Creates the files of a new, empty database; fails if its snapshot already exists.
    static FileError create(const std::filesystem::path& directory, const std::string& stem,
                            const std::string& name, int32_t databaseId);

    // Reads only the header of a snapshot: the database's name and id.
    static LoadResult readHeader(const std::filesystem::path& snapshotPath, std::string& name,
                                 int32_t& databaseId);

    // Loads the database from its files (snapshot, then journal). Damage anywhere fails the
    // open and changes nothing; a torn last journal record is dropped (see above).
    static LoadResult open(const std::filesystem::path& directory, const std::string& stem,
                           std::unique_ptr<DatabaseStore>& store,
                           std::unique_ptr<Database>& database);

    // Reads both files as open() does, going on past damage, and changes neither.
    static CheckReport check(const std::filesystem::path& directory, const std::string& stem);
    // The same, applying what can be read to into (an empty database).
    static CheckReport salvage(const std::filesystem::path& directory, const std::string& stem,
                               Database& into);

    // Deletes the files of a database.
    static FileError remove(const std::filesystem::path& directory, const std::string& stem);

    // Appends the changes of one completed statement to the journal. A continued record
    // belongs to a unit of work (a batch, a transaction) that goes on: a crash before the
    // unit ends loses all of its records, never some. A plain record ends the unit of the
    // records before it, whoever wrote them: a unit is whole only while no other session
    // writes to the database meanwhile (a transaction's locks see to that).
    FileError append(const ChangeList& changes, bool continued = false);
    // Ends the open unit, if any (an empty plain record).
    FileError endUnit();
    // Whether the journal's last record is a continued one.
    bool unitOpen() const { return unitOpen_; }
    // Flushes the journal to stable storage.
    FileError sync();
    // Writes a snapshot of the database as it is now and empties the journal. The snapshot
    // is streamed to its file: memory does not grow with the database.
    FileError fold(const Database& database);

    // When a fold pays: while sessions use the database, once the journal has outgrown both
    // kInUseFoldFloorBytes and the snapshot (so a statement seldom waits for one, and a
    // reopen never replays more than it loads); when the last session leaves, once the
    // journal reaches a quarter of the snapshot (a small change to a large database is
    // kept in the journal rather than rewriting the whole snapshot).
    enum class FoldMoment { InUse, Closing };
    static constexpr uint64_t kInUseFoldFloorBytes = 64ull << 20;
    bool foldIsDue(FoldMoment moment) const;

    // The size of an empty journal of the format written.
    static constexpr uint64_t kJournalHeaderBytes = 16;

    uint64_t journalBytes() const { return journal_.size(); }
    uint64_t snapshotBytes() const { return snapshotBytes_; }

  private:
    DatabaseStore(std::filesystem::path directory, std::string stem)
        : directory_(std::move(directory)), stem_(std::move(stem)) {}

    std::filesystem::path snapshotPath() const;
    std::filesystem::path journalPath() const;
    // Puts an empty journal of this format in place atomically and opens it for appends.
    FileError startJournal();
    FileError writeRecord(const ChangeList& changes, bool continued);

    std::filesystem::path directory_;
    std::string stem_;
    AppendFile journal_;
    uint64_t sequence_ = 0;  // of the last record written or replayed
    uint64_t snapshotBytes_ = 0;
    bool unitOpen_ = false;
};

}  // namespace engine::store
