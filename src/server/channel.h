// The byte pipe of one client connection: a TCP socket, with TLS records in between once
// the connection has negotiated them. One reader thread and one writer thread may use it at
// the same time; writes keep their order on the wire.
//
// Writes come in two kinds. write() waits until the peer has taken everything. writeSome()
// never waits: what the socket does not take now stays here, ahead of the next write. The
// server needs the second kind where waiting for a peer that stopped reading would hold up
// every other connection (see Connection).
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "server/tls.h"

namespace tds {

// The peer closed the connection, or it broke.
class ConnectionClosed : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class Channel {
  public:
    explicit Channel(int fd) : fd_(fd) {}
    ~Channel();
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    // The next bytes from the peer (decrypted once TLS is on); blocks. Throws
    // ConnectionClosed at the end of the stream or on an error.
    std::string read();
    // Sends what earlier writes left unsent, then `bytes` (encrypted once TLS is on), and
    // waits until all has gone; throws ConnectionClosed.
    void write(std::string_view bytes);
    // The same without waiting: sends what the socket takes now and keeps the rest.
    void writeSome(std::string_view bytes);
    // Bytes kept by writeSome() that have not gone yet.
    size_t unsent() const;
    void startTls(std::unique_ptr<TlsSession> session);
    void stopTls();  // after a login-only encryption

    // A read waits at most this long (0: for ever); a timeout reads as ConnectionClosed.
    void setReadTimeout(int seconds);
    // Wakes a blocked read or write and refuses further traffic (another thread may call it).
    void shutdown();

  private:
    std::string encrypt(std::string_view bytes);
    // Sends what unsent_ holds, then `bytes`; without `wait`, only what the socket takes
    // now, and what did not go ends up in unsent_.
    void send(std::string_view bytes, bool wait);

    int fd_;
    // One writer at a time, so that records and packets keep their order.
    mutable std::mutex writeMutex_;
    std::string unsent_;   // under writeMutex_
    std::mutex tlsMutex_;  // the TLS session is used by the reader and the writer
    std::unique_ptr<TlsSession> tls_;
};

}  // namespace tds
