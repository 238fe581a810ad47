// Pieces of the catalogue views: the types of their columns, cells of those types, and a
// builder of a view's columns and rows. Thread-safe (pure functions).
#pragma once

#include <optional>
#include <string>

#include "engine/catalog/database.h"
#include "engine/exec/source.h"

namespace engine::exec {

namespace catalog_view {

inline DataType sysname() {
    return DataType::nvarchar(128);
}
inline DataType intType() {
    return DataType::of(TypeId::Int);
}
inline DataType smallint() {
    return DataType::of(TypeId::SmallInt);
}
inline DataType tinyint() {
    return DataType::of(TypeId::TinyInt);
}

inline Value i32(int64_t v) {
    return Value::integer(v, TypeId::Int);
}
inline Value i16(int64_t v) {
    return Value::integer(v, TypeId::SmallInt);
}
inline Value i8(int64_t v) {
    return Value::integer(v, TypeId::TinyInt);
}
inline Value name(const std::string& s) {
    return Value::string(s, sysname());
}
inline Value nvarchar(const std::string& s, int32_t n) {
    return Value::string(s, DataType::nvarchar(n));
}
inline Value varchar(const std::string& s, int32_t n) {
    return Value::string(s, DataType::varchar(n));
}
inline Value charN(const std::string& s, int32_t n) {
    std::string padded = s;
    while (static_cast<int32_t>(padded.size()) < n)
        padded.push_back(' ');
    return Value::string(padded, DataType{TypeId::Char, n, 0, 0});
}
inline Value nullOf(DataType t) {
    return Value::null(t);
}

struct ViewBuilder {
    Rowset rows;
    void column(const std::string& n, DataType t, bool nullable = true) {
        SourceColumn c;
        c.name = n;
        c.type = t;
        c.nullable = nullable;
        rows.columns.push_back(c);
    }
    // The columns of sys.objects, which the views of particular objects start with.
    void objectColumns() {
        const DataType bit = DataType::of(TypeId::Bit);
        const DataType datetime = DataType::of(TypeId::DateTime);
        column("name", sysname(), false);
        column("object_id", intType(), false);
        column("principal_id", intType());
        column("schema_id", intType(), false);
        column("parent_object_id", intType(), false);
        column("type", DataType{TypeId::Char, 2, 0, 0});
        column("type_desc", DataType::nvarchar(60));
        column("create_date", datetime, false);
        column("modify_date", datetime, false);
        column("is_ms_shipped", bit, false);
        column("is_published", bit, false);
        column("is_schema_published", bit, false);
    }
};

inline Value createdOf(const Value& v) {
    return v.isNull() ? Value::datetime(0, 0) : v;
}

}  // namespace catalog_view

// sys.foreign_keys, sys.foreign_key_columns, sysforeignkeys and
// INFORMATION_SCHEMA.REFERENTIAL_CONSTRAINTS (catalog_views_keys.cpp).
Rowset buildSysForeignKeys(const Database& db, bool withRows);
Rowset buildSysForeignKeyColumns(const Database& db, bool withRows);
Rowset buildSysforeignkeys(const Database& db, bool withRows);
Rowset buildInformationSchemaReferentialConstraints(const Database& db, bool withRows);
// sys.triggers and sys.sql_modules (catalog_views_modules.cpp).
Rowset buildSysTriggers(const Database& db, bool withRows);
Rowset buildSysSqlModules(const Database& db, bool withRows);

// A view of a database's objects as tempdb shows it to a session: over the session's own
// temporary tables, every scope in turn (catalog_views_tempdb.cpp).
Rowset buildTempdbView(const std::vector<const Database*>& scopes,
                       Rowset (*perDatabase)(const Database&, bool), bool withRows);
// tempdb as a session without #tables sees it.
const Database& tempdbWithoutObjects();

// The definition of an object as sp_helptext and OBJECT_DEFINITION give it: the statement
// that made a view, procedure or trigger, as written; the stored expression of a DEFAULT or
// CHECK constraint. nullopt for objects without one (tables, keys) and absent ids.
std::optional<std::string> definitionOf(const Database& db, int32_t id);

}  // namespace engine::exec
