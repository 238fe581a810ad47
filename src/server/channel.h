// The byte pipe of one client connection: a TCP socket, with TLS records in between once
// the connection has negotiated them. One reader thread and one writer thread may use it at
// the same time; writes keep their order on the wire.
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
    // Sends everything (encrypted once TLS is on); throws ConnectionClosed.
    void write(std::string_view bytes);
    void startTls(std::unique_ptr<TlsSession> session);
    void stopTls();  // after a login-only encryption

    // A read waits at most this long (0: for ever); a timeout reads as ConnectionClosed.
    void setReadTimeout(int seconds);
    // Wakes a blocked read or write and refuses further traffic (another thread may call it).
    void shutdown();

  private:
    int fd_;
    std::mutex writeMutex_;  // one writer at a time, so records and packets keep their order
    std::mutex tlsMutex_;    // the TLS session is used by the reader and the writer
    std::unique_ptr<TlsSession> tls_;
};

}  // namespace tds
