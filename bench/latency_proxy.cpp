// latency_proxy: a TCP forwarder that holds every byte for a chosen time in each direction,
// so that a client and tds-server on one machine talk as across a network (this kernel has
// no netem). It also counts the round trips the client asks for: the TDS messages it sends
// (packets whose status ends a message), read from the packet headers as they pass.
//
//   latency_proxy --to HOST:PORT [--listen HOST:PORT] [--delay-us N] [--port-file F]
//                 [--count-file F]
//
//   --delay-us N     microseconds added to each direction (a round trip gains 2N); default 0
//   --listen         where to listen, 127.0.0.1:0 by default (port 0: a free one)
//   --port-file F    the port listened on is written to F once listening
//   --count-file F   rewritten after every connection closes: "messages N" (TDS messages
//                    from clients, i.e. requests, login included), "connections N", "bytes N"
//
// SIGTERM or SIGINT ends it and writes the count file a last time. The counting assumes
// clients that do not encrypt the whole session (tds-server without a certificate): an
// encrypted stream cannot be read for headers, and its messages are then not counted.
#include <arpa/inet.h>
#include <poll.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <deque>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<uint64_t> gMessages{0}, gConnections{0}, gBytes{0};
std::string gCountFile;
std::mutex gCountMutex;

void writeCounts() {
    if (gCountFile.empty()) return;
    std::lock_guard<std::mutex> lock(gCountMutex);
    const std::string tmp = gCountFile + ".tmp";
    {
        std::ofstream out(tmp, std::ios::trunc);
        out << "messages " << gMessages.load() << "\nconnections " << gConnections.load()
            << "\nbytes " << gBytes.load() << "\n";
    }
    std::rename(tmp.c_str(), gCountFile.c_str());
}

[[noreturn]] void fail(const std::string& what) {
    std::cerr << "latency_proxy: " << what << "\n";
    std::exit(2);
}

bool parseAddress(const std::string& text, sockaddr_in& out) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos) return false;
    const std::string host = text.substr(0, colon), port = text.substr(colon + 1);
    if (port.empty() || port.find_first_not_of("0123456789") != std::string::npos) return false;
    std::memset(&out, 0, sizeof out);
    out.sin_family = AF_INET;
    out.sin_port = htons(static_cast<uint16_t>(std::stoi(port)));
    return inet_pton(AF_INET, host.c_str(), &out.sin_addr) == 1;
}

