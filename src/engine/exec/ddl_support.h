// Pieces shared by the DDL statements: SQL Server's generated constraint names, column
// definitions turned into catalogue columns, DEFAULT definitions checked and normalised,
// index ids, and error pairs that end with 1750 ("Could not create constraint...").
// Thread-compatible.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/catalog/schema.h"
#include "engine/exec/context.h"
#include "engine/sql/ast.h"

namespace engine::exec {

// <prefix>__<9 chars of table>__<5 chars of column>__<8 hex digits of the id> (DF, CK), or
// without the column part for a table's constraint.
std::string generatedConstraintName(const char* prefix, const std::string& table,
                                    const std::string& column, int32_t id);
// DF__<9 chars of table>__<5 chars of column>__<8 hex digits of the id>.
std::string defaultConstraintName(const std::string& table, const std::string& column, int32_t id);
// PK__<8 chars of table>__<16 hex digits> / UQ__...
std::string keyConstraintName(const char* prefix, const std::string& table, int32_t id);

// A column of CREATE TABLE / ALTER TABLE ADD as the catalogue keeps it (type resolved,
// nullability decided); position is the column's number in the statement for messages.
ColumnSchema columnFromDefinition(ExecContext& ctx, const sql::ColumnDefinition& def, int position);

// The type a declaration names: a system type or an alias type of the current database
// (its base type; `aliasNullable`, when given, gets the alias type's nullability). Raises
// what resolveTypeNameOrThrow raises for a name that is neither.
DataType declaredType(ExecContext& ctx, const sql::TypeSpec& written, bool inCast = false,
                      int position = 1, std::optional<bool>* aliasNullable = nullptr);
// The base type of an alias type as its text ("varchar(11)") reads; nullopt when it is not
// a system type.
std::optional<sql::TypeSpec> parseBaseType(const std::string& text);

// The stored text of a DEFAULT expression; raises 128 when it names a column.
std::string checkedDefaultDefinition(ExecContext& ctx, const sql::Expr& expr);

// Next free index id: 1 for a clustered index, else the lowest free id from 2.
int32_t newIndexId(const TableSchema& table, bool clustered);

// Raises the detail message followed by 1750.
[[noreturn]] void constraintError(ExecContext& ctx, SqlMessage detail);

// The current time as a datetime (creation dates).
Value now(ExecContext& ctx);

// Whether an object of this name exists in the schema (tables, views and constraints share
// a schema's names).
bool objectNameTaken(Database& db, const std::string& schema, const std::string& name);

// The schema a new object of that name goes to, as stored ("dbo" when the name has none);
// raises 2760 when the database has no such schema.
std::string schemaForNewObject(ExecContext& ctx, const sql::ObjectName& name);

// Stores a procedure's, trigger's or function's definition as one statement: a new module,
// or (ALTER, existing) the same object with its id, name and creation date kept.
void storeModule(ExecContext& ctx, ModuleSchema::Kind kind, const ModuleSchema* existing,
                 const std::string& schema, const std::string& name, const std::string& text,
                 int32_t parentId = 0);

}  // namespace engine::exec
