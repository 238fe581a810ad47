#include "engine/exec/query.h"

#include "engine/exec/join.h"
#include "engine/exec/locks.h"
#include "engine/types/sql_message.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <unordered_map>

#include "engine/types/arithmetic.h"
#include "engine/types/compare.h"
#include "engine/types/conversion.h"

namespace engine::exec {

namespace {

uint64_t combineHash(uint64_t h, uint64_t v) {
    return h ^ (v + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2));
}

Frame frameFor(const BoundCore& core, ExecContext& ctx, const Frame* outer, const int64_t* tuple) {
    Frame f;
    f.sources = &core.sources;
    f.tuple = tuple;
    f.outer = outer;
    f.ctx = &ctx;
    return f;
}

bool passes(const std::vector<const BoundPredicate*>& filters, const Frame& f) {
    for (const BoundPredicate* p : filters) {
        if (p->test(f) != Tri::True) return false;
    }
    return true;
}

// Hash set of value rows under compareForSort equality (DISTINCT, UNION, COUNT(DISTINCT)).
class RowSet {
  public:
    bool contains(const std::vector<Value>& row) const {
        uint64_t h = 0;
        for (const auto& v : row)
            h = combineHash(h, hashValue(v));
        auto it = buckets_.find(h);
        if (it == buckets_.end()) return false;
        for (size_t idx : it->second) {
            if (equalRows(rows_[idx], row)) return true;
        }
        return false;
    }
    bool insert(const std::vector<Value>& row) {
        uint64_t h = 0;
        for (const auto& v : row)
            h = combineHash(h, hashValue(v));
        auto& bucket = buckets_[h];
        for (size_t idx : bucket) {
            if (equalRows(rows_[idx], row)) return false;
        }
        bucket.push_back(rows_.size());
        rows_.push_back(row);
        return true;
    }

