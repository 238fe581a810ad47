// A TDS client of the tests' own, down at the bytes: it sends whatever a test builds (a
// proper LOGIN7, or garbage) and reads what the server answers, with every wait bounded so
// that a server that hangs fails the test instead of holding it.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/tds/packet.h"

namespace server_test {

using namespace std::chrono_literals;

std::string Utf16(std::string_view utf8);

// A LOGIN7 record as clients build it: fixed part, offset table, then the texts.
std::string Login7Record(const std::string& user, const std::string& password,
                         const std::string& database = "", uint8_t optionFlags2 = 0);
// A SQL batch as TDS 7.2+ clients send it (with the transaction descriptor header).
std::string BatchPayload(std::string_view sql);

// What a response says, as far as its tokens before any result set go.
struct Reply {
    bool loginAck = false;
    std::vector<int> errors;         // ERROR numbers, in order
    std::vector<std::string> texts;  // of every message, errors and informational ones
    bool attentionAck = false;       // a DONE with the attention flag
};
Reply Summarize(std::string_view payload);

class WireClient {
  public:
    explicit WireClient(int port);
    ~WireClient();
    WireClient(const WireClient&) = delete;
    WireClient& operator=(const WireClient&) = delete;

    bool Connected() const { return fd_ >= 0; }
    // This end's port: the server's log names connections by it.
    int LocalPort() const;
    // False once the server has closed the connection.
    bool Send(std::string_view bytes);
    bool SendMessage(tds::PacketType type, std::string_view payload,
                     uint32_t packetSize = tds::kDefaultPacketSize);
    // The payload of the server's next whole message; nothing when the connection ends first
    // or nothing whole came within `wait`.
    std::optional<std::string> ReadMessage(std::chrono::milliseconds wait = 30s);
    // Up to `bytes` bytes of what the server sends, as they come.
    std::string ReadSome(size_t bytes, std::chrono::milliseconds wait = 30s);
    // Whether the server closes the connection within `wait` (what it sends first is dropped).
    bool ClosedByServer(std::chrono::milliseconds wait = 30s);
    // Logs in (no PRELOGIN, as old clients do) and returns the server's answer.
    Reply LogIn(const std::string& user, const std::string& password,
                const std::string& database = "");
    // A batch and its answer (nothing when the connection ended).
    std::optional<Reply> Run(std::string_view sql);
    // Shrinks the receive buffer, so that a client that stops reading is felt sooner.
    void SetSmallReceiveBuffer();
    void Close();

  private:
    bool ReadExactly(char* out, size_t n, std::chrono::steady_clock::time_point deadline);
    int fd_ = -1;
};

}  // namespace server_test
