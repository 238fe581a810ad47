// Bound expressions: the syntax tree's expressions with names resolved (columns to a
// source of a query level, variables to the batch's variables), SQL Server's result
// types computed, and ready to evaluate against a row.
//
// Scalar expressions produce Values; predicates (WHERE, ON, HAVING, IF, CASE WHEN)
// produce three-valued logic. A Frame is the row being evaluated: the tuple of the query
// level (one row index per source), the enclosing levels for correlated subqueries, and
// the current group's keys and aggregate values in a grouped query.
// Thread-compatible: a bound expression belongs to one statement execution (subqueries
// cache their uncorrelated results in it).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/exec/context.h"
#include "engine/exec/source.h"
#include "engine/types/functions.h"
#include "engine/types/like.h"
#include "engine/types/type_rules.h"
#include "engine/types/value.h"

namespace engine::exec {

enum class Tri : uint8_t { False, True, Unknown };

inline Tri triNot(Tri t) {
    return t == Tri::True ? Tri::False : t == Tri::False ? Tri::True : Tri::Unknown;
}

struct GroupRow {
    std::vector<Value> keys;
    std::vector<Value> aggregates;
    // Bit k: the row aggregates over key k (a row of ROLLUP, CUBE or GROUPING SETS that
    // does not group by it; the key is NULL there).
    uint64_t rolledUp = 0;
};

struct Frame {
    const std::vector<Source*>* sources = nullptr;
    const int64_t* tuple = nullptr;
    const Frame* outer = nullptr;
    const GroupRow* group = nullptr;
    ExecContext* ctx = nullptr;
};

class BoundExpr {
  public:
    explicit BoundExpr(DataType t) : type(t) {}
    virtual ~BoundExpr() = default;
    virtual Value eval(const Frame& frame) const = 0;
    // True for expressions that do not depend on rows, variables or the clock.
    virtual bool isConstant() const { return false; }
    // Adds the sources of the current level (depth 0) that the expression reads (columns
    // of enclosing levels are constants here); returns false when which sources it reads
    // cannot be told (a correlated subquery).
    virtual bool collectSources(std::vector<int>& out) const = 0;

    DataType type;
    bool nullable = true;
    // A plain column of a source of the current level: the source and column.
    int columnSource = -1;
    int columnIndex = -1;
};
using BoundExprPtr = std::unique_ptr<BoundExpr>;

class BoundPredicate {
  public:
    virtual ~BoundPredicate() = default;
    virtual Tri test(const Frame& frame) const = 0;
    virtual bool collectSources(std::vector<int>& out) const = 0;
    // For "a = b": the two sides (hash-join keys); nullptr otherwise.
    virtual const BoundExpr* equalityLeft() const { return nullptr; }
    virtual const BoundExpr* equalityRight() const { return nullptr; }
    // For "x IS NULL": x; nullptr otherwise.
    virtual const BoundExpr* nullTested() const { return nullptr; }
    // For AND: the conjuncts.
    virtual void conjuncts(std::vector<const BoundPredicate*>& out) const { out.push_back(this); }
};
using BoundPredicatePtr = std::unique_ptr<BoundPredicate>;

// --- scalar expressions ------------------------------------------------------------

class ConstantExpr : public BoundExpr {
  public:
    explicit ConstantExpr(Value v) : BoundExpr(v.type()), value_(std::move(v)) {
        nullable = value_.isNull();
    }
    Value eval(const Frame&) const override { return value_; }
    bool isConstant() const override { return true; }
    bool collectSources(std::vector<int>&) const override { return true; }
    const Value& value() const { return value_; }

  private:
    Value value_;
};

class ColumnExpr : public BoundExpr {
  public:
    ColumnExpr(DataType t, int depth, int source, int column)
        : BoundExpr(t), depth_(depth), source_(source), column_(column) {
        if (depth == 0) {
            columnSource = source;
            columnIndex = column;
        }
    }
    Value eval(const Frame& frame) const override;
    bool collectSources(std::vector<int>& out) const override;
    int depth() const { return depth_; }

  private:
    int depth_, source_, column_;
};

class VariableExpr : public BoundExpr {
  public:
    VariableExpr(DataType t, std::string name) : BoundExpr(t), name_(std::move(name)) {}
    Value eval(const Frame& frame) const override;
    bool collectSources(std::vector<int>&) const override { return true; }

