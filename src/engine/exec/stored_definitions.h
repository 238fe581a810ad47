// Expressions as SQL Server stores them in the catalogue (syscomments, sys.default_constraints,
// sys.check_constraints): the normalised text of DEFAULT and CHECK definitions, which is also
// the text the engine parses back when it evaluates them, so it must mean what was written.
// Thread-safe (pure functions).
#pragma once

#include <string>

#include "engine/sql/ast.h"

namespace engine::exec {

// A DEFAULT definition: "((0))", "('')", "(getdate())", "((-1))", "(NULL)".
std::string normalizedDefinition(const sql::Expr& expr);

// A CHECK definition: the predicate in parentheses, columns bracketed, constants in
// parentheses, comparisons without blanks, parentheses only where precedence needs them,
// BETWEEN and IN written out as comparisons (an IN list last value first), as in
// "([a]>(0) AND [b]<>'')", "([c]='B' OR [c]='A')", "([n] like '[0-9]%')".
std::string normalizedCheckDefinition(const sql::Expr& predicate);

}  // namespace engine::exec
