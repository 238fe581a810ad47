#include "server/tds/login7.h"

#include <algorithm>

#include "engine/types/text.h"
#include "server/tds/bytes.h"

namespace tds {

namespace {

// The fixed part of the record: 86 bytes up to TDS 7.1, 94 from 7.2 (password change and
// long SSPI length added).
constexpr size_t kFixedPart71 = 86;
constexpr size_t kFixedPart72 = 94;
constexpr uint8_t kIntegratedSecurity = 0x80;  // OptionFlags2
constexpr uint8_t kReadOnlyIntent = 0x20;      // TypeFlags
constexpr uint8_t kExtension = 0x10;           // OptionFlags3

uint8_t swapNibbles(uint8_t b) {
    return static_cast<uint8_t>((b << 4) | (b >> 4));
}

std::string deobfuscate(std::string_view bytes) {
    std::string out(bytes);
    for (char& c : out)
        c = static_cast<char>(swapNibbles(static_cast<uint8_t>(c) ^ 0xA5));
    return out;
}

// A text field: offset and length (in characters) from the table, data from the record.
std::string_view field(std::string_view record, uint16_t offset, uint16_t characters) {
    if (characters == 0) return {};
    const size_t bytes = size_t(characters) * 2;
    if (size_t(offset) + bytes > record.size())
        throw ProtocolError("LOGIN7 field outside the record");
    return record.substr(offset, bytes);
}

}  // namespace

Login7::~Login7() {
    std::fill(password.begin(), password.end(), '\0');
    std::fill(changePassword.begin(), changePassword.end(), '\0');
}

std::string obfuscatePassword(std::string_view utf16le) {
    std::string out(utf16le);
    for (char& c : out)
        c = static_cast<char>(swapNibbles(static_cast<uint8_t>(c)) ^ 0xA5);
    return out;
}

Login7 parseLogin7(std::string_view payload) {
    ByteReader r(payload);
    const uint32_t length = r.u32();
    if (length < kFixedPart71 || length > payload.size())
        throw ProtocolError("LOGIN7 length does not match the packet");
    std::string_view record = payload.substr(0, length);
    Login7 login;
    login.tdsVersion = r.u32();
    login.packetSize = r.u32();
    login.clientProgramVersion = r.u32();
    login.clientProcessId = r.u32();
    r.u32();  // connection id
    login.optionFlags1 = r.u8();
    login.optionFlags2 = r.u8();
    login.typeFlags = r.u8();
    login.optionFlags3 = r.u8();
    r.u32();  // client time zone
    login.clientLcid = r.u32();
    login.integratedSecurity = (login.optionFlags2 & kIntegratedSecurity) != 0;
    login.readOnlyIntent = (login.typeFlags & kReadOnlyIntent) != 0;

    struct Entry {
        uint16_t offset = 0, length = 0;
    };
    auto entry = [&] {
        Entry e;
        e.offset = r.u16();
        e.length = r.u16();
        return e;
    };
    const Entry host = entry(), user = entry(), password = entry(), app = entry(),
                server = entry(), extension = entry(), library = entry(), language = entry(),
                database = entry();
    login.clientId = std::string(r.take(6));
    const Entry sspi = entry(), attach = entry();
    Entry change;
    if (length >= kFixedPart72) change = entry();

    auto text = [&](const Entry& e) {
        return engine::utf16leToUtf8(field(record, e.offset, e.length));
    };
    login.hostName = text(host);
    login.userName = text(user);
    login.password = engine::utf16leToUtf8(deobfuscate(field(record, password.offset, password.length)));
    login.appName = text(app);
    login.serverName = text(server);
    login.libraryName = text(library);
    login.language = text(language);
    login.database = text(database);
    login.attachFile = text(attach);
    login.changePassword =
        engine::utf16leToUtf8(deobfuscate(field(record, change.offset, change.length)));
    // SSPI data is counted in bytes, not characters.
    if (sspi.length > 0) {
        if (size_t(sspi.offset) + sspi.length > record.size())
            throw ProtocolError("LOGIN7 SSPI data outside the record");
        login.hasSspi = true;
    }

    // Feature extension: the extension entry points at a 4-byte offset of the feature list.
    if ((login.optionFlags3 & kExtension) && extension.length >= 4) {
        if (size_t(extension.offset) + 4 > record.size())
            throw ProtocolError("LOGIN7 extension outside the record");
        ByteReader at(record);
        at.seek(extension.offset);
        const uint32_t features = at.u32();
        if (features < record.size()) {
            ByteReader list(record);
            list.seek(features);
            for (int count = 0; count < 64 && !list.atEnd(); ++count) {
                const uint8_t id = list.u8();
                if (id == 0xFF) break;
                const uint32_t dataLength = list.u32();
                list.skip(dataLength);
                login.featureIds.push_back(static_cast<char>(id));
            }
        }
    }
    return login;
}

}  // namespace tds
