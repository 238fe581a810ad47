#include "server/tds/requests.h"

#include "engine/types/text.h"
#include "server/tds/bytes.h"

namespace tds {

namespace {

constexpr uint16_t kHeaderTransactionDescriptor = 2;
constexpr uint8_t kBatchFlag = 0x80;
constexpr uint8_t kNoExecFlag = 0xFF;
constexpr uint8_t kParamByRef = 0x01;
constexpr uint8_t kParamDefault = 0x02;

RequestHeaders readHeaders(ByteReader& r) {
    RequestHeaders headers;
    const size_t start = r.position();
    const uint32_t total = r.u32();
    if (total < 4 || total > r.remaining() + 4) throw ProtocolError("ALL_HEADERS length out of range");
    const size_t end = start + total;
    while (r.position() < end) {
        const uint32_t length = r.u32();
        if (length < 6 || r.position() - 4 + length > end)
            throw ProtocolError("header length out of range");
        const uint16_t type = r.u16();
        ByteReader data(r.take(length - 6));
        if (type == kHeaderTransactionDescriptor) headers.transactionDescriptor = data.u64();
    }
    return headers;
}

std::string utf16Text(std::string_view bytes) {
    if (bytes.size() % 2) throw ProtocolError("odd length of UTF-16 text");
    return engine::utf16leToUtf8(bytes);
}

}  // namespace

SqlBatchRequest parseSqlBatch(std::string_view payload, bool withHeaders) {
    ByteReader r(payload);
    SqlBatchRequest request;
    if (withHeaders) request.headers = readHeaders(r);
    request.text = utf16Text(r.take(r.remaining()));
    return request;
}

RpcRequest parseRpc(std::string_view payload, bool withHeaders) {
    ByteReader r(payload);
    RpcRequest request;
    if (withHeaders) request.headers = readHeaders(r);
    while (!r.atEnd()) {
        RpcCall call;
        const uint16_t nameLength = r.u16();
        if (nameLength == 0xFFFF) {
            const uint16_t id = r.u16();
            if (id < 1 || id > 15) throw ProtocolError("unknown procedure number");
            call.procedure = static_cast<SpecialProcedure>(id);
        } else {
            call.procedureName = utf16Text(r.utf16(nameLength));
        }
        call.options = r.u16();
        while (!r.atEnd()) {
            const uint8_t next = static_cast<uint8_t>(r.whole()[r.position()]);
            if (next == kBatchFlag || next == kNoExecFlag) {
                r.u8();
                break;
            }
            if (call.parameters.size() >= 2100) throw ProtocolError("more than 2100 parameters");
            RpcParameter p;
            p.name = utf16Text(r.bVarChar());
            const uint8_t status = r.u8();
            p.output = (status & kParamByRef) != 0;
            p.useDefault = (status & kParamDefault) != 0;
            p.value = readTypedValue(r);
            call.parameters.push_back(std::move(p));
        }
        request.calls.push_back(std::move(call));
    }
    if (request.calls.empty()) throw ProtocolError("RPC request without a call");
    return request;
}

TransactionRequest parseTransactionRequest(std::string_view payload, bool withHeaders) {
    ByteReader r(payload);
    TransactionRequest request;
    if (withHeaders) request.headers = readHeaders(r);
    // Names here are counted in bytes, not characters as elsewhere.
    auto name = [&r] {
        const uint8_t bytes = r.u8();
        if (bytes % 2) throw ProtocolError("transaction name of an odd number of bytes");
        return utf16Text(r.utf16(bytes / 2));
    };
    const uint16_t kind = r.u16();
    switch (kind) {
        case 5:
            request.kind = TransactionRequestKind::Begin;
            request.isolationLevel = r.u8();
            request.name = name();
            break;
        case 7:
        case 8:
            request.kind = kind == 7 ? TransactionRequestKind::Commit : TransactionRequestKind::Rollback;
            request.name = name();
            if (!r.atEnd()) {
                request.beginAfter = (r.u8() & 0x01) != 0;
                if (request.beginAfter) {
                    request.isolationLevel = r.u8();
                    request.beginName = name();
                }
            }
            break;
        case 9:
            request.kind = TransactionRequestKind::Save;
            request.name = name();
            break;
        case 0:
        case 1:
        case 6:
            request.kind = static_cast<TransactionRequestKind>(kind);
            break;
        default:
            throw ProtocolError("unknown transaction manager request");
    }
    return request;
}

std::string_view specialProcedureName(SpecialProcedure p) {
    switch (p) {
        case SpecialProcedure::None: return "";
        case SpecialProcedure::Cursor: return "sp_cursor";
        case SpecialProcedure::CursorOpen: return "sp_cursoropen";
        case SpecialProcedure::CursorPrepare: return "sp_cursorprepare";
        case SpecialProcedure::CursorExecute: return "sp_cursorexecute";
        case SpecialProcedure::CursorPrepExec: return "sp_cursorprepexec";
        case SpecialProcedure::CursorUnprepare: return "sp_cursorunprepare";
        case SpecialProcedure::CursorFetch: return "sp_cursorfetch";
        case SpecialProcedure::CursorOption: return "sp_cursoroption";
        case SpecialProcedure::CursorClose: return "sp_cursorclose";
        case SpecialProcedure::ExecuteSql: return "sp_executesql";
        case SpecialProcedure::Prepare: return "sp_prepare";
        case SpecialProcedure::Execute: return "sp_execute";
        case SpecialProcedure::PrepExec: return "sp_prepexec";
        case SpecialProcedure::PrepExecRpc: return "sp_prepexecrpc";
        case SpecialProcedure::Unprepare: return "sp_unprepare";
    }
    return "";
}

}  // namespace tds
