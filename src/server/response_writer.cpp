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

void ResponseWriter::finish(bool attention, bool more) {
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
        if (anyError_) status |= kDoneError;
    }
    if (attention) status |= kDoneAttention;
    if (more) status |= kDoneMore;
    if (transaction_ != 0) status |= kDoneInTransaction;
    writeDone(w, inProcedure_ ? DoneKind::DoneProc : DoneKind::Done, status, command, rows,
              features_);
    write(w);
}

void ResponseWriter::resultSet(engine::ResultSet&& set) {
    flushDone();
    ByteWriter w;
    writeColumnMetadata(w, set.columns, features_);
    write(w);
    for (auto& row : set.rows) {
        ByteWriter r;
        writeRow(r, set.columns, row, features_);
        write(r);
        row.clear();  // what has left needs no memory any more
    }
    PendingDone done;
    done.command = kCommandSelect;
    done.rows = static_cast<int64_t>(set.rows.size());
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
    flushDone();
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
