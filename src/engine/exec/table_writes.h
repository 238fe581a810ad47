// What every write to a table checks and builds, shared by INSERT, UPDATE, DELETE, the
// row operations of the session API and ALTER TABLE: values converted for their column
// (conversion errors, 8152 on truncation), defaults and identity values of new rows, NOT
// NULL (515), and unique indexes with SQL Server's duplicate-key errors (2627 for PRIMARY
// KEY / UNIQUE constraints, 2601 for unique indexes, 1505 when an index is created over
// duplicates). Thread-compatible.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/catalog/database.h"
#include "engine/exec/bound_expr.h"
#include "engine/exec/context.h"

namespace engine::exec {

// The value as stored in the column (implicit conversion, truncation check).
Value valueForColumn(ExecContext& ctx, const ColumnSchema& column, const Value& value);

// Evaluates DEFAULT definitions of a table's columns (parsed once per statement).
class DefaultEvaluator {
  public:
    explicit DefaultEvaluator(ExecContext& ctx) : ctx_(ctx) {}
    // The column's default for a new row (NULL when it has none), converted.
    Value evaluate(const TableSchema& table, const ColumnSchema& column);
    // The default expression of a definition text ("((0))"), as a bound constant-scope
    // expression; raises on a definition that cannot be used.
    BoundExpr& expression(const std::string& definition);

  private:
    ExecContext& ctx_;
    std::map<std::string, BoundExprPtr> cache_;
};

// "(7)", "(B1234, <NULL>)": a key as duplicate-key messages print it.
std::string keyText(const std::vector<Value>& key);

// Raises 515 for a NULL in a NOT NULL column ("INSERT" or "UPDATE" fails).
void checkNotNull(ExecContext& ctx, const TableSchema& table, const ColumnSchema& column,
                  const Value& value, const char* verb);

// Checks the unique indexes of a table against a change: rows is the table as it will be
// for the rows that change (new rows, and updated rows with their new values: full rows
// in table column order), replacedSlots the slots those rows replace (updates) or remove
// (-1 for inserted rows). Only indexes that read a column in changedColumns are checked
// (all when empty). Raises 2627/2601 as an INSERT or UPDATE would.
void checkUniqueIndexes(ExecContext& ctx, const Table& table,
                        const std::vector<std::vector<Value>>& rows,
                        const std::vector<int64_t>& replacedSlots,
                        const std::vector<int>& changedColumns);

// Whether a unique index of the table reads one of changedColumns.
bool uniqueKeyTouched(const TableSchema& schema, const std::vector<int>& changedColumns);

// Checks that the rows of a table hold no duplicate keys for an index about to be created
// (1505 with the first duplicate key).
void checkNewUniqueIndex(ExecContext& ctx, const Table& table, const IndexSchema& index,
                         const std::vector<ColumnStore>* columns = nullptr);

// Next identity value of a table (and advances the schema's counter in place).
int64_t nextIdentity(TableSchema& schema, const ColumnSchema& column);

}  // namespace engine::exec
