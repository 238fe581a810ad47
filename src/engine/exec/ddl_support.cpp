#include "engine/exec/ddl_support.h"

#include "engine/sql/parser.h"

#include <cstdio>
#include <functional>

#include "engine/exec/binder.h"
#include "engine/exec/stored_definitions.h"
#include "engine/types/sql_message.h"
#include "engine/types/text.h"

namespace engine::exec {

std::string generatedConstraintName(const char* prefix, const std::string& table,
                                    const std::string& column, int32_t id) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", static_cast<uint32_t>(id));
    std::string name = std::string(prefix) + "__" + std::string(utf8Prefix(table, 9)) + "__";
    if (!column.empty()) name += std::string(utf8Prefix(column, 5)) + "__";
    return name + hex;
}

std::string defaultConstraintName(const std::string& table, const std::string& column, int32_t id) {
    return generatedConstraintName("DF", table, column, id);
}

std::string keyConstraintName(const char* prefix, const std::string& table, int32_t id) {
    // Sixteen hex digits, as 2008 and later name them, derived from the object id.
    uint64_t mixed = static_cast<uint64_t>(static_cast<uint32_t>(id)) * 0x9E3779B97F4A7C15ull;
    mixed ^= mixed >> 29;
    char hex[24];
    std::snprintf(hex, sizeof hex, "%08X%08X", static_cast<uint32_t>(mixed >> 32),
                  static_cast<uint32_t>(id));
    return std::string(prefix) + "__" + std::string(utf8Prefix(table, 8)) + "__" + hex;
}

std::optional<sql::TypeSpec> parseBaseType(const std::string& text) {
    sql::ExprParseResult parsed = sql::parseExpression("CAST(NULL AS " + text + ")");
    if (!parsed.errors.empty() || !parsed.expr || parsed.expr->kind != sql::ExprKind::Cast)
        return std::nullopt;
    const sql::TypeSpec& written = parsed.expr->type;
    if (!resolveTypeName(written.name, written.arg1, written.arg2, false)) return std::nullopt;
    return written;
}

DataType declaredType(ExecContext& ctx, const sql::TypeSpec& written, bool inCast, int position,
                      std::optional<bool>* aliasNullable) {
    if (!written.arg1 && !resolveTypeName(written.name, written.arg1, written.arg2, inCast)) {
        if (const ModuleSchema* alias = ctx.catalog().findAliasType(written.name)) {
            if (auto base = parseBaseType(alias->text)) {
                if (aliasNullable) *aliasNullable = alias->nullable;
                return resolveTypeNameOrThrow(base->name, base->arg1, base->arg2, false, position);
            }
        }
    }
    return resolveTypeNameOrThrow(written.name, written.arg1, written.arg2, inCast, position);
}

ColumnSchema columnFromDefinition(ExecContext& ctx, const sql::ColumnDefinition& def,
                                  int position) {
    ColumnSchema col;
    col.name = def.name;
    std::optional<bool> aliasNullable;
    try {
        col.type = declaredType(ctx, def.type, false, position, &aliasNullable);
    } catch (SqlException& e) {
        SqlMessage m = e.primary();
        m.line = def.line;
        throw SqlException(m);
    }
    col.identity = def.identity;
    col.identitySeed = def.identitySeed;
    col.identityIncrement = def.identityIncrement;
    if (def.identity) {
        bool integral = isInteger(col.type.id) && col.type.id != TypeId::Bit;
        bool scaleZero = isDecimal(col.type.id) && col.type.scale == 0;
        if ((!integral && !scaleZero) || (def.nullable && *def.nullable))
            raise(ctx, 2749, {def.name});
        col.nullable = false;
    } else {
        // Without NULL / NOT NULL a column allows NULLs (ANSI_NULL_DFLT_ON, as ODBC sets it).
        col.nullable = def.nullable.value_or(aliasNullable.value_or(true));
    }
    if (def.primaryKey) col.nullable = def.nullable.value_or(false);
    return col;
}

std::string checkedDefaultDefinition(ExecContext& ctx, const sql::Expr& expr) {
    std::function<void(const sql::Expr&)> check = [&](const sql::Expr& e) {
        if (e.kind == sql::ExprKind::Column) raise(ctx, 128, {e.text});
        if (e.kind == sql::ExprKind::Subquery || e.kind == sql::ExprKind::Exists ||
            e.kind == sql::ExprKind::InQuery)
            raise(ctx, 1046);
        for (const auto& a : e.args) {
            if (a) check(*a);
        }
    };
    check(expr);
    return normalizedDefinition(expr);
}

int32_t newIndexId(const TableSchema& table, bool clustered) {
    if (clustered) return 1;
    for (int32_t id = 2;; ++id) {
        bool used = false;
        for (const auto& ix : table.indexes)
            used = used || ix.indexId == id;
        if (!used) return id;
    }
}

void constraintError(ExecContext& ctx, SqlMessage detail) {
    if (detail.line == 0) detail.line = ctx.line;
    SqlMessage summary = sqlMessage(1750);
    summary.line = ctx.line;
    summary.severity = 16;
    summary.state = 0;
    throw SqlException(std::vector<SqlMessage>{detail, summary});
}

Value now(ExecContext& ctx) {
    if (ctx.session.functions.clock) return ctx.session.functions.clock();
    return Value::datetime(0, 0);
}

bool objectNameTaken(Database& db, const std::string& schema, const std::string& name) {
    return db.findObject(schema, name).has_value();
}

std::string schemaForNewObject(ExecContext& ctx, const sql::ObjectName& name) {
    Database& db = ctx.database();
    auto id = db.schemaId(name.schema.empty() ? std::string_view("dbo") : name.schema);
    if (!id) raise(ctx, 2760, {name.schema});
    return db.schemaName(*id);
}

void storeModule(ExecContext& ctx, ModuleSchema::Kind kind, const ModuleSchema* existing,
                 const std::string& schema, const std::string& name, const std::string& text,
                 int32_t parentId) {
    StatementChanges changes(ctx.entry());
    Change put;
    put.kind = Change::Kind::PutModule;
    put.module.kind = kind;
    put.module.id = existing ? existing->id : changes.newObjectId();
    put.module.schema = schema;
    put.module.name = existing ? existing->name : name;
    put.module.text = text;
    put.module.parentId = parentId;
    put.module.created = existing ? existing->created : now(ctx);
    changes.add(std::move(put));
    changes.commit(ctx);
}

}  // namespace engine::exec
