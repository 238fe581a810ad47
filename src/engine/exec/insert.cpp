// INSERT [INTO] t [(columns)] VALUES (...)[, (...)] | SELECT ... | DEFAULT VALUES.
#include <algorithm>

#include "engine/exec/binder.h"
#include "engine/exec/check_constraints.h"
#include "engine/exec/foreign_keys.h"
#include "engine/exec/triggers.h"
#include "engine/exec/locks.h"
#include "engine/exec/statements.h"
#include "engine/exec/table_writes.h"
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

}  // namespace

void executeInsert(ExecContext& ctx, const sql::InsertStmt& insert) {
    Binder binder(ctx);
    Table* table = binder.resolveTable(insert.table, ctx.line);
    const TableSchema& schema = table->schema;
    std::vector<int> positions = targetColumns(ctx, *table, insert);
    bool identityInsert = ctx.session.settings.identityInsertTable == schema.id;
    for (int p : positions) {
        if (schema.columns[p].identity && !identityInsert) raise(ctx, 544, {schema.name});
    }

    // The supplied rows, each as many values as positions (nullptr-like DEFAULT marks).
    std::vector<std::vector<Value>> supplied;
    std::vector<std::vector<bool>> isDefault;
    if (insert.defaultValues) {
        supplied.emplace_back();
        isDefault.emplace_back();
        positions.clear();
    } else if (!insert.values.empty()) {
        Scope scope;
        for (const auto& row : insert.values) {
            if (row.size() != positions.size()) {
                if (insert.columns.empty()) raise(ctx, 213);
                raise(ctx, row.size() < positions.size() ? 109 : 110);
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
            supplied.push_back(std::move(values));
            isDefault.push_back(std::move(defaults));
        }
    } else if (insert.select) {
        auto query = binder.bindQuery(*insert.select, nullptr, true);
        if (query->columns.size() != positions.size()) {
            if (insert.columns.empty()) raise(ctx, 213);
            raise(ctx, query->columns.size() < positions.size() ? 120 : 121);
        }
        Rowset rows = executeQuery(*query, ctx, nullptr);
        supplied = std::move(rows.rows);
        // SET ROWCOUNT n: the first n rows of the query go in.
        const int64_t limit = ctx.session.settings.rowCountLimit;
        if (limit > 0 && static_cast<int64_t>(supplied.size()) > limit)
            supplied.resize(static_cast<size_t>(limit));
        isDefault.assign(supplied.size(), std::vector<bool>(positions.size(), false));
    } else {
        raise(ctx, 156, {"EXEC"});
    }

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
            c.rowIds.push_back(table->data.nextRowId + static_cast<RowId>(i));
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
