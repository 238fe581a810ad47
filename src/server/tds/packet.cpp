#include "server/tds/packet.h"

#include "server/tds/bytes.h"

namespace tds {

namespace {

bool knownType(uint8_t type) {
    switch (static_cast<PacketType>(type)) {
        case PacketType::SqlBatch:
        case PacketType::PreTds7Login:
        case PacketType::Rpc:
        case PacketType::TabularResult:
        case PacketType::Attention:
        case PacketType::BulkLoad:
        case PacketType::FederatedAuthToken:
        case PacketType::TransactionManager:
        case PacketType::Login7:
        case PacketType::Sspi:
        case PacketType::PreLogin:
            return true;
    }
    return false;
}

}  // namespace

void MessageAssembler::feed(std::string_view bytes) {
    // Keep the buffer from growing with what has been parsed already.
    if (consumed_ > 0 && consumed_ == buffer_.size()) {
        buffer_.clear();
        consumed_ = 0;
    } else if (consumed_ > 65536) {
        buffer_.erase(0, consumed_);
        consumed_ = 0;
    }
    buffer_.append(bytes);
    parsePackets();
}

size_t MessageAssembler::buffered() const {
    size_t n = buffer_.size() - consumed_;
    if (building_) n += building_->payload.size();
    for (const auto& m : ready_)
        n += m.payload.size();
    return n;
}

void MessageAssembler::parsePackets() {
    while (buffer_.size() - consumed_ >= kHeaderSize) {
        ByteReader header(std::string_view(buffer_).substr(consumed_, kHeaderSize));
        const uint8_t type = header.u8();
        const uint8_t status = header.u8();
        const uint16_t length = header.u16be();
        if (!knownType(type)) throw ProtocolError("unknown packet type");
        if (length < kHeaderSize) throw ProtocolError("packet shorter than its header");
        if (length > kMaxPacketSize + 1) throw ProtocolError("packet longer than TDS allows");
        if (buffer_.size() - consumed_ < length) return;  // the rest is still on its way
        std::string_view data(buffer_.data() + consumed_ + kHeaderSize, length - kHeaderSize);
        consumed_ += length;

        if (building_ && static_cast<uint8_t>(building_->type) != type) {
            // An attention may follow a message the client gave up sending.
            if (static_cast<PacketType>(type) != PacketType::Attention)
                throw ProtocolError("packet type changed inside a message");
            building_.reset();
        }
        if (!building_) {
            building_.emplace();
            building_->type = static_cast<PacketType>(type);
            building_->firstStatus = status;
        }
        if (building_->payload.size() + data.size() > maxMessageBytes_)
            throw ProtocolError("message larger than the server accepts");
        building_->payload.append(data);
        if (status & kStatusIgnore) building_->ignored = true;
        if (status & kStatusEndOfMessage) {
            ready_.push_back(std::move(*building_));
            building_.reset();
        }
    }
}

std::optional<Message> MessageAssembler::next() {
    if (ready_.empty()) return std::nullopt;
    Message m = std::move(ready_.front());
    ready_.pop_front();
    return m;
}

void PacketStream::write(std::string_view bytes) {
    const size_t room = packetSize_ - kHeaderSize;
    pending_.append(bytes);
    // A full packet leaves only when more is known to follow, so that the last packet of a
    // message is never an empty one.
    if (pending_.size() <= room) return;
    size_t offset = 0;
    while (pending_.size() - offset > room) {
        sendPacket(std::string_view(pending_).substr(offset, room), false);
        offset += room;
    }
    pending_.erase(0, offset);
}

void PacketStream::finish() {
    if (!started_) return;
    sendPacket(pending_, true);
    pending_.clear();
    started_ = false;
    packetId_ = 1;
}

void PacketStream::sendPacket(std::string_view data, bool last) {
    ByteWriter w;
    w.u8(static_cast<uint8_t>(type_));
    w.u8(last ? kStatusEndOfMessage : 0);
    w.u16be(static_cast<uint16_t>(data.size() + kHeaderSize));
    w.u16be(0);  // server process id: clients do not need it
    w.u8(packetId_++);
    w.u8(0);
    w.raw(data);
    send_(w.bytes());
}

std::string packetsOf(PacketType type, std::string_view payload, uint32_t packetSize) {
    std::string out;
    PacketStream stream([&](std::string_view p) { out.append(p); }, packetSize);
    stream.begin(type);
    stream.write(payload);
    stream.finish();
    return out;
}

}  // namespace tds
