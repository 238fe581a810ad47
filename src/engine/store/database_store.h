// The durable form of one database: a snapshot file and a journal of completed work.
//
//   <stem>.sdb  snapshot: header (magic, format version, value codec version, the journal
//               sequence it includes, database name and id), then checksummed records of
//               changes that rebuild the database, then an end record. Always replaced
//               atomically (temporary file, fsync, rename), so it is never half-written.
//   <stem>.sjl  journal: header, then one checksummed record per completed statement
//               (its sequence number and its change list). Records are handed to the
//               operating system with write() when the statement completes; fsync is
//               grouped (sync(), called when a session closes and before a snapshot).
//               A torn tail record (a crash in the middle of a write) fails its checksum
//               and is dropped on open, with everything after it.
// Opening loads the snapshot and replays the journal records newer than it. fold() writes
// a new snapshot holding everything and empties the journal.
// Thread-compatible: the server serialises the use of one database's store.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "engine/catalog/change.h"
#include "engine/catalog/database.h"
#include "engine/store/files.h"

namespace engine::store {

constexpr uint32_t kStoreFormatVersion = 1;

class DatabaseStore {
  public:
    // Creates the files of a new, empty database; fails if its snapshot already exists.
    static FileError create(const std::filesystem::path& directory, const std::string& stem,
                            const std::string& name, int32_t databaseId);

    // Reads only the header of a snapshot: the database's name and id.
    static FileError readHeader(const std::filesystem::path& snapshotPath, std::string& name,
                                int32_t& databaseId);

    // Loads the database from its files (snapshot, then journal).
    static FileError open(const std::filesystem::path& directory, const std::string& stem,
                          std::unique_ptr<DatabaseStore>& store,
                          std::unique_ptr<Database>& database);

    // Deletes the files of a database.
    static FileError remove(const std::filesystem::path& directory, const std::string& stem);

    // Appends the changes of one completed statement to the journal.
    FileError append(const ChangeList& changes);
    // Flushes the journal to stable storage.
    FileError sync();
    // Writes a snapshot of the database as it is now and empties the journal.
    FileError fold(const Database& database);

    uint64_t journalBytes() const { return journal_.size(); }
    uint64_t snapshotBytes() const { return snapshotBytes_; }

  private:
    DatabaseStore(std::filesystem::path directory, std::string stem)
        : directory_(std::move(directory)), stem_(std::move(stem)) {}

    std::filesystem::path snapshotPath() const;
    std::filesystem::path journalPath() const;

    std::filesystem::path directory_;
    std::string stem_;
    AppendFile journal_;
    uint64_t sequence_ = 0;  // of the last record written or replayed
    uint64_t snapshotBytes_ = 0;
};

}  // namespace engine::store
