#include "engine/exec/row_operations.h"

#include <algorithm>
#include <optional>

#include "engine/exec/cascade_triggers.h"
#include "engine/exec/check_constraints.h"
#include "engine/exec/foreign_keys.h"
#include "engine/exec/locks.h"
#include "engine/exec/statements.h"
#include "engine/exec/table_writes.h"
#include "engine/exec/triggers.h"
#include "engine/types/collation.h"
#include "engine/types/compare.h"
#include "engine/types/sql_message.h"

namespace engine::exec {

namespace {

// Runs an operation against the table's database (locked as a statement that changes
// it, or only reads it, would lock it), turning errors into a Failed result.
template <class Fn>
RowChange guarded(ExecContext& ctx, const TableIdentity& identity, bool writes, Fn fn) {
    RowChange result;
    SessionRuntime& session = ctx.session;
    if (session.settings.implicitTransactions && session.tranCount == 0) session.tranCount = 1;
    std::string error;
    DatabaseEntry* entry = identifierEqual(identity.database, "tempdb")
                               ? session.temporaryTables.holdingId(identity.objectId)
                               : session.server->database(identity.database, error);
    try {
        entry = lockDatabase(session, entry, writes ? LockMode::Exclusive : LockMode::Shared);
    } catch (const LockFailure& f) {
        result.status = RowChange::Status::Failed;
        result.messages.push_back(f.message);
        result.messages.back().line = 1;
        session.lastError = f.message.number;
        if (f.message.number == 1205 && session.tranCount > 0) rollbackTransaction(session);
        return result;
    }
    Table* table = entry ? entry->database->tableById(identity.objectId) : nullptr;
    if (!table || !identifierEqual(table->schema.name, identity.name)) {
        result.status = RowChange::Status::RowMissing;
        return result;
    }
    // The operation runs as if the table's database were the current one.
    struct CurrentDatabase {
        SessionRuntime& session;
        DatabaseEntry* saved;
        ~CurrentDatabase() { session.database = saved; }
    } current{session, session.database};
    session.database = entry;
    ctx.access.writes = writes;
    try {
        fn(*table, result);
    } catch (const SqlException& e) {
        result.status = RowChange::Status::Failed;
        for (SqlMessage m : e.messages()) {
            if (m.line == 0) m.line = 1;
            result.messages.push_back(std::move(m));
        }
        session.lastError = e.primary().number;
        if (terminatesStatement(e.primary().number)) {
            SqlMessage done = sqlMessage(3621);
            done.severity = 0;
            done.line = 1;
            result.messages.push_back(done);
        }
    } catch (const BatchAbort&) {
        // An error in a trigger that ends the batch: it takes the open transaction with it,
        // as it would for the statement the operation stands for. Its messages are in
        // the result already (see RowTriggers).
        result.status = RowChange::Status::Failed;
        if (session.tranCount > 0) rollbackTransaction(session);
    } catch (const BatchStop&) {
        // THROW in a trigger; its message is in the result already.
        result.status = RowChange::Status::Failed;
    } catch (const CaughtError& e) {
        result.status = RowChange::Status::Failed;
        result.messages.push_back(e.message);
    }
    return result;
}

// The triggers a row operation fires: those its one-row statement would fire, seeing what
// that statement would show them (its row in inserted and deleted, UPDATE(c) true for the
// columns it assigns, @@ROWCOUNT 1), and the AFTER triggers of the tables its FOREIGN KEY
// actions change. Built only for the operations that fire any, so that operations on
// tables without triggers do no more than before.
//
// The write and its triggers run inside a transaction, the caller's or one of their own:
// a client learns of a trigger's error only through the operation's outcome, and an
// operation it is told failed must have changed nothing, so an error a trigger sends (or
// its ending the transaction) takes the row's change back with what the triggers did.
// What the triggers send (PRINT, errors) becomes the operation's messages.
class RowTriggers {
  public:
    RowTriggers(ExecContext& ctx, RowChange& result, const Table& table, TriggerEvent event)
        : session_(ctx.session),
          result_(result),
          sink_(said_),
          out_(sink_, ctx.session.serverLock, &ctx.session),
          ctx_(ctx.session, out_) {
        ctx_.access = ctx.access;
        ctx_.line = ctx.line;
        instead_.emplace(ctx_, table, event, TriggerTiming::InsteadOf);
        if (!instead_->active()) instead_.reset();
        after_.emplace(ctx_, table, event);
        if (!after_->active()) after_.reset();
    }
    ~RowTriggers() {
        // An error is on its way out: the change goes, and the triggers' messages come
        // before the error's own.
        if (begun_ && !done_) takeBack();
        takeMessages();
    }
    RowTriggers(const RowTriggers&) = delete;
    RowTriggers& operator=(const RowTriggers&) = delete;

