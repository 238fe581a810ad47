// Execution state of the embedded engine: what a session keeps between batches (current
// database, SET options, @@ROWCOUNT, @@IDENTITY), what a batch keeps between its
// statements (variables, the output being collected) and what one statement collects
// while it works out its effects (the change list and the object ids it drew).
// Thread-compatible: a session runs one batch at a time, holding a CallLock on the server
// (which it gives up only while it waits for a lock, in WAITFOR or while a result goes out).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/catalog/change.h"
#include "engine/catalog/database.h"
#include "engine/exec/memory_budget.h"
#include "engine/exec/temporary_tables.h"
#include "engine/server.h"
#include "engine/session.h"
#include "engine/types/conversion.h"
#include "engine/types/functions.h"
#include "engine/types/sql_message.h"

namespace engine::exec {

struct SessionSettings {
    bool noCount = false;
    DateFormat dateFormat = DateFormat::Mdy;
    std::string language = "us_english";
    int dateFirst = 7;
    bool ansiWarnings = true;
    bool concatNullYieldsNull = true;
    bool xactAbort = false;
    int32_t identityInsertTable = 0;  // object id with IDENTITY_INSERT ON, 0 if none
    int64_t rowCountLimit = 0;        // SET ROWCOUNT n (0 = no limit)
    int lockTimeout = -1;             // SET LOCK_TIMEOUT, milliseconds (-1 = for ever)
    bool implicitTransactions = false;
    // SET TRANSACTION ISOLATION LEVEL REPEATABLE READ or SERIALIZABLE: shared locks last as
    // long as the transaction (on whole databases, so the one behaves as the other).
    bool holdSharedLocks = false;
};

struct ChangeGroup;

struct SessionRuntime {
    // Statements run with parameters (sp_executesql, prepared statements), parsed once per
    // text: a client sends the same few many times (see parameters.cpp).
    std::shared_ptr<struct ParameterizedCache> parameterized;
    // Base tables' columns as statements read them, while no definition changes (binder.cpp).
    std::shared_ptr<struct TableColumnsCache> tableColumns;
    Server* server = nullptr;
    DatabaseEntry* database = nullptr;  // current database
    SessionSettings settings;
    FunctionContext functions;
    int64_t lastRowCount = 0;             // @@ROWCOUNT
    int lastError = 0;                    // @@ERROR
    std::optional<int64_t> lastIdentity;  // @@IDENTITY / SCOPE_IDENTITY()
    std::string userName = "dbo";
    std::string login;  // the authenticated login; empty in process (acts as "sa")
    // BEGIN TRANSACTION nesting (@@TRANCOUNT) and, per database, the changes that undo
    // what the open transaction did (applied last first by ROLLBACK).
    int tranCount = 0;
    std::map<DatabaseEntry*, ChangeList> undo;
    // The outermost transaction's name, and the savepoints set in it: how long each undo
    // list was when SAVE TRANSACTION named it.
    std::string transactionName;
    struct Savepoint {
        std::string name;
        std::map<DatabaseEntry*, size_t> undoSizes;
    };
    std::vector<Savepoint> savepoints;