  private:
    static bool equalRows(const std::vector<Value>& a, const std::vector<Value>& b) {
        for (size_t i = 0; i < a.size(); ++i) {
            if (compareForSort(a[i], b[i]) != 0) return false;
        }
        return true;
    }
    std::unordered_map<uint64_t, std::vector<size_t>> buckets_;
    std::vector<std::vector<Value>> rows_;
};

struct AggregateState {
    int64_t count = 0;
    Value accumulator;
    bool has = false;
    std::unique_ptr<RowSet> seen;
};

void accumulate(const AggregateSpec& aggregate, AggregateState& state, const Frame& f) {
    if (aggregate.kind == AggregateKind::CountStar) {
        ++state.count;
        return;
    }
    Value v = aggregate.argument->eval(f);
    if (v.isNull()) return;
    if (aggregate.distinct) {
        if (!state.seen) state.seen = std::make_unique<RowSet>();
        if (!state.seen->insert({v})) return;
    }
    ++state.count;
    DateFormat df = f.ctx->dateFormat();
    switch (aggregate.kind) {
        case AggregateKind::Count:
        case AggregateKind::CountStar:
            break;
        case AggregateKind::Sum:
        case AggregateKind::Avg: {
            DataType sumType = aggregate.resultType;
            if (aggregate.kind == AggregateKind::Avg && isInteger(sumType.id))
                sumType = DataType::of(TypeId::BigInt);
            Value c = convert(v, sumType, ConversionKind::Implicit, 0, df);
            if (!state.has) {
                state.accumulator = c;
                state.has = true;
            } else {
                state.accumulator = convert(arithmetic(ArithmeticOp::Add, state.accumulator, c, df),
                                            sumType, ConversionKind::Implicit, 0, df);
            }
            break;
        }
        case AggregateKind::Min:
        case AggregateKind::Max: {
            if (!state.has) {
                state.accumulator = v;
                state.has = true;
            } else {
                int c = compareForSort(v, state.accumulator, df);
                if ((aggregate.kind == AggregateKind::Min && c < 0) ||
                    (aggregate.kind == AggregateKind::Max && c > 0))
                    state.accumulator = v;
            }
            break;
        }
    }
}

Value finish(const AggregateSpec& aggregate, const AggregateState& state, DateFormat df) {
    switch (aggregate.kind) {
        case AggregateKind::Count:
        case AggregateKind::CountStar:
            if (aggregate.resultType.id == TypeId::Int && state.count > 2147483647)
                throw SqlException(sqlMessage(8115, {"expression", "int"}));
            return Value::integer(state.count, aggregate.resultType.id);
        case AggregateKind::Sum:
            if (!state.has) return Value::null(aggregate.resultType);
            return convert(state.accumulator, aggregate.resultType, ConversionKind::Implicit, 0,
                           df);
        case AggregateKind::Avg: {
            if (!state.has) return Value::null(aggregate.resultType);
            Value divisor = Value::integer(state.count, TypeId::BigInt);
            Value q = arithmetic(ArithmeticOp::Divide, state.accumulator, divisor, df);
            return convert(q, aggregate.resultType, ConversionKind::Implicit, 0, df);
        }
        case AggregateKind::Min:
        case AggregateKind::Max:
            if (!state.has) return Value::null(aggregate.resultType);
            return state.accumulator.withType(aggregate.resultType);
    }
    return Value();
}

// One output row before sorting: the values, the sort keys, and where it came from.
struct OutRow {
    std::vector<Value> values;
    std::vector<Value> sortKeys;
    int64_t tuple = -1;  // index into the tuples, or -1
    int64_t group = -1;  // index into the groups, or -1
};

// Keeps the first of each set of rows with equal values, in order.
void removeDuplicates(std::vector<OutRow>& rows) {
    RowSet seen;
    std::vector<OutRow> unique;
    for (auto& row : rows) {
        if (seen.insert(row.values)) unique.push_back(std::move(row));
    }
    rows = std::move(unique);
}

int64_t topCount(const BoundCore& core, ExecContext& ctx, const Frame* outer, size_t available) {
    if (!core.top) return -1;
    Frame f = frameFor(core, ctx, outer, nullptr);
    Value v = core.top->eval(f);
    if (v.isNull()) throw SqlException(sqlMessage(1060));
    if (core.topPercent) {
        double p = convert(v, DataType::floating(TypeId::Float)).asDouble();
        if (p < 0 || p > 100) throw SqlException(sqlMessage(1062));
        return static_cast<int64_t>(std::ceil(p * static_cast<double>(available) / 100.0));
    }
    int64_t n = convert(v, DataType::of(TypeId::BigInt)).asInt64();
    if (n < 0) throw SqlException(sqlMessage(1060));
    return n;
}

struct CoreResult {
    std::vector<OutRow> rows;
    Tuples tuples;
    std::vector<GroupRow> groups;
    std::vector<int64_t> groupTuples;  // representative tuple of each group
    MemoryCharge memory;               // rows, groups and the WHERE's survivors
};

// Memory a row of values holds (for the budget): the values and the text they point to.
size_t valuesBytes(const std::vector<Value>& values) {
    size_t n = values.capacity() * sizeof(Value);
    for (const auto& v : values) {
        if (v.bytes().size() > 15) n += v.bytes().capacity();
    }
    return n;
}

CoreResult runCore(const BoundCore& core, const BoundQuery& query, bool applyOrder,
                   ExecContext& ctx, const Frame* outer) {
    CoreResult out;
    out.memory = MemoryCharge(&ctx.session.memory);
    materializeSources(core, ctx, outer);
    out.tuples = evaluateFrom(core, ctx, outer);
    size_t tupleCount = core.from.empty() ? 1 : out.tuples.count();
    auto tupleAt = [&](size_t i) -> const int64_t* {
        return core.from.empty() ? nullptr : out.tuples.at(i);
    };

    // WHERE (what was not pushed into the scans).
    std::vector<size_t> kept;
    out.memory.add(tupleCount * sizeof(size_t));
    kept.reserve(tupleCount);
    for (size_t i = 0; i < tupleCount; ++i) {
        if ((i & 1023) == 0) checkCancelled(ctx.session);
        if (!core.residualWhere.empty()) {
            Frame f = frameFor(core, ctx, outer, tupleAt(i));
            if (!passes(core.residualWhere, f)) continue;
        }
        kept.push_back(i);
    }

    bool ordered = applyOrder && !query.orderBy.empty();
    auto project = [&](OutRow& row, const Frame& f) {
        row.values.reserve(core.outputs.size());
        for (const auto& o : core.outputs)
            row.values.push_back(o.expr->eval(f));
        if (ordered) {
            for (const auto& key : query.orderBy) {
                row.sortKeys.push_back(key.expr ? key.expr->eval(f) : Value());
            }
        }
    };

    if (!core.grouped) {
        out.rows.reserve(kept.size());
        for (size_t i : kept) {
            OutRow row;
            row.tuple = static_cast<int64_t>(i);
            if (core.assignments.empty()) {
                Frame f = frameFor(core, ctx, outer, tupleAt(i));
                project(row, f);
            } else if (ordered) {
                Frame f = frameFor(core, ctx, outer, tupleAt(i));
                for (const auto& key : query.orderBy)
                    row.sortKeys.push_back(key.expr ? key.expr->eval(f) : Value());
            }
            out.memory.add(sizeof(OutRow) + valuesBytes(row.values) + valuesBytes(row.sortKeys));
            out.rows.push_back(std::move(row));
        }
    } else {
        // Group the tuples by the keys of each grouping set (one set of every key when the
        // GROUP BY is plain; one group when there are no keys), keys outside the set NULL.
        std::vector<std::vector<AggregateState>> states;
        std::vector<Value> keys;
        const size_t setCount = std::max<size_t>(core.groupingSets.size(), 1);
        for (size_t set = 0; set < setCount; ++set) {
            std::vector<bool> grouped(core.groupKeys.size(), core.groupingSets.empty());
            if (!core.groupingSets.empty()) {
                for (int k : core.groupingSets[set])
                    grouped[k] = true;
            }
            uint64_t rolledUp = 0;
            for (size_t k = 0; k < grouped.size(); ++k) {
                if (!grouped[k]) rolledUp |= uint64_t{1} << k;
            }
            std::unordered_map<uint64_t, std::vector<size_t>> index;
            const size_t firstGroup = out.groups.size();
            for (size_t i : kept) {
                Frame f = frameFor(core, ctx, outer, tupleAt(i));
                keys.clear();
                uint64_t h = 0;
                for (size_t k = 0; k < core.groupKeys.size(); ++k) {
                    keys.push_back(grouped[k] ? core.groupKeys[k]->eval(f)
                                              : Value::null(core.groupKeys[k]->type));
                    h = combineHash(h, hashValue(keys.back()));
                }
                size_t group = SIZE_MAX;
                auto& bucket = index[h];
                for (size_t g : bucket) {
                    bool same = true;
                    for (size_t k = 0; k < keys.size() && same; ++k)
                        same = compareForSort(keys[k], out.groups[g].keys[k]) == 0;
                    if (same) {
                        group = g;
                        break;
                    }
                }
                if (group == SIZE_MAX) {
                    out.memory.add(sizeof(GroupRow) + valuesBytes(keys) + 3 * sizeof(size_t) +
                                   core.aggregates.size() * sizeof(AggregateState));
                    group = out.groups.size();
                    bucket.push_back(group);
                    out.groups.push_back(GroupRow{keys, {}, rolledUp});
                    out.groupTuples.push_back(static_cast<int64_t>(i));
                    states.emplace_back(core.aggregates.size());
                }
                for (size_t a = 0; a < core.aggregates.size(); ++a)
                    accumulate(core.aggregates[a], states[group][a], f);
            }
            // A set without keys has its row even when no row came: the grand total.
            if (out.groups.size() == firstGroup &&
                std::none_of(grouped.begin(), grouped.end(), [](bool g) { return g; })) {
                keys.clear();
                for (const auto& k : core.groupKeys)
                    keys.push_back(Value::null(k->type));
                out.groups.push_back(GroupRow{keys, {}, rolledUp});
                out.groupTuples.push_back(-1);
                states.emplace_back(core.aggregates.size());
            }
        }
        std::vector<int64_t> emptyTuple(core.sources.size(), -1);
        for (size_t g = 0; g < out.groups.size(); ++g) {
            for (size_t a = 0; a < core.aggregates.size(); ++a)
                out.groups[g].aggregates.push_back(
                    finish(core.aggregates[a], states[g][a], ctx.dateFormat()));
            const int64_t* t = out.groupTuples[g] >= 0 && !core.from.empty()
                                   ? tupleAt(out.groupTuples[g])
                                   : emptyTuple.data();
            Frame f = frameFor(core, ctx, outer, t);
            f.group = &out.groups[g];
            if (core.having && core.having->test(f) != Tri::True) continue;
            OutRow row;
            row.group = static_cast<int64_t>(g);
            if (core.assignments.empty()) {
                project(row, f);
            } else if (ordered) {
                for (const auto& key : query.orderBy)
                    row.sortKeys.push_back(key.expr ? key.expr->eval(f) : Value());
            }
            out.memory.add(sizeof(OutRow) + valuesBytes(row.values) + valuesBytes(row.sortKeys));
            out.rows.push_back(std::move(row));
        }
    }
    return out;
}

void sortRows(std::vector<OutRow>& rows, const BoundQuery& query, DateFormat df) {
    std::stable_sort(rows.begin(), rows.end(), [&](const OutRow& a, const OutRow& b) {
        for (size_t k = 0; k < query.orderBy.size(); ++k) {
            const SortKey& key = query.orderBy[k];
            const Value& x = key.ordinal >= 0 ? a.values[key.ordinal] : a.sortKeys[k];
            const Value& y = key.ordinal >= 0 ? b.values[key.ordinal] : b.sortKeys[k];
            int c = compareForSort(x, y, df);
            if (c != 0) return key.descending ? c > 0 : c < 0;
        }
        return false;
    });
}

void applyTop(std::vector<OutRow>& rows, int64_t n, bool withTies, const BoundQuery& query,
              DateFormat df) {
    if (n < 0 || static_cast<size_t>(n) >= rows.size()) return;
    size_t end = static_cast<size_t>(n);
    if (withTies && n > 0) {
        while (end < rows.size()) {
            bool tie = true;
            for (size_t k = 0; k < query.orderBy.size() && tie; ++k) {
                const SortKey& key = query.orderBy[k];
                const Value& x =
                    key.ordinal >= 0 ? rows[end].values[key.ordinal] : rows[end].sortKeys[k];
                const Value& y =
                    key.ordinal >= 0 ? rows[n - 1].values[key.ordinal] : rows[n - 1].sortKeys[k];
                tie = compareForSort(x, y, df) == 0;
            }
            if (!tie) break;
            ++end;
        }
    }
    rows.resize(end);
}

// The rows of a set operation's operand and the memory they hold.
struct SetRows {
    std::vector<OutRow> rows;
    MemoryCharge memory;
};

// UNION ALL appends; UNION, EXCEPT and INTERSECT give distinct rows (NULLs equal).
SetRows runSet(const BoundSetTerm& term, const BoundQuery& query, ExecContext& ctx,
               const Frame* outer) {
    const DateFormat df = ctx.dateFormat();
    SetRows out;
    if (term.core >= 0) {
        const BoundCore& core = *query.cores[term.core];
        CoreResult r = runCore(core, query, false, ctx, outer);
        if (core.distinct) removeDuplicates(r.rows);
        applyTop(r.rows, topCount(core, ctx, outer, r.rows.size()), false, query, df);
        for (auto& row : r.rows) {
            for (size_t i = 0; i < row.values.size(); ++i) {
                if (!(row.values[i].type() == query.columns[i].type))
                    row.values[i] = convert(row.values[i], query.columns[i].type,
                                            ConversionKind::Implicit, 0, df);
            }
        }
        out.rows = std::move(r.rows);
        out.memory = std::move(r.memory);
        return out;
    }
    out = runSet(*term.left, query, ctx, outer);
    SetRows right = runSet(*term.right, query, ctx, outer);
    switch (term.op) {
        case sql::SetOperator::UnionAll:
        case sql::SetOperator::Union: {
            const size_t bytes = right.memory.bytes();
            right.memory.set(0);
            out.memory.add(bytes);
            out.rows.reserve(out.rows.size() + right.rows.size());
            for (auto& row : right.rows)
                out.rows.push_back(std::move(row));
            if (term.op == sql::SetOperator::Union) removeDuplicates(out.rows);
            break;
        }
        case sql::SetOperator::Except:
        case sql::SetOperator::Intersect: {
            removeDuplicates(out.rows);
            RowSet other;
            for (const auto& row : right.rows)
                other.insert(row.values);
            const bool keepFound = term.op == sql::SetOperator::Intersect;
            std::vector<OutRow> kept;
            for (auto& row : out.rows) {
                if (other.contains(row.values) == keepFound) kept.push_back(std::move(row));
            }
            out.rows = std::move(kept);
            break;
        }
    }
    return out;
}

}  // namespace

