#include "engine/exec/join.h"

#include <algorithm>
#include <array>
#include <functional>
#include <limits>
#include <numeric>
#include <unordered_set>

#include "engine/exec/locks.h"
#include "engine/types/compare.h"
#include "engine/types/conversion.h"
#include "engine/types/sql_message.h"

namespace engine::exec {

namespace {

uint64_t combineHash(uint64_t h, uint64_t v) {
    return h ^ (v + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2));
}

bool contains(const std::vector<int>& set, int x) {
    return std::find(set.begin(), set.end(), x) != set.end();
}

bool within(const std::vector<int>& a, const std::vector<int>& of) {
    return std::all_of(a.begin(), a.end(), [&](int x) { return contains(of, x); });
}

// Tuple indexes by key hash: open addressing over the hashes, the tuples of one hash
// chained in ascending order.
class KeyTable {
  public:
    KeyTable(size_t rows, MemoryBudget& budget) : charge_(&budget) {
        while (capacity_ < rows * 2)
            capacity_ <<= 1;
        charge_.set(capacity_ * (sizeof(uint64_t) + sizeof(int64_t)) + rows * sizeof(int64_t));
        slotHash_.assign(capacity_, 0);
        slotHead_.assign(capacity_, -1);
        next_.assign(rows, -1);
    }
    // Rows must be inserted last first.
    void insert(size_t row, uint64_t hash) {
        size_t at = slot(hash);
        slotHash_[at] = hash;
        next_[row] = slotHead_[at];
        slotHead_[at] = static_cast<int64_t>(row);
    }
    int64_t first(uint64_t hash) const { return slotHead_[slot(hash)]; }
    int64_t next(int64_t row) const { return next_[static_cast<size_t>(row)]; }

  private:
    size_t slot(uint64_t hash) const {
        size_t at = static_cast<size_t>(hash) & (capacity_ - 1);
        while (slotHead_[at] >= 0 && slotHash_[at] != hash)
            at = (at + 1) & (capacity_ - 1);
        return at;
    }

    MemoryCharge charge_;
    size_t capacity_ = 16;
    std::vector<uint64_t> slotHash_;
    std::vector<int64_t> slotHead_;
    std::vector<int64_t> next_;
};

// Tuples of some inputs of a block joined so far.
struct Part {
    Tuples tuples;
    std::vector<int> inputs;  // sorted
};

// A hash-join key between the inputs joined so far and the next one.
struct Key {
    size_t conjunct;
    bool joinedOnLeft;  // the conjunct's left side reads the inputs joined so far
};

class BlockRunner {
  public:
    BlockRunner(const BoundCore& core, ExecContext& ctx, const Frame* outer)
        : core_(core), ctx_(ctx), width_(core.sources.size()), merged_(width_, -1) {
        frame_.sources = &core.sources;
        frame_.outer = outer;
        frame_.ctx = &ctx;
    }

    Tuples run(const JoinBlock& block, size_t limit = 0) {
        // One table and nothing else to test: reading stops at the limit.
        if (limit > 0 && block.inputs.size() == 1 && block.inputs[0].source >= 0 &&
            block.conjuncts.empty() && block.residual.empty())
            return scan(block.inputs[0], limit);
        std::vector<Tuples> inputs;
        inputs.reserve(block.inputs.size());
        for (const BlockInput& in : block.inputs)
            inputs.push_back(runInput(in));
        std::vector<bool> used(block.conjuncts.size(), false);

        // Inputs linked by hash keys, directly or through others, are joined together.
        const size_t n = inputs.size();
        std::vector<size_t> root(n);
        std::iota(root.begin(), root.end(), 0);
        std::function<size_t(size_t)> find = [&](size_t x) {
            return root[x] == x ? x : root[x] = find(root[x]);
        };
        for (const BlockConjunct& c : block.conjuncts) {
            if (!c.left) continue;
            for (int i : c.inputs)
                root[find(static_cast<size_t>(i))] = find(static_cast<size_t>(c.inputs[0]));
        }
        std::vector<Part> parts;
        for (size_t i = 0; i < n; ++i) {
            if (find(i) != i) continue;
            std::vector<int> members;
            for (size_t j = 0; j < n; ++j) {
                if (find(j) == i) members.push_back(static_cast<int>(j));
            }
            parts.push_back(joinLinked(block, members, inputs, used));
        }
        // What nothing links is crossed last, smallest first.
        std::stable_sort(parts.begin(), parts.end(), [](const Part& a, const Part& b) {
            return a.tuples.count() < b.tuples.count();
        });
        Part all = std::move(parts[0]);
        for (size_t k = 1; k < parts.size(); ++k)
            all = cross(block, std::move(all), std::move(parts[k]), used);
        filter(all.tuples, block.residual);
        return std::move(all.tuples);
    }

