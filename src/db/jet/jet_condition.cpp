#include "db/jet/jet_condition.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "db/text_util.h"

namespace db::jet {

Error jetError(int number, std::string description) {
    return Error{client_error::kConnectionFailed, number, "", std::move(description)};
}

namespace {

// ---------------------------------------------------------------- tokens

struct Token {
    enum class Kind { End, Number, String, Date, Name, Symbol } kind = Kind::End;
    std::string text;  // number text, string/date content, name, or symbol
    bool bracketed = false;
};

Status syntaxError(std::string_view text) {
    return Status(jetError(jet_error::kSyntaxError,
                           "Syntax error in query expression '" + std::string(text) + "'."));
}

bool tokenize(std::string_view s, std::vector<Token>& out) {
    size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '\'' || c == '"') {
            std::string text;
            ++i;
            if (!readQuoted(s, i, c, text)) return false;
            out.push_back({Token::Kind::String, text});
        } else if (c == '#') {
            const size_t close = s.find('#', i + 1);
            if (close == std::string_view::npos) return false;
            out.push_back({Token::Kind::Date, std::string(s.substr(i + 1, close - i - 1))});
            i = close + 1;
        } else if (c == '[') {
            const size_t close = s.find(']', i + 1);
            if (close == std::string_view::npos) return false;
            out.push_back({Token::Kind::Name, std::string(s.substr(i + 1, close - i - 1)), true});
            i = close + 1;
        } else if (std::isdigit(static_cast<unsigned char>(c)) ||
                   (c == '.' && i + 1 < s.size() && std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
            size_t j = i;
            while (j < s.size() && (std::isdigit(static_cast<unsigned char>(s[j])) || s[j] == '.')) ++j;
            if (j < s.size() && (s[j] == 'e' || s[j] == 'E')) {
                size_t k = j + 1;
                if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
                if (k < s.size() && std::isdigit(static_cast<unsigned char>(s[k]))) {
                    j = k;
                    while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
                }
            }
            out.push_back({Token::Kind::Number, std::string(s.substr(i, j - i))});
            i = j;
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_' || static_cast<unsigned char>(c) >= 0x80) {
            size_t j = i;
            while (j < s.size() && (std::isalnum(static_cast<unsigned char>(s[j])) || s[j] == '_' ||
                                    static_cast<unsigned char>(s[j]) >= 0x80)) {
                ++j;
            }
            out.push_back({Token::Kind::Name, std::string(s.substr(i, j - i))});
            i = j;
        } else {
            static const char* kTwo[] = {"<>", "<=", ">=", "!="};
            std::string symbol(1, c);
            for (const char* two : kTwo) {
                if (s.substr(i, 2) == two) symbol = two;
            }
            if (std::string_view("=<>()+-*/&,.\\!").find(c) == std::string_view::npos) return false;
            out.push_back({Token::Kind::Symbol, symbol});
            i += symbol.size();
        }
    }
    out.push_back({Token::Kind::End, ""});
    return true;
}

}  // namespace

// ---------------------------------------------------------------- syntax tree

struct Expression {
    enum class Op { Literal, Column, Not, And, Or, Compare, IsNull, Like, In, Between, Negate, Arith };
    Op op = Op::Literal;
    Variant literal;
    std::string name;    // column name (Column) or operator symbol (Compare, Arith)
    size_t column = 0;   // bound column index
    bool negated = false;
    std::vector<std::unique_ptr<Expression>> args;
};

namespace {

using ExprPtr = std::unique_ptr<Expression>;

ExprPtr make(Expression::Op op, std::string name = {}) {
    auto e = std::make_unique<Expression>();
    e->op = op;
    e->name = std::move(name);
    return e;
}

class Parser {
public:
    Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