void materializeSources(const BoundCore& core, ExecContext& ctx, const Frame* outer) {
    for (Source* s : core.sources) {
        if (s->derived) {
            s->rowset = std::make_shared<Rowset>(executeQuery(*s->derived, ctx, outer));
        } else if (s->generate) {
            s->rowset = std::make_shared<Rowset>(s->generate());
        }
    }
}

std::vector<int64_t> collectTuples(const BoundCore& core, ExecContext& ctx, const Frame* outer,
                                   size_t limit) {
    materializeSources(core, ctx, outer);
    if (core.from.empty()) return {};
    Tuples all = evaluateFrom(core, ctx, outer, core.residualWhere.empty() ? limit : 0);
    if (core.residualWhere.empty()) return std::move(all.data);
    std::vector<int64_t> kept;
    for (size_t i = 0; i < all.count(); ++i) {
        Frame f = frameFor(core, ctx, outer, all.at(i));
        if (passes(core.residualWhere, f))
            kept.insert(kept.end(), all.at(i), all.at(i) + all.width);
    }
    return kept;
}

Rowset executeQuery(const BoundQuery& query, ExecContext& ctx, const Frame* outer) {
    Rowset result;
    result.columns = query.columns;
    DateFormat df = ctx.dateFormat();
    const bool single = query.cores.size() == 1;
    const BoundCore& first = *query.cores.front();

    if (single) {
        CoreResult r = runCore(first, query, true, ctx, outer);
        if (first.distinct) removeDuplicates(r.rows);
        if (!query.orderBy.empty()) sortRows(r.rows, query, df);
        applyTop(r.rows, topCount(first, ctx, outer, r.rows.size()), first.topWithTies, query, df);
        if (!first.assignments.empty()) {
            // SELECT @v = ...: each row assigns in turn; the last one wins.
            std::vector<int64_t> emptyTuple(first.sources.size(), -1);
            for (const auto& row : r.rows) {
                const int64_t* t = row.tuple >= 0 ? r.tuples.at(static_cast<size_t>(row.tuple))
                                   : row.group >= 0 && r.groupTuples[row.group] >= 0
                                       ? r.tuples.at(static_cast<size_t>(r.groupTuples[row.group]))
                                       : emptyTuple.data();
                if (first.from.empty()) t = nullptr;
                Frame f = frameFor(first, ctx, outer, t);
                if (row.group >= 0) f.group = &r.groups[row.group];
                for (const auto& a : first.assignments) {
                    Value v = a.expr->eval(f);
                    Variable* var = ctx.variables.find(a.variable);
                    var->value = convert(v, var->type, ConversionKind::Implicit, 0, df);
                }
                result.rows.emplace_back();
            }
            return result;
        }
        // Provenance: the base tables of the level and each row's slot in them.
        if (!first.grouped && !first.distinct) {
            std::vector<size_t> tableSources;
            for (size_t s = 0; s < first.sources.size(); ++s) {
                if (first.sources[s]->kind == Source::Kind::Table) {
                    tableSources.push_back(s);
                    result.baseTables.push_back(first.sources[s]->table);
                }
            }
            if (!tableSources.empty()) result.baseSlots.reserve(r.rows.size());
            for (const auto& row : r.rows) {
                if (tableSources.empty()) break;
                std::vector<int64_t> slots;
                for (size_t s : tableSources) {
                    slots.push_back(row.tuple >= 0 ? r.tuples.at(static_cast<size_t>(row.tuple))[s]
                                                   : -1);
                }
                result.baseSlots.push_back(std::move(slots));
            }
        } else {
            result.notUpdatable = 4418;
        }
        result.rows.reserve(r.rows.size());
        for (auto& row : r.rows)
            result.rows.push_back(std::move(row.values));
        return result;
    }

    // Set operators: each core on its own (with its own DISTINCT and TOP), then ORDER BY on
    // the output columns.
    result.notUpdatable = 4417;
    SetRows all = runSet(*query.setTree, query, ctx, outer);
    if (!query.orderBy.empty()) sortRows(all.rows, query, df);
    result.rows.reserve(all.rows.size());
    for (auto& row : all.rows)
        result.rows.push_back(std::move(row.values));
    return result;
}

}  // namespace engine::exec

