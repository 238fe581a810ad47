// The catalogue views of FOREIGN KEY constraints: sys.foreign_keys, sys.foreign_key_columns,
// the compatibility view sysforeignkeys and INFORMATION_SCHEMA.REFERENTIAL_CONSTRAINTS.
#include "engine/exec/catalog_view_support.h"

#include <algorithm>

namespace engine::exec {

using namespace catalog_view;

namespace {

const char* actionDesc(ReferentialAction a) {
    switch (a) {
        case ReferentialAction::Cascade:
            return "CASCADE";
        case ReferentialAction::SetNull:
            return "SET_NULL";
        case ReferentialAction::SetDefault:
            return "SET_DEFAULT";
        case ReferentialAction::NoAction:
            break;
    }
    return "NO_ACTION";
}

// Every constraint with the table that holds it.
template <class Fn>
void eachForeignKey(const Database& db, Fn fn) {
    for (const auto& [id, table] : db.tables()) {
        for (const auto& fk : table->schema.foreignKeys)
            fn(table->schema, fk);
    }
}

}  // namespace

Rowset buildSysForeignKeys(const Database& db, bool withRows) {
    ViewBuilder b;
    b.objectColumns();
    const DataType bit = DataType::of(TypeId::Bit);
    b.column("referenced_object_id", intType());
    b.column("key_index_id", intType());
    b.column("is_disabled", bit, false);
    b.column("is_not_for_replication", bit, false);
    b.column("is_not_trusted", bit, false);
    b.column("delete_referential_action", tinyint());
    b.column("delete_referential_action_desc", DataType::nvarchar(60));
    b.column("update_referential_action", tinyint());
    b.column("update_referential_action_desc", DataType::nvarchar(60));
    if (!withRows) return std::move(b.rows);
    eachForeignKey(db, [&](const TableSchema& t, const ForeignKeySchema& fk) {
        const Value created = createdOf(fk.created);
        b.rows.rows.push_back(
            {name(fk.name), i32(fk.id), nullOf(intType()), i32(db.schemaId(t.schema).value_or(1)),
             i32(t.id), charN("F", 2), nvarchar("FOREIGN_KEY_CONSTRAINT", 60), created, created,
             Value::bit(false), Value::bit(false), Value::bit(false), i32(fk.referencedTableId),
             i32(fk.referencedIndexId), Value::bit(fk.disabled), Value::bit(false),
             Value::bit(fk.notTrusted), i8(static_cast<int>(fk.onDelete)),
             nvarchar(actionDesc(fk.onDelete), 60), i8(static_cast<int>(fk.onUpdate)),
             nvarchar(actionDesc(fk.onUpdate), 60)});
    });
    return std::move(b.rows);
}

Rowset buildSysForeignKeyColumns(const Database& db, bool withRows) {
    ViewBuilder b;
    b.column("constraint_object_id", intType(), false);
    b.column("constraint_column_id", intType(), false);
    b.column("parent_object_id", intType(), false);
    b.column("parent_column_id", intType(), false);
    b.column("referenced_object_id", intType(), false);
    b.column("referenced_column_id", intType(), false);
    if (!withRows) return std::move(b.rows);
    eachForeignKey(db, [&](const TableSchema& t, const ForeignKeySchema& fk) {
        for (size_t i = 0; i < fk.columnIds.size(); ++i)
            b.rows.rows.push_back({i32(fk.id), i32(static_cast<int64_t>(i) + 1), i32(t.id),
                                   i32(fk.columnIds[i]), i32(fk.referencedTableId),
                                   i32(fk.referencedColumnIds[i])});
    });
    return std::move(b.rows);
}

Rowset buildSysforeignkeys(const Database& db, bool withRows) {
    ViewBuilder b;
    b.column("constid", intType(), false);
    b.column("fkeyid", intType(), false);
    b.column("rkeyid", intType(), false);
    b.column("fkey", smallint());
    b.column("rkey", smallint());
    b.column("keyno", smallint());
    if (!withRows) return std::move(b.rows);
    eachForeignKey(db, [&](const TableSchema& t, const ForeignKeySchema& fk) {
        for (size_t i = 0; i < fk.columnIds.size(); ++i)
            b.rows.rows.push_back({i32(fk.id), i32(t.id), i32(fk.referencedTableId),
                                   i16(fk.columnIds[i]), i16(fk.referencedColumnIds[i]),
                                   i16(static_cast<int64_t>(i) + 1)});
    });
    return std::move(b.rows);
}

Rowset buildInformationSchemaReferentialConstraints(const Database& db, bool withRows) {
    ViewBuilder b;
    b.column("CONSTRAINT_CATALOG", sysname());
    b.column("CONSTRAINT_SCHEMA", sysname());
    b.column("CONSTRAINT_NAME", sysname(), false);
    b.column("UNIQUE_CONSTRAINT_CATALOG", sysname());
    b.column("UNIQUE_CONSTRAINT_SCHEMA", sysname());
    b.column("UNIQUE_CONSTRAINT_NAME", sysname());
    b.column("MATCH_OPTION", DataType::varchar(7));
    b.column("UPDATE_RULE", DataType::varchar(11));
    b.column("DELETE_RULE", DataType::varchar(11));
    if (!withRows) return std::move(b.rows);
    auto rule = [](ReferentialAction a) {
        std::string text = actionDesc(a);
        std::replace(text.begin(), text.end(), '_', ' ');
        return varchar(text, 11);
    };
    eachForeignKey(db, [&](const TableSchema& t, const ForeignKeySchema& fk) {
        const Table* parent = db.tableById(fk.referencedTableId);
        std::string keyName, keySchema;
        if (parent) {
            keySchema = parent->schema.schema;
            for (const auto& ix : parent->schema.indexes) {
                if (ix.indexId == fk.referencedIndexId) keyName = ix.name;
            }
        }
        b.rows.rows.push_back({name(db.name()), name(t.schema), name(fk.name), name(db.name()),
                               name(keySchema), name(keyName), varchar("SIMPLE", 7),
                               rule(fk.onUpdate), rule(fk.onDelete)});
    });
    return std::move(b.rows);
}

}  // namespace engine::exec