    ExprPtr parseAll() {
        ExprPtr e = parseOr();
        if (!e || peek().kind != Token::Kind::End) return nullptr;
        return e;
    }

private:
    const Token& peek(size_t ahead = 0) const { return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)]; }
    bool isKeyword(const Token& t, std::string_view word) const {
        return t.kind == Token::Kind::Name && !t.bracketed && equalsIgnoreCase(t.text, word);
    }
    bool acceptKeyword(std::string_view word) {
        if (!isKeyword(peek(), word)) return false;
        ++pos_;
        return true;
    }
    bool acceptSymbol(std::string_view symbol) {
        if (peek().kind != Token::Kind::Symbol || peek().text != symbol) return false;
        ++pos_;
        return true;
    }

    using Operator = std::optional<std::pair<Expression::Op, std::string>>;

    // left (operator right)*, folded to the left: "a OR b OR c" is ((a OR b) OR c).
    template <typename Accept>
    ExprPtr parseLeftAssociative(ExprPtr (Parser::*next)(), Accept acceptOperator) {
        ExprPtr left = (this->*next)();
        while (left) {
            const Operator op = acceptOperator();
            if (!op) break;
            ExprPtr right = (this->*next)();
            if (!right) return nullptr;
            auto e = make(op->first, op->second);
            e->args.push_back(std::move(left));
            e->args.push_back(std::move(right));
            left = std::move(e);
        }
        return left;
    }

    Operator acceptOne(Expression::Op op, std::initializer_list<const char*> symbols, const char* keyword = nullptr) {
        for (const char* s : symbols) {
            if (acceptSymbol(s)) return std::make_pair(op, std::string(s));
        }
        if (keyword != nullptr && acceptKeyword(keyword)) return std::make_pair(op, std::string(keyword));
        return std::nullopt;
    }

    ExprPtr parseOr() {
        return parseLeftAssociative(&Parser::parseAnd, [this] { return acceptOne(Expression::Op::Or, {}, "OR"); });
    }
    ExprPtr parseAnd() {
        return parseLeftAssociative(&Parser::parseNot, [this] { return acceptOne(Expression::Op::And, {}, "AND"); });
    }

    ExprPtr parseNot() {
        if (acceptKeyword("NOT")) {
            ExprPtr inner = parseNot();
            if (!inner) return nullptr;
            auto e = make(Expression::Op::Not);
            e->args.push_back(std::move(inner));
            return e;
        }
        return parsePredicate();
    }

    ExprPtr parsePredicate() {
        ExprPtr left = parseAdditive();
        if (!left) return nullptr;
        static const char* kComparisons[] = {"=", "<>", "!=", "<", ">", "<=", ">="};
        for (const char* cmp : kComparisons) {
            if (acceptSymbol(cmp)) {
                ExprPtr right = parseAdditive();
                if (!right) return nullptr;
                auto e = make(Expression::Op::Compare, std::string(cmp) == "!=" ? "<>" : cmp);
                e->args.push_back(std::move(left));
                e->args.push_back(std::move(right));
                return e;
            }
        }
        if (acceptKeyword("IS")) {
            const bool negated = acceptKeyword("NOT");
            if (!acceptKeyword("NULL")) return nullptr;
            auto e = make(Expression::Op::IsNull);
            e->negated = negated;
            e->args.push_back(std::move(left));
            return e;
        }
        const bool negated = acceptKeyword("NOT");
        if (acceptKeyword("LIKE")) {
            ExprPtr pattern = parseAdditive();
            if (!pattern) return nullptr;
            auto e = make(Expression::Op::Like);
            e->negated = negated;
            e->args.push_back(std::move(left));
            e->args.push_back(std::move(pattern));
            return e;
        }
        if (acceptKeyword("IN")) {
            if (!acceptSymbol("(")) return nullptr;
            auto e = make(Expression::Op::In);
            e->negated = negated;
            e->args.push_back(std::move(left));
            do {
                ExprPtr item = parseAdditive();
                if (!item) return nullptr;
                e->args.push_back(std::move(item));
            } while (acceptSymbol(","));
            if (!acceptSymbol(")")) return nullptr;
            return e;
        }
        if (acceptKeyword("BETWEEN")) {
            ExprPtr low = parseAdditive();
            if (!low || !acceptKeyword("AND")) return nullptr;
            ExprPtr high = parseAdditive();
            if (!high) return nullptr;
            auto e = make(Expression::Op::Between);
            e->negated = negated;
            e->args.push_back(std::move(left));
            e->args.push_back(std::move(low));
            e->args.push_back(std::move(high));
            return e;
        }
        if (negated) return nullptr;
        return left;
    }

    ExprPtr parseAdditive() {
        return parseLeftAssociative(&Parser::parseMultiplicative,
                                    [this] { return acceptOne(Expression::Op::Arith, {"+", "-", "&"}); });
    }

    ExprPtr parseMultiplicative() {
        return parseLeftAssociative(&Parser::parseUnary,
                                    [this] { return acceptOne(Expression::Op::Arith, {"*", "/", "\\"}, "MOD"); });
    }

    ExprPtr parseUnary() {
        if (acceptSymbol("-")) {
            ExprPtr inner = parseUnary();
            if (!inner) return nullptr;
            auto e = make(Expression::Op::Negate);
            e->args.push_back(std::move(inner));
            return e;
        }
        if (acceptSymbol("+")) return parseUnary();
        return parsePrimary();
    }

    ExprPtr parsePrimary() {
        const Token t = peek();
        switch (t.kind) {
            case Token::Kind::Number: {
                ++pos_;
                auto e = make(Expression::Op::Literal);
                if (t.text.find_first_of(".eE") == std::string::npos && t.text.size() < 18) {
                    e->literal = Variant::integer(std::strtoll(t.text.c_str(), nullptr, 10));
                } else {
                    e->literal = Variant::real(std::strtod(t.text.c_str(), nullptr));
                }
                return e;
            }
            case Token::Kind::String: {
                ++pos_;
                auto e = make(Expression::Op::Literal);
                e->literal = Variant::text(t.text);
                return e;
            }
            case Token::Kind::Date: {
                ++pos_;
                auto date = parseDateTime(t.text, SlashedDateOrder::MonthFirst);
                if (!date) return nullptr;
                auto e = make(Expression::Op::Literal);
                e->literal = Variant::dateTime(*date);
                return e;
            }
            case Token::Kind::Name: {
                ++pos_;
                if (!t.bracketed) {
                    if (equalsIgnoreCase(t.text, "NULL")) return make(Expression::Op::Literal);
                    for (const char* word : {"TRUE", "YES", "ON"}) {
                        if (equalsIgnoreCase(t.text, word)) {
                            auto e = make(Expression::Op::Literal);
                            e->literal = Variant::boolean(true);
                            return e;
                        }
                    }
                    for (const char* word : {"FALSE", "NO", "OFF"}) {
                        if (equalsIgnoreCase(t.text, word)) {
                            auto e = make(Expression::Op::Literal);
                            e->literal = Variant::boolean(false);
                            return e;
                        }
                    }
                    for (const char* word : {"AND", "OR", "NOT", "IS", "LIKE", "IN", "BETWEEN", "MOD"}) {
                        if (equalsIgnoreCase(t.text, word)) return nullptr;
                    }
                }
                std::string name = t.text;
                // A qualified name (Table.Column or [Table].[Column]) keeps its last part.
                while (peek().kind == Token::Kind::Symbol && peek().text == "." &&
                       peek(1).kind == Token::Kind::Name) {
                    name = peek(1).text;
                    pos_ += 2;
                }
                if (peek().kind == Token::Kind::Symbol && peek().text == "(") {
                    // Function calls are not part of the conditions the file holds.
                    unsupportedFunction_ = name;
                    return nullptr;
                }
                return make(Expression::Op::Column, name);
            }
            case Token::Kind::Symbol:
                if (t.text == "(") {
                    ++pos_;
                    ExprPtr inner = parseOr();
                    if (!inner || !acceptSymbol(")")) return nullptr;
                    return inner;
                }
                return nullptr;
            case Token::Kind::End:
                return nullptr;
        }
        return nullptr;
    }