namespace engine::exec {

bool isStreamable(const BoundQuery& query) {
    if (query.cores.size() != 1 || !query.orderBy.empty()) return false;
    const BoundCore& core = *query.cores.front();
    return !core.grouped && !core.distinct && !core.top && core.assignments.empty();
}

int64_t executeQueryStreamed(const BoundQuery& query, ExecContext& ctx, size_t batchRows,
                             const std::function<void(std::vector<std::vector<Value>>&)>& emit) {
    const BoundCore& core = *query.cores.front();
    materializeSources(core, ctx, nullptr);
    const Tuples tuples = evaluateFrom(core, ctx, nullptr);
    const size_t count = core.from.empty() ? 1 : tuples.count();
    std::vector<std::vector<Value>> batch;
    batch.reserve(std::min(batchRows, count));
    int64_t rows = 0;
    for (size_t i = 0; i < count; ++i) {
        if ((i & 1023) == 0) checkCancelled(ctx.session);
        Frame f = frameFor(core, ctx, nullptr, core.from.empty() ? nullptr : tuples.at(i));
        if (!core.residualWhere.empty() && !passes(core.residualWhere, f)) continue;
        std::vector<Value> values;
        values.reserve(core.outputs.size());
        for (const auto& o : core.outputs)
            values.push_back(o.expr->eval(f));
        batch.push_back(std::move(values));
        ++rows;
        if (batch.size() == batchRows) {
            emit(batch);
            batch.clear();
        }
    }
    if (!batch.empty()) emit(batch);
    return rows;
}

}  // namespace engine::exec
