#include "server/tls.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <stdexcept>

namespace tds {

namespace {

std::string lastError() {
    const unsigned long code = ERR_get_error();
    if (code == 0) return "unknown TLS error";
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    ERR_clear_error();
    return text;
}

}  // namespace

std::unique_ptr<TlsContext> TlsContext::load(const std::string& certificateFile,
                                             const std::string& keyFile, std::string& error) {
    std::unique_ptr<TlsContext> context(new TlsContext());
    context->ctx_ = SSL_CTX_new(TLS_server_method());
    if (!context->ctx_) {
        error = lastError();
        return nullptr;
    }
    SSL_CTX* ctx = context->ctx_;
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    SSL_CTX_set_max_proto_version(ctx, TLS1_2_VERSION);
    SSL_CTX_set_options(ctx, SSL_OP_NO_TICKET | SSL_OP_NO_RENEGOTIATION);
    SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_OFF);
    if (SSL_CTX_use_certificate_chain_file(ctx, certificateFile.c_str()) != 1) {
        error = "cannot read the certificate '" + certificateFile + "': " + lastError();
        return nullptr;
    }
    if (SSL_CTX_use_PrivateKey_file(ctx, keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
        error = "cannot read the private key '" + keyFile + "': " + lastError();
        return nullptr;
    }
    if (SSL_CTX_check_private_key(ctx) != 1) {
        error = "the private key does not match the certificate: " + lastError();
        return nullptr;
    }
    return context;
}

TlsContext::~TlsContext() {
    if (ctx_) SSL_CTX_free(ctx_);
}

TlsSession::TlsSession(const TlsContext& context) {
    ssl_ = SSL_new(context.native());
    if (!ssl_) throw std::runtime_error(lastError());
    in_ = BIO_new(BIO_s_mem());
    out_ = BIO_new(BIO_s_mem());
    BIO_set_mem_eof_return(in_, -1);  // "no data yet", not end of stream
    SSL_set_bio(ssl_, in_, out_);     // the session owns both now
    SSL_set_accept_state(ssl_);
}

TlsSession::~TlsSession() {
    if (ssl_) SSL_free(ssl_);
}

std::string TlsSession::drain() {
    std::string out;
    char buffer[16384];
    int n;
    while ((n = BIO_read(out_, buffer, sizeof buffer)) > 0)
        out.append(buffer, static_cast<size_t>(n));
    return out;
}

std::string TlsSession::handshake(std::string_view received) {
    if (!received.empty() && BIO_write(in_, received.data(), static_cast<int>(received.size())) <= 0)
        throw std::runtime_error("TLS handshake: " + lastError());
    const int rc = SSL_do_handshake(ssl_);
    if (rc == 1) {
        established_ = true;
    } else {
        const int e = SSL_get_error(ssl_, rc);
        if (e != SSL_ERROR_WANT_READ && e != SSL_ERROR_WANT_WRITE)
            throw std::runtime_error("TLS handshake failed: " + lastError());
    }
    return drain();
}

std::string TlsSession::encrypt(std::string_view plain) {
    size_t offset = 0;
    while (offset < plain.size()) {
        const int n = SSL_write(ssl_, plain.data() + offset, static_cast<int>(plain.size() - offset));
        if (n <= 0) throw std::runtime_error("TLS write failed: " + lastError());
        offset += static_cast<size_t>(n);
    }
    return drain();
}

std::string TlsSession::decrypt(std::string_view records) {
    if (!records.empty() && BIO_write(in_, records.data(), static_cast<int>(records.size())) <= 0)
        throw std::runtime_error("TLS read: " + lastError());
    std::string plain;
    char buffer[16384];
    for (;;) {
        const int n = SSL_read(ssl_, buffer, sizeof buffer);
        if (n > 0) {
            plain.append(buffer, static_cast<size_t>(n));
            continue;
        }
        const int e = SSL_get_error(ssl_, n);
        if (e == SSL_ERROR_WANT_READ) break;
        if (e == SSL_ERROR_ZERO_RETURN) break;  // the peer closed TLS; the socket follows
        throw std::runtime_error("TLS read failed: " + lastError());
    }
    return plain;
}

}  // namespace tds
