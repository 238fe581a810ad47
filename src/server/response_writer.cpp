#include "server/response_writer.h"

namespace tds {

void ResponseWriter::begin(bool inProcedure) {
    inProcedure_ = inProcedure;
    anyError_ = false;
    pending_.reset();
    if (!stream_.started()) stream_.begin(PacketType::TabularResult);
}

void ResponseWriter::flushDone() {
    if (!pending_) return;
    ByteWriter w;
    writeDone(w, statementDone(), pending_->status | kDoneMore, pending_->command, pending_->rows,
              features_);
    pending_.reset();
    write(w);
}

void ResponseWriter::finish(bool more) {
    ByteWriter w;
    uint16_t status = 0;
    uint16_t command = kCommandNone;
    int64_t rows = 0;
    if (pending_ && !inProcedure_) {
        // The last statement's DONE is the request's final one.
        status = pending_->status;
        command = pending_->command;
        rows = pending_->rows;
        pending_.reset();
    } else {
        flushDone();
        // A procedure's DONEPROC says whether any of its statements failed; the bare DONE
        // that ends a batch follows its last statement's DONE, which said so already (an
        // error bit here would be a failed result without a message to ODBC drivers).
        if (anyError_ && inProcedure_) status |= kDoneError;
    }
    if (more) status |= kDoneMore;
    if (transaction_ != 0) status |= kDoneInTransaction;
    writeDone(w, inProcedure_ ? DoneKind::DoneProc : DoneKind::Done, status, command, rows,
              features_);
    write(w);
}


void ResponseWriter::attentionAcknowledgement() {
    pending_.reset();
    ByteWriter w;
    writeDone(w, DoneKind::Done, kDoneAttention, kCommandNone, 0, features_);
    write(w);
}

void ResponseWriter::resultSet(engine::ResultSet&& set) {
    resultSetBegin(set.columns);
    resultSetRows(set.rows);
    resultSetEnd();
}

void ResponseWriter::resultSetBegin(const std::vector<engine::ResultColumn>& columns) {
    flushDone();
    streamed_ = columns;
    streamedRows_ = 0;
    ByteWriter w;
    writeColumnMetadata(w, streamed_, features_);
    write(w);
}

void ResponseWriter::resultSetRows(std::vector<std::vector<engine::Value>>& rows) {
    ByteWriter w;
    for (auto& row : rows) {
        if (cancelled_ && cancelled_()) break;  // the client gave up on the rest
        writeRow(w, streamed_, row, features_);
        row.clear();  // what has been encoded needs no memory any more
        ++streamedRows_;
        if (w.size() >= 8192) {
            write(w);
            w.bytes().clear();
        }
    }
    if (w.size()) write(w);
}

void ResponseWriter::resultSetEnd() {
    PendingDone done;
    done.command = kCommandSelect;
    done.rows = streamedRows_;
    done.fromResultSet = true;
    pending_ = done;
}

void ResponseWriter::message(const engine::SqlMessage& m) {
    UnderServerLock locked(underServerLock_);
    if (pending_ && !pending_->fromError) flushDone();
    ByteWriter w;
    writeMessage(w, m, serverName_);
    write(w);
    if (m.isError()) {
        anyError_ = true;
        if (!pending_) pending_ = PendingDone{kDoneError, kCommandNone, 0, false, true};
    } else if (!pending_) {
        // A statement that only informs (PRINT, USE) ends with a DONE of its own, as on SQL
        // Server: ODBC drivers hand the message over at that DONE, so a later statement's
        // error cannot come before it (FreeTDS ranks the records of one call by severity).
        pending_ = PendingDone{0, kCommandNone, 0, false, false};
    }
}

void ResponseWriter::rowCount(const engine::RowCount& count) {
    UnderServerLock locked(underServerLock_);
    if (pending_ && pending_->fromResultSet) {
        pending_->status |= kDoneCount;
        pending_->rows = count.rows;
        pending_->fromResultSet = false;
        return;
    }
    flushDone();
    pending_ = PendingDone{kDoneCount, kCommandInsert, count.rows, false, false};
}

void ResponseWriter::databaseChanged(const std::string& name) {
    UnderServerLock locked(underServerLock_);
    flushDone();
    ByteWriter w;
    writeEnvChangeText(w, EnvChange::Database, name, database_);
    write(w);
    database_ = name;
}

void ResponseWriter::transactionChanged(Transaction change) {
    UnderServerLock locked(underServerLock_);
    // The rollback that a failed statement brings about (an error that ends the batch) is
    // part of that statement's outcome: it goes before the statement's DONE, as SQL Server
    // sends it, so that DONE can still end the batch.
    if (!(change == Transaction::RolledBack && pending_ && pending_->fromError)) flushDone();
    ByteWriter w;
    if (change == Transaction::Began) {
        transaction_ = nextTransaction_++;
        writeEnvChangeTransaction(w, EnvChange::BeginTransaction, transaction_);
    } else {
        writeEnvChangeTransaction(w,
                                  change == Transaction::Committed ? EnvChange::CommitTransaction
                                                                   : EnvChange::RollbackTransaction,
                                  transaction_);
        transaction_ = 0;
    }
    write(w);
}

void ResponseWriter::returnStatus(int32_t status) {
    flushDone();
    ByteWriter w;
    writeReturnStatus(w, status);
    write(w);
}

void ResponseWriter::returnValue(uint16_t ordinal, const std::string& name,
                                 const engine::DataType& type, const engine::Value& value) {
    flushDone();
    ByteWriter w;
    writeReturnValue(w, ordinal, name, true, type, value, features_);
    write(w);
}

void ResponseWriter::raw(const std::string& tokenBytes) {
    stream_.write(tokenBytes);
}

}  // namespace tds