  private:
    Tuples newTuples() { return Tuples(width_, &ctx_.session.memory); }

    Frame frameAt(const int64_t* tuple) const {
        Frame f = frame_;
        f.tuple = tuple;
        return f;
    }

    bool passes(const std::vector<const BoundPredicate*>& checks, const int64_t* tuple) const {
        if (checks.empty()) return true;
        Frame f = frameAt(tuple);
        for (const BoundPredicate* p : checks) {
            if (p->test(f) != Tri::True) return false;
        }
        return true;
    }

    // The tuple made of a and b, whose sources are disjoint (either may be null).
    const int64_t* merge(const int64_t* a, const int64_t* b) {
        for (size_t i = 0; i < width_; ++i)
            merged_[i] = a && a[i] >= 0 ? a[i] : (b ? b[i] : -1);
        return merged_.data();
    }

    void filter(Tuples& t, const std::vector<const BoundPredicate*>& checks) {
        if (checks.empty()) return;
        size_t kept = 0;
        for (size_t i = 0; i < t.count(); ++i) {
            if ((i & 1023) == 0) checkCancelled(ctx_.session);
            if (!passes(checks, t.at(i))) continue;
            if (kept != i) std::copy(t.at(i), t.at(i) + width_, t.data.data() + kept * width_);
            ++kept;
        }
        t.data.resize(kept * width_);
    }

    Tuples runInput(const BlockInput& in) {
        if (in.source >= 0) return scan(in);
        Tuples left = run(*in.left);
        Tuples right = run(*in.right);
        Tuples joined = outerJoin(*in.outerJoin, left, right);
        filter(joined, in.filters);
        return joined;
    }

    // A column of the scanned table that a filter fixes to a value not depending on the row
    // (a constant, a variable, a parameter), or to NULL ("IS NULL": value is nullptr).
    struct Fixed {
        int column;
        const BoundExpr* value;
    };

    static std::vector<Fixed> fixedColumns(const BlockInput& in) {
        std::vector<Fixed> fixed;
        for (const BoundPredicate* p : in.filters) {
            if (const BoundExpr* tested = p->nullTested()) {
                if (tested->columnSource == in.source) fixed.push_back({tested->columnIndex, nullptr});
                continue;
            }
            const BoundExpr* l = p->equalityLeft();
            const BoundExpr* r = p->equalityRight();
            if (!l || !r) continue;
            if (l->columnSource != in.source) std::swap(l, r);
            if (l->columnSource != in.source || r->columnSource >= 0) continue;
            if (!r->isConstant() && !dynamic_cast<const VariableExpr*>(r)) continue;
            if (!hashesAlike(l->type.id, r->type.id)) continue;
            fixed.push_back({l->columnIndex, r});
        }
        return fixed;
    }

    // The hash of the values fixed for `columns` (in that order); false when one of them is
    // "= NULL", which no row passes.
    bool fixedHash(const std::vector<Fixed>& fixed, const std::vector<int>& columns,
                   uint64_t& hash) const {
        std::vector<Value> key;
        for (int column : columns) {
            auto it = std::find_if(fixed.begin(), fixed.end(),
                                   [&](const Fixed& f) { return f.column == column; });
            key.push_back(it->value ? it->value->eval(frame_) : Value());
            if (it->value && key.back().isNull()) return false;
        }
        hash = engine::keyHash(key);
        return true;
    }

