// Statements other than DDL: the batch, DML, control flow, variables, EXEC, GRANT.
#include "engine/sql/keywords.h"
#include "engine/sql/lexer.h"
#include "engine/sql/parser.h"
#include "engine/sql/parser_impl.h"
#include "engine/types/datetime.h"
#include "engine/types/sql_message.h"

namespace engine::sql {

StatementPtr Parser::make(int line, size_t begin) {
    auto s = std::make_unique<Statement>();
    s->line = line;
    s->begin = begin;
    return s;
}

Batch Parser::parseBatch() {
    Batch batch;
    batch.text = std::string(text_);
    bool first = true;
    while (true) {
        while (accept(TokenKind::Semicolon)) {
        }
        if (atEnd()) break;
        StatementPtr s = parseStatement(first);
        first = false;
        batch.statements.push_back(std::move(s));
    }
    return batch;
}

ExprPtr Parser::parseStandaloneExpression() {
    ExprPtr e = parseExpr();
    if (!atEnd()) syntaxError();
    return e;
}

StatementPtr Parser::parseStatement(bool firstInBatch) {
    const Token& t = peek();
    size_t begin = t.offset;
    int line = t.line;
    StatementPtr s;
    if (t.kind == TokenKind::LeftParen && peekQueryStart()) {
        s = parseSelectStatement();
    } else if (firstInBatch && t.kind == TokenKind::Dot) {
        // "..sp_tables": a procedure with empty database and schema parts, as ODBC drivers
        // send it.
        s = parseExec(true);
    } else if (t.kind != TokenKind::Identifier) {
        syntaxError();
    } else if (t.isWord("SELECT")) {
        s = parseSelectStatement();
    } else if (t.isWord("INSERT")) {
        s = parseInsert();
    } else if (t.isWord("UPDATE") && peekWord("STATISTICS", 1) && peek(2).isName() &&
               !peekWord("SET", 2) && !peekWord("WITH", 2)) {
        s = parseUpdateStatistics();
    } else if (t.isWord("UPDATE")) {
        s = parseUpdate();
    } else if (t.isWord("CHECKPOINT")) {
        s = make(line, begin);
        next();
        if (peek().kind == TokenKind::Integer) next();  // a duration: nothing to pace here
        DatabaseStmt checkpoint;
        checkpoint.kind = DatabaseStmt::Kind::Checkpoint;
        s->node = std::move(checkpoint);
    } else if (t.isWord("DELETE")) {
        s = parseDelete();
    } else if (t.isWord("CREATE")) {
        s = parseCreate(firstInBatch);
    } else if (t.isWord("ALTER")) {
        s = parseAlter(firstInBatch);
    } else if (t.isWord("DROP")) {
        s = parseDrop();
    } else if (t.isWord("IF")) {
        s = parseIf();
    } else if (t.isWord("WHILE")) {
        s = parseWhile();
    } else if (t.isWord("BEGIN")) {
        s = parseBegin();
    } else if (t.isWord("DECLARE")) {
        s = parseDeclare();
    } else if (t.isWord("SET")) {
        s = parseSet();
    } else if (t.isWord("PRINT")) {
        s = parsePrint();
    } else if (t.isWord("EXEC") || t.isWord("EXECUTE")) {
        s = parseExec(false);
    } else if (t.isWord("USE")) {
        s = parseUse();
    } else if (t.isWord("DBCC")) {
        s = parseDbcc();
    } else if (t.isWord("GRANT") || t.isWord("REVOKE") || t.isWord("DENY")) {
        s = parseGrant();
    } else if (t.isWord("TRUNCATE")) {
        s = parseTruncate();
    } else if (t.isWord("RETURN")) {
        s = parseReturn();
    } else if (t.isWord("WAITFOR")) {
        s = parseWaitFor();
    } else if (t.isWord("RAISERROR")) {
        s = make(line, begin);
        next();
        RaiseErrorStmt raise;
        expect(TokenKind::LeftParen);
        do {
            raise.args.push_back(parseExpr());
        } while (accept(TokenKind::Comma));
        expect(TokenKind::RightParen);
        if (raise.args.size() < 3) syntaxErrorAt(tokens_[pos_ - 1]);
        if (acceptWord("WITH")) {
            do {
                if (acceptWord("SETERROR")) {
                    raise.setError = true;
                } else if (acceptWord("LOG")) {
                    raise.withLog = true;
                } else if (!acceptWord("NOWAIT")) {
                    syntaxError();
                }
            } while (accept(TokenKind::Comma));
        }
        s->node = std::move(raise);
    } else if (t.isWord("THROW")) {
        s = make(line, begin);
        next();
        ThrowStmt thr;
        const Token& a = peek();
        if (a.kind == TokenKind::Integer || a.kind == TokenKind::Variable ||
            a.kind == TokenKind::String || a.kind == TokenKind::NString) {
            thr.args.push_back(parseExpr());
            expect(TokenKind::Comma);
            thr.args.push_back(parseExpr());
            expect(TokenKind::Comma);
            thr.args.push_back(parseExpr());
        }
        s->node = std::move(thr);
    } else if (t.isWord("COMMIT") || t.isWord("ROLLBACK") || t.isWord("SAVE")) {
        s = make(line, begin);
        TransactionStmt tx;
        tx.verb = next().text;
        if (equalsIgnoreCase(tx.verb, "SAVE")) {
            if (!acceptWord("TRAN")) expectWord("TRANSACTION");
            if (!peekTransactionName()) syntaxError();
        } else if (peekWord("TRAN") || peekWord("TRANSACTION") || peekWord("WORK")) {
            next();
        }
        // An optional transaction name (statements start with reserved words).
        if (peekTransactionName()) tx.name = next().value;
        s->node = std::move(tx);
    } else if (t.isWord("BREAK") || t.isWord("CONTINUE")) {
        s = make(line, begin);
        BreakStmt b;
        b.isContinue = t.isWord("CONTINUE");
        next();
        s->node = b;
    } else if (firstInBatch && peekName()) {
        // The first statement of a batch may call a procedure without EXECUTE.
        s = parseExec(true);
    } else {
        syntaxError();
    }
    s->line = line;
    s->begin = begin;
    s->end = previousEnd();
    return s;
}

StatementPtr Parser::parseSelectStatement() {
    auto s = make(peek().line, peek().offset);
    SelectStmt select;
    select.query = parseQuery();
    s->node = std::move(select);
    return s;
}

StatementPtr Parser::parseInsert() {
    auto s = make(peek().line, peek().offset);
    next();  // INSERT
    InsertStmt insert;
    acceptWord("INTO");
    insert.table = parseObjectName();
    if (peek().kind == TokenKind::LeftParen && !peekQueryStart()) {
        next();
        do {
            insert.columns.push_back(parseName());
        } while (accept(TokenKind::Comma));
        expect(TokenKind::RightParen);
    }
    if (acceptWord("VALUES")) {
        do {
            expect(TokenKind::LeftParen);
            std::vector<ExprPtr> row;
            do {
                if (acceptWord("DEFAULT")) {
                    row.push_back(nullptr);
                } else {
                    row.push_back(parseExpr());
                }
            } while (accept(TokenKind::Comma));
            expect(TokenKind::RightParen);
            insert.values.push_back(std::move(row));
        } while (accept(TokenKind::Comma));
    } else if (peekWord("DEFAULT")) {
        next();
        expectWord("VALUES");
        insert.defaultValues = true;
    } else if (peekWord("SELECT") || peekQueryStart()) {
        insert.select = parseQuery();
    } else if (peekWord("EXEC") || peekWord("EXECUTE")) {
        insert.exec = parseExec(false);
    } else {
        syntaxError();
    }
    s->node = std::move(insert);
    return s;
}

StatementPtr Parser::parseUpdate() {
    auto s = make(peek().line, peek().offset);
    next();  // UPDATE
    UpdateStmt update;
    update.top = parseTop();
    update.target = parseObjectName();
    // Table hints after the target are accepted and ignored.
    if (peekWord("WITH") && peek(1).kind == TokenKind::LeftParen) {
        next();
        next();
        while (!accept(TokenKind::RightParen)) {
            if (atEnd()) syntaxError();
            next();
        }
    }
    expectWord("SET");
    do {
        Assignment a;
        if (peek().kind == TokenKind::Variable) {
            a.variable = next().text;
            if (!acceptOperator("=")) syntaxError();
            // SET @v = column = expression
            if (peekName() && peek(1).isOperator("=")) {
                a.column = next().value;
                next();
            }
        } else {
            std::vector<std::string> parts;
            parts.push_back(parseName());
            while (accept(TokenKind::Dot))
                parts.push_back(parseName());
            a.column = parts.back();
            parts.pop_back();
            a.qualifier = std::move(parts);
            const Token& op = peek();
            if (op.isOperator("=")) {
                next();
            } else if ((op.isOperator("+") || op.isOperator("-") || op.isOperator("*") ||
                        op.isOperator("/")) &&
                       peek(1).isOperator("=") && peek(1).offset == op.endOffset) {
                // col += expr is col = col + expr
                std::string binary = next().text;
                next();
                auto column = std::make_unique<Expr>();
                column->kind = ExprKind::Column;
                column->text = a.column;
                column->qualifier = a.qualifier;
                column->line = op.line;
                auto e = std::make_unique<Expr>();
                e->kind = ExprKind::Binary;
                e->op = binary;
                e->line = op.line;
                e->args.push_back(std::move(column));
                e->args.push_back(parseExpr());
                a.expr = std::move(e);
                update.assignments.push_back(std::move(a));
                continue;
            } else {
                syntaxError();
            }
        }
        if (acceptWord("DEFAULT")) {
            a.expr = nullptr;
        } else {
            a.expr = parseExpr();
        }
        update.assignments.push_back(std::move(a));
    } while (accept(TokenKind::Comma));
    if (acceptWord("FROM")) update.from = parseFromList();
    if (acceptWord("WHERE")) update.where = parseExpr();
    s->node = std::move(update);
    return s;
}

StatementPtr Parser::parseDelete() {
    auto s = make(peek().line, peek().offset);
    next();  // DELETE
    DeleteStmt del;
    del.top = parseTop();
    acceptWord("FROM");
    del.target = parseObjectName();
    if (acceptWord("FROM")) del.from = parseFromList();
    if (acceptWord("WHERE")) del.where = parseExpr();
    s->node = std::move(del);
    return s;
}

StatementPtr Parser::parseIf() {
    auto s = make(peek().line, peek().offset);
    next();  // IF
    IfStmt stmt;
    stmt.condition = parseExpr();
    if (atEnd()) syntaxError();
    stmt.then = parseStatement(false);
    while (accept(TokenKind::Semicolon)) {
    }
    if (acceptWord("ELSE")) {
        if (atEnd()) syntaxError();
        stmt.otherwise = parseStatement(false);
    }
    s->node = std::move(stmt);
    return s;
}

StatementPtr Parser::parseWhile() {
    auto s = make(peek().line, peek().offset);
    next();  // WHILE
    WhileStmt stmt;
    stmt.condition = parseExpr();
    if (atEnd()) syntaxError();
    stmt.body = parseStatement(false);
    s->node = std::move(stmt);
    return s;
}

StatementPtr Parser::parseBegin() {
    auto s = make(peek().line, peek().offset);
    next();  // BEGIN
    if (peekWord("TRAN") || peekWord("TRANSACTION") || peekWord("DISTRIBUTED")) {
        TransactionStmt tx;
        tx.verb = "BEGIN";
        acceptWord("DISTRIBUTED");
        next();  // TRAN / TRANSACTION
        if (peekTransactionName()) tx.name = next().value;
        s->node = std::move(tx);
        return s;
    }
    if (acceptWord("TRY")) {
        // BEGIN TRY ... END TRY BEGIN CATCH ... END CATCH
        TryStmt tryStmt;
        auto list = [&](const char* word, std::vector<StatementPtr>& out) {
            while (true) {
                while (accept(TokenKind::Semicolon)) {
                }
                if (peekWord("END") && peekWord(word, 1)) {
                    next();
                    next();
                    return;
                }
                if (atEnd()) syntaxError();
                out.push_back(parseStatement(false));
            }
        };
        list("TRY", tryStmt.body);
        while (accept(TokenKind::Semicolon)) {
        }
        expectWord("BEGIN");
        expectWord("CATCH");
        list("CATCH", tryStmt.handler);
        s->node = std::move(tryStmt);
        return s;
    }
    BlockStmt block;
    ++blockDepth_;
    while (true) {
        while (accept(TokenKind::Semicolon)) {
        }
        if (peekWord("END")) {
            next();
            break;
        }
        if (atEnd()) syntaxError();
        block.statements.push_back(parseStatement(false));
    }
    --blockDepth_;
    s->node = std::move(block);
    return s;
}

StatementPtr Parser::parseDeclare() {
    auto s = make(peek().line, peek().offset);
    next();  // DECLARE
    DeclareStmt decl;
    do {
        DeclareStmt::Variable v;
        if (peek().kind != TokenKind::Variable) syntaxError();
        v.line = peek().line;
        v.name = next().text;
        acceptWord("AS");
        if (peekWord("TABLE") || peekWord("CURSOR")) syntaxError();
        v.type = parseTypeSpec();
        if (acceptOperator("=")) v.init = parseExpr();
        decl.variables.push_back(std::move(v));
    } while (accept(TokenKind::Comma));
    s->node = std::move(decl);
    return s;
}

StatementPtr Parser::parseSet() {
    auto s = make(peek().line, peek().offset);
    next();  // SET
    if (peek().kind == TokenKind::Variable) {
        SetVariableStmt set;
        set.variable = next().text;
        const Token& op = peek();
        if (op.isOperator("=")) {
            next();
            set.op = "=";
        } else if ((op.isOperator("+") || op.isOperator("-") || op.isOperator("*") ||
                    op.isOperator("/")) &&
                   peek(1).isOperator("=")) {
            set.op = next().text + "=";
            next();
        } else {
            syntaxError();
        }
        set.expr = parseExpr();
        s->node = std::move(set);
        return s;
    }
    SetOptionStmt set;
    if (peekWord("TRANSACTION") && peekWord("ISOLATION", 1)) {
        // SET TRANSACTION ISOLATION LEVEL READ COMMITTED: the level as the value.
        next(), next();
        expectWord("LEVEL");
        set.options.push_back("TRANSACTION ISOLATION LEVEL");
        if (acceptWord("READ")) {
            if (acceptWord("UNCOMMITTED"))
                set.value = "READ UNCOMMITTED";
            else if (acceptWord("COMMITTED"))
                set.value = "READ COMMITTED";
            else
                syntaxError();
        } else if (acceptWord("REPEATABLE")) {
            expectWord("READ");
            set.value = "REPEATABLE READ";
        } else if (acceptWord("SERIALIZABLE")) {
            set.value = "SERIALIZABLE";
        } else if (acceptWord("SNAPSHOT")) {
            set.value = "SNAPSHOT";
        } else {
            syntaxError();
        }
        s->node = std::move(set);
        return s;
    }
    if (peek().kind != TokenKind::Identifier) syntaxError();
    set.options.push_back(next().text);
    if (equalsIgnoreCase(set.options[0], "IDENTITY_INSERT")) {
        ObjectName table = parseObjectName();
        set.options.push_back(table.written);
    } else {
        while (accept(TokenKind::Comma)) {
            if (peek().kind != TokenKind::Identifier) syntaxError();
            set.options.push_back(next().text);
        }
    }
    const Token& v = peek();
    if (v.kind == TokenKind::Identifier || v.kind == TokenKind::Integer ||
        v.kind == TokenKind::String || v.kind == TokenKind::NString ||
        v.kind == TokenKind::QuotedIdentifier) {
        set.value = next().value;
        if (set.value.empty()) set.value = tokens_[pos_ - 1].text;
    } else if (v.kind == TokenKind::Variable) {
        set.value = next().text;
    } else if (v.isOperator("-") && peek(1).kind == TokenKind::Integer) {
        next();
        set.value = "-" + next().text;  // SET LOCK_TIMEOUT -1
    } else {
        syntaxError();
    }
    s->node = std::move(set);
    return s;
}

StatementPtr Parser::parsePrint() {
    auto s = make(peek().line, peek().offset);
    next();  // PRINT
    PrintStmt print;
    print.expr = parseExpr();
    s->node = std::move(print);
    return s;
}

StatementPtr Parser::parseExec(bool implicit) {
    auto s = make(peek().line, peek().offset);
    if (!implicit) next();  // EXEC / EXECUTE
    ExecStmt exec;
    if (peek().kind == TokenKind::LeftParen) {
        // EXEC ('text' + @v ...)
        next();
        do {
            exec.dynamicSql.push_back(parseAdditive());
        } while (accept(TokenKind::Comma));
        expect(TokenKind::RightParen);
        s->node = std::move(exec);
        return s;
    }
    if (peek().kind == TokenKind::Variable) {
        std::string v = next().text;
        if (acceptOperator("=")) {
            exec.returnVariable = v;
        } else {
            exec.procedureVariable = v;
        }
    }
    if (exec.procedureVariable.empty()) {
        size_t emptyParts = 0;
        while (accept(TokenKind::Dot))
            ++emptyParts;
        exec.procedure = parseObjectName();
        if (emptyParts > 0) {
            if (emptyParts > 2 || !exec.procedure.schema.empty()) syntaxError();
            exec.procedure.written = std::string(emptyParts, '.') + exec.procedure.written;
        }
    }
    // Arguments run to the end of the statement: values, variables, bare words (taken as
    // strings), DEFAULT, @name = value, OUTPUT.
    auto argumentStarts = [&]() {
        const Token& t = peek();
        switch (t.kind) {
            case TokenKind::Integer:
            case TokenKind::Decimal:
            case TokenKind::Float:
            case TokenKind::Money:
            case TokenKind::Binary:
            case TokenKind::String:
            case TokenKind::NString:
            case TokenKind::Variable:
            case TokenKind::QuotedIdentifier:
            case TokenKind::LeftBrace:
                return true;
            case TokenKind::Operator:
                return t.text == "-" || t.text == "+";
            case TokenKind::Identifier:
                return t.isWord("NULL") || t.isWord("DEFAULT");
            default:
                return false;
        }
    };
    if (argumentStarts() || (peekName() && !peekWord("GO"))) {
        // A bare word right after the procedure name is an argument only when it is not
        // the start of the next statement; statements start with reserved words.
        do {
            ExecArgument arg;
            if (peek().kind == TokenKind::Variable && peek(1).isOperator("=")) {
                arg.name = next().text;
                next();
            }
            const Token& t = peek();
            if (t.isWord("DEFAULT")) {
                next();
                arg.isDefault = true;
            } else if (t.kind == TokenKind::Identifier && !t.isWord("NULL") &&
                       !isReservedKeyword(t.text)) {
                // A bare identifier is a string argument: sp_helpindex T.
                auto e = std::make_unique<Expr>();
                e->kind = ExprKind::Literal;
                e->literalKind = LiteralKind::String;
                e->line = t.line;
                std::string value = next().value;
                while (peek().kind == TokenKind::Dot) {
                    next();
                    value += "." + parseName();
                }
                e->value = value;
                e->text = "'" + value + "'";
                arg.value = std::move(e);
            } else if (t.kind == TokenKind::QuotedIdentifier) {
                auto e = std::make_unique<Expr>();
                e->kind = ExprKind::Literal;
                e->literalKind = LiteralKind::NString;
                e->line = t.line;
                e->value = next().value;
                e->text = "N'" + e->value + "'";
                arg.value = std::move(e);
            } else {
                arg.value = parseUnary();
            }
            if (acceptWord("OUTPUT") || acceptWord("OUT")) arg.output = true;
            exec.arguments.push_back(std::move(arg));
        } while (accept(TokenKind::Comma));
    }
    s->node = std::move(exec);
    return s;
}

// UPDATE STATISTICS table [index | (statistics, ...)] [WITH option, ...]
StatementPtr Parser::parseUpdateStatistics() {
    auto s = make(peek().line, peek().offset);
    next();  // UPDATE
    next();  // STATISTICS
    DatabaseStmt update;
    update.kind = DatabaseStmt::Kind::UpdateStatistics;
    update.table = parseObjectName();
    if (accept(TokenKind::LeftParen)) {
        do {
            parseName();
        } while (accept(TokenKind::Comma));
        expect(TokenKind::RightParen);
    } else if (peekName() && !peekWord("WITH")) {
        parseName();
    }
    if (acceptWord("WITH")) {
        do {
            if (peek().kind != TokenKind::Identifier) syntaxError();
            std::string option = next().text;
            if (acceptOperator("=")) {
                next();
            } else if (equalsIgnoreCase(option, "SAMPLE")) {
                if (peek().kind != TokenKind::Integer && peek().kind != TokenKind::Decimal)
                    syntaxError();
                next();
                if (!acceptWord("PERCENT")) expectWord("ROWS");
            }
        } while (accept(TokenKind::Comma));
    }
    s->node = std::move(update);
    return s;
}

StatementPtr Parser::parseUse() {
    auto s = make(peek().line, peek().offset);
    next();  // USE
    DatabaseStmt use;
    use.kind = DatabaseStmt::Kind::Use;
    if (!peek().isName() && peek().kind != TokenKind::Identifier) syntaxError();
    use.name = next().value;
    s->node = std::move(use);
    return s;
}

StatementPtr Parser::parseDbcc() {
    auto s = make(peek().line, peek().offset);
    next();  // DBCC
    if (!peekWord("CHECKDB")) {
        // DBCC command [(argument, ...)] [WITH option, ...]: the arguments as written.
        if (peek().kind != TokenKind::Identifier) syntaxError();
        DatabaseStmt dbcc;
        dbcc.kind = DatabaseStmt::Kind::Dbcc;
        dbcc.command = next().text;
        for (auto& c : dbcc.command)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (accept(TokenKind::LeftParen)) {
            if (!accept(TokenKind::RightParen)) {
                do {
                    std::string argument;
                    if (peek().isOperator("-")) argument = next().text;
                    const Token& t = peek();
                    if (t.kind != TokenKind::Identifier && t.kind != TokenKind::QuotedIdentifier &&
                        t.kind != TokenKind::String && t.kind != TokenKind::NString &&
                        t.kind != TokenKind::Integer)
                        syntaxError();
                    argument += t.kind == TokenKind::Integer ? t.text : t.value;
                    next();
                    dbcc.options.push_back(argument);
                } while (accept(TokenKind::Comma));
                expect(TokenKind::RightParen);
            }
        }
        if (acceptWord("WITH")) {
            do {
                if (peek().kind != TokenKind::Identifier) syntaxError();
                if (equalsIgnoreCase(next().text, "NO_INFOMSGS")) dbcc.noInfoMessages = true;
            } while (accept(TokenKind::Comma));
        }
        s->node = std::move(dbcc);
        return s;
    }
    next();  // CHECKDB
    DatabaseStmt check;
    check.kind = DatabaseStmt::Kind::CheckDb;
    if (accept(TokenKind::LeftParen)) {
        const Token& t = peek();
        if (t.isName() || t.kind == TokenKind::String || t.kind == TokenKind::NString) {
            check.name = next().value;
        } else if (t.kind == TokenKind::Integer && t.text == "0") {
            next();  // 0: the current database
        } else {
            syntaxError();
        }
        expect(TokenKind::RightParen);
    }
    if (acceptWord("WITH")) {
        do {
            if (peek().kind != TokenKind::Identifier) syntaxError();
            std::string option = next().text;
            if (equalsIgnoreCase(option, "NO_INFOMSGS")) check.noInfoMessages = true;
            // ALL_ERRORMSGS and the like change nothing here: every error is reported.
        } while (accept(TokenKind::Comma));
    }
    s->node = std::move(check);
    return s;
}

StatementPtr Parser::parseGrant() {
    auto s = make(peek().line, peek().offset);
    GrantStmt grant;
    std::string verb = next().text;
    grant.revoke = equalsIgnoreCase(verb, "REVOKE");
    grant.deny = equalsIgnoreCase(verb, "DENY");
    do {
        if (peek().kind != TokenKind::Identifier) syntaxError();
        std::string permission = next().text;
        if (equalsIgnoreCase(permission, "ALL")) acceptWord("PRIVILEGES");
        // Column lists of a permission: SELECT (a, b)
        if (peek().kind == TokenKind::LeftParen) {
            next();
            while (!accept(TokenKind::RightParen)) {
                if (atEnd()) syntaxError();
                next();
            }
        }
        grant.permissions.push_back(permission);
    } while (accept(TokenKind::Comma));
    if (acceptWord("ON")) {
        if (peek().kind == TokenKind::Identifier && peek(1).isOperator("::")) {
            next();
            next();
        }
        grant.object = parseObjectName();
    }
    if (!acceptWord("TO") && !acceptWord("FROM")) syntaxError();
    do {
        const Token& p = peek();
        if (p.kind != TokenKind::Identifier && p.kind != TokenKind::QuotedIdentifier) syntaxError();
        grant.principals.push_back(next().value);
    } while (accept(TokenKind::Comma));
    if (peekWord("WITH") && peekWord("GRANT", 1)) {
        next();
        next();
        expectWord("OPTION");
    }
    s->node = std::move(grant);
    return s;
}

StatementPtr Parser::parseTruncate() {
    auto s = make(peek().line, peek().offset);
    next();  // TRUNCATE
    expectWord("TABLE");
    TruncateStmt t;
    t.table = parseObjectName();
    s->node = std::move(t);
    return s;
}

StatementPtr Parser::parseReturn() {
    auto s = make(peek().line, peek().offset);
    next();  // RETURN
    ReturnStmt r;
    const Token& t = peek();
    // RETURN takes a value only when one follows on the same statement: a word that starts
    // a statement starts the next one.
    static constexpr std::string_view kStatementWords[] = {
        "ALTER",  "BACKUP",    "BEGIN",       "BREAK",    "BULK",       "CHECKPOINT", "CLOSE",
        "COMMIT", "CONTINUE",  "CREATE",      "DBCC",     "DEALLOCATE", "DECLARE",    "DELETE",
        "DENY",   "DROP",      "ELSE",        "END",      "EXEC",       "EXECUTE",    "FETCH",
        "GOTO",   "GRANT",     "IF",          "INSERT",   "KILL",       "MERGE",      "OPEN",
        "PRINT",  "RAISERROR", "RECONFIGURE", "RESTORE",  "RETURN",     "REVOKE",     "ROLLBACK",
        "SAVE",   "SELECT",    "SET",         "SHUTDOWN", "THROW",      "TRUNCATE",   "UPDATE",
        "USE",    "WAITFOR",   "WHILE",       "WITH"};
    bool value = false;
    switch (t.kind) {
        case TokenKind::Identifier:
            value = true;
            for (std::string_view w : kStatementWords)
                value = value && !t.isWord(w);
            break;
        case TokenKind::Semicolon:
        case TokenKind::RightParen:
        case TokenKind::Comma:
            break;
        case TokenKind::Operator:
            value = t.isOperator("-") || t.isOperator("+") || t.isOperator("~");
            break;
        default:
            value = !atEnd();
            break;
    }
    if (value) r.value = parseExpr();
    s->node = std::move(r);
    return s;
}

StatementPtr Parser::parseWaitFor() {
    auto s = make(peek().line, peek().offset);
    next();  // WAITFOR
    WaitForStmt wait;
    if (acceptWord("TIME")) {
        wait.time = true;
    } else if (!acceptWord("DELAY")) {
        syntaxError();
    }
    const Token& t = peek();
    if (t.kind == TokenKind::String || t.kind == TokenKind::NString) {
        // A literal is checked with the batch; a variable when the statement runs.
        if (!parseTimeOfDay(t.value)) {
            SqlMessage m = sqlMessage(148, {t.value});
            m.line = t.line;
            throw SqlException(m);
        }
    } else if (t.kind != TokenKind::Variable) {
        syntaxError();
    }
    wait.value = parsePrimary();
    s->node = std::move(wait);
    return s;
}

namespace {

// Lexes text and runs fn on a parser over it; lexical and syntax errors become errors.
template <class Fn>
std::vector<SqlMessage> withParser(std::string_view text, Fn fn) {
    LexResult lexed = tokenize(text);
    if (!lexed.errors.empty()) return std::move(lexed.errors);
    Parser parser(text, std::move(lexed.tokens));
    try {
        fn(parser);
    } catch (const SqlException& e) {
        return e.messages();
    }
    return {};
}

}  // namespace

ParseResult parseBatch(std::string_view text) {
    ParseResult result;
    result.errors = withParser(text, [&](Parser& parser) { result.batch = parser.parseBatch(); });
    if (!result.errors.empty()) result.batch.statements.clear();
    result.batch.text = std::string(text);
    return result;
}

ExprParseResult parseExpression(std::string_view text) {
    ExprParseResult result;
    result.errors =
        withParser(text, [&](Parser& parser) { result.expr = parser.parseStandaloneExpression(); });
    return result;
}

}  // namespace engine::sql