    // An INSTEAD OF trigger runs in place of the write (which then checks nothing).
    bool insteadOf() const { return instead_.has_value(); }
    // The rows the FOREIGN KEY actions change in tables with triggers (after
    // ReferentialWrites::finish; they must outlive fire()).
    void cascaded(const std::vector<ReferentialWrites::CascadedRows>& rows) {
        cascades_.emplace(ctx_, rows);
        if (!cascades_->active()) cascades_.reset();
    }
    bool active() const { return instead_ || after_ || cascades_; }

    // Before the row is written.
    void begin() {
        if (!active()) return;
        begun_ = true;
        if (session_.tranCount == 0) {
            session_.tranCount = 1;
            ownsTransaction_ = true;
        } else {
            for (const auto& [entry, undo] : session_.undo)
                mark_.undoSizes[entry] = undo.size();
        }
        if (instead_) {
            instead_->begin();
        } else {
            if (after_) after_->begin();
            if (cascades_) cascades_->begin();
        }
    }
    // After the write (or instead of it): runs the triggers, then keeps the change, or takes
    // it back and returns false when a trigger sent an error.
    bool fire(std::vector<std::vector<Value>> inserted, std::vector<std::vector<Value>> deleted,
              std::vector<int> updatedColumns) {
        if (!begun_) return true;
        if (instead_) {
            session_.lastRowCount = 1;
            instead_->fire(std::move(inserted), std::move(deleted), std::move(updatedColumns), 1);
        } else {
            if (cascades_) cascades_->fire();
            session_.lastRowCount = 1;
            if (after_)
                after_->fire(std::move(inserted), std::move(deleted), std::move(updatedColumns), 1);
        }
        done_ = true;
        const bool failed = std::any_of(said_.messages.begin(), said_.messages.end(),
                                        [](const SqlMessage& m) { return m.isError(); });
        takeMessages();
        if (failed) {
            takeBack();
        } else if (ownsTransaction_ && session_.tranCount > 0) {
            endTransaction(session_);
        }
        return !failed;
    }

  private:
    void takeBack() {
        if (session_.tranCount == 0) return;  // a ROLLBACK in a trigger took it back
        if (ownsTransaction_) {
            rollbackTransaction(session_);
            return;
        }
        try {
            rollbackToSavepoint(session_, mark_);
        } catch (const SqlException& e) {
            for (const SqlMessage& m : e.messages())
                result_.messages.push_back(m);
        }
    }
    void takeMessages() {
        for (SqlMessage& m : said_.messages) {
            if (m.line == 0) m.line = 1;
            result_.messages.push_back(std::move(m));
        }
        said_.messages.clear();
    }

    SessionRuntime& session_;
    RowChange& result_;
    BatchResult said_;
    CollectingSink sink_;
    Output out_;
    ExecContext ctx_;  // the triggers' caller: sends to said_
    std::optional<TriggerFiring> instead_, after_;
    std::optional<CascadeTriggerFiring> cascades_;
    SessionRuntime::Savepoint mark_;  // the caller's transaction before the operation
    bool ownsTransaction_ = false;
    bool begun_ = false, done_ = false;
};

// Makes `triggers` for the operation when its table has triggers.
void prepareTriggers(ExecContext& ctx, std::optional<RowTriggers>& triggers, RowChange& result,
                     const Table& table, TriggerEvent event) {
    if (hasTriggers(ctx.catalog(), table.schema.id)) triggers.emplace(ctx, result, table, event);
}

// Hands the FOREIGN KEY actions' rows to `triggers` (made now if the table has none).
void prepareCascades(ExecContext& ctx, std::optional<RowTriggers>& triggers, RowChange& result,
                     const Table& table, TriggerEvent event, const ReferentialWrites& references) {
    if (references.cascaded().empty()) return;
    if (!triggers) triggers.emplace(ctx, result, table, event);
    triggers->cascaded(references.cascaded());
}

// Whether an update of the table may fire triggers: its own, or through ON UPDATE actions
// those of the tables they reach.
bool updatesMayFireTriggers(const Database& db, int32_t tableId, std::vector<int32_t>& seen) {
    if (hasTriggers(db, tableId)) return true;
    seen.push_back(tableId);
    for (const auto& [referencing, fk] : referencingKeys(db, tableId)) {
        if (fk->disabled || fk->onUpdate == ReferentialAction::NoAction) continue;
        const int32_t id = referencing->schema.id;
        if (std::find(seen.begin(), seen.end(), id) != seen.end()) continue;
        if (updatesMayFireTriggers(db, id, seen)) return true;
    }
    return false;
}

// The table as it is after the triggers ran (their statements may have redefined it).
const Table* tableNow(ExecContext& ctx, int32_t tableId) {
    return ctx.catalog().tableById(tableId);
}

void fillRow(const Table& table, RowId row, RowChange& result) {
    int64_t slot = table.data().slotOf(row);
    result.rowId = row;
    result.columns.clear();
    result.row.clear();
    for (size_t c = 0; c < table.schema.columns.size(); ++c) {
        const ColumnSchema& col = table.schema.columns[c];
        result.columns.push_back(
            ResultColumn{col.name, col.type, col.nullable, col.identity, col.name});
        if (slot >= 0) result.row.push_back(table.data().columns[c].get(static_cast<size_t>(slot)));
    }
}

// The position of a column; `hint` is tried first (a wrong hint only costs a comparison).
int columnOf(ExecContext& ctx, const TableSchema& schema, const std::string& name,
             size_t hint = 0) {
    if (hint < schema.columns.size() && identifierEqual(schema.columns[hint].name, name))
        return static_cast<int>(hint);
    int p = schema.columnIndex(name);
    if (p < 0) raise(ctx, 207, {name});
    return p;
}

// Where the k-th column named in the last row was found: rows saved one after another name
// the same columns in the same order, so each name is looked for there first and a wide row
// costs a comparison per column instead of a scan of the table's columns per column.
class ColumnHints {
  public:
    int find(ExecContext& ctx, const TableSchema& schema, size_t k, const std::string& name) {
        if (k >= at_.size()) at_.resize(k + 1, 0);
        const int p = columnOf(ctx, schema, name, at_[k]);
        at_[k] = static_cast<size_t>(p);
        return p;
    }

