// DDL statements: CREATE/ALTER/DROP of databases, schemas, tables, indexes and views.
#include <cctype>
#include "engine/sql/keywords.h"
#include "engine/sql/parser_impl.h"
#include "engine/types/sql_message.h"

namespace engine::sql {

namespace {

[[noreturn]] void mustStartBatch(const char* what, int line) {
    SqlMessage m = sqlMessage(111, {what});
    m.line = line;
    throw SqlException(m);
}

}  // namespace

StatementPtr Parser::parseCreate(bool firstInBatch) {
    size_t begin = peek().offset;
    int line = peek().line;
    next();  // CREATE
    if (peekWord("TABLE")) return parseCreateTable();
    if (peekWord("LOGIN")) return parseLogin(LoginStmt::Kind::Create, line, begin);
    if (peekWord("DATABASE")) {
        next();
        auto s = make(line, begin);
        DatabaseStmt db;
        db.kind = DatabaseStmt::Kind::Create;
        if (!peek().isName() && peek().kind != TokenKind::Identifier) syntaxError();
        db.name = next().value;
        s->node = std::move(db);
        return s;
    }
    if (peekWord("VIEW")) {
        if (!firstInBatch) mustStartBatch("CREATE VIEW", line);
        return parseCreateView(begin, false);
    }
    if (peekWord("SCHEMA")) {
        if (!firstInBatch) mustStartBatch("CREATE SCHEMA", line);
        next();
        auto s = make(line, begin);
        SchemaStmt schema;
        schema.name = parseName();
        if (acceptWord("AUTHORIZATION")) schema.owner = parseName();
        while (accept(TokenKind::Semicolon)) {
        }
        // The schema's own statement is all this batch may hold here.
        if (!atEnd()) syntaxError();
        s->node = std::move(schema);
        return s;
    }
    if (peekWord("TYPE")) {
        next();
        auto s = make(line, begin);
        TypeStmt type;
        type.name = parseObjectName();
        expectWord("FROM");
        type.base = parseTypeSpec();
        if (acceptWord("NOT")) {
            expectWord("NULL");
            type.nullable = false;
        } else if (acceptWord("NULL")) {
            type.nullable = true;
        }
        s->node = std::move(type);
        return s;
    }
    if ((peekWord("PROCEDURE") || peekWord("PROC")) && firstInBatch)
        return parseProcedure(begin, line, false);
    if (peekWord("TRIGGER") && firstInBatch) return parseTrigger(begin, line, false);
    if (peekWord("FUNCTION") && firstInBatch) return parseFunction(begin, line, false);
    if (peekWord("PROCEDURE") || peekWord("PROC") || peekWord("FUNCTION") || peekWord("TRIGGER") ||
        peekWord("DEFAULT") || peekWord("RULE")) {
        if (!firstInBatch) {
            std::string what = "CREATE " + std::string(peek().text);
            for (auto& c : what)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            if (what == "CREATE PROC") what = "CREATE PROCEDURE";
            SqlMessage m = sqlMessage(111, {what});
            m.line = line;
            throw SqlException(m);
        }
        syntaxError();
    }
    bool unique = acceptWord("UNIQUE");
    std::optional<bool> clustered;
    if (acceptWord("CLUSTERED")) {
        clustered = true;
    } else if (acceptWord("NONCLUSTERED")) {
        clustered = false;
    }
    if (peekWord("INDEX")) return parseCreateIndex(unique, clustered);
    syntaxError();
}

StatementPtr Parser::parseAlter(bool firstInBatch) {
    size_t begin = peek().offset;
    int line = peek().line;
    next();  // ALTER
    if (peekWord("TABLE")) return parseAlterTable();
    if (peekWord("DATABASE")) return parseAlterDatabase(line, begin);
    if (peekWord("LOGIN")) return parseLogin(LoginStmt::Kind::Alter, line, begin);
    if (peekWord("VIEW")) {
        if (!firstInBatch) mustStartBatch("ALTER VIEW", line);
        return parseCreateView(begin, true);
    }
    if (peekWord("PROCEDURE") || peekWord("PROC")) {
        if (!firstInBatch) mustStartBatch("ALTER PROCEDURE", line);
        return parseProcedure(begin, line, true);
    }
    if (peekWord("TRIGGER")) {
        if (!firstInBatch) mustStartBatch("ALTER TRIGGER", line);
        return parseTrigger(begin, line, true);
    }
    if (peekWord("FUNCTION")) {
        if (!firstInBatch) mustStartBatch("ALTER FUNCTION", line);
        return parseFunction(begin, line, true);
    }
    syntaxError();
}

StatementPtr Parser::parseDrop() {
    size_t begin = peek().offset;
    int line = peek().line;
    next();  // DROP
    if (peekWord("INDEX")) return parseDropIndex();
    if (peekWord("LOGIN")) return parseLogin(LoginStmt::Kind::Drop, line, begin);
    if (peekWord("DATABASE")) {
        next();
        auto s = make(line, begin);
        DatabaseStmt db;
        db.kind = DatabaseStmt::Kind::Drop;
        if (!peek().isName() && peek().kind != TokenKind::Identifier) syntaxError();
        db.name = next().value;
        s->node = std::move(db);
        return s;
    }
    if (peekWord("SCHEMA")) {
        next();
        auto s = make(line, begin);
        SchemaStmt schema;
        schema.kind = SchemaStmt::Kind::Drop;
        schema.name = parseName();
        s->node = std::move(schema);
        return s;
    }
    if (peekWord("TYPE")) {
        next();
        auto s = make(line, begin);
        TypeStmt type;
        type.drop = true;
        if (peekWord("IF") && peekWord("EXISTS", 1)) {
            next();
            next();
            type.ifExists = true;
        }
        type.name = parseObjectName();
        s->node = std::move(type);
        return s;
    }
    DropObjectsStmt drop;
    if (acceptWord("TABLE")) {
        drop.kind = DropObjectsStmt::Kind::Table;
    } else if (acceptWord("VIEW")) {
        drop.kind = DropObjectsStmt::Kind::View;
    } else if (acceptWord("PROCEDURE") || acceptWord("PROC")) {
        drop.kind = DropObjectsStmt::Kind::Procedure;
    } else if (acceptWord("FUNCTION")) {
        drop.kind = DropObjectsStmt::Kind::Function;
    } else if (acceptWord("DEFAULT")) {
        drop.kind = DropObjectsStmt::Kind::Default;
    } else if (acceptWord("TRIGGER")) {
        drop.kind = DropObjectsStmt::Kind::Trigger;
    } else {
        syntaxError();
    }
    if (peekWord("IF") && peekWord("EXISTS", 1)) {
        next();
        next();
        drop.ifExists = true;
    }
    do {
        drop.names.push_back(parseObjectName());
    } while (accept(TokenKind::Comma));
    auto s = make(line, begin);
    s->node = std::move(drop);
    return s;
}

StatementPtr Parser::parseLogin(LoginStmt::Kind kind, int line, size_t begin) {
    next();  // LOGIN
    auto s = make(line, begin);
    LoginStmt login;
    login.kind = kind;
    // A syntax error is reported near the token before a string literal, never near the
    // literal: it may be a password.
    auto isText = [](const Token& t) {
        return t.kind == TokenKind::String || t.kind == TokenKind::NString;
    };
    auto fail = [&]() {
        size_t at = pos_;
        if (atEnd() && at > 0) --at;
        if (!isText(tokens_[at])) syntaxError();
        while (at > 0 && isText(tokens_[at]))
            --at;
        syntaxErrorAt(tokens_[at]);
    };
    auto text = [&]() {
        if (!isText(peek())) fail();
        return next().value;
    };
    auto onOff = [&]() {
        if (acceptWord("ON")) return true;
        if (acceptWord("OFF")) return false;
        fail();
        return false;
    };
    auto once = [&](auto& option, auto value) {
        if (option) fail();
        option = value;
    };
    if (!peekName()) fail();
    login.name = next().value;
    if (kind == LoginStmt::Kind::Alter && (peekWord("ENABLE") || peekWord("DISABLE"))) {
        login.enable = next().isWord("ENABLE");
    } else if (kind != LoginStmt::Kind::Drop) {
        if (!acceptWord("WITH")) fail();
        do {
            const Token& option = peek();
            if (option.kind != TokenKind::Identifier) fail();
            next();
            if (!acceptOperator("=")) fail();
            if (option.isWord("PASSWORD")) {
                once(login.password, text());
                if (kind == LoginStmt::Kind::Alter && peekWord("OLD_PASSWORD")) {
                    next();
                    if (!acceptOperator("=")) fail();
                    login.oldPassword = text();
                }
            } else if (option.isWord("DEFAULT_DATABASE")) {
                if (!peekName()) fail();
                once(login.defaultDatabase, next().value);
            } else if (option.isWord("DEFAULT_LANGUAGE")) {
                if (!peekName()) fail();
                once(login.defaultLanguage, next().value);
            } else if (option.isWord("CHECK_POLICY")) {
                once(login.checkPolicy, onOff());
            } else if (option.isWord("CHECK_EXPIRATION")) {
                once(login.checkExpiration, onOff());
            } else if (option.isWord("NAME") && kind == LoginStmt::Kind::Alter) {
                if (!peekName()) fail();
                once(login.newName, next().value);
            } else if (option.isWord("SID") && kind == LoginStmt::Kind::Create) {
                if (peek().kind != TokenKind::Binary) fail();
                std::string hex = next().text.substr(2);
                if (hex.size() % 2) hex.insert(hex.begin(), '0');
                std::string bytes;
                for (size_t i = 0; i < hex.size(); i += 2)
                    bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
                once(login.sid, bytes);
            } else {
                syntaxErrorAt(option);
            }
        } while (accept(TokenKind::Comma));
        if (kind == LoginStmt::Kind::Create && !login.password) fail();
    }
    // A statement never starts with a string literal: the rest of the batch is wrong here.
    if (isText(peek())) fail();
    s->node = std::move(login);
    return s;
}

ExprPtr Parser::parseDefaultExpression(std::string& text) {
    size_t begin = peek().offset;
    ExprPtr e = parseAdditive();
    text = std::string(text_.substr(begin, previousEnd() - begin));
    return e;
}

ColumnDefinition Parser::parseColumnDefinition(bool forAlterColumn) {
    ColumnDefinition col;
    col.line = peek().line;
    col.name = parseName();
    col.type = parseTypeSpec();
    while (true) {
        if (acceptWord("COLLATE")) {
            col.collation = next().text;
            continue;
        }
        if (peekWord("NOT") && peekWord("NULL", 1)) {
            next();
            next();
            col.nullable = false;
            continue;
        }
        if (acceptWord("NULL")) {
            col.nullable = true;
            continue;
        }
        if (forAlterColumn) break;
        std::string constraintName;
        if (acceptWord("CONSTRAINT")) constraintName = parseName();
        if (acceptWord("DEFAULT")) {
            col.defaultName = constraintName;
            col.defaultExpr = parseDefaultExpression(col.defaultText);
            if (peekWord("WITH") && peekWord("VALUES", 1)) {
                next();
                next();
                col.withValues = true;
            }
            continue;
        }
        if (acceptWord("IDENTITY")) {
            col.identity = true;
            if (accept(TokenKind::LeftParen)) {
                auto number = [&]() -> int64_t {
                    bool negative = acceptOperator("-");
                    if (peek().kind != TokenKind::Integer) syntaxError();
                    int64_t v = std::stoll(next().text);
                    return negative ? -v : v;
                };
                col.identitySeed = number();
                expect(TokenKind::Comma);
                col.identityIncrement = number();
                expect(TokenKind::RightParen);
            }
            continue;
        }
        if (peekWord("PRIMARY") || peekWord("UNIQUE")) {
            if (acceptWord("PRIMARY")) {
                expectWord("KEY");
                col.primaryKey = true;
            } else {
                next();
                col.unique = true;
            }
            col.keyName = constraintName;
            if (acceptWord("CLUSTERED")) {
                col.keyClustered = true;
            } else if (acceptWord("NONCLUSTERED")) {
                col.keyClustered = false;
            }
            continue;
        }
        if (acceptWord("ROWGUIDCOL")) continue;
        if (peekWord("NOT") && peekWord("FOR", 1)) {
            // NOT FOR REPLICATION (of an IDENTITY, a CHECK or a FOREIGN KEY): no replication.
            next();
            next();
            expectWord("REPLICATION");
            continue;
        }
        if (acceptWord("CHECK")) {
            TableConstraint check;
            check.kind = TableConstraint::Kind::Check;
            check.name = constraintName;
            check.line = col.line;
            check.forColumn = col.name;
            expect(TokenKind::LeftParen);
            size_t begin = peek().offset;
            check.expr = parseExpr();
            check.exprText = std::string(text_.substr(begin, previousEnd() - begin));
            expect(TokenKind::RightParen);
            col.checks.push_back(std::move(check));
            continue;
        }
        if (peekWord("REFERENCES") || (peekWord("FOREIGN") && peekWord("KEY", 1))) {
            if (acceptWord("FOREIGN")) next();
            expectWord("REFERENCES");
            TableConstraint fk;
            fk.kind = TableConstraint::Kind::ForeignKey;
            fk.name = constraintName;
            fk.line = col.line;
            fk.columns.push_back(IndexColumn{col.name, false});
            parseReferences(fk);
            col.references.push_back(std::move(fk));
            continue;
        }
        if (!constraintName.empty()) syntaxError();
        break;
    }
    return col;
}

void Parser::parseReferences(TableConstraint& fk) {
    fk.referencedTable = parseObjectName();
    if (peek().kind == TokenKind::LeftParen) {
        for (auto& c : parseIndexColumns())
            fk.referencedColumns.push_back(std::move(c.name));
    }
    while (true) {
        if (peekWord("ON") && (peekWord("DELETE", 1) || peekWord("UPDATE", 1))) {
            next();
            ReferentialAction& action = acceptWord("DELETE") ? fk.onDelete : (next(), fk.onUpdate);
            if (acceptWord("NO")) {
                expectWord("ACTION");
                action = ReferentialAction::NoAction;
            } else if (acceptWord("CASCADE")) {
                action = ReferentialAction::Cascade;
            } else {
                expectWord("SET");
                if (acceptWord("NULL")) {
                    action = ReferentialAction::SetNull;
                } else {
                    expectWord("DEFAULT");
                    action = ReferentialAction::SetDefault;
                }
            }
            continue;
        }
        if (peekWord("NOT") && peekWord("FOR", 1)) {
            next();
            next();
            expectWord("REPLICATION");
            continue;
        }
        break;
    }
}

std::vector<IndexColumn> Parser::parseIndexColumns() {
    expect(TokenKind::LeftParen);
    std::vector<IndexColumn> columns;
    do {
        IndexColumn c;
        c.name = parseName();
        if (acceptWord("DESC")) {
            c.descending = true;
        } else {
            acceptWord("ASC");
        }
        columns.push_back(std::move(c));
    } while (accept(TokenKind::Comma));
    expect(TokenKind::RightParen);
    return columns;
}

void Parser::skipIndexOptions() {
    // INCLUDE (...), WITH (...) / WITH FILLFACTOR = n, ON [PRIMARY]: accepted, no effect.
    while (true) {
        if (peekWord("INCLUDE") && peek(1).kind == TokenKind::LeftParen) {
            next();
            parseIndexColumns();
            continue;
        }
        if (peekWord("WITH") &&
            (peek(1).kind == TokenKind::LeftParen || peekWord("FILLFACTOR", 1) ||
             peekWord("PAD_INDEX", 1) || peekWord("IGNORE_DUP_KEY", 1))) {
            next();
            if (accept(TokenKind::LeftParen)) {
                skipToClosingParen();
            } else {
                do {
                    next();
                    if (acceptOperator("=")) next();
                } while (accept(TokenKind::Comma));
            }
            continue;
        }
        if (peekWord("ON") && (peek(1).isName() || peekWord("PRIMARY", 1))) {
            next();
            next();
            continue;
        }
        break;
    }
}

TableConstraint Parser::parseTableConstraint() {
    TableConstraint c;
    c.line = peek().line;
    if (acceptWord("CONSTRAINT")) c.name = parseName();
    if (acceptWord("PRIMARY")) {
        expectWord("KEY");
        c.kind = TableConstraint::Kind::PrimaryKey;
    } else if (acceptWord("UNIQUE")) {
        c.kind = TableConstraint::Kind::Unique;
    } else if (acceptWord("DEFAULT")) {
        c.kind = TableConstraint::Kind::Default;
        c.expr = parseDefaultExpression(c.exprText);
        expectWord("FOR");
        c.forColumn = parseName();
        if (peekWord("WITH") && peekWord("VALUES", 1)) {
            next();
            next();
            c.withValues = true;
        }
        return c;
    } else if (acceptWord("CHECK")) {
        c.kind = TableConstraint::Kind::Check;
        if (peekWord("NOT") && peekWord("FOR", 1)) {
            next();
            next();
            expectWord("REPLICATION");
        }
        expect(TokenKind::LeftParen);
        size_t begin = peek().offset;
        c.expr = parseExpr();
        c.exprText = std::string(text_.substr(begin, previousEnd() - begin));
        expect(TokenKind::RightParen);
        return c;
    } else if (acceptWord("FOREIGN")) {
        expectWord("KEY");
        c.kind = TableConstraint::Kind::ForeignKey;
        c.columns = parseIndexColumns();
        expectWord("REFERENCES");
        parseReferences(c);
        return c;
    } else {
        syntaxError();
    }
    if (acceptWord("CLUSTERED")) {
        c.clustered = true;
    } else if (acceptWord("NONCLUSTERED")) {
        c.clustered = false;
    }
    c.columns = parseIndexColumns();
    skipIndexOptions();
    return c;
}

StatementPtr Parser::parseCreateTable() {
    auto s = make(peek().line, peek().offset);
    next();  // TABLE
    CreateTableStmt create;
    create.table = parseObjectName();
    expect(TokenKind::LeftParen);
    do {
        if (peek().kind == TokenKind::RightParen) break;  // trailing comma is accepted
        if (peekWord("CONSTRAINT") || peekWord("PRIMARY") || peekWord("UNIQUE") ||
            peekWord("CHECK") || peekWord("FOREIGN")) {
            create.constraints.push_back(parseTableConstraint());
        } else {
            create.columns.push_back(parseColumnDefinition(false));
        }
    } while (accept(TokenKind::Comma));
    expect(TokenKind::RightParen);
    skipIndexOptions();
    s->node = std::move(create);
    return s;
}

StatementPtr Parser::parseAlterTable() {
    auto s = make(peek().line, peek().offset);
    next();  // TABLE
    AlterTableStmt alter;
    alter.table = parseObjectName();
    if (peekWord("WITH") && (peekWord("NOCHECK", 1) || peekWord("CHECK", 1))) {
        next();
        alter.withNoCheck = peekWord("NOCHECK");
        alter.withCheck = !alter.withNoCheck;
        next();
    }
    if (acceptWord("ADD")) {
        bool anyColumn = false;
        bool anyConstraint = false;
        do {
            if (peekWord("CONSTRAINT") || peekWord("PRIMARY") || peekWord("UNIQUE") ||
                peekWord("CHECK") || peekWord("FOREIGN") || peekWord("DEFAULT")) {
                alter.constraints.push_back(parseTableConstraint());
                anyConstraint = true;
            } else {
                alter.columns.push_back(parseColumnDefinition(false));
                anyColumn = true;
            }
        } while (accept(TokenKind::Comma));
        alter.action =
            anyColumn ? AlterTableStmt::Action::AddColumns : AlterTableStmt::Action::AddConstraints;
        (void)anyConstraint;
    } else if (acceptWord("ALTER")) {
        expectWord("COLUMN");
        alter.action = AlterTableStmt::Action::AlterColumn;
        alter.columns.push_back(parseColumnDefinition(true));
    } else if (acceptWord("DROP")) {
        if (acceptWord("COLUMN")) {
            alter.action = AlterTableStmt::Action::DropColumns;
            do {
                acceptWord("COLUMN");
                alter.names.push_back(parseName());
            } while (accept(TokenKind::Comma));
        } else {
            alter.action = AlterTableStmt::Action::DropConstraints;
            do {
                acceptWord("CONSTRAINT");
                alter.names.push_back(parseName());
            } while (accept(TokenKind::Comma));
        }
    } else if (peekWord("CHECK") || peekWord("NOCHECK")) {
        // [WITH CHECK] CHECK CONSTRAINT name|ALL, NOCHECK CONSTRAINT name|ALL.
        alter.action = acceptWord("CHECK") ? AlterTableStmt::Action::EnableConstraints
                                           : (next(), AlterTableStmt::Action::DisableConstraints);
        expectWord("CONSTRAINT");
        if (!acceptWord("ALL")) {
            do {
                alter.names.push_back(parseName());
            } while (accept(TokenKind::Comma));
        }
    } else {
        syntaxError();
    }
    s->node = std::move(alter);
    return s;
}

StatementPtr Parser::parseCreateIndex(bool unique, std::optional<bool> clustered) {
    auto s = make(peek().line, peek().offset);
    next();  // INDEX
    CreateIndexStmt index;
    index.unique = unique;
    index.clustered = clustered;
    index.name = parseName();
    expectWord("ON");
    index.table = parseObjectName();
    index.columns = parseIndexColumns();
    skipIndexOptions();
    s->node = std::move(index);
    return s;
}

StatementPtr Parser::parseDropIndex() {
    auto s = make(peek().line, peek().offset);
    int line = next().line;  // INDEX
    DropIndexStmt drop;
    do {
        DropIndexStmt::Item item;
        std::vector<std::string> parts;
        parts.push_back(parseName());
        while (accept(TokenKind::Dot))
            parts.push_back(parseName());
        if (acceptWord("ON")) {
            if (parts.size() != 1) syntaxError();
            item.index = parts[0];
            item.table = parseObjectName();
            item.onSyntax = true;
            item.written = item.table.written + "." + item.index;
        } else {
            if (parts.size() < 2) {
                SqlMessage m = sqlMessage(159);
                m.line = line;
                throw SqlException(m);
            }
            item.index = parts.back();
            parts.pop_back();
            item.table.object = parts.back();
            if (parts.size() >= 2) item.table.schema = parts[parts.size() - 2];
            if (parts.size() >= 3) item.table.database = parts[parts.size() - 3];
            std::string written;
            for (size_t i = 0; i < parts.size(); ++i)
                written += (i ? "." : "") + parts[i];
            item.table.written = written;
            item.written = written + "." + item.index;
        }
        drop.items.push_back(std::move(item));
    } while (accept(TokenKind::Comma));
    s->node = std::move(drop);
    return s;
}

StatementPtr Parser::parseCreateView(size_t begin, bool alter) {
    auto s = make(peek().line, begin);
    next();  // VIEW
    CreateViewStmt view;
    view.alter = alter;
    view.name = parseObjectName();
    if (peek().kind == TokenKind::LeftParen) {
        next();
        do {
            view.columns.push_back(parseName());
        } while (accept(TokenKind::Comma));
        expect(TokenKind::RightParen);
    }
    if (peekWord("WITH")) {
        next();
        do {
            next();  // SCHEMABINDING, ENCRYPTION, VIEW_METADATA
        } while (accept(TokenKind::Comma));
    }
    expectWord("AS");
    view.query = parseQuery();
    while (accept(TokenKind::Semicolon)) {
    }
    // The view's body runs to the end of the batch: anything else is a syntax error.
    if (!atEnd()) syntaxError();
    view.text = std::string(text_.substr(begin, previousEnd() - begin));
    s->node = std::move(view);
    return s;
}

}  // namespace engine::sql

