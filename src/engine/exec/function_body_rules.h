// What a scalar function's body may hold, checked when the function is created, as SQL
// Server refuses side effects in functions: no writes to tables, no PRINT, RAISERROR or
// THROW, no transactions, no SET options, no TRY blocks, no dynamic SQL, no NEWID() or
// RAND() (443); no SELECT that sends rows to the client (444); and the body ends with
// RETURN (455). Thread-safe (reads the syntax tree only).
#pragma once

#include "engine/exec/context.h"
#include "engine/sql/ast.h"

namespace engine::exec {

void checkFunctionBody(const ExecContext& ctx, const sql::FunctionStmt& function);

}  // namespace engine::exec