    // The slots that may pass a table's filters when they fix every key column of one of
    // its unique indexes (not to NULL): those of the key's hash, in slot order. False when
    // no index is so fixed. The filters are still tested on every candidate.
    bool seekUnique(const Table& table, const std::vector<Fixed>& fixed,
                    std::vector<size_t>& slots) const {
        for (const IndexSchema& index : table.schema.indexes) {
            if (!index.unique || index.keys.empty()) continue;
            std::vector<int> columns;
            for (const IndexKey& key : index.keys) {
                const int column = table.schema.columnIndexById(key.columnId);
                auto it = std::find_if(fixed.begin(), fixed.end(),
                                       [&](const Fixed& f) { return f.column == column; });
                if (it == fixed.end() || !it->value) break;
                columns.push_back(column);
            }
            if (columns.size() != index.keys.size()) continue;
            const KeyHashes& hashes = table.keyHashesOf(index);
            uint64_t hash = 0;
            if (!fixedHash(fixed, columns, hash)) return true;
            auto range = hashes.slots.equal_range(hash);
            for (auto it = range.first; it != range.second; ++it)
                slots.push_back(it->second);
            std::sort(slots.begin(), slots.end());
            return true;
        }
        return false;
    }

    // A table read through the lookup of its fixed columns (see ValueLookup), up to `limit`
    // passing rows (0: all, then in slot order, as a scan gives them). False when the table
    // has no lookup for them.
    bool seekLookup(const BlockInput& in, const Table& table, const std::vector<Fixed>& fixed,
                    size_t limit, Tuples& out) {
        std::vector<int> columns;
        for (const Fixed& f : fixed)
            columns.push_back(f.column);
        std::sort(columns.begin(), columns.end());
        columns.erase(std::unique(columns.begin(), columns.end()), columns.end());
        ValueLookup* lookup = table.lookups.find(table.data(), columns);
        if (!lookup) return false;
        uint64_t hash = 0;
        if (!fixedHash(fixed, columns, hash)) return true;
        std::vector<int64_t> tuple(width_, -1);
        if (limit > 0) {
            lookup->visit(hash, [&](size_t slot) {
                tuple[in.source] = static_cast<int64_t>(slot);
                if (passes(in.filters, tuple.data())) out.push(tuple.data());
                return out.count() < limit;
            });
            return true;
        }
        std::vector<size_t> slots;
        lookup->visit(hash, [&](size_t slot) {
            slots.push_back(slot);
            return true;
        });
        std::sort(slots.begin(), slots.end());
        for (size_t slot : slots) {
            tuple[in.source] = static_cast<int64_t>(slot);
            if (passes(in.filters, tuple.data())) out.push(tuple.data());
        }
        return true;
    }

    // A source's rows that pass the input's filters, in slot order, or (limit > 0) any
    // `limit` of them.
    Tuples scan(const BlockInput& in, size_t limit = 0) {
        const Source& source = *core_.sources[in.source];
        const size_t n = source.rowCount();
        Tuples out = newTuples();
        std::vector<int64_t> tuple(width_, -1);
        if (source.kind == Source::Kind::Table && source.table) {
            const std::vector<Fixed> fixed = fixedColumns(in);
            std::vector<size_t> candidates;
            if (!fixed.empty() && seekUnique(*source.table, fixed, candidates)) {
                for (size_t slot : candidates) {
                    tuple[in.source] = static_cast<int64_t>(slot);
                    if (passes(in.filters, tuple.data())) out.push(tuple.data());
                    if (limit > 0 && out.count() >= limit) break;
                }
                return out;
            }
            if (!fixed.empty() && seekLookup(in, *source.table, fixed, limit, out)) return out;
        }
        if (in.filters.empty()) out.reserve(limit > 0 ? std::min(n, limit) : n);
        for (size_t r = 0; r < n; ++r) {
            if ((r & 1023) == 0) checkCancelled(ctx_.session);
            tuple[in.source] = static_cast<int64_t>(r);
            if (!passes(in.filters, tuple.data())) continue;
            out.push(tuple.data());
            if (limit > 0 && out.count() >= limit) break;
        }
        return out;
    }

