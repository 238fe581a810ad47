// One function per statement kind. Each binds its statement against the catalogue as it
// is when the statement runs, works out the statement's effects without changing
// anything, and then commits them (journal, then apply), so that a statement that fails
// changes nothing. Errors are raised as SqlException with SQL Server's messages.
// prebind() is the batch compile step: it binds a statement whose objects exist already,
// raising its compile errors (207 ...) before any statement of the batch runs.
// Thread-compatible.
#pragma once

#include "engine/exec/context.h"
#include "engine/sql/ast.h"

namespace engine::exec {

class Binder;
struct BoundQuery;

void executeSelect(ExecContext& ctx, const sql::Statement& stmt, const sql::SelectStmt& select);
// SELECT ... INTO t: the query level that names the new table, or null.
const sql::SelectCore* intoCore(const sql::SelectStmt& select);
void executeSelectInto(ExecContext& ctx, const sql::Statement& stmt, const sql::SelectStmt& select);
// The columns of the table SELECT INTO makes from its query (1038 for a column without a
// name, 2705 for a name given twice); checked when the batch is compiled too.
TableSchema selectIntoSchema(ExecContext& ctx, const BoundQuery& query, const std::string& name);
void executeInsert(ExecContext& ctx, const sql::InsertStmt& insert);
void executeUpdate(ExecContext& ctx, const sql::UpdateStmt& update);
void executeDelete(ExecContext& ctx, const sql::DeleteStmt& del);
void executeTruncate(ExecContext& ctx, const sql::TruncateStmt& truncate);

void executeCreateTable(ExecContext& ctx, const sql::CreateTableStmt& create);
void executeAlterTable(ExecContext& ctx, const sql::AlterTableStmt& alter);
void executeCreateIndex(ExecContext& ctx, const sql::CreateIndexStmt& create);
void executeDropIndex(ExecContext& ctx, const sql::DropIndexStmt& drop);
void executeDropObjects(ExecContext& ctx, const sql::DropObjectsStmt& drop);
void executeCreateView(ExecContext& ctx, const sql::CreateViewStmt& create);
void executeDatabaseStatement(ExecContext& ctx, const sql::DatabaseStmt& stmt);
void executeGrant(ExecContext& ctx, const sql::GrantStmt& grant);
void executeSchemaStatement(ExecContext& ctx, const sql::SchemaStmt& stmt);
void executeProcedureDefinition(ExecContext& ctx, const sql::ProcedureStmt& proc);
void executeFunctionDefinition(ExecContext& ctx, const sql::FunctionStmt& function);
// CREATE TYPE ... FROM / DROP TYPE, and the same through sp_addtype / sp_droptype.
void executeTypeStatement(ExecContext& ctx, const sql::TypeStmt& stmt);
void createAliasType(ExecContext& ctx, const std::string& schema, const std::string& name,
                     const std::string& baseText, std::optional<bool> nullable);
void dropAliasType(ExecContext& ctx, const std::string& name, bool ifExists);
void executeLogin(ExecContext& ctx, const sql::LoginStmt& stmt);

// EXEC of a procedure (the system procedures) or of a dynamic string.
void executeExec(ExecContext& ctx, const sql::ExecStmt& exec);

// Runs a batch text as a nested batch (EXEC ('...'), sp_executesql): its own variables,
// its own compile step; its errors end only the nested batch unless they abort batches.
void runNestedBatch(ExecContext& parent, std::string_view text);

// Compile-time binding of a DML or SELECT statement (see the header comment). Raises
// DeferredResolution when an object it names does not exist yet.
void prebind(ExecContext& ctx, const sql::Statement& stmt);

// The binding halves of UPDATE and DELETE (used by prebind).
void prebindUpdate(ExecContext& ctx, Binder& binder, const sql::UpdateStmt& update);
void prebindDelete(ExecContext& ctx, Binder& binder, const sql::DeleteStmt& del);

// Statement kinds whose errors are followed by "The statement has been terminated."
bool terminatesStatement(int number);

}  // namespace engine::exec
