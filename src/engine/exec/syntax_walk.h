// Walks over the syntax tree of a statement: every expression it holds, subqueries
// included, in the order they are written. Used by the compile steps that look at a
// statement before it runs (variables declared before use, what a function's body may do).
// Thread-safe (pure functions).
#pragma once

#include <functional>
#include <string>

#include "engine/sql/ast.h"

namespace engine::exec {

using ExprVisitor = std::function<void(const sql::Expr&)>;

void walkExpr(const sql::Expr& e, const ExprVisitor& visit);
void walkTableRef(const sql::TableRef& ref, const ExprVisitor& visit);
void walkQuery(const sql::QueryExpr& q, const ExprVisitor& visit);
// The expressions of one statement (not of the statements nested in it), and the
// variables it assigns.
void walkStatement(const sql::Statement& s, const ExprVisitor& visit,
                   const std::function<void(const std::string&)>& assigned);

}  // namespace engine::exec
