#include "engine/exec/function_body_rules.h"

#include <optional>
#include <string>

#include "engine/exec/syntax_walk.h"
#include "engine/types/sql_message.h"

namespace engine::exec {

namespace {

const char* dropKindName(sql::DropObjectsStmt::Kind kind) {
    switch (kind) {
        case sql::DropObjectsStmt::Kind::Table:
            return "DROP TABLE";
        case sql::DropObjectsStmt::Kind::View:
            return "DROP VIEW";
        case sql::DropObjectsStmt::Kind::Procedure:
            return "DROP PROCEDURE";
        case sql::DropObjectsStmt::Kind::Function:
            return "DROP FUNCTION";
        case sql::DropObjectsStmt::Kind::Default:
            return "DROP DEFAULT";
        case sql::DropObjectsStmt::Kind::Trigger:
            return "DROP TRIGGER";
    }
    return "DROP";
}

// The operator SQL Server names for a statement with side effects (nullopt: none).
std::optional<std::string> sideEffectOf(const sql::Statement& s) {
    if (s.as<sql::InsertStmt>()) return "INSERT";
    if (s.as<sql::UpdateStmt>()) return "UPDATE";
    if (s.as<sql::DeleteStmt>()) return "DELETE";
    if (s.as<sql::TruncateStmt>()) return "TRUNCATE TABLE";
    if (s.as<sql::PrintStmt>()) return "PRINT";
    if (s.as<sql::RaiseErrorStmt>()) return "RAISERROR";
    if (s.as<sql::ThrowStmt>()) return "THROW";
    if (s.as<sql::TryStmt>()) return "BEGIN TRY";
    if (s.as<sql::WaitForStmt>()) return "WAITFOR";
    if (s.as<sql::SetOptionStmt>()) return "SET ON/OFF";
    if (auto* x = s.as<sql::TransactionStmt>()) {
        std::string verb = x->verb;
        for (char& c : verb)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return verb + " TRANSACTION";
    }
    if (auto* x = s.as<sql::ExecStmt>()) {
        if (!x->dynamicSql.empty()) return "EXECUTE STRING";
        return std::nullopt;  // a procedure: refused when it runs (557)
    }
    if (s.as<sql::CreateTableStmt>()) return "CREATE TABLE";
    if (s.as<sql::AlterTableStmt>()) return "ALTER TABLE";
    if (s.as<sql::CreateIndexStmt>()) return "CREATE INDEX";
    if (s.as<sql::DropIndexStmt>()) return "DROP INDEX";
    if (auto* x = s.as<sql::DropObjectsStmt>()) return dropKindName(x->kind);
    return std::nullopt;
}

// A SELECT that sends rows, rather than only assigning variables.
bool returnsRows(const sql::SelectStmt& select) {
    for (const auto& core : select.query->cores) {
        for (const auto& item : core.items) {
            if (item.kind != sql::SelectItem::Kind::Assign) return true;
        }
    }
    return false;
}

class BodyCheck {
  public:
    explicit BodyCheck(const std::string& function) : function_(function) {}

    void statement(const sql::Statement& s) {
        if (auto effect = sideEffectOf(s)) fail(443, {*effect}, s.line);
        if (auto* x = s.as<sql::SelectStmt>(); x && returnsRows(*x)) fail(444, {}, s.line);
        walkStatement(
            s,
            [&](const sql::Expr& e) {
                if (e.kind != sql::ExprKind::Function) return;
                if (e.text == "newid" || e.text == "rand") fail(443, {e.text}, e.line);
            },
            [](const std::string&) {});
        if (auto* x = s.as<sql::IfStmt>()) {
            statement(*x->then);
            if (x->otherwise) statement(*x->otherwise);
        } else if (auto* x = s.as<sql::WhileStmt>()) {
            statement(*x->body);
        } else if (auto* x = s.as<sql::BlockStmt>()) {
            for (const auto& inner : x->statements)
                statement(*inner);
        }
    }

    [[noreturn]] void fail(int number, const std::vector<std::string>& args, int line) const {
        SqlMessage m = sqlMessage(number, args);
        m.procedure = function_;
        m.line = line;
        throw SqlException(m);
    }

  private:
    const std::string& function_;
};

}  // namespace

void checkFunctionBody(const ExecContext& ctx, const sql::FunctionStmt& function) {
    BodyCheck check(function.name.object);
    for (const auto& s : function.body)
        check.statement(*s);
    if (function.body.empty() || !function.body.back()->as<sql::ReturnStmt>()) {
        // SQL Server points at the END that closes the body.
        int line = ctx.line;
        for (char c : function.text)
            line += c == '\n';
        check.fail(455, {}, line);
    }
}

}  // namespace engine::exec
