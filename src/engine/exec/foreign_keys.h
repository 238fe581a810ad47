// FOREIGN KEY constraints: adding them to a table's definition (CREATE TABLE, ALTER TABLE
// ADD), checking the rows a table already has, and keeping every reference whole while a
// statement inserts, updates or deletes rows.
//
// A row whose referencing columns hold a NULL references nothing. A statement's rows are
// checked as the tables will be once it is done: a referencing row needs its key in the
// referenced table (547 "The INSERT statement conflicted with the FOREIGN KEY constraint
// ..."), and a key that goes away takes its referencing rows with it (ON DELETE / ON UPDATE
// CASCADE, SET NULL, SET DEFAULT) or fails the statement (NO ACTION: 547 "... the REFERENCE
// constraint ..."). Keys are found through the referenced table's unique key hashes and
// referencing rows through hashes of the referencing columns, never by a scan per row.
// Disabled constraints (NOCHECK CONSTRAINT) neither check nor act. Thread-compatible.
#pragma once

#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/catalog/database.h"
#include "engine/exec/context.h"
#include "engine/exec/table_writes.h"
#include "engine/sql/ast.h"

namespace engine::exec {

// Adds a FOREIGN KEY of CREATE TABLE / ALTER TABLE ADD to table (its definition as it will
// be, which may be the referenced table too). Refuses what SQL Server refuses, each error
// followed by 1750: 2714, 1763 (another database), 1767 (no such table), 1769/1770 (no
// such column), 8139, 1773/1776 (no matching key), 1778 (types differ), 1761 (SET NULL on
// a NOT NULL column), 1785 (cascades in a cycle or by two paths). Returns its id.
int32_t addForeignKey(ExecContext& ctx, StatementChanges& changes, TableSchema& table,
                      const sql::TableConstraint& constraint, std::vector<std::string>& newNames,
                      bool trusted);

// Checks the existing rows of table (its definition as it will be, its cells in columns)
// against the constraint ids: 547 for "ALTER TABLE" at the first row whose key is missing.
void checkExistingReferences(ExecContext& ctx, const TableSchema& table,
                             const std::vector<ColumnStore>& columns,
                             const std::vector<int32_t>& ids);

// The FOREIGN KEY constraints of other tables (or of the table itself) that reference a
// table, with the table that holds each.
std::vector<std::pair<const Table*, const ForeignKeySchema*>> referencingKeys(
    const Database& db, int32_t tableId);

// The referential work of one INSERT, UPDATE or DELETE on one table. The statement tells it
// the rows it writes; finish() then works out what the constraints do to other rows, raises
// 547 for a reference left broken and adds the changes of the referential actions.
class ReferentialWrites {
  public:
    // verb: "INSERT", "UPDATE" or "DELETE", as 547 words it.
    ReferentialWrites(ExecContext& ctx, Database& db, Table& table, const char* verb);

    // Whether the statement's rows need any of this (the table references or is referenced
    // by an enabled constraint).
    bool needed() const { return needed_; }
    // Whether an UPDATE of these columns (positions) needs it.
    bool watches(const std::vector<int>& changedColumns) const;
    // Rows the statement adds (full rows in column order).
    void inserted(std::vector<std::vector<Value>> rows);
    // A row the statement deletes.
    void deleted(size_t slot);
    // A row the statement updates: its values after the statement (full row).
    void updated(size_t slot, std::vector<Value> row, const std::vector<int>& changedColumns);

    void finish(StatementChanges& changes);

    // What the referential actions did to the rows of a table with triggers, worked out by
    // finish() before the changes are applied; tables in the order the actions reached them.
    struct CascadedRows {
        const Table* table = nullptr;
        std::vector<std::vector<Value>> deleted;       // full rows removed
        std::vector<std::vector<Value>> before, after;  // full rows updated
        std::vector<int> updatedColumns;
    };
    const std::vector<CascadedRows>& cascaded() const { return cascaded_; }

  private:
    struct Pending {
        Table* table = nullptr;
        std::vector<bool> deleted;                         // by slot
        std::map<size_t, std::vector<Value>> updated;      // slot -> full new row
        std::vector<std::vector<Value>> inserted;          // full rows
        std::vector<bool> changedColumns;                  // by position
        Value cell(size_t slot, int position) const;
        bool isDeleted(size_t slot) const { return slot < deleted.size() && deleted[slot]; }
    };
    Pending& pendingOf(Table& table);
    // The referencing rows of the keys the changes of pending take away, and what their
    // constraints do to them; returns the tables whose rows changed in turn.
    std::vector<Table*> propagate(Pending& parent);
    // Every row written to pending's table references a key that will exist.
    void checkReferences(const Pending& pending);
    bool keyExists(const Table& parent, const ForeignKeySchema& fk,
                   const std::vector<Value>& key);

    ExecContext& ctx_;
    Database& db_;
    Table& table_;
    const char* verb_;
    DefaultEvaluator defaults_;
    bool needed_ = false;
    std::map<int32_t, Pending> pending_;  // by table id
    std::vector<int32_t> reachedOrder_;   // tables other than the statement's, as reached
    std::vector<CascadedRows> cascaded_;
    // The keys of a referenced table's rows the statement writes, per constraint id.
    struct WrittenKeys {
        bool built = false;
        std::unordered_multimap<uint64_t, std::vector<Value>> keys;
    };
    std::map<int32_t, WrittenKeys> writtenKeys_;
};

}  // namespace engine::exec
