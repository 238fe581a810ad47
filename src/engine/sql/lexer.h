// Lexer of T-SQL batches.
//
// Splits a batch into tokens. Blanks, tabs, line feeds, CR+LF and carriage returns alone
// all separate tokens; a carriage return alone also ends a line, both for "--" comments and
// for the line numbers of messages (the updater sends batches whose lines end with a bare
// CR). Block comments nest. Lexical errors are SQL Server's: 105 for an unclosed string
// (followed by 102), 113 for an unclosed block comment. Thread-safe (no shared state).
#pragma once

#include <string_view>
#include <vector>

#include "engine/sql/token.h"
#include "engine/types/sql_message.h"

namespace engine::sql {

struct LexResult {
    std::vector<Token> tokens;  // always ends with an End token
    std::vector<SqlMessage> errors;
};

LexResult tokenize(std::string_view batch);

}  // namespace engine::sql
