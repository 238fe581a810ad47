// Expressions: precedence climbing from OR down to primaries.
#include <algorithm>
#include <cctype>

#include "engine/sql/keywords.h"
#include "engine/sql/parser_impl.h"
#include "engine/types/data_type.h"
#include "engine/types/sql_message.h"

namespace engine::sql {

namespace {

std::string lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

ExprPtr makeExpr(ExprKind kind, int line) {
    auto e = std::make_unique<Expr>();
    e->kind = kind;
    e->line = line;
    return e;
}

bool isComparisonOperator(const Token& t) {
    if (t.kind != TokenKind::Operator) return false;
    static const char* ops[] = {"=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>"};
    return std::any_of(std::begin(ops), std::end(ops),
                       [&](const char* op) { return t.text == op; });
}

std::string canonicalComparison(const std::string& op) {
    if (op == "!=") return "<>";
    if (op == "!<") return ">=";
    if (op == "!>") return "<=";
    return op;
}

}  // namespace

void Parser::syntaxError() const {
    const Token& t = peek();
    if (t.kind == TokenKind::End && pos_ > 0) syntaxErrorAt(tokens_[pos_ - 1]);
    syntaxErrorAt(t);
}

void Parser::syntaxErrorAt(const Token& t) const {
    SqlMessage m;
    if (t.kind == TokenKind::Identifier && isReservedKeyword(t.text)) {
        m = sqlMessage(156, {t.text});
    } else if (t.kind == TokenKind::String || t.kind == TokenKind::NString ||
               t.kind == TokenKind::QuotedIdentifier) {
        m = sqlMessage(102, {t.value});
    } else {
        m = sqlMessage(102, {t.text});
    }
    m.line = t.line;
    throw SqlException(m);
}

bool Parser::peekName(size_t ahead) const {
    const Token& t = peek(ahead);
    if (t.kind == TokenKind::QuotedIdentifier) return true;
    return t.kind == TokenKind::Identifier && !isReservedKeyword(t.text);
}

std::string Parser::parseName() {
    if (!peekName()) syntaxError();
    return next().value;
}

ObjectName Parser::parseObjectName() {
    // Up to four parts; empty middle parts are allowed ("db..table").
    std::vector<std::string> parts;
    std::string written;
    size_t begin = peek().offset;
    parts.push_back(parseName());
    while (peek().kind == TokenKind::Dot) {
        next();
        if (peek().kind == TokenKind::Dot) {
            parts.emplace_back();
            continue;
        }
        parts.push_back(parseName());
    }
    if (parts.size() > 4) syntaxError();
    (void)begin;
    ObjectName name;
    name.object = parts.back();
    if (parts.size() >= 2) name.schema = parts[parts.size() - 2];
    if (parts.size() >= 3) name.database = parts[parts.size() - 3];
    if (parts.size() >= 4) name.server = parts[0];
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) written += ".";
        written += parts[i];
    }
    name.written = written;
    return name;
}

bool Parser::peekQueryStart(size_t ahead) const {
    size_t i = ahead;
    while (peek(i).kind == TokenKind::LeftParen)
        ++i;
    return peek(i).isWord("SELECT");
}

ExprPtr Parser::finishSpan(ExprPtr e, size_t begin) {
    e->begin = begin;
    e->end = previousEnd();
    return e;
}

ExprPtr Parser::parseExpr() {
    size_t begin = peek().offset;
    ExprPtr left = parseAnd();
    while (peekWord("OR")) {
        int line = next().line;
        auto e = makeExpr(ExprKind::Or, line);
        e->args.push_back(std::move(left));
        e->args.push_back(parseAnd());
        left = finishSpan(std::move(e), begin);
    }
    return left;
}

ExprPtr Parser::parseAnd() {
    size_t begin = peek().offset;
    ExprPtr left = parseNot();
    while (peekWord("AND")) {
        int line = next().line;
        auto e = makeExpr(ExprKind::And, line);
        e->args.push_back(std::move(left));
        e->args.push_back(parseNot());
        left = finishSpan(std::move(e), begin);
    }
    return left;
}