  private:
    std::string name_;
};

// Functions computed from their arguments' values by a callable (arithmetic, scalar
// built-ins, ISNULL, CAST, metadata functions ...).
class CallExpr : public BoundExpr {
  public:
    using Fn = std::function<Value(std::vector<Value>& args, const Frame& frame)>;
    // How a call's result may be reused.
    enum class Reuse {
        Constant,   // the same for the same arguments: folded like a literal
        Statement,  // the same throughout one statement (OBJECT_ID, GETDATE): computed
                    // once per statement when its arguments are constant
        Never,      // a new value each time (NEWID)
    };
    CallExpr(DataType t, std::vector<BoundExprPtr> args, Fn fn, Reuse reuse = Reuse::Constant)
        : BoundExpr(t), args_(std::move(args)), fn_(std::move(fn)), reuse_(reuse) {}
    Value eval(const Frame& frame) const override;
    bool isConstant() const override;
    bool collectSources(std::vector<int>& out) const override;

  private:
    bool argumentsConstant() const;

    std::vector<BoundExprPtr> args_;
    Fn fn_;
    Reuse reuse_;
    mutable std::optional<Value> statementValue_;
};

// COALESCE / ISNULL-like: evaluates arguments lazily, first non-NULL converted.
class CoalesceExpr : public BoundExpr {
  public:
    CoalesceExpr(DataType t, std::vector<BoundExprPtr> args)
        : BoundExpr(t), args_(std::move(args)) {}
    Value eval(const Frame& frame) const override;
    bool isConstant() const override;
    bool collectSources(std::vector<int>& out) const override;

  private:
    std::vector<BoundExprPtr> args_;
};

class CaseExpr : public BoundExpr {
  public:
    CaseExpr(DataType t, std::vector<BoundPredicatePtr> whens, std::vector<BoundExprPtr> thens,
             BoundExprPtr otherwise)
        : BoundExpr(t),
          whens_(std::move(whens)),
          thens_(std::move(thens)),
          else_(std::move(otherwise)) {}
    Value eval(const Frame& frame) const override;
    bool collectSources(std::vector<int>& out) const override;

  private:
    std::vector<BoundPredicatePtr> whens_;
    std::vector<BoundExprPtr> thens_;
    BoundExprPtr else_;
};

// A scalar subquery: its single value, NULL for no row, 512 for several.
class SubqueryExpr : public BoundExpr {
  public:
    SubqueryExpr(DataType t, std::unique_ptr<BoundQuery> query, bool correlated);
    ~SubqueryExpr() override;
    Value eval(const Frame& frame) const override;
    bool collectSources(std::vector<int>&) const override { return !correlated_; }

  private:
    std::unique_ptr<BoundQuery> query_;
    bool correlated_;
    mutable std::optional<Value> cache_;
};

class AggregateRefExpr : public BoundExpr {
  public:
    AggregateRefExpr(DataType t, int index) : BoundExpr(t), index_(index) {}
    Value eval(const Frame& frame) const override { return frame.group->aggregates[index_]; }
    bool collectSources(std::vector<int>&) const override { return false; }

  private:
    int index_;
};

class GroupKeyExpr : public BoundExpr {
  public:
    GroupKeyExpr(DataType t, int index) : BoundExpr(t), index_(index) {}
    Value eval(const Frame& frame) const override { return frame.group->keys[index_]; }
    bool collectSources(std::vector<int>&) const override { return false; }

  private:
    int index_;
};

// GROUPING(key): 1 when the group's row aggregates over the key; GROUPING_ID(k1, ..., kn):
// those bits as an integer, k1 the most significant.
class GroupingExpr : public BoundExpr {
  public:
    GroupingExpr(DataType t, std::vector<int> keys) : BoundExpr(t), keys_(std::move(keys)) {
        nullable = false;
    }
    Value eval(const Frame& frame) const override {
        int64_t bits = 0;
        for (int k : keys_)
            bits = (bits << 1) | static_cast<int64_t>((frame.group->rolledUp >> k) & 1);
        return Value::integer(bits, type.id);
    }
    bool collectSources(std::vector<int>&) const override { return false; }

  private:
    std::vector<int> keys_;
};

// --- predicates ----------------------------------------------------------------------

class ComparePredicate : public BoundPredicate {
  public:
    ComparePredicate(ComparisonOp op, BoundExprPtr l, BoundExprPtr r)
        : op_(op), left_(std::move(l)), right_(std::move(r)) {}
    Tri test(const Frame& frame) const override;
    bool collectSources(std::vector<int>& out) const override;
    const BoundExpr* equalityLeft() const override {
        return op_ == ComparisonOp::Equal ? left_.get() : nullptr;
    }
    const BoundExpr* equalityRight() const override {
        return op_ == ComparisonOp::Equal ? right_.get() : nullptr;
    }

  private:
    ComparisonOp op_;
    BoundExprPtr left_, right_;
};

class AndPredicate : public BoundPredicate {
  public:
    AndPredicate(BoundPredicatePtr l, BoundPredicatePtr r)
        : left_(std::move(l)), right_(std::move(r)) {}
    Tri test(const Frame& frame) const override;
    bool collectSources(std::vector<int>& out) const override;
    void conjuncts(std::vector<const BoundPredicate*>& out) const override {
        left_->conjuncts(out);
        right_->conjuncts(out);
    }

