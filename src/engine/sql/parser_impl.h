// Internal: the recursive-descent parser shared by the parser_*.cpp files.
// Syntax errors are thrown as SqlException inside the parser and returned as values by
// parseBatch(). Not for use outside src/engine/sql/.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/sql/ast.h"
#include "engine/sql/token.h"

namespace engine::sql {

class Parser {
  public:
    Parser(std::string_view text, std::vector<Token> tokens)
        : text_(text), tokens_(std::move(tokens)) {}

    Batch parseBatch();
    ExprPtr parseStandaloneExpression();

    // --- token access ----------------------------------------------------------------
    const Token& peek(size_t ahead = 0) const {
        size_t i = pos_ + ahead;
        return i < tokens_.size() ? tokens_[i] : tokens_.back();
    }
    const Token& next() {
        const Token& t = tokens_[pos_];
        if (pos_ + 1 < tokens_.size()) ++pos_;
        return t;
    }
    bool atEnd() const { return peek().kind == TokenKind::End; }
    bool peekWord(std::string_view w, size_t ahead = 0) const { return peek(ahead).isWord(w); }
    bool acceptWord(std::string_view w) {
        if (!peekWord(w)) return false;
        next();
        return true;
    }
    void expectWord(std::string_view w) {
        if (!acceptWord(w)) syntaxError();
    }
    bool accept(TokenKind k) {
        if (peek().kind != k) return false;
        next();
        return true;
    }
    void expect(TokenKind k) {
        if (!accept(k)) syntaxError();
    }
    bool acceptOperator(std::string_view op) {
        if (!peek().isOperator(op)) return false;
        next();
        return true;
    }
    // Offset just past the previous token (the end of what was consumed).
    size_t previousEnd() const { return pos_ > 0 ? tokens_[pos_ - 1].endOffset : 0; }

    [[noreturn]] void syntaxError() const;
    [[noreturn]] void syntaxErrorAt(const Token& t) const;

    // Names: an identifier that is not a reserved keyword, or a bracketed one.
    bool peekName(size_t ahead = 0) const;
    // A transaction or savepoint name after BEGIN/COMMIT/ROLLBACK/SAVE TRANSACTION.
    bool peekTransactionName() const {
        return (peekName() && !peekWord("GO")) || peek().kind == TokenKind::Variable;
    }
    std::string parseName();
    ObjectName parseObjectName();

    // --- expressions (parser_expr.cpp) ----------------------------------------------
    ExprPtr parseExpr();  // OR level: full boolean/scalar expression
    ExprPtr parseAnd();
    ExprPtr parseNot();
    ExprPtr parsePredicate();
    ExprPtr parseAdditive();
    ExprPtr parseMultiplicative();
    ExprPtr parseUnary();
    ExprPtr parsePrimary();
    ExprPtr parseFunctionCall(std::string name, int line, size_t begin, bool qualified = false);
    ExprPtr parseCase();
    ExprPtr parseOdbcEscape();
    TypeSpec parseTypeSpec();
    bool peekQueryStart(size_t ahead = 0) const;
    ExprPtr finishSpan(ExprPtr e, size_t begin);

    // --- queries (parser_query.cpp) --------------------------------------------------
    QueryPtr parseQuery();
    std::unique_ptr<SetTerm> parseSetExpression(QueryExpr& query, bool& orderedOperand);
    std::unique_ptr<SetTerm> parseSetTerm(QueryExpr& query, bool& orderedOperand);
    std::unique_ptr<SetTerm> parseSetPrimary(QueryExpr& query, bool& orderedOperand);
    SelectCore parseSelectCore();
    void parseGroupBy(SelectCore& core);
    std::vector<std::vector<int>> parseGroupingElement(SelectCore& core, bool& general);
    std::vector<std::vector<int>> parseGroupingSet(SelectCore& core);
    std::vector<std::vector<int>> parseRollupOrCube(SelectCore& core);
    // Whether the parenthesis at the current token holds a comma of its own ("(a, b)").
    bool parenthesizedList() const;
    // After an opening parenthesis: skips to just past its closing one (nested ones included),
    // for option lists that are accepted and mean nothing here.
    void skipToClosingParen();
    std::vector<SelectItem> parseSelectItems();
    std::vector<TableRefPtr> parseFromList();
    TableRefPtr parseTableSource();
    std::optional<JoinKind> parseJoinKind();
    TableRefPtr parseTablePrimary();
    std::string parseOptionalAlias();
    std::optional<TopClause> parseTop();
    std::vector<OrderItem> parseOrderBy();

    // --- statements (parser_statements.cpp, parser_ddl.cpp) --------------------------
    StatementPtr parseStatement(bool firstInBatch);
    StatementPtr parseSelectStatement();
    StatementPtr parseInsert();
    StatementPtr parseUpdate();
    StatementPtr parseDelete();
    StatementPtr parseIf();
    StatementPtr parseWhile();
    StatementPtr parseBegin();
    StatementPtr parseDeclare();
    StatementPtr parseSet();
    StatementPtr parsePrint();
    StatementPtr parseExec(bool implicit);
    StatementPtr parseUse();
    StatementPtr parseDbcc();
    StatementPtr parseUpdateStatistics();
    StatementPtr parseProcedure(size_t begin, int line, bool alter);
    StatementPtr parseTrigger(size_t begin, int line, bool alter);
    StatementPtr parseFunction(size_t begin, int line, bool alter);
    // A procedure's or function's parameter up to its type: @name [AS] type.
    ProcedureParameter parseParameterHead();
    // A procedure's or trigger's body: every statement to the end of the batch.
    std::vector<StatementPtr> parseBodyToEnd();
    // The module option EXECUTE AS CALLER | SELF | OWNER | 'user' (accepted, not applied).
    bool acceptExecuteAs();
    StatementPtr parseAlterDatabase(int line, size_t begin);
    StatementPtr parseGrant();
    StatementPtr parseTruncate();
    StatementPtr parseReturn();
    StatementPtr parseWaitFor();
    StatementPtr parseCreate(bool firstInBatch);
    StatementPtr parseAlter(bool firstInBatch);
    StatementPtr parseDrop();
    StatementPtr parseCreateTable();
    StatementPtr parseAlterTable();
    StatementPtr parseCreateIndex(bool unique, std::optional<bool> clustered);
    StatementPtr parseDropIndex();
    StatementPtr parseCreateView(size_t begin, bool alter);
    StatementPtr parseLogin(LoginStmt::Kind kind, int line, size_t begin);
    ColumnDefinition parseColumnDefinition(bool forAlterColumn);
    TableConstraint parseTableConstraint();
    std::vector<IndexColumn> parseIndexColumns();
    void parseReferences(TableConstraint& fk);  // after REFERENCES
    void skipIndexOptions();
    ExprPtr parseDefaultExpression(std::string& text);

    StatementPtr make(int line, size_t begin);

    std::string_view text_;
    std::vector<Token> tokens_;
    size_t pos_ = 0;
    int blockDepth_ = 0;
};

}  // namespace engine::sql