ExprPtr Parser::parseNot() {
    if (peekWord("NOT")) {
        size_t begin = peek().offset;
        int line = next().line;
        auto e = makeExpr(ExprKind::Not, line);
        e->args.push_back(parseNot());
        return finishSpan(std::move(e), begin);
    }
    return parsePredicate();
}

ExprPtr Parser::parsePredicate() {
    size_t begin = peek().offset;
    if (peekWord("EXISTS")) {
        int line = next().line;
        expect(TokenKind::LeftParen);
        auto e = makeExpr(ExprKind::Exists, line);
        e->query = parseQuery();
        expect(TokenKind::RightParen);
        return finishSpan(std::move(e), begin);
    }
    ExprPtr left = parseAdditive();
    while (true) {
        const Token& t = peek();
        if (isComparisonOperator(t)) {
            int line = t.line;
            std::string op = canonicalComparison(next().text);
            if (peekWord("ANY") || peekWord("SOME") || peekWord("ALL")) {
                std::string quantifier = lower(next().text);
                if (quantifier == "some") quantifier = "any";
                expect(TokenKind::LeftParen);
                auto e = makeExpr(ExprKind::CompareQuery, line);
                e->op = op;
                e->text = quantifier;
                e->args.push_back(std::move(left));
                e->query = parseQuery();
                expect(TokenKind::RightParen);
                left = finishSpan(std::move(e), begin);
                continue;
            }
            auto e = makeExpr(ExprKind::Compare, line);
            e->op = op;
            e->args.push_back(std::move(left));
            e->args.push_back(parseAdditive());
            left = finishSpan(std::move(e), begin);
            continue;
        }
        if (t.isWord("IS")) {
            int line = next().line;
            bool negated = acceptWord("NOT");
            expectWord("NULL");
            auto e = makeExpr(ExprKind::IsNull, line);
            e->negated = negated;
            e->args.push_back(std::move(left));
            left = finishSpan(std::move(e), begin);
            continue;
        }
        bool negated = false;
        size_t ahead = 0;
        if (t.isWord("NOT") &&
            (peekWord("BETWEEN", 1) || peekWord("IN", 1) || peekWord("LIKE", 1))) {
            negated = true;
            ahead = 1;
        }
        const Token& op = peek(ahead);
        if (op.isWord("BETWEEN")) {
            pos_ += ahead;
            int line = next().line;
            auto e = makeExpr(ExprKind::Between, line);
            e->negated = negated;
            e->args.push_back(std::move(left));
            e->args.push_back(parseAdditive());
            expectWord("AND");
            e->args.push_back(parseAdditive());
            left = finishSpan(std::move(e), begin);
            continue;
        }
        if (op.isWord("IN")) {
            pos_ += ahead;
            int line = next().line;
            expect(TokenKind::LeftParen);
            if (peekQueryStart()) {
                auto e = makeExpr(ExprKind::InQuery, line);
                e->negated = negated;
                e->args.push_back(std::move(left));
                e->query = parseQuery();
                expect(TokenKind::RightParen);
                left = finishSpan(std::move(e), begin);
                continue;
            }
            auto e = makeExpr(ExprKind::InList, line);
            e->negated = negated;
            e->args.push_back(std::move(left));
            do {
                e->args.push_back(parseExpr());
            } while (accept(TokenKind::Comma));
            expect(TokenKind::RightParen);
            left = finishSpan(std::move(e), begin);
            continue;
        }
        if (op.isWord("LIKE")) {
            pos_ += ahead;
            int line = next().line;
            auto e = makeExpr(ExprKind::Like, line);
            e->negated = negated;
            e->args.push_back(std::move(left));
            e->args.push_back(parseAdditive());
            if (acceptWord("ESCAPE")) e->args.push_back(parseAdditive());
            left = finishSpan(std::move(e), begin);
            continue;
        }
        break;
    }
    return left;
}

ExprPtr Parser::parseAdditive() {
    size_t begin = peek().offset;
    ExprPtr left = parseMultiplicative();
    while (true) {
        const Token& t = peek();
        if (t.isOperator("+") || t.isOperator("-") || t.isOperator("&") || t.isOperator("|") ||
            t.isOperator("^")) {
            int line = t.line;
            std::string op = next().text;
            auto e = makeExpr(ExprKind::Binary, line);
            e->op = op;
            e->args.push_back(std::move(left));
            e->args.push_back(parseMultiplicative());
            left = finishSpan(std::move(e), begin);
            continue;
        }
        break;
    }
    return left;
}

