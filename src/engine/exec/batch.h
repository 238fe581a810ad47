// Running a batch: parse it whole, compile it (variables declared before use, 137;
// statements over existing tables bound so that 207 rejects the batch before anything
// runs), then run its statements in order with SQL Server's control flow (IF/ELSE,
// BEGIN/END, WHILE, BREAK, CONTINUE, RETURN) and error scopes: most errors end their
// statement and the batch goes on; conversion errors and the compile errors of deferred
// statements end the batch. Thread-compatible.
#pragma once

#include <string_view>

#include "engine/exec/context.h"
#include "engine/sql/ast.h"
#include "engine/sql/parser.h"

namespace engine::exec {

// Runs a batch; everything it sends back goes to ctx.out.
void runBatch(ExecContext& ctx, std::string_view text);
// The same for a batch parsed already (its errors, if any, are sent back). namesBound says
// that the compile step bound the batch's names without error against the definitions as they
// are now, with the same variables: it is not done again. Returns whether the compile step
// passed (the batch ran).
bool runParsedBatch(ExecContext& ctx, const sql::ParseResult& parsed, bool namesBound = false);
// Compiles and runs a procedure's body in ctx (its parameters declared there already);
// returns the status RETURN gave (0 without one).
int runProcedureBody(ExecContext& ctx, const std::vector<sql::StatementPtr>& body);
// Compiles and runs a scalar function's body in ctx (ctx.function set, its parameters
// declared); its errors are raised to the caller.
void runFunctionBody(ExecContext& ctx, const std::vector<sql::StatementPtr>& body);

}  // namespace engine::exec