public:
    std::string unsupportedFunction_;

private:
    std::vector<Token> tokens_;
    size_t pos_ = 0;
};

Status bindColumns(Expression& e, const std::vector<FieldInfo>& columns) {
    if (e.op == Expression::Op::Column) {
        for (size_t i = 0; i < columns.size(); ++i) {
            if (equalsIgnoreCase(columns[i].name, e.name)) {
                e.column = i;
                return Status::success();
            }
        }
        // Jet takes an unknown name for a parameter that was not given a value.
        return Status(jetError(jet_error::kUnknownName,
                               "No value given for one or more required parameters (unknown name '" + e.name + "')."));
    }
    for (auto& arg : e.args) {
        if (Status s = bindColumns(*arg, columns); !s) return s;
    }
    return Status::success();
}

// ---------------------------------------------------------------- evaluation

Status mismatch() {
    return Status(jetError(jet_error::kTypeMismatch, "Data type mismatch in criteria expression."));
}

bool isNumberKind(Variant::Kind k) {
    return k == Variant::Kind::Boolean || k == Variant::Kind::Integer || k == Variant::Kind::Double ||
           k == Variant::Kind::Currency || k == Variant::Kind::Decimal;
}

std::optional<double> wholeNumber(const std::string& text) {
    const std::string_view trimmed = trimBlanks(text);
    if (trimmed.empty()) return std::nullopt;
    const std::string s(trimmed);
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (end != s.c_str() + s.size()) return std::nullopt;
    return v;
}

