#include "engine/exec/locks.h"

#include "engine/types/collation.h"
#include "engine/types/sql_message.h"

namespace engine::exec {

DatabaseEntry* lockDatabase(SessionRuntime& session, DatabaseEntry* entry, LockMode mode,
                            bool honourLockTimeout) {
    if (!entry) return nullptr;
    // No other session can see a session's temporary objects: nothing to wait for.
    if (entry->temporary) return entry;
    LockManager& locks = session.server->locks();
    if (locks.holds(session.spid, entry->id, mode)) return entry;
    const int32_t id = entry->id;
    // Without a call in progress there is no waiting.
    auto outcome = LockManager::Outcome::TimedOut;
    if (!session.serverLock) {
        if (locks.tryAcquire(session.spid, id, mode)) outcome = LockManager::Outcome::Granted;
    } else {
        std::chrono::milliseconds timeout(honourLockTimeout ? session.settings.lockTimeout : -1);
        outcome = locks.acquire(session.spid, id, mode, *session.serverLock, timeout, session.cancel);
    }
    switch (outcome) {
        case LockManager::Outcome::Granted:
            break;
        case LockManager::Outcome::Deadlock:
            throw LockFailure{sqlMessage(1205, {std::to_string(session.spid), "lock"})};
        case LockManager::Outcome::TimedOut:
            throw LockFailure{sqlMessage(1222)};
        case LockManager::Outcome::Cancelled:
            throw Cancelled{};
    }
    // Other sessions may have run meanwhile: the entry is looked up again (and loaded).
    return session.server->databaseById(id);
}

DatabaseEntry* lockForStatement(ExecContext& ctx, DatabaseEntry* entry) {
    if (!entry) return nullptr;
    const StatementAccess& access = ctx.access;
    bool writes =
        access.writes && (access.database.empty() ? entry == ctx.session.database
                                                  : identifierEqual(access.database, entry->name));
    return lockDatabase(ctx.session, entry, writes ? LockMode::Exclusive : LockMode::Shared);
}

void releaseStatementLocks(SessionRuntime& session) {
    if (!session.server) return;
    if (session.tranCount == 0) {
        session.server->locks().releaseAll(session.spid);
    } else if (!session.settings.holdSharedLocks) {
        session.server->locks().releaseShared(session.spid);
    }
}

DatabaseEntry& ExecContext::entry() {
    DatabaseEntry* e = lockForStatement(*this, session.database);
    // The current database cannot go while the session uses it (DROP DATABASE refuses).
    return e ? *e : *session.database;
}

DatabaseEntry& ExecContext::entryOf(const Table& table) {
    if (catalog().tableById(table.schema.id) == &table) return entry();
    if (DatabaseEntry* temporary = session.temporaryTables.holding(table)) return *temporary;
    for (const DatabaseEntry* e : session.server->databases()) {
        if (e->database && e->database->tableById(table.schema.id) == &table) {
            if (DatabaseEntry* found = session.server->databaseById(e->id)) return *found;
        }
    }
    return entry();
}

}  // namespace engine::exec
