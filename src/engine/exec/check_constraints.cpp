#include "engine/exec/check_constraints.h"

#include <algorithm>

#include "engine/exec/binder.h"
#include "engine/exec/ddl_support.h"
#include "engine/exec/stored_definitions.h"
#include "engine/sql/parser.h"
#include "engine/types/collation.h"
#include "engine/types/sql_message.h"

namespace engine::exec {

namespace {

// Calls fn on every node of an expression (subqueries' own clauses are not walked).
void walk(const sql::Expr& e, const std::function<void(const sql::Expr&)>& fn) {
    fn(e);
    for (const auto& a : e.args) {
        if (a) walk(*a, fn);
    }
}

void walkMutable(sql::Expr& e, const std::function<void(sql::Expr&)>& fn) {
    fn(e);
    for (auto& a : e.args) {
        if (a) walkMutable(*a, fn);
    }
}

sql::ExprPtr parseDefinition(const std::string& definition) {
    auto parsed = sql::parseExpression(definition);
    if (!parsed.errors.empty()) throw SqlException(parsed.errors);
    return std::move(parsed.expr);
}

// A one-row source with a table's columns, whose cells are read through cell.
void describeTable(Source& source, const TableSchema& table,
                   const std::function<Value(size_t)>* cell) {
    source.kind = Source::Kind::Rowset;
    source.alias = table.name;
    source.objectName = table.name;
    source.schemaName = table.schema;
    source.columns.clear();
    for (const auto& c : table.columns) {
        SourceColumn sc;
        sc.name = c.name;
        sc.type = c.type;
        sc.nullable = c.nullable;
        source.columns.push_back(sc);
    }
    source.rowset = std::make_shared<Rowset>();
    source.rowset->columns = source.columns;
    source.rowset->cellRows = 1;
    source.rowset->cell = [cell](size_t, size_t column) { return (*cell)(column); };
}

}  // namespace

int32_t addCheckConstraint(ExecContext& ctx, StatementChanges& changes, TableSchema& table,
                           const sql::TableConstraint& constraint,
                           std::vector<std::string>& newNames, bool trusted) {
    if (!constraint.name.empty()) {
        bool taken = objectNameTaken(*changes.entry->database, table.schema, constraint.name);
        for (const auto& n : newNames)
            taken = taken || identifierEqual(n, constraint.name);
        if (taken) constraintError(ctx, sqlMessage(2714, {constraint.name}));
    }
    const sql::Expr& expr = *constraint.expr;
    std::vector<std::string> read;
    bool subquery = false;
    walk(expr, [&](const sql::Expr& e) {
        if (e.kind == sql::ExprKind::Column) read.push_back(e.text);
        subquery = subquery || e.kind == sql::ExprKind::Subquery ||
                   e.kind == sql::ExprKind::Exists || e.kind == sql::ExprKind::InQuery ||
                   e.kind == sql::ExprKind::CompareQuery;
    });
    if (subquery) constraintError(ctx, sqlMessage(1046));
    int column = -1;
    if (!constraint.forColumn.empty()) {
        column = table.columnIndex(constraint.forColumn);
        for (const auto& name : read) {
            if (!identifierEqual(name, constraint.forColumn))
                constraintError(ctx, sqlMessage(8141, {constraint.forColumn, table.name}));
        }
    } else if (!read.empty() &&
               std::all_of(read.begin(), read.end(),
                           [&](const std::string& n) { return identifierEqual(n, read[0]); })) {
        // A table's constraint that reads one column belongs to that column, as SQL Server
        // attaches it (its conflicts then name the column).
        column = table.columnIndex(read[0]);
    }
    // The predicate must bind against the table's columns.
    std::function<Value(size_t)> none = [&](size_t c) {
        return Value::null(table.columns[c].type);
    };
    Source source;
    describeTable(source, table, &none);
    std::vector<Source*> sources{&source};
    try {
        Binder binder(ctx);
        Scope scope;
        scope.sources = &sources;
        binder.bindPredicate(expr, scope);
    } catch (SqlException& e) {
        constraintError(ctx, e.primary());
    }

    CheckSchema check;
    check.id = changes.newObjectId();
    check.columnId = column >= 0 ? table.columns[column].id : 0;
    check.name =
        constraint.name.empty()
            ? generatedConstraintName("CK", table.name,
                                      column >= 0 ? table.columns[column].name : "", check.id)
            : constraint.name;
    check.definition = normalizedCheckDefinition(expr);
    check.notTrusted = !trusted;
    check.created = now(ctx);
    newNames.push_back(check.name);
    table.checks.push_back(std::move(check));
    return table.checks.back().id;
}

std::vector<std::string> columnsReadBy(const std::string& definition) {
    std::vector<std::string> read;
    auto expr = parseDefinition(definition);
    walk(*expr, [&](const sql::Expr& e) {
        if (e.kind == sql::ExprKind::Column) read.push_back(e.text);
    });
    return read;
}

std::string withColumnRenamed(const std::string& definition, const std::string& from,
                              const std::string& to) {
    auto expr = parseDefinition(definition);
    walkMutable(*expr, [&](sql::Expr& e) {
        if (e.kind == sql::ExprKind::Column && identifierEqual(e.text, from)) e.text = to;
    });
    return normalizedCheckDefinition(*expr);
}

CheckEvaluator::CheckEvaluator(ExecContext& ctx, const TableSchema& table,
                               const std::vector<int>& changedColumns,
                               const std::function<bool(const CheckSchema&)>& include)
    : ctx_(ctx), table_(table) {
    if (table.checks.empty()) return;  // most tables: nothing to bind
    describeTable(source_, table, &current_);
    sources_.push_back(&source_);
    for (const auto& check : table.checks) {
        if (check.disabled || (include && !include(check))) continue;
        auto expr = parseDefinition(check.definition);
        if (!changedColumns.empty()) {
            bool reads = false;
            walk(*expr, [&](const sql::Expr& e) {
                if (e.kind != sql::ExprKind::Column) return;
                int p = table.columnIndex(e.text);
                reads = reads || std::find(changedColumns.begin(), changedColumns.end(), p) !=
                                     changedColumns.end();
            });
            if (!reads) continue;
        }
        Binder binder(ctx);
        Scope scope;
        scope.sources = &sources_;
        checks_.push_back({&check, binder.bindPredicate(*expr, scope)});
    }
}

void CheckEvaluator::check(const std::function<Value(size_t column)>& cell, const char* verb) {
    current_ = cell;
    Frame frame;
    frame.sources = &sources_;
    const int64_t row = 0;
    frame.tuple = &row;
    frame.ctx = &ctx_;
    for (const auto& bound : checks_) {
        if (bound.predicate->test(frame) != Tri::False) continue;
        const CheckSchema& c = *bound.constraint;
        int column = c.columnId ? table_.columnIndexById(c.columnId) : -1;
        const bool named = column >= 0;
        raise(ctx_, 547,
              {verb, "CHECK", c.name, ctx_.catalog().name(), qualifiedName(ctx_, table_, false),
               named ? ", column '" : "", named ? table_.columns[column].name : "",
               named ? "'" : ""});
    }
}

void CheckEvaluator::check(const std::vector<Value>& row, const char* verb) {
    check([&row](size_t column) { return row[column]; }, verb);
}

}  // namespace engine::exec
