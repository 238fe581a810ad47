// TLS for TDS connections, through OpenSSL with memory BIOs: the connection moves the
// bytes (inside PRELOGIN packets during the handshake, straight over TCP afterwards) and
// this class only turns them into records and back. TLS 1.2 at most and no session
// tickets, as SQL Server does for TDS 7.x: a ticket sent after the handshake would land in
// the clear part of a login-only encrypted stream.
//
// TlsContext is thread-safe once loaded; a TlsSession is thread-compatible (the connection
// serialises its use).
#pragma once

#include <memory>
#include <string>
#include <string_view>

typedef struct ssl_ctx_st SSL_CTX;
typedef struct ssl_st SSL;
typedef struct bio_st BIO;

namespace tds {

class TlsContext {
  public:
    // Loads a PEM certificate (chain) and its private key; nullptr and `error` on failure.
    static std::unique_ptr<TlsContext> load(const std::string& certificateFile,
                                            const std::string& keyFile, std::string& error);
    ~TlsContext();
    SSL_CTX* native() const { return ctx_; }

  private:
    TlsContext() = default;
    SSL_CTX* ctx_ = nullptr;
};

class TlsSession {
  public:
    explicit TlsSession(const TlsContext& context);
    ~TlsSession();
    TlsSession(const TlsSession&) = delete;
    TlsSession& operator=(const TlsSession&) = delete;

    // Feeds handshake bytes from the client; returns the bytes to send back. Throws
    // std::runtime_error when the handshake fails.
    std::string handshake(std::string_view received);
    bool established() const { return established_; }

    // Application data to records, and records to application data (what is complete of
    // them; the rest waits for more bytes). Throw std::runtime_error on a broken stream.
    std::string encrypt(std::string_view plain);
    std::string decrypt(std::string_view records);

  private:
    std::string drain();

    SSL* ssl_ = nullptr;
    BIO* in_ = nullptr;   // records from the peer
    BIO* out_ = nullptr;  // records for the peer
    bool established_ = false;
};

}  // namespace tds
