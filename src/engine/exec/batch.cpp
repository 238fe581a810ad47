#include "engine/exec/batch.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <functional>

#include "engine/exec/binder.h"
#include "engine/exec/ddl_support.h"
#include "engine/exec/locks.h"
#include "engine/exec/statements.h"
#include "engine/exec/syntax_walk.h"
#include "engine/exec/triggers.h"
#include "engine/sql/parser.h"
#include "engine/types/arithmetic.h"
#include "engine/types/collation.h"
#include "engine/types/conversion.h"
#include "engine/types/datetime.h"
#include "engine/types/render.h"
#include "engine/types/sql_message.h"

namespace engine::exec {

bool terminatesStatement(int number) {
    switch (number) {
        case 515:
        case 547:
        case 1505:
        case 2601:
        case 2627:
        case 2628:
        case 8152:
            return true;
        default:
            return false;
    }
}

namespace {

// Errors of compiling a statement: when a deferred statement raises them at run time,
// the rest of its batch is not run (but an enclosing batch goes on).
bool isCompileError(int number) {
    switch (number) {
        case 207:
        case 208:
        case 209:
        case 4104:
        case 137:
        case 1087:
        case 195:
        case 8120:
        case 8121:
        case 8160:
        case 8161:
        case 116:
        case 4145:
        case 4121:
            return true;
        default:
            return false;
    }
}

// Ends the current batch level only.
struct BatchEnd {};

enum class Flow { Next, Break, Continue, Return };

// --- transactions and locks ----------------------------------------------------------

bool readsTable(const sql::QueryExpr& q);

bool readsTable(const sql::Expr& e) {
    if (e.query && readsTable(*e.query)) return true;
    for (const auto& a : e.args) {
        if (a && readsTable(*a)) return true;
    }
    return false;
}

bool readsTable(const sql::TableRef& ref) {
    switch (ref.kind) {
        case sql::TableRef::Kind::Named:
            return true;
        case sql::TableRef::Kind::Derived:
            return readsTable(*ref.query);
        case sql::TableRef::Kind::Join:
            return readsTable(*ref.left) || readsTable(*ref.right);
        case sql::TableRef::Kind::Function:
            return false;
    }
    return false;
}

// Whether a query reads a table (or view): "SELECT GETDATE()" does not.
bool readsTable(const sql::QueryExpr& q) {
    for (const auto& core : q.cores) {
        for (const auto& ref : core.from) {
            if (readsTable(*ref)) return true;
        }
        for (const auto& item : core.items) {
            if (item.expr && readsTable(*item.expr)) return true;
        }
        if (core.where && readsTable(*core.where)) return true;
        if (core.having && readsTable(*core.having)) return true;
    }
    return false;
}

// The statements that open a transaction under SET IMPLICIT_TRANSACTIONS ON (BEGIN
// TRANSACTION too, which then opens a second level).
bool opensImplicitTransaction(const sql::Statement& s) {
    if (auto* x = s.as<sql::SelectStmt>()) return intoCore(*x) || readsTable(*x->query);
    if (auto* x = s.as<sql::CreateViewStmt>()) return !x->alter;
    if (auto* x = s.as<sql::GrantStmt>()) return !x->deny;
    return s.as<sql::InsertStmt>() || s.as<sql::UpdateStmt>() || s.as<sql::DeleteStmt>() ||
           s.as<sql::CreateTableStmt>() || s.as<sql::AlterTableStmt>() ||
           s.as<sql::CreateIndexStmt>() || s.as<sql::DropIndexStmt>() ||
           s.as<sql::DropObjectsStmt>() || s.as<sql::SchemaStmt>() || s.as<sql::TruncateStmt>();
}

// Whether a statement changes only a #table (its name as written; an alias of one does
// not count): it writes to no database that other sessions see.
bool writesTemporaryTable(const sql::Statement& s) {
    const sql::ObjectName* target = nullptr;
    if (auto* x = s.as<sql::SelectStmt>(); x && intoCore(*x)) target = &intoCore(*x)->into;
    if (auto* x = s.as<sql::InsertStmt>()) target = &x->table;
    if (auto* x = s.as<sql::UpdateStmt>()) target = &x->target;
    if (auto* x = s.as<sql::DeleteStmt>()) target = &x->target;
    if (auto* x = s.as<sql::CreateTableStmt>()) target = &x->table;
    if (auto* x = s.as<sql::AlterTableStmt>()) target = &x->table;
    if (auto* x = s.as<sql::CreateIndexStmt>()) target = &x->table;
    if (auto* x = s.as<sql::TruncateStmt>()) target = &x->table;
    if (auto* x = s.as<sql::DropIndexStmt>(); x && !x->items.empty()) target = &x->items[0].table;
    if (auto* x = s.as<sql::DropObjectsStmt>()) {
        if (x->kind != sql::DropObjectsStmt::Kind::Table) return false;
        for (const auto& name : x->names) {
            if (!isLocalTemporary(name.object)) return false;
        }
        return !x->names.empty();
    }
    return target && isLocalTemporary(target->object);
}

// Which database a statement changes (see StatementAccess); system procedures that
// change the catalogue say so themselves.
StatementAccess accessOf(const sql::Statement& s) {
    StatementAccess a;
    if (writesTemporaryTable(s)) return a;
    if (auto* x = s.as<sql::InsertStmt>()) {
        a.writes = true;
        a.database = x->table.database;
    } else if (auto* x = s.as<sql::UpdateStmt>()) {
        a.writes = true;
        a.database = x->target.database;
    } else if (auto* x = s.as<sql::DeleteStmt>()) {
        a.writes = true;
        a.database = x->target.database;
    } else if (auto* x = s.as<sql::SelectStmt>()) {
        a.writes = intoCore(*x) != nullptr;
    } else {
        a.writes = s.as<sql::CreateTableStmt>() || s.as<sql::AlterTableStmt>() ||
                   s.as<sql::CreateIndexStmt>() || s.as<sql::DropIndexStmt>() ||
                   s.as<sql::DropObjectsStmt>() || s.as<sql::CreateViewStmt>() ||
                   s.as<sql::GrantStmt>() || s.as<sql::SchemaStmt>() || s.as<sql::TruncateStmt>() ||
                   s.as<sql::TypeStmt>() || s.as<sql::ProcedureStmt>() ||
                   s.as<sql::TriggerStmt>() || s.as<sql::FunctionStmt>();
    }
    return a;
}

}  // namespace

// --- the runner ---------------------------------------------------------------------

namespace {

// An error RAISERROR raised: unlike the others, SET XACT_ABORT ON does not make it end
// the batch.
struct RaisedError : SqlException {
    explicit RaisedError(SqlMessage m) : SqlException(std::move(m)) {}
};

// The database a table statement names in front of its table ("Other.dbo.T"), when it is
// neither the current one nor tempdb; empty otherwise. A DROP TABLE of tables in several
// databases, or a DROP INDEX of several, works in the first's.
std::string otherDatabaseOfTableStatement(const sql::Statement& s, const DatabaseEntry& current) {
    const sql::ObjectName* target = nullptr;
    if (auto* x = s.as<sql::CreateTableStmt>()) target = &x->table;
    if (auto* x = s.as<sql::AlterTableStmt>()) target = &x->table;
    if (auto* x = s.as<sql::CreateIndexStmt>()) target = &x->table;
    if (auto* x = s.as<sql::TruncateStmt>()) target = &x->table;
    if (auto* x = s.as<sql::DropIndexStmt>(); x && !x->items.empty()) target = &x->items[0].table;
    if (auto* x = s.as<sql::DropObjectsStmt>();
        x && x->kind == sql::DropObjectsStmt::Kind::Table && !x->names.empty())
        target = &x->names[0];
    if (!target || target->database.empty() || identifierEqual(target->database, "tempdb") ||
        identifierEqual(target->database, current.name))
        return {};
    return target->database;
}

// Runs a table statement in the database its name gives, as SQL Server does: the session
// works there for the statement (as after USE) and comes back.
class InNamedDatabase {
  public:
    InNamedDatabase(ExecContext& ctx, const std::string& name) : session_(ctx.session) {
        std::string error;
        DatabaseEntry* entry = session_.server->database(name, error);
        if (!entry) raiseUnavailable(ctx, name, 911);
        session_.server->attach(*entry);
        saved_ = session_.database;
        session_.database = entry;
    }
    ~InNamedDatabase() {
        DatabaseEntry* entry = session_.database;
        session_.database = saved_;
        session_.server->detach(*entry);
    }
    InNamedDatabase(const InNamedDatabase&) = delete;
    InNamedDatabase& operator=(const InNamedDatabase&) = delete;

