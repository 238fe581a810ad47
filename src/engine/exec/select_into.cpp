// SELECT ... INTO t: a new table shaped as the query's result, holding its rows.
//
// The columns take the result's names, types and nullability; an identity column read
// straight from the single table the query reads keeps its IDENTITY property (not through a
// join, grouping, DISTINCT, UNION or an expression, nor when selected twice), as on SQL
// Server. Constraints, defaults and indexes are not copied. A #table is made in the
// session's tempdb scope of the running level.
#include <algorithm>

#include "engine/exec/binder.h"
#include "engine/exec/ddl_support.h"
#include "engine/exec/statements.h"
#include "engine/exec/table_writes.h"
#include "engine/types/collation.h"
#include "engine/types/conversion.h"
#include "engine/types/sql_message.h"

namespace engine::exec {

namespace {

// The identity column of the query's single table that the result reads unchanged, once.
const ColumnSchema* inheritedIdentity(const BoundQuery& query, const SourceColumn& column) {
    if (!column.identity || !query.baseTable || column.originColumn < 0) return nullptr;
    const auto reads = [&](const SourceColumn& c) {
        return c.identity && c.originColumn == column.originColumn;
    };
    if (std::count_if(query.columns.begin(), query.columns.end(), reads) != 1) return nullptr;
    return &query.baseTable->schema.columns[static_cast<size_t>(column.originColumn)];
}

}  // namespace

TableSchema selectIntoSchema(ExecContext& ctx, const BoundQuery& query, const std::string& name) {
    TableSchema table;
    table.name = name;
    for (const SourceColumn& c : query.columns) {
        if (c.name.empty()) raise(ctx, 1038);
        if (table.columnIndex(c.name) >= 0) raise(ctx, 2705, {c.name, name});
        ColumnSchema column;
        column.id = table.nextColumnId++;
        column.name = c.name;
        column.type = c.type;
        column.nullable = c.nullable;
        if (const ColumnSchema* identity = inheritedIdentity(query, c)) {
            column.identity = true;
            column.nullable = false;
            column.identitySeed = identity->identitySeed;
            column.identityIncrement = identity->identityIncrement;
        }
        table.columns.push_back(std::move(column));
    }
    return table;
}

const sql::SelectCore* intoCore(const sql::SelectStmt& select) {
    if (!select.query || select.query->cores.empty()) return nullptr;
    const sql::SelectCore& first = select.query->cores.front();
    return first.into.empty() ? nullptr : &first;
}

void executeSelectInto(ExecContext& ctx, const sql::Statement& stmt, const sql::SelectStmt& select) {
    const sql::ObjectName& target = intoCore(select)->into;
    Binder binder(ctx);
    binder.allowInto(intoCore(select));
    auto query = binder.bindQuery(*select.query, nullptr, true);
    TableSchema table = selectIntoSchema(ctx, *query, target.object);

    // The query runs where it was written; only the new table may be in tempdb.
    Rowset rows = executeQuery(*query, ctx, nullptr);
    const int64_t limit = ctx.session.settings.rowCountLimit;
    if (limit > 0 && rows.rows.size() > static_cast<size_t>(limit))
        rows.rows.resize(static_cast<size_t>(limit));

    InTemporaryDatabase tempdb(ctx.session, isLocalTemporary(target.object)
                                                ? &ctx.session.temporaryTables.scope(ctx.depth)
                                                : nullptr);
    Database& db = ctx.database();
    table.schema = schemaForNewObject(ctx, target);
    if (objectNameTaken(db, table.schema, table.name)) raise(ctx, 2714, {table.name});
    StatementChanges changes(ctx.entry());
    table.id = changes.newObjectId();
    table.created = now(ctx);

    Change insert;
    insert.kind = Change::Kind::InsertRows;
    insert.objectId = table.id;
    const int identity = table.identityColumn();
    for (const ColumnSchema& column : table.columns) {
        ColumnStore store(column.type);
        store.reserve(rows.rows.size());
        insert.values.push_back(std::move(store));
    }
    for (size_t r = 0; r < rows.rows.size(); ++r) {
        insert.rowIds.push_back(static_cast<RowId>(r + 1));
        for (size_t c = 0; c < table.columns.size(); ++c) {
            const Value v = valueForColumn(ctx, table.columns[c], rows.rows[r][c]);
            if (static_cast<int>(c) == identity && !v.isNull()) {
                const int64_t n = convert(v, DataType::of(TypeId::BigInt)).asInt64();
                const bool further = !insert.identityUsed ||
                                     (table.columns[c].identityIncrement > 0 ? n > insert.identityCurrent
                                                                            : n < insert.identityCurrent);
                if (further) insert.identityCurrent = n;
                insert.identityUsed = true;
            }
            insert.values[c].push(v);
        }
    }
    const auto count = static_cast<int64_t>(rows.rows.size());
    changes.putTable(std::move(table));
    if (count > 0) changes.add(std::move(insert));
    changes.commit(ctx);
    ctx.session.lastRowCount = count;
    if (!ctx.session.settings.noCount) ctx.out.rowCount(count, stmt.line);
}

}  // namespace engine::exec
