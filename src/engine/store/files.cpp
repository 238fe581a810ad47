#include "engine/store/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace engine::store {

namespace {

std::string describe(const std::string& what, const std::filesystem::path& path) {
    return what + " '" + path.string() + "': " + std::strerror(errno);
}

FileError writeAll(int fd, std::string_view bytes, const std::filesystem::path& path) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return describe("cannot write", path);
        }
        done += static_cast<size_t>(n);
    }
    return std::nullopt;
}

}  // namespace

FileError readWholeFile(const std::filesystem::path& path, std::string& out) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return describe("cannot open", path);
    out.clear();
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > 0) out.reserve(static_cast<size_t>(st.st_size));
    char buffer[1 << 16];
    while (true) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            FileError e = describe("cannot read", path);
            ::close(fd);
            return e;
        }
        if (n == 0) break;
        out.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return std::nullopt;
}

FileError syncDirectory(const std::filesystem::path& directory) {
    int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return describe("cannot open directory", directory);
    FileError result;
    if (::fsync(fd) != 0 && errno != EINVAL) result = describe("cannot sync directory", directory);
    ::close(fd);
    return result;
}

FileError replaceFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    std::filesystem::path temporary = path;
    temporary += ".tmp";
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return describe("cannot create", temporary);
    FileError e = writeAll(fd, bytes, temporary);
    if (!e && ::fsync(fd) != 0) e = describe("cannot sync", temporary);
    ::close(fd);
    if (!e && ::rename(temporary.c_str(), path.c_str()) != 0)
        e = describe("cannot rename", temporary);
    if (e) {
        ::unlink(temporary.c_str());
        return e;
    }
    return syncDirectory(path.parent_path().empty() ? std::filesystem::path(".")
                                                    : path.parent_path());
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
    if (::lseek(fd_, static_cast<off_t>(size_), SEEK_SET) < 0)
        return describe("cannot seek", "journal");
    FileError e = writeAll(fd_, bytes, "journal");
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
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) return describe("cannot open lock file", path);
    auto deadline = std::chrono::steady_clock::now() + wait;
    while (true) {
        if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return std::nullopt;
        if (errno != EWOULDBLOCK && errno != EINTR) {
            FileError e = describe("cannot lock", path);
            release();
            return e;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            release();
            return "the data directory '" + directory.string() + "' is in use by another process";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void DirectoryLock::release() {
    if (fd_ >= 0) {
        ::close(fd_);  // closing the descriptor releases the flock
        fd_ = -1;
    }
}

}  // namespace engine::store
