#include "engine/store/snapshot_records.h"

#include <string>

#include "engine/store/binary.h"
#include "engine/store/change_codec.h"
#include "engine/store/crc32.h"
#include "engine/store/load_failures.h"

namespace engine::store {

SnapshotRecords::SnapshotRecords(FileReader& reader, std::filesystem::path path, uint64_t offset,
                                 uint32_t format, bool setRowsAside)
    : reader_(reader),
      path_(std::move(path)),
      firstOffset_(offset),
      format_(format),
      setRowsAside_(setRowsAside) {
    thread_ = std::thread([this] {
        try {
            readAll();
        } catch (...) {
            std::lock_guard lock(mutex_);
            error_ = std::current_exception();
            changed_.notify_all();
        }
    });
}

SnapshotRecords::~SnapshotRecords() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

bool SnapshotRecords::put(SnapshotRecord record) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stopping_ || ready_.size() < kAhead; });
    if (stopping_) return false;
    ready_.push_back(std::move(record));
    changed_.notify_all();
    return true;
}

SnapshotRecord SnapshotRecords::next() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !ready_.empty() || error_; });
    if (ready_.empty()) std::rethrow_exception(error_);
    SnapshotRecord record = std::move(ready_.front());
    ready_.pop_front();
    changed_.notify_all();
    return record;
}

void SnapshotRecords::readAll() {
    const uint64_t size = reader_.fileSize();
    uint64_t offset = firstOffset_;
    uint32_t records = 0;
    auto finish = [&](std::optional<LoadFailure> failure, bool recordLost = false) {
        SnapshotRecord end;
        end.end = true;
        end.offset = offset;
        end.number = records;
        end.failure = std::move(failure);
        end.recordLost = recordLost;
        put(std::move(end));
    };
    while (true) {
        if (FileError e = reader_.need(8)) return finish(unreadable(path_, *e));
        std::string_view in = reader_.available();
        uint32_t length = 0, checksum = 0;
        if (!getFixed32(in, length) || !getFixed32(in, checksum)) {
            return finish(damaged(path_, offset,
                                  "the file ends after " + std::to_string(records) +
                                      " records, before its end record"));
        }
        if (length == 0) {
            if (checksum != records)
                return finish(damaged(path_, offset,
                                      "the end record counts " + std::to_string(checksum) +
                                          " records where " + std::to_string(records) +
                                          " precede it"));
            if (offset + 8 != size)
                return finish(
                    damaged(path_, offset + 8,
                            std::to_string(size - offset - 8) + " bytes follow the end record"));
            return finish(std::nullopt);
        }
        const uint64_t after = size - offset - 8;
        if (length > after) {
            return finish(damaged(path_, offset,
                                  "record " + std::to_string(records + 1) + " claims " +
                                      std::to_string(length) + " bytes where " +
                                      std::to_string(after) + " remain"),
                          true);
        }
        reader_.consume(8);
        if (FileError e = reader_.need(length)) return finish(unreadable(path_, *e));
        std::string_view payload = reader_.available().substr(0, length);
        SnapshotRecord record;
        record.offset = offset;
        record.number = records + 1;
        const std::string which = "record " + std::to_string(record.number);
        const uint32_t computed = crc32(payload);
        if (computed != checksum) {
            record.failure = checksumMismatch(path_, offset, which, checksum, computed);
        } else if (int32_t table = 0; setRowsAside_ && isRowsRecord(payload, table, record.rows)) {
            record.rowsOf = table;
        } else if (!decodeChanges(payload, record.changes, format_)) {
            record.changes.clear();
            record.failure =
                damaged(path_, offset, which + " passes its checksum but cannot be decoded");
        }
        if (!put(std::move(record))) return;
        reader_.consume(length);
        offset += 8 + length;
        ++records;
    }
}

}  // namespace engine::store