// Three-way comparison of two non-NULL values with Jet's conversions.
Status compareValues(const Variant& a, const Variant& b, int& result) {
    auto sign = [](double d) { return d < 0 ? -1 : d > 0 ? 1 : 0; };
    const auto ka = a.kind(), kb = b.kind();
    if (ka == Variant::Kind::Text && kb == Variant::Kind::Text) {
        const std::string fa = foldCase(a.str()), fb = foldCase(b.str());
        result = fa < fb ? -1 : fa > fb ? 1 : 0;
        return Status::success();
    }
    if (ka == Variant::Kind::DateTime || kb == Variant::Kind::DateTime) {
        auto asOle = [](const Variant& v) -> std::optional<double> {
            if (v.kind() == Variant::Kind::DateTime) return v.dateTimeValue().toOleDate();
            if (isNumberKind(v.kind())) return v.toNumber();
            if (v.kind() == Variant::Kind::Text) {
                if (auto d = parseDateTime(v.str())) return d->toOleDate();
            }
            return std::nullopt;
        };
        const auto da = asOle(a), dbv = asOle(b);
        if (!da || !dbv) return mismatch();
        result = sign(*da - *dbv);
        return Status::success();
    }
    auto asNumber = [](const Variant& v) -> std::optional<double> {
        if (isNumberKind(v.kind())) return v.toNumber();
        if (v.kind() == Variant::Kind::Text) return wholeNumber(v.str());
        return std::nullopt;
    };
    const auto na = asNumber(a), nb = asNumber(b);
    if (!na || !nb) return mismatch();
    result = sign(*na - *nb);
    return Status::success();
}

Status evaluate(const Expression& e, const std::vector<Variant>& row, Variant& out);

// Logical value: true, false, or nullopt for unknown.
Status truth(const Expression& e, const std::vector<Variant>& row, std::optional<bool>& out) {
    Variant v;
    if (Status s = evaluate(e, row, v); !s) return s;
    if (v.isNull()) {
        out = std::nullopt;
    } else if (v.kind() == Variant::Kind::Text) {
        const auto n = wholeNumber(v.str());
        if (!n) return mismatch();
        out = *n != 0;
    } else {
        out = v.toNumber() != 0;
    }
    return Status::success();
}

Variant fromTruth(std::optional<bool> t) { return t ? Variant::boolean(*t) : Variant(); }

