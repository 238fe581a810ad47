#include "engine/exec/row_operations.h"

#include "engine/exec/check_constraints.h"
#include "engine/exec/foreign_keys.h"
#include "engine/exec/locks.h"
#include "engine/exec/statements.h"
#include "engine/exec/table_writes.h"
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
    DatabaseEntry* entry = session.server->database(identity.database, error);
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
    }
    return result;
}

void fillRow(const Table& table, RowId row, RowChange& result) {
    int64_t slot = table.data.slotOf(row);
    result.rowId = row;
    result.columns.clear();
    result.row.clear();
    for (size_t c = 0; c < table.schema.columns.size(); ++c) {
        const ColumnSchema& col = table.schema.columns[c];
        result.columns.push_back(
            ResultColumn{col.name, col.type, col.nullable, col.identity, col.name});
        if (slot >= 0) result.row.push_back(table.data.columns[c].get(static_cast<size_t>(slot)));
    }
}

int columnOf(ExecContext& ctx, const TableSchema& schema, const std::string& name) {
    int p = schema.columnIndex(name);
    if (p < 0) raise(ctx, 207, {name});
    return p;
}

// Whether the row still holds the expected values ('=' under the collation, NULL = NULL).
bool holds(ExecContext& ctx, const Table& table, size_t slot,
           const std::vector<ColumnAssignment>& expected) {
    for (const auto& e : expected) {
        int p = columnOf(ctx, table.schema, e.column);
        Value current = table.data.columns[p].get(slot);
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
    int64_t slot = table.data.slotOf(row);
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
        std::vector<Value> full;
        for (size_t c = 0; c < schema.columns.size(); ++c)
            full.push_back(table.data.columns[c].get(static_cast<size_t>(slot)));
        Change change;
        change.kind = Change::Kind::UpdateCells;
        change.objectId = schema.id;
        change.rowIds.push_back(row);
        std::vector<int> changed;
        for (const auto& a : assignments) {
            int p = columnOf(ctx, schema, a.column);
            const ColumnSchema& col = schema.columns[p];
            if (col.identity) raise(ctx, 8102, {col.name});
            Value v = valueForColumn(ctx, col, a.value);
            checkNotNull(ctx, schema, col, v, "UPDATE");
            full[p] = v;
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
        CheckEvaluator checks(ctx, schema, changed);
        if (!checks.empty()) checks.check(full, "UPDATE");
        checkUniqueIndexes(ctx, table, {full}, {slot}, changed);
        StatementChanges changes(ctx.entry());
        ReferentialWrites references(ctx, ctx.database(), table, "UPDATE");
        if (references.watches(changed)) {
            references.updated(static_cast<size_t>(slot), full, changed);
            references.finish(changes);
        }
        if (!change.positions.empty()) changes.add(std::move(change));
        changes.commit(ctx);
        result.status = RowChange::Status::Done;
        if (fill) {
            fillRow(table, row, result);
        } else {
            result.rowId = row;
        }
    });
}

RowChange insertRowOperation(ExecContext& ctx, const TableIdentity& identity,
                             const std::vector<ColumnAssignment>& assignments) {
    return guarded(ctx, identity, true, [&](Table& table, RowChange& result) {
        const TableSchema& schema = table.schema;
        TableSchema next = schema;
        std::vector<Value> row(schema.columns.size());
        std::vector<bool> given(schema.columns.size(), false);
        bool identityInsert = ctx.session.settings.identityInsertTable == schema.id;
        for (const auto& a : assignments) {
            int p = columnOf(ctx, schema, a.column);
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
        for (size_t c = 0; c < schema.columns.size(); ++c)
            checkNotNull(ctx, schema, schema.columns[c], row[c], "INSERT");
        CheckEvaluator checks(ctx, schema);
        if (!checks.empty()) checks.check(row, "INSERT");
        checkUniqueIndexes(ctx, table, {row}, {-1}, {});
        RowId id = table.data.nextRowId;
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
        changes.commit(ctx);
        if (identityValue) ctx.session.lastIdentity = identityValue;
        result.status = RowChange::Status::Done;
        fillRow(table, id, result);
    });
}

RowChange deleteRowOperation(ExecContext& ctx, const TableIdentity& identity, RowId row,
                             const std::vector<ColumnAssignment>& expected) {
    return guarded(ctx, identity, true, [&](Table& table, RowChange& result) {
        int64_t slot = locate(ctx, table, row, expected, result);
        if (slot < 0) return;
        Change change;
        change.kind = Change::Kind::DeleteRows;
        change.objectId = table.schema.id;
        change.rowIds.push_back(row);
        StatementChanges changes(ctx.entry());
        ReferentialWrites references(ctx, ctx.database(), table, "DELETE");
        if (references.needed()) {
            references.deleted(static_cast<size_t>(slot));
            references.finish(changes);
        }
        changes.add(std::move(change));
        changes.commit(ctx);
        result.status = RowChange::Status::Done;
        result.rowId = row;
    });
}

RowChange readRowOperation(ExecContext& ctx, const TableIdentity& identity, RowId row) {
    return guarded(ctx, identity, false, [&](Table& table, RowChange& result) {
        if (table.data.slotOf(row) < 0) {
            result.status = RowChange::Status::RowMissing;
            return;
        }
        result.status = RowChange::Status::Done;
        fillRow(table, row, result);
    });
}

}  // namespace engine::exec
