// The locks a statement takes, and the check points where a running batch notices that
// it was cancelled.
//
// A statement locks each database as it first resolves one of its tables (or catalogue
// views): shared when it only reads it, exclusive when it changes it (see
// StatementAccess). Shared locks go when the outermost statement ends (READ COMMITTED),
// or with the transaction under REPEATABLE READ and SERIALIZABLE; exclusive ones when the
// transaction ends, or with the statement in autocommit mode.
// Statements that touch no table (SELECT 1, SET, PRINT) take no lock and never wait.
//
// Waiting for a lock gives up the call's hold on the server: other sessions run meanwhile, so a
// database that the statement had not locked yet may have been unloaded, reloaded or
// dropped when the wait ends. Callers therefore resolve what they need in a database only
// after locking it, and use the entry returned.
// Thread-compatible (the session's thread, holding its call's CallLock).
#pragma once

#include "engine/exec/context.h"
#include "engine/lock_manager.h"

namespace engine::exec {

// A lock the statement could not get: 1205 (deadlock victim) or 1222 (timeout). Not an
// exception class: the executor's handlers that fall back on errors (a view whose columns
// cannot be bound, a key type that does not hash) must not take it; the runner reports it.
struct LockFailure {
    SqlMessage message;
};

// Locks `entry` in `mode` for the session, waiting for as long as SET LOCK_TIMEOUT allows
// (DROP DATABASE waits regardless of it, as on SQL Server). Returns the entry as it stands
// afterwards (nullptr when the database was dropped while the session waited). Raises
// LockFailure, or Cancelled when cancelled meanwhile.
DatabaseEntry* lockDatabase(SessionRuntime& session, DatabaseEntry* entry, LockMode mode,
                            bool honourLockTimeout = true);

// As lockDatabase, in the mode the running statement needs for that database.
DatabaseEntry* lockForStatement(ExecContext& ctx, DatabaseEntry* entry);

// Locks that outlive no statement: shared ones, and every one outside a transaction.
void releaseStatementLocks(SessionRuntime& session);

// One statement: when the outermost one ends (however it ends), its locks go as
// releaseStatementLocks says.
class StatementScope {
  public:
    explicit StatementScope(SessionRuntime& session) : session_(session) {
        ++session_.statementDepth;
    }
    ~StatementScope() {
        if (--session_.statementDepth == 0) releaseStatementLocks(session_);
    }
    StatementScope(const StatementScope&) = delete;
    StatementScope& operator=(const StatementScope&) = delete;

  private:
    SessionRuntime& session_;
};

// A check point: leaves the batch when the session has been cancelled.
inline void checkCancelled(const SessionRuntime& session) {
    if (session.cancel.stop_requested()) throw Cancelled{};
}

}  // namespace engine::exec
