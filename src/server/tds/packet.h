// TDS packets: the 8-byte header, messages assembled from the packets a peer sends, and
// messages cut into packets on the way out.
//
// A message is one or more packets of the same type, the last one marked end-of-message.
// MessageAssembler takes bytes as they arrive from the network, in any split, and hands out
// whole messages; it refuses (ProtocolError) what no client sends: a packet shorter than
// its header or longer than the largest packet TDS allows, a message whose packets change
// type, a message larger than the configured ceiling. PacketStream is the other direction:
// a response is written into it token by token and leaves as full packets while it grows,
// so that no response is ever built whole in memory. Thread-compatible.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tds {

enum class PacketType : uint8_t {
    SqlBatch = 0x01,
    PreTds7Login = 0x02,
    Rpc = 0x03,
    TabularResult = 0x04,
    Attention = 0x06,
    BulkLoad = 0x07,
    FederatedAuthToken = 0x08,
    TransactionManager = 0x0E,
    Login7 = 0x10,
    Sspi = 0x11,
    PreLogin = 0x12,
};

constexpr uint8_t kStatusEndOfMessage = 0x01;
constexpr uint8_t kStatusIgnore = 0x02;
constexpr uint8_t kStatusResetConnection = 0x08;
constexpr uint8_t kStatusResetConnectionSkipTran = 0x10;

constexpr size_t kHeaderSize = 8;
// Packet sizes a login may negotiate (SQL Server's limits) and the size before it does.
constexpr uint32_t kMinPacketSize = 512;
constexpr uint32_t kMaxPacketSize = 32767;
constexpr uint32_t kDefaultPacketSize = 4096;

struct Message {
    PacketType type = PacketType::SqlBatch;
    uint8_t firstStatus = 0;  // status bits of the first packet (reset-connection flags)
    bool ignored = false;     // the client asked for the message to be dropped
    std::string payload;      // the packets' data, headers removed
};

class MessageAssembler {
  public:
    explicit MessageAssembler(size_t maxMessageBytes = size_t(64) << 20)
        : maxMessageBytes_(maxMessageBytes) {}

    // A connection accepts far less before its login than after it.
    void setMaxMessageBytes(size_t bytes) { maxMessageBytes_ = bytes; }
    size_t maxMessageBytes() const { return maxMessageBytes_; }

    // Takes received bytes; throws ProtocolError when they break the packet rules.
    void feed(std::string_view bytes);
    // The next complete message, if one has arrived.
    std::optional<Message> next();
    // True when nothing of a message has arrived yet (no partial packet or message).
    bool idle() const { return buffer_.size() == consumed_ && !building_; }
    // Bytes held for messages not handed out yet.
    size_t buffered() const;

  private:
    void parsePackets();

    size_t maxMessageBytes_;
    std::string buffer_;
    size_t consumed_ = 0;
    std::optional<Message> building_;
    std::deque<Message> ready_;
};

// Collects a message's bytes and sends them as packets of the negotiated size: every full
// packet goes to `send` as soon as there is more to follow, the last with end-of-message.
class PacketStream {
  public:
    using Sender = std::function<void(std::string_view packet)>;

    PacketStream(Sender send, uint32_t packetSize = kDefaultPacketSize)
        : send_(std::move(send)), packetSize_(packetSize) {}

    void setPacketSize(uint32_t size) { packetSize_ = size; }
    uint32_t packetSize() const { return packetSize_; }

    // Starts a message of this type (the previous one must have been finished).
    void begin(PacketType type) {
        type_ = type;
        started_ = true;
    }
    bool started() const { return started_; }
    // Appends bytes of the current message, sending full packets as they fill.
    void write(std::string_view bytes);
    // Sends what is left as the message's last packet.
    void finish();
    // Drops whatever of the current message has not been sent yet.
    void discard() {
        pending_.clear();
        started_ = false;
        packetId_ = 1;
    }

  private:
    void sendPacket(std::string_view data, bool last);

    Sender send_;
    uint32_t packetSize_;
    PacketType type_ = PacketType::TabularResult;
    bool started_ = false;
    uint8_t packetId_ = 1;
    std::string pending_;
};

// One whole message as packets (for short replies: PRELOGIN, errors before login).
std::string packetsOf(PacketType type, std::string_view payload,
                      uint32_t packetSize = kDefaultPacketSize);

}  // namespace tds