ExprPtr Parser::parseMultiplicative() {
    size_t begin = peek().offset;
    ExprPtr left = parseUnary();
    while (true) {
        const Token& t = peek();
        if (t.isOperator("*") || t.isOperator("/") || t.isOperator("%")) {
            int line = t.line;
            std::string op = next().text;
            auto e = makeExpr(ExprKind::Binary, line);
            e->op = op;
            e->args.push_back(std::move(left));
            e->args.push_back(parseUnary());
            left = finishSpan(std::move(e), begin);
            continue;
        }
        break;
    }
    return left;
}

ExprPtr Parser::parseUnary() {
    const Token& t = peek();
    if (t.isOperator("-") || t.isOperator("+") || t.isOperator("~")) {
        size_t begin = t.offset;
        int line = t.line;
        std::string op = next().text;
        const Token& operand = peek();
        // A sign directly before a number is part of the literal (-1 is one constant).
        if (op != "~" &&
            (operand.kind == TokenKind::Integer || operand.kind == TokenKind::Decimal ||
             operand.kind == TokenKind::Float || operand.kind == TokenKind::Money)) {
            ExprPtr lit = parsePrimary();
            if (op == "-") {
                lit->text = "-" + lit->text;
            }
            return finishSpan(std::move(lit), begin);
        }
        auto e = makeExpr(ExprKind::Unary, line);
        e->op = op;
        e->args.push_back(parseUnary());
        return finishSpan(std::move(e), begin);
    }
    return parsePrimary();
}

TypeSpec Parser::parseTypeSpec() {
    TypeSpec typeSpec;
    size_t begin = peek().offset;
    const Token& t = peek();
    if (!t.isName() && t.kind != TokenKind::Identifier) syntaxError();
    typeSpec.name = next().value;
    // "dbo.typename" or "sys.typename"
    if (peek().kind == TokenKind::Dot) {
        next();
        typeSpec.name = parseName();
    }
    // Two-word type names.
    if (equalsIgnoreCase(typeSpec.name, "double") && acceptWord("PRECISION"))
        typeSpec.name = "float";
    if ((equalsIgnoreCase(typeSpec.name, "char") || equalsIgnoreCase(typeSpec.name, "character")) &&
        acceptWord("VARYING"))
        typeSpec.name = "varchar";
    if (equalsIgnoreCase(typeSpec.name, "national")) {
        if (acceptWord("CHAR") || acceptWord("CHARACTER")) {
            typeSpec.name = acceptWord("VARYING") ? "nvarchar" : "nchar";
        } else if (acceptWord("TEXT")) {
            typeSpec.name = "ntext";
        }
    }
    if (peek().kind == TokenKind::LeftParen) {
        next();
        auto number = [&]() -> int32_t {
            const Token& n = peek();
            if (n.isWord("MAX")) {
                next();
                return DataType::kMax;
            }
            if (n.kind != TokenKind::Integer) syntaxError();
            std::string digits = next().text;
            if (digits.size() > 9) return 1000000000;
            return static_cast<int32_t>(std::stol(digits));
        };
        typeSpec.arg1 = number();
        if (accept(TokenKind::Comma)) typeSpec.arg2 = number();
        expect(TokenKind::RightParen);
    }
    typeSpec.written = std::string(text_.substr(begin, previousEnd() - begin));
    return typeSpec;
}

