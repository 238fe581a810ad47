#include "server/listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <list>
#include <mutex>
#include <system_error>
#include <thread>

namespace tds {

std::unique_ptr<Listener> Listener::open(const std::string& host, uint16_t port, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found); rc != 0) {
        error = "cannot resolve '" + host + "': " + ::gai_strerror(rc);
        return nullptr;
    }
    std::unique_ptr<Listener> listener(new Listener());
    int lastErrno = 0;
    for (addrinfo* a = found; a; a = a->ai_next) {
        int fd =
            ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (fd < 0) {
            lastErrno = errno;
            continue;
        }
        int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (::bind(fd, a->ai_addr, a->ai_addrlen) == 0 && ::listen(fd, 128) == 0) {
            listener->fd_ = fd;
            break;
        }
        lastErrno = errno;
        ::close(fd);
    }
    ::freeaddrinfo(found);
    if (listener->fd_ < 0) {
        error = "cannot listen on " + host + ":" + service + ": " +
                (lastErrno == EADDRINUSE ? std::string("the port is in use") : std::strerror(lastErrno));
        return nullptr;
    }
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    ::getsockname(listener->fd_, reinterpret_cast<sockaddr*>(&bound), &length);
    listener->port_ = ntohs(bound.ss_family == AF_INET6
                                ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    listener->host_ = host;
    if (::pipe2(listener->wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = std::string("cannot create a pipe: ") + std::strerror(errno);
        return nullptr;
    }
    return listener;
}

Listener::~Listener() {
    if (fd_ >= 0) ::close(fd_);
    for (int fd : wake_) {
        if (fd >= 0) ::close(fd);
    }
}

void Listener::stop() {
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_[1], &byte, 1);
}

namespace {

std::string peerName(const sockaddr_storage& address) {
    char host[INET6_ADDRSTRLEN] = "?";
    uint16_t port = 0;
    if (address.ss_family == AF_INET) {
        const auto* a = reinterpret_cast<const sockaddr_in*>(&address);
        ::inet_ntop(AF_INET, &a->sin_addr, host, sizeof host);
        port = ntohs(a->sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto* a = reinterpret_cast<const sockaddr_in6*>(&address);
        ::inet_ntop(AF_INET6, &a->sin6_addr, host, sizeof host);
        port = ntohs(a->sin6_port);
    }
    return std::string(host) + ":" + std::to_string(port);
}

struct Running {
    std::shared_ptr<Connection> connection;
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> finished;
};

}  // namespace

void Listener::serve(const ServerSettings& settings, const Connection::Log& log, size_t maxConnections) {
    std::list<Running> running;
    uint64_t nextId = 1;
    auto reap = [&] {
        for (auto it = running.begin(); it != running.end();) {
            if (it->finished->load()) {
                it->thread.join();
                it = running.erase(it);
            } else {
                ++it;
            }
        }
    };
    bool starved = false;  // out of descriptors or memory: said once, until it passes
    for (;;) {
        pollfd fds[2] = {{fd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        // While starved, the pending connection would wake the poll at once, over and over:
        // look at the stop pipe alone for a moment, so that connections that end free
        // something first.
        const int ready = starved ? ::poll(&fds[1], 1, 100) : ::poll(fds, 2, 1000);
        reap();
        if (ready < 0 && errno != EINTR) break;
        if (fds[1].revents) break;
        if (!starved && (ready <= 0 || !(fds[0].revents & POLLIN))) continue;
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        // The listening socket does not block: a connection that went before it was accepted
        // reads as EAGAIN.
        const int client = ::accept4(fd_, reinterpret_cast<sockaddr*>(&address), &length, SOCK_CLOEXEC);
        if (client < 0) {
            const int error = errno;
            if (error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM) {
                if (!starved)
                    log(std::string("cannot accept connections for now: ") + std::strerror(error));
                starved = true;
            } else if (error == EAGAIN || error == EWOULDBLOCK) {
                starved = false;  // nobody was waiting after all
            }
            continue;
        }
        if (starved) {
            starved = false;
            log("accepting connections again");
        }
        const std::string peer = peerName(address);
        const uint64_t id = nextId++;
        if (running.size() >= maxConnections) {
            log("connection " + std::to_string(id) + " from " + peer + ": refused (more than " +
                std::to_string(maxConnections) + " connections)");
            ::close(client);
            continue;
        }
        int on = 1;
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        Running r;
        r.connection = std::make_shared<Connection>(client, peer, id, settings, log);
        r.finished = std::make_shared<std::atomic<bool>>(false);
        try {
            r.thread = std::thread([connection = r.connection, finished = r.finished] {
                connection->run();
                finished->store(true);
            });
        } catch (const std::system_error& e) {
            // The process has as many threads as the system gives it: this one waits no more.
            log("connection " + std::to_string(id) + " from " + peer +
                ": refused (no thread to serve it: " + e.what() + ")");
            continue;  // the connection closes its socket as it goes
        }
        running.push_back(std::move(r));
    }
    for (auto& r : running)
        r.connection->shutdown();
    for (auto& r : running)
        r.thread.join();
}

}  // namespace tds
