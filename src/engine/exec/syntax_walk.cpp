#include "engine/exec/syntax_walk.h"

namespace engine::exec {

void walkExpr(const sql::Expr& e, const ExprVisitor& visit) {
    visit(e);
    for (const auto& a : e.args) {
        if (a) walkExpr(*a, visit);
    }
    if (e.query) walkQuery(*e.query, visit);
}

void walkTableRef(const sql::TableRef& ref, const ExprVisitor& visit) {
    if (ref.query) walkQuery(*ref.query, visit);
    for (const auto& a : ref.args)
        walkExpr(*a, visit);
    if (ref.left) walkTableRef(*ref.left, visit);
    if (ref.right) walkTableRef(*ref.right, visit);
    if (ref.on) walkExpr(*ref.on, visit);
}

void walkQuery(const sql::QueryExpr& q, const ExprVisitor& visit) {
    for (const auto& core : q.cores) {
        if (core.top) walkExpr(*core.top->count, visit);
        for (const auto& item : core.items) {
            if (item.expr) walkExpr(*item.expr, visit);
        }
        for (const auto& ref : core.from)
            walkTableRef(*ref, visit);
        if (core.where) walkExpr(*core.where, visit);
        for (const auto& g : core.groupBy)
            walkExpr(*g, visit);
        if (core.having) walkExpr(*core.having, visit);
    }
    for (const auto& o : q.orderBy)
        walkExpr(*o.expr, visit);
}

void walkStatement(const sql::Statement& s, const ExprVisitor& visit,
                   const std::function<void(const std::string&)>& assigned) {
    if (auto* x = s.as<sql::SelectStmt>()) {
        walkQuery(*x->query, visit);
        for (const auto& core : x->query->cores) {
            for (const auto& item : core.items) {
                if (item.kind == sql::SelectItem::Kind::Assign) assigned(item.variable);
            }
        }
    } else if (auto* x = s.as<sql::InsertStmt>()) {
        for (const auto& row : x->values) {
            for (const auto& e : row) {
                if (e) walkExpr(*e, visit);
            }
        }
        if (x->select) walkQuery(*x->select, visit);
    } else if (auto* x = s.as<sql::UpdateStmt>()) {
        if (x->top) walkExpr(*x->top->count, visit);
        for (const auto& a : x->assignments) {
            if (!a.variable.empty()) assigned(a.variable);
            if (a.expr) walkExpr(*a.expr, visit);
        }
        for (const auto& ref : x->from)
            walkTableRef(*ref, visit);
        if (x->where) walkExpr(*x->where, visit);
    } else if (auto* x = s.as<sql::DeleteStmt>()) {
        if (x->top) walkExpr(*x->top->count, visit);
        for (const auto& ref : x->from)
            walkTableRef(*ref, visit);
        if (x->where) walkExpr(*x->where, visit);
    } else if (auto* x = s.as<sql::SetVariableStmt>()) {
        assigned(x->variable);
        walkExpr(*x->expr, visit);
    } else if (auto* x = s.as<sql::PrintStmt>()) {
        walkExpr(*x->expr, visit);
    } else if (auto* x = s.as<sql::IfStmt>()) {
        walkExpr(*x->condition, visit);
    } else if (auto* x = s.as<sql::WhileStmt>()) {
        walkExpr(*x->condition, visit);
    } else if (auto* x = s.as<sql::ExecStmt>()) {
        for (const auto& a : x->arguments) {
            if (a.value) walkExpr(*a.value, visit);
        }
        for (const auto& e : x->dynamicSql)
            walkExpr(*e, visit);
        if (!x->procedureVariable.empty()) assigned(x->procedureVariable);
        if (!x->returnVariable.empty()) assigned(x->returnVariable);
    } else if (auto* x = s.as<sql::ReturnStmt>()) {
        if (x->value) walkExpr(*x->value, visit);
    } else if (auto* x = s.as<sql::SetOptionStmt>()) {
        if (!x->value.empty() && x->value[0] == '@') assigned(x->value);
    } else if (auto* x = s.as<sql::WaitForStmt>()) {
        walkExpr(*x->value, visit);
    } else if (auto* x = s.as<sql::RaiseErrorStmt>()) {
        for (const auto& a : x->args)
            walkExpr(*a, visit);
    } else if (auto* x = s.as<sql::ThrowStmt>()) {
        for (const auto& a : x->args)
            walkExpr(*a, visit);
    }
}

}  // namespace engine::exec
