// SELECT statements: run the query and send its result set (or assign its variables).
#include "engine/exec/binder.h"
#include "engine/exec/statements.h"
#include "engine/types/sql_message.h"

namespace engine::exec {

namespace {

std::vector<ResultColumn> describeColumns(const BoundQuery& query) {
    std::vector<ResultColumn> columns;
    for (const auto& c : query.columns) {
        ResultColumn rc;
        rc.name = c.name;
        rc.type = c.type;
        rc.nullable = c.nullable;
        rc.identity = c.identity;
        if (query.baseTable && c.originColumn >= 0)
            rc.baseColumn = query.baseTable->schema.columns[c.originColumn].name;
        columns.push_back(std::move(rc));
    }
    return columns;
}

}  // namespace

void executeSelect(ExecContext& ctx, const sql::Statement& stmt, const sql::SelectStmt& select) {
    Binder binder(ctx);
    auto query = binder.bindQuery(*select.query, nullptr, true);
    // SET ROWCOUNT n: the statement stops after n rows (as TOP would, after ORDER BY).
    const int64_t limit = ctx.session.settings.rowCountLimit;
    if (ctx.out.streamsResultSets() && isStreamable(*query) && limit <= 0) {
        // A receiver that passes rows on gets them as they are made, never all at once.
        ctx.out.resultSetBegin(describeColumns(*query));
        const int64_t count = executeQueryStreamed(
            *query, ctx, 1024, [&](std::vector<std::vector<Value>>& rows) { ctx.out.resultSetRows(rows); });
        ctx.out.resultSetEnd();
        ctx.session.lastRowCount = count;
        if (!ctx.session.settings.noCount) ctx.out.rowCount(count, stmt.line);
        return;
    }
    Rowset rows = executeQuery(*query, ctx, nullptr);
    if (limit > 0 && rows.rows.size() > static_cast<size_t>(limit)) {
        rows.rows.resize(static_cast<size_t>(limit));
        if (rows.baseSlots.size() > static_cast<size_t>(limit))
            rows.baseSlots.resize(static_cast<size_t>(limit));
    }
    int64_t count = static_cast<int64_t>(rows.rows.size());
    ctx.session.lastRowCount = count;
    bool assigns = !query->cores.front()->assignments.empty();
    if (!assigns) {
        ResultSet set;
        set.columns = describeColumns(*query);
        if (query->baseTable && rows.baseSlots.size() == rows.rows.size()) {
            const Table& t = *query->baseTable;
            set.baseTable =
                TableIdentity{ctx.currentEntry().name, t.schema.schema, t.schema.name, t.schema.id};
            // A table of another database names that database.
            if (const DatabaseEntry* temporary = ctx.session.temporaryTables.holding(t)) {
                set.baseTable->database = temporary->name;
            } else if (ctx.catalog().tableById(t.schema.id) != &t) {
                for (const DatabaseEntry* e : ctx.session.server->databases()) {
                    if (e->database && e->database->tableById(t.schema.id) == &t)
                        set.baseTable->database = e->name;
                }
            }
            set.rowIds.reserve(rows.rows.size());
            for (const auto& slots : rows.baseSlots)
                set.rowIds.push_back(t.data().rowIds[static_cast<size_t>(slots[0])]);
        }
        set.rows = std::move(rows.rows);
        ctx.out.resultSet(std::move(set));
    }
    if (!ctx.session.settings.noCount) ctx.out.rowCount(count, stmt.line);
}

}  // namespace engine::exec
