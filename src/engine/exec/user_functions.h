// Scalar user-defined functions (CREATE / ALTER FUNCTION ... RETURNS type AS BEGIN ...
// RETURN expr END): their definitions, and their calls from expressions.
//
// A definition is kept as written (a module of its own kind) and parsed again when a
// statement that calls it is bound. A call names the function with its schema (dbo.f(x));
// every parameter takes an argument, DEFAULT for the parameter's default. The body runs in
// a scope of its own, one nesting level down (217 beyond 32 levels, recursion included);
// its errors end the statement that called it. What the body may do is checked when the
// function is created (see function_body_rules.h). Thread-compatible.
#pragma once

#include "engine/exec/context.h"
#include "engine/sql/ast.h"

namespace engine::exec {

// CREATE / ALTER FUNCTION (208 to alter one that does not exist, 2714 for a name taken).
void executeFunctionDefinition(ExecContext& ctx, const sql::FunctionStmt& function);

}  // namespace engine::exec