    // The hash of a tuple's key values converted to the comparison types; false when a key
    // is NULL (such tuples never match).
    bool keyHash(const std::vector<const BoundExpr*>& exprs, const std::vector<DataType>& types,
                 const int64_t* tuple, uint64_t& hash) const {
        Frame f = frameAt(tuple);
        hash = 0;
        for (size_t k = 0; k < exprs.size(); ++k) {
            Value v = exprs[k]->eval(f);
            if (v.isNull()) return false;
            if (!(v.type() == types[k]))
                v = convert(v, types[k], ConversionKind::Implicit, 0, ctx_.dateFormat());
            hash = combineHash(hash, hashValue(v));
        }
        return true;
    }

    // The pairs of a tuple of `probe` and one of `build` with equal keys that pass every
    // check (the key equalities among them: equal hashes are only candidates).
    Tuples hashJoin(const Tuples& probe, const Tuples& build,
                    const std::vector<const BoundExpr*>& probeKeys,
                    const std::vector<const BoundExpr*>& buildKeys,
                    const std::vector<DataType>& types,
                    const std::vector<const BoundPredicate*>& checks) {
        Tuples out = newTuples();
        if (probe.count() == 0 || build.count() == 0) return out;
        KeyTable table(build.count(), ctx_.session.memory);
        uint64_t hash = 0;
        for (size_t j = build.count(); j-- > 0;) {
            if ((j & 1023) == 0) checkCancelled(ctx_.session);
            if (keyHash(buildKeys, types, build.at(j), hash)) table.insert(j, hash);
        }
        for (size_t i = 0; i < probe.count(); ++i) {
            if ((i & 255) == 0) checkCancelled(ctx_.session);
            if (!keyHash(probeKeys, types, probe.at(i), hash)) continue;
            for (int64_t j = table.first(hash); j >= 0; j = table.next(j)) {
                const int64_t* t = merge(probe.at(i), build.at(static_cast<size_t>(j)));
                if (passes(checks, t)) out.push(t);
            }
        }
        return out;
    }

    // Every pair of a tuple of a and one of b that passes the checks.
    Tuples nestedLoop(const Tuples& a, const Tuples& b,
                      const std::vector<const BoundPredicate*>& checks) {
        Tuples out = newTuples();
        if (checks.empty() && a.count() && b.count()) {
            // A plain product is known in size: refused before it is built if too large.
            if (b.count() > std::numeric_limits<size_t>::max() / width_ / a.count())
                ctx_.session.memory.charge(std::numeric_limits<size_t>::max());
            out.reserve(a.count() * b.count());
        }
        for (size_t i = 0; i < a.count(); ++i) {
            checkCancelled(ctx_.session);
            for (size_t j = 0; j < b.count(); ++j) {
                const int64_t* t = merge(a.at(i), b.at(j));
                if (passes(checks, t)) out.push(t);
            }
        }
        return out;
    }