ExprPtr Parser::parsePrimary() {
    const Token& t = peek();
    size_t begin = t.offset;
    int line = t.line;
    switch (t.kind) {
        case TokenKind::Integer:
        case TokenKind::Decimal:
        case TokenKind::Float:
        case TokenKind::Money:
        case TokenKind::Binary:
        case TokenKind::String:
        case TokenKind::NString: {
            auto e = makeExpr(ExprKind::Literal, line);
            switch (t.kind) {
                case TokenKind::Integer:
                    e->literalKind = LiteralKind::Integer;
                    break;
                case TokenKind::Decimal:
                    e->literalKind = LiteralKind::Decimal;
                    break;
                case TokenKind::Float:
                    e->literalKind = LiteralKind::Float;
                    break;
                case TokenKind::Money:
                    e->literalKind = LiteralKind::Money;
                    break;
                case TokenKind::Binary:
                    e->literalKind = LiteralKind::Binary;
                    break;
                case TokenKind::String:
                    e->literalKind = LiteralKind::String;
                    break;
                default:
                    e->literalKind = LiteralKind::NString;
                    break;
            }
            e->text = t.text;
            e->value = t.value;
            next();
            return finishSpan(std::move(e), begin);
        }
        case TokenKind::Variable: {
            std::string name = next().text;
            if (name.size() > 1 && name[1] == '@') {
                // @@ROWCOUNT, @@ERROR, @@IDENTITY ... are functions without arguments.
                auto e = makeExpr(ExprKind::Function, line);
                e->text = lower(name);
                return finishSpan(std::move(e), begin);
            }
            auto e = makeExpr(ExprKind::Variable, line);
            e->text = name;
            return finishSpan(std::move(e), begin);
        }
        case TokenKind::LeftParen: {
            next();
            if (peekQueryStart()) {
                auto e = makeExpr(ExprKind::Subquery, line);
                e->query = parseQuery();
                expect(TokenKind::RightParen);
                return finishSpan(std::move(e), begin);
            }
            ExprPtr inner = parseExpr();
            expect(TokenKind::RightParen);
            // Keep the inner node; the span grows to cover the parentheses.
            return finishSpan(std::move(inner), begin);
        }
        case TokenKind::LeftBrace:
            return parseOdbcEscape();
        case TokenKind::Identifier:
        case TokenKind::QuotedIdentifier:
            break;
        default:
            syntaxError();
    }

    if (t.kind == TokenKind::Identifier) {
        if (t.isWord("NULL")) {
            next();
            auto e = makeExpr(ExprKind::Literal, line);
            e->literalKind = LiteralKind::Null;
            e->text = "NULL";
            return finishSpan(std::move(e), begin);
        }
        if (t.isWord("CASE")) return parseCase();
        if (t.isWord("CAST") || t.isWord("TRY_CAST")) {
            if (peek(1).kind != TokenKind::LeftParen) syntaxErrorAt(peek(1));
            next();
            next();
            auto e = makeExpr(ExprKind::Cast, line);
            e->args.push_back(parseExpr());
            expectWord("AS");
            e->type = parseTypeSpec();
            expect(TokenKind::RightParen);
            return finishSpan(std::move(e), begin);
        }
        if (t.isWord("CONVERT") || t.isWord("TRY_CONVERT")) {
            if (peek(1).kind != TokenKind::LeftParen) syntaxErrorAt(peek(1));
            next();
            next();
            auto e = makeExpr(ExprKind::Cast, line);
            e->isConvert = true;
            e->type = parseTypeSpec();
            expect(TokenKind::Comma);
            e->args.push_back(parseExpr());
            if (accept(TokenKind::Comma)) e->args.push_back(parseExpr());
            expect(TokenKind::RightParen);
            return finishSpan(std::move(e), begin);
        }
        // Niladic functions written without parentheses.
        if (t.isWord("CURRENT_TIMESTAMP") || t.isWord("CURRENT_USER") || t.isWord("SESSION_USER") ||
            t.isWord("SYSTEM_USER") || (t.isWord("USER") && peek(1).kind != TokenKind::LeftParen)) {
            auto e = makeExpr(ExprKind::Function, line);
            e->text = lower(next().text);
            return finishSpan(std::move(e), begin);
        }
        // Keywords that are also function names.
        if ((t.isWord("LEFT") || t.isWord("RIGHT") || t.isWord("COALESCE") || t.isWord("NULLIF") ||
             t.isWord("USER") || t.isWord("UPDATE")) &&
            peek(1).kind == TokenKind::LeftParen) {
            std::string name = lower(next().text);
            return parseFunctionCall(name, line, begin);
        }
        if (isReservedKeyword(t.text)) syntaxError();
    }

    // Column reference or function call: name[.name]* [(args)]
    std::vector<std::string> parts;
    parts.push_back(next().value);
    while (peek().kind == TokenKind::Dot) {
        if (peek(1).isOperator("*")) break;  // t.* is handled by the select list
        next();
        if (peek().kind == TokenKind::Dot) {  // db..object
            parts.emplace_back();
            continue;
        }
        if (!peekName() && !(peek().kind == TokenKind::Identifier)) syntaxError();
        parts.push_back(next().value);
    }
    if (peek().kind == TokenKind::LeftParen) {
        std::string name = lower(parts.back());
        // Schema-qualified built-ins ("sys.fn_listextendedproperty", "dbo.f") keep the
        // qualifier in the function name so the binder can tell them apart.
        if (parts.size() > 1) {
            std::string qualified;
            for (size_t i = 0; i + 1 < parts.size(); ++i)
                qualified += lower(parts[i]) + ".";
            name = qualified + name;
        }
        ExprPtr call = parseFunctionCall(name, line, begin, parts.size() > 1);
        call->value = parts.back();  // the name as typed, for messages
        parts.pop_back();
        call->qualifier = std::move(parts);
        return call;
    }
    if (parts.size() > 4) syntaxError();
    auto e = makeExpr(ExprKind::Column, line);
    e->text = parts.back();
    parts.pop_back();
    e->qualifier = std::move(parts);
    return finishSpan(std::move(e), begin);
}

