// The effects of a statement on a database, as a list of changes.
//
// A statement never modifies a database while it works out what to do: it builds the
// list of changes (new table definitions, rows to insert, cells to update, rows to delete,
// ...), checking everything that can fail, and only then applies them. Applying cannot
// fail, so a statement is all-or-nothing. The same list is what the durable store writes
// to the journal and replays on open, and a snapshot is the list that rebuilds the whole
// database: execution, replay and loading share one path. Thread-compatible.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/catalog/column_store.h"
#include "engine/catalog/schema.h"

namespace engine {

using RowId = int64_t;

struct Change {
    enum class Kind : uint8_t {
        PutTable = 1,        // create or redefine a table (definition only): table
        DropTable = 2,       // objectId
        AddColumn = 3,       // objectId, position, and data (all rows) or fill (every row)
        DropColumn = 4,      // objectId, position
        ReplaceColumn = 5,   // objectId, position, data (all rows, in slot order)
        InsertRows = 6,      // objectId, rowIds, values (one store per column), identity
        UpdateCells = 7,     // objectId, rowIds, positions, values (one store per position)
        DeleteRows = 8,      // objectId, rowIds
        PutView = 9,         // view
        DropView = 10,       // objectId
        PutProperty = 11,    // property (database level)
        DropProperty = 12,   // property.name
        PutPermission = 13,  // permission
        SetIdState = 14,     // idState
        PutSchema = 15,      // schema
        DropSchema = 16,     // objectId (the schema's id)
        PutModule = 17,      // module (procedure, trigger or alias type)
        DropModule = 18,     // objectId (the module's id)
    };

    Kind kind = Kind::PutTable;
    int32_t objectId = 0;
    TableSchema table;
    ViewSchema view;
    int32_t position = 0;
    bool useFill = false;
    Value fill;
    ColumnStore data;
    std::vector<RowId> rowIds;
    std::vector<int32_t> positions;
    std::vector<ColumnStore> values;
    int64_t identityCurrent = 0;
    bool identityUsed = false;
    ExtendedProperty property;
    Permission permission;
    uint64_t idState = 0;
    SchemaDefinition schema;
    ModuleSchema module;
};

using ChangeList = std::vector<Change>;

// Appends the rows of `more` to `into` when both update the same cells (same table, same
// columns, cells of the same types), so that a run of single-row saves reaches the journal as
// one change; applying the result is applying the two in order. False (nothing done) otherwise.
bool appendRowUpdates(Change& into, const Change& more);

}  // namespace engine