    int spid = 0;  // @@SPID, the session's id in the server's locks
    // Set by Session::cancel(): the running batch stops at its next check point.
    std::stop_token cancel;
    // Set while a batch runs: its statements' changes reach each journal as one unit of
    // work, made durable whole when the batch ends (or its transaction, whichever is
    // later), so that a crash never leaves half of a batch done. unitDatabases: the ids of
    // the databases where this session's unit is open.
    bool inBatch = false;
    std::vector<int32_t> unitDatabases;
    // Set while Session::updateRows runs: the group its rows' changes join.
    ChangeGroup* changeGroup = nullptr;
    // What the running call holds on the server (given up while waiting).
    CallLock* serverLock = nullptr;
    // Statements running, nested ones (EXEC) included: locks of a statement go when the
    // outermost one ends.
    int statementDepth = 0;
    // What the running statement's queries may hold in memory (701 beyond it).
    MemoryBudget memory;
    // TRY blocks open (an error of severity 11 to 19 goes to the innermost CATCH), and the
    // errors the CATCH blocks running handle (ERROR_NUMBER() and friends read the last).
    int tryDepth = 0;
    std::vector<SqlMessage> caught;
    // The triggers running (ids), outermost first: none fires itself again.
    std::vector<int32_t> runningTriggers;
    // The session's #tables, by the nesting level that made them.
    TemporaryTables temporaryTables;
};

// SET options a module (procedure, trigger) changes go back to what they were when it
// returns.
struct SettingsRestore {
    SessionRuntime& session;
    SessionSettings settings;
    FunctionContext functions;
    explicit SettingsRestore(SessionRuntime& s)
        : session(s), settings(s.settings), functions(s.functions) {}
    ~SettingsRestore() {
        session.settings = settings;
        session.functions.dateFormat = functions.dateFormat;
        session.functions.dateFirst = functions.dateFirst;
        session.functions.spanish = functions.spanish;
    }
};

// The undo list of the open transaction for a database (which stays loaded meanwhile).
ChangeList& undoFor(SessionRuntime& session, DatabaseEntry& entry);
// The transaction ends: its undo lists go, and its locks with them; outside a batch, what
// it wrote is made durable (its unit of work ends).
void endTransaction(SessionRuntime& session);
// Ends the session's units of work in every database it wrote to (see
// DatabaseStore::append): what it did so far is durable as a whole. Returns the first
// error of the store, empty when none.
std::string endUnits(SessionRuntime& session);
// Takes back everything the session's open transaction did and ends it.
void rollbackTransaction(SessionRuntime& session);
// Takes back what the open transaction did since the savepoint; the transaction goes on,
// with the savepoint and its locks.
void rollbackToSavepoint(SessionRuntime& session, const SessionRuntime::Savepoint& savepoint);

struct Variable {
    std::string name;  // as declared ("@Def")
    DataType type;
    Value value;
};

// Variables of one batch (names compare case-insensitively).
class Variables {
  public:
    Variable* find(std::string_view name);
    const Variable* find(std::string_view name) const;
    void declare(const std::string& name, DataType type);

  private:
    std::unordered_map<std::string, Variable, NameHash, NameEqual> vars_;
};

// Passes what a batch sends back, in order, to the session's sink. With `serverLock`, a
// result set is handed over with that lock released (see BatchSink).
class Output {
  public:
    explicit Output(BatchSink& sink, CallLock* serverLock = nullptr,
                    SessionRuntime* session = nullptr)
        : sink_(sink), serverLock_(serverLock), session_(session) {}
    void message(SqlMessage m);
    void resultSet(ResultSet set);
    // A result set in parts (see BatchSink::streamsResultSets): only when the sink takes
    // them and runs outside the server's lock.
    bool streamsResultSets() const {
        return sink_.streamsResultSets() && serverLock_ && serverLock_->owns_lock();
    }
    void resultSetBegin(const std::vector<ResultColumn>& columns);
    void resultSetRows(std::vector<std::vector<Value>>& rows);
    void resultSetEnd();
    void rowCount(int64_t rows, int line);
    void databaseChanged(const std::string& name) { sink_.databaseChanged(name); }
    void transactionChanged(BatchSink::Transaction change) { sink_.transactionChanged(change); }

  private:
    // Runs fn with the server's lock released (other sessions go on meanwhile).
    template <class Fn>
    void unlocked(Fn fn) {
        struct Relock {
            CallLock& lock;
            ~Relock() { lock.lock(); }
        } relock{*serverLock_};
        serverLock_->unlock();
        fn();
    }

    BatchSink& sink_;
    CallLock* serverLock_;
    SessionRuntime* session_;
};

// A sink that keeps everything in a BatchResult.
class CollectingSink : public BatchSink {
  public:
    explicit CollectingSink(BatchResult& result) : result_(result) {}
    void resultSet(ResultSet&& set) override;
    void message(const SqlMessage& m) override;
    void rowCount(const RowCount& count) override;

