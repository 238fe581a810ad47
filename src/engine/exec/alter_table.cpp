// ALTER TABLE: ADD columns and constraints, ALTER COLUMN, DROP COLUMN, DROP CONSTRAINT.
// Each works on a copy of the table's definition (and, where rows change, on new column
// stores) and commits only when everything is checked.
#include <algorithm>

#include "engine/exec/check_constraints.h"
#include "engine/exec/create_table.h"
#include "engine/exec/ddl_support.h"
#include "engine/exec/foreign_keys.h"
#include "engine/exec/statements.h"
#include "engine/exec/table_writes.h"
#include "engine/types/collation.h"
#include "engine/types/conversion.h"
#include "engine/types/sql_message.h"

namespace engine::exec {

namespace {

// Checks the CHECK constraints added by this statement (ids) on every existing row; cell
// gives a row's value of a column.
void checkExistingRows(ExecContext& ctx, const TableSchema& schema, const std::vector<int32_t>& ids,
                       size_t rows, const std::function<Value(size_t slot, size_t column)>& cell) {
    if (ids.empty() || rows == 0) return;
    CheckEvaluator checks(ctx, schema, {}, [&](const CheckSchema& c) {
        return std::find(ids.begin(), ids.end(), c.id) != ids.end();
    });
    for (size_t slot = 0; slot < rows; ++slot)
        checks.check([&](size_t column) { return cell(slot, column); }, "ALTER TABLE");
}

Table& alteredTable(ExecContext& ctx, const sql::AlterTableStmt& alter) {
    Database& db = ctx.database();
    Table* table = db.findTable(alter.table.schema, alter.table.object);
    if (!table) raise(ctx, 4902, {alter.table.written});
    return *table;
}

void addColumns(ExecContext& ctx, const sql::AlterTableStmt& alter, Table& table) {
    const std::string& tableName = alter.table.object;
    StatementChanges changes(ctx.entry());
    TableSchema schema = table.schema;
    size_t rows = table.rowCount();
    size_t firstNew = schema.columns.size();
    int identities = schema.identityColumn() >= 0 ? 1 : 0;
    int position = static_cast<int>(schema.columns.size()) + 1;
    for (const auto& def : alter.columns) {
        if (schema.columnIndex(def.name) >= 0) raise(ctx, 2705, {def.name, tableName});
        ColumnSchema col = columnFromDefinition(ctx, def, position++);
        if (col.identity && ++identities > 1) raise(ctx, 2744, {tableName});
        if (!col.nullable && !col.identity && !def.defaultExpr && rows > 0)
            raise(ctx, 4901, {def.name, tableName});
        col.id = schema.nextColumnId++;
        schema.columns.push_back(std::move(col));
    }
    std::vector<std::string> newNames;
    for (size_t i = 0; i < alter.columns.size(); ++i) {
        const auto& def = alter.columns[i];
        int p = static_cast<int>(firstNew + i);
        if (def.defaultExpr)
            addDefaultConstraint(ctx, changes, schema, p, def.defaultName, *def.defaultExpr,
                                 newNames);
    }

    // Cells of the existing rows for each new column.
    DefaultEvaluator defaults(ctx);
    std::vector<Change> fills;
    // The rows as they will be, for keys added in the same statement (copied only then).
    bool keysAdded = false;
    for (const auto& c : alter.constraints) {
        keysAdded = keysAdded || c.kind == sql::TableConstraint::Kind::PrimaryKey ||
                    c.kind == sql::TableConstraint::Kind::Unique;
    }
    std::vector<ColumnStore> newData;
    if (keysAdded) newData = table.data().columns;
    for (size_t i = 0; i < alter.columns.size(); ++i) {
        const auto& def = alter.columns[i];
        size_t p = firstNew + i;
        const ColumnSchema& col = schema.columns[p];
        Change add;
        add.kind = Change::Kind::AddColumn;
        add.objectId = schema.id;
        add.position = static_cast<int32_t>(p);
        if (col.identity) {
            // Existing rows are numbered in their stored order.
            add.data = ColumnStore(col.type);
            add.data.reserve(rows);
            for (size_t r = 0; r < rows; ++r) {
                int64_t v = nextIdentity(schema, col);
                add.data.push(valueForColumn(ctx, col, Value::integer(v, TypeId::BigInt)));
            }
            if (keysAdded) newData.push_back(add.data);
        } else if (def.defaultExpr && (!col.nullable || def.withValues) && rows > 0) {
            BoundExpr& e = defaults.expression(schema.defaultById(col.defaultId)->definition);
            Frame frame;
            frame.ctx = &ctx;
            if (e.isConstant()) {
                add.useFill = true;
                add.fill = valueForColumn(ctx, col, e.eval(frame));
            } else {
                add.data = ColumnStore(col.type);
                for (size_t r = 0; r < rows; ++r)
                    add.data.push(valueForColumn(ctx, col, e.eval(frame)));
            }
        } else {
            add.useFill = true;
            add.fill = Value::null(col.type);
        }
        if (keysAdded && add.useFill) {
            ColumnStore filled(col.type);
            filled.fill(rows, add.fill);
            newData.push_back(std::move(filled));
        } else if (keysAdded && !col.identity) {
            newData.push_back(add.data);
        }
        fills.push_back(std::move(add));
    }
    std::vector<int32_t> newChecks;
    for (const auto& def : alter.columns) {
        for (const auto& check : def.checks)
            newChecks.push_back(
                addCheckConstraint(ctx, changes, schema, check, newNames, !alter.withNoCheck));
    }
    for (const auto& c : alter.constraints) {
        switch (c.kind) {
            case sql::TableConstraint::Kind::PrimaryKey:
            case sql::TableConstraint::Kind::Unique:
                addKeyConstraint(ctx, changes, schema, c, &newData, &table, newNames);
                break;
            case sql::TableConstraint::Kind::Default: {
                int p = schema.columnIndex(c.forColumn);
                if (p < 0) constraintError(ctx, sqlMessage(1752, {c.forColumn, tableName}));
                addDefaultConstraint(ctx, changes, schema, p, c.name, *c.expr, newNames);
                break;
            }
            case sql::TableConstraint::Kind::Check:
                newChecks.push_back(
                    addCheckConstraint(ctx, changes, schema, c, newNames, !alter.withNoCheck));
                break;
            default:
                break;
        }
    }
    std::vector<int32_t> newKeys;
    for (const auto& def : alter.columns) {
        for (const auto& fk : def.references)
            newKeys.push_back(addForeignKey(ctx, changes, schema, fk, newNames, !alter.withNoCheck));
    }
    for (const auto& c : alter.constraints) {
        if (c.kind == sql::TableConstraint::Kind::ForeignKey)
            newKeys.push_back(addForeignKey(ctx, changes, schema, c, newNames, !alter.withNoCheck));
    }
    if (!alter.withNoCheck) {
        // The existing rows, with the cells the new columns give them.
        checkExistingRows(ctx, schema, newChecks, rows, [&](size_t slot, size_t column) {
            if (column < firstNew) return table.data().columns[column].get(slot);
            const Change& f = fills[column - firstNew];
            return f.useFill ? f.fill : f.data.get(slot);
        });
        if (!newKeys.empty() && rows > 0) {
            std::vector<ColumnStore> cells = table.data().columns;
            for (const auto& f : fills) {
                if (f.useFill) {
                    cells.emplace_back(f.fill.type());
                    cells.back().fill(rows, f.fill);
                } else {
                    cells.push_back(f.data);
                }
            }
            checkExistingReferences(ctx, schema, cells, newKeys);
        }
    }
    changes.putTable(schema);
    for (auto& f : fills)
        changes.add(std::move(f));
    changes.commit(ctx);
}

void addConstraints(ExecContext& ctx, const sql::AlterTableStmt& alter, Table& table) {
    StatementChanges changes(ctx.entry());
    TableSchema schema = table.schema;
    std::vector<std::string> newNames;
    std::vector<int32_t> newChecks, newKeys;
    for (const auto& c : alter.constraints) {
        switch (c.kind) {
            case sql::TableConstraint::Kind::Check:
                newChecks.push_back(
                    addCheckConstraint(ctx, changes, schema, c, newNames, !alter.withNoCheck));
                break;
            case sql::TableConstraint::Kind::PrimaryKey:
            case sql::TableConstraint::Kind::Unique:
                addKeyConstraint(ctx, changes, schema, c, &table.data().columns, &table, newNames);
                break;
            case sql::TableConstraint::Kind::ForeignKey:
                newKeys.push_back(
                    addForeignKey(ctx, changes, schema, c, newNames, !alter.withNoCheck));
                break;
            case sql::TableConstraint::Kind::Default: {
                int p = schema.columnIndex(c.forColumn);
                if (p < 0)
                    constraintError(ctx, sqlMessage(1752, {c.forColumn, alter.table.object}));
                addDefaultConstraint(ctx, changes, schema, p, c.name, *c.expr, newNames);
                if (c.withValues) {
                    // WITH VALUES: existing NULLs of the column take the default.
                    DefaultEvaluator defaults(ctx);
                    Value v = defaults.evaluate(schema, schema.columns[p]);
                    Change update;
                    update.kind = Change::Kind::UpdateCells;
                    update.objectId = schema.id;
                    update.positions.push_back(p);
                    update.values.emplace_back(schema.columns[p].type);
                    for (size_t r = 0; r < table.data().rowCount(); ++r) {
                        if (!table.data().columns[p].isNull(r)) continue;
                        update.rowIds.push_back(table.data().rowIds[r]);
                        update.values[0].push(v);
                    }
                    changes.putTable(schema);
                    if (!update.rowIds.empty()) changes.add(std::move(update));
                    changes.commit(ctx);
                    return;
                }
                break;
            }
            default:
                break;
        }
    }
    if (!alter.withNoCheck) {
        checkExistingRows(
            ctx, schema, newChecks, table.data().rowCount(),
            [&](size_t slot, size_t column) { return table.data().columns[column].get(slot); });
        checkExistingReferences(ctx, schema, table.data().columns, newKeys);
    }
    changes.putTable(schema);
    changes.commit(ctx);
}

// NOCHECK CONSTRAINT / [WITH CHECK] CHECK CONSTRAINT: CHECK constraints stop or start being
// enforced; WITH CHECK first checks the existing rows (and makes them trusted again).
void enableConstraints(ExecContext& ctx, const sql::AlterTableStmt& alter, Table& table,
                       bool enable) {
    StatementChanges changes(ctx.entry());
    TableSchema schema = table.schema;
    Database& db = ctx.database();
    for (const auto& name : alter.names) {
        auto ref = db.findObject(schema.schema, name);
        if (!ref || ref->parentId != schema.id) raise(ctx, 4917, {name});
        if (ref->kind != ObjectKind::Check && ref->kind != ObjectKind::ForeignKey)
            raise(ctx, 11415, {name});
    }
    std::vector<int32_t> checked;
    auto toggle = [&](auto& c) {
        bool named = alter.names.empty();
        for (const auto& name : alter.names)
            named = named || identifierEqual(name, c.name);
        if (!named) return;
        if (!enable) {
            c.disabled = true;
            return;
        }
        if (alter.withCheck) {
            checked.push_back(c.id);
            c.notTrusted = false;
        } else if (c.disabled) {
            c.notTrusted = true;
        }
        c.disabled = false;
    };
    for (auto& c : schema.checks)
        toggle(c);
    for (auto& f : schema.foreignKeys)
        toggle(f);
    checkExistingRows(ctx, schema, checked, table.data().rowCount(), [&](size_t slot, size_t column) {
        return table.data().columns[column].get(slot);
    });
    checkExistingReferences(ctx, schema, table.data().columns, checked);
    changes.putTable(schema);
    changes.commit(ctx);
}

// The objects that depend on a column, as 5074 messages ("The object 'DF__...' is dependent
// on column 'c'." / "The index 'IX' is dependent on column 'c'.").
std::vector<SqlMessage> dependents(ExecContext& ctx, const TableSchema& schema,
                                   const ColumnSchema& col, bool includeDefault,
                                   bool includeIndexes,
                                   const std::function<bool(const IndexSchema&)>& indexBlocks,
                                   bool includeChecks) {
    std::vector<SqlMessage> out;
    auto add = [&](const char* kind, const std::string& name) {
        SqlMessage m = sqlMessage(5074, {kind, name, "column", col.name});
        m.line = ctx.line;
        out.push_back(m);
    };
    if (includeDefault && col.defaultId) {
        if (const DefaultSchema* d = schema.defaultById(col.defaultId)) add("object", d->name);
    }
    if (includeIndexes) {
        for (const auto& ix : schema.indexes) {
            bool uses = false;
            for (const auto& k : ix.keys)
                uses = uses || k.columnId == col.id;
            if (!uses || !indexBlocks(ix)) continue;
            add(ix.constraint == KeyConstraint::None ? "index" : "object", ix.name);
        }
    }
    if (includeIndexes) {
        // FOREIGN KEY constraints that reference the column or that it belongs to.
        for (const auto& fk : schema.foreignKeys) {
            if (std::find(fk.columnIds.begin(), fk.columnIds.end(), col.id) != fk.columnIds.end())
                add("object", fk.name);
        }
        for (const auto& [t, fk] : referencingKeys(ctx.catalog(), schema.id)) {
            const auto& ids = fk->referencedColumnIds;
            if (std::find(ids.begin(), ids.end(), col.id) != ids.end()) add("object", fk->name);
        }
    }
    if (includeChecks) {
        for (const auto& c : schema.checks) {
            const auto read = columnsReadBy(c.definition);
            if (std::any_of(read.begin(), read.end(),
                            [&](const std::string& n) { return identifierEqual(n, col.name); }))
                add("object", c.name);
        }
    }
    return out;
}

[[noreturn]] void refuse(ExecContext& ctx, std::vector<SqlMessage> details, const char* action,
                         const std::string& column) {
    SqlMessage summary = sqlMessage(4922, {action, column});
    summary.line = ctx.line;
    details.push_back(summary);
    throw SqlException(details);
}

void alterColumn(ExecContext& ctx, const sql::AlterTableStmt& alter, Table& table) {
    const sql::ColumnDefinition& def = alter.columns[0];
    StatementChanges changes(ctx.entry());
    TableSchema schema = table.schema;
    int p = schema.columnIndex(def.name);
    if (p < 0) raise(ctx, 4924, {"ALTER TABLE ALTER COLUMN", def.name, alter.table.object});
    ColumnSchema old = schema.columns[p];
    std::optional<bool> aliasNullable;
    DataType type = declaredType(ctx, def.type, false, p + 1, &aliasNullable);
    bool nullable = def.nullable.value_or(aliasNullable.value_or(true));
    bool typeChanged = !(type == old.type);
    bool baseTypeChanged = type.id != old.type.id;

    // What may not change under dependent objects.
    auto indexBlocks = [&](const IndexSchema& ix) {
        if (ix.constraint != KeyConstraint::None) return typeChanged || nullable != old.nullable;
        bool widening = (type.id == TypeId::VarChar || type.id == TypeId::NVarChar ||
                         type.id == TypeId::VarBinary) &&
                        !baseTypeChanged &&
                        (type.isMax() ? old.type.isMax()
                                      : (!old.type.isMax() && type.length >= old.type.length));
        return typeChanged && !widening;
    };
    // A CHECK constraint lets only the length of a variable-length column change.
    const bool lengthOnly =
        !baseTypeChanged &&
        (type.id == TypeId::VarChar || type.id == TypeId::NVarChar || type.id == TypeId::VarBinary);
    auto blockers = dependents(ctx, schema, old, baseTypeChanged, true, indexBlocks,
                               typeChanged && !lengthOnly);
    if (!blockers.empty()) refuse(ctx, std::move(blockers), "ALTER TABLE ALTER COLUMN", def.name);
    if (old.identity && nullable) {
        nullable = false;
    }

    ColumnSchema& col = schema.columns[p];
    col.type = type;
    col.nullable = nullable;
    changes.putTable(schema);
    const ColumnStore& cells = table.data().columns[p];
    if (typeChanged) {
        checkConversion(old.type, type, ConversionKind::Implicit);
        Change replace;
        replace.kind = Change::Kind::ReplaceColumn;
        replace.objectId = schema.id;
        replace.position = p;
        replace.data = ColumnStore(type);
        replace.data.reserve(cells.size());
        for (size_t r = 0; r < cells.size(); ++r) {
            Value v = cells.get(r);
            if (!v.isNull()) v = assignToColumn(v, type, ctx.dateFormat());
            checkNotNull(ctx, schema, col, v, "UPDATE");
            replace.data.push(v.isNull() ? Value::null(type) : v);
        }
        // Cells stored the same way under the new type (a longer varchar, zeros that become
        // money) keep their place: the new definition retypes them, and neither the journal
        // nor the statement's undo copies the column.
        if (!replace.data.sameCells(cells)) changes.add(std::move(replace));
    } else if (!nullable) {
        for (size_t r = 0; r < cells.size(); ++r)
            checkNotNull(ctx, schema, col, cells.get(r), "UPDATE");
    }
    changes.commit(ctx);
}

void dropColumns(ExecContext& ctx, const sql::AlterTableStmt& alter, Table& table) {
    StatementChanges changes(ctx.entry());
    TableSchema schema = table.schema;
    std::vector<int> positions;
    for (const auto& name : alter.names) {
        int p = schema.columnIndex(name);
        if (p < 0) raise(ctx, 4924, {"ALTER TABLE DROP COLUMN", name, alter.table.object});
        auto blockers = dependents(
            ctx, schema, schema.columns[p], true, true, [](const IndexSchema&) { return true; },
            true);
        if (!blockers.empty()) refuse(ctx, std::move(blockers), "ALTER TABLE DROP COLUMN", name);
        if (schema.columns.size() == 1) raise(ctx, 4923, {name, alter.table.object});
        positions.push_back(table.schema.columnIndex(name));
        schema.columns.erase(schema.columns.begin() + p);
    }
    changes.putTable(schema);
    // Drop the stores from the last position down so earlier positions stay valid.
    std::sort(positions.rbegin(), positions.rend());
    for (int p : positions) {
        Change drop;
        drop.kind = Change::Kind::DropColumn;
        drop.objectId = schema.id;
        drop.position = p;
        changes.add(std::move(drop));
    }
    changes.commit(ctx);
}

void dropConstraints(ExecContext& ctx, const sql::AlterTableStmt& alter, Table& table) {
    StatementChanges changes(ctx.entry());
    TableSchema schema = table.schema;
    Database& db = ctx.database();
    for (const auto& name : alter.names) {
        auto ref = db.findObject(schema.schema, name);
        bool isConstraint = ref && ref->kind != ObjectKind::Table && ref->kind != ObjectKind::View;
        // The detail, then "Could not drop constraint. See previous errors."
        auto refuseDrop = [&](SqlMessage detail) {
            detail.line = ctx.line;
            SqlMessage summary = sqlMessage(3727);
            summary.line = ctx.line;
            throw SqlException(std::vector<SqlMessage>{detail, summary});
        };
        if (!isConstraint) refuseDrop(sqlMessage(3728, {name}));
        if (ref->parentId != schema.id) refuseDrop(sqlMessage(3733, {name, alter.table.object}));
        if (ref->kind == ObjectKind::Default) {
            for (auto& c : schema.columns) {
                if (c.defaultId == ref->id) c.defaultId = 0;
            }
            schema.defaults.erase(
                std::remove_if(schema.defaults.begin(), schema.defaults.end(),
                               [&](const DefaultSchema& d) { return d.id == ref->id; }),
                schema.defaults.end());
        } else if (ref->kind == ObjectKind::ForeignKey) {
            schema.foreignKeys.erase(
                std::remove_if(schema.foreignKeys.begin(), schema.foreignKeys.end(),
                               [&](const ForeignKeySchema& f) { return f.id == ref->id; }),
                schema.foreignKeys.end());
        } else if (ref->kind == ObjectKind::Check) {
            schema.checks.erase(
                std::remove_if(schema.checks.begin(), schema.checks.end(),
                               [&](const CheckSchema& c) { return c.id == ref->id; }),
                schema.checks.end());
        } else {
            // A key that a FOREIGN KEY of another table references stays.
            for (const auto& ix : schema.indexes) {
                if (ix.constraintId != ref->id) continue;
                for (const auto& [t, fk] : referencingKeys(db, schema.id)) {
                    if (fk->referencedIndexId == ix.indexId && t->schema.id != schema.id)
                        refuseDrop(sqlMessage(3725, {name, t->schema.name, fk->name}));
                }
            }
            schema.indexes.erase(
                std::remove_if(schema.indexes.begin(), schema.indexes.end(),
                               [&](const IndexSchema& ix) { return ix.constraintId == ref->id; }),
                schema.indexes.end());
        }
    }
    changes.putTable(schema);
    changes.commit(ctx);
}

}  // namespace

void executeAlterTable(ExecContext& ctx, const sql::AlterTableStmt& alter) {
    InTemporaryDatabase tempdb(ctx.session, temporaryEntryFor(ctx, alter.table));
    Table& table = alteredTable(ctx, alter);
    switch (alter.action) {
        case sql::AlterTableStmt::Action::AddColumns:
            addColumns(ctx, alter, table);
            break;
        case sql::AlterTableStmt::Action::AddConstraints:
            addConstraints(ctx, alter, table);
            break;
        case sql::AlterTableStmt::Action::AlterColumn:
            alterColumn(ctx, alter, table);
            break;
        case sql::AlterTableStmt::Action::DropColumns:
            dropColumns(ctx, alter, table);
            break;
        case sql::AlterTableStmt::Action::DropConstraints:
            dropConstraints(ctx, alter, table);
            break;
        case sql::AlterTableStmt::Action::EnableConstraints:
            enableConstraints(ctx, alter, table, true);
            break;
        case sql::AlterTableStmt::Action::DisableConstraints:
            enableConstraints(ctx, alter, table, false);
            break;
        case sql::AlterTableStmt::Action::Other:
            break;
    }
}

}  // namespace engine::exec
