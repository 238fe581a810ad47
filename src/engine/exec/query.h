// Bound queries and their execution: FROM and WHERE through the join plan (join.h), GROUP
// BY with aggregates, HAVING, the select list, DISTINCT, UNION [ALL], EXCEPT and INTERSECT,
// ORDER BY under the collation, TOP.
//
// A query is bound once per statement execution and may run several times (a correlated
// subquery runs once per outer row). Execution produces a Rowset with provenance.
// Thread-compatible.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/exec/bound_expr.h"
#include "engine/exec/source.h"
#include "engine/sql/ast.h"

namespace engine::exec {

struct JoinNode {
    bool leaf = true;
    int source = -1;  // leaf
    sql::JoinKind kind = sql::JoinKind::Inner;
    std::unique_ptr<JoinNode> left, right;
    BoundPredicatePtr on;
    // Equality conjuncts of ON usable as hash keys: left side reads only the left
    // subtree, right side only the right subtree; both converted to keyTypes before
    // hashing so that equal values hash equal.
    std::vector<const BoundExpr*> leftKeys, rightKeys;
    std::vector<DataType> keyTypes;
};

struct JoinBlock;

// An input of a join block: a scan of one source, or an outer join whose two sides are
// blocks of their own.
struct BlockInput {
    int source = -1;                      // a scan, or
    const JoinNode* outerJoin = nullptr;  // an outer join (kind, ON, hash keys)
    std::unique_ptr<JoinBlock> left, right;
    std::vector<int> sources;  // every source the input reads
    // Conjuncts over these sources alone: applied while scanning, or to the outer join's
    // result.
    std::vector<const BoundPredicate*> filters;
};

// A conjunct that relates several inputs of a block. An equality whose sides read
// disjoint sets of inputs can be a hash-join key.
struct BlockConjunct {
    const BoundPredicate* predicate = nullptr;
    std::vector<int> inputs;  // sorted
    const BoundExpr* left = nullptr;
    const BoundExpr* right = nullptr;
    std::vector<int> leftInputs, rightInputs;  // sorted; set for hash keys only
    DataType keyType;
};

// Inputs joined by inner joins and the conjuncts (of WHERE and of inner joins' ON) that
// relate them. The order of the joins is chosen when the block runs, from the sizes of
// its inputs after their filters.
struct JoinBlock {
    std::vector<BlockInput> inputs;
    std::vector<BlockConjunct> conjuncts;
    // Conjuncts whose sources cannot be told (correlated subqueries): on the block's result.
    std::vector<const BoundPredicate*> residual;
};

enum class AggregateKind { Count, CountStar, Sum, Avg, Min, Max };

struct AggregateSpec {
    AggregateKind kind = AggregateKind::Count;
    BoundExprPtr argument;  // null for COUNT(*)
    bool distinct = false;
    DataType resultType;
};

struct OutputColumn {
    std::string name;
    BoundExprPtr expr;
};

struct VariableAssignment {
    std::string variable;
    BoundExprPtr expr;
};

struct BoundQuery;

struct BoundCore {
    std::vector<std::unique_ptr<Source>> ownedSources;
    std::vector<std::unique_ptr<BoundQuery>> derivedQueries;  // of derived tables and views
    std::vector<Source*> sources;
    std::vector<std::unique_ptr<JoinNode>> from;  // comma-separated items (cross product)
    BoundPredicatePtr where;
    // How FROM and WHERE run (see Binder::planJoins); null without FROM.
    std::unique_ptr<JoinBlock> plan;
    // WHERE conjuncts on the rows the plan makes: without FROM, every conjunct.
    std::vector<const BoundPredicate*> residualWhere;
    bool grouped = false;
    std::vector<BoundExprPtr> groupKeys;
    // ROLLUP, CUBE, GROUPING SETS: the keys of each grouping set (indexes into groupKeys,
    // each key once). Empty: one set of every key.
    std::vector<std::vector<int>> groupingSets;
    std::vector<AggregateSpec> aggregates;
    BoundPredicatePtr having;
    std::vector<OutputColumn> outputs;
    std::vector<VariableAssignment> assignments;  // SELECT @v = ...
    bool distinct = false;
    // TOP of this core (a single-core query applies it after ORDER BY).
    BoundExprPtr top;
    bool topPercent = false;
    bool topWithTies = false;
};

struct SortKey {
    BoundExprPtr expr;  // bound in the (single) core's scope; null when ordinal is set
    int ordinal = -1;   // output column
    bool descending = false;
};

// How the cores combine (the syntax tree's SetTerm).
struct BoundSetTerm {
    int core = -1;
    sql::SetOperator op = sql::SetOperator::Union;
    std::unique_ptr<BoundSetTerm> left, right;
};

struct BoundQuery {
    std::vector<std::unique_ptr<BoundCore>> cores;
    std::unique_ptr<BoundSetTerm> setTree;  // null for a single core
    std::vector<SourceColumn> columns;      // result columns (typed across the cores)
    std::vector<SortKey> orderBy;
    // The single base table every row comes from (see ResultSet::baseTable), or null.
    Table* baseTable = nullptr;
};

// Runs a bound query. outer is the frame of the enclosing query level for correlated
// subqueries (null at top level).
// Whether the query's rows can be produced a batch at a time: one SELECT core without
// grouping, DISTINCT, ORDER BY, TOP or variable assignments.
bool isStreamable(const BoundQuery& query);
// Runs a streamable query, handing its rows to `emit` in batches of up to `batchRows` (the
// vector may be moved from). Returns the number of rows.
int64_t executeQueryStreamed(const BoundQuery& query, ExecContext& ctx, size_t batchRows,
                             const std::function<void(std::vector<std::vector<Value>>&)>& emit);
Rowset executeQuery(const BoundQuery& query, ExecContext& ctx, const Frame* outer);

// Runs only the FROM and WHERE of a core and returns its tuples (row index per source,
// flattened with stride sources.size()): the target rows of UPDATE and DELETE. With a
// limit (> 0, a TOP without ORDER BY) it may return only that many, any of them.
std::vector<int64_t> collectTuples(const BoundCore& core, ExecContext& ctx, const Frame* outer,
                                   size_t limit = 0);

// Materialises the derived tables, views and catalogue views of a core.
void materializeSources(const BoundCore& core, ExecContext& ctx, const Frame* outer);

}  // namespace engine::exec
