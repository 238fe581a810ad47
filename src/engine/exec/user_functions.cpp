#include "engine/exec/user_functions.h"

#include <algorithm>
#include <memory>

#include "engine/exec/batch.h"
#include "engine/exec/binder.h"
#include "engine/exec/ddl_support.h"
#include "engine/exec/function_body_rules.h"
#include "engine/sql/parser.h"
#include "engine/types/collation.h"
#include "engine/types/conversion.h"
#include "engine/types/sql_message.h"

namespace engine::exec {

namespace {

// A function's definition parsed from its stored text, shared by the calls of a statement.
struct ParsedFunction {
    sql::ParseResult parsed;
    const sql::FunctionStmt* statement = nullptr;
    std::string name;
    DataType returns;
    std::vector<DataType> parameterTypes;
};

std::shared_ptr<const ParsedFunction> parseFunction(ExecContext& ctx, const ModuleSchema& module) {
    auto f = std::make_shared<ParsedFunction>();
    f->parsed = sql::parseBatch(module.text);
    if (f->parsed.ok() && !f->parsed.batch.statements.empty())
        f->statement = f->parsed.batch.statements[0]->as<sql::FunctionStmt>();
    if (!f->statement) return nullptr;
    f->name = module.name;
    f->returns = declaredType(ctx, f->statement->returns);
    for (const auto& p : f->statement->parameters)
        f->parameterTypes.push_back(declaredType(ctx, p.type));
    return f;
}

// A function sends nothing back: its statements report no row counts (and can send
// nothing else; its errors are raised to the caller).
class SilentSink final : public BatchSink {
  public:
    void resultSet(ResultSet&&) override {}
    void message(const SqlMessage&) override {}
    void rowCount(const RowCount&) override {}
};

Value callFunction(ExecContext& caller, const ParsedFunction& f, std::vector<Value>& args) {
    // RETURNS NULL ON NULL INPUT: the body does not run for a NULL argument.
    if (f.statement->nullOnNullInput &&
        std::any_of(args.begin(), args.end(), [](const Value& v) { return v.isNull(); }))
        return Value::null(f.returns);
    if (caller.depth >= 32) raise(caller, 217);
    SilentSink silent;
    Output quiet(silent);
    ExecContext child(caller.session, quiet);
    child.depth = caller.depth + 1;
    child.procedure = f.name;
    FunctionResult result{f.returns, std::nullopt};
    child.function = &result;
    const auto& parameters = f.statement->parameters;
    for (size_t i = 0; i < parameters.size(); ++i) {
        child.variables.declare(parameters[i].name, f.parameterTypes[i]);
        child.variables.find(parameters[i].name)->value =
            convert(args[i], f.parameterTypes[i], ConversionKind::Implicit, 0, caller.dateFormat());
    }
    runFunctionBody(child, f.statement->body);
    return result.value ? *result.value : Value::null(f.returns);
}

}  // namespace

void executeFunctionDefinition(ExecContext& ctx, const sql::FunctionStmt& function) {
    checkFunctionBody(ctx, function);
    Database& db = ctx.database();
    const std::string& name = function.name.object;
    const ModuleSchema* existing = db.findFunction(function.name.schema, name);
    if (function.alter && !existing) raise(ctx, 208, {function.name.written});
    const std::string schema = existing ? existing->schema : schemaForNewObject(ctx, function.name);
    if (!function.alter && objectNameTaken(db, schema, name)) raise(ctx, 2714, {name});
    // The types it names must exist now.
    declaredType(ctx, function.returns);
    for (const auto& p : function.parameters) {
        declaredType(ctx, p.type);
        if (std::count_if(function.parameters.begin(), function.parameters.end(),
                          [&](const sql::ProcedureParameter& q) {
                              return identifierEqual(q.name, p.name);
                          }) > 1)
            raise(ctx, 134, {p.name});
    }
    storeModule(ctx, ModuleSchema::Kind::Function, existing, schema, name, function.text);
}

// --- calls (binder) ------------------------------------------------------------------

BoundExprPtr Binder::bindUserFunction(const sql::Expr& e, Scope& scope) {
    // schema.f or database.schema.f; only functions of the current database are called.
    const std::string& schema = e.qualifier.back();
    std::string written;
    for (const auto& part : e.qualifier)
        written += part + ".";
    written += e.value;
    const bool otherDatabase =
        e.qualifier.size() > 1 &&
        !identifierEqual(e.qualifier[e.qualifier.size() - 2], ctx_.currentEntry().name);
    const ModuleSchema* module =
        otherDatabase ? nullptr : ctx_.catalog().findFunction(schema, e.value);
    std::shared_ptr<const ParsedFunction> f = module ? parseFunction(ctx_, *module) : nullptr;
    if (!f) {
        SqlMessage m = sqlMessage(4121, {schema, written});
        m.line = e.line;
        throw SqlException(m);
    }
    const auto& parameters = f->statement->parameters;
    auto fail = [&](int number) {
        SqlMessage m = sqlMessage(number, {written});
        m.line = e.line;
        throw SqlException(m);
    };
    if (e.args.size() > parameters.size()) fail(8144);
    if (e.args.size() < parameters.size()) fail(313);
    std::vector<BoundExprPtr> args;
    for (size_t i = 0; i < e.args.size(); ++i) {
        if (e.args[i]->kind != sql::ExprKind::Default) {
            args.push_back(bindScalar(*e.args[i], scope));
            continue;
        }
        if (!parameters[i].defaultValue) fail(313);
        Scope none;
        args.push_back(bindScalar(*parameters[i].defaultValue, none));
    }
    ExecContext* binding = &ctx_;
    return std::make_unique<CallExpr>(
        f->returns, std::move(args),
        [f, binding](std::vector<Value>& values, const Frame& frame) {
            return callFunction(frame.ctx ? *frame.ctx : *binding, *f, values);
        },
        CallExpr::Reuse::Never);
}

}  // namespace engine::exec
