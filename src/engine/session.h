// Public entry point of the embedded SQL Server-dialect engine: a session on a server.
//
// A server is a data directory; each database of the server is stored in it. A Session is
// what a client connection is: it has a current database, session settings (SET options,
// date format) and the variables of the batch it runs. execute() runs one batch of T-SQL and
// returns everything SQL Server would send back for it, in order: result sets, messages
// (informational and errors, with their line numbers) and row counts. Nothing thrown by the
// engine crosses this interface: failures are messages in the returned values.
//
// Every statement is atomic and durable on its own. BEGIN TRANSACTION ... COMMIT groups
// statements so that ROLLBACK (or an error that ends the batch, or closing the session)
// takes them all back (SET IMPLICIT_TRANSACTIONS ON opens such a transaction with the
// first statement that reads or changes a table). A process killed inside a transaction
// keeps the statements that had completed.
//
// Sessions are isolated by locks on databases (READ COMMITTED): a statement locks each
// database whose tables it reads (shared, until the statement ends) or changes
// (exclusive, until the transaction ends). A session that must wait for another's lock
// waits (SET LOCK_TIMEOUT; 1222 when it runs out) without holding up the rest of the
// process; a session whose wait would close a cycle of waiting sessions is the deadlock
// victim (1205: its batch ends and its transaction is rolled back).
//
// Row operations (updateRow / insertRow / deleteRow / readRow) serve client-side updatable
// record sets: a result set that comes from one base table carries the table's identity and
// a stable identity per row, with which a client can later change or delete that row. They
// are checked, atomic, durable, locked and reported like the statements they stand for, and
// fire those statements' triggers (see exec/row_operations.h); an implicit transaction they
// open, as those would, is not announced (row operations have no sink).
//
// Thread-safety: a Session is thread-compatible (one thread at a time; use one session per
// thread), except cancel(), which any thread may call at any time. Several sessions in one
// process on the same data directory share the databases' state through a process-wide
// registry; calls of sessions in different databases run at the same time, calls in the
// same database (or reaching past their own) one at a time (see server_gate.h; a session
// gives its turn up while it waits for a lock or in WAITFOR). A second process that
// opens the same data directory waits for a short while and then fails with a clear error:
// the directory is locked by the first process for as long as it has sessions open on it.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/types/data_type.h"
#include "engine/types/sql_message.h"
#include "engine/types/value.h"

namespace engine {

// Identity of a row within its table: assigned when the row is inserted, never reused in
// that table, unchanged by updates and by schema changes of the table.
using RowId = int64_t;

// A base table as a result set or a row operation names it. The object id tells a table
// apart from a later table of the same name.
struct TableIdentity {
    std::string database;  // as stored ("Empresa_0001")
    std::string schema;    // "dbo"
    std::string name;      // as created
    int32_t objectId = 0;

    friend bool operator==(const TableIdentity&, const TableIdentity&) = default;
};

struct ResultColumn {
    std::string name;  // as the select list names it; empty for an unnamed expression
    DataType type;
    bool nullable = true;
    bool identity = false;
    // The base-table column this result column reads unchanged; empty for expressions.
    std::string baseColumn;
};

struct ResultSet {
    std::vector<ResultColumn> columns;
    std::vector<std::vector<Value>> rows;
    // Set when every row is one row of one base table (a query over a single table without
    // grouping, DISTINCT or UNION); rowIds then holds each row's identity, in row order.
    std::optional<TableIdentity> baseTable;
    std::vector<RowId> rowIds;
};

// "(n rows affected)": the count that a statement reports (SELECT, INSERT, UPDATE, DELETE),
// unless SET NOCOUNT is ON.
struct RowCount {
    int64_t rows = 0;
    int line = 0;  // line of the statement within the batch
};

// Everything a batch sent back, in the order the server sent it.
struct BatchResult {
    enum class Kind { ResultSet, Message, RowCount };
    struct Event {
        Kind kind;
        size_t index;  // into resultSets, messages or rowCounts
    };

    std::vector<ResultSet> resultSets;
    std::vector<SqlMessage> messages;
    std::vector<RowCount> rowCounts;
    std::vector<Event> events;

    bool hasErrors() const;
    // The first / last error message (severity above 10), or nullptr.
    const SqlMessage* firstError() const;
    const SqlMessage* lastError() const;
};

// Receives what a batch sends back, in order, as the engine produces it: the streaming form
// of BatchResult, for a front end that passes it on (a network peer) instead of keeping it.
// Callbacks run on the thread that called execute(). resultSet() runs without the server's
// lock held, so a receiver that blocks (a peer that reads slowly) holds up no other session;
// the other callbacks run under the lock and must not block.
class BatchSink {
  public:
    enum class Transaction { Began, Committed, RolledBack };