Status evaluate(const Expression& e, const std::vector<Variant>& row, Variant& out) {
    switch (e.op) {
        case Expression::Op::Literal:
            out = e.literal;
            return Status::success();
        case Expression::Op::Column:
            out = e.column < row.size() ? row[e.column] : Variant();
            return Status::success();
        case Expression::Op::Not: {
            std::optional<bool> t;
            if (Status s = truth(*e.args[0], row, t); !s) return s;
            out = fromTruth(t ? std::optional(!*t) : std::nullopt);
            return Status::success();
        }
        case Expression::Op::And:
        case Expression::Op::Or: {
            std::optional<bool> l, r;
            if (Status s = truth(*e.args[0], row, l); !s) return s;
            if (Status s = truth(*e.args[1], row, r); !s) return s;
            const bool isAnd = e.op == Expression::Op::And;
            if (isAnd) {
                if ((l && !*l) || (r && !*r)) out = Variant::boolean(false);
                else if (l && r) out = Variant::boolean(true);
                else out = Variant();
            } else {
                if ((l && *l) || (r && *r)) out = Variant::boolean(true);
                else if (l && r) out = Variant::boolean(false);
                else out = Variant();
            }
            return Status::success();
        }
        case Expression::Op::Compare: {
            Variant a, b;
            if (Status s = evaluate(*e.args[0], row, a); !s) return s;
            if (Status s = evaluate(*e.args[1], row, b); !s) return s;
            if (a.isNull() || b.isNull()) {
                out = Variant();
                return Status::success();
            }
            int c = 0;
            if (Status s = compareValues(a, b, c); !s) return s;
            const std::string& op = e.name;
            const bool r = op == "=" ? c == 0 : op == "<>" ? c != 0 : op == "<" ? c < 0 : op == ">" ? c > 0
                         : op == "<=" ? c <= 0 : c >= 0;
            out = Variant::boolean(r);
            return Status::success();
        }
        case Expression::Op::IsNull: {
            Variant v;
            if (Status s = evaluate(*e.args[0], row, v); !s) return s;
            out = Variant::boolean(v.isNull() != e.negated);
            return Status::success();
        }
        case Expression::Op::Like: {
            Variant v, p;
            if (Status s = evaluate(*e.args[0], row, v); !s) return s;
            if (Status s = evaluate(*e.args[1], row, p); !s) return s;
            if (v.isNull() || p.isNull()) {
                out = Variant();
                return Status::success();
            }
            out = Variant::boolean(likeMatches(v.toText(), p.toText()) != e.negated);
            return Status::success();
        }
        case Expression::Op::In: {
            Variant v;
            if (Status s = evaluate(*e.args[0], row, v); !s) return s;
            if (v.isNull()) {
                out = Variant();
                return Status::success();
            }
            bool found = false, unknown = false;
            for (size_t i = 1; i < e.args.size() && !found; ++i) {
                Variant item;
                if (Status s = evaluate(*e.args[i], row, item); !s) return s;
                if (item.isNull()) {
                    unknown = true;
                    continue;
                }
                int c = 0;
                if (Status s = compareValues(v, item, c); !s) return s;
                found = c == 0;
            }
            out = found ? Variant::boolean(!e.negated) : unknown ? Variant() : Variant::boolean(e.negated);
            return Status::success();
        }
        case Expression::Op::Between: {
            Variant v, lo, hi;
            if (Status s = evaluate(*e.args[0], row, v); !s) return s;
            if (Status s = evaluate(*e.args[1], row, lo); !s) return s;
            if (Status s = evaluate(*e.args[2], row, hi); !s) return s;
            if (v.isNull() || lo.isNull() || hi.isNull()) {
                out = Variant();
                return Status::success();
            }
            int c1 = 0, c2 = 0;
            if (Status s = compareValues(v, lo, c1); !s) return s;
            if (Status s = compareValues(v, hi, c2); !s) return s;
            out = Variant::boolean((c1 >= 0 && c2 <= 0) != e.negated);
            return Status::success();
        }
        case Expression::Op::Negate: {
            Variant v;
            if (Status s = evaluate(*e.args[0], row, v); !s) return s;
            if (v.isNull()) {
                out = Variant();
            } else if (v.kind() == Variant::Kind::Integer && v.intValue() != INT64_MIN) {
                out = Variant::integer(-v.intValue());
            } else {
                if (v.kind() == Variant::Kind::Text && !wholeNumber(v.str())) return mismatch();
                out = Variant::real(-v.toNumber());
            }
            return Status::success();
        }
        case Expression::Op::Arith: {
            Variant a, b;
            if (Status s = evaluate(*e.args[0], row, a); !s) return s;
            if (Status s = evaluate(*e.args[1], row, b); !s) return s;
            const std::string& op = e.name;
            if (op == "&") {
                out = a.isNull() && b.isNull() ? Variant() : Variant::text(a.toText() + b.toText());
                return Status::success();
            }
            if (a.isNull() || b.isNull()) {
                out = Variant();
                return Status::success();
            }
            if (op == "+" && a.kind() == Variant::Kind::Text && b.kind() == Variant::Kind::Text) {
                out = Variant::text(a.str() + b.str());
                return Status::success();
            }
            for (const Variant* v : {&a, &b}) {
                if (v->kind() == Variant::Kind::Text && !wholeNumber(v->str())) return mismatch();
                if (v->kind() == Variant::Kind::Binary) return mismatch();
            }
            const double x = a.toNumber(), y = b.toNumber();
            const bool integers = a.kind() == Variant::Kind::Integer && b.kind() == Variant::Kind::Integer;
            if ((op == "/" || op == "\\" || op == "MOD") && y == 0) {
                return Status(jetError(jet_error::kSyntaxError, "Division by zero."));
            }
            double r = 0;
            if (op == "+") r = x + y;
            else if (op == "-") r = x - y;
            else if (op == "*") r = x * y;
            else if (op == "/") r = x / y;
            else if (op == "\\") r = std::trunc(std::round(x) / std::round(y));
            else r = std::fmod(std::round(x), std::round(y));
            // Whole numbers whose result leaves the integers become a Double, as a Variant's
            // arithmetic does on overflow.
            const bool whole = integers && op != "/" && r >= -0x1p63 && r < 0x1p63;
            out = whole ? Variant::integer(static_cast<int64_t>(r)) : Variant::real(r);
            if (a.kind() == Variant::Kind::DateTime && (op == "+" || op == "-") && b.kind() != Variant::Kind::DateTime) {
                // Dates run from 1 January 100 to 31 December 9999.
                if (!(r >= -657434.0 && r < 2958466.0)) {
                    return Status(jetError(jet_error::kNumericOverflow, "Numeric field overflow."));
                }
                out = Variant::dateTime(DateTime::fromOleDate(r));
            }
            return Status::success();
        }
    }
    return Status::success();
}

