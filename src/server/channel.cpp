#include "server/channel.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tds {

Channel::~Channel() {
    ::close(fd_);
}

std::string Channel::read() {
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n == 0) throw ConnectionClosed("the client closed the connection");
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                throw ConnectionClosed("the client sent nothing in time");
            throw ConnectionClosed(std::string("read failed: ") + std::strerror(errno));
        }
        std::string_view received(buffer, static_cast<size_t>(n));
        {
            std::lock_guard<std::mutex> guard(tlsMutex_);
            if (!tls_) return std::string(received);
            try {
                std::string plain = tls_->decrypt(received);
                if (!plain.empty()) return plain;
            } catch (const std::runtime_error& e) {
                throw ConnectionClosed(e.what());
            }
        }
        // A partial record: wait for the rest.
    }
}

std::string Channel::encrypt(std::string_view bytes) {
    std::lock_guard<std::mutex> guard(tlsMutex_);
    if (!tls_) return std::string(bytes);
    try {
        return tls_->encrypt(bytes);
    } catch (const std::runtime_error& e) {
        throw ConnectionClosed(e.what());
    }
}

void Channel::send(std::string_view bytes, bool wait) {
    const int flags = MSG_NOSIGNAL | (wait ? 0 : MSG_DONTWAIT);
    // Whatever is left over from before goes first; `bytes` is copied only if it cannot go.
    const bool fromUnsent = !unsent_.empty();
    if (fromUnsent) unsent_.append(bytes);
    const std::string_view pending = fromUnsent ? std::string_view(unsent_) : bytes;
    size_t offset = 0;
    while (offset < pending.size()) {
        const ssize_t n = ::send(fd_, pending.data() + offset, pending.size() - offset, flags);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (!wait && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
            throw ConnectionClosed(std::string("write failed: ") + std::strerror(errno));
        }
        offset += static_cast<size_t>(n);
    }
    if (fromUnsent) {
        unsent_.erase(0, offset);
    } else {
        unsent_.assign(pending.substr(offset));
    }
}

void Channel::write(std::string_view bytes) {
    std::lock_guard<std::mutex> writing(writeMutex_);
    send(encrypt(bytes), true);
}

void Channel::writeSome(std::string_view bytes) {
    std::lock_guard<std::mutex> writing(writeMutex_);
    send(encrypt(bytes), false);
}

size_t Channel::unsent() const {
    std::lock_guard<std::mutex> writing(writeMutex_);
    return unsent_.size();
}

void Channel::startTls(std::unique_ptr<TlsSession> session) {
    std::lock_guard<std::mutex> guard(tlsMutex_);
    tls_ = std::move(session);
}

void Channel::stopTls() {
    std::lock_guard<std::mutex> guard(tlsMutex_);
    tls_.reset();
}

void Channel::setReadTimeout(int seconds) {
    timeval tv{};
    tv.tv_sec = seconds;
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
}

void Channel::shutdown() {
    ::shutdown(fd_, SHUT_RDWR);
}

}  // namespace tds
