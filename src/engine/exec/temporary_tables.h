// Local temporary tables (#name): a session's own tables in tempdb.
//
// Each nesting level of a session (the session itself, then each procedure, trigger and
// dynamic batch it runs) that creates a #table gets a scope: a database in memory named
// tempdb that only this session sees. Names resolve to the innermost scope that holds them,
// so a procedure sees its caller's #tables and may create its own of the same name; the
// scope goes, tables and all, when its level returns, and the session's own when the
// session closes. Scopes are never journaled nor locked (see DatabaseEntry::temporary): no
// other session can reach them, and they do not outlive the session. Their changes join
// the session's transaction like any other, so ROLLBACK takes them back.
// Global temporary tables (##name) are ordinary tables of the current database.
// Thread-compatible: one session's thread.
#pragma once

#include <map>
#include <memory>
#include <string_view>

#include "engine/server.h"

namespace engine::sql {
struct ObjectName;
}

namespace engine::exec {

struct SessionRuntime;
struct ExecContext;

// "#t" (not "##t").
bool isLocalTemporary(std::string_view name);

class TemporaryTables {
  public:
    // The scope of nesting level `level`, made on first use.
    DatabaseEntry& scope(int level);
    // The innermost scope holding a table of that name, or null.
    DatabaseEntry* holding(std::string_view schema, std::string_view name) const;
    // The scope holding that table (or that object id), or null.
    DatabaseEntry* holding(const Table& table) const;
    DatabaseEntry* holdingId(int32_t objectId) const;
    // The scopes' databases, outermost first.
    std::vector<const Database*> databases() const;
    // Takes out the scopes of `level` and deeper.
    std::vector<std::unique_ptr<DatabaseEntry>> takeFrom(int level);

  private:
    std::map<int, std::unique_ptr<DatabaseEntry>> scopes_;
    uint64_t scopesMade_ = 0;
};

// The scope a statement's name refers to: a #name written bare or in tempdb (the
// innermost scope holding it), otherwise null.
DatabaseEntry* temporaryEntryFor(const ExecContext& ctx, const sql::ObjectName& name);

// Ends the scopes of `level` and deeper: their tables go, and the open transaction
// forgets what it would have undone in them.
void endTemporaryScopes(SessionRuntime& session, int level);

// A nesting level: the scope it may make ends with it.
class TemporaryScope {
  public:
    TemporaryScope(SessionRuntime& session, int level) : session_(session), level_(level) {}
    ~TemporaryScope() { endTemporaryScopes(session_, level_); }
    TemporaryScope(const TemporaryScope&) = delete;
    TemporaryScope& operator=(const TemporaryScope&) = delete;

  private:
    SessionRuntime& session_;
    int level_;
};

// DDL on a #table runs with its tempdb scope as the current database, as it runs in
// tempdb on SQL Server: constraints, names and types are tempdb's. Null changes nothing.
class InTemporaryDatabase {
  public:
    InTemporaryDatabase(SessionRuntime& session, DatabaseEntry* scope);
    ~InTemporaryDatabase();
    InTemporaryDatabase(const InTemporaryDatabase&) = delete;
    InTemporaryDatabase& operator=(const InTemporaryDatabase&) = delete;

  private:
    SessionRuntime& session_;
    DatabaseEntry* saved_;
};

}  // namespace engine::exec