    virtual ~BatchSink() = default;
    virtual void resultSet(ResultSet&& set) = 0;
    virtual void message(const SqlMessage& message) = 0;
    virtual void rowCount(const RowCount& count) = 0;
    // A receiver that passes rows on as they are made (a network peer) may take a plain
    // SELECT's result set in parts instead: its columns, then its rows a batch at a time
    // (callbacks run without the server's lock, like resultSet(); the statement keeps what
    // it reads locked meanwhile), then its end. The rows may be moved from.
    virtual bool streamsResultSets() const { return false; }
    virtual void resultSetBegin(const std::vector<ResultColumn>& columns) { (void)columns; }
    virtual void resultSetRows(std::vector<std::vector<Value>>& rows) { (void)rows; }
    virtual void resultSetEnd() {}
    // The session's current database is now `name` (USE), before its 5701 message.
    virtual void databaseChanged(const std::string& name) { (void)name; }
    // The session's transaction began (@@TRANCOUNT left 0) or ended (it went back to 0):
    // BEGIN TRANSACTION, a statement under IMPLICIT_TRANSACTIONS, COMMIT, ROLLBACK, and a
    // rollback by an error that ends the batch (XACT_ABORT, deadlock victim, cancellation
    // under XACT_ABORT). Once per change.
    virtual void transactionChanged(Transaction change) { (void)change; }
};

// A value for a parameter of a parameterised batch (see Session::executeSql).
struct ParameterArgument {
    std::string name;  // "@id", or empty for the next parameter in order
    Value value;
    bool output = false;      // the parameter's final value comes back here
    bool useDefault = false;  // no value given
};

struct ColumnAssignment {
    std::string column;  // column name, matched as SQL Server matches names
    Value value;         // converted to the column's type as an assignment would be
};

// One row's part of Session::updateRows.
struct RowUpdate {
    RowId row = 0;
    std::vector<ColumnAssignment> assignments;
    std::vector<ColumnAssignment> expectedOriginal;
};

// Outcome of a row operation.
struct RowChange {
    enum class Status {
        Done,
        Failed,      // a SQL Server error, in messages (e.g. 515, 2627, 8152, 245)
        RowMissing,  // no row with that identity (deleted meanwhile), or the table is gone
        RowChanged,  // the row no longer holds the expected original values
    };
    Status status = Status::Failed;
    std::vector<SqlMessage> messages;  // errors, and informational messages if any
    RowId rowId = 0;                   // the row (the new row for insertRow)
    // The whole row as stored after the operation (defaults, identity and conversions
    // applied), in the table's column order; empty unless Done.
    std::vector<ResultColumn> columns;
    std::vector<Value> row;

    bool ok() const { return status == Status::Done; }
};

struct SessionOptions {
    // Clock read by GETDATE() and friends; the system clock when empty.
    std::function<std::chrono::system_clock::time_point()> clock;
    // Seed for NEWID(); random when empty.
    std::optional<uint64_t> randomSeed;
    // Create the data directory when it does not exist (otherwise opening fails).
    bool createDataDirectory = false;
    // How long to wait for another process to release the data directory.
    std::chrono::milliseconds lockWait{2000};
    // The login's language: "us_english" (dates month/day/year, weeks from Sunday) or
    // "Español" / "Spanish" (day/month/year, weeks from Monday), as SET LANGUAGE sets it.
    std::string language = "us_english";
    // The login the connection authenticated as (see Session::authenticate), returned by
    // SUSER_SNAME(), SUSER_NAME(), SYSTEM_USER and ORIGINAL_LOGIN(). Empty for in-process
    // use, which acts as "sa".
    std::string login;
    // Bytes of working memory one query of the session may hold (its joins' tuples, hash
    // tables, rows being grouped or sorted); a query that needs more fails with 701 and the
    // session goes on. 0: ENGINE_QUERY_MEMORY_MB from the environment when set, otherwise a
    // quarter of the machine's memory.
    size_t queryMemoryLimit = 0;
};

// Outcome of checking a login (Session::authenticate).
struct LoginResult {
    bool ok = false;
    // The login's default database (DEFAULT_DATABASE), to open when the client names none.
    std::string defaultDatabase;
    // Its default language (DEFAULT_LANGUAGE), for a client that asks for none.
    std::string defaultLanguage;
    // On failure, the error to send: 18456 (wrong name or password, disabled login) or 17
    // (the data directory or its logins file cannot be used).
    std::vector<SqlMessage> messages;
};

class SessionState;
namespace exec {
struct ExecContext;
}

class Session {
  public:
    // Result of opening a session: the session, or nullptr and the messages that say why.
    // On success the messages are the informational ones a server sends at login (5701
    // "Changed database context to 'X'." with the name as stored, and 5703).
    // A database that does not exist gives error 4060 with the name as supplied; a data
    // directory that does not exist or that another process holds gives error 17.
    // An empty database name opens "master", which every server has.
    struct Opened {
        std::unique_ptr<Session> session;
        std::vector<SqlMessage> messages;
    };
    static Opened open(const std::filesystem::path& dataDirectory, std::string_view database,
                       const SessionOptions& options = {});

