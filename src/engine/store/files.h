// File primitives of the durable store: whole-file reads, appends that retry short
// writes, fsync of files and directories, atomic replacement of a file (write a temporary
// file, fsync it, rename it over the old one, fsync the directory) and the exclusive lock
// of a data directory. Failures are returned as error texts, never thrown.
// Thread-compatible (file handles belong to their owner).
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace engine::store {

// An error text, or nullopt for success.
using FileError = std::optional<std::string>;

FileError readWholeFile(const std::filesystem::path& path, std::string& out);
// Writes the bytes to path through a temporary file and an atomic rename; the old file
// (if any) stays whole until the new one is complete on stable storage.
FileError replaceFileAtomically(const std::filesystem::path& path, std::string_view bytes);
FileError syncDirectory(const std::filesystem::path& directory);

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

// Exclusive, process-level lock on a data directory (flock on a lock file). Released
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
    int fd_ = -1;
};

}  // namespace engine::store
