// The binder: resolves the names of a statement against the catalogue and the batch's
// variables, types every expression with SQL Server's rules and produces bound queries
// and expressions ready to run.
//
// Errors are SQL Server's compile errors of the statement: 208 (object), 207 (column),
// 209 (ambiguous column), 4104 (multi-part identifier), 137 (variable), 195 (function),
// 8120 (column not in GROUP BY), 147 (aggregate in WHERE), 116 (subquery with several
// columns), 1033 (ORDER BY in a subquery without TOP) ... raised as SqlException.
// Thread-compatible (one binder per statement).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/exec/bound_expr.h"
#include "engine/exec/context.h"
#include "engine/exec/query.h"
#include "engine/sql/ast.h"

namespace engine::exec {

struct Scope {
    Scope* outer = nullptr;
    std::vector<Source*>* sources = nullptr;
    // Grouped query: non-aggregated expressions must be GROUP BY expressions.
    bool grouped = false;
    const std::vector<const sql::Expr*>* groupExprs = nullptr;
    std::vector<const sql::Expr*> groupExprStorage;  // what groupExprs points to
    std::vector<BoundExprPtr>* groupKeys = nullptr;
    std::vector<AggregateSpec>* aggregates = nullptr;  // where aggregates are collected
    bool aggregatesAllowed = false;
    const char* clause = "";  // for messages
    // Set when something in this scope (or below) refers to an enclosing scope.
    bool correlated = false;
};

// Raised in compile mode when a statement refers to an object that does not exist yet:
// the statement is compiled when it runs (deferred name resolution).
struct DeferredResolution {};

class Binder {
  public:
    explicit Binder(ExecContext& ctx);

    // In compile mode missing objects raise DeferredResolution instead of 208, and no
    // database is locked (definitions are read as they stand).
    void setCompileMode(bool on) { compileMode_ = on; }
    // Binds over the definitions as they stand, without locking (metadata functions).
    void setWithoutLocks(bool on) { withoutLocks_ = on; }
    // The one query level that may have INTO (a SELECT INTO statement's first); INTO
    // anywhere else is a syntax error.
    void allowInto(const sql::SelectCore* core) { intoCore_ = core; }

    std::unique_ptr<BoundQuery> bindQuery(const sql::QueryExpr& query, Scope* outer,
                                          bool allowOrderBy, bool* correlated = nullptr);
    BoundExprPtr bindScalar(const sql::Expr& expr, Scope& scope);
    BoundPredicatePtr bindPredicate(const sql::Expr& expr, Scope& scope);

    // FROM clause of a query level (also the FROM of UPDATE/DELETE).
    void bindFrom(const std::vector<sql::TableRefPtr>& from, BoundCore& core, Scope& scope);
    // A named base table (for INSERT/UPDATE/DELETE targets); 208 when missing.
    Table* resolveTable(const sql::ObjectName& name, int line);
    // Plans how FROM and WHERE run (core.plan, core.residualWhere): see planner.cpp.
    static void planJoins(BoundCore& core);

    // The current database (locked for the statement unless binding without locks).
    Database& database();

  private:
    bool locking() const { return !compileMode_ && !withoutLocks_; }
    // The database of a name's database part (the current one when empty), locked like
    // database(); the session's tempdb scope holding a #table; nullptr when there is no
    // such database.
    Database* databaseFor(const sql::ObjectName& object);
    friend struct CoreBuilder;
    std::unique_ptr<Source> bindTableRef(const sql::TableRef& ref, BoundCore& core, Scope& scope,
                                         std::unique_ptr<JoinNode>& node);
    std::unique_ptr<JoinNode> bindJoinTree(const sql::TableRef& ref, BoundCore& core, Scope& scope);
    std::unique_ptr<BoundCore> bindCore(const sql::SelectCore& core, Scope* outer, Scope& scope,
                                        bool& correlated);
    BoundExprPtr bindColumn(const sql::Expr& expr, Scope& scope);
    BoundExprPtr bindFunction(const sql::Expr& expr, Scope& scope);
    BoundExprPtr bindAggregate(const sql::Expr& expr, Scope& scope);
    BoundExprPtr bindGrouping(const sql::Expr& expr, Scope& scope);
    BoundExprPtr bindLiteral(const sql::Expr& expr);
    BoundExprPtr bindCast(const sql::Expr& expr, Scope& scope);
    BoundExprPtr bindCase(const sql::Expr& expr, Scope& scope);
    BoundExprPtr bindMetadataFunction(const std::string& name, const sql::Expr& expr, Scope& scope,
                                      bool& handled);
    std::unique_ptr<Source> systemSource(const sql::ObjectName& name);
    std::unique_ptr<Source> functionSource(const sql::TableRef& ref, Scope& scope);
    // In a trigger's body: the tables inserted and deleted (triggers.cpp), and UPDATE(c).
    std::unique_ptr<Source> triggerSource(const sql::TableRef& ref);
    BoundPredicatePtr bindUpdatedColumn(const sql::Expr& e);
    // A call of a scalar user function, schema.f(...) (user_functions.cpp); 4121 when there
    // is no such function.
    BoundExprPtr bindUserFunction(const sql::Expr& e, Scope& scope);
    std::unique_ptr<Source> viewSource(const ViewSchema& view, const std::string& alias, int line,
                                       BoundCore& core);

    ExecContext& ctx_;
    bool compileMode_ = false;
    bool withoutLocks_ = false;
    const sql::SelectCore* intoCore_ = nullptr;
    int viewDepth_ = 0;
};

// Structural equality of two expressions (GROUP BY matching).
bool sameExpression(const sql::Expr& a, const sql::Expr& b);

// Builds the value of a literal.
Value literalValue(const sql::Expr& literal);

}  // namespace engine::exec
