#include "engine/store/snapshot_rows.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "engine/store/binary.h"
#include "engine/store/change_codec.h"
#include "engine/store/crc32.h"
#include "engine/store/load_failures.h"

namespace engine::store {

SqlMessage consistencyError(const LoadFailure& failure, const std::string& database) {
    char offset[32];
    // As SQL Server prints file offsets: 0x and fourteen hexadecimal digits.
    std::snprintf(offset, sizeof offset, "0x%014llx",
                  static_cast<unsigned long long>(failure.offset));
    return sqlMessage(824, {failure.detail, database, offset, failure.file.string()});
}

SnapshotFile::~SnapshotFile() {
    ::close(fd_);
}

FileError SnapshotFile::open(const std::filesystem::path& path, uint32_t changeFormat,
                             std::string database, std::shared_ptr<const SnapshotFile>& file) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return "cannot open '" + path.string() + "': " + std::strerror(errno);
    file.reset(new SnapshotFile(fd, path, changeFormat, std::move(database)));
    return std::nullopt;
}

LoadResult SnapshotFile::readRecord(uint64_t offset, uint32_t number, std::string& bytes) const {
    auto readAt = [&](size_t size, uint64_t at, char* into) -> LoadResult {
        size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pread(fd_, into + done, size - done, static_cast<off_t>(at + done));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0)
                return unreadable(path_,
                                  "cannot read '" + path_.string() + "': " + std::strerror(errno));
            if (n == 0)
                return damaged(path_, at + done,
                               "the file ends inside record " + std::to_string(number));
            done += static_cast<size_t>(n);
        }
        return std::nullopt;
    };
    bytes.resize(8);
    if (LoadResult f = readAt(8, offset, bytes.data())) return f;
    std::string_view frame = bytes;
    uint32_t length = 0, checksum = 0;
    getFixed32(frame, length);
    getFixed32(frame, checksum);
    bytes.resize(8 + size_t{length});
    if (LoadResult f = readAt(length, offset + 8, bytes.data() + 8)) return f;
    // Checked when the database opened; checked again, as the file may have been damaged
    // on disk since.
    const uint32_t computed = crc32(std::string_view(bytes).substr(8));
    if (computed != checksum)
        return checksumMismatch(path_, offset, "record " + std::to_string(number), checksum,
                                computed);
    return std::nullopt;
}

void SnapshotRows::load(const TableSchema& schema, TableData& data) const {
    const SnapshotFile& file = *file_;
    auto fail = [&](LoadFailure failure) {
        throw RowsUnreadable(std::move(failure), file.database());
    };
    // The counts are known from the records' headers: columns sized once for all of them.
    data.rowIds.reserve(rows_);
    for (ColumnStore& column : data.columns)
        column.reserve(rows_);
    std::string bytes;
    for (const RowsRecordPlace& place : places_) {
        if (LoadResult f = file.readRecord(place.offset, place.number, bytes)) fail(std::move(*f));
        const std::string_view payload = std::string_view(bytes).substr(8);
        const std::string which = "record " + std::to_string(place.number);
        const RowsDecoded decoded = decodeRowsInto(payload, schema.id, data, file.changeFormat());
        if (decoded == RowsDecoded::Appended) continue;
        if (decoded == RowsDecoded::OtherColumns)
            fail(damaged(file.path(), place.offset,
                         which + " does not have the " + std::to_string(data.columns.size()) +
                             " columns of table '" + schema.name + "'"));
        // Rows out of order (not as fold() writes them): each put at its place.
        ChangeList changes;
        if (decoded == RowsDecoded::Malformed ||
            !decodeChanges(payload, changes, file.changeFormat()))
            fail(damaged(file.path(), place.offset,
                         which + " passes its checksum but cannot be decoded"));
        insertRows(data, changes.front());
    }
}

FileError SnapshotRows::copyTo(AtomicFileWriter& out, uint32_t& records) const {
    std::string bytes;
    for (const RowsRecordPlace& place : places_) {
        if (LoadResult f = file_->readRecord(place.offset, place.number, bytes)) return f->text();
        if (FileError e = out.write(bytes)) return e;
        ++records;
    }
    return std::nullopt;
}

}  // namespace engine::store
