// EXEC: the system procedures the updater calls (sp_rename, sp_helpindex,
// sp_addextendedproperty, sp_updateextendedproperty, sp_dropextendedproperty,
// sp_executesql) and dynamic SQL (EXEC ('...')).
#include <algorithm>
#include <map>

#include "engine/exec/batch.h"
#include "engine/exec/catalog_view_support.h"
#include "engine/exec/binder.h"
#include "engine/exec/parameters.h"
#include "engine/exec/check_constraints.h"
#include "engine/exec/ddl_support.h"
#include "engine/exec/procedure_support.h"
#include "engine/exec/statements.h"
#include "engine/sql/parser.h"
#include "engine/types/collation.h"
#include "engine/types/conversion.h"
#include "engine/types/render.h"
#include "engine/types/sql_message.h"

namespace engine::exec {

namespace {

void putTable(ExecContext& ctx, const TableSchema& schema) {
    StatementChanges changes(ctx.entry());
    changes.putTable(schema);
    changes.commit(ctx);
}

void cautionMessage(ExecContext& ctx) {
    SqlMessage m = procedureMessage(ctx, "sp_rename", 15477);
    m.severity = 0;
    ctx.out.message(m);
}

void spRename(ExecContext& ctx, const sql::ExecStmt& exec) {
    Arguments args(ctx, exec, {"@objname", "@newname", "@objtype"});
    auto objname = args.text("@objname");
    auto newname = args.text("@newname");
    auto objtype = args.text("@objtype");
    if (!objname || !newname) procedureError(ctx, "sp_rename", 15248, {objtype.value_or("(null)")});
    std::string type = objtype ? lowerAscii(*objtype) : "";
    while (!type.empty() && type.back() == ' ')
        type.pop_back();
    Database& db = ctx.database();
    std::vector<std::string> parts = splitParts(*objname);
    std::string target = stripBrackets(*newname);

    if (type == "column") {
        std::string typeText = *objtype;
        if (parts.size() < 2) procedureError(ctx, "sp_rename", 15248, {typeText});
        Table* table =
            db.findTable(parts.size() >= 3 ? parts[parts.size() - 3] : "", parts[parts.size() - 2]);
        if (!table) procedureError(ctx, "sp_rename", 15248, {typeText});
        int p = table->schema.columnIndex(parts.back());
        if (p < 0) procedureError(ctx, "sp_rename", 15248, {typeText});
        int clash = table->schema.columnIndex(target);
        if (clash >= 0 && clash != p) procedureError(ctx, "sp_rename", 15335, {target, "COLUMN"});
        TableSchema schema = table->schema;
        // CHECK constraints name the column in their definitions.
        for (auto& check : schema.checks)
            check.definition = withColumnRenamed(check.definition, schema.columns[p].name, target);
        schema.columns[p].name = target;
        putTable(ctx, schema);
        cautionMessage(ctx);
        return;
    }
    if (type == "index") {
        std::string typeText = *objtype;
        if (parts.size() < 2) procedureError(ctx, "sp_rename", 15248, {typeText});
        Table* table =
            db.findTable(parts.size() >= 3 ? parts[parts.size() - 3] : "", parts[parts.size() - 2]);
        if (!table) procedureError(ctx, "sp_rename", 15248, {typeText});
        TableSchema schema = table->schema;
        IndexSchema* ix = nullptr;
        for (auto& i : schema.indexes) {
            if (identifierEqual(i.name, parts.back())) ix = &i;
        }
        if (!ix) procedureError(ctx, "sp_rename", 15248, {typeText});
        for (const auto& other : schema.indexes) {
            if (&other != ix && identifierEqual(other.name, target))
                procedureError(ctx, "sp_rename", 15335, {target, "INDEX"});
        }
        if (ix->constraint != KeyConstraint::None && db.findObject(schema.schema, target))
            procedureError(ctx, "sp_rename", 15335, {target, "object"});
        ix->name = target;
        putTable(ctx, schema);
        cautionMessage(ctx);
        return;
    }
    if (!type.empty() && type != "object" && type != "database" && type != "userdatatype") {
        procedureError(ctx, "sp_rename", 15249, {*objtype});
    }
    if (type == "database") {
        procedureError(ctx, "sp_rename", 15225, {*objname, db.name(), *objtype});
    }
    const std::string schemaPart = parts.size() >= 2 ? parts[parts.size() - 2] : "";
    auto ref = db.findObject(schemaPart, parts.back());
    if (!ref) {
        procedureError(ctx, "sp_rename", 15225,
                       {*objname, db.name(), objtype ? *objtype : "(null)"});
    }
    if (db.findObject(schemaPart, target))
        procedureError(ctx, "sp_rename", 15335, {target, "object"});
    if (ref->kind == ObjectKind::View) {
        ViewSchema view = *db.viewById(ref->id);
        view.name = target;
        StatementChanges changes(ctx.entry());
        Change put;
        put.kind = Change::Kind::PutView;
        put.view = std::move(view);
        changes.add(std::move(put));
        changes.commit(ctx);
    } else {
        int32_t tableId = ref->kind == ObjectKind::Table ? ref->id : ref->parentId;
        TableSchema schema = db.tableById(tableId)->schema;
        if (ref->kind == ObjectKind::Table) {
            schema.name = target;
        } else if (ref->kind == ObjectKind::Default) {
            for (auto& d : schema.defaults) {
                if (d.id == ref->id) d.name = target;
            }
        } else if (ref->kind == ObjectKind::Check) {
            for (auto& c : schema.checks) {
                if (c.id == ref->id) c.name = target;
            }
        } else {
            for (auto& ix : schema.indexes) {
                if (ix.constraintId == ref->id) ix.name = target;
            }
        }
        putTable(ctx, schema);
    }
    cautionMessage(ctx);
}

// sp_helptext name: the object's definition a line a row (each with its line break; longer
// lines in pieces of 255 characters).
void spHelpText(ExecContext& ctx, const sql::ExecStmt& exec) {
    Arguments args(ctx, exec, {"@objname", "@columnname"});
    auto objname = args.text("@objname");
    Database& db = ctx.database();
    std::vector<std::string> parts = objname ? splitParts(*objname) : std::vector<std::string>{""};
    const std::string schemaPart = parts.size() >= 2 ? parts[parts.size() - 2] : "";
    auto ref = db.findObject(schemaPart, parts.back());
    if (!ref) procedureError(ctx, "sp_helptext", 15009, {objname.value_or(""), db.name()});
    auto text = definitionOf(db, ref->id);
    if (!text) procedureError(ctx, "sp_helptext", 15197, {*objname});
    const DataType type = DataType::nvarchar(255);
    ResultSet set;
    set.columns.push_back(ResultColumn{"Text", type, true, false, ""});
    size_t start = 0;
    while (start < text->size()) {
        size_t end = text->find('\n', start);
        end = end == std::string::npos ? text->size() : end + 1;
        std::string line = text->substr(start, end - start);
        // Pieces of at most 255 characters (UTF-8 sequences kept whole).
        while (!line.empty()) {
            size_t take = 0, chars = 0;
            while (take < line.size() && chars < 255) {
                unsigned char c = static_cast<unsigned char>(line[take]);
                take += c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
                ++chars;
            }
            set.rows.push_back({Value::string(line.substr(0, take), type)});
            line.erase(0, std::min(take, line.size()));
        }
        start = end;
    }
    ctx.out.resultSet(std::move(set));
}

void spHelpIndex(ExecContext& ctx, const sql::ExecStmt& exec) {
    Arguments args(ctx, exec, {"@objname"});
    auto objname = args.text("@objname");
    Database& db = ctx.database();
    std::vector<std::string> parts = objname ? splitParts(*objname) : std::vector<std::string>{""};
    const std::string schemaPart = parts.size() >= 2 ? parts[parts.size() - 2] : "";
    const Table* table = db.findTable(schemaPart, parts.back());
    if (!table) {
        if (objname && db.findView(schemaPart, parts.back())) {
            SqlMessage m = procedureMessage(ctx, "sp_helpindex", 15472, {*objname});
            m.severity = 0;
            ctx.out.message(m);
            return;
        }
        procedureError(ctx, "sp_helpindex", 15009, {objname.value_or(""), db.name()});
    }
    const TableSchema& schema = table->schema;
    if (schema.indexes.empty()) {
        SqlMessage m = procedureMessage(ctx, "sp_helpindex", 15472, {*objname});
        m.severity = 0;
        ctx.out.message(m);
        return;
    }
    ResultSet set;
    set.columns.push_back(ResultColumn{"index_name", sysname(), false, false, ""});
    set.columns.push_back(
        ResultColumn{"index_description", DataType::varchar(210), true, false, ""});
    set.columns.push_back(ResultColumn{"index_keys", DataType::nvarchar(2078), true, false, ""});
    std::vector<const IndexSchema*> ordered;
    for (const auto& ix : schema.indexes)
        ordered.push_back(&ix);
    std::sort(ordered.begin(), ordered.end(),
              [](auto* a, auto* b) { return collationCompare(a->name, b->name) < 0; });
    for (const IndexSchema* ix : ordered) {
        std::string description = ix->clustered ? "clustered" : "nonclustered";
        if (ix->unique) description += ", unique";
        if (ix->constraint == KeyConstraint::PrimaryKey) description += ", primary key";
        if (ix->constraint == KeyConstraint::Unique) description += ", unique key";
        description += " located on PRIMARY";
        std::string keys;
        for (const auto& k : ix->keys) {
            int p = schema.columnIndexById(k.columnId);
            if (!keys.empty()) keys += ", ";
            keys += p >= 0 ? schema.columns[p].name : "?";
            if (k.descending) keys += "(-)";
        }
        set.rows.push_back({Value::string(ix->name, sysname()),
                            Value::string(description, DataType::varchar(210)),
                            Value::string(keys, DataType::nvarchar(2078))});
    }
    ctx.out.resultSet(std::move(set));
}

void propertyChange(ExecContext& ctx, const char* procedure, const sql::ExecStmt& exec, bool add,
                    bool drop) {
    std::vector<std::string> parameters =
        drop ? std::vector<std::string>{"@name",       "@level0type", "@level0name", "@level1type",
                                        "@level1name", "@level2type", "@level2name"}
             : std::vector<std::string>{"@name",       "@value",      "@level0type", "@level0name",
                                        "@level1type", "@level1name", "@level2type", "@level2name"};
    Arguments args(ctx, exec, parameters);
    auto name = args.text("@name");
    Database& db = ctx.database();
    if (!name) procedureError(ctx, procedure, 15600, {procedure});
    if (args.text("@level0type")) {
        // Properties of objects are not kept here; only database-level ones.
        procedureError(ctx, procedure, 15135, {args.text("@level0name").value_or("")});
    }
    bool exists = false;
    for (const auto& p : db.properties())
        exists = exists || identifierEqual(p.name, *name);
    StatementChanges changes(ctx.entry());
    Change c;
    c.property.name = *name;
    if (drop) {
        if (!exists) procedureError(ctx, procedure, 15217, {*name, db.name()});
        c.kind = Change::Kind::DropProperty;
    } else {
        if (add && exists) procedureError(ctx, procedure, 15233, {*name, db.name()});
        if (!add && !exists) procedureError(ctx, procedure, 15217, {*name, db.name()});
        c.kind = Change::Kind::PutProperty;
        c.property.value = args.get("@value").value_or(Value());
    }
    changes.add(std::move(c));
    changes.commit(ctx);
}

void spExecuteSql(ExecContext& ctx, const sql::ExecStmt& exec) {
    Arguments args(ctx, exec, {"@stmt", "@params"});
    auto statement = args.get("@stmt");
    if (!statement)
        procedureError(ctx, "sp_executesql", 214, {"@statement", "ntext/nchar/nvarchar"});
    if (statement->isNull()) return;
    TypeId t = statement->typeId();
    if (t != TypeId::NVarChar && t != TypeId::NChar && t != TypeId::NText) {
        SqlMessage m = sqlMessage(214, {"@statement", "ntext/nchar/nvarchar"});
        m.procedure = "sp_executesql";
        m.line = 1;
        throw SqlException(m);
    }
    // The arguments after @stmt and @params bind the declared parameters by position or
    // by name; output ones come back into the caller's variables.
    std::vector<ParameterArgument> arguments;
    std::vector<const sql::ExecArgument*> sources;
    size_t position = 0;
    for (size_t k = 0; k < exec.arguments.size(); ++k) {
        const sql::ExecArgument& a = exec.arguments[k];
        if (a.name.empty() ? position++ < 2
                           : identifierEqual(a.name, "@stmt") || identifierEqual(a.name, "@params"))
            continue;
        ParameterArgument argument;
        argument.name = a.name;
        argument.value = args.ordered()[k];
        argument.output = a.output;
        argument.useDefault = a.isDefault;
        arguments.push_back(std::move(argument));
        sources.push_back(&a);
    }
    runParameterized(ctx, statement->bytes(), args.text("@params").value_or(""), arguments);
    for (size_t i = 0; i < arguments.size(); ++i) {
        const sql::ExecArgument& a = *sources[i];
        if (!a.output || !a.value || a.value->kind != sql::ExprKind::Variable) continue;
        Variable* target = ctx.variables.find(a.value->text);
        if (!target) raise(ctx, 137, {a.value->text});
        target->value = convert(arguments[i].value, target->type, ConversionKind::Implicit, 0,
                                ctx.dateFormat());
    }
}

bool runSystemProcedure(ExecContext& ctx, const std::string& lower, const sql::ExecStmt& exec);

}  // namespace

int callProcedure(ExecContext& ctx, const ModuleSchema& module, const sql::ExecStmt& exec);

void executeExec(ExecContext& ctx, const sql::ExecStmt& exec) {
    if (!exec.dynamicSql.empty()) {
        Binder binder(ctx);
        Scope scope;
        Frame frame;
        frame.ctx = &ctx;
        std::string text;
        for (const auto& e : exec.dynamicSql) {
            Value v = binder.bindScalar(*e, scope)->eval(frame);
            if (v.isNull()) continue;
            text += isCharacter(v.typeId()) ? v.bytes() : renderAsText(v);
        }
        runNestedBatch(ctx, text);
        return;
    }
    std::string name = exec.procedure.object;
    std::string written = exec.procedure.written;
    if (!exec.procedureVariable.empty()) {
        Variable* v = ctx.variables.find(exec.procedureVariable);
        if (!v) raise(ctx, 137, {exec.procedureVariable});
        written = v->value.isNull() ? "" : v->value.bytes();
        name = splitParts(written).back();
    }
    std::string lower = lowerAscii(name);
    // The procedures that change the catalogue lock the database as DDL does.
    ctx.access.writes = lower == "sp_rename" || lower == "sp_addtype" || lower == "sp_droptype" || lower == "sp_addextendedproperty" ||
                        lower == "sp_updateextendedproperty" || lower == "sp_dropextendedproperty";
    // EXEC @rc = procedure: a system procedure returns 0, or 1 when it raised an error.
    auto returnStatus = [&](int status) {
        if (exec.returnVariable.empty()) return;
        Variable* v = ctx.variables.find(exec.returnVariable);
        if (!v) raise(ctx, 137, {exec.returnVariable});
        v->value = convert(Value::integer(status), v->type);
    };
    bool found = false;
    try {
        found = runSystemProcedure(ctx, lower, exec);
    } catch (const SqlException&) {
        returnStatus(1);
        throw;
    }
    if (found) return returnStatus(0);
    const ModuleSchema* module = nullptr;
    if (exec.procedure.database.empty() ||
        identifierEqual(exec.procedure.database, ctx.currentEntry().name))
        module = ctx.catalog().findProcedure(
            exec.procedureVariable.empty() ? exec.procedure.schema : "", name);
    if (!module || module->kind != ModuleSchema::Kind::Procedure) raise(ctx, 2812, {written});
    returnStatus(callProcedure(ctx, *module, exec));
}

int callProcedure(ExecContext& ctx, const ModuleSchema& module, const sql::ExecStmt& exec) {
    if (ctx.depth >= 32) raise(ctx, 217);
    sql::ParseResult parsed = sql::parseBatch(module.text);
    const sql::ProcedureStmt* proc =
        parsed.ok() && !parsed.batch.statements.empty()
            ? parsed.batch.statements[0]->as<sql::ProcedureStmt>()
            : nullptr;
    if (!proc) raise(ctx, 2812, {module.name});
    std::vector<std::string> names;
    for (const auto& p : proc->parameters)
        names.push_back(p.name);
    Arguments args(ctx, exec, names);
    args.check(ctx, module.name.c_str(), 0);

    ExecContext child(ctx.session, ctx.out);
    child.depth = ctx.depth + 1;
    child.procedure = module.name;
    TemporaryScope temporaries(child.session, child.depth);
    for (const auto& p : proc->parameters) {
        DataType type = declaredType(child, p.type);
        if (child.variables.find(p.name)) raise(ctx, 134, {p.name});
        child.variables.declare(p.name, type);
        Value v;
        if (auto given = args.get(p.name)) {
            v = *given;
        } else if (p.defaultValue) {
            Binder binder(child);
            Scope scope;
            Frame frame;
            frame.ctx = &child;
            v = binder.bindScalar(*p.defaultValue, scope)->eval(frame);
        } else {
            SqlMessage m = sqlMessage(201, {module.name, p.name});
            m.line = ctx.line;
            m.procedure = module.name;
            throw SqlException(m);
        }
        child.variables.find(p.name)->value =
            convert(v, type, ConversionKind::Implicit, 0, ctx.dateFormat());
    }
    int status = 0;
    {
        SettingsRestore restore(ctx.session);
        status = runProcedureBody(child, proc->body);
    }
    // OUTPUT arguments get the parameters' last values.
    size_t position = 0;
    for (const auto& a : exec.arguments) {
        std::string parameter = a.name.empty() ? (position < names.size() ? names[position] : "")
                                               : a.name;
        if (a.name.empty()) ++position;
        if (!a.output || !a.value || a.value->kind != sql::ExprKind::Variable) continue;
        const sql::ProcedureParameter* declared = nullptr;
        for (const auto& p : proc->parameters) {
            if (identifierEqual(p.name, parameter)) declared = &p;
        }
        if (!declared || !declared->output) continue;
        Variable* target = ctx.variables.find(a.value->text);
        if (!target) raise(ctx, 137, {a.value->text});
        target->value = convert(child.variables.find(declared->name)->value, target->type,
                                ConversionKind::Implicit, 0, ctx.dateFormat());
    }
    return status;
}

namespace {

// sp_addtype name, 'base type' [, 'NULL' | 'NOT NULL' | 'NONULL' [, owner]]; sp_droptype name.
void spAddType(ExecContext& ctx, const sql::ExecStmt& exec) {
    Arguments args(ctx, exec, {"@typename", "@phystype", "@nulltype", "@owner"});
    args.check(ctx, "sp_addtype", 2);
    std::string name = *args.text("@typename");
    std::string base = args.text("@phystype").value_or("");
    std::optional<bool> nullable;
    if (auto n = args.text("@nulltype")) {
        std::string t = lowerAscii(*n);
        while (!t.empty() && t.back() == ' ')
            t.pop_back();
        if (t == "null") {
            nullable = true;
        } else if (t == "not null" || t == "nonull") {
            nullable = false;
        } else {
            procedureError(ctx, "sp_addtype", 15251, {"null type", "NULL, NOT NULL or NONULL"});
        }
    }
    createAliasType(ctx, args.text("@owner").value_or(""), name, base, nullable);
}

void spDropType(ExecContext& ctx, const sql::ExecStmt& exec) {
    Arguments args(ctx, exec, {"@typename"});
    args.check(ctx, "sp_droptype", 1);
    dropAliasType(ctx, *args.text("@typename"), false);
}

bool runSystemProcedure(ExecContext& ctx, const std::string& lower, const sql::ExecStmt& exec) {
    if (lower == "sp_addtype") return spAddType(ctx, exec), true;
    if (lower == "sp_droptype") return spDropType(ctx, exec), true;
    if (lower.starts_with("sp_") && runCatalogProcedure(ctx, lower, exec)) return true;
    if (lower == "sp_executesql") return spExecuteSql(ctx, exec), true;
    if (lower == "sp_rename") return spRename(ctx, exec), true;
    if (lower == "sp_helpindex") return spHelpIndex(ctx, exec), true;
    if (lower == "sp_helptext") return spHelpText(ctx, exec), true;
    if (lower == "sp_addextendedproperty")
        return propertyChange(ctx, "sp_addextendedproperty", exec, true, false), true;
    if (lower == "sp_updateextendedproperty")
        return propertyChange(ctx, "sp_updateextendedproperty", exec, false, false), true;
    if (lower == "sp_dropextendedproperty")
        return propertyChange(ctx, "sp_dropextendedproperty", exec, false, true), true;
    return false;
}

}  // namespace

}  // namespace engine::exec
