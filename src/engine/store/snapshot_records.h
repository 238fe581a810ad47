// A snapshot's records read ahead on a thread of their own: framed, checksummed and decoded
// there, handed over in file order, so that opening a large database decodes one record while
// the caller puts the one before it in place.
//
// The reader owns the file from the first record on; nothing is applied here. Thread safety:
// one caller; the read-ahead thread is stopped and joined on destruction.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>

#include "engine/catalog/change.h"
#include "engine/store/database_store.h"
#include "engine/store/files.h"

namespace engine::store {

struct SnapshotRecord {
    // A record, or how reading ended: the end record whole (no failure), or a failure.
    bool end = false;
    uint64_t offset = 0;  // of the record's frame
    uint32_t number = 0;  // 1 for the first record
    // Record: why it is skipped (checksum, decoding). End: why reading stopped.
    std::optional<LoadFailure> failure;
    // End: the failure is a record framed past the end of the file (that record is lost).
    bool recordLost = false;
    ChangeList changes;
    // A rows record checksummed but not decoded (when rows are set aside): its table.
    std::optional<int32_t> rowsOf;
    uint64_t rows = 0;  // and how many rows it holds
};

class SnapshotRecords {
  public:
    // Reads from reader's position (offset `offset` of the file), in change format `format`.
    // With setRowsAside, a record of one table's rows is checksummed only (see rowsOf).
    SnapshotRecords(FileReader& reader, std::filesystem::path path, uint64_t offset,
                    uint32_t format, bool setRowsAside = false);
    ~SnapshotRecords();
    SnapshotRecords(const SnapshotRecords&) = delete;
    SnapshotRecords& operator=(const SnapshotRecords&) = delete;

    // The next record, waiting for it; not to be called again once the end has come.
    SnapshotRecord next();

  private:
    static constexpr size_t kAhead = 4;  // records decoded ahead at most

    void readAll();
    // Hands a record over, waiting for room; false once the reader is stopping.
    bool put(SnapshotRecord record);

    FileReader& reader_;
    const std::filesystem::path path_;
    const uint64_t firstOffset_;
    const uint32_t format_;
    const bool setRowsAside_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<SnapshotRecord> ready_;
    bool stopping_ = false;
    std::exception_ptr error_;
    std::thread thread_;
};

}  // namespace engine::store