namespace engine::sql {

// ALTER DATABASE name | CURRENT SET option [, ...] [WITH ROLLBACK IMMEDIATE | ROLLBACK AFTER n
// [SECONDS] | NO_WAIT]. An option is a word, optionally followed by a value: "= value",
// a word or number ("RECOVERY SIMPLE", "AUTO_CLOSE OFF") or a parenthesised list.
StatementPtr Parser::parseAlterDatabase(int line, size_t begin) {
    next();  // DATABASE
    auto s = make(line, begin);
    DatabaseStmt alter;
    alter.kind = DatabaseStmt::Kind::AlterSet;
    if (!peek().isName() && peek().kind != TokenKind::Identifier) syntaxError();
    alter.name = next().value;
    if (equalsIgnoreCase(alter.name, "CURRENT")) alter.name.clear();
    expectWord("SET");
    // The options that stand alone, without a value.
    static constexpr std::string_view kAlone[] = {
        "OFFLINE",       "ONLINE",          "EMERGENCY",  "SINGLE_USER",
        "MULTI_USER",    "RESTRICTED_USER", "READ_ONLY",  "READ_WRITE",
        "ENABLE_BROKER", "DISABLE_BROKER",  "NEW_BROKER", "ERROR_BROKER_CONVERSATIONS"};
    do {
        if (peek().kind != TokenKind::Identifier) syntaxError();
        std::string option = next().text;
        for (auto& c : option)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        alter.options.push_back(option);
        bool alone = false;
        for (auto word : kAlone)
            alone = alone || option == word;
        if (alone) continue;
        acceptOperator("=");
        if (accept(TokenKind::LeftParen)) {
            skipToClosingParen();
        } else {
            const Token& v = peek();
            if (v.kind != TokenKind::Identifier && v.kind != TokenKind::Integer &&
                v.kind != TokenKind::String && v.kind != TokenKind::NString)
                syntaxError();
            next();
            if (peek().kind == TokenKind::Identifier &&
                (peekWord("MINUTES") || peekWord("SECONDS") || peekWord("DAYS")))
                next();  // TARGET_RECOVERY_TIME = 60 SECONDS
        }
    } while (accept(TokenKind::Comma));
    if (acceptWord("WITH")) {
        if (acceptWord("ROLLBACK")) {
            if (acceptWord("AFTER")) {
                if (peek().kind != TokenKind::Integer) syntaxError();
                next();
                acceptWord("SECONDS");
            } else {
                expectWord("IMMEDIATE");
            }
        } else {
            expectWord("NO_WAIT");
        }
    }
    s->node = std::move(alter);
    return s;
}

}  // namespace engine::sql