ExprPtr Parser::parseFunctionCall(std::string name, int line, size_t begin, bool qualified) {
    expect(TokenKind::LeftParen);
    auto e = makeExpr(ExprKind::Function, line);
    e->text = std::move(name);
    if (peek().kind == TokenKind::RightParen) {
        next();
        return finishSpan(std::move(e), begin);
    }
    if (peek().isOperator("*")) {
        next();
        e->star = true;
        expect(TokenKind::RightParen);
        return finishSpan(std::move(e), begin);
    }
    if (acceptWord("DISTINCT")) {
        e->distinct = true;
    } else {
        acceptWord("ALL");
    }
    do {
        // A user function's parameter takes its default when the argument says DEFAULT.
        if (qualified && peekWord("DEFAULT") &&
            (peek(1).kind == TokenKind::Comma || peek(1).kind == TokenKind::RightParen)) {
            auto d = makeExpr(ExprKind::Default, peek().line);
            d->text = "DEFAULT";
            next();
            e->args.push_back(std::move(d));
            continue;
        }
        e->args.push_back(parseExpr());
    } while (accept(TokenKind::Comma));
    expect(TokenKind::RightParen);
    return finishSpan(std::move(e), begin);
}

ExprPtr Parser::parseCase() {
    size_t begin = peek().offset;
    int line = next().line;  // CASE
    auto e = makeExpr(ExprKind::Case, line);
    if (!peekWord("WHEN")) {
        e->hasOperand = true;
        e->args.push_back(parseExpr());
    }
    if (!peekWord("WHEN")) syntaxError();
    while (acceptWord("WHEN")) {
        e->args.push_back(parseExpr());
        expectWord("THEN");
        e->args.push_back(parseExpr());
    }
    if (acceptWord("ELSE")) {
        e->hasElse = true;
        e->args.push_back(parseExpr());
    }
    expectWord("END");
    return finishSpan(std::move(e), begin);
}

ExprPtr Parser::parseOdbcEscape() {
    size_t begin = peek().offset;
    int line = next().line;  // {
    const Token& kind = peek();
    if (kind.isWord("fn")) {
        next();
        ExprPtr inner = parsePrimary();
        expect(TokenKind::RightBrace);
        return finishSpan(std::move(inner), begin);
    }
    LiteralKind literal;
    if (kind.isWord("d")) {
        literal = LiteralKind::OdbcDate;
    } else if (kind.isWord("t")) {
        literal = LiteralKind::OdbcTime;
    } else if (kind.isWord("ts")) {
        literal = LiteralKind::OdbcTimestamp;
    } else {
        syntaxError();
    }
    next();
    if (peek().kind != TokenKind::String) syntaxError();
    auto e = makeExpr(ExprKind::Literal, line);
    e->literalKind = literal;
    e->value = peek().value;
    next();
    expect(TokenKind::RightBrace);
    e = finishSpan(std::move(e), begin);
    e->text = std::string(text_.substr(begin, e->end - begin));
    return e;
}

}  // namespace engine::sql