  private:
    SessionRuntime& session_;
    DatabaseEntry* saved_ = nullptr;
};

class Runner {
  public:
    explicit Runner(ExecContext& ctx) : ctx_(ctx) {}

    // Compile step: false when the batch is rejected (its errors are sent).
    bool compile(const sql::Batch& batch, bool bindNames = true) { return compile(batch.statements, bindNames); }
    bool compile(const std::vector<sql::StatementPtr>& statements, bool bindNames = true) {
        try {
            for (const auto& s : statements)
                declareVariables(*s);
        } catch (const SqlException& e) {
            if (ctx_.function) throw withPlace(e);
            sendAll(e);
            return false;
        }
        if (!bindNames) return true;
        try {
            for (const auto& s : statements)
                prebindTree(*s);
        } catch (const SqlException& e) {
            if (ctx_.function) throw withPlace(e);
            sendAll(e);
            return false;
        }
        return true;
    }

    Flow runList(const std::vector<sql::StatementPtr>& list) {
        for (const auto& s : list) {
            Flow f = run(*s);
            if (f != Flow::Next) return f;
        }
        return Flow::Next;
    }

    Flow run(const sql::Statement& s) {
        checkCancelled(ctx_.session);
        ctx_.line = s.line;
        if (auto* block = s.as<sql::BlockStmt>()) return runList(block->statements);
        if (auto* x = s.as<sql::IfStmt>()) {
            Tri t;
            if (!statement({}, [&] { t = condition(*x->condition); })) return Flow::Next;
            if (t == Tri::True) return run(*x->then);
            if (x->otherwise) return run(*x->otherwise);
            return Flow::Next;
        }
        if (auto* x = s.as<sql::WhileStmt>()) {
            while (true) {
                checkCancelled(ctx_.session);
                ctx_.line = s.line;
                Tri t = Tri::False;
                if (!statement({}, [&] { t = condition(*x->condition); })) return Flow::Next;
                if (t != Tri::True) return Flow::Next;
                Flow f = run(*x->body);
                if (f == Flow::Break) return Flow::Next;
                if (f == Flow::Return) return f;
            }
        }
        if (auto* x = s.as<sql::TryStmt>()) return runTry(*x);
        if (auto* x = s.as<sql::ThrowStmt>()) {
            std::optional<SqlMessage> m;
            if (!statement({}, [&] { m = thrown(*x); })) return Flow::Next;
            if (ctx_.session.tryDepth > 0) throw CaughtError{*m};
            ctx_.out.message(*m);
            ctx_.session.lastError = m->number;
            throw BatchStop{};
        }
        if (auto* x = s.as<sql::BreakStmt>()) return x->isContinue ? Flow::Continue : Flow::Break;
        if (auto* x = s.as<sql::ReturnStmt>()) {
            if (ctx_.function) {
                statement({}, [&] {
                    FunctionResult& result = *ctx_.function;
                    result.value = x->value
                                       ? convert(scalar(*x->value), result.type,
                                                 ConversionKind::Implicit, 0, ctx_.dateFormat())
                                       : Value::null(result.type);
                });
                return Flow::Return;
            }
            if (x->value) {
                statement({}, [&] {
                    Value v = scalar(*x->value);
                    ctx_.returnStatus =
                        v.isNull() ? 0
                                   : static_cast<int>(convert(v, DataType::of(TypeId::Int)).asInt64());
                });
            }
            return Flow::Return;
        }
        statement(accessOf(s), [&] {
            if (opensImplicitTransaction(s)) beginImplicitTransaction();
            runSimple(s);
        });
        return Flow::Next;
    }