  private:
    BoundPredicatePtr left_, right_;
};

class OrPredicate : public BoundPredicate {
  public:
    OrPredicate(BoundPredicatePtr l, BoundPredicatePtr r)
        : left_(std::move(l)), right_(std::move(r)) {}
    Tri test(const Frame& frame) const override;
    bool collectSources(std::vector<int>& out) const override;

  private:
    BoundPredicatePtr left_, right_;
};

class NotPredicate : public BoundPredicate {
  public:
    explicit NotPredicate(BoundPredicatePtr p) : inner_(std::move(p)) {}
    Tri test(const Frame& frame) const override { return triNot(inner_->test(frame)); }
    bool collectSources(std::vector<int>& out) const override {
        return inner_->collectSources(out);
    }

  private:
    BoundPredicatePtr inner_;
};

// A condition whose outcome is known when it is bound (UPDATE(c) in a trigger).
class FixedPredicate : public BoundPredicate {
  public:
    explicit FixedPredicate(Tri outcome) : outcome_(outcome) {}
    Tri test(const Frame&) const override { return outcome_; }
    bool collectSources(std::vector<int>&) const override { return true; }

  private:
    Tri outcome_;
};

class IsNullPredicate : public BoundPredicate {
  public:
    IsNullPredicate(BoundExprPtr e, bool negated) : expr_(std::move(e)), negated_(negated) {}
    Tri test(const Frame& frame) const override;
    bool collectSources(std::vector<int>& out) const override { return expr_->collectSources(out); }
    const BoundExpr* nullTested() const override { return negated_ ? nullptr : expr_.get(); }

  private:
    BoundExprPtr expr_;
    bool negated_;
};

class BetweenPredicate : public BoundPredicate {
  public:
    BetweenPredicate(BoundExprPtr e, BoundExprPtr lo, BoundExprPtr hi, bool negated)
        : expr_(std::move(e)), low_(std::move(lo)), high_(std::move(hi)), negated_(negated) {}
    Tri test(const Frame& frame) const override;
    bool collectSources(std::vector<int>& out) const override;

  private:
    BoundExprPtr expr_, low_, high_;
    bool negated_;
};

class InListPredicate : public BoundPredicate {
  public:
    InListPredicate(BoundExprPtr e, std::vector<BoundExprPtr> list, bool negated)
        : expr_(std::move(e)), list_(std::move(list)), negated_(negated) {}
    Tri test(const Frame& frame) const override;
    bool collectSources(std::vector<int>& out) const override;

  private:
    BoundExprPtr expr_;
    std::vector<BoundExprPtr> list_;
    bool negated_;
};

// x IN (subquery), x op ANY/ALL (subquery), EXISTS (subquery).
class SubqueryPredicate : public BoundPredicate {
  public:
    enum class Mode { In, Any, All, Exists };
    SubqueryPredicate(Mode mode, ComparisonOp op, BoundExprPtr e, std::unique_ptr<BoundQuery> q,
                      bool correlated, bool negated);
    ~SubqueryPredicate() override;
    Tri test(const Frame& frame) const override;
    bool collectSources(std::vector<int>& out) const override {
        return !correlated_ && (!expr_ || expr_->collectSources(out));
    }

  private:
    const std::vector<Value>& values(const Frame& frame) const;

    Mode mode_;
    ComparisonOp op_;
    BoundExprPtr expr_;
    std::unique_ptr<BoundQuery> query_;
    bool correlated_;
    bool negated_;
    mutable std::optional<std::vector<Value>> cache_;
    mutable std::vector<Value> scratch_;
};

class LikePredicate : public BoundPredicate {
  public:
    LikePredicate(BoundExprPtr e, BoundExprPtr pattern, BoundExprPtr escape, bool negated);
    Tri test(const Frame& frame) const override;
    bool collectSources(std::vector<int>& out) const override;

  private:
    BoundExprPtr expr_, pattern_, escape_;
    bool negated_;
    bool constantPattern_ = false;
    // Compiled at the first test when the pattern is constant.
    mutable std::optional<LikePattern> compiled_;
};

class ConstantPredicate : public BoundPredicate {
  public:
    explicit ConstantPredicate(Tri v) : value_(v) {}
    Tri test(const Frame&) const override { return value_; }
    bool collectSources(std::vector<int>&) const override { return true; }

  private:
    Tri value_;
};

// Evaluates an expression and compares it as a predicate helper would.
Tri compareTri(ComparisonOp op, const Value& a, const Value& b, DateFormat format);

}  // namespace engine::exec