void noDelay(int fd) {
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

// Reads TDS packet headers out of a byte stream cut anywhere, counting whole messages.
class MessageCounter {
  public:
    void feed(const unsigned char* data, size_t size) {
        while (size > 0) {
            if (remaining_ == 0) {
                header_[have_++] = *data++;
                --size;
                if (have_ < 4) continue;
                const size_t length = (size_t(header_[2]) << 8) | header_[3];
                if (length < 8) {  // not TDS (an encrypted stream): stop counting
                    broken_ = true;
                    return;
                }
                if (header_[1] & 0x01) gMessages.fetch_add(1);
                remaining_ = length - 4;
                have_ = 0;
                continue;
            }
            const size_t take = std::min(size, remaining_);
            data += take;
            size -= take;
            remaining_ -= take;
        }
    }
    bool broken() const { return broken_; }

  private:
    unsigned char header_[4] = {};
    size_t have_ = 0;
    size_t remaining_ = 0;
    bool broken_ = false;
};

// One direction of a connection: what is read from `from` is written to `to` `delay` later,
// as a link of that delay carries it: every chunk is held `delay` from when it was read, while
// later chunks keep being read, so a message that arrives in pieces gains the delay once, not
// once a piece. One thread does both, waiting in ppoll for whichever comes first, the next
// chunk or the due time of the oldest one held: on this two-core machine a second thread's
// wake-ups would cost more than the updater and the server together at eight connections.
class Pipe {
  public:
    Pipe(int from, int to, std::chrono::microseconds delay, bool countRequests)
        : from_(from), to_(to), delay_(delay), count_(countRequests) {}

    void run() {
        struct Held {
            Clock::time_point due;
            std::vector<unsigned char> bytes;
        };
        std::deque<Held> held;
        std::vector<unsigned char> buffer(64 * 1024);
        bool open = true;
        while (open || !held.empty()) {
            const auto now = Clock::now();
            if (!held.empty() && held.front().due <= now) {
                if (!forward(held.front().bytes.data(), held.front().bytes.size())) return;
                held.pop_front();
                continue;
            }
            if (!open) {
                sleepUntil(held.front().due);
                continue;
            }
            pollfd p{from_, POLLIN, 0};
            timespec wait{};
            if (!held.empty()) {
                const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(held.front().due - now);
                wait = {static_cast<time_t>(ns.count() / 1000000000), static_cast<long>(ns.count() % 1000000000)};
            }
            const int ready = ::ppoll(&p, 1, held.empty() ? nullptr : &wait, nullptr);
            if (ready < 0 && errno != EINTR) break;
            if (ready <= 0) continue;
            const ssize_t n = ::read(from_, buffer.data(), buffer.size());
            if (n <= 0) {
                open = false;
                continue;
            }
            if (delay_.count() == 0 && held.empty()) {
                if (!forward(buffer.data(), size_t(n))) return;
                continue;
            }
            held.push_back({Clock::now() + delay_, {buffer.begin(), buffer.begin() + n}});
        }
        ::shutdown(to_, SHUT_WR);
    }

  private:
    bool forward(const unsigned char* data, size_t size) {
        if (count_ && !counter_.broken()) counter_.feed(data, size);
        gBytes.fetch_add(uint64_t(size));
        size_t sent = 0;
        while (sent < size) {
            const ssize_t n = ::send(to_, data + sent, size - sent, MSG_NOSIGNAL);
            if (n <= 0) {
                ::shutdown(from_, SHUT_RDWR);
                return false;
            }
            sent += size_t(n);
        }
        return true;
    }

    static void sleepUntil(Clock::time_point due) {
        // steady_clock is CLOCK_MONOTONIC here; an absolute sleep does not drift.
        const auto ns =
            std::chrono::duration_cast<std::chrono::nanoseconds>(due.time_since_epoch());
        timespec ts{static_cast<time_t>(ns.count() / 1000000000),
                    static_cast<long>(ns.count() % 1000000000)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
        }
    }

    int from_, to_;
    std::chrono::microseconds delay_;
    bool count_;
    MessageCounter counter_;
};

void serve(int client, sockaddr_in upstream, std::chrono::microseconds delay) {
    const int server = ::socket(AF_INET, SOCK_STREAM, 0);
    if (server < 0 ||
        ::connect(server, reinterpret_cast<sockaddr*>(&upstream), sizeof upstream) != 0) {
        std::cerr << "latency_proxy: cannot reach the server: " << std::strerror(errno) << "\n";
        ::close(client);
        if (server >= 0) ::close(server);
        return;
    }
    noDelay(client);
    noDelay(server);
    gConnections.fetch_add(1);
    Pipe up(client, server, delay, true), down(server, client, delay, false);
    std::thread t([&] { down.run(); });
    up.run();
    t.join();
    ::close(client);
    ::close(server);
    writeCounts();
}

}  // namespace

int main(int argc, char** argv) {
    std::string listenAt = "127.0.0.1:0", to, portFile;
    long delayUs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) fail("missing value after " + a);
            return argv[++i];
        };
        if (a == "--to")
            to = value();
        else if (a == "--listen")
            listenAt = value();
        else if (a == "--delay-us")
            delayUs = std::stol(value());
        else if (a == "--port-file")
            portFile = value();
        else if (a == "--count-file")
            gCountFile = value();
        else
            fail("unknown option " + a);
    }
    sockaddr_in upstream{}, local{};
    if (!parseAddress(to, upstream)) fail("--to HOST:PORT is needed");
    if (!parseAddress(listenAt, local)) fail("bad --listen address");
    if (delayUs < 0) fail("--delay-us must not be negative");

    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(listener, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::listen(listener, 64) != 0)
        fail(std::string("cannot listen: ") + std::strerror(errno));
    socklen_t length = sizeof local;
    getsockname(listener, reinterpret_cast<sockaddr*>(&local), &length);
    if (!portFile.empty()) std::ofstream(portFile) << ntohs(local.sin_port) << "\n";
    writeCounts();

    // The signals are taken by a thread of their own, so that the counts are written last.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread([signals] {
        int which = 0;
        sigwait(&signals, &which);
        writeCounts();
        std::_Exit(0);
    }).detach();

    const auto delay = std::chrono::microseconds(delayUs);
    for (;;) {
        const int client = ::accept(listener, nullptr, nullptr);
        if (client < 0) {
            if (errno == EINTR) continue;
            fail(std::string("accept: ") + std::strerror(errno));
        }
        std::thread(serve, client, upstream, delay).detach();
    }
}
