// EXEC: the system procedures the updater calls (sp_rename, sp_helpindex,
// sp_addextendedproperty, sp_updateextendedproperty, sp_dropextendedproperty,
// sp_executesql) and dynamic SQL (EXEC ('...')).
#include <algorithm>
#include <map>

#include "engine/exec/batch.h"
#include "engine/exec/binder.h"
#include "engine/exec/check_constraints.h"
#include "engine/exec/statements.h"
#include "engine/sql/parser.h"
#include "engine/types/collation.h"
#include "engine/types/conversion.h"
#include "engine/types/render.h"
#include "engine/types/sql_message.h"

namespace engine::exec {

namespace {

DataType sysname() {
    return DataType::nvarchar(128);
}

// Arguments by parameter name, positional ones matched to the procedure's parameters.
class Arguments {
  public:
    Arguments(ExecContext& ctx, const sql::ExecStmt& exec, std::vector<std::string> parameters)
        : parameters_(std::move(parameters)) {
        Binder binder(ctx);
        Scope scope;
        Frame frame;
        frame.ctx = &ctx;
        size_t position = 0;
        for (const auto& a : exec.arguments) {
            Value v;
            if (!a.isDefault && a.value) v = binder.bindScalar(*a.value, scope)->eval(frame);
            std::string name = a.name;
            if (name.empty()) {
                name = position < parameters_.size() ? parameters_[position]
                                                     : "@" + std::to_string(position + 1);
                ++position;
            } else {
                extraNames_.push_back(name);
            }
            values_.emplace(name, v);
            ordered_.push_back(v);
        }
    }

    std::optional<Value> get(const std::string& name) const {
        for (const auto& [k, v] : values_) {
            if (identifierEqual(k, name)) return v;
        }
        return std::nullopt;
    }
    // The text of an argument (NULL and absent give nullopt).
    std::optional<std::string> text(const std::string& name) const {
        auto v = get(name);
        if (!v || v->isNull()) return std::nullopt;
        if (isCharacter(v->typeId())) return v->bytes();
        return renderAsText(*v);
    }
    const std::vector<Value>& ordered() const { return ordered_; }
    const std::multimap<std::string, Value>& all() const { return values_; }

  private:
    std::vector<std::string> parameters_;
    std::multimap<std::string, Value> values_;
    std::vector<Value> ordered_;
    std::vector<std::string> extraNames_;
};

SqlMessage procedureMessage(ExecContext& ctx, const char* procedure, int number,
                            const std::vector<std::string>& args = {}) {
    SqlMessage m = sqlMessage(number, args);
    m.procedure = procedure;
    m.line = ctx.line;
    return m;
}

[[noreturn]] void procedureError(ExecContext& ctx, const char* procedure, int number,
                                 const std::vector<std::string>& args = {}) {
    throw SqlException(procedureMessage(ctx, procedure, number, args));
}

std::string lowerAscii(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string stripBrackets(std::string s) {
    if (s.size() >= 2 &&
        ((s.front() == '[' && s.back() == ']') || (s.front() == '"' && s.back() == '"')))
        return s.substr(1, s.size() - 2);
    return s;
}

std::vector<std::string> splitParts(const std::string& name) {
    std::vector<std::string> parts;
    std::string current;
    bool bracket = false;
    for (char c : name) {
        if (c == '[') bracket = true;
        if (c == ']') bracket = false;
        if (c == '.' && !bracket) {
            parts.push_back(stripBrackets(current));
            current.clear();
            continue;
        }
        current.push_back(c);
    }
    parts.push_back(stripBrackets(current));
    return parts;
}

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
    ExecContext child(ctx.session, ctx.out);
    child.depth = ctx.depth + 1;
    if (child.depth > 32) raise(ctx, 217);
    // Parameters: "@a int, @b varchar(10)" declared in the nested batch, then bound to the
    // remaining arguments by position or by name.
    auto params = args.text("@params");
    if (params && !params->empty()) {
        sql::ParseResult declared = sql::parseBatch("DECLARE " + *params);
        if (!declared.ok() || declared.batch.statements.empty()) {
            throw SqlException(declared.errors.empty() ? sqlMessage(102, {*params})
                                                       : declared.errors.front());
        }
        const auto* decl = declared.batch.statements[0]->as<sql::DeclareStmt>();
        const std::vector<Value>& values = args.ordered();
        for (size_t i = 0; decl && i < decl->variables.size(); ++i) {
            const auto& v = decl->variables[i];
            DataType type = resolveTypeNameOrThrow(v.type.name, v.type.arg1, v.type.arg2);
            child.variables.declare(v.name, type);
            std::optional<Value> value = args.get(v.name);
            if (!value && i + 2 < values.size()) value = values[i + 2];
            if (value)
                child.variables.find(v.name)->value =
                    convert(*value, type, ConversionKind::Implicit, 0, ctx.dateFormat());
        }
    }
    runBatch(child, statement->bytes());
}

}  // namespace

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
    ctx.access.writes = lower == "sp_rename" || lower == "sp_addextendedproperty" ||
                        lower == "sp_updateextendedproperty" || lower == "sp_dropextendedproperty";
    if (lower == "sp_executesql") return spExecuteSql(ctx, exec);
    if (lower == "sp_rename") return spRename(ctx, exec);
    if (lower == "sp_helpindex") return spHelpIndex(ctx, exec);
    if (lower == "sp_addextendedproperty")
        return propertyChange(ctx, "sp_addextendedproperty", exec, true, false);
    if (lower == "sp_updateextendedproperty")
        return propertyChange(ctx, "sp_updateextendedproperty", exec, false, false);
    if (lower == "sp_dropextendedproperty")
        return propertyChange(ctx, "sp_dropextendedproperty", exec, false, true);
    raise(ctx, 2812, {written});
}

}  // namespace engine::exec
