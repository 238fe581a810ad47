// Turns what the engine sends back for a request into a TDS token stream: result sets as
// COLMETADATA and ROW/NBCROW tokens, messages as INFO/ERROR, row counts and statement ends
// as DONE (DONEINPROC inside an RPC), database and transaction changes as ENVCHANGE. Rows
// leave packet by packet as they are encoded (see tds::PacketStream).
//
// A statement's DONE is held back until the next token shows whether more follows, so the
// last one of a request goes out as the final DONE with its row count, as SQL Server sends
// it (ODBC drivers read SQL_NO_DATA and the row count of a request from that token).
// Thread-compatible: one request at a time, on the connection's worker thread.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/session.h"
#include "server/tds/packet.h"
#include "server/tds/tokens.h"

namespace tds {

class ResponseWriter : public engine::BatchSink {
  public:
    ResponseWriter(PacketStream& stream, WireFeatures features, std::string serverName)
        : stream_(stream), features_(features), serverName_(std::move(serverName)) {}

    // Starts the response to a request; `inProcedure`: statements end with DONEINPROC and
    // the response with DONEPROC (an RPC).
    void begin(bool inProcedure);
    // Ends the response to a request (or to one call of an RPC request, with `more` when
    // other calls follow): its final DONE/DONEPROC. The message itself ends with the stream
    // (PacketStream::finish()).
    void finish(bool more = false);
    // The acknowledgement of a client's attention: a DONE of its own, alone in its message.
    void attentionAcknowledgement();

    // BatchSink
    void resultSet(engine::ResultSet&& set) override;
    bool streamsResultSets() const override { return true; }
    void resultSetBegin(const std::vector<engine::ResultColumn>& columns) override;
    void resultSetRows(std::vector<std::vector<engine::Value>>& rows) override;
    void resultSetEnd() override;
    void message(const engine::SqlMessage& m) override;
    void rowCount(const engine::RowCount& count) override;
    void databaseChanged(const std::string& name) override;
    void transactionChanged(Transaction change) override;

    // RPC extras, before finish().
    void returnStatus(int32_t status);
    void returnValue(uint16_t ordinal, const std::string& name, const engine::DataType& type,
                     const engine::Value& value);
    // Any other token (login acknowledgement, environment changes of the login).
    void raw(const std::string& tokenBytes);

    // Asked between rows: true once the client cancelled the request, whose remaining rows
    // are then left unsent.
    void setCancelled(std::function<bool()> cancelled) { cancelled_ = std::move(cancelled); }
    // False while the engine calls in with the server's lock held (every callback but the
    // result set ones): the stream's writes must not wait for the client then, or a client that
    // stops reading would hold up every session of the server.
    bool mayBlock() const { return !underServerLock_; }

    bool errorsSeen() const { return anyError_; }
    const std::string& currentDatabase() const { return database_; }
    void setCurrentDatabase(std::string name) { database_ = std::move(name); }
    bool inTransaction() const { return transaction_ != 0; }
    uint64_t transactionDescriptor() const { return transaction_; }

  private:
    struct PendingDone {
        uint16_t status = 0;
        uint16_t command = kCommandNone;
        int64_t rows = 0;
        bool fromResultSet = false;  // waits for its row count
        bool fromError = false;      // collects the messages of a failed statement
    };
    void flushDone();
    void write(const ByteWriter& w) { stream_.write(w.bytes()); }
    DoneKind statementDone() const { return inProcedure_ ? DoneKind::DoneInProc : DoneKind::Done; }

    struct UnderServerLock {
        explicit UnderServerLock(bool& flag) : flag_(flag), was_(flag) { flag_ = true; }
        ~UnderServerLock() { flag_ = was_; }
        bool& flag_;
        bool was_;
    };

    PacketStream& stream_;
    WireFeatures features_;
    bool underServerLock_ = false;
    std::string serverName_;
    bool inProcedure_ = false;
    bool anyError_ = false;
    std::optional<PendingDone> pending_;
    std::vector<engine::ResultColumn> streamed_;  // columns of the result set being streamed
    int64_t streamedRows_ = 0;
    std::function<bool()> cancelled_;
    std::string database_;
    uint64_t transaction_ = 0;
    uint64_t nextTransaction_ = 1;
};

}  // namespace tds
