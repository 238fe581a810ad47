// PRELOGIN: the first exchange of a TDS connection, where client and server agree on
// encryption. The client's options are parsed with every offset checked; the reply names
// this server's version and its choice of encryption.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tds {

enum class Encryption : uint8_t {
    Off = 0x00,           // only the login travels encrypted
    On = 0x01,            // everything travels encrypted
    NotSupported = 0x02,  // nothing is encrypted
    Required = 0x03,
};

struct PreLoginRequest {
    uint32_t clientVersion = 0;
    std::optional<Encryption> encryption;  // absent when the client did not say
    bool mars = false;
    std::string instance;
};

PreLoginRequest parsePreLogin(std::string_view payload);

// What the server answers: encryption Off/On when it can encrypt (and with what the
// client asked), NotSupported when it has no certificate.
struct PreLoginReply {
    Encryption encryption = Encryption::NotSupported;
    // 15.0.2000: the SQL Server release whose behaviour the engine follows.
    uint8_t major = 15, minor = 0;
    uint16_t build = 2000;
};
std::string buildPreLoginReply(const PreLoginReply& reply);

// The server's decision, given whether it holds a certificate. nullopt: the client insists
// on encryption the server cannot give (the connection is closed after the reply).
struct EncryptionChoice {
    Encryption reply;
    bool encryptLogin;     // TLS for the login packet
    bool encryptSession;   // TLS for everything after it
    bool refuse;           // the client wants encryption the server cannot give
};
EncryptionChoice chooseEncryption(std::optional<Encryption> client, bool serverCanEncrypt);

}  // namespace tds
