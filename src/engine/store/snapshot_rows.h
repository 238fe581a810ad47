// The rows of a snapshot's tables set aside when a database opens: a table's rows records
// are checksummed as the snapshot is read, but decoded and put in place only when the table
// is first used. Opening a large company then costs its definitions and a pass over the
// file, not the rows of every table in memory.
//
// The snapshot stays open for as long as rows are set aside in it: a fold that replaces the
// file leaves this copy readable until the last table that needs it has loaded. Thread
// safety: a SnapshotRows is loaded under its table's lock; the file is only read (pread).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/catalog/database.h"
#include "engine/store/database_store.h"
#include "engine/store/files.h"
#include "engine/types/sql_message.h"

namespace engine::store {

// SQL Server's words for damage found while reading a database (824), naming the file and
// the offset.
SqlMessage consistencyError(const LoadFailure& failure, const std::string& database);

// A table's rows that could not be read when it was first used: the statement fails with
// 824, the table keeps its rows set aside. Opening catches it to report the damage as such.
class RowsUnreadable : public SqlException {
  public:
    RowsUnreadable(LoadFailure failure, const std::string& database)
        : SqlException(consistencyError(failure, database)), failure_(std::move(failure)) {}
    const LoadFailure& failure() const { return failure_; }

  private:
    LoadFailure failure_;
};

// A snapshot file held open for reading records at their offsets.
class SnapshotFile {
  public:
    ~SnapshotFile();
    SnapshotFile(const SnapshotFile&) = delete;
    SnapshotFile& operator=(const SnapshotFile&) = delete;

    static FileError open(const std::filesystem::path& path, uint32_t changeFormat,
                          std::string database, std::shared_ptr<const SnapshotFile>& file);

    // The whole record (its eight-byte frame and its payload) at offset into bytes; a record
    // that fails its checksum is damage.
    LoadResult readRecord(uint64_t offset, uint32_t number, std::string& bytes) const;

    const std::filesystem::path& path() const { return path_; }
    uint32_t changeFormat() const { return changeFormat_; }
    const std::string& database() const { return database_; }

  private:
    SnapshotFile(int fd, std::filesystem::path path, uint32_t format, std::string database)
        : fd_(fd), path_(std::move(path)), changeFormat_(format), database_(std::move(database)) {}

    int fd_;
    std::filesystem::path path_;
    uint32_t changeFormat_;
    std::string database_;
};

// Where a rows record lies in the snapshot.
struct RowsRecordPlace {
    uint64_t offset = 0;  // of its frame
    uint32_t number = 0;  // its place among the snapshot's records, from 1
};

class SnapshotRows : public DeferredRows {
  public:
    explicit SnapshotRows(std::shared_ptr<const SnapshotFile> file) : file_(std::move(file)) {}

    void add(RowsRecordPlace place, uint64_t rows) {
        places_.push_back(place);
        rows_ += rows;
    }
    size_t rowCount() const override { return rows_; }
    // Decodes the records, in order, into data; throws RowsUnreadable on any failure.
    void load(const TableSchema& schema, TableData& data) const override;
    // Writes the records as they stand in the file; counts them into records.
    FileError copyTo(AtomicFileWriter& out, uint32_t& records) const;

  private:
    std::shared_ptr<const SnapshotFile> file_;
    std::vector<RowsRecordPlace> places_;
    size_t rows_ = 0;
};

}  // namespace engine::store
