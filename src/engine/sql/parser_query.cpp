// Queries: SELECT cores combined by UNION, EXCEPT and INTERSECT, ORDER BY, FROM clauses with
// joins and derived tables.
#include "engine/sql/keywords.h"
#include "engine/sql/parser_impl.h"
#include "engine/types/sql_message.h"

namespace engine::sql {

std::optional<TopClause> Parser::parseTop() {
    if (!acceptWord("TOP")) return std::nullopt;
    TopClause top;
    if (peek().kind == TokenKind::LeftParen) {
        next();
        top.count = parseExpr();
        expect(TokenKind::RightParen);
    } else {
        const Token& t = peek();
        if (t.kind != TokenKind::Integer && t.kind != TokenKind::Decimal &&
            t.kind != TokenKind::Variable)
            syntaxError();
        top.count = parsePrimary();
    }
    if (acceptWord("PERCENT")) top.percent = true;
    if (peekWord("WITH") && peekWord("TIES", 1)) {
        next();
        next();
        top.withTies = true;
    }
    return top;
}

QueryPtr Parser::parseQuery() {
    auto q = std::make_unique<QueryExpr>();
    q->begin = peek().offset;
    q->line = peek().line;
    bool orderedOperand = false;
    q->setTree = parseSetExpression(*q, orderedOperand);
    if (q->setTree->core >= 0) {
        // One core: "((SELECT ...) ORDER BY ...)" keeps the ORDER BY written inside.
        q->setTree.reset();
        if (peekWord("ORDER")) {
            if (!q->orderBy.empty()) syntaxError();
            q->orderBy = parseOrderBy();
        }
    } else if (peekWord("ORDER")) {
        q->orderBy = parseOrderBy();
    }
    q->end = previousEnd();
    return q;
}

namespace {

std::unique_ptr<SetTerm> setNode(SetOperator op, std::unique_ptr<SetTerm> left,
                                 std::unique_ptr<SetTerm> right) {
    auto node = std::make_unique<SetTerm>();
    node->op = op;
    node->left = std::move(left);
    node->right = std::move(right);
    return node;
}

void shiftCores(SetTerm& term, int offset) {
    if (term.core >= 0) {
        term.core += offset;
        return;
    }
    shiftCores(*term.left, offset);
    shiftCores(*term.right, offset);
}

}  // namespace

// UNION [ALL] and EXCEPT, left to right, over terms.
std::unique_ptr<SetTerm> Parser::parseSetExpression(QueryExpr& query, bool& orderedOperand) {
    std::unique_ptr<SetTerm> left = parseSetTerm(query, orderedOperand);
    while (peekWord("UNION") || peekWord("EXCEPT")) {
        SetOperator op = SetOperator::Except;
        if (next().isWord("UNION"))
            op = acceptWord("ALL") ? SetOperator::UnionAll : SetOperator::Union;
        // There is no EXCEPT ALL.
        if (op == SetOperator::Except && peekWord("ALL")) syntaxError();
        if (orderedOperand) syntaxError();
        left = setNode(op, std::move(left), parseSetTerm(query, orderedOperand));
        if (orderedOperand) syntaxError();
    }
    return left;
}

// INTERSECT, left to right, over primaries.
std::unique_ptr<SetTerm> Parser::parseSetTerm(QueryExpr& query, bool& orderedOperand) {
    std::unique_ptr<SetTerm> left = parseSetPrimary(query, orderedOperand);
    while (peekWord("INTERSECT")) {
        next();
        // Nor INTERSECT ALL.
        if (peekWord("ALL")) syntaxError();
        if (orderedOperand) syntaxError();
        left = setNode(SetOperator::Intersect, std::move(left),
                       parseSetPrimary(query, orderedOperand));
        if (orderedOperand) syntaxError();
    }
    return left;
}

// A SELECT core, or a query in parentheses (its cores join this query's).
std::unique_ptr<SetTerm> Parser::parseSetPrimary(QueryExpr& query, bool& orderedOperand) {
    auto term = std::make_unique<SetTerm>();
    if (peek().kind != TokenKind::LeftParen) {
        term->core = static_cast<int>(query.cores.size());
        query.cores.push_back(parseSelectCore());
        return term;
    }
    next();
    QueryPtr inner = parseQuery();
    expect(TokenKind::RightParen);
    const int offset = static_cast<int>(query.cores.size());
    for (auto& core : inner->cores)
        query.cores.push_back(std::move(core));
    if (inner->setTree) {
        term = std::move(inner->setTree);
        shiftCores(*term, offset);
    } else {
        term->core = offset;
    }
    // An ORDER BY inside parentheses stands only for a query that is nothing else.
    orderedOperand = !inner->orderBy.empty();
    if (orderedOperand) query.orderBy = std::move(inner->orderBy);
    return term;
}

std::vector<OrderItem> Parser::parseOrderBy() {
    expectWord("ORDER");
    expectWord("BY");
    std::vector<OrderItem> items;
    do {
        OrderItem item;
        item.expr = parseExpr();
        if (acceptWord("DESC")) {
            item.descending = true;
        } else {
            acceptWord("ASC");
        }
        items.push_back(std::move(item));
    } while (accept(TokenKind::Comma));
    return items;
}

SelectCore Parser::parseSelectCore() {
    SelectCore core;
    core.line = peek().line;
    expectWord("SELECT");
    if (acceptWord("DISTINCT")) {
        core.distinct = true;
    } else {
        acceptWord("ALL");
    }
    core.top = parseTop();
    core.items = parseSelectItems();
    if (acceptWord("INTO")) core.into = parseObjectName();
    if (acceptWord("FROM")) core.from = parseFromList();
    if (acceptWord("WHERE")) core.where = parseExpr();
    if (peekWord("GROUP")) {
        next();
        expectWord("BY");
        parseGroupBy(core);
    }
    if (acceptWord("HAVING")) core.having = parseExpr();
    return core;
}

namespace {

using GroupingSets = std::vector<std::vector<int>>;

constexpr size_t kMaxGroupingSets = 4096;

[[noreturn]] void tooManyGroupingSets(int line) {
    SqlMessage m = sqlMessage(10705, {std::to_string(kMaxGroupingSets)});
    m.line = line;
    throw SqlException(m);
}

// Every set of a joined with every set of b: "GROUP BY a, ROLLUP(b)" groups by a in each
// of ROLLUP's sets.
GroupingSets crossSets(const GroupingSets& a, const GroupingSets& b, int line) {
    if (a.size() * b.size() > kMaxGroupingSets) tooManyGroupingSets(line);
    GroupingSets out;
    for (const auto& x : a) {
        for (const auto& y : b) {
            std::vector<int> set = x;
            set.insert(set.end(), y.begin(), y.end());
            out.push_back(std::move(set));
        }
    }
    return out;
}

// ROLLUP(e1, ..., en): (e1..en), (e1..en-1), ..., (); CUBE: every subset.
GroupingSets expand(const std::vector<std::vector<int>>& items, bool cube, int line) {
    GroupingSets out;
    if (!cube) {
        for (size_t k = items.size() + 1; k-- > 0;) {
            std::vector<int> set;
            for (size_t i = 0; i < k; ++i)
                set.insert(set.end(), items[i].begin(), items[i].end());
            out.push_back(std::move(set));
        }
        return out;
    }
    if (items.size() >= 13) tooManyGroupingSets(line);
    for (size_t mask = (size_t{1} << items.size()); mask-- > 0;) {
        std::vector<int> set;
        for (size_t i = 0; i < items.size(); ++i) {
            if (mask & (size_t{1} << (items.size() - 1 - i)))
                set.insert(set.end(), items[i].begin(), items[i].end());
        }
        out.push_back(std::move(set));
    }
    return out;
}

int addGroupingExpr(SelectCore& core, ExprPtr e) {
    core.groupBy.push_back(std::move(e));
    return static_cast<int>(core.groupBy.size() - 1);
}

}  // namespace

bool Parser::parenthesizedList() const {
    int depth = 0;
    for (size_t i = 0;; ++i) {
        const Token& t = peek(i);
        if (t.kind == TokenKind::End) return false;
        if (t.kind == TokenKind::LeftParen) ++depth;
        if (t.kind == TokenKind::RightParen && --depth == 0) return false;
        if (t.kind == TokenKind::Comma && depth == 1) return true;
    }
}

// GROUP BY items: expressions, ROLLUP(...), CUBE(...), GROUPING SETS(...), "()"; then WITH
// ROLLUP or WITH CUBE over a plain list.
void Parser::parseGroupBy(SelectCore& core) {
    const int line = peek().line;
    bool general = false;
    GroupingSets sets{{}};
    do {
        sets = crossSets(sets, parseGroupingElement(core, general), line);
    } while (accept(TokenKind::Comma));
    if (peekWord("WITH") && (peekWord("ROLLUP", 1) || peekWord("CUBE", 1))) {
        if (general) {
            SqlMessage m = sqlMessage(10703);
            m.line = peek().line;
            throw SqlException(m);
        }
        next();
        const bool cube = next().isWord("CUBE");
        std::vector<std::vector<int>> items;
        for (size_t i = 0; i < core.groupBy.size(); ++i)
            items.push_back({static_cast<int>(i)});
        sets = expand(items, cube, line);
        general = true;
    }
    if (!general) return;
    if (core.groupBy.size() > 32) {
        SqlMessage m = sqlMessage(10707, {"32"});
        m.line = line;
        throw SqlException(m);
    }
    core.groupingSets = std::move(sets);
}

GroupingSets Parser::parseRollupOrCube(SelectCore& core) {
    const int line = peek().line;
    const bool cube = next().isWord("CUBE");
    expect(TokenKind::LeftParen);
    std::vector<std::vector<int>> items;
    do {
        std::vector<int> item;
        if (peek().kind == TokenKind::LeftParen && parenthesizedList()) {
            next();
            do {
                item.push_back(addGroupingExpr(core, parseExpr()));
            } while (accept(TokenKind::Comma));
            expect(TokenKind::RightParen);
        } else {
            item.push_back(addGroupingExpr(core, parseExpr()));
        }
        items.push_back(std::move(item));
    } while (accept(TokenKind::Comma));
    expect(TokenKind::RightParen);
    return expand(items, cube, line);
}

GroupingSets Parser::parseGroupingElement(SelectCore& core, bool& general) {
    if ((peekWord("ROLLUP") || peekWord("CUBE")) && peek(1).kind == TokenKind::LeftParen) {
        general = true;
        return parseRollupOrCube(core);
    }
    if (peekWord("GROUPING") && peekWord("SETS", 1)) {
        general = true;
        const int line = peek().line;
        next();
        next();
        expect(TokenKind::LeftParen);
        GroupingSets all;
        do {
            GroupingSets set = parseGroupingSet(core, general);
            if (all.size() + set.size() > kMaxGroupingSets) tooManyGroupingSets(line);
            all.insert(all.end(), set.begin(), set.end());
        } while (accept(TokenKind::Comma));
        expect(TokenKind::RightParen);
        return all;
    }
    if (peek().kind == TokenKind::LeftParen && peek(1).kind == TokenKind::RightParen) {
        // The grand total.
        next();
        next();
        general = true;
        return {{}};
    }
    return {{addGroupingExpr(core, parseExpr())}};
}

// One member of GROUPING SETS: "()", "(item, ...)" (their sets joined), or an item.
GroupingSets Parser::parseGroupingSet(SelectCore& core, bool& general) {
    if (peek().kind == TokenKind::LeftParen && peek(1).kind == TokenKind::RightParen) {
        next();
        next();
        return {{}};
    }
    if (peek().kind == TokenKind::LeftParen && parenthesizedList()) {
        const int line = peek().line;
        next();
        GroupingSets sets{{}};
        do {
            if ((peekWord("ROLLUP") || peekWord("CUBE")) && peek(1).kind == TokenKind::LeftParen) {
                sets = crossSets(sets, parseRollupOrCube(core), line);
            } else {
                sets = crossSets(sets, {{addGroupingExpr(core, parseExpr())}}, line);
            }
        } while (accept(TokenKind::Comma));
        expect(TokenKind::RightParen);
        return sets;
    }
    if ((peekWord("ROLLUP") || peekWord("CUBE")) && peek(1).kind == TokenKind::LeftParen)
        return parseRollupOrCube(core);
    return {{addGroupingExpr(core, parseExpr())}};
}

std::vector<SelectItem> Parser::parseSelectItems() {
    std::vector<SelectItem> items;
    do {
        SelectItem item;
        const Token& t = peek();
        size_t begin = t.offset;
        if (t.isOperator("*")) {
            next();
            item.kind = SelectItem::Kind::Star;
            items.push_back(std::move(item));
            continue;
        }
        // t.* / dbo.t.*
        {
            size_t i = 0;
            while (peek(i).isName() && peek(i + 1).kind == TokenKind::Dot)
                i += 2;
            if (i > 0 && peek(i).isOperator("*")) {
                item.kind = SelectItem::Kind::Star;
                for (size_t k = 0; k < i; k += 2)
                    item.qualifier.push_back(peek(k).value);
                pos_ += i + 1;
                items.push_back(std::move(item));
                continue;
            }
        }
        // @v = expression, alias = expression
        bool assign = t.kind == TokenKind::Variable && peek(1).isOperator("=");
        if (assign || ((peekName() || t.kind == TokenKind::String) && peek(1).isOperator("="))) {
            if (assign) {
                item.kind = SelectItem::Kind::Assign;
                item.variable = next().text;
            } else {
                item.alias = next().value;
            }
            next();
            size_t exprBegin = peek().offset;
            item.expr = parseExpr();
            item.written = std::string(text_.substr(exprBegin, previousEnd() - exprBegin));
            items.push_back(std::move(item));
            continue;
        }
        item.expr = parseExpr();
        item.written = std::string(text_.substr(begin, previousEnd() - begin));
        if (acceptWord("AS")) {
            const Token& a = peek();
            if (a.kind == TokenKind::String || a.kind == TokenKind::NString || a.isName() ||
                a.kind == TokenKind::Identifier) {
                item.alias = next().value;
            } else {
                syntaxError();
            }
        } else if (peekName() || peek().kind == TokenKind::String) {
            item.alias = next().value;
        }
        items.push_back(std::move(item));
    } while (accept(TokenKind::Comma));
    return items;
}

std::vector<TableRefPtr> Parser::parseFromList() {
    std::vector<TableRefPtr> list;
    do {
        list.push_back(parseTableSource());
    } while (accept(TokenKind::Comma));
    return list;
}

std::optional<JoinKind> Parser::parseJoinKind() {
    if (acceptWord("JOIN")) return JoinKind::Inner;
    if (acceptWord("INNER")) {
        expectWord("JOIN");
        return JoinKind::Inner;
    }
    if (peekWord("LEFT") || peekWord("RIGHT") || peekWord("FULL")) {
        std::string word = next().text;
        acceptWord("OUTER");
        expectWord("JOIN");
        return equalsIgnoreCase(word, "LEFT")    ? JoinKind::Left
               : equalsIgnoreCase(word, "RIGHT") ? JoinKind::Right
                                                 : JoinKind::Full;
    }
    if (acceptWord("CROSS")) {
        expectWord("JOIN");
        return JoinKind::Cross;
    }
    return std::nullopt;
}

TableRefPtr Parser::parseTableSource() {
    TableRefPtr left = parseTablePrimary();
    while (true) {
        int line = peek().line;
        std::optional<JoinKind> kind = parseJoinKind();
        if (!kind) break;
        auto join = std::make_unique<TableRef>();
        join->kind = TableRef::Kind::Join;
        join->line = line;
        join->join = *kind;
        join->left = std::move(left);
        join->right = parseTablePrimary();
        if (*kind != JoinKind::Cross) {
            // Nested joins: "a JOIN b JOIN c ON ... ON ..." binds the inner join first.
            while (peekWord("JOIN") || peekWord("INNER") || peekWord("LEFT") || peekWord("RIGHT") ||
                   peekWord("FULL")) {
                auto inner = std::make_unique<TableRef>();
                inner->kind = TableRef::Kind::Join;
                inner->line = peek().line;
                inner->join = *parseJoinKind();
                inner->left = std::move(join->right);
                inner->right = parseTablePrimary();
                expectWord("ON");
                inner->on = parseExpr();
                join->right = std::move(inner);
            }
            expectWord("ON");
            join->on = parseExpr();
        }
        left = std::move(join);
    }
    return left;
}

std::string Parser::parseOptionalAlias() {
    if (acceptWord("AS")) return parseName();
    if (peekName()) return next().value;
    return {};
}

TableRefPtr Parser::parseTablePrimary() {
    auto ref = std::make_unique<TableRef>();
    ref->line = peek().line;
    if (peek().kind == TokenKind::LeftParen) {
        if (peekQueryStart()) {
            next();
            ref->kind = TableRef::Kind::Derived;
            ref->query = parseQuery();
            expect(TokenKind::RightParen);
            ref->alias = parseOptionalAlias();
            if (ref->alias.empty()) syntaxError();
            if (peek().kind == TokenKind::LeftParen) {
                next();
                do {
                    ref->columnAliases.push_back(parseName());
                } while (accept(TokenKind::Comma));
                expect(TokenKind::RightParen);
            }
            return ref;
        }
        // A parenthesised join.
        next();
        TableRefPtr inner = parseTableSource();
        expect(TokenKind::RightParen);
        return inner;
    }
    // ::fn_listextendedproperty(...) -- the legacy call syntax of system functions.
    if (peek().isOperator("::")) {
        next();
        ref->kind = TableRef::Kind::Function;
        ref->name.object = parseName();
        ref->name.schema = "sys";
        ref->name.written = "::" + ref->name.object;
    } else {
        ref->name = parseObjectName();
        ref->kind = TableRef::Kind::Named;
    }
    if (peek().kind == TokenKind::LeftParen && ref->kind == TableRef::Kind::Named) {
        // name(args): a table-valued function.
        ref->kind = TableRef::Kind::Function;
    }
    if (ref->kind == TableRef::Kind::Function) {
        expect(TokenKind::LeftParen);
        if (peek().kind != TokenKind::RightParen) {
            do {
                if (peekWord("DEFAULT")) {
                    next();
                    auto e = std::make_unique<Expr>();
                    e->kind = ExprKind::Literal;
                    e->literalKind = LiteralKind::Null;
                    e->text = "NULL";
                    ref->args.push_back(std::move(e));
                    continue;
                }
                ref->args.push_back(parseExpr());
            } while (accept(TokenKind::Comma));
        }
        expect(TokenKind::RightParen);
    }
    ref->alias = parseOptionalAlias();
    // Table hints: WITH (NOLOCK) or the old form (NOLOCK).
    if (peekWord("WITH") && peek(1).kind == TokenKind::LeftParen) next();
    if (peek().kind == TokenKind::LeftParen && peek(1).kind == TokenKind::Identifier &&
        !peekQueryStart()) {
        static const char* hints[] = {
            "NOLOCK",  "READUNCOMMITTED", "ROWLOCK",      "UPDLOCK",       "HOLDLOCK",
            "TABLOCK", "TABLOCKX",        "PAGLOCK",      "XLOCK",         "READPAST",
            "NOWAIT",  "READCOMMITTED",   "SERIALIZABLE", "REPEATABLEREAD"};
        bool isHint = false;
        for (const char* h : hints)
            isHint = isHint || peekWord(h, 1);
        if (isHint) {
            next();
            do {
                next();
            } while (accept(TokenKind::Comma));
            expect(TokenKind::RightParen);
        }
    }
    return ref;
}

}  // namespace engine::sql
