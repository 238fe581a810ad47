// The join plan of a query level: FROM's items and WHERE's conjuncts as blocks of inputs
// joined by inner joins, each input with the filters that read it alone (see JoinBlock).
//
// Inner joins and comma-separated items are one block: their ON conjuncts and WHERE's are
// the same thing there, and an equality between two inputs is a hash-join key wherever it
// was written. An outer join is one input of its block; its sides are blocks of their own,
// which receive the WHERE conjuncts that read only the preserved side and the ON conjuncts
// that read only the other side (both filter rows before the join without changing it).
#include <algorithm>

#include "engine/exec/binder.h"
#include "engine/types/sql_message.h"
#include "engine/types/type_rules.h"

namespace engine::exec {

namespace {

void sourcesOf(const JoinNode& node, std::vector<int>& out) {
    if (node.leaf) {
        out.push_back(node.source);
        return;
    }
    sourcesOf(*node.left, out);
    sourcesOf(*node.right, out);
}

bool within(const std::vector<int>& a, const std::vector<int>& of) {
    return std::all_of(a.begin(), a.end(),
                       [&](int x) { return std::find(of.begin(), of.end(), x) != of.end(); });
}

// The sources a predicate or expression reads, sorted and unique; false when they cannot be
// told (it reads a correlated subquery).
template <class T>
bool readSources(const T& e, std::vector<int>& out) {
    out.clear();
    if (!e.collectSources(out)) return false;
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return true;
}

bool hashableType(const DataType& t) {
    return !isLargeObject(t) && t.id != TypeId::SqlVariant;
}

struct Planner {
    // Flattens the inner joins of `node` into inputs, collecting their ON conjuncts.
    void flatten(const JoinNode& node, JoinBlock& block, std::vector<const BoundPredicate*>& on) {
        if (node.leaf) {
            BlockInput in;
            in.source = node.source;
            in.sources = {node.source};
            block.inputs.push_back(std::move(in));
            return;
        }
        if (node.kind == sql::JoinKind::Inner || node.kind == sql::JoinKind::Cross) {
            flatten(*node.left, block, on);
            flatten(*node.right, block, on);
            if (node.on) node.on->conjuncts(on);
            return;
        }
        BlockInput in;
        in.outerJoin = &node;
        sourcesOf(node, in.sources);
        block.inputs.push_back(std::move(in));
    }

    std::unique_ptr<JoinBlock> plan(const std::vector<const JoinNode*>& items,
                                    std::vector<const BoundPredicate*> conjuncts) {
        auto block = std::make_unique<JoinBlock>();
        std::vector<const BoundPredicate*> on;
        for (const JoinNode* item : items)
            flatten(*item, *block, on);
        conjuncts.insert(conjuncts.end(), on.begin(), on.end());

        // What goes down into the sides of outer joins.
        std::vector<bool> taken(conjuncts.size(), false);
        std::vector<int> sources;
        for (BlockInput& in : block->inputs) {
            if (!in.outerJoin) continue;
            const JoinNode& node = *in.outerJoin;
            std::vector<int> left, right;
            sourcesOf(*node.left, left);
            sourcesOf(*node.right, right);
            const bool leftKept = node.kind == sql::JoinKind::Left;
            const bool rightKept = node.kind == sql::JoinKind::Right;
            std::vector<const BoundPredicate*> toLeft, toRight;
            for (size_t c = 0; c < conjuncts.size(); ++c) {
                if (taken[c] || !readSources(*conjuncts[c], sources) || sources.empty()) continue;
                if (leftKept && within(sources, left)) {
                    toLeft.push_back(conjuncts[c]);
                    taken[c] = true;
                } else if (rightKept && within(sources, right)) {
                    toRight.push_back(conjuncts[c]);
                    taken[c] = true;
                }
            }
            // ON conjuncts that read only the side that may go unmatched filter that side;
            // ON is still tested whole on every pair.
            if (node.on && (leftKept || rightKept)) {
                std::vector<const BoundPredicate*> onConjuncts;
                node.on->conjuncts(onConjuncts);
                for (const BoundPredicate* c : onConjuncts) {
                    if (!readSources(*c, sources) || sources.empty()) continue;
                    if (leftKept && within(sources, right)) toRight.push_back(c);
                    if (rightKept && within(sources, left)) toLeft.push_back(c);
                }
            }
            in.left = plan({node.left.get()}, std::move(toLeft));
            in.right = plan({node.right.get()}, std::move(toRight));
        }

        // The input of each source of the block.
        std::vector<int> inputOf;
        for (size_t i = 0; i < block->inputs.size(); ++i) {
            for (int s : block->inputs[i].sources) {
                if (static_cast<size_t>(s) >= inputOf.size()) inputOf.resize(s + 1, -1);
                inputOf[s] = static_cast<int>(i);
            }
        }
        auto inputsOf = [&](const std::vector<int>& sources) {
            std::vector<int> inputs;
            for (int s : sources)
                inputs.push_back(inputOf[s]);
            std::sort(inputs.begin(), inputs.end());
            inputs.erase(std::unique(inputs.begin(), inputs.end()), inputs.end());
            return inputs;
        };

        for (size_t c = 0; c < conjuncts.size(); ++c) {
            if (taken[c]) continue;
            const BoundPredicate* p = conjuncts[c];
            if (!readSources(*p, sources)) {
                block->residual.push_back(p);
                continue;
            }
            std::vector<int> inputs = inputsOf(sources);
            if (inputs.size() <= 1) {
                // A conjunct that reads no source at all is tested with the first input.
                block->inputs[inputs.empty() ? 0 : inputs[0]].filters.push_back(p);
                continue;
            }
            BlockConjunct bc;
            bc.predicate = p;
            bc.inputs = inputs;
            const BoundExpr* l = p->equalityLeft();
            const BoundExpr* r = p->equalityRight();
            std::vector<int> ls, rs;
            if (l && r && readSources(*l, ls) && readSources(*r, rs) && !ls.empty() &&
                !rs.empty() && hashableType(l->type) && hashableType(r->type)) {
                std::vector<int> li = inputsOf(ls), ri = inputsOf(rs);
                bool disjoint = std::none_of(li.begin(), li.end(), [&](int x) {
                    return std::find(ri.begin(), ri.end(), x) != ri.end();
                });
                if (disjoint) {
                    try {
                        bc.keyType = comparisonType(l->type, r->type);
                        bc.left = l;
                        bc.right = r;
                        bc.leftInputs = std::move(li);
                        bc.rightInputs = std::move(ri);
                    } catch (const SqlException&) {
                    }
                }
            }
            block->conjuncts.push_back(std::move(bc));
        }
        return block;
    }
};

}  // namespace

void Binder::planJoins(BoundCore& core) {
    core.residualWhere.clear();
    core.plan.reset();
    std::vector<const BoundPredicate*> conjuncts;
    if (core.where) core.where->conjuncts(conjuncts);
    if (core.from.empty()) {
        core.residualWhere = std::move(conjuncts);
        return;
    }
    std::vector<const JoinNode*> items;
    for (const auto& item : core.from)
        items.push_back(item.get());
    Planner planner;
    core.plan = planner.plan(items, std::move(conjuncts));
    // What cannot be placed is tested on the rows of the whole FROM clause.
    core.residualWhere = std::move(core.plan->residual);
    core.plan->residual.clear();
}

}  // namespace engine::exec
