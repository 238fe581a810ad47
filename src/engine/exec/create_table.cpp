// CREATE TABLE, and the PRIMARY KEY / UNIQUE / DEFAULT constraints that CREATE TABLE and
// ALTER TABLE ADD share (CHECK constraints: check_constraints.h).
#include "engine/exec/create_table.h"

#include "engine/exec/check_constraints.h"
#include "engine/exec/ddl_support.h"
#include "engine/exec/foreign_keys.h"
#include "engine/exec/statements.h"
#include "engine/exec/table_writes.h"
#include "engine/types/collation.h"
#include "engine/types/sql_message.h"

namespace engine::exec {

void addDefaultConstraint(ExecContext& ctx, StatementChanges& changes, TableSchema& table,
                          int column, const std::string& requestedName, const sql::Expr& expr,
                          std::vector<std::string>& newNames) {
    ColumnSchema& col = table.columns[column];
    if (!requestedName.empty()) {
        bool taken = objectNameTaken(*changes.entry->database, table.schema, requestedName);
        for (const auto& n : newNames)
            taken = taken || identifierEqual(n, requestedName);
        if (taken) constraintError(ctx, sqlMessage(2714, {requestedName}));
    }
    if (col.defaultId) constraintError(ctx, sqlMessage(1781));
    std::string definition = checkedDefaultDefinition(ctx, expr);
    DefaultSchema d;
    d.id = changes.newObjectId();
    d.name =
        requestedName.empty() ? defaultConstraintName(table.name, col.name, d.id) : requestedName;
    newNames.push_back(d.name);
    d.columnId = col.id;
    d.definition = definition;
    d.created = now(ctx);
    col.defaultId = d.id;
    table.defaults.push_back(std::move(d));
}

void addKeyConstraint(ExecContext& ctx, StatementChanges& changes, TableSchema& table,
                      const sql::TableConstraint& constraint, const std::vector<ColumnStore>* data,
                      const Table* existing, std::vector<std::string>& newNames) {
    bool primary = constraint.kind == sql::TableConstraint::Kind::PrimaryKey;
    if (primary) {
        for (const auto& ix : table.indexes) {
            if (ix.constraint == KeyConstraint::PrimaryKey) {
                constraintError(ctx, existing ? sqlMessage(1779, {table.name})
                                              : sqlMessage(8110, {table.name}));
            }
        }
    }
    IndexSchema index;
    index.unique = true;
    index.constraint = primary ? KeyConstraint::PrimaryKey : KeyConstraint::Unique;
    bool anyClustered = false;
    for (const auto& ix : table.indexes)
        anyClustered = anyClustered || ix.clustered;
    bool clustered = constraint.clustered.value_or(primary && !anyClustered);
    if (clustered && anyClustered) {
        std::string other;
        for (const auto& ix : table.indexes) {
            if (ix.clustered) other = ix.name;
        }
        constraintError(ctx, sqlMessage(1902, {"table", table.name, other}));
    }
    index.clustered = clustered;
    for (const auto& c : constraint.columns) {
        int p = table.columnIndex(c.name);
        if (p < 0) constraintError(ctx, sqlMessage(1911, {c.name}));
        if (isLargeObject(table.columns[p].type))
            constraintError(ctx, sqlMessage(1919, {c.name, table.name}));
        if (primary && table.columns[p].nullable) {
            // Columns named only in a table-level PRIMARY KEY of CREATE TABLE become NOT
            // NULL when they did not say NULL; an existing nullable column cannot.
            if (existing) constraintError(ctx, sqlMessage(8111, {table.name}));
            table.columns[p].nullable = false;
        }
        index.keys.push_back(IndexKey{table.columns[p].id, c.descending});
    }
    index.constraintId = changes.newObjectId();
    index.name = constraint.name.empty()
                     ? keyConstraintName(primary ? "PK" : "UQ", table.name, index.constraintId)
                     : constraint.name;
    if (!constraint.name.empty()) {
        bool taken = objectNameTaken(*changes.entry->database, table.schema, index.name);
        for (const auto& n : newNames)
            taken = taken || identifierEqual(n, index.name);
        if (taken) constraintError(ctx, sqlMessage(2714, {index.name}));
    }
    if (table.indexByName(index.name))
        constraintError(ctx, sqlMessage(1913, {index.name, "table", table.name}));
    newNames.push_back(index.name);
    index.indexId = newIndexId(table, clustered);
    index.created = now(ctx);
    if (existing && data) {
        Table probe;
        probe.schema = table;
        try {
            checkNewUniqueIndex(ctx, probe, index, data);
        } catch (SqlException& e) {
            constraintError(ctx, e.primary());
        }
    }
    table.indexes.push_back(std::move(index));
}

void executeCreateTable(ExecContext& ctx, const sql::CreateTableStmt& create) {
    InTemporaryDatabase tempdb(ctx.session, isLocalTemporary(create.table.object)
                                                ? &ctx.session.temporaryTables.scope(ctx.depth)
                                                : nullptr);
    Database& db = ctx.database();
    const std::string& name = create.table.object;
    const std::string schema = schemaForNewObject(ctx, create.table);
    if (objectNameTaken(db, schema, name)) raise(ctx, 2714, {name});
    StatementChanges changes(ctx.entry());
    TableSchema table;
    table.id = changes.newObjectId();
    table.schema = schema;
    table.name = name;
    table.created = now(ctx);
    int identities = 0;
    int position = 1;
    for (const auto& def : create.columns) {
        if (table.columnIndex(def.name) >= 0) raise(ctx, 2705, {def.name, name});
        ColumnSchema col = columnFromDefinition(ctx, def, position++);
        if (col.identity && ++identities > 1) raise(ctx, 2744, {name});
        col.id = table.nextColumnId++;
        table.columns.push_back(std::move(col));
    }
    std::vector<std::string> newNames;
    for (size_t i = 0; i < create.columns.size(); ++i) {
        const auto& def = create.columns[i];
        if (def.defaultExpr)
            addDefaultConstraint(ctx, changes, table, static_cast<int>(i), def.defaultName,
                                 *def.defaultExpr, newNames);
        if (def.primaryKey || def.unique) {
            sql::TableConstraint inline_;
            inline_.kind = def.primaryKey ? sql::TableConstraint::Kind::PrimaryKey
                                          : sql::TableConstraint::Kind::Unique;
            inline_.name = def.keyName;
            inline_.clustered = def.keyClustered;
            inline_.columns.push_back(sql::IndexColumn{def.name, false});
            addKeyConstraint(ctx, changes, table, inline_, nullptr, nullptr, newNames);
        }
        for (const auto& check : def.checks)
            addCheckConstraint(ctx, changes, table, check, newNames, true);
    }
    for (const auto& c : create.constraints) {
        switch (c.kind) {
            case sql::TableConstraint::Kind::PrimaryKey:
            case sql::TableConstraint::Kind::Unique:
                addKeyConstraint(ctx, changes, table, c, nullptr, nullptr, newNames);
                break;
            case sql::TableConstraint::Kind::Default: {
                int p = table.columnIndex(c.forColumn);
                if (p < 0) constraintError(ctx, sqlMessage(1752, {c.forColumn, name}));
                addDefaultConstraint(ctx, changes, table, p, c.name, *c.expr, newNames);
                break;
            }
            case sql::TableConstraint::Kind::Check:
                addCheckConstraint(ctx, changes, table, c, newNames, true);
                break;
            case sql::TableConstraint::Kind::ForeignKey:
                break;  // once every key is there (one may reference the table itself)
        }
    }
    // Temporary tables keep no FOREIGN KEY constraints, as in SQL Server.
    if (!name.starts_with("#")) {
        for (const auto& def : create.columns) {
            for (const auto& fk : def.references)
                addForeignKey(ctx, changes, table, fk, newNames, true);
        }
        for (const auto& c : create.constraints) {
            if (c.kind == sql::TableConstraint::Kind::ForeignKey)
                addForeignKey(ctx, changes, table, c, newNames, true);
        }
    }
    changes.putTable(std::move(table));
    changes.commit(ctx);
}

}  // namespace engine::exec