    Tuples outerJoin(const JoinNode& node, const Tuples& left, const Tuples& right) {
        Tuples out = newTuples();
        const bool keepLeft = node.kind == sql::JoinKind::Left || node.kind == sql::JoinKind::Full;
        const bool keepRight =
            node.kind == sql::JoinKind::Right || node.kind == sql::JoinKind::Full;
        std::vector<bool> rightMatched(keepRight ? right.count() : 0, false);
        std::vector<const BoundPredicate*> on;
        if (node.on) on.push_back(node.on.get());

        auto probe = [&](size_t i, auto&& candidates) {
            bool matched = false;
            candidates([&](size_t j) {
                const int64_t* t = merge(left.at(i), right.at(j));
                if (!passes(on, t)) return;
                matched = true;
                if (keepRight) rightMatched[j] = true;
                out.push(t);
            });
            if (!matched && keepLeft) out.push(merge(left.at(i), nullptr));
        };
        if (!node.leftKeys.empty()) {
            // Build on the right side, probe with the left; ON is tested on every candidate.
            KeyTable table(right.count(), ctx_.session.memory);
            uint64_t hash = 0;
            for (size_t j = right.count(); j-- > 0;) {
                if (keyHash(node.rightKeys, node.keyTypes, right.at(j), hash))
                    table.insert(j, hash);
            }
            for (size_t i = 0; i < left.count(); ++i) {
                if ((i & 255) == 0) checkCancelled(ctx_.session);
                const bool hasKey = keyHash(node.leftKeys, node.keyTypes, left.at(i), hash);
                probe(i, [&](auto&& visit) {
                    if (!hasKey) return;
                    for (int64_t j = table.first(hash); j >= 0; j = table.next(j))
                        visit(static_cast<size_t>(j));
                });
            }
        } else {
            for (size_t i = 0; i < left.count(); ++i) {
                checkCancelled(ctx_.session);
                probe(i, [&](auto&& visit) {
                    for (size_t j = 0; j < right.count(); ++j)
                        visit(j);
                });
            }
        }
        if (keepRight) {
            for (size_t j = 0; j < right.count(); ++j) {
                if (!rightMatched[j]) out.push(merge(nullptr, right.at(j)));
            }
        }
        return out;
    }

    // The conjuncts not yet tested that read only the given inputs (now tested).
    std::vector<const BoundPredicate*> checksFor(const JoinBlock& block,
                                                 const std::vector<int>& inputs,
                                                 std::vector<bool>& used) {
        std::vector<const BoundPredicate*> checks;
        for (size_t c = 0; c < block.conjuncts.size(); ++c) {
            if (used[c] || !within(block.conjuncts[c].inputs, inputs)) continue;
            used[c] = true;
            checks.push_back(block.conjuncts[c].predicate);
        }
        return checks;
    }

    static std::vector<int> unite(std::vector<int> a, const std::vector<int>& b) {
        a.insert(a.end(), b.begin(), b.end());
        std::sort(a.begin(), a.end());
        return a;
    }

    Part cross(const JoinBlock& block, Part a, Part b, std::vector<bool>& used) {
        Part out;
        out.inputs = unite(a.inputs, b.inputs);
        std::vector<const BoundPredicate*> checks = checksFor(block, out.inputs, used);
        out.tuples = nestedLoop(a.tuples, b.tuples, checks);
        return out;
    }

    // Distinct values of a key expression over an input's tuples (a sample of a large one).
    double distinctValues(const BoundExpr& e, const Tuples& t) const {
        const size_t n = t.count();
        if (n == 0) return 1;
        const size_t sample = std::min<size_t>(n, 4096);
        std::unordered_set<uint64_t> seen;
        try {
            for (size_t k = 0; k < sample; ++k) {
                Value v = e.eval(frameAt(t.at(k * n / sample)));
                if (!v.isNull()) seen.insert(hashValue(v));
            }
        } catch (const SqlException&) {
            return static_cast<double>(n);
        }
        double d = std::max<double>(1, static_cast<double>(seen.size()));
        // A sample of mostly repeated values has seen most of them; otherwise scale it.
        if (sample == n || d < sample / 2.0) return d;
        return d * static_cast<double>(n) / static_cast<double>(sample);
    }

