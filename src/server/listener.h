// The TDS server's network side: a listening socket, one thread per connection, and an
// orderly stop (no new connections, every connection's request cancelled and its session
// closed, then return).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "server/connection.h"

namespace tds {

class Listener {
  public:
    // Binds and listens on host:port (port 0: any free port). nullptr and `error` (the
    // port in use, an address that is not this machine's) on failure.
    static std::unique_ptr<Listener> open(const std::string& host, uint16_t port, std::string& error);
    ~Listener();

    uint16_t port() const { return port_; }
    const std::string& host() const { return host_; }

    // Accepts and serves connections until stop() is called (from any thread or a signal
    // handler), then shuts every connection down and returns once all have ended.
    // Connections beyond maxConnections are refused at once.
    void serve(const ServerSettings& settings, const Connection::Log& log, size_t maxConnections);
    // Async-signal-safe.
    void stop();

  private:
    Listener() = default;
    int fd_ = -1;
    int wake_[2] = {-1, -1};  // stop() writes here to wake the accept loop
    uint16_t port_ = 0;
    std::string host_;
};

}  // namespace tds