namespace engine::sql {

StatementPtr Parser::parseProcedure(size_t begin, int line, bool alter) {
    auto s = make(line, begin);
    next();  // PROCEDURE / PROC
    ProcedureStmt proc;
    proc.alter = alter;
    proc.name = parseObjectName();
    if (accept(TokenKind::Semicolon)) {
        // A numbered procedure (name;1): only the first number is kept here.
        if (peek().kind != TokenKind::Integer) syntaxError();
        next();
    }
    const bool parenthesised = accept(TokenKind::LeftParen);
    if (peek().kind == TokenKind::Variable) {
        do {
            ProcedureParameter p = parseParameterHead();
            acceptWord("VARYING");
            if (acceptOperator("=")) p.defaultValue = parseUnary();
            if (acceptWord("OUTPUT") || acceptWord("OUT")) p.output = true;
            acceptWord("READONLY");
            proc.parameters.push_back(std::move(p));
        } while (accept(TokenKind::Comma));
    }
    if (parenthesised) expect(TokenKind::RightParen);
    if (acceptWord("WITH")) {
        do {
            if (!acceptExecuteAs() && !acceptWord("RECOMPILE") && !acceptWord("ENCRYPTION")) {
                syntaxError();
            }
        } while (accept(TokenKind::Comma));
    }
    if (acceptWord("FOR")) expectWord("REPLICATION");
    expectWord("AS");
    proc.body = parseBodyToEnd();
    proc.text = std::string(text_.substr(begin, previousEnd() - begin));
    s->node = std::move(proc);
    return s;
}

ProcedureParameter Parser::parseParameterHead() {
    ProcedureParameter p;
    if (peek().kind != TokenKind::Variable) syntaxError();
    p.line = peek().line;
    p.name = next().text;
    acceptWord("AS");
    p.type = parseTypeSpec();
    return p;
}

std::vector<StatementPtr> Parser::parseBodyToEnd() {
    std::vector<StatementPtr> body;
    while (true) {
        while (accept(TokenKind::Semicolon)) {
        }
        if (atEnd()) break;
        body.push_back(parseStatement(false));
    }
    return body;
}

bool Parser::acceptExecuteAs() {
    if (!acceptWord("EXECUTE") && !acceptWord("EXEC")) return false;
    expectWord("AS");
    next();  // CALLER, SELF, OWNER or 'user'
    return true;
}

StatementPtr Parser::parseTrigger(size_t begin, int line, bool alter) {
    auto s = make(line, begin);
    next();  // TRIGGER
    TriggerStmt trigger;
    trigger.alter = alter;
    trigger.name = parseObjectName();
    expectWord("ON");
    trigger.table = parseObjectName();
    if (acceptWord("WITH")) {
        do {
            if (!acceptExecuteAs() && !acceptWord("ENCRYPTION")) {
                syntaxError();
            }
        } while (accept(TokenKind::Comma));
    }
    if (acceptWord("INSTEAD")) {
        expectWord("OF");
        trigger.insteadOf = true;
    } else if (!acceptWord("FOR")) {
        expectWord("AFTER");
    }
    do {
        if (acceptWord("INSERT")) {
            trigger.onInsert = true;
        } else if (acceptWord("UPDATE")) {
            trigger.onUpdate = true;
        } else {
            expectWord("DELETE");
            trigger.onDelete = true;
        }
    } while (accept(TokenKind::Comma));
    if (peekWord("WITH") && peekWord("APPEND", 1)) {
        next();
        next();
    }
    if (peekWord("NOT") && peekWord("FOR", 1)) {
        next();
        next();
        expectWord("REPLICATION");
    }
    expectWord("AS");
    trigger.body = parseBodyToEnd();
    trigger.text = std::string(text_.substr(begin, previousEnd() - begin));
    s->node = std::move(trigger);
    return s;
}

StatementPtr Parser::parseFunction(size_t begin, int line, bool alter) {
    auto s = make(line, begin);
    next();  // FUNCTION
    FunctionStmt function;
    function.alter = alter;
    function.name = parseObjectName();
    expect(TokenKind::LeftParen);
    if (peek().kind == TokenKind::Variable) {
        do {
            ProcedureParameter p = parseParameterHead();
            if (acceptOperator("=")) p.defaultValue = parseUnary();
            acceptWord("READONLY");
            function.parameters.push_back(std::move(p));
        } while (accept(TokenKind::Comma));
    }
    expect(TokenKind::RightParen);
    expectWord("RETURNS");
    // Only scalar functions: a table-valued one (RETURNS TABLE / @t TABLE) stops here.
    function.returns = parseTypeSpec();
    if (acceptWord("WITH")) {
        do {
            if (acceptWord("RETURNS")) {
                expectWord("NULL");
                expectWord("ON");
                expectWord("NULL");
                expectWord("INPUT");
                function.nullOnNullInput = true;
            } else if (acceptWord("CALLED")) {
                expectWord("ON");
                expectWord("NULL");
                expectWord("INPUT");
            } else if (!acceptExecuteAs() && !acceptWord("SCHEMABINDING") &&
                       !acceptWord("ENCRYPTION") && !acceptWord("INLINE")) {
                syntaxError();
            }
            if (acceptOperator("=")) next();  // INLINE = ON | OFF
        } while (accept(TokenKind::Comma));
    }
    acceptWord("AS");
    if (!peekWord("BEGIN")) syntaxError();
    StatementPtr block = parseStatement(false);
    auto* body = block->as<BlockStmt>();
    if (!body) syntaxError();
    function.body = std::move(body->statements);
    while (accept(TokenKind::Semicolon)) {
    }
    if (!atEnd()) syntaxError();
    function.text = std::string(text_.substr(begin, previousEnd() - begin));
    s->node = std::move(function);
    return s;
}

void Parser::skipToClosingParen() {
    int depth = 1;
    while (depth > 0) {
        if (atEnd()) syntaxError();
        if (peek().kind == TokenKind::LeftParen) ++depth;
        if (peek().kind == TokenKind::RightParen) --depth;
        next();
    }
}

}  // namespace engine::sql
