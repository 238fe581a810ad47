// LOGIN7: the client's login record. Every offset and length in it is checked against the
// packet before anything is read; the password arrives obfuscated (not encrypted) and is
// decoded here, kept only as long as the caller keeps the record.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tds {

struct Login7 {
    uint32_t tdsVersion = 0;
    uint32_t packetSize = 0;
    uint32_t clientProgramVersion = 0;
    uint32_t clientProcessId = 0;
    uint32_t clientLcid = 0;
    uint8_t optionFlags1 = 0, optionFlags2 = 0, typeFlags = 0, optionFlags3 = 0;
    bool integratedSecurity = false;  // fIntSecurity: the client wants SSPI/Kerberos
    bool readOnlyIntent = false;
    // Texts, UTF-8.
    std::string hostName, userName, password, appName, serverName, libraryName, language,
        database, attachFile, changePassword;
    std::string clientId;  // 6 bytes (the client's MAC address)
    bool hasSspi = false;
    // Features the client announced in its extension block (ids), for the acknowledgement.
    std::string featureIds;

    ~Login7();  // wipes the passwords
};

// Throws ProtocolError for a record that does not hold together.
Login7 parseLogin7(std::string_view payload);

// The password bytes as LOGIN7 carries them (for tests and clients of our own).
std::string obfuscatePassword(std::string_view utf16le);

}  // namespace tds