  private:
    // BEGIN TRY ... END TRY BEGIN CATCH ... END CATCH: an error of severity 11 to 19 in the
    // TRY block (or anything it calls) ends it and runs the CATCH block instead, silently.
    Flow runTry(const sql::TryStmt& t) {
        SessionRuntime& session = ctx_.session;
        std::optional<SqlMessage> error;
        {
            ++session.tryDepth;
            struct Leave {
                int& depth;
                ~Leave() { --depth; }
            } leave{session.tryDepth};
            try {
                Flow f = runList(t.body);
                if (f != Flow::Next) return f;
            } catch (const CaughtError& e) {
                error = e.message;
            }
        }
        if (!error) return Flow::Next;
        session.lastError = error->number;
        session.caught.push_back(*error);
        struct Handled {
            std::vector<SqlMessage>& caught;
            ~Handled() { caught.pop_back(); }
        } handled{session.caught};
        return runList(t.handler);
    }

    // The error THROW raises: its arguments, or the error being handled (10704 outside a
    // CATCH block).
    SqlMessage thrown(const sql::ThrowStmt& t) {
        if (t.args.empty()) {
            if (ctx_.session.caught.empty()) {
                SqlMessage m = messageAt(ctx_, 10704);
                throw SqlException(m);
            }
            return ctx_.session.caught.back();
        }
        Value number = scalar(*t.args[0]);
        Value text = scalar(*t.args[1]);
        Value state = scalar(*t.args[2]);
        const int64_t n = number.isNull() ? 0 : convert(number, DataType::of(TypeId::BigInt)).asInt64();
        if (n < 50000 || n > INT32_MAX) raise(ctx_, 35100, {std::to_string(n)});
        SqlMessage m;
        m.number = static_cast<int>(n);
        m.severity = 16;
        m.state = state.isNull() ? 1 : static_cast<int>(convert(state, DataType::of(TypeId::Int)).asInt64());
        m.line = ctx_.line;
        m.procedure = ctx_.procedure;
        m.text = text.isNull() ? "" : isCharacter(text.typeId()) ? text.bytes() : renderAsText(text);
        return m;
    }

    // RAISERROR: severity 10 or less is a message (sent at once), 11 and more an error.
    void raiseError(const sql::RaiseErrorStmt& r) {
        std::vector<Value> values;
        for (const auto& a : r.args)
            values.push_back(scalar(*a));
        auto asInt = [&](const Value& v) -> int64_t {
            if (v.isNull()) return 0;
            return convert(v, DataType::of(TypeId::BigInt), ConversionKind::Implicit, 0,
                           ctx_.dateFormat())
                .asInt64();
        };
        int severity = static_cast<int>(std::clamp<int64_t>(asInt(values[1]), 0, 25));
        int state = static_cast<int>(std::clamp<int64_t>(asInt(values[2]), 0, 255));
        if (severity > 18 && !r.withLog) raise(ctx_, 2754);
        SqlMessage m;
        m.severity = severity;
        m.state = state == 0 ? 1 : state;
        m.line = ctx_.line;
        m.procedure = ctx_.procedure;
        const Value& message = values[0];
        if (!message.isNull() && !isCharacter(message.typeId())) {
            const int64_t number = asInt(message);
            if (number < 13000 || number == 50000)
                raise(ctx_, 2732, {std::to_string(number), "13000", "2147483647"});
            // No user-defined messages are kept (sp_addmessage).
            m.number = 18054;
            m.text = sqlMessage(18054, {std::to_string(number), std::to_string(severity),
                                        std::to_string(state)})
                         .text;
        } else {
            m.number = 50000;
            int bad = 0;
            m.text = formatMessage(message.isNull() ? "" : message.bytes(),
                                   std::vector<Value>(values.begin() + 3, values.end()), bad);
            if (bad > 0) raise(ctx_, 2786, {std::to_string(bad)});
        }
        if (severity <= 10) {
            if (m.severity == 10) m.severity = 0;
            ctx_.out.message(m);
            ctx_.session.lastError = r.setError ? m.number : 0;
            return;
        }
        throw RaisedError(m);
    }

