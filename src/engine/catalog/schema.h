// Definitions of the objects of a database: tables with their columns, DEFAULT and CHECK
// constraints and indexes (PRIMARY KEY and UNIQUE constraints are indexes that carry a
// constraint object), schemas, views, extended properties and permissions.
//
// Object ids, column ids (colid, with gaps after DROP COLUMN) and index ids (indid: 1 for
// the clustered index, 2 and up for the others) are SQL Server's, so that the catalogue
// views show what a server shows. Plain values, copied by the executor to build a changed
// definition. Thread-compatible.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/types/data_type.h"
#include "engine/types/value.h"

namespace engine {

struct ColumnSchema {
    int32_t id = 0;  // colid
    std::string name;
    DataType type;
    bool nullable = true;
    bool identity = false;
    int64_t identitySeed = 1;
    int64_t identityIncrement = 1;
    int32_t defaultId = 0;  // object id of the column's DEFAULT constraint, 0 if none
};

struct DefaultSchema {
    int32_t id = 0;  // object id
    std::string name;
    int32_t columnId = 0;
    std::string definition;  // as SQL Server stores it: "((0))", "('')", "(getdate())"
    Value created;           // crdate
};

struct IndexKey {
    int32_t columnId = 0;
    bool descending = false;
};

enum class KeyConstraint : uint8_t { None, PrimaryKey, Unique };

struct IndexSchema {
    int32_t indexId = 0;  // indid
    std::string name;
    bool unique = false;
    bool clustered = false;
    KeyConstraint constraint = KeyConstraint::None;
    int32_t constraintId = 0;  // object id of the PRIMARY KEY / UNIQUE constraint
    std::vector<IndexKey> keys;
    Value created;
};

// A CHECK constraint: a predicate every row must not make false (UNKNOWN passes).
struct CheckSchema {
    int32_t id = 0;  // object id
    std::string name;
    int32_t columnId = 0;     // the column of a column-level constraint; 0 for table-level
    std::string definition;   // as SQL Server stores it: "([a]>(0))"
    bool disabled = false;    // NOCHECK CONSTRAINT: not checked until CHECK CONSTRAINT
    bool notTrusted = false;  // added WITH NOCHECK or re-enabled without checking the rows
    Value created;
};

// What a FOREIGN KEY does to the referencing rows when the key they reference is deleted
// or changed (the codes of sys.foreign_keys.delete_referential_action).
enum class ReferentialAction : uint8_t { NoAction = 0, Cascade = 1, SetNull = 2, SetDefault = 3 };

// A FOREIGN KEY constraint, kept by the referencing table: each of its columns (by colid)
// references the column at the same place in the referenced table's unique index.
struct ForeignKeySchema {
    int32_t id = 0;  // object id
    std::string name;
    int32_t referencedTableId = 0;
    int32_t referencedIndexId = 0;  // the PRIMARY KEY / UNIQUE index it matches (key_index_id)
    std::vector<int32_t> columnIds;
    std::vector<int32_t> referencedColumnIds;
    ReferentialAction onDelete = ReferentialAction::NoAction;
    ReferentialAction onUpdate = ReferentialAction::NoAction;
    bool disabled = false;    // NOCHECK CONSTRAINT
    bool notTrusted = false;  // added WITH NOCHECK or re-enabled without checking the rows
    Value created;
};

struct TableSchema {
    int32_t id = 0;
    std::string schema = "dbo";
    std::string name;
    Value created;
    std::vector<ColumnSchema> columns;
    std::vector<DefaultSchema> defaults;
    std::vector<IndexSchema> indexes;
    std::vector<CheckSchema> checks;
    std::vector<ForeignKeySchema> foreignKeys;
    int32_t nextColumnId = 1;
    // IDENTITY: the last value given (meaningful once identityUsed).
    int64_t identityCurrent = 0;
    bool identityUsed = false;

    // Lookups by name (as SQL Server matches names) or id; -1 / nullptr when absent.
    int columnIndex(std::string_view columnName) const;
    int columnIndexById(int32_t columnId) const;
    const DefaultSchema* defaultById(int32_t objectId) const;
    const IndexSchema* indexByName(std::string_view indexName) const;
    int identityColumn() const;  // index of the IDENTITY column, -1 if none
};

struct ViewSchema {
    int32_t id = 0;
    std::string schema = "dbo";
    std::string name;
    std::string text;  // the CREATE VIEW statement as written
    Value created;
};

// A definition kept as text: a procedure, trigger or scalar function (its CREATE statement
// as written, shown by sp_helptext and sys.sql_modules), or an alias type (sp_addtype,
// CREATE TYPE ... FROM: the base type as written, "varchar(11)", and its nullability).
// Procedures, triggers and functions are objects (ids from the object ids); alias types
// are not (user type ids from 257 on). The kind numbers are stored.
struct ModuleSchema {
    enum class Kind : uint8_t { AliasType = 1, Procedure = 2, Trigger = 3, Function = 4 };
    Kind kind = Kind::Procedure;
    int32_t id = 0;
    std::string schema = "dbo";
    std::string name;
    std::string text;
    bool nullable = true;  // AliasType
    int32_t parentId = 0;  // Trigger: its table
    Value created;
};

// A schema created by CREATE SCHEMA (dbo, guest, INFORMATION_SCHEMA and sys are built in).
// Its id is also the id of the user it stands for: USER_NAME(id) gives its name, as for the
// schemas of databases whose owners each have a schema of their own name.
struct SchemaDefinition {
    int32_t id = 0;
    std::string name;
    std::string owner;  // AUTHORIZATION, or the schema's own name
};

struct ExtendedProperty {
    std::string name;
    Value value;  // sql_variant: the value with its own base type
};

struct Permission {
    std::string permission;  // upper case: "ALL", "SELECT"
    int32_t objectId = 0;
    std::string principal;  // "public"
};

}  // namespace engine
