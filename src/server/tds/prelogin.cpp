#include "server/tds/prelogin.h"

#include "server/tds/bytes.h"

namespace tds {

namespace {
constexpr uint8_t kVersion = 0x00;
constexpr uint8_t kEncryption = 0x01;
constexpr uint8_t kInstance = 0x02;
constexpr uint8_t kThreadId = 0x03;
constexpr uint8_t kMars = 0x04;
constexpr uint8_t kTerminator = 0xFF;
}  // namespace

PreLoginRequest parsePreLogin(std::string_view payload) {
    PreLoginRequest request;
    ByteReader options(payload);
    for (int count = 0;; ++count) {
        if (count > 64) throw ProtocolError("too many PRELOGIN options");
        const uint8_t token = options.u8();
        if (token == kTerminator) break;
        const uint16_t offset = options.u16be();
        const uint16_t length = options.u16be();
        if (size_t(offset) + length > payload.size())
            throw ProtocolError("PRELOGIN option outside the packet");
        ByteReader value(payload.substr(offset, length));
        switch (token) {
            case kVersion:
                if (length >= 4) request.clientVersion = value.u32be();
                break;
            case kEncryption:
                if (length >= 1) {
                    const uint8_t e = value.u8() & 0x0F;  // high bits: client certificate flags
                    if (e > 0x03) throw ProtocolError("unknown PRELOGIN encryption value");
                    request.encryption = static_cast<Encryption>(e);
                }
                break;
            case kInstance: {
                std::string_view text = value.take(length);
                request.instance = std::string(text.substr(0, text.find('\0')));
                break;
            }
            case kMars:
                if (length >= 1) request.mars = value.u8() != 0;
                break;
            default:
                break;  // thread id, trace id, federated authentication, nonce: not used
        }
    }
    return request;
}

std::string buildPreLoginReply(const PreLoginReply& reply) {
    // Option table first (5 bytes each plus the terminator), then the option data.
    struct Option {
        uint8_t token;
        std::string data;
    };
    ByteWriter version;
    version.u8(reply.major);
    version.u8(reply.minor);
    version.u16be(reply.build);
    version.u16(0);  // sub-build
    const Option options[] = {
        {kVersion, version.bytes()},
        {kEncryption, std::string(1, static_cast<char>(reply.encryption))},
        {kInstance, std::string(1, '\0')},
        {kThreadId, std::string()},
        {kMars, std::string(1, '\0')},
    };
    const size_t tableSize = std::size(options) * 5 + 1;
    ByteWriter out;
    size_t offset = tableSize;
    for (const auto& o : options) {
        out.u8(o.token);
        out.u16be(static_cast<uint16_t>(offset));
        out.u16be(static_cast<uint16_t>(o.data.size()));
        offset += o.data.size();
    }
    out.u8(kTerminator);
    for (const auto& o : options)
        out.raw(o.data);
    return out.bytes();
}

EncryptionChoice chooseEncryption(std::optional<Encryption> client, bool serverCanEncrypt) {
    const Encryption asked = client.value_or(Encryption::NotSupported);
    if (!serverCanEncrypt) {
        const bool insists = asked == Encryption::On || asked == Encryption::Required;
        return {Encryption::NotSupported, false, false, insists};
    }
    switch (asked) {
        case Encryption::NotSupported:
            return {Encryption::NotSupported, false, false, false};
        case Encryption::Off:
            return {Encryption::Off, true, false, false};
        case Encryption::On:
        case Encryption::Required:
            return {Encryption::On, true, true, false};
    }
    return {Encryption::NotSupported, false, false, false};
}

}  // namespace tds