  private:
    std::vector<size_t> at_;
};

// Whether the row still holds the expected values ('=' under the collation, NULL = NULL).
bool holds(ExecContext& ctx, const Table& table, size_t slot,
           const std::vector<ColumnAssignment>& expected) {
    thread_local ColumnHints hints;
    for (size_t k = 0; k < expected.size(); ++k) {
        const ColumnAssignment& e = expected[k];
        int p = hints.find(ctx, table.schema, k, e.column);
        const ColumnStore& column = table.data().columns[p];
        // A text that has not changed is the same bytes: no value need be built to see it.
        if (!e.value.isNull() && !column.isNull(slot) && isCharacter(column.type().id) &&
            isCharacter(e.value.type().id) && column.rawBytes(slot) == e.value.bytes())
            continue;
        Value current = column.get(slot);
        if (current.isNull() || e.value.isNull()) {
            if (current.isNull() != e.value.isNull()) return false;
            continue;
        }
        if (isLargeObject(current.type())) {
            if (current.bytes() != e.value.bytes()) return false;
            continue;
        }
        if (compareValues(current, e.value, ctx.dateFormat()) != Comparison::Equal) return false;
    }
    return true;
}

// The slot of the row, or -1 with the result set to RowMissing or RowChanged.
int64_t locate(ExecContext& ctx, const Table& table, RowId row,
               const std::vector<ColumnAssignment>& expected, RowChange& result) {
    int64_t slot = table.data().slotOf(row);
    if (slot < 0) {
        result.status = RowChange::Status::RowMissing;
        return -1;
    }
    if (!holds(ctx, table, static_cast<size_t>(slot), expected)) {
        result.status = RowChange::Status::RowChanged;
        return -1;
    }
    return slot;
}

}  // namespace

RowChange updateRowOperation(ExecContext& ctx, const TableIdentity& identity, RowId row,
                             const std::vector<ColumnAssignment>& assignments,
                             const std::vector<ColumnAssignment>& expected, bool fill) {
    return guarded(ctx, identity, true, [&](Table& table, RowChange& result) {
        int64_t slot = locate(ctx, table, row, expected, result);
        if (slot < 0) return;
        const TableSchema& schema = table.schema;
        const int32_t tableId = schema.id;
        // A change group's rows reach the journal when the group ends, while a row that
        // fires triggers is journaled at once, in its transaction: were it to follow rows
        // of the group, the journal would replay it before them. A table whose updates may
        // fire triggers leaves the group before any of its rows joins it; the rows that
        // join it later need not look for triggers again.
        ChangeGroup* group = ctx.session.changeGroup;
        const bool grouped = group && !group->changes.empty();
        if (group && !grouped) {
            std::vector<int32_t> seen;
            if (updatesMayFireTriggers(ctx.catalog(), tableId, seen))
                ctx.session.changeGroup = nullptr;
        }
        std::optional<RowTriggers> triggers;
        if (!grouped) prepareTriggers(ctx, triggers, result, table, TriggerEvent::Update);
        // An INSTEAD OF trigger gets the row as it would be, unchecked.
        const bool enforce = !(triggers && triggers->insteadOf());
        Change change;
        change.kind = Change::Kind::UpdateCells;
        change.objectId = schema.id;
        change.rowIds.push_back(row);
        std::vector<int> changed;
        thread_local ColumnHints hints;
        for (size_t n = 0; n < assignments.size(); ++n) {
            const ColumnAssignment& a = assignments[n];
            int p = hints.find(ctx, schema, n, a.column);
            const ColumnSchema& col = schema.columns[p];
            if (col.identity) raise(ctx, 8102, {col.name});
            Value v = valueForColumn(ctx, col, a.value);
            if (enforce) checkNotNull(ctx, schema, col, v, "UPDATE");
            bool seen = false;
            for (size_t k = 0; k < change.positions.size(); ++k) {
                if (change.positions[k] == p) {
                    change.values[k].set(0, v);
                    seen = true;
                }
            }
            if (!seen) {
                change.positions.push_back(p);
                change.values.emplace_back(col.type);
                change.values.back().push(v);
                changed.push_back(p);
            }
        }
        // The whole row, before and after, only for what reads it: triggers, CHECK
        // constraints, unique keys and foreign keys on the changed columns (a wide row saved
        // a million times is otherwise a million copies of every cell for nothing).
        auto rowAsStored = [&] {
            std::vector<Value> cells;
            cells.reserve(schema.columns.size());
            for (size_t c = 0; c < schema.columns.size(); ++c)
                cells.push_back(table.data().columns[c].get(static_cast<size_t>(slot)));
            return cells;
        };
        auto rowAsSaved = [&] {
            std::vector<Value> cells = rowAsStored();
            for (size_t k = 0; k < change.positions.size(); ++k)
                cells[change.positions[k]] = change.values[k].get(0);
            return cells;
        };
        std::vector<Value> before;
        if (triggers) before = rowAsStored();
        auto done = [&] {
            result.status = RowChange::Status::Done;
            const Table* now = fill && triggers ? tableNow(ctx, tableId) : &table;
            if (fill && now) {
                fillRow(*now, row, result);
            } else {
                result.rowId = row;
            }
        };
        if (!enforce) {
            triggers->begin();
            if (triggers->fire({rowAsSaved()}, {before}, changed)) done();
            return;
        }
        CheckEvaluator checks(ctx, schema, changed);
        ReferentialWrites references(ctx, ctx.database(), table, "UPDATE");
        const bool watched = references.watches(changed);
        std::vector<Value> full;
        if (triggers || !checks.empty() || watched || uniqueKeyTouched(schema, changed))
            full = rowAsSaved();
        if (!checks.empty()) checks.check(full, "UPDATE");
        if (!full.empty()) checkUniqueIndexes(ctx, table, {full}, {slot}, changed);
        StatementChanges changes(ctx.entry());
        if (watched) {
            references.updated(static_cast<size_t>(slot), full, changed);
            references.finish(changes);
            prepareCascades(ctx, triggers, result, table, TriggerEvent::Update, references);
        }
        if (!change.positions.empty()) changes.add(std::move(change));
        if (triggers) triggers->begin();
        changes.commit(ctx);
        if (triggers && !triggers->fire({full}, {before}, changed)) return;
        done();
    });
}

RowChange insertRowOperation(ExecContext& ctx, const TableIdentity& identity,
                             const std::vector<ColumnAssignment>& assignments) {
    return guarded(ctx, identity, true, [&](Table& table, RowChange& result) {
        const TableSchema& schema = table.schema;
        const int32_t tableId = schema.id;
        std::optional<RowTriggers> triggers;
        prepareTriggers(ctx, triggers, result, table, TriggerEvent::Insert);
        TableSchema next = schema;
        std::vector<Value> row(schema.columns.size());
        std::vector<bool> given(schema.columns.size(), false);
        bool identityInsert = ctx.session.settings.identityInsertTable == schema.id;
        thread_local ColumnHints hints;
        for (size_t n = 0; n < assignments.size(); ++n) {
            const ColumnAssignment& a = assignments[n];
            int p = hints.find(ctx, schema, n, a.column);
            const ColumnSchema& col = schema.columns[p];
            if (col.identity && !identityInsert) raise(ctx, 544, {schema.name});
            row[p] = valueForColumn(ctx, col, a.value);
            given[p] = true;
        }
        DefaultEvaluator defaults(ctx);
        std::optional<int64_t> identityValue;
        for (size_t c = 0; c < schema.columns.size(); ++c) {
            if (given[c]) continue;
            const ColumnSchema& col = schema.columns[c];
            if (col.identity) {
                int64_t v = nextIdentity(next, col);
                row[c] = valueForColumn(ctx, col, Value::integer(v, TypeId::BigInt));
                identityValue = v;
            } else {
                row[c] = defaults.evaluate(schema, col);
            }
        }
        std::vector<int> all;
        if (triggers) {
            for (size_t c = 0; c < schema.columns.size(); ++c)
                all.push_back(static_cast<int>(c));
        }
        if (triggers && triggers->insteadOf()) {
            // The row goes to the trigger as it would have been written, unchecked. The
            // operation's row is the one the trigger wrote to the table, when it wrote one.
            const RowId first = table.data().nextRowId;
            triggers->begin();
            if (!triggers->fire({row}, {}, std::move(all))) return;
            result.status = RowChange::Status::Done;
            const Table* now = tableNow(ctx, tableId);
            if (now && now->data().nextRowId == first + 1 && now->data().slotOf(first) >= 0)
                fillRow(*now, first, result);
            return;
        }
        for (size_t c = 0; c < schema.columns.size(); ++c)
            checkNotNull(ctx, schema, schema.columns[c], row[c], "INSERT");
        CheckEvaluator checks(ctx, schema);
        if (!checks.empty()) checks.check(row, "INSERT");
        checkUniqueIndexes(ctx, table, {row}, {-1}, {});
        RowId id = table.data().nextRowId;
        Change change;
        change.kind = Change::Kind::InsertRows;
        change.objectId = schema.id;
        change.rowIds.push_back(id);
        change.identityCurrent = next.identityCurrent;
        change.identityUsed = next.identityUsed;
        for (size_t c = 0; c < schema.columns.size(); ++c) {
            change.values.emplace_back(schema.columns[c].type);
            change.values.back().push(row[c]);
        }
        StatementChanges changes(ctx.entry());
        ReferentialWrites references(ctx, ctx.database(), table, "INSERT");
        if (references.needed()) {
            references.inserted({row});
            references.finish(changes);
        }
        changes.add(std::move(change));
        if (triggers) triggers->begin();
        changes.commit(ctx);
        if (identityValue) ctx.session.lastIdentity = identityValue;
        if (triggers && !triggers->fire({row}, {}, std::move(all))) return;
        result.status = RowChange::Status::Done;
        if (const Table* now = triggers ? tableNow(ctx, tableId) : &table) fillRow(*now, id, result);
    });
}

RowChange deleteRowOperation(ExecContext& ctx, const TableIdentity& identity, RowId row,
                             const std::vector<ColumnAssignment>& expected) {
    return guarded(ctx, identity, true, [&](Table& table, RowChange& result) {
        int64_t slot = locate(ctx, table, row, expected, result);
        if (slot < 0) return;
        std::optional<RowTriggers> triggers;
        prepareTriggers(ctx, triggers, result, table, TriggerEvent::Delete);
        std::vector<Value> removed;
        if (triggers) {
            for (const auto& store : table.data().columns)
                removed.push_back(store.get(static_cast<size_t>(slot)));
        }
        if (triggers && triggers->insteadOf()) {
            triggers->begin();
            if (!triggers->fire({}, {removed}, {})) return;
            result.status = RowChange::Status::Done;
            result.rowId = row;
            return;
        }
        Change change;
        change.kind = Change::Kind::DeleteRows;
        change.objectId = table.schema.id;
        change.rowIds.push_back(row);
        StatementChanges changes(ctx.entry());
        ReferentialWrites references(ctx, ctx.database(), table, "DELETE");
        if (references.needed()) {
            references.deleted(static_cast<size_t>(slot));
            references.finish(changes);
            prepareCascades(ctx, triggers, result, table, TriggerEvent::Delete, references);
        }
        changes.add(std::move(change));
        if (triggers) triggers->begin();
        changes.commit(ctx);
        if (triggers && !triggers->fire({}, {removed}, {})) return;
        result.status = RowChange::Status::Done;
        result.rowId = row;
    });
}

RowChange readRowOperation(ExecContext& ctx, const TableIdentity& identity, RowId row) {
    return guarded(ctx, identity, false, [&](Table& table, RowChange& result) {
        if (table.data().slotOf(row) < 0) {
            result.status = RowChange::Status::RowMissing;
            return;
        }
        result.status = RowChange::Status::Done;
        fillRow(table, row, result);
    });
}

}  // namespace engine::exec
