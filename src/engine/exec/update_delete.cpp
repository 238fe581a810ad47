// UPDATE t SET ... [FROM ...] [WHERE ...], DELETE [FROM] t [FROM ...] [WHERE ...] and
// TRUNCATE TABLE. The target is a table, an alias of the FROM clause, or a derived table
// or view that resolves to one base table, or a view with an INSTEAD OF trigger for the
// statement (any view: the trigger does the writing).
#include <algorithm>
#include <cmath>

#include "engine/exec/binder.h"
#include "engine/exec/cascade_triggers.h"
#include "engine/exec/check_constraints.h"
#include "engine/exec/foreign_keys.h"
#include "engine/exec/triggers.h"
#include "engine/exec/locks.h"
#include "engine/exec/statements.h"
#include "engine/exec/table_writes.h"
#include "engine/types/collation.h"
#include "engine/types/sql_message.h"

namespace engine::exec {

namespace {

// The FROM clause of an UPDATE/DELETE and the source that is its target.
struct TargetPlan {
    BoundCore core;
    Scope scope;
    int target = -1;         // source index of the target
    Table* table = nullptr;  // the base table written to
    int baseIndex = -1;      // for a derived target: index into its rowset's base tables
};

bool matchesTarget(const Source& s, const sql::ObjectName& name) {
    if (s.aliased) return name.schema.empty() && identifierEqual(s.alias, name.object);
    return identifierEqual(s.objectName, name.object) &&
           (name.schema.empty() || identifierEqual(s.schemaName, name.schema));
}

// The source of FROM that is the statement's target: the one whose alias (or, unaliased,
// whose name) is the target's name; failing that, the one aliased reference to a table of
// that name ("UPDATE T ... FROM T P JOIN ..." writes through P). Several aliased references
// and none unaliased leave the target ambiguous (8154). -1 when FROM does not name it.
int findTarget(ExecContext& ctx, const std::vector<Source*>& sources,
               const sql::ObjectName& target) {
    for (size_t i = 0; i < sources.size(); ++i) {
        if (matchesTarget(*sources[i], target)) return static_cast<int>(i);
    }
    int found = -1;
    for (size_t i = 0; i < sources.size(); ++i) {
        const Source& s = *sources[i];
        if (!s.aliased || s.objectName.empty() || !identifierEqual(s.objectName, target.object))
            continue;
        if (!target.schema.empty() && !identifierEqual(s.schemaName, target.schema)) continue;
        if (found >= 0) raise(ctx, 8154, {target.object});
        found = static_cast<int>(i);
    }
    return found;
}

std::unique_ptr<sql::TableRef> targetRef(const sql::ObjectName& name) {
    auto ref = std::make_unique<sql::TableRef>();
    ref->kind = sql::TableRef::Kind::Named;
    ref->name = name;
    return ref;
}

void bindTarget(ExecContext& ctx, Binder& binder, const sql::ObjectName& target,
                const std::vector<sql::TableRefPtr>& from, const sql::Expr* where,
                TargetPlan& plan) {
    plan.scope.sources = &plan.core.sources;
    if (from.empty()) {
        std::vector<sql::TableRefPtr> only;
        only.push_back(targetRef(target));
        binder.bindFrom(only, plan.core, plan.scope);
        plan.target = 0;
    } else {
        binder.bindFrom(from, plan.core, plan.scope);
        plan.target = findTarget(ctx, plan.core.sources, target);
        if (plan.target < 0) {
            // The target is not in FROM: it joins the FROM clause as one more source.
            std::vector<sql::TableRefPtr> extra;
            extra.push_back(targetRef(target));
            BoundCore more;
            Scope moreScope;
            binder.bindFrom(extra, more, moreScope);
            plan.core.sources.push_back(more.sources[0]);
            plan.core.ownedSources.push_back(std::move(more.ownedSources[0]));
            auto leaf = std::make_unique<JoinNode>();
            leaf->source = static_cast<int>(plan.core.sources.size() - 1);
            plan.core.from.push_back(std::move(leaf));
            plan.target = static_cast<int>(plan.core.sources.size() - 1);
        }
    }
    Source& t = *plan.core.sources[plan.target];
    if (t.kind == Source::Kind::Table) {
        plan.table = t.table;
    } else if (!t.derived) {
        raise(ctx, 4421, {t.alias});
    }
    if (where) plan.core.where = binder.bindPredicate(*where, plan.scope);
    Binder::planJoins(plan.core);
}

// For a derived target: the base table behind the given columns of the derived source.
void resolveDerivedTarget(ExecContext& ctx, TargetPlan& plan, const std::vector<int>& columns) {
    Source& t = *plan.core.sources[plan.target];
    const BoundQuery& q = *t.derived;
    if (q.cores.size() > 1) raise(ctx, 4417, {t.alias});
    const BoundCore& inner = *q.cores[0];
    if (inner.grouped || inner.distinct) raise(ctx, 4418, {t.alias});
    int table = -1;
    for (int c : columns) {
        int origin = t.columns[c].originTable;
        if (origin < 0) raise(ctx, 4421, {t.alias});
        if (table >= 0 && origin != table) raise(ctx, 4420, {t.alias});
        table = origin;
    }
    if (table < 0) {
        // DELETE through a derived table: it must read exactly one base table.
        int tables = 0;
        for (const Source* s : inner.sources)
            tables += s->kind == Source::Kind::Table;
        if (tables != 1) raise(ctx, 4405, {t.alias});
        table = 0;
    }
    int seen = 0;
    for (const Source* s : inner.sources) {
        if (s->kind != Source::Kind::Table) continue;
        if (seen++ == table) plan.table = s->table;
    }
    plan.baseIndex = table;
}

// Target slots of the rows the statement reaches, each once (the first matching tuple
// wins), in ascending slot order, with the tuple that reached it.
std::vector<std::pair<int64_t, size_t>> targetRows(const TargetPlan& plan,
                                                   const std::vector<int64_t>& tuples,
                                                   int64_t limit) {
    size_t width = plan.core.sources.size();
    size_t count = width ? tuples.size() / width : 0;
    const Source& t = *plan.core.sources[plan.target];
    std::vector<bool> seen(plan.table->data().rowCount(), false);
    std::vector<std::pair<int64_t, size_t>> out;
    for (size_t i = 0; i < count; ++i) {
        int64_t row = tuples[i * width + plan.target];
        if (row < 0) continue;
        int64_t slot = row;
        if (t.kind == Source::Kind::Rowset) {
            const auto& slots = t.rowset->baseSlots;
            if (static_cast<size_t>(row) >= slots.size()) continue;
            slot = slots[static_cast<size_t>(row)][static_cast<size_t>(plan.baseIndex)];
            if (slot < 0) continue;
        }
        if (seen[static_cast<size_t>(slot)]) continue;
        seen[static_cast<size_t>(slot)] = true;
        out.emplace_back(slot, i);
        if (limit >= 0 && static_cast<int64_t>(out.size()) >= limit) break;
    }
    // A scan of the table reaches its rows in order already.
    if (!std::is_sorted(out.begin(), out.end())) std::sort(out.begin(), out.end());
    return out;
}

// How many tuples the reading of the target may stop at: the TOP's, when the target is
// the table itself and the only source (each tuple is then a distinct row).
size_t scanLimit(const TargetPlan& plan, int64_t limit) {
    const bool plain = plan.core.sources.size() == 1 &&
                       plan.core.sources[plan.target]->kind == Source::Kind::Table;
    return plain && limit > 0 ? static_cast<size_t>(limit) : 0;
}

int64_t topLimit(ExecContext& ctx, Binder& binder, const std::optional<sql::TopClause>& top,
                 size_t available) {
    if (!top)
        return ctx.session.settings.rowCountLimit > 0 ? ctx.session.settings.rowCountLimit : -1;
    Scope scope;
    BoundExprPtr e = binder.bindScalar(*top->count, scope);
    Frame f;
    f.ctx = &ctx;
    Value v = e->eval(f);
    if (v.isNull()) raise(ctx, 1060);
    if (top->percent) {
        double p = convert(v, DataType::floating(TypeId::Float)).asDouble();
        return static_cast<int64_t>(std::ceil(p * static_cast<double>(available) / 100.0));
    }
    return convert(v, DataType::of(TypeId::BigInt)).asInt64();
}

struct UpdateSet {
    int sourceColumn = -1;  // column of the target source
    int tableColumn = -1;   // column of the base table
    std::string variable;
    BoundExprPtr expr;  // null: DEFAULT
};

struct UpdatePlan {
    TargetPlan target;
    std::vector<UpdateSet> sets;
    // The target is a view with an INSTEAD OF UPDATE trigger: the sets stay in the view's
    // columns (sourceColumn), there is no base table.
    const ViewSchema* insteadOfView = nullptr;
};

// The view a target source reads, when it has an INSTEAD OF trigger for the event.
const ViewSchema* viewWithInsteadOf(ExecContext& ctx, const Source& target, TriggerEvent event) {
    // The definitions as they stand: this runs when the statement is compiled too.
    const Database& db = ctx.catalog();
    if (!target.viewId || !hasInsteadOfTrigger(db, target.viewId, event)) return nullptr;
    return db.viewById(target.viewId);
}

// The rows of a view target the statement reaches, each once, in the order they came.
std::vector<std::pair<int64_t, size_t>> viewRows(const TargetPlan& plan,
                                                 const std::vector<int64_t>& tuples,
                                                 int64_t limit) {
    const size_t width = plan.core.sources.size();
    const size_t count = width ? tuples.size() / width : 0;
    std::vector<bool> seen(plan.core.sources[plan.target]->rowCount(), false);
    std::vector<std::pair<int64_t, size_t>> out;
    for (size_t i = 0; i < count; ++i) {
        const int64_t row = tuples[i * width + plan.target];
        if (row < 0 || seen[static_cast<size_t>(row)]) continue;
        seen[static_cast<size_t>(row)] = true;
        out.emplace_back(row, i);
        if (limit >= 0 && static_cast<int64_t>(out.size()) >= limit) break;
    }
    return out;
}

std::vector<Value> viewRow(const Source& view, int64_t row) {
    std::vector<Value> values;
    for (size_t c = 0; c < view.columns.size(); ++c)
        values.push_back(view.value(row, c));
    return values;
}

// Binds an UPDATE: its FROM clause and target, the columns it assigns and their values.
void bindUpdate(ExecContext& ctx, Binder& binder, const sql::UpdateStmt& update, UpdatePlan& out) {
    TargetPlan& plan = out.target;
    bindTarget(ctx, binder, update.target, update.from, update.where.get(), plan);
    Source& target = *plan.core.sources[plan.target];
    std::vector<UpdateSet>& sets = out.sets;
    std::vector<int> derivedColumns;
    for (const auto& a : update.assignments) {
        UpdateSet s;
        s.variable = a.variable;
        if (!a.column.empty()) {
            if (!a.qualifier.empty() &&
                !matchesTarget(target, sql::ObjectName{"", "", "", a.qualifier.back(), ""}) &&
                !identifierEqual(a.qualifier.back(), target.objectName)) {
                raise(ctx, 4104, {a.qualifier.back() + "." + a.column});
            }
            s.sourceColumn = target.columnNamed(a.column);
            if (s.sourceColumn < 0) raise(ctx, 207, {a.column});
            for (const auto& other : sets) {
                if (other.sourceColumn == s.sourceColumn) raise(ctx, 264, {a.column});
            }
            derivedColumns.push_back(s.sourceColumn);
        } else if (!ctx.variables.find(a.variable)) {
            raise(ctx, 137, {a.variable});
        }
        if (a.expr) s.expr = binder.bindScalar(*a.expr, plan.scope);
        sets.push_back(std::move(s));
    }
    out.insteadOfView = viewWithInsteadOf(ctx, target, TriggerEvent::Update);
    if (out.insteadOfView) return;
    if (target.kind == Source::Kind::Rowset) resolveDerivedTarget(ctx, plan, derivedColumns);
    const TableSchema& schema = plan.table->schema;
    for (auto& s : sets) {
        if (s.sourceColumn < 0) continue;
        s.tableColumn = target.kind == Source::Kind::Table
                            ? s.sourceColumn
                            : target.columns[s.sourceColumn].originColumn;
        const ColumnSchema& col = schema.columns[s.tableColumn];
        if (col.identity) raise(ctx, 8102, {col.name});
    }
}

}  // namespace

void prebindUpdate(ExecContext& ctx, Binder& binder, const sql::UpdateStmt& update) {
    UpdatePlan plan;
    bindUpdate(ctx, binder, update, plan);
}

void prebindDelete(ExecContext& ctx, Binder& binder, const sql::DeleteStmt& del) {
    TargetPlan plan;
    bindTarget(ctx, binder, del.target, del.from, del.where.get(), plan);
}

namespace {

// UPDATE of a view with an INSTEAD OF UPDATE trigger: the trigger gets the view's rows the
// statement reaches as they are (deleted) and as the statement would make them (inserted).
void updateThroughViewTrigger(ExecContext& ctx, Binder& binder, const sql::UpdateStmt& update,
                              UpdatePlan& bound) {
    TargetPlan& plan = bound.target;
    const Source& view = *plan.core.sources[plan.target];
    const int64_t limit = topLimit(ctx, binder, update.top, view.rowCount());
    std::vector<int64_t> tuples = collectTuples(plan.core, ctx, nullptr, 0);
    const auto rows = viewRows(plan, tuples, limit);
    const size_t width = plan.core.sources.size();
    std::vector<std::vector<Value>> before, after;
    std::vector<int> changedColumns;
    for (const auto& s : bound.sets) {
        if (s.sourceColumn >= 0) changedColumns.push_back(s.sourceColumn);
    }
    Frame frame;
    frame.sources = &plan.core.sources;
    frame.ctx = &ctx;
    for (const auto& [row, tupleIndex] : rows) {
        frame.tuple = tuples.data() + tupleIndex * width;
        before.push_back(viewRow(view, row));
        std::vector<Value> changed = before.back();
        for (const auto& s : bound.sets) {
            Value v = s.expr ? s.expr->eval(frame) : Value();
            if (s.sourceColumn >= 0) {
                const DataType& type = view.columns[static_cast<size_t>(s.sourceColumn)].type;
                changed[static_cast<size_t>(s.sourceColumn)] =
                    v.isNull() ? Value::null(type)
                               : convert(v, type, ConversionKind::Implicit, 0, ctx.dateFormat());
            }
            if (!s.variable.empty()) {
                Variable* var = ctx.variables.find(s.variable);
                var->value = convert(v, var->type, ConversionKind::Implicit, 0, ctx.dateFormat());
            }
        }
        after.push_back(std::move(changed));
    }
    const auto count = static_cast<int64_t>(rows.size());
    TriggerFiring instead(ctx, *bound.insteadOfView, view.columns, TriggerEvent::Update);
    ctx.session.lastRowCount = count;
    instead.begin();
    instead.fire(std::move(after), std::move(before), std::move(changedColumns), count);
    if (!ctx.session.settings.noCount) ctx.out.rowCount(count, ctx.line);
}

}  // namespace

void executeUpdate(ExecContext& ctx, const sql::UpdateStmt& update) {
    Binder binder(ctx);
    UpdatePlan bound;
    bindUpdate(ctx, binder, update, bound);
    if (bound.insteadOfView) return updateThroughViewTrigger(ctx, binder, update, bound);
    TargetPlan& plan = bound.target;
    std::vector<UpdateSet>& sets = bound.sets;
    Table& table = *plan.table;
    const TableSchema& schema = table.schema;

    int64_t limit = topLimit(ctx, binder, update.top, table.data().rowCount());
    std::vector<int64_t> tuples = collectTuples(plan.core, ctx, nullptr, scanLimit(plan, limit));
    auto rows = targetRows(plan, tuples, limit);
    size_t width = plan.core.sources.size();

    // An INSTEAD OF trigger gets the rows as they would be, unchecked.
    TriggerFiring instead(ctx, table, TriggerEvent::Update, TriggerTiming::InsteadOf);
    const bool enforce = !instead.active();

    // New values, column by column; constants are converted once.
    std::vector<ColumnStore> values;
    std::vector<int32_t> positions;
    std::vector<int> changedColumns;
    DefaultEvaluator defaults(ctx);
    for (const auto& s : sets) {
        if (s.tableColumn < 0) continue;
        positions.push_back(s.tableColumn);
        changedColumns.push_back(s.tableColumn);
        values.emplace_back(schema.columns[s.tableColumn].type);
        values.back().reserve(rows.size());
    }
    bool perRow = false;
    for (const auto& s : sets)
        perRow = perRow || !s.variable.empty() || (s.expr && !s.expr->isConstant());
    Frame frame;
    frame.sources = &plan.core.sources;
    frame.ctx = &ctx;
    if (!perRow) {
        size_t k = 0;
        for (const auto& s : sets) {
            const ColumnSchema& col = schema.columns[s.tableColumn];
            Value v = s.expr ? valueForColumn(ctx, col, s.expr->eval(frame))
                             : defaults.evaluate(schema, col);
            if (enforce && !rows.empty()) checkNotNull(ctx, schema, col, v, "UPDATE");
            values[k++].fill(rows.size(), v);
        }
    } else {
        size_t done = 0;
        for (const auto& [slot, tupleIndex] : rows) {
            if ((done++ & 1023) == 0) checkCancelled(ctx.session);
            frame.tuple = tuples.data() + tupleIndex * width;
            size_t k = 0;
            for (const auto& s : sets) {
                Value v;
                if (s.tableColumn >= 0) {
                    const ColumnSchema& col = schema.columns[s.tableColumn];
                    v = s.expr ? valueForColumn(ctx, col, s.expr->eval(frame))
                               : defaults.evaluate(schema, col);
                    if (enforce) checkNotNull(ctx, schema, col, v, "UPDATE");
                    values[k++].push(v);
                } else {
                    v = s.expr->eval(frame);
                }
                if (!s.variable.empty()) {
                    Variable* var = ctx.variables.find(s.variable);
                    var->value =
                        convert(v, var->type, ConversionKind::Implicit, 0, ctx.dateFormat());
                }
            }
        }
    }

    // The rows before and after, for the triggers.
    std::vector<std::vector<Value>> before, after;
    auto collectRows = [&] {
        for (size_t r = 0; r < rows.size(); ++r) {
            const size_t slot = static_cast<size_t>(rows[r].first);
            std::vector<Value> row;
            for (const auto& store : table.data().columns)
                row.push_back(store.get(slot));
            before.push_back(row);
            for (size_t k = 0; k < positions.size(); ++k)
                row[static_cast<size_t>(positions[k])] = values[k].get(r);
            after.push_back(std::move(row));
        }
    };
    const auto count = static_cast<int64_t>(rows.size());
    if (instead.active()) {
        collectRows();
        ctx.session.lastRowCount = count;
        instead.begin();
        instead.fire(std::move(after), std::move(before), changedColumns, count);
        if (!ctx.session.settings.noCount) ctx.out.rowCount(count, ctx.line);
        return;
    }

    // CHECK constraints that read a changed column, on the changed rows as they will be.
    CheckEvaluator checks(ctx, schema, changedColumns);
    if (!checks.empty()) {
        for (size_t r = 0; r < rows.size(); ++r) {
            const size_t slot = static_cast<size_t>(rows[r].first);
            checks.check(
                [&](size_t column) {
                    for (size_t k = 0; k < positions.size(); ++k) {
                        if (static_cast<size_t>(positions[k]) == column) return values[k].get(r);
                    }
                    return table.data().columns[column].get(slot);
                },
                "UPDATE");
        }
    }

    // Unique keys: the changed rows as they will be.
    bool keyTouched = false;
    for (const auto& ix : schema.indexes) {
        if (!ix.unique) continue;
        for (const auto& key : ix.keys) {
            for (int c : changedColumns)
                keyTouched = keyTouched || schema.columns[c].id == key.columnId;
        }
    }
    if (keyTouched) {
        std::vector<std::vector<Value>> full;
        std::vector<int64_t> replaced;
        for (size_t r = 0; r < rows.size(); ++r) {
            std::vector<Value> row;
            for (size_t c = 0; c < schema.columns.size(); ++c)
                row.push_back(table.data().columns[c].get(rows[r].first));
            for (size_t k = 0; k < positions.size(); ++k)
                row[positions[k]] = values[k].get(r);
            full.push_back(std::move(row));
            replaced.push_back(rows[r].first);
        }
        checkUniqueIndexes(ctx, table, full, replaced, changedColumns);
    }

    StatementChanges changes(ctx.entryOf(table));
    TriggerFiring triggers(ctx, table, TriggerEvent::Update);
    if (triggers.active()) collectRows();
    ReferentialWrites references(ctx, *changes.entry->database, table, "UPDATE");
    if (!rows.empty() && references.watches(changedColumns)) {
        for (size_t r = 0; r < rows.size(); ++r) {
            const size_t slot = static_cast<size_t>(rows[r].first);
            std::vector<Value> row;
            for (const auto& store : table.data().columns)
                row.push_back(store.get(slot));
            for (size_t k = 0; k < positions.size(); ++k)
                row[static_cast<size_t>(positions[k])] = values[k].get(r);
            references.updated(slot, std::move(row), changedColumns);
        }
        references.finish(changes);
    }
    CascadeTriggerFiring cascades(ctx, references.cascaded());
    if (!rows.empty() && !positions.empty()) {
        Change c;
        c.kind = Change::Kind::UpdateCells;
        c.objectId = schema.id;
        c.rowIds.reserve(rows.size());
        for (const auto& [slot, tupleIndex] : rows)
            c.rowIds.push_back(table.data().rowIds[static_cast<size_t>(slot)]);
        c.positions = std::move(positions);
        c.values = std::move(values);
        changes.add(std::move(c));
    }
    triggers.begin();
    cascades.begin();
    changes.commit(ctx);
    cascades.fire();
    ctx.session.lastRowCount = static_cast<int64_t>(rows.size());
    triggers.fire(std::move(after), std::move(before), changedColumns,
                  static_cast<int64_t>(rows.size()));
    if (!ctx.session.settings.noCount)
        ctx.out.rowCount(static_cast<int64_t>(rows.size()), ctx.line);
}

void executeDelete(ExecContext& ctx, const sql::DeleteStmt& del) {
    Binder binder(ctx);
    TargetPlan plan;
    bindTarget(ctx, binder, del.target, del.from, del.where.get(), plan);
    const Source& target = *plan.core.sources[plan.target];
    if (const ViewSchema* view = viewWithInsteadOf(ctx, target, TriggerEvent::Delete)) {
        // The trigger gets the view's rows the statement reaches.
        const int64_t limit = topLimit(ctx, binder, del.top, target.rowCount());
        std::vector<int64_t> tuples = collectTuples(plan.core, ctx, nullptr, 0);
        std::vector<std::vector<Value>> removed;
        for (const auto& [row, tupleIndex] : viewRows(plan, tuples, limit))
            removed.push_back(viewRow(target, row));
        const auto count = static_cast<int64_t>(removed.size());
        TriggerFiring instead(ctx, *view, target.columns, TriggerEvent::Delete);
        ctx.session.lastRowCount = count;
        instead.begin();
        instead.fire({}, std::move(removed), {}, count);
        if (!ctx.session.settings.noCount) ctx.out.rowCount(count, ctx.line);
        return;
    }
    if (plan.core.sources[plan.target]->kind == Source::Kind::Rowset)
        resolveDerivedTarget(ctx, plan, {});
    int64_t limit = topLimit(ctx, binder, del.top, plan.table->data().rowCount());
    std::vector<int64_t> tuples = collectTuples(plan.core, ctx, nullptr, scanLimit(plan, limit));
    auto rows = targetRows(plan, tuples, limit);
    StatementChanges changes(ctx.entryOf(*plan.table));
    TriggerFiring triggers(ctx, *plan.table, TriggerEvent::Delete);
    TriggerFiring instead(ctx, *plan.table, TriggerEvent::Delete, TriggerTiming::InsteadOf);
    std::vector<std::vector<Value>> removed;
    if (triggers.active() || instead.active()) {
        for (const auto& [slot, tupleIndex] : rows) {
            std::vector<Value> row;
            for (const auto& store : plan.table->data().columns)
                row.push_back(store.get(static_cast<size_t>(slot)));
            removed.push_back(std::move(row));
        }
    }
    if (instead.active()) {
        const auto count = static_cast<int64_t>(rows.size());
        ctx.session.lastRowCount = count;
        instead.begin();
        instead.fire({}, std::move(removed), {}, count);
        if (!ctx.session.settings.noCount) ctx.out.rowCount(count, ctx.line);
        return;
    }
    ReferentialWrites references(ctx, *changes.entry->database, *plan.table, "DELETE");
    if (!rows.empty() && references.needed()) {
        for (const auto& [slot, tupleIndex] : rows)
            references.deleted(static_cast<size_t>(slot));
        references.finish(changes);
    }
    CascadeTriggerFiring cascades(ctx, references.cascaded());
    if (!rows.empty()) {
        Change c;
        c.kind = Change::Kind::DeleteRows;
        c.objectId = plan.table->schema.id;
        for (const auto& [slot, tupleIndex] : rows)
            c.rowIds.push_back(plan.table->data().rowIds[static_cast<size_t>(slot)]);
        changes.add(std::move(c));
    }
    triggers.begin();
    cascades.begin();
    changes.commit(ctx);
    cascades.fire();
    ctx.session.lastRowCount = static_cast<int64_t>(rows.size());
    triggers.fire({}, std::move(removed), {}, static_cast<int64_t>(rows.size()));
    if (!ctx.session.settings.noCount)
        ctx.out.rowCount(static_cast<int64_t>(rows.size()), ctx.line);
}

void executeTruncate(ExecContext& ctx, const sql::TruncateStmt& truncate) {
    InTemporaryDatabase tempdb(ctx.session, temporaryEntryFor(ctx, truncate.table));
    Table* table = ctx.database().findTable(truncate.table.schema, truncate.table.object);
    if (!table) raise(ctx, 4701, {truncate.table.written});
    for (const auto& [t, fk] : referencingKeys(ctx.database(), table->schema.id)) {
        if (t != table) raise(ctx, 4712, {truncate.table.written});
    }
    StatementChanges changes(ctx.entry());
    if (table->data().rowCount() > 0) {
        Change c;
        c.kind = Change::Kind::DeleteRows;
        c.objectId = table->schema.id;
        c.rowIds = table->data().rowIds;
        changes.add(std::move(c));
    }
    // TRUNCATE also restarts the identity.
    TableSchema schema = table->schema;
    if (schema.identityUsed) {
        schema.identityUsed = false;
        schema.identityCurrent = 0;
        changes.putTable(std::move(schema));
    }
    changes.commit(ctx);
}

}  // namespace engine::exec
