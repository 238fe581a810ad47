// A server: one data directory and the databases stored in it, shared by every session
// of this process that opens the same directory (a process-wide registry keyed by the
// directory's canonical path).
//
// The server holds the directory's lock (no second process may use it meanwhile), loads
// databases on first use, keeps them in memory while sessions use them, commits each
// completed statement (journal append, then apply) and folds a database's journal into
// a new snapshot when the last session using it goes away or the journal grows large.
// Thread-safety: every member must be called with a CallLock held on the server (sessions
// take one for each call), except acquire(), which is thread-safe. A call that holds it
// shared in one database is widened to exclusive by the members that reach past that
// database (see server_gate.h). A session waiting for a lock gives the CallLock up
// meanwhile (see LockManager): what it has not locked may change under it.
#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/catalog/database.h"
#include "engine/lock_manager.h"
#include "engine/server_gate.h"
#include "engine/security/login_store.h"
#include "engine/store/database_store.h"
#include "engine/store/files.h"
#include "engine/types/sql_message.h"

namespace engine {

struct DatabaseEntry {
    std::string name;  // as stored
    std::string stem;  // file name stem in the data directory
    int32_t id = 0;
    std::unique_ptr<Database> database;  // null until loaded
    std::unique_ptr<store::DatabaseStore> store;
    // Why its files could not be loaded (the last attempt); such a database is unavailable,
    // the others are not.
    std::optional<store::LoadFailure> failure;
    int sessions = 0;      // sessions whose current database this is
    int transactions = 0;  // sessions whose open transaction holds undo records for it
    // One session's temporary objects (see exec/temporary_tables.h): private to that
    // session, so its calls need no hold on the server, no lock and no journal for them.
    bool temporary = false;
    // Held by the call working in this database alone (see server_gate.h).
    std::mutex latch;
};

// What a client is told when a database's files cannot be loaded: for damage, 824 naming
// the file, the offset and what was found there, then 926 (SUSPECT); for files the
// operating system refuses, 5120 then 945; for a later release's files, 948. SQL Server
// sends 824 at severity 24, which ends the connection; here only that database is
// unavailable and the connection goes on, so it comes at severity 16.
std::vector<SqlMessage> unavailableMessages(const std::string& database,
                                            const store::LoadFailure& failure);

class Server {
  public:
    // The server of a data directory, shared within the process. On failure returns
    // nullptr and sets error (directory missing, locked by another process, unreadable).
    static std::shared_ptr<Server> acquire(const std::filesystem::path& directory,
                                           bool createDirectory, std::chrono::milliseconds lockWait,
                                           std::string& error);
    ~Server();

    ServerGate& gate() { return gate_; }
    LockManager& locks() { return locks_; }
    // The running call is about to work in `entry` (null: beyond any one database): a call
    // holding the server shared in another database is widened to exclusive (never for a
    // session's temporary objects, which are its own).
    void reach(const DatabaseEntry* entry) const;
    const std::filesystem::path& directory() const { return directory_; }

    // A database by name (case-insensitive), loaded; nullptr when it does not exist.
    // error is set when it exists but cannot be read (then entry->failure says why).
    DatabaseEntry* database(std::string_view name, std::string& error);
    // A database by name, loaded or not (a damaged one too); nullptr when it does not exist.
    DatabaseEntry* find(std::string_view name);
    DatabaseEntry* databaseById(int32_t id);
    std::vector<const DatabaseEntry*> databases() const;

    // CREATE DATABASE / DROP DATABASE (the caller checks names and use).
    std::string createDatabase(const std::string& name);  // error text, empty on success
    std::string dropDatabase(DatabaseEntry* entry);

    // Reads the database's files as a load would, going on past damage, changing nothing.
    store::CheckReport check(const DatabaseEntry& entry) const;
    // Creates database newName holding what can still be read from entry's files (see
    // DatabaseStore::salvage). Returns the error text, empty on success.
    std::string salvage(const DatabaseEntry& entry, const std::string& newName,
                        store::CheckReport& report);

    // Makes one statement's changes durable (journal) and applies them. Continued: they
    // belong to a unit of work that goes on (see DatabaseStore::append), ended by endUnit().
    // Changes of temporary objects are only applied (they do not outlive their session).
    std::string commit(DatabaseEntry& entry, const ChangeList& changes, bool continued = false);
    // Makes changes already applied durable (see ChangeGroup).
    std::string journal(DatabaseEntry& entry, const ChangeList& changes, bool continued = false);
    // Ends the unit of work open in the journal of the database with this id, if any.
    std::string endUnit(int32_t databaseId);

    void attach(DatabaseEntry& entry) {
        reach(nullptr);
        ++entry.sessions;
    }
    // A session leaves a database: sync its journal; when nobody uses it any more (no
    // session's current database, no lock on it, no open transaction that changed it),
    // fold the journal into a snapshot and unload it.
    void detach(DatabaseEntry& entry);
    // Flushes every loaded database's journal to stable storage.
    void syncAll();

    // The directory's logins, read from its file on first use; nullptr and error set when the
    // file cannot be read or is damaged (then every later call tries again).
    LoginStore* logins(std::string& error);
    // Replaces the logins with `changed` once they are on disk; on failure nothing changes
    // and the error text is returned.
    std::string saveLogins(LoginStore changed);

    // Sessions opened under each login (DROP LOGIN refuses a login that is connected).
    void loginConnected(const std::string& login);
    void loginDisconnected(const std::string& login);
    bool isLoginConnected(std::string_view login) const;

  private:
    void foldIfDue(DatabaseEntry& entry);
    Server() = default;
    std::string scanDirectory();
    std::string load(DatabaseEntry& entry);
    static std::string stemFor(const std::string& name);

    DatabaseEntry* lookup(std::string_view name);
    DatabaseEntry* lookup(int32_t id);
    // Whether the running call holds the server shared in entry.
    bool inHome(const DatabaseEntry* entry) const;

    ServerGate gate_;
    LockManager locks_;
    std::filesystem::path directory_;
    store::DirectoryLock lock_;
    std::vector<std::unique_ptr<DatabaseEntry>> entries_;
    int32_t nextDatabaseId_ = 5;
    std::unique_ptr<LoginStore> logins_;
    std::map<std::string, int> connectedLogins_;  // by name as the sessions gave it
};

}  // namespace engine
