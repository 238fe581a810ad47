#include "wire_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/types/text.h"
#include "server/tds/bytes.h"
#include "server/tds/login7.h"

namespace server_test {

using Clock = std::chrono::steady_clock;

std::string Utf16(std::string_view utf8) {
    return engine::utf8ToUtf16le(utf8);
}

std::string Login7Record(const std::string& user, const std::string& password,
                         const std::string& database, uint8_t optionFlags2) {
    const std::vector<std::string> texts = {Utf16("host"),
                                            Utf16(user),
                                            tds::obfuscatePassword(Utf16(password)),
                                            Utf16("app"),
                                            Utf16("server"),
                                            "",
                                            Utf16("lib"),
                                            "",
                                            Utf16(database)};
    tds::ByteWriter w;
    w.u32(0);  // length, patched below
    w.u32(0x74000004), w.u32(4096), w.u32(7), w.u32(1234), w.u32(0);
    w.u8(0xE0), w.u8(optionFlags2), w.u8(0), w.u8(0);
    w.u32(0), w.u32(0x0409);
    uint16_t offset = 94;
    for (const auto& t : texts) {
        w.u16(offset);
        w.u16(static_cast<uint16_t>(t.size() / 2));
        offset = static_cast<uint16_t>(offset + t.size());
    }
    w.raw(std::string(6, '\x01'));
    for (int i = 0; i < 3; ++i)
        w.u16(offset), w.u16(0);  // SSPI, attach file, password change
    w.u32(0);
    for (const auto& t : texts)
        w.raw(t);
    std::string out = w.bytes();
    const uint32_t length = static_cast<uint32_t>(out.size());
    std::memcpy(out.data(), &length, 4);
    return out;
}

std::string BatchPayload(std::string_view sql) {
    tds::ByteWriter w;
    w.u32(22), w.u32(18), w.u16(2), w.u64(0), w.u32(1);
    w.raw(Utf16(sql));
    return w.bytes();
}

Reply Summarize(std::string_view payload) {
    Reply reply;
    tds::ByteReader r(payload);
    try {
        while (!r.atEnd()) {
            const uint8_t token = r.u8();
            switch (token) {
                case 0xAA:    // ERROR
                case 0xAB:    // INFO
                case 0xAD:    // LOGINACK
                case 0xE3: {  // ENVCHANGE
                    tds::ByteReader body(r.take(r.u16()));
                    if (token == 0xAD) reply.loginAck = true;
                    if (token == 0xAA || token == 0xAB) {
                        const int number = static_cast<int>(body.u32());
                        if (token == 0xAA) reply.errors.push_back(number);
                        body.skip(2);
                        reply.texts.push_back(engine::utf16leToUtf8(body.usVarChar()));
                    }
                    break;
                }
                case 0xAE:  // FEATUREEXTACK
                    while (r.u8() != 0xFF)
                        r.skip(r.u32());
                    break;
                case 0x79:  // RETURNSTATUS
                    r.skip(4);
                    break;
                case 0xFD:
                case 0xFE:
                case 0xFF:  // DONE, DONEPROC, DONEINPROC
                    if (r.u16() & 0x20) reply.attentionAck = true;
                    r.skip(10);
                    break;
                default:
                    return reply;  // a result set: what comes after it does not matter here
            }
        }
    } catch (const tds::ProtocolError&) {
    }
    return reply;
}

WireClient::WireClient(int port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) Close();
}

WireClient::~WireClient() {
    Close();
}

int WireClient::LocalPort() const {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    return ntohs(address.sin_port);
}

void WireClient::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void WireClient::SetSmallReceiveBuffer() {
    int size = 4096;
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
}

bool WireClient::Send(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool WireClient::SendMessage(tds::PacketType type, std::string_view payload, uint32_t packetSize) {
    return Send(tds::packetsOf(type, payload, packetSize));
}

bool WireClient::ReadExactly(char* out, size_t n, Clock::time_point deadline) {
    while (n > 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{fd_, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
        const ssize_t got = ::recv(fd_, out, n, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        out += got;
        n -= static_cast<size_t>(got);
    }
    return true;
}

std::optional<std::string> WireClient::ReadMessage(std::chrono::milliseconds wait) {
    const auto deadline = Clock::now() + wait;
    std::string payload;
    for (;;) {
        char header[tds::kHeaderSize];
        if (!ReadExactly(header, sizeof header, deadline)) return std::nullopt;
        const size_t length = (uint8_t(header[2]) << 8) | uint8_t(header[3]);
        if (length < tds::kHeaderSize) return std::nullopt;
        std::string data(length - tds::kHeaderSize, '\0');
        if (!ReadExactly(data.data(), data.size(), deadline)) return std::nullopt;
        payload += data;
        if (header[1] & tds::kStatusEndOfMessage) return payload;
    }
}

std::string WireClient::ReadSome(size_t bytes, std::chrono::milliseconds wait) {
    std::string out(bytes, '\0');
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(wait.count())) <= 0) return {};
    const ssize_t got = ::recv(fd_, out.data(), bytes, 0);
    out.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return out;
}

bool WireClient::ClosedByServer(std::chrono::milliseconds wait) {
    const auto deadline = Clock::now() + wait;
    char buffer[65536];
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{fd_, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
        const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return true;  // end of stream, or reset
    }
}

Reply WireClient::LogIn(const std::string& user, const std::string& password,
                        const std::string& database) {
    if (!SendMessage(tds::PacketType::Login7, Login7Record(user, password, database))) return {};
    auto payload = ReadMessage();
    return payload ? Summarize(*payload) : Reply{};
}

std::optional<Reply> WireClient::Run(std::string_view sql) {
    if (!SendMessage(tds::PacketType::SqlBatch, BatchPayload(sql))) return std::nullopt;
    auto payload = ReadMessage();
    if (!payload) return std::nullopt;
    return Summarize(*payload);
}

}  // namespace server_test
