// Constraints that CREATE TABLE and ALTER TABLE ADD build the same way.
// Thread-compatible.
#pragma once

#include <string>
#include <vector>

#include "engine/catalog/schema.h"
#include "engine/exec/context.h"
#include "engine/sql/ast.h"

namespace engine::exec {

// Adds a DEFAULT constraint on table.columns[column] (1781 when it has one, 2714 when the
// name is taken; both followed by 1750). newNames holds names given earlier in the same
// statement.
void addDefaultConstraint(ExecContext& ctx, StatementChanges& changes, TableSchema& table,
                          int column, const std::string& requestedName, const sql::Expr& expr,
                          std::vector<std::string>& newNames);

// Adds a PRIMARY KEY or UNIQUE constraint with its index. For an existing table, data is
// its rows (checked for duplicates: 1505 + 1750) and existing the table.
void addKeyConstraint(ExecContext& ctx, StatementChanges& changes, TableSchema& table,
                      const sql::TableConstraint& constraint, const std::vector<ColumnStore>* data,
                      const Table* existing, std::vector<std::string>& newNames);

}  // namespace engine::exec
