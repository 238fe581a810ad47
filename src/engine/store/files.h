// File primitives of the durable store: buffered sequential reads whose memory is bounded by
// the largest piece asked for (never the whole file), files written piece by piece and put in
// place atomically (a temporary file, fsync, rename over the old one, fsync of the directory),
// appends that retry short writes, and the exclusive lock of a data directory. Failures are
// returned as error texts, never thrown. Thread-compatible (file handles belong to their owner).
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace engine::store {

// An error text, or nullopt for success.
using FileError = std::optional<std::string>;

FileError syncDirectory(const std::filesystem::path& directory);

// Reads a file from the start, in order, through a buffer.
class FileReader {
  public:
    FileReader() = default;
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    FileError open(const std::filesystem::path& path);
    // Makes the next n bytes available, or as many as the file still holds (check
    // available().size()). The buffer grows to n when n is larger than it.
    FileError need(size_t n);
    std::string_view available() const { return {buffer_.data() + begin_, end_ - begin_}; }
    void consume(size_t n) { begin_ += n; }
    // Goes to offset (what was buffered is dropped).
    FileError seek(uint64_t offset);
    uint64_t fileSize() const { return fileSize_; }

  private:
    int fd_ = -1;
    std::filesystem::path path_;
    std::string buffer_;
    size_t begin_ = 0;
    size_t end_ = 0;
    uint64_t fileSize_ = 0;
};

// A file written piece by piece that replaces path only when commit() succeeds: until then
// the old file (if any) stays whole; an abandoned writer removes its temporary file.
class AtomicFileWriter {
  public:
    AtomicFileWriter() = default;
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    FileError begin(const std::filesystem::path& path);
    // Buffers the bytes, writing them out in large pieces.
    FileError write(std::string_view bytes);
    // Writes what is buffered, fsyncs, renames over path and fsyncs the directory.
    FileError commit();
    uint64_t written() const { return written_; }

  private:
    FileError flush();
    void abandon();

    int fd_ = -1;
    std::filesystem::path path_;
    std::filesystem::path temporary_;
    std::string buffer_;
    uint64_t written_ = 0;
};

// Writes the bytes to path through AtomicFileWriter.
FileError replaceFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// A file opened for appending (the journal).
class AppendFile {
  public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    FileError open(const std::filesystem::path& path);
    // Appends with write() until every byte is handed to the operating system.
    FileError append(std::string_view bytes);
    FileError sync();
    // Cuts the file to size bytes (drops a torn tail; empties after a snapshot).
    FileError truncate(uint64_t size);
    uint64_t size() const { return size_; }
    bool isOpen() const { return fd_ >= 0; }
    void close();

  private:
    int fd_ = -1;
    uint64_t size_ = 0;
    bool dirty_ = false;
};

// Exclusive, process-level lock on a data directory: flock on the directory itself, which
// no deleted or replaced file can defeat, and on its file engine.lock, which is what older
// releases lock (so that they, too, keep out while this one holds the directory). Released
// when the object is destroyed or the process dies.
class DirectoryLock {
  public:
    DirectoryLock() = default;
    ~DirectoryLock();
    DirectoryLock(const DirectoryLock&) = delete;
    DirectoryLock& operator=(const DirectoryLock&) = delete;

    // Waits up to wait for another process to release the directory.
    FileError acquire(const std::filesystem::path& directory, std::chrono::milliseconds wait);
    void release();

  private:
    int directoryFd_ = -1;
    int fd_ = -1;
};

}  // namespace engine::store
