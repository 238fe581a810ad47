// The catalogue views of definitions kept as text (sys.triggers, sys.sql_modules), and the
// definitions themselves.
#include "engine/exec/catalog_view_support.h"
#include "engine/exec/triggers.h"

namespace engine::exec {

using namespace catalog_view;

Rowset buildSysTriggers(const Database& db, bool withRows) {
    ViewBuilder b;
    const DataType bit = DataType::of(TypeId::Bit);
    const DataType datetime = DataType::of(TypeId::DateTime);
    b.column("name", sysname(), false);
    b.column("object_id", intType(), false);
    b.column("parent_class", tinyint(), false);
    b.column("parent_class_desc", DataType::nvarchar(60));
    b.column("parent_id", intType(), false);
    b.column("type", DataType{TypeId::Char, 2, 0, 0}, false);
    b.column("type_desc", DataType::nvarchar(60));
    b.column("create_date", datetime, false);
    b.column("modify_date", datetime, false);
    b.column("is_ms_shipped", bit, false);
    b.column("is_disabled", bit, false);
    b.column("is_not_for_replication", bit, false);
    b.column("is_instead_of_trigger", bit, false);
    if (!withRows) return std::move(b.rows);
    for (const auto& [id, m] : db.modules()) {
        if (m.kind != ModuleSchema::Kind::Trigger) continue;
        const Value created = createdOf(m.created);
        const auto traits = triggerTraits(m);
        b.rows.rows.push_back({name(m.name), i32(m.id), i8(1), nvarchar("OBJECT_OR_COLUMN", 60),
                               i32(m.parentId), charN("TR", 2), nvarchar("SQL_TRIGGER", 60),
                               created, created, Value::bit(false), Value::bit(false),
                               Value::bit(false), Value::bit(traits && traits->insteadOf)});
    }
    return std::move(b.rows);
}

std::optional<std::string> definitionOf(const Database& db, int32_t id) {
    if (const ViewSchema* v = db.viewById(id)) return v->text;
    if (const ModuleSchema* m = db.moduleById(id)) {
        if (m->kind != ModuleSchema::Kind::AliasType) return m->text;
        return std::nullopt;
    }
    auto ref = db.objectById(id);
    if (!ref || (ref->kind != ObjectKind::Default && ref->kind != ObjectKind::Check))
        return std::nullopt;
    const Table* table = db.tableById(ref->parentId);
    if (!table) return std::nullopt;
    for (const auto& d : table->schema.defaults) {
        if (d.id == id) return d.definition;
    }
    for (const auto& c : table->schema.checks) {
        if (c.id == id) return c.definition;
    }
    return std::nullopt;
}

Rowset buildSysSqlModules(const Database& db, bool withRows) {
    ViewBuilder b;
    const DataType bit = DataType::of(TypeId::Bit);
    b.column("object_id", intType(), false);
    b.column("definition", DataType::nvarchar(DataType::kMax));
    b.column("uses_ansi_nulls", bit);
    b.column("uses_quoted_identifier", bit);
    b.column("is_schema_bound", bit);
    b.column("uses_database_collation", bit);
    b.column("is_recompiled", bit);
    b.column("null_on_null_input", bit);
    b.column("execute_as_principal_id", intType());
    if (!withRows) return std::move(b.rows);
    auto add = [&](int32_t id, const std::string& text) {
        b.rows.rows.push_back({i32(id), nvarchar(text, DataType::kMax), Value::bit(true),
                               Value::bit(true), Value::bit(false), Value::bit(false),
                               Value::bit(false), Value::bit(false), nullOf(intType())});
    };
    for (const auto& [id, view] : db.views())
        add(id, view.text);
    for (const auto& [id, m] : db.modules()) {
        if (m.kind != ModuleSchema::Kind::AliasType) add(id, m.text);
    }
    return std::move(b.rows);
}

}  // namespace engine::exec
