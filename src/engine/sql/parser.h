// Parser of T-SQL batches into the syntax tree of ast.h.
//
// parseBatch() parses a whole batch before anything runs, as SQL Server compiles a batch:
// a syntax error anywhere rejects it (102 "Incorrect syntax near 'x'.", 156 near a
// keyword, 105/113 from the lexer, 111 for CREATE VIEW that does not start the batch, 159
// for DROP INDEX without a table). Statements need no separators; semicolons are allowed.
// Thread-safe (no shared state).
#pragma once

#include <string_view>
#include <vector>

#include "engine/sql/ast.h"
#include "engine/types/sql_message.h"

namespace engine::sql {

struct ParseResult {
    Batch batch;
    std::vector<SqlMessage> errors;  // empty when the batch parsed

    bool ok() const { return errors.empty(); }
};

ParseResult parseBatch(std::string_view text);

// Parses a lone expression (a stored default definition such as "((0))").
struct ExprParseResult {
    ExprPtr expr;
    std::vector<SqlMessage> errors;
};
ExprParseResult parseExpression(std::string_view text);

}  // namespace engine::sql