    // SQL authentication against the data directory's logins (CREATE LOGIN ... WITH PASSWORD).
    // A wrong name, a wrong password and a disabled login all give the same error 18456
    // "Login failed for user '<login>'." (severity 14, state 1), as SQL Server tells clients.
    // Thread-safe: the password is verified (tens of milliseconds, on purpose) without the
    // server's lock, so sessions of other connections are not held up meanwhile.
    static LoginResult authenticate(const std::filesystem::path& dataDirectory,
                                    std::string_view login, std::string_view password);
    // Creates the login, or gives an existing one this password (and enables it): the server
    // program's first-start option. No password policy is applied; a language, when given, is
    // the login's default language. Returns the errors, none on success (17 when the directory
    // cannot be used). Thread-safe.
    static std::vector<SqlMessage> setLogin(const std::filesystem::path& dataDirectory,
                                            std::string_view login, std::string_view password,
                                            std::string_view defaultLanguage = {});
    // Creates database `into` holding what can still be read from the files of database
    // `from` (damaged or not): the snapshot's whole records, and the journal up to its first
    // damaged record. `from` is left as it is. The messages say what was found and kept
    // (informational), or why nothing was done (errors: 911 no such database, 1801 `into`
    // exists, 17 the directory cannot be used). Thread-safe.
    static std::vector<SqlMessage> salvage(const std::filesystem::path& dataDirectory,
                                           std::string_view from, std::string_view into);
    // Whether the data directory has any login (false also when it cannot be read).
    // Thread-safe.
    static bool hasLogins(const std::filesystem::path& dataDirectory);

    ~Session();  // closes (see close())
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Runs one batch (no GO separators: a batch holding "GO" is a syntax error, as on a
    // server). Every statement that succeeded has reached the operating system on return.
    BatchResult execute(std::string_view batch);
    // The same, handing everything to `sink` as it is produced instead of collecting it.
    void execute(std::string_view batch, BatchSink& sink);

    // Runs `statement` as sp_executesql does: with the parameters of `declarations`
    // ("@id int, @name varchar(40) OUTPUT") declared as its variables and bound to the
    // arguments by name or position; output arguments receive their parameter's final value,
    // typed as declared. What the batch sends back goes to `sink`, as for execute().
    void executeSql(std::string_view statement, std::string_view declarations,
                    std::vector<ParameterArgument>& arguments, BatchSink& sink);

    // Asks the batch that execute() runs on another thread to stop (a client's attention).
    // It stops at its next check point (between statements, every so many rows, in a lock
    // wait or WAITFOR): the statement running changes nothing, no message is sent, and an
    // open transaction stays open (unless XACT_ABORT is ON: then it is rolled back).
    // A cancel while no batch runs is forgotten when the next execute() starts.
    void cancel();
    // Whether the last execute() (or row operation) was stopped by cancel().
    bool lastBatchCancelled() const;

    // @@SPID: unique among the open sessions of the process, from 51.
    int id() const;
    // @@TRANCOUNT.
    int transactionCount() const;

    // As "USE name": 5701 on success, an error (911) when the database does not exist.
    std::vector<SqlMessage> useDatabase(std::string_view name);

    // Name of the current database as stored in the catalogue ("Empresa_0001" even when the
    // session was opened as "EMPRESA_0001").
    const std::string& currentDatabase() const;

    // Row operations on a base table (see the header comment).
    // updateRow: assigns the given columns of the row; when expectedOriginal is not empty,
    // the row must still hold those values (compared as "=" compares, NULL equal to NULL),
    // otherwise RowChanged and nothing changes.
    RowChange updateRow(const TableIdentity& table, RowId row,
                        const std::vector<ColumnAssignment>& assignments,
                        const std::vector<ColumnAssignment>& expectedOriginal = {});
    // updateRows: updateRow for each row in turn, each with its own outcome (as if sent
    // one by one), under one hold of the database. Outside a transaction the rows that
    // are saved reach the journal together, in one record, when the last is done (a
    // failure to write it fails them all, and none is kept); their outcomes carry no row.
    std::vector<RowChange> updateRows(const TableIdentity& table, const std::vector<RowUpdate>& rows);
    // insertRow: a new row; unassigned columns take their defaults (or NULL, or the next
    // identity value), as "INSERT INTO t (assigned columns) VALUES (...)" would.
    RowChange insertRow(const TableIdentity& table,
                        const std::vector<ColumnAssignment>& assignments);
    RowChange deleteRow(const TableIdentity& table, RowId row,
                        const std::vector<ColumnAssignment>& expectedOriginal = {});
    // readRow: the row as stored now (Done), or RowMissing.
    RowChange readRow(const TableIdentity& table, RowId row);

    // Flushes this session's work to stable storage and releases the session's hold on
    // the server; an open transaction is rolled back and its locks go, and so do its
    // temporary tables (#name). Further calls on a
    // closed session fail with a message. Idempotent.
    void close();

  private:
    explicit Session(std::unique_ptr<SessionState> state);
    void run(BatchSink& sink, const std::function<void(exec::ExecContext&)>& work);
    std::unique_ptr<SessionState> state_;
};

}  // namespace engine
