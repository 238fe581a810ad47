// CHECK constraints: adding them to a table's definition (CREATE TABLE, ALTER TABLE ADD), what
// their stored definitions read, and enforcing them on the rows a statement writes.
//
// A row fails a constraint when the predicate is false for it; a NULL (unknown) result
// passes, as in SQL Server. A failure is 547 ("The INSERT statement conflicted with the CHECK
// constraint "CK_T_a". The conflict occurred in database "Db", table "dbo.T", column 'a'.").
// Constraints are evaluated from their stored definition, so what the catalogue shows is what
// is enforced. Thread-compatible (an evaluator belongs to one statement).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/catalog/schema.h"
#include "engine/exec/bound_expr.h"
#include "engine/exec/context.h"
#include "engine/exec/source.h"
#include "engine/sql/ast.h"

namespace engine::exec {

// Adds a CHECK constraint of CREATE TABLE / ALTER TABLE to table (its columns as they will
// be): names it when it has no name (CK__<table>__<column>__<id>), stores its normalised
// definition, and refuses what SQL Server refuses, each error followed by 1750: 2714 (the
// name is taken), 207 (an unknown column), 8141 (a column's constraint that reads another
// column), 1046 (a subquery). trusted is false when the existing rows go unchecked (WITH
// NOCHECK). Returns the new constraint's id.
int32_t addCheckConstraint(ExecContext& ctx, StatementChanges& changes, TableSchema& table,
                           const sql::TableConstraint& constraint,
                           std::vector<std::string>& newNames, bool trusted);

// The columns a stored definition reads (names as written in it).
std::vector<std::string> columnsReadBy(const std::string& definition);
// The stored definition with a column renamed (sp_rename).
std::string withColumnRenamed(const std::string& definition, const std::string& from,
                              const std::string& to);

// The CHECK constraints of a table bound once for a statement, tested on rows as they will
// be stored.
class CheckEvaluator {
  public:
    // Binds the enabled constraints of table that read a column at one of changedColumns
    // (positions in table.columns; every constraint when empty) and that include accepts
    // (every one when empty).
    CheckEvaluator(ExecContext& ctx, const TableSchema& table,
                   const std::vector<int>& changedColumns = {},
                   const std::function<bool(const CheckSchema&)>& include = {});
    CheckEvaluator(const CheckEvaluator&) = delete;
    CheckEvaluator& operator=(const CheckEvaluator&) = delete;

    bool empty() const { return checks_.empty(); }
    // Raises 547 for verb ("INSERT", "UPDATE", "ALTER TABLE") when the row fails a
    // constraint; cell gives the row's value of each column (by position).
    void check(const std::function<Value(size_t column)>& cell, const char* verb);
    void check(const std::vector<Value>& row, const char* verb);

  private:
    struct Bound {
        const CheckSchema* constraint;
        BoundPredicatePtr predicate;
    };
    ExecContext& ctx_;
    const TableSchema& table_;
    Source source_;
    std::vector<Source*> sources_;
    std::function<Value(size_t)> current_;
    std::vector<Bound> checks_;
};

}  // namespace engine::exec
