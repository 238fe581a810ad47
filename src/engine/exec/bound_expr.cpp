#include "engine/exec/bound_expr.h"

#include "engine/exec/query.h"
#include "engine/types/compare.h"
#include "engine/types/conversion.h"

namespace engine::exec {

Tri compareTri(ComparisonOp op, const Value& a, const Value& b, DateFormat format) {
    Comparison c = compareValues(a, b, format);
    if (c == Comparison::Unknown) return Tri::Unknown;
    bool r = false;
    switch (op) {
        case ComparisonOp::Equal:
            r = c == Comparison::Equal;
            break;
        case ComparisonOp::NotEqual:
            r = c != Comparison::Equal;
            break;
        case ComparisonOp::Less:
            r = c == Comparison::Less;
            break;
        case ComparisonOp::LessOrEqual:
            r = c != Comparison::Greater;
            break;
        case ComparisonOp::Greater:
            r = c == Comparison::Greater;
            break;
        case ComparisonOp::GreaterOrEqual:
            r = c != Comparison::Less;
            break;
    }
    return r ? Tri::True : Tri::False;
}

Value ColumnExpr::eval(const Frame& frame) const {
    const Frame* f = &frame;
    for (int d = 0; d < depth_; ++d)
        f = f->outer;
    return (*f->sources)[source_]->value(f->tuple[source_], column_);
}

bool ColumnExpr::collectSources(std::vector<int>& out) const {
    // A column of an enclosing level is a constant while this level runs.
    if (depth_ == 0) out.push_back(source_);
    return true;
}

Value VariableExpr::eval(const Frame& frame) const {
    const Variable* v = frame.ctx->variables.find(name_);
    return v ? v->value : Value::null(type);
}

Value CallExpr::eval(const Frame& frame) const {
    if (statementValue_) return *statementValue_;
    std::vector<Value> values;
    values.reserve(args_.size());
    for (const auto& a : args_)
        values.push_back(a->eval(frame));
    Value v = fn_(values, frame);
    if (reuse_ == Reuse::Statement && argumentsConstant()) statementValue_ = v;
    return v;
}

bool CallExpr::argumentsConstant() const {
    for (const auto& a : args_) {
        if (!a->isConstant()) return false;
    }
    return true;
}

bool CallExpr::isConstant() const {
    return reuse_ == Reuse::Constant && argumentsConstant();
}

bool CallExpr::collectSources(std::vector<int>& out) const {
    for (const auto& a : args_) {
        if (!a->collectSources(out)) return false;
    }
    return true;
}

Value CoalesceExpr::eval(const Frame& frame) const {
    for (const auto& a : args_) {
        Value v = a->eval(frame);
        if (!v.isNull()) {
            return convert(v, type, ConversionKind::Implicit, 0, frame.ctx->dateFormat());
        }
    }
    return Value::null(type);
}

bool CoalesceExpr::isConstant() const {
    for (const auto& a : args_) {
        if (!a->isConstant()) return false;
    }
    return true;
}

bool CoalesceExpr::collectSources(std::vector<int>& out) const {
    for (const auto& a : args_) {
        if (!a->collectSources(out)) return false;
    }
    return true;
}

Value CaseExpr::eval(const Frame& frame) const {
    for (size_t i = 0; i < whens_.size(); ++i) {
        if (whens_[i]->test(frame) == Tri::True) {
            Value v = thens_[i]->eval(frame);
            return convert(v, type, ConversionKind::Implicit, 0, frame.ctx->dateFormat());
        }
    }
    if (else_) {
        Value v = else_->eval(frame);
        return convert(v, type, ConversionKind::Implicit, 0, frame.ctx->dateFormat());
    }
    return Value::null(type);
}

bool CaseExpr::collectSources(std::vector<int>& out) const {
    for (const auto& w : whens_) {
        if (!w->collectSources(out)) return false;
    }
    for (const auto& t : thens_) {
        if (!t->collectSources(out)) return false;
    }
    return !else_ || else_->collectSources(out);
}

SubqueryExpr::SubqueryExpr(DataType t, std::unique_ptr<BoundQuery> query, bool correlated)
    : BoundExpr(t), query_(std::move(query)), correlated_(correlated) {}

SubqueryExpr::~SubqueryExpr() = default;

Value SubqueryExpr::eval(const Frame& frame) const {
    if (!correlated_ && cache_) return *cache_;
    Rowset rows = executeQuery(*query_, *frame.ctx, &frame);
    if (rows.rows.size() > 1) raise(*frame.ctx, 512);
    Value v = rows.rows.empty() ? Value::null(type) : rows.rows[0][0];
    if (!correlated_) cache_ = v;
    return v;
}

Tri ComparePredicate::test(const Frame& frame) const {
    Value a = left_->eval(frame);
    if (a.isNull()) return Tri::Unknown;
    Value b = right_->eval(frame);
    return compareTri(op_, a, b, frame.ctx->dateFormat());
}

bool ComparePredicate::collectSources(std::vector<int>& out) const {
    return left_->collectSources(out) && right_->collectSources(out);
}

Tri AndPredicate::test(const Frame& frame) const {
    Tri l = left_->test(frame);
    if (l == Tri::False) return Tri::False;
    Tri r = right_->test(frame);
    if (r == Tri::False) return Tri::False;
    return (l == Tri::True && r == Tri::True) ? Tri::True : Tri::Unknown;
}

bool AndPredicate::collectSources(std::vector<int>& out) const {
    return left_->collectSources(out) && right_->collectSources(out);
}

Tri OrPredicate::test(const Frame& frame) const {
    Tri l = left_->test(frame);
    if (l == Tri::True) return Tri::True;
    Tri r = right_->test(frame);
    if (r == Tri::True) return Tri::True;
    return (l == Tri::False && r == Tri::False) ? Tri::False : Tri::Unknown;
}

bool OrPredicate::collectSources(std::vector<int>& out) const {
    return left_->collectSources(out) && right_->collectSources(out);
}

Tri IsNullPredicate::test(const Frame& frame) const {
    bool isNull = expr_->eval(frame).isNull();
    return (isNull != negated_) ? Tri::True : Tri::False;
}

Tri BetweenPredicate::test(const Frame& frame) const {
    Value v = expr_->eval(frame);
    DateFormat f = frame.ctx->dateFormat();
    Tri lo = compareTri(ComparisonOp::GreaterOrEqual, v, low_->eval(frame), f);
    Tri hi = compareTri(ComparisonOp::LessOrEqual, v, high_->eval(frame), f);
    Tri both = (lo == Tri::False || hi == Tri::False) ? Tri::False
               : (lo == Tri::True && hi == Tri::True) ? Tri::True
                                                      : Tri::Unknown;
    return negated_ ? triNot(both) : both;
}

bool BetweenPredicate::collectSources(std::vector<int>& out) const {
    return expr_->collectSources(out) && low_->collectSources(out) && high_->collectSources(out);
}

Tri InListPredicate::test(const Frame& frame) const {
    Value v = expr_->eval(frame);
    DateFormat f = frame.ctx->dateFormat();
    Tri result = Tri::False;
    if (v.isNull()) {
        result = Tri::Unknown;
    } else {
        for (const auto& item : list_) {
            Tri t = compareTri(ComparisonOp::Equal, v, item->eval(frame), f);
            if (t == Tri::True) {
                result = Tri::True;
                break;
            }
            if (t == Tri::Unknown) result = Tri::Unknown;
        }
    }
    return negated_ ? triNot(result) : result;
}

bool InListPredicate::collectSources(std::vector<int>& out) const {
    if (!expr_->collectSources(out)) return false;
    for (const auto& i : list_) {
        if (!i->collectSources(out)) return false;
    }
    return true;
}

SubqueryPredicate::SubqueryPredicate(Mode mode, ComparisonOp op, BoundExprPtr e,
                                     std::unique_ptr<BoundQuery> q, bool correlated, bool negated)
    : mode_(mode),
      op_(op),
      expr_(std::move(e)),
      query_(std::move(q)),
      correlated_(correlated),
      negated_(negated) {}

SubqueryPredicate::~SubqueryPredicate() = default;

const std::vector<Value>& SubqueryPredicate::values(const Frame& frame) const {
    if (!correlated_ && cache_) return *cache_;
    Rowset rows = executeQuery(*query_, *frame.ctx, &frame);
    std::vector<Value> out;
    out.reserve(rows.rows.size());
    for (auto& r : rows.rows)
        out.push_back(r.empty() ? Value() : std::move(r[0]));
    if (!correlated_) {
        cache_ = std::move(out);
        return *cache_;
    }
    scratch_ = std::move(out);
    return scratch_;
}

Tri SubqueryPredicate::test(const Frame& frame) const {
    Tri result;
    if (mode_ == Mode::Exists) {
        Rowset rows = executeQuery(*query_, *frame.ctx, &frame);
        result = rows.rows.empty() ? Tri::False : Tri::True;
        return negated_ ? triNot(result) : result;
    }
    Value v = expr_->eval(frame);
    const std::vector<Value>& list = values(frame);
    DateFormat f = frame.ctx->dateFormat();
    ComparisonOp op = mode_ == Mode::In ? ComparisonOp::Equal : op_;
    if (mode_ == Mode::All) {
        result = Tri::True;
        for (const auto& item : list) {
            Tri t = compareTri(op, v, item, f);
            if (t == Tri::False) {
                result = Tri::False;
                break;
            }
            if (t == Tri::Unknown) result = Tri::Unknown;
        }
    } else {
        result = Tri::False;
        for (const auto& item : list) {
            Tri t = compareTri(op, v, item, f);
            if (t == Tri::True) {
                result = Tri::True;
                break;
            }
            if (t == Tri::Unknown) result = Tri::Unknown;
        }
    }
    return negated_ ? triNot(result) : result;
}

LikePredicate::LikePredicate(BoundExprPtr e, BoundExprPtr pattern, BoundExprPtr escape,
                             bool negated)
    : expr_(std::move(e)),
      pattern_(std::move(pattern)),
      escape_(std::move(escape)),
      negated_(negated) {
    constantPattern_ = pattern_->isConstant() && (!escape_ || escape_->isConstant());
}

namespace {

std::string asLikeText(const Value& v, DateFormat f) {
    if (isCharacter(v.typeId())) return v.bytes();
    return convert(v, DataType::varchar(8000), ConversionKind::Implicit, 0, f).bytes();
}

}  // namespace

Tri LikePredicate::test(const Frame& frame) const {
    Value v = expr_->eval(frame);
    if (v.isNull()) return Tri::Unknown;
    DateFormat f = frame.ctx->dateFormat();
    std::string text = asLikeText(v, f);
    bool match;
    if (compiled_) {
        match = compiled_->matches(text);
    } else {
        Value p = pattern_->eval(frame);
        if (p.isNull()) return Tri::Unknown;
        std::optional<std::string> esc;
        if (escape_) {
            Value e = escape_->eval(frame);
            if (e.isNull()) return Tri::Unknown;
            esc = asLikeText(e, f);
        }
        LikePattern compiled = LikePattern::compile(
            asLikeText(p, f), esc ? std::optional<std::string_view>(*esc) : std::nullopt);
        match = compiled.matches(text);
        if (constantPattern_) compiled_ = std::move(compiled);
    }
    return (match != negated_) ? Tri::True : Tri::False;
}

bool LikePredicate::collectSources(std::vector<int>& out) const {
    return expr_->collectSources(out) && pattern_->collectSources(out) &&
           (!escape_ || escape_->collectSources(out));
}

}  // namespace engine::exec