  private:
    BatchResult& result_;
};

// Raised inside the executor to end the batch after the messages it carries (the
// control-flow equivalent of a batch-aborting error without a message of its own).
struct BatchAbort {};

// Ends the batch at every level without touching the transaction (THROW outside TRY).
struct BatchStop {};

// An error raised inside a TRY block, on its way to the CATCH block.
struct CaughtError {
    SqlMessage message;
};

// Raised at a check point when the session was cancelled: the batch ends at once, without
// a message. Not an exception class, so that nothing that handles errors can take it.
struct Cancelled {};

// What a statement does to the databases it touches: the current database (or the
// database its target names) is locked exclusively by a statement that changes it, from
// its first read on, so that what it reads cannot change before it writes.
struct StatementAccess {
    bool writes = false;
    std::string database;  // the database written; empty: the current one
};

struct TriggerRows;  // triggers.h

// Where a scalar function's RETURN leaves its value, converted to the type it returns.
struct FunctionResult {
    DataType type;
    std::optional<Value> value;
};

// The run of one (possibly nested) batch.
struct ExecContext {
    SessionRuntime& session;
    Output& out;
    Variables variables;
    int line = 1;           // line of the statement running, within its batch
    int depth = 0;          // nesting of EXEC / sp_executesql
    std::string procedure;  // name shown in messages raised inside a system procedure

    StatementAccess access;  // of the statement running
    std::optional<int> returnStatus;  // RETURN n of the procedure running
    const TriggerRows* trigger = nullptr;  // the rows of the trigger whose body this runs
    // Set while a scalar function's body runs: its errors end the statement that called it
    // rather than being reported where they happen.
    FunctionResult* function = nullptr;

    ExecContext(SessionRuntime& s, Output& o) : session(s), out(o) {}
    // The current database, locked for the statement running (see exec/locks.h).
    Database& database() { return *entry().database; }
    DatabaseEntry& entry();
    // The current database without a lock: its definitions, for metadata functions and
    // compile-time binding.
    Database& catalog() { return *session.database->database; }
    DatabaseEntry& currentEntry() { return *session.database; }
    // The database of a table the statement resolved (a three-part name may have taken it
    // from another database than the current one).
    DatabaseEntry& entryOf(const Table& table);
    DateFormat dateFormat() const { return session.settings.dateFormat; }
};

// What one statement builds before it is committed.
// The changes of several row operations that reach the journal as one record: each is
// applied when its operation ends, so that the next one sees it, and the record is written
// when the group ends (endChangeGroup). Outside transactions only: in one, every change goes
// to the journal at once, as the undo records that follow it need.
struct ChangeGroup {
    DatabaseEntry* entry = nullptr;
    ChangeList changes;
    ChangeList inverses;  // what takes the database back to before the group, in order
};
// 823: the store could not write (error: the operating system's words).
SqlMessage writeFailure(const std::string& error);
// Journals a group's changes; when that fails, takes them back out of the database and
// returns the operating system's error (empty on success).
std::string endChangeGroup(Server& server, ChangeGroup& group);

struct StatementChanges {
    DatabaseEntry* entry = nullptr;
    ChangeList changes;
    uint64_t idState = 0;
    bool drewIds = false;

    explicit StatementChanges(DatabaseEntry& e) : entry(&e), idState(e.database->idState()) {}
    int32_t newObjectId() {
        drewIds = true;
        return entry->database->nextObjectId(idState);
    }
    void add(Change c) { changes.push_back(std::move(c)); }
    // A new definition of a table (created, altered, renamed).
    void putTable(TableSchema schema) {
        Change put;
        put.kind = Change::Kind::PutTable;
        put.table = std::move(schema);
        changes.push_back(std::move(put));
    }
    // Journals and applies the changes (with the id state when ids were drawn); inside a
    // transaction, first records what undoes them. The database is locked exclusively
    // first. Raises an error message when the store cannot write.
    void commit(ExecContext& ctx);
    void commit(SessionRuntime& session, ChangeList* undo = nullptr);

  private:
    void recordIds();
};

// A message with the line of the statement running (and the procedure, if any).
SqlMessage messageAt(const ExecContext& ctx, int number, const std::vector<std::string>& args = {});
[[noreturn]] void raise(const ExecContext& ctx, int number,
                        const std::vector<std::string>& args = {});
// Raises why database `name` cannot be used: the messages of its damaged or unreadable
// files (see unavailableMessages), or `missing` when no such database exists.
[[noreturn]] void raiseUnavailable(const ExecContext& ctx, std::string_view name, int missing,
                                   const std::vector<std::string>& args = {});

// "db.dbo.T" / "dbo.T", as error texts print table names.
std::string qualifiedName(const ExecContext& ctx, const TableSchema& table, bool withDatabase);

}  // namespace engine::exec