    // printf-style substitution as RAISERROR does it: %d %i %u %o %x %X %s with flags,
    // width and precision (* takes them from the arguments); NULL and missing arguments
    // print "(null)". `bad` gets the number of an argument of the wrong type.
    std::string formatMessage(const std::string& format, const std::vector<Value>& args,
                              int& bad) {
        std::string out;
        size_t next = 0;
        auto take = [&]() -> const Value* { return next < args.size() ? &args[next++] : nullptr; };
        for (size_t i = 0; i < format.size(); ++i) {
            if (format[i] != '%') {
                out.push_back(format[i]);
                continue;
            }
            if (i + 1 < format.size() && format[i + 1] == '%') {
                out.push_back('%');
                ++i;
                continue;
            }
            size_t j = i + 1;
            std::string directive = "%";
            while (j < format.size() && std::strchr("-+ 0#", format[j]))
                directive.push_back(format[j++]);
            auto number = [&]() {
                if (j < format.size() && format[j] == '*') {
                    ++j;
                    const Value* v = take();
                    directive += std::to_string(v && !v->isNull() ? convert(*v, DataType::of(TypeId::Int)).asInt64() : 0);
                    return;
                }
                while (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j])))
                    directive.push_back(format[j++]);
            };
            number();
            if (j < format.size() && format[j] == '.') {
                directive.push_back(format[j++]);
                number();
            }
            if (format.compare(j, 3, "I64") == 0) {
                j += 3;
            } else {
                while (j < format.size() && (format[j] == 'h' || format[j] == 'l'))
                    ++j;
            }
            if (j >= format.size() || !std::strchr("diuoxXs", format[j])) {
                out.append(format, i, j - i);  // no conversion character: kept as written
                i = j - 1;
                continue;
            }
            const char type = format[j];
            i = j;
            const size_t position = next + 1;
            const Value* v = take();
            char buffer[512];
            if (!v || v->isNull()) {
                directive.push_back('s');
                std::snprintf(buffer, sizeof buffer, directive.c_str(), "(null)");
            } else if (type == 's') {
                if (!isCharacter(v->typeId())) {
                    if (!bad) bad = static_cast<int>(position);
                    continue;
                }
                directive.push_back('s');
                std::snprintf(buffer, sizeof buffer, directive.c_str(), v->bytes().c_str());
            } else {
                if (!isInteger(v->typeId())) {
                    if (!bad) bad = static_cast<int>(position);
                    continue;
                }
                directive += "ll";
                directive.push_back(type);
                const long long n = v->asInt64();
                std::snprintf(buffer, sizeof buffer, directive.c_str(), n);
            }
            out += buffer;
        }
        return out;
    }

    // Runs fn as one statement: its locks are taken for it (see exec/locks.h), its errors
    // are sent and end the statement (or the batch).
    bool statement(StatementAccess access, const std::function<void()>& fn) {
        ctx_.access = std::move(access);
        StatementScope scope(ctx_.session);
        return guarded(fn);
    }

    bool guarded(const std::function<void()>& fn) {
        try {
            fn();
            ctx_.session.lastError = 0;
            return true;
        } catch (const RaisedError& e) {
            report(e, false);
            return false;
        } catch (const SqlException& e) {
            report(e);
            return false;
        } catch (const LockFailure& f) {
            report(SqlException(f.message));
            return false;
        }
    }

    void beginImplicitTransaction() {
        SessionRuntime& session = ctx_.session;
        if (!session.settings.implicitTransactions || session.tranCount > 0) return;
        session.tranCount = 1;
        ctx_.out.transactionChanged(BatchSink::Transaction::Began);
    }

    void sendAll(const SqlException& e) {
        for (SqlMessage m : e.messages()) {
            if (m.line == 0) m.line = ctx_.line;
            if (m.procedure.empty()) m.procedure = ctx_.procedure;
            ctx_.out.message(std::move(m));
        }
    }

    // The messages of an error with the line and module where it happened.
    SqlException withPlace(const SqlException& e) const {
        std::vector<SqlMessage> messages = e.messages();
        for (SqlMessage& m : messages) {
            if (m.line == 0) m.line = ctx_.line;
            if (m.procedure.empty()) m.procedure = ctx_.procedure;
        }
        return SqlException(std::move(messages));
    }

    // honoursXactAbort: false for RAISERROR's errors, which never end the batch for it.
    void report(const SqlException& e, bool honoursXactAbort = true) {
        // In a function, an error ends the statement that called it.
        if (ctx_.function) throw withPlace(e);
        const SqlMessage& primary = e.primary();
        if (ctx_.session.tryDepth > 0 && primary.severity > 10 && primary.severity < 20) {
            SqlMessage m = primary;
            if (m.line == 0) m.line = ctx_.line;
            if (m.procedure.empty()) m.procedure = ctx_.procedure;
            throw CaughtError{std::move(m)};
        }
        sendAll(e);
        ctx_.session.lastError = primary.number;
        // A constraint that existing rows break ends an ALTER TABLE without "The statement has
        // been terminated.", as SQL Server words it.
        const bool alterConflict = primary.number == 547 && primary.text.starts_with("The ALTER");
        if (terminatesStatement(primary.number) && !alterConflict) {
            SqlMessage done = sqlMessage(3621);
            done.severity = 0;
            done.line = ctx_.line;
            ctx_.out.message(done);
        }
        if (primary.severity >= 20) throw BatchAbort{};
        if (isCompileError(primary.number)) throw BatchEnd{};
        if (errorScope(primary.number) == ErrorScope::Batch || primary.severity == 19)
            throw BatchAbort{};
        if (honoursXactAbort && ctx_.session.settings.xactAbort && primary.severity > 10)
            throw BatchAbort{};
    }

    Tri condition(const sql::Expr& e) {
        Binder binder(ctx_);
        Scope scope;
        BoundPredicatePtr p = binder.bindPredicate(e, scope);
        Frame f;
        f.ctx = &ctx_;
        return p->test(f);
    }

    Value scalar(const sql::Expr& e) {
        Binder binder(ctx_);
        Scope scope;
        BoundExprPtr b = binder.bindScalar(e, scope);
        Frame f;
        f.ctx = &ctx_;
        return b->eval(f);
    }

    void assign(const std::string& name, const Value& v) {
        Variable* var = ctx_.variables.find(name);
        if (!var) raise(ctx_, 137, {name});
        var->value = convert(v, var->type, ConversionKind::Implicit, 0, ctx_.dateFormat());
    }

    // The statements on a table's definition and rows: false for any other.
    bool runTableStatement(const sql::Statement& s) {
        if (auto* x = s.as<sql::CreateTableStmt>()) executeCreateTable(ctx_, *x);
        else if (auto* x = s.as<sql::AlterTableStmt>()) executeAlterTable(ctx_, *x);
        else if (auto* x = s.as<sql::CreateIndexStmt>()) executeCreateIndex(ctx_, *x);
        else if (auto* x = s.as<sql::DropIndexStmt>()) executeDropIndex(ctx_, *x);
        else if (auto* x = s.as<sql::DropObjectsStmt>()) executeDropObjects(ctx_, *x);
        else if (auto* x = s.as<sql::TruncateStmt>()) executeTruncate(ctx_, *x);
        else return false;
        return true;
    }

    void runSimple(const sql::Statement& s) {
        if (auto* x = s.as<sql::SelectStmt>())
            return intoCore(*x) ? executeSelectInto(ctx_, s, *x) : executeSelect(ctx_, s, *x);
        if (auto* x = s.as<sql::InsertStmt>()) return executeInsert(ctx_, *x);
        if (auto* x = s.as<sql::UpdateStmt>()) return executeUpdate(ctx_, *x);
        if (auto* x = s.as<sql::DeleteStmt>()) return executeDelete(ctx_, *x);
        if (std::string other = otherDatabaseOfTableStatement(s, *ctx_.session.database);
            !other.empty()) {
            InNamedDatabase there(ctx_, other);
            runTableStatement(s);
            return;
        }
        if (runTableStatement(s)) return;
        if (auto* x = s.as<sql::CreateViewStmt>()) return executeCreateView(ctx_, *x);
        if (auto* x = s.as<sql::DatabaseStmt>()) return executeDatabaseStatement(ctx_, *x);
        if (auto* x = s.as<sql::GrantStmt>()) return executeGrant(ctx_, *x);
        if (auto* x = s.as<sql::SchemaStmt>()) return executeSchemaStatement(ctx_, *x);
        if (auto* x = s.as<sql::TypeStmt>()) return executeTypeStatement(ctx_, *x);
        if (auto* x = s.as<sql::ProcedureStmt>()) return executeProcedureDefinition(ctx_, *x);
        if (auto* x = s.as<sql::TriggerStmt>()) return executeTriggerDefinition(ctx_, *x);
        if (auto* x = s.as<sql::LoginStmt>()) return executeLogin(ctx_, *x);
        if (auto* x = s.as<sql::FunctionStmt>()) return executeFunctionDefinition(ctx_, *x);
        if (auto* x = s.as<sql::ExecStmt>()) {
            // Dynamic SQL is refused when the function is created; procedures only here.
            if (ctx_.function) raise(ctx_, 557);
            return executeExec(ctx_, *x);
        }
        if (auto* x = s.as<sql::DeclareStmt>()) {
            for (const auto& v : x->variables) {
                if (v.init) assign(v.name, scalar(*v.init));
            }
            return;
        }
        if (auto* x = s.as<sql::SetVariableStmt>()) {
            Value v = scalar(*x->expr);
            if (x->op != "=") {
                Variable* var = ctx_.variables.find(x->variable);
                if (!var) raise(ctx_, 137, {x->variable});
                ArithmeticOp op = x->op == "+="   ? ArithmeticOp::Add
                                  : x->op == "-=" ? ArithmeticOp::Subtract
                                  : x->op == "*=" ? ArithmeticOp::Multiply
                                                  : ArithmeticOp::Divide;
                v = arithmetic(op, var->value, v, ctx_.dateFormat());
            }
            assign(x->variable, v);
            ctx_.session.lastRowCount = 1;
            return;
        }
        if (auto* x = s.as<sql::PrintStmt>()) {
            Value v = scalar(*x->expr);
            SqlMessage m;
            m.number = 0;
            m.severity = 0;
            m.state = 1;
            m.line = s.line;
            m.procedure = ctx_.procedure;
            if (!v.isNull()) m.text = isCharacter(v.typeId()) ? v.bytes() : renderAsText(v);
            ctx_.out.message(std::move(m));
            return;
        }
        if (auto* x = s.as<sql::SetOptionStmt>()) return setOption(*x);
        if (auto* x = s.as<sql::TransactionStmt>()) return transaction(*x);
        if (auto* x = s.as<sql::WaitForStmt>()) return waitFor(*x);
        if (auto* x = s.as<sql::RaiseErrorStmt>()) return raiseError(*x);
    }

    // WAITFOR sleeps without its hold on the server (other sessions go on; this one keeps its
    // locks) and wakes at once when the session is cancelled.
    void waitFor(const sql::WaitForStmt& wait) {
        Value v = scalar(*wait.value);
        if (v.isNull()) return;
        std::optional<int64_t> ms;
        if (isCharacter(v.typeId())) {
            ms = parseTimeOfDay(v.bytes());
        } else if (isInteger(v.typeId())) {
            ms = v.asInt64() * 1000;  // a number of seconds
        } else if (v.typeId() == TypeId::DateTime || v.typeId() == TypeId::SmallDateTime) {
            CivilDateTime c = toCivil(v);
            if (c.year == 1900 && c.month == 1 && c.day == 1)
                ms = ((c.hour * 60 + c.minute) * 60 + c.second) * int64_t{1000} + c.millisecond;
        }
        if (!ms || *ms < 0 || *ms >= int64_t{24} * 3600 * 1000)
            raise(ctx_, 148, {isCharacter(v.typeId()) ? v.bytes() : renderAsText(v)});
        int64_t waitMs = *ms;
        if (wait.time) {
            // Until the next time the clock (the one GETDATE() reads) shows that time.
            CivilDateTime now = toCivil(ctx_.session.functions.clock());
            int64_t current =
                ((now.hour * 60 + now.minute) * 60 + now.second) * int64_t{1000} + now.millisecond;
            waitMs = *ms - current;
            if (waitMs < 0) waitMs += int64_t{24} * 3600 * 1000;
        }
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        if (!ctx_.session.serverLock) return;
        if (!ctx_.session.server->locks().sleepUntil(*ctx_.session.serverLock, deadline,
                                                     ctx_.session.cancel))
            throw Cancelled{};
    }

    // BEGIN TRANSACTION nests; COMMIT ends one level (the outermost makes the work final);
    // ROLLBACK takes back everything since the outermost BEGIN.
    void transaction(const sql::TransactionStmt& tx) {
        SessionRuntime& session = ctx_.session;
        // Transaction and savepoint names compare case-sensitively whatever the collation.
        std::string name = tx.name;
        if (!name.empty() && name[0] == '@') {
            Variable* var = ctx_.variables.find(name);
            if (!var) raise(ctx_, 137, {name});
            name = var->value.isNull() ? "" : renderAsText(var->value);
        }
        if (identifierEqual(tx.verb, "BEGIN")) {
            // Under IMPLICIT_TRANSACTIONS an implicit transaction opens first (two levels).
            beginImplicitTransaction();
            if (session.tranCount++ == 0) {
                session.transactionName = name;
                ctx_.out.transactionChanged(BatchSink::Transaction::Began);
            }
        } else if (identifierEqual(tx.verb, "COMMIT")) {
            if (session.tranCount == 0) raise(ctx_, 3902);
            if (--session.tranCount == 0) {
                endTransaction(session);
                ctx_.out.transactionChanged(BatchSink::Transaction::Committed);
            }
        } else if (identifierEqual(tx.verb, "SAVE")) {
            if (session.tranCount == 0) raise(ctx_, 628);
            SessionRuntime::Savepoint savepoint{name, {}};
            for (const auto& [entry, undo] : session.undo)
                savepoint.undoSizes[entry] = undo.size();
            session.savepoints.push_back(std::move(savepoint));
        } else {
            if (session.tranCount == 0) raise(ctx_, 3903);
            if (!name.empty() && name != session.transactionName) {
                auto& savepoints = session.savepoints;
                auto it = std::find_if(savepoints.rbegin(), savepoints.rend(),
                                       [&](const auto& s) { return s.name == name; });
                if (it == savepoints.rend()) raise(ctx_, 6401, {name});
                // Later savepoints go; this one stays, to be rolled back to again.
                savepoints.erase(it.base(), savepoints.end());
                rollbackToSavepoint(session, savepoints.back());
                return;
            }
            rollbackTransaction(session);
            ctx_.out.transactionChanged(BatchSink::Transaction::RolledBack);
        }
    }

    void setOption(const sql::SetOptionStmt& set) {
        SessionSettings& st = ctx_.session.settings;
        std::string value = set.value;
        if (!value.empty() && value[0] == '@') {
            Variable* var = ctx_.variables.find(value);
            if (!var) raise(ctx_, 137, {value});
            value = var->value.isNull() ? "" : renderAsText(var->value);
        }
        bool on = identifierEqual(value, "ON");
        for (const auto& option : set.options) {
            if (identifierEqual(option, "NOCOUNT")) {
                st.noCount = on;
            } else if (identifierEqual(option, "XACT_ABORT")) {
                st.xactAbort = on;
            } else if (identifierEqual(option, "IMPLICIT_TRANSACTIONS")) {
                st.implicitTransactions = on;
            } else if (identifierEqual(option, "LOCK_TIMEOUT")) {
                int ms = 0;
                auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), ms);
                if (error != std::errc() || end != value.data() + value.size())
                    raise(ctx_, 102, {value});
                st.lockTimeout = ms < -1 ? -1 : ms;
            } else if (identifierEqual(option, "ANSI_WARNINGS")) {
                st.ansiWarnings = on;
            } else if (identifierEqual(option, "CONCAT_NULL_YIELDS_NULL")) {
                st.concatNullYieldsNull = on;
            } else if (identifierEqual(option, "DATEFORMAT")) {
                DateFormat f;
                if (!parseDateFormat(value, f)) raise(ctx_, 2741, {value});
                st.dateFormat = f;
                ctx_.session.functions.dateFormat = f;
            } else if (identifierEqual(option, "DATEFIRST")) {
                st.dateFirst = std::stoi(value);
                ctx_.session.functions.dateFirst = st.dateFirst;
            } else if (identifierEqual(option, "LANGUAGE")) {
                bool spanish =
                    identifierEqual(value, "Spanish") || identifierEqual(value, "Español");
                st.language = spanish ? "Español" : "us_english";
                st.dateFormat = spanish ? DateFormat::Dmy : DateFormat::Mdy;
                st.dateFirst = spanish ? 1 : 7;
                ctx_.session.functions.dateFormat = st.dateFormat;
                ctx_.session.functions.dateFirst = st.dateFirst;
                ctx_.session.functions.spanish = spanish;
                SqlMessage m = sqlMessage(5703, {st.language});
                m.line = ctx_.line;
                ctx_.out.message(m);
            } else if (identifierEqual(option, "ROWCOUNT")) {
                st.rowCountLimit = std::stoll(value);
            } else if (identifierEqual(option, "IDENTITY_INSERT")) {
                // options[1] holds the table name.
                const std::string name = splitLast(set.options[1]);
                DatabaseEntry* temporary =
                    isLocalTemporary(name) ? ctx_.session.temporaryTables.holding({}, name) : nullptr;
                Table* t = (temporary ? *temporary->database : ctx_.database()).findTable(name);
                if (!t) raise(ctx_, 1088, {set.options[1]});
                if (t->schema.identityColumn() < 0) raise(ctx_, 8106, {t->schema.name});
                if (on) {
                    st.identityInsertTable = t->schema.id;
                } else if (st.identityInsertTable == t->schema.id) {
                    st.identityInsertTable = 0;
                }
                return;
            } else if (identifierEqual(option, "TRANSACTION ISOLATION LEVEL")) {
                // READ UNCOMMITTED reads only committed rows here: stricter, never wrong.
                if (value == "SNAPSHOT") raise(ctx_, 3952, {ctx_.session.database->name});
                st.holdSharedLocks = value == "REPEATABLE READ" || value == "SERIALIZABLE";
            }
            // Other options (ANSI_NULLS, QUOTED_IDENTIFIER, ARITHABORT, ...) are accepted;
            // the engine behaves as a client connection sets them.
        }
    }

    static std::string splitLast(const std::string& name) {
        size_t dot = name.rfind('.');
        return dot == std::string::npos ? name : name.substr(dot + 1);
    }

    // --- compile step --------------------------------------------------------------

    void declareVariables(const sql::Statement& s) {
        auto check = [&](const sql::Expr& e) {
            if (e.kind == sql::ExprKind::Variable && !ctx_.variables.find(e.text)) {
                SqlMessage m = sqlMessage(137, {e.text});
                m.line = e.line;
                throw SqlException(m);
            }
        };
        auto checkAssigned = [&](const std::string& name) {
            if (!ctx_.variables.find(name)) {
                SqlMessage m = sqlMessage(137, {name});
                m.line = s.line;
                throw SqlException(m);
            }
        };
        if (auto* d = s.as<sql::DeclareStmt>()) {
            for (const auto& v : d->variables) {
                if (v.init) walkExpr(*v.init, check);
                if (ctx_.variables.find(v.name)) {
                    SqlMessage m = sqlMessage(134, {v.name});
                    m.line = v.line;
                    throw SqlException(m);
                }
                DataType type;
                try {
                    type = declaredType(ctx_, v.type);
                } catch (SqlException& e) {
                    SqlMessage m = e.primary();
                    m.line = v.line;
                    throw SqlException(m);
                }
                ctx_.variables.declare(v.name, type);
            }
            return;
        }
        walkStatement(s, check, checkAssigned);
        if (auto* x = s.as<sql::IfStmt>()) {
            declareVariables(*x->then);
            if (x->otherwise) declareVariables(*x->otherwise);
        } else if (auto* x = s.as<sql::WhileStmt>()) {
            declareVariables(*x->body);
        } else if (auto* x = s.as<sql::BlockStmt>()) {
            for (const auto& inner : x->statements)
                declareVariables(*inner);
        } else if (auto* x = s.as<sql::TryStmt>()) {
            for (const auto& inner : x->body)
                declareVariables(*inner);
            for (const auto& inner : x->handler)
                declareVariables(*inner);
        }
    }

    void prebindTree(const sql::Statement& s) {
        ctx_.line = s.line;
        try {
            prebind(ctx_, s);
        } catch (const DeferredResolution&) {
        } catch (const SqlException& e) {
            // Only a missing column of an existing table rejects the batch here; other
            // problems surface when the statement runs.
            if (e.primary().number == 207) throw;
        }
        if (auto* x = s.as<sql::IfStmt>()) {
            prebindTree(*x->then);
            if (x->otherwise) prebindTree(*x->otherwise);
        } else if (auto* x = s.as<sql::WhileStmt>()) {
            prebindTree(*x->body);
        } else if (auto* x = s.as<sql::BlockStmt>()) {
            for (const auto& inner : x->statements)
                prebindTree(*inner);
        } else if (auto* x = s.as<sql::TryStmt>()) {
            for (const auto& inner : x->body)
                prebindTree(*inner);
            for (const auto& inner : x->handler)
                prebindTree(*inner);
        }
    }

    ExecContext& ctx_;
};

}  // namespace