    // Joins the inputs that hash keys link: the smallest first, then each time the input
    // whose join is estimated to give the fewest tuples.
    Part joinLinked(const JoinBlock& block, const std::vector<int>& members,
                    std::vector<Tuples>& inputs, std::vector<bool>& used) {
        // Distinct values of the key sides that read one input, while the inputs are whole.
        std::vector<std::array<double, 2>> distinct(block.conjuncts.size(), {0, 0});
        if (members.size() > 2) {
            for (size_t c = 0; c < block.conjuncts.size(); ++c) {
                const BlockConjunct& bc = block.conjuncts[c];
                if (!bc.left || !within(bc.inputs, members)) continue;
                if (bc.leftInputs.size() == 1)
                    distinct[c][0] = distinctValues(*bc.left, inputs[bc.leftInputs[0]]);
                if (bc.rightInputs.size() == 1)
                    distinct[c][1] = distinctValues(*bc.right, inputs[bc.rightInputs[0]]);
            }
        }
        int start = members[0];
        for (int m : members) {
            if (inputs[m].count() < inputs[start].count()) start = m;
        }
        Part joined{std::move(inputs[start]), {start}};
        std::vector<int> remaining;
        for (int m : members) {
            if (m != start) remaining.push_back(m);
        }
        while (!remaining.empty()) {
            int best = -1;
            double bestRows = std::numeric_limits<double>::infinity();
            std::vector<Key> bestKeys;
            for (int u : remaining) {
                std::vector<Key> keys;
                for (size_t c = 0; c < block.conjuncts.size(); ++c) {
                    const BlockConjunct& bc = block.conjuncts[c];
                    if (used[c] || !bc.left) continue;
                    const std::vector<int> only{u};
                    if (within(bc.leftInputs, joined.inputs) && bc.rightInputs == only) {
                        keys.push_back({c, true});
                    } else if (within(bc.rightInputs, joined.inputs) && bc.leftInputs == only) {
                        keys.push_back({c, false});
                    }
                }
                if (keys.empty()) continue;
                double rows = 0;
                if (remaining.size() > 1) {
                    const double have = static_cast<double>(joined.tuples.count());
                    const double add = static_cast<double>(inputs[u].count());
                    rows = have * add;
                    for (const Key& k : keys) {
                        const BlockConjunct& bc = block.conjuncts[k.conjunct];
                        const auto& joinedSide = k.joinedOnLeft ? bc.leftInputs : bc.rightInputs;
                        double dJoined = joinedSide.size() == 1
                                             ? distinct[k.conjunct][k.joinedOnLeft ? 0 : 1]
                                             : have;
                        double dAdded = distinct[k.conjunct][k.joinedOnLeft ? 1 : 0];
                        if (dAdded <= 0) dAdded = add;
                        rows /= std::max({std::min(dJoined, have), dAdded, 1.0});
                    }
                }
                if (rows < bestRows) {
                    best = u;
                    bestRows = rows;
                    bestKeys = std::move(keys);
                }
            }
            if (best < 0) {
                // Linked only through keys that read several inputs: take the smallest.
                best = remaining[0];
                for (int u : remaining) {
                    if (inputs[u].count() < inputs[best].count()) best = u;
                }
                joined =
                    cross(block, std::move(joined), Part{std::move(inputs[best]), {best}}, used);
            } else {
                std::vector<const BoundExpr*> joinedKeys, addedKeys;
                std::vector<DataType> types;
                for (const Key& k : bestKeys) {
                    const BlockConjunct& bc = block.conjuncts[k.conjunct];
                    joinedKeys.push_back(k.joinedOnLeft ? bc.left : bc.right);
                    addedKeys.push_back(k.joinedOnLeft ? bc.right : bc.left);
                    types.push_back(bc.keyType);
                }
                Part next;
                next.inputs = unite(joined.inputs, {best});
                std::vector<const BoundPredicate*> checks = checksFor(block, next.inputs, used);
                Tuples added = std::move(inputs[best]);
                // The hash table goes on the smaller side.
                if (added.count() <= joined.tuples.count()) {
                    next.tuples =
                        hashJoin(joined.tuples, added, joinedKeys, addedKeys, types, checks);
                } else {
                    next.tuples =
                        hashJoin(added, joined.tuples, addedKeys, joinedKeys, types, checks);
                }
                joined = std::move(next);
            }
            remaining.erase(std::find(remaining.begin(), remaining.end(), best));
        }
        return joined;
    }

    const BoundCore& core_;
    ExecContext& ctx_;
    const size_t width_;
    Frame frame_;
    std::vector<int64_t> merged_;
};

}  // namespace

Tuples evaluateFrom(const BoundCore& core, ExecContext& ctx, const Frame* outer, size_t limit) {
    if (core.from.empty() || !core.plan) return Tuples{};
    BlockRunner runner(core, ctx, outer);
    return runner.run(*core.plan, limit);
}

}  // namespace engine::exec
