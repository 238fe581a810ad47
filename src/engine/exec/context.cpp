#include "engine/exec/context.h"

#include <algorithm>

#include "engine/exec/locks.h"
#include "engine/types/sql_message.h"

namespace engine::exec {

Variable* Variables::find(std::string_view name) {
    auto it = vars_.find(name);
    return it == vars_.end() ? nullptr : &it->second;
}

const Variable* Variables::find(std::string_view name) const {
    auto it = vars_.find(name);
    return it == vars_.end() ? nullptr : &it->second;
}

void Variables::declare(const std::string& name, DataType type) {
    vars_[name] = Variable{name, type, Value::null(type)};
}

void Output::message(SqlMessage m) {
    sink_.message(m);
}

void Output::resultSet(ResultSet set) {
    if (!serverLock_ || !serverLock_->owns_lock()) return sink_.resultSet(std::move(set));
    // The set is complete and owned here: the sink may take its time over it while other
    // sessions run. The statement has read what it reads, so its shared locks go now (a
    // slow reader does not hold writers up); what it changed stays locked, and so does
    // what it read under REPEATABLE READ or SERIALIZABLE inside a transaction.
    if (session_ && session_->server && session_->statementDepth <= 1 &&
        !(session_->settings.holdSharedLocks && session_->tranCount > 0))
        session_->server->locks().releaseShared(session_->spid);
    unlocked([&] { sink_.resultSet(std::move(set)); });
}

// The parts of a streamed result set go out with the server's lock released but the
// statement's shared locks kept: the scan that makes them goes on afterwards over the same
// rows, which no writer may change meanwhile.
void Output::resultSetBegin(const std::vector<ResultColumn>& columns) {
    unlocked([&] { sink_.resultSetBegin(columns); });
}

void Output::resultSetRows(std::vector<std::vector<Value>>& rows) {
    unlocked([&] { sink_.resultSetRows(rows); });
}

void Output::resultSetEnd() {
    unlocked([&] { sink_.resultSetEnd(); });
}

void Output::rowCount(int64_t rows, int line) {
    sink_.rowCount(RowCount{rows, line});
}

void CollectingSink::resultSet(ResultSet&& set) {
    result_.events.push_back({BatchResult::Kind::ResultSet, result_.resultSets.size()});
    result_.resultSets.push_back(std::move(set));
}

void CollectingSink::message(const SqlMessage& m) {
    result_.events.push_back({BatchResult::Kind::Message, result_.messages.size()});
    result_.messages.push_back(m);
}

void CollectingSink::rowCount(const RowCount& count) {
    result_.events.push_back({BatchResult::Kind::RowCount, result_.rowCounts.size()});
    result_.rowCounts.push_back(count);
}

void StatementChanges::commit(ExecContext& ctx) {
    if (changes.empty()) return;
    // Normally held since the statement's first read; a statement that read the database
    // under a shared lock raises it here.
    lockDatabase(ctx.session, entry, LockMode::Exclusive);
    ChangeGroup* group = ctx.session.changeGroup;
    if (group && ctx.session.tranCount == 0 && (!group->entry || group->entry == entry)) {
        recordIds();
        group->entry = entry;
        for (Change& c : changes) {
            const size_t inverses = group->inverses.size();
            entry->database->appendInverse(c, group->inverses);
            // Inverses run backwards: a row's inverse joins the one before it only when it
            // comes after all of that one's rows, so that no row is restored out of order.
            if (inverses > 0 && group->inverses.size() == inverses + 1) {
                Change& last = group->inverses[inverses - 1];
                const Change& added = group->inverses.back();
                if (!last.rowIds.empty() && added.rowIds.size() == 1 &&
                    added.rowIds.front() > last.rowIds.back() && appendRowUpdates(last, added))
                    group->inverses.pop_back();
            }
            entry->database->apply(c);
            if (group->changes.empty() || !appendRowUpdates(group->changes.back(), c))
                group->changes.push_back(std::move(c));
        }
        changes.clear();
        return;
    }
    commit(ctx.session, ctx.session.tranCount > 0 ? &undoFor(ctx.session, *entry) : nullptr);
}

void StatementChanges::recordIds() {
    if (!drewIds) return;
    Change ids;
    ids.kind = Change::Kind::SetIdState;
    ids.idState = idState;
    changes.push_back(std::move(ids));
    drewIds = false;
}

SqlMessage writeFailure(const std::string& error) {
    SqlMessage m;
    m.number = 823;
    m.severity = 24;
    m.state = 2;
    m.text = "The operating system returned an error to SQL Server during a write: " + error;
    return m;
}

std::string endChangeGroup(Server& server, ChangeGroup& group) {
    if (!group.entry || group.changes.empty()) return {};
    std::string error = server.journal(*group.entry, group.changes);
    if (!error.empty()) {
        for (auto it = group.inverses.rbegin(); it != group.inverses.rend(); ++it)
            group.entry->database->apply(*it);
    }
    group = ChangeGroup{};
    return error;
}

void StatementChanges::commit(SessionRuntime& session, ChangeList* undo) {
    if (changes.empty()) return;
    Server& server = *session.server;
    recordIds();
    // The inverses are worked out against the database before the statement: every change
    // list the executor builds touches what the statement found (a new column's cells come
    // with the column), so no inverse depends on an earlier change of the same list.
    ChangeList inverses;
    if (undo) {
        for (const Change& c : changes)
            entry->database->appendInverse(c, inverses);
    }
    const bool continued = session.inBatch || session.tranCount > 0;
    std::string error = server.commit(*entry, changes, continued);
    // The operating system refused the write: the statement did not happen.
    if (!error.empty()) throw SqlException(writeFailure(error));
    // A session's temporary objects have no journal, hence no unit of work to end.
    if (continued && !entry->temporary) {
        std::vector<int32_t>& open = session.unitDatabases;
        if (std::find(open.begin(), open.end(), entry->id) == open.end()) open.push_back(entry->id);
    }
    if (undo) undo->insert(undo->end(), inverses.begin(), inverses.end());
    changes.clear();
}

ChangeList& undoFor(SessionRuntime& session, DatabaseEntry& entry) {
    auto [it, added] = session.undo.try_emplace(&entry);
    if (added) ++entry.transactions;
    return it->second;
}

std::string endUnits(SessionRuntime& session) {
    std::string first;
    if (session.server) {
        for (int32_t id : session.unitDatabases) {
            std::string error = session.server->endUnit(id);
            if (first.empty()) first = std::move(error);
        }
    }
    session.unitDatabases.clear();
    return first;
}

void endTransaction(SessionRuntime& session) {
    for (auto& [entry, undo] : session.undo) {
        if (session.server) session.server->reach(entry);
        --entry->transactions;
    }
    // Within a batch, the unit of work ends with the batch (the caller hears of the COMMIT
    // only then); outside one (row operations, a closing session), here.
    if (!session.inBatch) endUnits(session);
    session.undo.clear();
    session.tranCount = 0;
    session.transactionName.clear();
    session.savepoints.clear();
    if (session.server) session.server->locks().releaseAll(session.spid);
}

void rollbackTransaction(SessionRuntime& session) {
    for (auto& [entry, undo] : session.undo) {
        if (undo.empty()) continue;
        session.server->reach(entry);
        std::string ignored;
        if (!entry->database && !session.server->database(entry->name, ignored)) continue;
        StatementChanges back(*entry);
        back.changes.assign(undo.rbegin(), undo.rend());
        try {
            back.commit(session);
        } catch (const SqlException&) {
        }
    }
    endTransaction(session);
}

void rollbackToSavepoint(SessionRuntime& session, const SessionRuntime::Savepoint& savepoint) {
    for (auto& [entry, undo] : session.undo) {
        auto it = savepoint.undoSizes.find(entry);
        const size_t keep = it == savepoint.undoSizes.end() ? 0 : it->second;
        if (undo.size() <= keep) continue;
        session.server->reach(entry);
        std::string ignored;
        if (!entry->database && !session.server->database(entry->name, ignored)) continue;
        StatementChanges back(*entry);
        back.changes.assign(undo.rbegin(), undo.rend() - static_cast<std::ptrdiff_t>(keep));
        back.commit(session);
        undo.resize(keep);
    }
}

SqlMessage messageAt(const ExecContext& ctx, int number, const std::vector<std::string>& args) {
    SqlMessage m = sqlMessage(number, args);
    m.line = ctx.line;
    m.procedure = ctx.procedure;
    return m;
}

void raise(const ExecContext& ctx, int number, const std::vector<std::string>& args) {
    throw SqlException(messageAt(ctx, number, args));
}

void raiseUnavailable(const ExecContext& ctx, std::string_view name, int missing,
                      const std::vector<std::string>& args) {
    const DatabaseEntry* entry = ctx.session.server->find(name);
    if (!entry || !entry->failure)
        raise(ctx, missing, args.empty() ? std::vector<std::string>{std::string(name)} : args);
    std::vector<SqlMessage> messages = unavailableMessages(entry->name, *entry->failure);
    for (SqlMessage& m : messages) {
        m.line = ctx.line;
        m.procedure = ctx.procedure;
    }
    throw SqlException(std::move(messages));
}

std::string qualifiedName(const ExecContext& ctx, const TableSchema& table, bool withDatabase) {
    std::string name = table.schema + "." + table.name;
    if (withDatabase) {
        const DatabaseEntry* temporary = ctx.session.temporaryTables.holdingId(table.id);
        name = (temporary ? temporary->name : ctx.session.database->name) + "." + name;
    }
    return name;
}

}  // namespace engine::exec
