// One database in memory: its catalogue (tables, views, constraints, indexes,
// properties, permissions) and the rows of its tables.
//
// Objects are found by schema and name as SQL Server finds them in a case-insensitive
// database. Within a schema, tables, views and constraints share one namespace (2714 on a
// clash); index names are per table. The only way to modify a database is apply(): see change.h.
// Thread-compatible: the server serialises access to a database.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/catalog/change.h"
#include "engine/catalog/column_store.h"
#include "engine/catalog/schema.h"
#include "engine/catalog/value_lookup.h"
#include "engine/types/collation.h"

namespace engine {

struct TableData {
    std::vector<RowId> rowIds;         // ascending; slot i holds the row rowIds[i]
    std::vector<ColumnStore> columns;  // aligned with the schema's columns
    RowId nextRowId = 1;

    size_t rowCount() const { return rowIds.size(); }
    // Slot of a row, or -1.
    int64_t slotOf(RowId row) const;
};

// The slot of each row (or -1) into `slots`; returns how many were found. Cheapest when the
// rows come in ascending order, as the executor sends them.
int64_t findSlots(const TableData& data, const std::vector<RowId>& rows,
                  std::vector<int64_t>& slots);

// Puts the rows of an InsertRows change into data (cells converted to the columns' types),
// each at its place by row id; returns whether they all went after the rows already there.
bool insertRows(TableData& data, const Change& change);

// The slots of a table's rows by the hash of their key for one unique index: what makes
// the duplicate-key check of a row insert cost the rows of its hash, not the whole table.
// Built on first use, kept up to date as rows are appended, dropped on any other change.
struct KeyHashes {
    std::vector<int> positions;  // the key's columns
    std::unordered_multimap<uint64_t, size_t> slots;
};

// Hash of the key of one stored row (hashValue of each key cell, combined).
uint64_t storedKeyHash(const TableData& data, const std::vector<int>& positions, size_t slot);
// Hash of a key given as values (the same hash for equal keys).
uint64_t keyHash(const std::vector<Value>& key);

// Rows of a table kept in its database's files, not yet in memory: a large database opens
// with its tables' definitions only, and a table's rows are read when first used.
class DeferredRows {
  public:
    virtual ~DeferredRows() = default;
    // Fills data (the table's columns as they were defined when the rows were set aside,
    // without cells) with the rows. Throws SqlException when they cannot be read.
    virtual void load(const TableSchema& schema, TableData& data) const = 0;
    // How many rows load() puts in place.
    virtual size_t rowCount() const = 0;
};

struct ColumnPositions;

struct Table {
    TableSchema schema;
    // Per unique index id; see KeyHashes.
    mutable std::map<int32_t, std::shared_ptr<KeyHashes>> keyHashes;
    // Rows by the values of columns no unique index covers; see ValueLookup.
    mutable ValueLookups lookups;

    // The key hashes of a unique index, built now if needed.
    const KeyHashes& keyHashesOf(const IndexSchema& index) const;
    // Bytes of the rows in memory (rows not yet read count nothing).
    size_t memoryBytes() const;

    // The rows, read first if they are still set aside (which may throw SqlException; the
    // rows stay set aside then, and the next use tries again). Safe to call from sessions
    // that read the table side by side.
    TableData& data() {
        if (deferred_.load(std::memory_order_acquire)) loadDeferred();
        return data_;
    }
    const TableData& data() const {
        if (deferred_.load(std::memory_order_acquire)) loadDeferred();
        return data_;
    }
    // How many rows the table holds, without reading rows set aside.
    size_t rowCount() const {
        if (const DeferredRows* rows = deferredRows()) return rows->rowCount();
        return data_.rowCount();
    }
    // Gives each column that keeps its id and position in `after` but changes type the new
    // type, where its cells are stored the same way under both (rows set aside included:
    // they are read as the new type); a column stored otherwise keeps its old type until
    // its cells are replaced. A change of the number of columns retypes nothing.
    void retypeColumns(const TableSchema& after);
    // Takes the definition `after` (retyping the columns first, as retypeColumns).
    void redefine(const TableSchema& after);
    // The columns' positions by name, made on first use after each definition: a statement
    // that names a column of a wide table finds it at once.
    std::shared_ptr<const ColumnPositions> columnPositions() const;
    // Sets the rows aside, to be read on first use; the table holds no rows yet.
    void deferRows(std::unique_ptr<DeferredRows> rows);
    // The rows set aside, or nullptr once they are in memory (or were never set aside).
    const DeferredRows* deferredRows() const {
        return deferred_.load(std::memory_order_acquire) ? deferredRows_.get() : nullptr;
    }

  private:
    void loadDeferred() const;

    mutable TableData data_;
    mutable std::shared_ptr<const ColumnPositions> columnPositions_;
    mutable std::unique_ptr<DeferredRows> deferredRows_;
    mutable std::atomic<bool> deferred_{false};
    mutable std::mutex loading_;
};

// Kinds of schema-scoped objects, with their sysobjects xtype.
enum class ObjectKind : uint8_t {
    Table,
    View,
    Default,
    PrimaryKey,
    UniqueKey,
    Check,
    Procedure,
    Trigger,
    ForeignKey,
    Function
};
// "U", "V", "D", "PK", "UQ", "C", "P", "TR", "F", "FN"
std::string_view objectXType(ObjectKind kind);
// The object kind of a module that is an object (not an alias type).
ObjectKind moduleObjectKind(const ModuleSchema& module);

struct ObjectRef {
    ObjectKind kind = ObjectKind::Table;
    int32_t id = 0;
    int32_t parentId = 0;  // the table of a constraint, 0 otherwise
};

// Transparent hashing of names under the collation, for lookups by string_view.
struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return static_cast<size_t>(identifierHash(s)); }
};
struct NameEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return identifierEqual(a, b); }
};

