// An open connection to one database, with ADO's semantics: what every update routine
// receives. The drivers (embedded engine, ODBC, the Jet base-data file) derive from it;
// routines never know which one is behind it.
//
// Pending error state: an operation that fails (execute, opening a record set, a record
// set's own operations) leaves its errors as the pending error, replacing the previous
// one; operations that succeed leave it alone, and informational messages never count.
// Callers clear it before a step whose outcome they need and read it afterwards:
//     conn.clearError();
//     conn.execute("Alter Table ...");
//     if (conn.hasError() && conn.lastError().nativeError == 2705) ...
// lastError() is the first entry of the error collection (ADO's Errors(0)).
// Every statement sent is written to the statement trace (db/trace.h).
// Rows that a set of the connection queued (Recordset::deferUpdates) are sent before
// anything else is done on the connection, so that statements reach the server in the order
// the caller made them.
// Thread-compatible: one thread uses a connection at a time.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/error.h"
#include "db/recordset.h"

namespace db {

class Connection {
public:
    virtual ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool isOpen() const;
    // Executes a statement text (one batch); rows it returns are discarded.
    Status execute(std::string_view sql);
    // Opens a record set on a statement text; nullptr when that failed (the error is then
    // pending). An Optimistic set is updatable when the driver can write to its source.
    std::unique_ptr<Recordset> openRecordset(std::string_view sql, CursorType cursor,
                                             LockType lock);
    // The current database as the server reports it; empty when the connection is closed.
    std::string currentDatabase();
    void close();

    Status beginTransaction();
    Status commitTransaction();
    Status rollbackTransaction();

    void clearError() { pending_.clear(); }
    bool hasError() const { return !pending_.empty(); }
    // Errors(0); an empty Error when nothing is pending.
    const Error& lastError() const;
    const std::vector<Error>& errors() const { return pending_; }
    // Makes the errors of a failed status pending (nothing when it is ok).
    void setPendingError(const Status& status);

    // Writes one record to the statement trace under this connection's database name.
    void traceStatement(std::string_view kind, std::string_view sql, const Status& outcome);

    // Sends the rows a set of this connection has queued, if any; every operation above
    // does this first.
    void flushQueuedUpdates();

protected:
    // `traceDatabase` names the connection in the statement trace.
    explicit Connection(std::string traceDatabase);

    struct OpenedSet {
        RowSet rows;
        std::unique_ptr<RowWriter> writer;  // null when the set cannot be written
    };

    virtual bool doIsOpen() const = 0;
    virtual Status doExecute(std::string_view sql) = 0;
    virtual Status doOpenRecordset(std::string_view sql, CursorType cursor, LockType lock,
                                   OpenedSet& out) = 0;
    virtual std::string doCurrentDatabase() = 0;
    virtual void doClose() = 0;
    virtual Status doBeginTransaction() = 0;
    virtual Status doCommitTransaction() = 0;
    virtual Status doRollbackTransaction() = 0;

    void setTraceDatabase(std::string name) { traceDatabase_ = std::move(name); }

private:
    friend class Recordset;
    Status finish(std::string_view kind, std::string_view sql, Status status);

    std::string traceDatabase_;
    std::vector<Error> pending_;
    // The set whose saved rows wait in its driver's queue; at most one at a time.
    Recordset* queuedIn_ = nullptr;
};

// A connection that could not be opened: closed, every operation fails with the
// "object is closed" error. What connect() returns when no driver could even start.
class ClosedConnection final : public Connection {
public:
    explicit ClosedConnection(std::string database) : Connection(std::move(database)) {}

protected:
    bool doIsOpen() const override { return false; }
    Status doExecute(std::string_view) override;
    Status doOpenRecordset(std::string_view, CursorType, LockType, OpenedSet&) override;
    std::string doCurrentDatabase() override { return ""; }
    void doClose() override {}
    Status doBeginTransaction() override;
    Status doCommitTransaction() override;
    Status doRollbackTransaction() override;
};

}  // namespace db