void prebind(ExecContext& ctx, const sql::Statement& s) {
    Binder binder(ctx);
    binder.setCompileMode(true);
    Scope scope;
    if (auto* x = s.as<sql::SelectStmt>()) {
        binder.allowInto(intoCore(*x));
        auto query = binder.bindQuery(*x->query, nullptr, true);
        if (intoCore(*x)) selectIntoSchema(ctx, *query, intoCore(*x)->into.object);
    } else if (auto* x = s.as<sql::InsertStmt>()) {
        Table* t = binder.resolveTable(x->table, s.line);
        for (const auto& c : x->columns) {
            if (t->schema.columnIndex(c) < 0) raise(ctx, 207, {c});
        }
        if (x->select) binder.bindQuery(*x->select, nullptr, true);
    } else if (auto* x = s.as<sql::UpdateStmt>()) {
        prebindUpdate(ctx, binder, *x);
    } else if (auto* x = s.as<sql::DeleteStmt>()) {
        prebindDelete(ctx, binder, *x);
    } else if (auto* x = s.as<sql::SetVariableStmt>()) {
        binder.bindScalar(*x->expr, scope);
    } else if (auto* x = s.as<sql::IfStmt>()) {
        binder.bindPredicate(*x->condition, scope);
    } else if (auto* x = s.as<sql::WhileStmt>()) {
        binder.bindPredicate(*x->condition, scope);
    } else if (auto* x = s.as<sql::PrintStmt>()) {
        binder.bindScalar(*x->expr, scope);
    }
}

