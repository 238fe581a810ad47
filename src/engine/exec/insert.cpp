// INSERT [INTO] t [(columns)] VALUES (...)[, (...)] | SELECT ... | DEFAULT VALUES, into a
// table or into a view with an INSTEAD OF INSERT trigger.
#include <algorithm>

#include "engine/exec/binder.h"
#include "engine/exec/check_constraints.h"
#include "engine/exec/foreign_keys.h"
#include "engine/exec/locks.h"
#include "engine/exec/statements.h"
#include "engine/exec/table_writes.h"
#include "engine/exec/triggers.h"
#include "engine/types/collation.h"
#include "engine/types/sql_message.h"

namespace engine::exec {

namespace {

// The table's columns that receive the supplied values, in order.
std::vector<int> targetColumns(ExecContext& ctx, const Table& table,
                               const sql::InsertStmt& insert) {
    const TableSchema& schema = table.schema;
    std::vector<int> positions;
    if (insert.columns.empty()) {
        for (size_t i = 0; i < schema.columns.size(); ++i) {
            if (!schema.columns[i].identity ||
                ctx.session.settings.identityInsertTable == schema.id)
                positions.push_back(static_cast<int>(i));
        }
        return positions;
    }
    for (const auto& name : insert.columns) {
        int p = schema.columnIndex(name);
        if (p < 0) raise(ctx, 207, {name});
        if (std::find(positions.begin(), positions.end(), p) != positions.end())
            raise(ctx, 264, {name});
        positions.push_back(p);
    }
    return positions;
}

// The rows an INSERT supplies, each as many values as the columns it fills (DEFAULT marked).
struct Supplied {
    std::vector<std::vector<Value>> rows;
    std::vector<std::vector<bool>> isDefault;
};

Supplied suppliedRows(ExecContext& ctx, Binder& binder, const sql::InsertStmt& insert,
                      size_t width) {
    Supplied out;
    if (insert.defaultValues) {
        out.rows.emplace_back();
        out.isDefault.emplace_back();
    } else if (!insert.values.empty()) {
        Scope scope;
        for (const auto& row : insert.values) {
            if (row.size() != width) {
                if (insert.columns.empty()) raise(ctx, 213);
                raise(ctx, row.size() < width ? 109 : 110);
            }
        }
        for (const auto& row : insert.values) {
            std::vector<Value> values;
            std::vector<bool> defaults;
            for (const auto& e : row) {
                if (!e) {
                    values.emplace_back();
                    defaults.push_back(true);
                    continue;
                }
                BoundExprPtr bound = binder.bindScalar(*e, scope);
                Frame frame;
                frame.ctx = &ctx;
                values.push_back(bound->eval(frame));
                defaults.push_back(false);
            }
            out.rows.push_back(std::move(values));
            out.isDefault.push_back(std::move(defaults));
        }
    } else if (insert.select) {
        auto query = binder.bindQuery(*insert.select, nullptr, true);
        if (query->columns.size() != width) {
            if (insert.columns.empty()) raise(ctx, 213);
            raise(ctx, query->columns.size() < width ? 120 : 121);
        }
        Rowset rows = executeQuery(*query, ctx, nullptr);
        out.rows = std::move(rows.rows);
        // SET ROWCOUNT n: the first n rows of the query go in.
        const int64_t limit = ctx.session.settings.rowCountLimit;
        if (limit > 0 && static_cast<int64_t>(out.rows.size()) > limit)
            out.rows.resize(static_cast<size_t>(limit));
        out.isDefault.assign(out.rows.size(), std::vector<bool>(width, false));
    } else {
        raise(ctx, 156, {"EXEC"});
    }
    return out;
}

// INSERT into a view with an INSTEAD OF INSERT trigger: the trigger gets the rows with the
// view's columns, NULL in those the statement does not name. False for any other target.
bool insertThroughViewTrigger(ExecContext& ctx, const sql::InsertStmt& insert) {
    if (!insert.table.database.empty() &&
        !identifierEqual(insert.table.database, ctx.currentEntry().name))
        return false;
    const ViewSchema* view = ctx.catalog().findView(insert.table.schema, insert.table.object);
    if (!view || !hasInsteadOfTrigger(ctx.catalog(), view->id, TriggerEvent::Insert)) return false;
    Binder binder(ctx);
    BoundCore core;
    Scope scope;
    scope.sources = &core.sources;
    std::vector<sql::TableRefPtr> only;
    only.push_back(std::make_unique<sql::TableRef>());
    only.back()->name = insert.table;
    binder.bindFrom(only, core, scope);
    const std::vector<SourceColumn> columns = core.sources[0]->columns;
    std::vector<int> positions;
    for (const auto& name : insert.columns) {
        int p = -1;
        for (size_t c = 0; c < columns.size(); ++c) {
            if (identifierEqual(columns[c].name, name)) p = static_cast<int>(c);
        }
        if (p < 0) raise(ctx, 207, {name});
        if (std::find(positions.begin(), positions.end(), p) != positions.end())
            raise(ctx, 264, {name});
        positions.push_back(p);
    }
    if (insert.columns.empty() && !insert.defaultValues) {
        for (size_t c = 0; c < columns.size(); ++c)
            positions.push_back(static_cast<int>(c));
    }
    Supplied supplied = suppliedRows(ctx, binder, insert, positions.size());
    std::vector<std::vector<Value>> rows;
    for (const auto& values : supplied.rows) {
        std::vector<Value> row;
        for (const auto& c : columns)
            row.push_back(Value::null(c.type));
        for (size_t k = 0; k < values.size(); ++k) {
            const auto p = static_cast<size_t>(positions[k]);
            if (!values[k].isNull())
                row[p] = convert(values[k], columns[p].type, ConversionKind::Implicit, 0,
                                 ctx.dateFormat());
        }
        rows.push_back(std::move(row));
    }
    const auto count = static_cast<int64_t>(rows.size());
    std::vector<int> all(columns.size());
    for (size_t c = 0; c < all.size(); ++c)
        all[c] = static_cast<int>(c);
    TriggerFiring instead(ctx, *view, columns, TriggerEvent::Insert);
    ctx.session.lastRowCount = count;
    instead.begin();
    instead.fire(std::move(rows), {}, std::move(all), count);
    if (!ctx.session.settings.noCount) ctx.out.rowCount(count, ctx.line);
    return true;
}

}  // namespace

void executeInsert(ExecContext& ctx, const sql::InsertStmt& insert) {
    if (insertThroughViewTrigger(ctx, insert)) return;
    Binder binder(ctx);
    Table* table = binder.resolveTable(insert.table, ctx.line);
    const TableSchema& schema = table->schema;
    std::vector<int> positions = targetColumns(ctx, *table, insert);
    bool identityInsert = ctx.session.settings.identityInsertTable == schema.id;
    for (int p : positions) {
        if (schema.columns[p].identity && !identityInsert) raise(ctx, 544, {schema.name});
    }

    Supplied statementRows = suppliedRows(ctx, binder, insert, positions.size());
    std::vector<std::vector<Value>>& supplied = statementRows.rows;
    std::vector<std::vector<bool>>& isDefault = statementRows.isDefault;
    if (insert.defaultValues) positions.clear();

    // Full rows in table column order, straight into column stores; whole rows are kept
    // only when unique indexes must be checked.
    TableSchema next = schema;
    DefaultEvaluator defaults(ctx);
    CheckEvaluator checks(ctx, schema);
    ReferentialWrites references(ctx, *ctx.entryOf(*table).database, *table, "INSERT");
    TriggerFiring triggers(ctx, *table, TriggerEvent::Insert);
    TriggerFiring instead(ctx, *table, TriggerEvent::Insert, TriggerTiming::InsteadOf);
    bool keepRows = references.needed() || triggers.active() || instead.active() ||
                    std::any_of(schema.indexes.begin(), schema.indexes.end(),
                                [](const IndexSchema& ix) { return ix.unique; });
    std::vector<std::vector<Value>> rows;
    std::vector<ColumnStore> stores;
    for (const auto& col : schema.columns) {
        stores.emplace_back(col.type);
        stores.back().reserve(supplied.size());
    }
    int identity = schema.identityColumn();
    std::optional<int64_t> lastIdentity;
    std::vector<Value> row(schema.columns.size());
    std::vector<bool> given(schema.columns.size());
    for (size_t r = 0; r < supplied.size(); ++r) {
        if ((r & 1023) == 0) checkCancelled(ctx.session);
        std::fill(given.begin(), given.end(), false);
        for (size_t k = 0; k < positions.size(); ++k) {
            int p = positions[k];
            const ColumnSchema& col = schema.columns[p];
            if (isDefault[r][k]) {
                if (col.identity) continue;
                row[p] = defaults.evaluate(schema, col);
            } else {
                row[p] = valueForColumn(ctx, col, supplied[r][k]);
            }
            given[p] = true;
            if (col.identity && identityInsert && !row[p].isNull()) {
                int64_t v = row[p].asInt64();
                if (!next.identityUsed || (col.identityIncrement > 0 ? v > next.identityCurrent
                                                                     : v < next.identityCurrent)) {
                    next.identityCurrent = v;
                    next.identityUsed = true;
                }
                lastIdentity = v;
            }
        }
        for (size_t c = 0; c < schema.columns.size(); ++c) {
            if (given[c]) continue;
            const ColumnSchema& col = schema.columns[c];
            if (col.identity && static_cast<int>(c) == identity) {
                int64_t v = nextIdentity(next, col);
                row[c] = valueForColumn(ctx, col, Value::integer(v, TypeId::BigInt));
                lastIdentity = v;
            } else {
                row[c] = defaults.evaluate(schema, col);
            }
        }
        if (instead.active()) {
            // The rows go to the trigger as they would have been written, unchecked.
            rows.push_back(row);
            continue;
        }
        for (size_t c = 0; c < schema.columns.size(); ++c)
            checkNotNull(ctx, schema, schema.columns[c], row[c], "INSERT");
        if (!checks.empty()) checks.check(row, "INSERT");
        for (size_t c = 0; c < schema.columns.size(); ++c)
            stores[c].push(row[c]);
        if (keepRows) rows.push_back(row);
        // The supplied values are not needed any more.
        supplied[r].clear();
        supplied[r].shrink_to_fit();
    }
    size_t count = supplied.size();
    supplied.clear();
    std::vector<int> all(schema.columns.size());
    for (size_t c = 0; c < all.size(); ++c)
        all[c] = static_cast<int>(c);
    if (instead.active()) {
        ctx.session.lastRowCount = static_cast<int64_t>(count);
        instead.begin();
        instead.fire(std::move(rows), {}, std::move(all), static_cast<int64_t>(count));
        if (!ctx.session.settings.noCount) ctx.out.rowCount(static_cast<int64_t>(count), ctx.line);
        return;
    }
    if (keepRows) checkUniqueIndexes(ctx, *table, rows, std::vector<int64_t>(rows.size(), -1), {});

    StatementChanges changes(ctx.entryOf(*table));
    if (references.needed()) {
        references.inserted(triggers.active() ? rows : std::move(rows));
        references.finish(changes);
    }
    if (count > 0) {
        Change c;
        c.kind = Change::Kind::InsertRows;
        c.objectId = schema.id;
        c.identityCurrent = next.identityCurrent;
        c.identityUsed = next.identityUsed;
        c.rowIds.reserve(count);
        for (size_t i = 0; i < count; ++i)
            c.rowIds.push_back(table->data().nextRowId + static_cast<RowId>(i));
        c.values = std::move(stores);
        changes.add(std::move(c));
    }
    triggers.begin();
    changes.commit(ctx);
    if (lastIdentity) ctx.session.lastIdentity = lastIdentity;
    ctx.session.lastRowCount = static_cast<int64_t>(count);
    if (triggers.active()) {
        triggers.fire(std::move(rows), {}, std::move(all), static_cast<int64_t>(count));
    }
    if (!ctx.session.settings.noCount) ctx.out.rowCount(static_cast<int64_t>(count), ctx.line);
}

}  // namespace engine::exec