struct ColumnPositions {
    std::unordered_map<std::string, int, NameHash, NameEqual> byName;
    // The position of the column of that name, or -1.
    int find(std::string_view name) const {
        auto it = byName.find(name);
        return it == byName.end() ? -1 : it->second;
    }
};

class Database {
  public:
    // A database of temporary objects draws negative object ids, as tempdb does, so that
    // none of its ids is ever an id of a user database.
    Database(std::string name, int32_t databaseId, bool temporary = false);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Counts, process-wide, the changes to any database's definitions (tables, views,
    // modules, schemas, properties, permissions) and the databases made and gone. Names
    // bound against the catalogues at one count bind the same way while it stays.
    static uint64_t definitionsGeneration() {
        return definitionsGeneration_.load(std::memory_order_acquire);
    }

    const std::string& name() const { return name_; }
    int32_t id() const { return id_; }

    // Objects by schema and name, or by id (nullptr / nullopt when absent). An empty schema
    // is dbo, where names written without a schema are looked for; the overloads without a
    // schema look there too.
    Table* findTable(std::string_view schema, std::string_view name);
    const Table* findTable(std::string_view schema, std::string_view name) const;
    Table* findTable(std::string_view name) { return findTable({}, name); }
    const Table* findTable(std::string_view name) const { return findTable({}, name); }
    Table* tableById(int32_t id);
    const Table* tableById(int32_t id) const;
    const ViewSchema* findView(std::string_view schema, std::string_view name) const;
    const ViewSchema* findView(std::string_view name) const { return findView({}, name); }
    const ViewSchema* viewById(int32_t id) const;
    std::optional<ObjectRef> findObject(std::string_view schema, std::string_view name) const;
    std::optional<ObjectRef> findObject(std::string_view name) const {
        return findObject({}, name);
    }
    std::optional<ObjectRef> objectById(int32_t id) const;
    std::string objectName(int32_t id) const;  // empty when absent

    // Schemas: dbo (1), guest (2), INFORMATION_SCHEMA (3), sys (4) and the ones created
    // (5 and up). Ids and names of absent schemas are nullopt / empty.
    std::optional<int32_t> schemaId(std::string_view name) const;
    std::string schemaName(int32_t id) const;
    const std::map<int32_t, SchemaDefinition>& createdSchemas() const { return schemas_; }
    int32_t nextSchemaId() const;
    // Whether any table or view belongs to the schema (the first one's name, or empty).
    std::string firstObjectOfSchema(std::string_view schema) const;

    // All tables and views, by object id.
    const std::map<int32_t, std::unique_ptr<Table>>& tables() const { return tables_; }
    // FOREIGN KEY constraints of all the tables: with none, no row write need look for them.
    size_t foreignKeyCount() const { return foreignKeys_; }
    const std::map<int32_t, ViewSchema>& views() const { return views_; }
    const std::vector<ExtendedProperty>& properties() const { return properties_; }
    // Procedures, triggers and alias types, by id.
    const std::map<int32_t, ModuleSchema>& modules() const { return modules_; }
    const ModuleSchema* moduleById(int32_t id) const;
    // A procedure (or trigger) by schema and name; an alias type by name.
    const ModuleSchema* findProcedure(std::string_view schema, std::string_view name) const;
    const ModuleSchema* findFunction(std::string_view schema, std::string_view name) const;
    const ModuleSchema* findAliasType(std::string_view name) const;
    int32_t nextAliasTypeId() const;
    const std::vector<Permission>& permissions() const { return permissions_; }

    // Object ids: a statement draws ids from a copy of this state and records the state it
    // reached with a SetIdState change, so that a failed statement leaves no trace.
    uint64_t idState() const { return idState_; }
    // The next object id after state (advances state); never an id in use.
    int32_t nextObjectId(uint64_t& state) const;

    void apply(const Change& change);
    // Appends to undo the changes that take the database back from the state after change
    // to the state before it, computed now, before change is applied. Undo lists are
    // applied last change first. (Permissions granted are not taken back.)
    void appendInverse(const Change& change, ChangeList& undo) const;
    void apply(const ChangeList& changes) {
        for (const Change& c : changes)
            apply(c);
    }

    // Everything but the tables as the changes that rebuild it (views, properties,
    // permissions, id state): with each table's contents, a snapshot of the database.
    ChangeList metadataChanges() const;

  private:
    static void definitionsChanged() { definitionsGeneration_.fetch_add(1, std::memory_order_acq_rel); }
    static std::atomic<uint64_t> definitionsGeneration_;

    std::optional<ObjectRef> findConstraint(int32_t id, const std::string** name) const;
    void indexTableNames(const TableSchema& schema);
    void unindexTableNames(const TableSchema& schema);

    std::string name_;
    int32_t id_;
    bool temporary_;
    std::map<int32_t, std::unique_ptr<Table>> tables_;
    size_t foreignKeys_ = 0;  // kept by indexTableNames and unindexTableNames
    std::map<int32_t, ViewSchema> views_;
    std::map<int32_t, ModuleSchema> modules_;
    // Schema-scoped names: the key is the schema's name, a unit separator, the object's name.
    static std::string nameKey(std::string_view schema, std::string_view name);
    std::unordered_map<std::string, ObjectRef, NameHash, NameEqual> names_;
    std::map<int32_t, SchemaDefinition> schemas_;
    std::vector<ExtendedProperty> properties_;
    std::vector<Permission> permissions_;
    uint64_t idState_;
};

}  // namespace engine
