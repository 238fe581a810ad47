// The tokens of a TDS response (the server's side of the token stream): login
// acknowledgement, environment changes, messages, result sets, DONE and return values.
// Each function appends one token to a ByteWriter. Thread-safe (pure functions).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/session.h"
#include "server/tds/bytes.h"
#include "server/tds/type_codec.h"

namespace tds {

// DONE status bits.
constexpr uint16_t kDoneFinal = 0x0000;
constexpr uint16_t kDoneMore = 0x0001;
constexpr uint16_t kDoneError = 0x0002;
constexpr uint16_t kDoneInTransaction = 0x0004;
constexpr uint16_t kDoneCount = 0x0010;
constexpr uint16_t kDoneAttention = 0x0020;
constexpr uint16_t kDoneServerError = 0x0100;

enum class DoneKind : uint8_t { Done = 0xFD, DoneProc = 0xFE, DoneInProc = 0xFF };

// Current-command codes that DONE tokens carry (clients use them only for display).
constexpr uint16_t kCommandSelect = 0xC1;
constexpr uint16_t kCommandInsert = 0xC3;
constexpr uint16_t kCommandNone = 0x00;

enum class EnvChange : uint8_t {
    Database = 1,
    Language = 2,
    PacketSize = 4,
    Collation = 7,
    BeginTransaction = 8,
    CommitTransaction = 9,
    RollbackTransaction = 10,
    ResetConnection = 18,
};

// Text as B_VARCHAR / US_VARCHAR (UTF-8 in, UTF-16LE out), cut to what the length allows.
void writeBVarChar(ByteWriter& w, std::string_view utf8);
void writeUsVarChar(ByteWriter& w, std::string_view utf8);

void writeLoginAck(ByteWriter& w, uint32_t tdsVersion, std::string_view programName,
                   uint8_t major, uint8_t minor, uint16_t build);
void writeEnvChangeText(ByteWriter& w, EnvChange type, std::string_view newValue,
                        std::string_view oldValue);
void writeEnvChangeCollation(ByteWriter& w);
// Begin: new = descriptor, old empty; commit/rollback: new empty, old = descriptor.
void writeEnvChangeTransaction(ByteWriter& w, EnvChange type, uint64_t descriptor);
void writeEnvChangeReset(ByteWriter& w);
// ERROR for severities above 10, INFO otherwise.
void writeMessage(ByteWriter& w, const engine::SqlMessage& m, std::string_view serverName);
void writeColumnMetadata(ByteWriter& w, const std::vector<engine::ResultColumn>& columns,
                         const WireFeatures& features);
void writeRow(ByteWriter& w, const std::vector<engine::ResultColumn>& columns,
              const std::vector<engine::Value>& row, const WireFeatures& features);
void writeDone(ByteWriter& w, DoneKind kind, uint16_t status, uint16_t command, int64_t rows,
               const WireFeatures& features);
void writeReturnStatus(ByteWriter& w, int32_t status);
void writeReturnValue(ByteWriter& w, uint16_t ordinal, std::string_view name, bool output,
                      const engine::DataType& type, const engine::Value& value,
                      const WireFeatures& features);
// FEATUREEXTACK with no features acknowledged.
void writeFeatureExtAck(ByteWriter& w);

}  // namespace tds
