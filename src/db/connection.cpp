#include "db/connection.h"

#include "db/trace.h"

namespace db {

Connection::Connection(std::string traceDatabase) : traceDatabase_(std::move(traceDatabase)) {}

Connection::~Connection() = default;

bool Connection::isOpen() const { return doIsOpen(); }

const Error& Connection::lastError() const {
    static const Error kNone;
    return pending_.empty() ? kNone : pending_.front();
}

void Connection::setPendingError(const Status& status) {
    if (!status.ok()) pending_ = status.errors();
}

void Connection::traceStatement(std::string_view kind, std::string_view sql,
                                const Status& outcome) {
    trace::write(kind, traceDatabase_, sql, outcome);
}

Status Connection::finish(std::string_view kind, std::string_view sql, Status status) {
    traceStatement(kind, sql, status);
    setPendingError(status);
    return status;
}

void Connection::flushQueuedUpdates() {
    if (queuedIn_ != nullptr) queuedIn_->flushQueued();
}

Status Connection::execute(std::string_view sql) {
    flushQueuedUpdates();
    if (!doIsOpen()) return finish("execute", sql, Status(client_error::objectClosed()));
    return finish("execute", sql, doExecute(sql));
}

std::unique_ptr<Recordset> Connection::openRecordset(std::string_view sql, CursorType cursor,
                                                     LockType lock) {
    flushQueuedUpdates();
    if (!doIsOpen()) {
        finish("open", sql, Status(client_error::objectClosed()));
        return nullptr;
    }
    OpenedSet opened;
    Status status = finish("open", sql, doOpenRecordset(sql, cursor, lock, opened));
    if (!status) return nullptr;
    if (lock == LockType::ReadOnly) opened.writer.reset();
    return std::make_unique<Recordset>(*this, cursor, lock, std::move(opened.rows),
                                       std::move(opened.writer));
}

std::string Connection::currentDatabase() {
    flushQueuedUpdates();
    return doIsOpen() ? doCurrentDatabase() : "";
}

void Connection::close() {
    flushQueuedUpdates();
    if (doIsOpen()) doClose();
}

Status Connection::beginTransaction() {
    flushQueuedUpdates();
    Status s = doIsOpen() ? doBeginTransaction() : Status(client_error::objectClosed());
    setPendingError(s);
    return s;
}

Status Connection::commitTransaction() {
    flushQueuedUpdates();
    Status s = doIsOpen() ? doCommitTransaction() : Status(client_error::objectClosed());
    setPendingError(s);
    return s;
}

Status Connection::rollbackTransaction() {
    flushQueuedUpdates();
    Status s = doIsOpen() ? doRollbackTransaction() : Status(client_error::objectClosed());
    setPendingError(s);
    return s;
}

Status ClosedConnection::doExecute(std::string_view) { return Status(client_error::objectClosed()); }

Status ClosedConnection::doOpenRecordset(std::string_view, CursorType, LockType, OpenedSet&) {
    return Status(client_error::objectClosed());
}

Status ClosedConnection::doBeginTransaction() { return Status(client_error::objectClosed()); }
Status ClosedConnection::doCommitTransaction() { return Status(client_error::objectClosed()); }
Status ClosedConnection::doRollbackTransaction() { return Status(client_error::objectClosed()); }

}  // namespace db