void runBatch(ExecContext& ctx, std::string_view text) { runParsedBatch(ctx, sql::parseBatch(text)); }

bool runParsedBatch(ExecContext& ctx, const sql::ParseResult& parsed, bool namesBound) {
    if (!parsed.ok()) {
        for (SqlMessage m : parsed.errors) {
            m.procedure = ctx.procedure;
            ctx.out.message(std::move(m));
        }
        ctx.session.lastError = parsed.errors.back().number;
        return false;
    }
    Runner runner(ctx);
    if (!runner.compile(parsed.batch, !namesBound)) return false;
    try {
        runner.runList(parsed.batch.statements);
    } catch (const BatchEnd&) {
    }
    return true;
}

int runProcedureBody(ExecContext& ctx, const std::vector<sql::StatementPtr>& body) {
    Runner runner(ctx);
    if (!runner.compile(body)) return 0;
    try {
        runner.runList(body);
    } catch (const BatchEnd&) {
    }
    return ctx.returnStatus.value_or(0);
}

void runFunctionBody(ExecContext& ctx, const std::vector<sql::StatementPtr>& body) {
    Runner runner(ctx);
    runner.compile(body);
    runner.runList(body);
}

void runNestedBatch(ExecContext& parent, std::string_view text) {
    if (parent.depth >= 32) raise(parent, 217);
    ExecContext child(parent.session, parent.out);
    child.depth = parent.depth + 1;
    TemporaryScope temporaries(child.session, child.depth);
    runBatch(child, text);
}

}  // namespace engine::exec
