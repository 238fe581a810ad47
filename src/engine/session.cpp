#include "engine/session.h"

#include <atomic>
#include <mutex>
#include <random>
#include <set>
#include <stop_token>

#include "engine/exec/batch.h"
#include "engine/exec/context.h"
#include "engine/exec/locks.h"
#include "engine/exec/parameters.h"
#include "engine/exec/row_operations.h"
#include "engine/server.h"
#include "engine/types/collation.h"
#include "engine/types/datetime.h"
#include "engine/types/sql_message.h"

namespace engine {

bool BatchResult::hasErrors() const {
    return firstError() != nullptr;
}

const SqlMessage* BatchResult::firstError() const {
    for (const auto& m : messages) {
        if (m.isError()) return &m;
    }
    return nullptr;
}

const SqlMessage* BatchResult::lastError() const {
    for (auto it = messages.rbegin(); it != messages.rend(); ++it) {
        if (it->isError()) return &*it;
    }
    return nullptr;
}

class SessionState {
  public:
    std::shared_ptr<Server> server;
    exec::SessionRuntime runtime;
    bool closed = false;
    int id = 0;
    // cancel() comes from other threads: it stops the source of the call in progress.
    std::mutex cancelMutex;
    std::stop_source cancelSource;
    std::atomic<bool> lastCancelled{false};
};

namespace {

// Session ids in use in the process; SQL Server gives user sessions ids from 51 and
// reuses those of closed sessions.
std::mutex& idMutex() {
    static std::mutex m;
    return m;
}

std::set<int>& idsInUse() {
    static std::set<int> ids;
    return ids;
}

int takeSessionId() {
    std::lock_guard<std::mutex> guard(idMutex());
    int id = 51;
    while (idsInUse().count(id))
        ++id;
    idsInUse().insert(id);
    return id;
}

void releaseSessionId(int id) {
    std::lock_guard<std::mutex> guard(idMutex());
    idsInUse().erase(id);
}

// A call starts: cancellations asked for before it are forgotten.
void beginCall(SessionState& state) {
    std::lock_guard<std::mutex> guard(state.cancelMutex);
    state.cancelSource = std::stop_source();
    state.runtime.cancel = state.cancelSource.get_token();
    state.lastCancelled = false;
}

// An error or a cancellation ends the batch and, with it, the open transaction.
void abortTransaction(exec::SessionRuntime& runtime, exec::Output& out) {
    if (runtime.tranCount == 0) return;
    exec::rollbackTransaction(runtime);
    out.transactionChanged(BatchSink::Transaction::RolledBack);
}

SqlMessage connectionError(const std::string& detail) {
    SqlMessage m;
    m.number = 17;
    m.severity = 16;
    m.state = 1;
    m.line = 0;
    m.text = "SQL Server does not exist or access denied. (" + detail + ")";
    return m;
}

SqlMessage closedError() {
    SqlMessage m;
    m.number = 0;
    m.severity = 16;
    m.state = 1;
    m.text = "The session is closed.";
    return m;
}

SqlMessage internalError(const std::string& what) {
    SqlMessage m;
    m.number = 8630;
    m.severity = 16;
    m.state = 1;
    m.line = 1;
    m.text = "Internal Query Processor Error: " + what;
    return m;
}

}  // namespace

Session::Session(std::unique_ptr<SessionState> state) : state_(std::move(state)) {}

Session::~Session() {
    close();
}

Session::Opened Session::open(const std::filesystem::path& dataDirectory, std::string_view database,
                              const SessionOptions& options) {
    Opened opened;
    std::string error;
    std::shared_ptr<Server> server =
        Server::acquire(dataDirectory, options.createDataDirectory, options.lockWait, error);
    if (!server) {
        opened.messages.push_back(connectionError(error));
        return opened;
    }
    auto state = std::make_unique<SessionState>();
    {
        CallLock guard(*server, nullptr);
        std::string name = database.empty() ? std::string("master") : std::string(database);
        DatabaseEntry* entry = server->database(name, error);
        if (!entry) {
            if (const DatabaseEntry* unavailable = server->find(name);
                unavailable && unavailable->failure) {
                opened.messages = unavailableMessages(unavailable->name, *unavailable->failure);
            } else if (!error.empty()) {
                opened.messages.push_back(connectionError(error));
            } else {
                SqlMessage m = sqlMessage(4060, {name});
                opened.messages.push_back(m);
            }
            return opened;
        }
        server->attach(*entry);
        if (!options.login.empty()) server->loginConnected(options.login);
        state->runtime.login = options.login;
        if (options.queryMemoryLimit) state->runtime.memory.setLimit(options.queryMemoryLimit);
        state->server = server;
        state->id = takeSessionId();
        state->runtime.spid = state->id;
        state->runtime.server = server.get();
        state->runtime.database = entry;
        auto clock = options.clock;
        state->runtime.functions.clock = [clock] {
            return dateTimeFromSystemClock(clock ? clock() : std::chrono::system_clock::now());
        };
        auto engine = std::make_shared<std::mt19937_64>(
            options.randomSeed ? *options.randomSeed : std::random_device{}());
        state->runtime.functions.random = [engine](unsigned char* out, size_t size) {
            for (size_t i = 0; i < size; ++i)
                out[i] = static_cast<unsigned char>((*engine)() & 0xFF);
        };
        bool spanish = identifierEqual(options.language, "Español") ||
                       identifierEqual(options.language, "Spanish");
        exec::SessionSettings& settings = state->runtime.settings;
        settings.language = spanish ? "Español" : "us_english";
        settings.dateFormat = spanish ? DateFormat::Dmy : DateFormat::Mdy;
        settings.dateFirst = spanish ? 1 : 7;
        state->runtime.functions.dateFormat = settings.dateFormat;
        state->runtime.functions.dateFirst = settings.dateFirst;
        state->runtime.functions.spanish = spanish;
        SqlMessage context = sqlMessage(5701, {entry->name});
        context.severity = 0;
        SqlMessage language = sqlMessage(5703, {settings.language});
        language.severity = 0;
        opened.messages.push_back(context);
        opened.messages.push_back(language);
    }
    opened.session.reset(new Session(std::move(state)));
    return opened;
}

namespace {

SqlMessage loginFailed(std::string_view login) {
    SqlMessage m = sqlMessage(18456, {std::string(login), "", ""});
    m.line = 1;
    return m;
}

// A hash to verify against when the login does not exist or cannot log in, so that the
// answer takes as long as for a wrong password and does not tell which names exist.
const std::string& decoyHash() {
    static const std::string hash = LoginStore::hashPassword("decoy").value_or("");
    return hash;
}

}  // namespace

std::vector<SqlMessage> Session::salvage(const std::filesystem::path& dataDirectory,
                                         std::string_view from, std::string_view into) {
    std::string error;
    std::shared_ptr<Server> server =
        Server::acquire(dataDirectory, false, SessionOptions{}.lockWait, error);
    if (!server) return {connectionError(error)};
    CallLock guard(*server, nullptr);
    const DatabaseEntry* source = server->find(from);
    if (!source) return {sqlMessage(911, {std::string(from)})};
    if (server->find(into)) return {sqlMessage(1801, {std::string(into)})};
    store::CheckReport report;
    const std::string sourceName = source->name;
    error = server->salvage(*source, std::string(into), report);
    if (!error.empty()) {
        SqlMessage m;
        m.number = 5123;
        m.severity = 16;
        m.text = "The salvage of '" + sourceName + "' failed: " + error;
        return {m};
    }
    auto info = [](std::string text) {
        SqlMessage m;
        m.severity = 0;
        m.text = std::move(text);
        return m;
    };
    std::vector<SqlMessage> messages;
    for (const store::LoadFailure& damage : report.damage)
        messages.push_back(info("Not read: " + damage.text()));
    if (report.tornTail) messages.push_back(info("Not read: " + report.tornTail->text()));
    messages.push_back(info("Database '" + sourceName + "' salvaged into '" + std::string(into) +
                            "': " + std::to_string(report.snapshotRecords) +
                            " snapshot records and " + std::to_string(report.journalRecords) +
                            " journal records read; " + std::to_string(report.recordsLost) +
                            " snapshot records and " + std::to_string(report.journalBytesLost) +
                            " journal bytes could not be read."));
    return messages;
}

LoginResult Session::authenticate(const std::filesystem::path& dataDirectory,
                                  std::string_view login, std::string_view password) {
    LoginResult result;
    std::string error;
    std::shared_ptr<Server> server =
        Server::acquire(dataDirectory, false, SessionOptions{}.lockWait, error);
    if (!server) {
        result.messages.push_back(connectionError(error));
        return result;
    }
    std::optional<LoginRecord> record;
    {
        CallLock guard(*server, nullptr);
        LoginStore* logins = server->logins(error);
        if (!logins) {
            result.messages.push_back(connectionError(error));
            return result;
        }
        if (const LoginRecord* found = logins->find(login)) record = *found;
    }
    const bool usable = record && !record->disabled;
    const bool matches =
        LoginStore::verifyPassword(usable ? record->passwordHash : decoyHash(), password);
    if (!usable || !matches) {
        result.messages.push_back(loginFailed(login));
        return result;
    }
    result.ok = true;
    result.defaultDatabase = record->defaultDatabase;
    result.defaultLanguage = record->defaultLanguage;
    return result;
}

std::vector<SqlMessage> Session::setLogin(const std::filesystem::path& dataDirectory,
                                          std::string_view login, std::string_view password,
                                          std::string_view defaultLanguage) {
    std::string error;
    std::shared_ptr<Server> server =
        Server::acquire(dataDirectory, false, SessionOptions{}.lockWait, error);
    if (!server) return {connectionError(error)};
    std::optional<std::string> hash = LoginStore::hashPassword(password);
    if (!hash) return {internalError("the password could not be hashed")};
    CallLock guard(*server, nullptr);
    LoginStore* logins = server->logins(error);
    if (!logins) return {connectionError(error)};
    LoginStore changed = *logins;
    const Value now = dateTimeFromSystemClock(std::chrono::system_clock::now());
    LoginRecord record;
    if (const LoginRecord* existing = changed.find(login)) {
        record = *existing;
    } else {
        record = changed.make(login);
        record.checkPolicy = false;
        record.createdDays = now.days();
        record.createdTicks = now.ticks();
    }
    record.passwordHash = *hash;
    record.disabled = false;
    if (!defaultLanguage.empty()) record.defaultLanguage = std::string(defaultLanguage);
    record.modifiedDays = now.days();
    record.modifiedTicks = now.ticks();
    changed.put(std::move(record));
    error = server->saveLogins(std::move(changed));
    if (!error.empty()) return {connectionError(error)};
    return {};
}

bool Session::hasLogins(const std::filesystem::path& dataDirectory) {
    std::string error;
    std::shared_ptr<Server> server =
        Server::acquire(dataDirectory, false, SessionOptions{}.lockWait, error);
    if (!server) return false;
    CallLock guard(*server, nullptr);
    LoginStore* logins = server->logins(error);
    return logins && !logins->logins().empty();
}

BatchResult Session::execute(std::string_view batch) {
    BatchResult result;
    exec::CollectingSink sink(result);
    execute(batch, sink);
    return result;
}

void Session::execute(std::string_view batch, BatchSink& sink) {
    run(sink, [&](exec::ExecContext& ctx) { exec::runBatch(ctx, batch); });
}

void Session::executeSql(std::string_view statement, std::string_view declarations,
                         std::vector<ParameterArgument>& arguments, BatchSink& sink) {
    run(sink, [&](exec::ExecContext& ctx) {
        exec::runParameterized(ctx, statement, declarations, arguments);
    });
}

void Session::run(BatchSink& sink, const std::function<void(exec::ExecContext&)>& work) {
    if (!state_ || state_->closed) {
        sink.message(closedError());
        return;
    }
    beginCall(*state_);
    exec::SessionRuntime& runtime = state_->runtime;
    // Shared in the current database; widened when the call reaches past it.
    CallLock lock(*state_->server, runtime.database);
    runtime.serverLock = &lock;
    runtime.inBatch = true;
    exec::Output out(sink, &lock, &runtime);
    exec::ExecContext ctx(runtime, out);
    try {
        work(ctx);
    } catch (const exec::BatchAbort&) {
        // An error that ends the batch also rolls back an open transaction.
        abortTransaction(runtime, out);
    } catch (const exec::BatchStop&) {
    } catch (const exec::CaughtError& e) {
        out.message(e.message);
    } catch (const exec::Cancelled&) {
        // As on an attention: no message; the transaction stays unless XACT_ABORT is on.
        state_->lastCancelled = true;
        if (runtime.settings.xactAbort) abortTransaction(runtime, out);
    } catch (const exec::LockFailure& f) {
        out.message(f.message);
        if (f.message.number == 1205) abortTransaction(runtime, out);
    } catch (const SqlException& e) {
        for (SqlMessage m : e.messages())
            out.message(m);
    } catch (const std::exception& e) {
        // Nothing may escape the engine: report it as the server reports internal errors.
        out.message(internalError(e.what()));
    }
    runtime.statementDepth = 0;
    runtime.inBatch = false;
    // The batch's work becomes durable as a whole (an open transaction's, when it ends).
    if (runtime.tranCount == 0) {
        const std::string error = exec::endUnits(runtime);
        if (!error.empty()) out.message(exec::writeFailure(error));
    }
    exec::releaseStatementLocks(runtime);
    runtime.serverLock = nullptr;
}

void Session::cancel() {
    if (!state_) return;
    std::lock_guard<std::mutex> guard(state_->cancelMutex);
    state_->cancelSource.request_stop();
}

bool Session::lastBatchCancelled() const {
    return state_ && state_->lastCancelled;
}

int Session::id() const {
    return state_ ? state_->id : 0;
}

int Session::transactionCount() const {
    return state_ ? state_->runtime.tranCount : 0;
}

std::vector<SqlMessage> Session::useDatabase(std::string_view name) {
    std::vector<SqlMessage> messages;
    if (!state_ || state_->closed) {
        messages.push_back(closedError());
        return messages;
    }
    CallLock guard(*state_->server, nullptr);
    std::string error;
    DatabaseEntry* entry = state_->server->database(name, error);
    if (!entry) {
        const DatabaseEntry* unavailable = state_->server->find(name);
        if (unavailable && unavailable->failure)
            messages = unavailableMessages(unavailable->name, *unavailable->failure);
        else
            messages.push_back(sqlMessage(911, {std::string(name)}));
        for (SqlMessage& m : messages)
            m.line = 1;
        return messages;
    }
    if (entry != state_->runtime.database) {
        state_->server->attach(*entry);
        state_->server->detach(*state_->runtime.database);
        state_->runtime.database = entry;
    }
    SqlMessage m = sqlMessage(5701, {entry->name});
    m.severity = 0;
    messages.push_back(m);
    return messages;
}

const std::string& Session::currentDatabase() const {
    static const std::string none;
    if (!state_ || !state_->runtime.database) return none;
    return state_->runtime.database->name;
}

namespace {

// Runs `count` row operations (fn(ctx, i) for each) under one hold of the server and in one
// statement scope (the locks they take last until the last is done), each with its own
// outcome: what stops one, an error or a cancellation, stops only that one. With a group,
// the changes of the operations join it and reach the journal together at the end.
template <class Fn>
std::vector<RowChange> rowOperations(SessionState* state, size_t count, exec::ChangeGroup* group, Fn fn) {
    std::vector<RowChange> results(count);
    for (RowChange& r : results)
        r.status = RowChange::Status::Failed;
    if (!state || state->closed) {
        for (RowChange& r : results)
            r.messages.push_back(closedError());
        return results;
    }
    beginCall(*state);
    exec::SessionRuntime& runtime = state->runtime;
    CallLock lock(*state->server, runtime.database);
    runtime.serverLock = &lock;
    BatchResult unused;
    exec::CollectingSink sink(unused);
    exec::Output out(sink, &lock, &runtime);
    exec::ExecContext ctx(runtime, out);
    {
        exec::StatementScope statement(runtime);
        runtime.changeGroup = group;
        for (size_t i = 0; i < count; ++i) {
            try {
                results[i] = fn(ctx, i);
            } catch (const exec::Cancelled&) {
                state->lastCancelled = true;
                if (runtime.settings.xactAbort) abortTransaction(runtime, out);
            } catch (const std::exception& e) {
                results[i].messages.push_back(internalError(e.what()));
            }
        }
        runtime.changeGroup = nullptr;
        if (group) {
            const std::string error = exec::endChangeGroup(*state->server, *group);
            for (RowChange& r : results) {
                if (error.empty() || !r.ok()) continue;
                r.status = RowChange::Status::Failed;
                SqlMessage m = exec::writeFailure(error);
                m.line = 1;
                r.messages.push_back(std::move(m));
            }
        }
    }
    runtime.serverLock = nullptr;
    return results;
}

template <class Fn>
RowChange rowOperation(SessionState* state, Fn fn) {
    return rowOperations(state, 1, nullptr, [&](exec::ExecContext& ctx, size_t) { return fn(ctx); }).front();
}

}  // namespace

RowChange Session::updateRow(const TableIdentity& table, RowId row,
                             const std::vector<ColumnAssignment>& assignments,
                             const std::vector<ColumnAssignment>& expectedOriginal) {
    return rowOperation(state_.get(), [&](exec::ExecContext& ctx) {
        return exec::updateRowOperation(ctx, table, row, assignments, expectedOriginal);
    });
}

std::vector<RowChange> Session::updateRows(const TableIdentity& table, const std::vector<RowUpdate>& rows) {
    exec::ChangeGroup group;
    return rowOperations(state_.get(), rows.size(), &group, [&](exec::ExecContext& ctx, size_t i) {
        return exec::updateRowOperation(ctx, table, rows[i].row, rows[i].assignments, rows[i].expectedOriginal,
                                        false);
    });
}

RowChange Session::insertRow(const TableIdentity& table,
                             const std::vector<ColumnAssignment>& assignments) {
    return rowOperation(state_.get(), [&](exec::ExecContext& ctx) {
        return exec::insertRowOperation(ctx, table, assignments);
    });
}

RowChange Session::deleteRow(const TableIdentity& table, RowId row,
                             const std::vector<ColumnAssignment>& expectedOriginal) {
    return rowOperation(state_.get(), [&](exec::ExecContext& ctx) {
        return exec::deleteRowOperation(ctx, table, row, expectedOriginal);
    });
}

RowChange Session::readRow(const TableIdentity& table, RowId row) {
    return rowOperation(state_.get(), [&](exec::ExecContext& ctx) {
        return exec::readRowOperation(ctx, table, row);
    });
}

void Session::close() {
    if (!state_ || state_->closed) return;
    std::shared_ptr<Server> server = state_->server;
    {
        CallLock guard(*server, nullptr);
        // Leaving with a transaction open takes it back, as a disconnection does; the
        // sessions waiting for its locks go on.
        if (state_->runtime.tranCount > 0) exec::rollbackTransaction(state_->runtime);
        exec::endTemporaryScopes(state_->runtime, 0);
        server->locks().releaseAll(state_->id);
        if (state_->runtime.database) server->detach(*state_->runtime.database);
        if (!state_->runtime.login.empty()) server->loginDisconnected(state_->runtime.login);
        server->syncAll();
        state_->closed = true;
        state_->runtime.database = nullptr;
        state_->runtime.server = nullptr;
        state_->server.reset();
    }
    releaseSessionId(state_->id);
    // The last session of a server releases it (and its directory lock) here.
    server.reset();
}

}  // namespace engine
