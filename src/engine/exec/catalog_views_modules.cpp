// The catalogue views of modules kept as text: sys.triggers.
#include "engine/exec/catalog_view_support.h"

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
        b.rows.rows.push_back({name(m.name), i32(m.id), i8(1), nvarchar("OBJECT_OR_COLUMN", 60),
                               i32(m.parentId), charN("TR", 2), nvarchar("SQL_TRIGGER", 60),
                               created, created, Value::bit(false), Value::bit(false),
                               Value::bit(false), Value::bit(false)});
    }
    return std::move(b.rows);
}

}  // namespace engine::exec
