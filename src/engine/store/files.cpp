#include "engine/store/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

namespace engine::store {

namespace {

std::string describe(const std::string& what, const std::filesystem::path& path) {
    return what + " '" + path.string() + "': " + std::strerror(errno);
}

// Writes all of bytes, at `offset` when given (one pwrite where a seek and a write would take
// two), else at the file's position.
FileError writeAll(int fd, std::string_view bytes, const std::filesystem::path& path,
                   std::optional<uint64_t> offset = std::nullopt) {
    size_t done = 0;
    while (done < bytes.size()) {
        const char* from = bytes.data() + done;
        const size_t size = bytes.size() - done;
        ssize_t n = offset ? ::pwrite(fd, from, size, static_cast<off_t>(*offset + done))
                           : ::write(fd, from, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return describe("cannot write", path);
        }
        done += static_cast<size_t>(n);
    }
    return std::nullopt;
}

}  // namespace

FileError syncDirectory(const std::filesystem::path& directory) {
    int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return describe("cannot open directory", directory);
    FileError result;
    if (::fsync(fd) != 0 && errno != EINVAL) result = describe("cannot sync directory", directory);
    ::close(fd);
    return result;
}

namespace {

// Pieces of a file are read and written in steps of this size.
constexpr size_t kIoStep = 1 << 20;

}  // namespace

FileReader::~FileReader() {
    if (fd_ >= 0) ::close(fd_);
}

FileError FileReader::open(const std::filesystem::path& path) {
    if (fd_ >= 0) ::close(fd_);
    path_ = path;
    begin_ = end_ = 0;
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return describe("cannot open", path);
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return describe("cannot read", path);
    fileSize_ = static_cast<uint64_t>(st.st_size);
    return std::nullopt;
}

FileError FileReader::need(size_t n) {
    if (end_ - begin_ >= n) return std::nullopt;
    // Move what is left to the front, make room for n bytes (and at least one step), read.
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
    if (buffer_.size() < std::max(n, kIoStep)) buffer_.resize(std::max(n, kIoStep));
    while (end_ < n) {
        ssize_t got = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
        if (got < 0) {
            if (errno == EINTR) continue;
            return describe("cannot read", path_);
        }
        if (got == 0) break;
        end_ += static_cast<size_t>(got);
    }
    return std::nullopt;
}

FileError FileReader::seek(uint64_t offset) {
    begin_ = end_ = 0;
    if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0)
        return describe("cannot seek", path_);
    return std::nullopt;
}

AtomicFileWriter::~AtomicFileWriter() {
    abandon();
}

void AtomicFileWriter::abandon() {
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
    ::unlink(temporary_.c_str());
}

FileError AtomicFileWriter::begin(const std::filesystem::path& path) {
    abandon();
    path_ = path;
    temporary_ = path;
    temporary_ += ".tmp";
    buffer_.clear();
    written_ = 0;
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) return describe("cannot create", temporary_);
    return std::nullopt;
}

FileError AtomicFileWriter::flush() {
    FileError e = writeAll(fd_, buffer_, temporary_);
    buffer_.clear();
    return e;
}

FileError AtomicFileWriter::write(std::string_view bytes) {
    if (fd_ < 0) return "'" + temporary_.string() + "' is not open for writing";
    written_ += bytes.size();
    if (buffer_.size() + bytes.size() < kIoStep) {
        buffer_.append(bytes);
        return std::nullopt;
    }
    if (FileError e = flush()) {
        abandon();
        return e;
    }
    if (bytes.size() >= kIoStep) {
        FileError e = writeAll(fd_, bytes, temporary_);
        if (e) abandon();
        return e;
    }
    buffer_.append(bytes);
    return std::nullopt;
}

FileError AtomicFileWriter::commit() {
    if (fd_ < 0) return "'" + temporary_.string() + "' is not open for writing";
    FileError e = flush();
    if (!e && ::fsync(fd_) != 0) e = describe("cannot sync", temporary_);
    if (e) {
        abandon();
        return e;
    }
    ::close(fd_);
    fd_ = -1;
    if (::rename(temporary_.c_str(), path_.c_str()) != 0) {
        e = describe("cannot rename", temporary_);
        ::unlink(temporary_.c_str());
        return e;
    }
    return syncDirectory(path_.parent_path().empty() ? std::filesystem::path(".")
                                                     : path_.parent_path());
}

FileError replaceFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    AtomicFileWriter writer;
    if (FileError e = writer.begin(path)) return e;
    if (FileError e = writer.write(bytes)) return e;
    return writer.commit();
}

AppendFile::~AppendFile() {
    close();
}

FileError AppendFile::open(const std::filesystem::path& path) {
    close();
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) return describe("cannot open", path);
    off_t end = ::lseek(fd_, 0, SEEK_END);
    if (end < 0) return describe("cannot seek", path);
    size_ = static_cast<uint64_t>(end);
    return std::nullopt;
}

FileError AppendFile::append(std::string_view bytes) {
    if (fd_ < 0) return std::string("journal is not open");
    FileError e = writeAll(fd_, bytes, "journal", size_);
    if (e) {
        // A partial record must not stay in front of the next one.
        if (::ftruncate(fd_, static_cast<off_t>(size_)) != 0) {
        }
        return e;
    }
    size_ += bytes.size();
    dirty_ = true;
    return std::nullopt;
}

FileError AppendFile::sync() {
    if (fd_ < 0 || !dirty_) return std::nullopt;
    if (::fdatasync(fd_) != 0) return describe("cannot sync", "journal");
    dirty_ = false;
    return std::nullopt;
}

FileError AppendFile::truncate(uint64_t size) {
    if (fd_ < 0) return std::string("journal is not open");
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0)
        return describe("cannot truncate", "journal");
    size_ = size;
    dirty_ = true;
    return std::nullopt;
}

void AppendFile::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    size_ = 0;
    dirty_ = false;
}

DirectoryLock::~DirectoryLock() {
    release();
}

FileError DirectoryLock::acquire(const std::filesystem::path& directory,
                                 std::chrono::milliseconds wait) {
    release();
    std::filesystem::path path = directory / "engine.lock";
    directoryFd_ = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directoryFd_ < 0) return describe("cannot open directory", directory);
    auto deadline = std::chrono::steady_clock::now() + wait;
    // The directory, then its lock file: each waits while another process holds it.
    for (int* lockFd : {&directoryFd_, &fd_}) {
        if (lockFd == &fd_) {
            fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
            if (fd_ < 0) {
                FileError e = describe("cannot open lock file", path);
                release();
                return e;
            }
        }
        while (::flock(*lockFd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR) {
                FileError e = describe("cannot lock", lockFd == &fd_ ? path : directory);
                release();
                return e;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                release();
                return "the data directory '" + directory.string() +
                       "' is in use by another process";
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    return std::nullopt;
}

void DirectoryLock::release() {
    // Closing the descriptors releases the flocks.
    for (int* fd : {&fd_, &directoryFd_}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
}

}  // namespace engine::store