std::u32string codePoints(std::string_view utf8) {
    std::u32string out;
    for (size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        int len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
        if (i + static_cast<size_t>(len) > utf8.size()) len = 1;
        char32_t cp = len == 1 ? c : c & (0x7F >> len);
        for (int k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + static_cast<size_t>(k)]) & 0x3F);
        out += cp;
        i += static_cast<size_t>(len);
    }
    return out;
}

bool likeFrom(const std::u32string& t, size_t ti, const std::u32string& p, size_t pi) {
    while (pi < p.size()) {
        const char32_t c = p[pi];
        if (c == U'%') {
            while (pi < p.size() && p[pi] == U'%') ++pi;
            if (pi == p.size()) return true;
            for (size_t k = ti; k <= t.size(); ++k) {
                if (likeFrom(t, k, p, pi)) return true;
            }
            return false;
        }
        if (ti >= t.size()) return false;
        if (c == U'_') {
            ++ti;
            ++pi;
            continue;
        }
        if (c == U'[') {
            const size_t close = p.find(U']', pi + 1);
            if (close != std::u32string::npos) {
                size_t k = pi + 1;
                const bool negate = k < close && (p[k] == U'!' || p[k] == U'^');
                if (negate) ++k;
                bool hit = false;
                for (; k < close; ++k) {
                    if (k + 2 < close && p[k + 1] == U'-') {
                        hit = hit || (t[ti] >= p[k] && t[ti] <= p[k + 2]);
                        k += 2;
                    } else {
                        hit = hit || t[ti] == p[k];
                    }
                }
                if (hit == negate) return false;
                ++ti;
                pi = close + 1;
                continue;
            }
        }
        if (t[ti] != c) return false;
        ++ti;
        ++pi;
    }
    return ti == t.size();
}

}  // namespace

bool likeMatches(std::string_view text, std::string_view pattern) {
    return likeFrom(codePoints(foldCase(text)), 0, codePoints(foldCase(pattern)), 0);
}

Condition::Condition(std::unique_ptr<Expression> root) : root_(std::move(root)) {}
Condition::Condition(Condition&&) noexcept = default;
Condition& Condition::operator=(Condition&&) noexcept = default;
Condition::~Condition() = default;

Status Condition::parse(std::string_view text, const std::vector<FieldInfo>& columns,
                        std::unique_ptr<Condition>& out) {
    std::vector<Token> tokens;
    if (!tokenize(text, tokens)) return syntaxError(text);
    Parser parser(std::move(tokens));
    ExprPtr root = parser.parseAll();
    if (!root) {
        if (!parser.unsupportedFunction_.empty()) {
            return Status(jetError(jet_error::kUnsupported, "Undefined function '" + parser.unsupportedFunction_ +
                                                                "' in expression."));
        }
        return syntaxError(text);
    }
    if (Status s = bindColumns(*root, columns); !s) return s;
    out.reset(new Condition(std::move(root)));
    return Status::success();
}

Status Condition::matches(const std::vector<Variant>& row, bool& result) const {
    std::optional<bool> t;
    if (Status s = truth(*root_, row, t); !s) return s;
    result = t.value_or(false);
    return Status::success();
}

}  // namespace db::jet
