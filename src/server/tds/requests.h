// The client's requests after login: SQL batches, RPC calls and transaction-manager
// requests, parsed from their messages with every length checked. Thread-safe (pure).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/tds/type_codec.h"

namespace tds {

// ALL_HEADERS: what the request says about the transaction it runs in.
struct RequestHeaders {
    std::optional<uint64_t> transactionDescriptor;
};

struct SqlBatchRequest {
    RequestHeaders headers;
    std::string text;  // UTF-8
};

// Procedures an RPC may name by number instead of by name.
enum class SpecialProcedure : uint16_t {
    None = 0,
    Cursor = 1,
    CursorOpen = 2,
    CursorPrepare = 3,
    CursorExecute = 4,
    CursorPrepExec = 5,
    CursorUnprepare = 6,
    CursorFetch = 7,
    CursorOption = 8,
    CursorClose = 9,
    ExecuteSql = 10,
    Prepare = 11,
    Execute = 12,
    PrepExec = 13,
    PrepExecRpc = 14,
    Unprepare = 15,
};

struct RpcParameter {
    std::string name;  // "@P1", or empty for a positional parameter
    bool output = false;
    bool useDefault = false;
    DecodedParameter value;
};

struct RpcCall {
    std::string procedureName;  // empty when procedure is given
    SpecialProcedure procedure = SpecialProcedure::None;
    uint16_t options = 0;
    std::vector<RpcParameter> parameters;
};

struct RpcRequest {
    RequestHeaders headers;
    std::vector<RpcCall> calls;  // several when the client batched them
};

enum class TransactionRequestKind : uint16_t {
    GetDtcAddress = 0,
    Propagate = 1,
    Begin = 5,
    Promote = 6,
    Commit = 7,
    Rollback = 8,
    Save = 9,
};

// Isolation levels as transaction-manager requests number them (0: leave it as it is).
enum class IsolationLevel : uint8_t {
    Unchanged = 0,
    ReadUncommitted = 1,
    ReadCommitted = 2,
    RepeatableRead = 3,
    Serializable = 4,
    Snapshot = 5,
};

struct TransactionRequest {
    RequestHeaders headers;
    TransactionRequestKind kind = TransactionRequestKind::Begin;
    std::string name;  // of the transaction begun, committed, rolled back, or of the savepoint
    // Begin, or commit/rollback with a new transaction after it (beginAfter).
    bool beginAfter = false;
    uint8_t isolationLevel = 0;  // an IsolationLevel
    std::string beginName;       // of the transaction begun after a commit/rollback
};

// `withHeaders`: TDS 7.2 and later put ALL_HEADERS first.
SqlBatchRequest parseSqlBatch(std::string_view payload, bool withHeaders);
RpcRequest parseRpc(std::string_view payload, bool withHeaders);
TransactionRequest parseTransactionRequest(std::string_view payload, bool withHeaders);

// The name SQL Server gives to a numbered procedure ("sp_executesql").
std::string_view specialProcedureName(SpecialProcedure p);

}  // namespace tds
