// libFuzzer target: arbitrary bytes as what a client sends. The packet reader and every
// request parser must turn them into messages or a ProtocolError, never crash, read out of
// bounds or allocate beyond what the bytes could justify. Built and run by
// tests/server/fuzz/run-packet-fuzzer (clang, -fsanitize=fuzzer,address,undefined).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "server/tds/bytes.h"
#include "server/tds/login7.h"
#include "server/tds/packet.h"
#include "server/tds/prelogin.h"
#include "server/tds/requests.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // The first byte says how the rest is split into reads, as a network would split it.
    const size_t step = size ? 1 + data[0] % 64 : 1;
    tds::MessageAssembler assembler(1 << 20);
    try {
        for (size_t at = 0; at < bytes.size(); at += step) {
            assembler.feed(bytes.substr(at, step));
            while (auto m = assembler.next()) {
                try {
                    switch (m->type) {
                        case tds::PacketType::PreLogin:
                            tds::parsePreLogin(m->payload);
                            break;
                        case tds::PacketType::Login7:
                            tds::parseLogin7(m->payload);
                            break;
                        case tds::PacketType::SqlBatch:
                            tds::parseSqlBatch(m->payload, true);
                            tds::parseSqlBatch(m->payload, false);
                            break;
                        case tds::PacketType::Rpc:
                            tds::parseRpc(m->payload, true);
                            break;
                        case tds::PacketType::TransactionManager:
                            tds::parseTransactionRequest(m->payload, true);
                            break;
                        default:
                            break;
                    }
                } catch (const tds::ProtocolError&) {
                }
            }
        }
    } catch (const tds::ProtocolError&) {
    }
    // Whole payloads straight into the parsers as well, without packet framing.
    for (auto parse : {+[](std::string_view p) { tds::parseLogin7(p); },
                       +[](std::string_view p) { tds::parseRpc(p, true); },
                       +[](std::string_view p) { tds::parseRpc(p, false); },
                       +[](std::string_view p) { tds::parsePreLogin(p); }}) {
        try {
            parse(bytes);
        } catch (const tds::ProtocolError&) {
        }
    }
    return 0;
}
