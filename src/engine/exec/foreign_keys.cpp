#include "engine/exec/foreign_keys.h"

#include <algorithm>
#include <functional>
#include <set>
#include <unordered_map>

#include "engine/exec/ddl_support.h"
#include "engine/exec/table_writes.h"
#include "engine/exec/triggers.h"
#include "engine/types/collation.h"
#include "engine/types/compare.h"
#include "engine/types/sql_message.h"

namespace engine::exec {

namespace {

bool sameKey(const std::vector<Value>& a, const std::vector<Value>& b) {
    for (size_t i = 0; i < a.size(); ++i) {
        if (compareForSort(a[i], b[i]) != 0) return false;
    }
    return true;
}

bool anyNull(const std::vector<Value>& key) {
    return std::any_of(key.begin(), key.end(), [](const Value& v) { return v.isNull(); });
}

std::vector<int> positionsOf(const TableSchema& table, const std::vector<int32_t>& columnIds) {
    std::vector<int> out;
    for (int32_t id : columnIds)
        out.push_back(table.columnIndexById(id));
    return out;
}

const IndexSchema* indexById(const TableSchema& table, int32_t indexId) {
    for (const auto& ix : table.indexes) {
        if (ix.indexId == indexId) return &ix;
    }
    return nullptr;
}

// The referencing columns of a constraint as an index of the referencing table: its key
// hashes find the rows that reference a key (the id is negative, apart from real indexes).
IndexSchema referencingIndex(const ForeignKeySchema& fk) {
    IndexSchema probe;
    probe.indexId = -fk.id;
    for (int32_t id : fk.columnIds)
        probe.keys.push_back(IndexKey{id, false});
    return probe;
}

// ", column 'c'" of a 547 message: the column when the constraint has only one.
std::vector<std::string> columnPart(const TableSchema& table, const std::vector<int32_t>& ids) {
    if (ids.size() != 1) return {"", "", ""};
    int p = table.columnIndexById(ids[0]);
    return {", column '", p >= 0 ? table.columns[p].name : "", "'"};
}

[[noreturn]] void conflict(ExecContext& ctx, const char* verb, const char* kind,
                           const std::string& constraint, const TableSchema& table,
                           const std::vector<int32_t>& columnIds) {
    auto column = columnPart(table, columnIds);
    raise(ctx, 547,
          {verb, kind, constraint, ctx.catalog().name(), qualifiedName(ctx, table, false),
           column[0], column[1], column[2]});
}

bool sameType(const DataType& a, const DataType& b) {
    if (a.id != b.id) return false;
    if (a.id == TypeId::Decimal || a.id == TypeId::Numeric)
        return a.precision == b.precision && a.scale == b.scale;
    return true;
}

// Whether a FOREIGN KEY of table `child` to `parent` would make some table's rows reachable
// from another by two chains of referential actions, or from itself (SQL Server refuses
// both, for ON DELETE and ON UPDATE each). edges gives the acting constraints of a table
// (as the referenced table) by the referencing tables' ids.
bool cascadesConflict(const std::multimap<int32_t, int32_t>& edges, int32_t parent, int32_t child) {
    auto reach = [&](int32_t from, std::set<int32_t>& seen, auto& self) -> void {
        if (!seen.insert(from).second) return;
        auto range = edges.equal_range(from);
        for (auto it = range.first; it != range.second; ++it)
            self(it->second, seen, self);
    };
    std::set<int32_t> below;  // the child and what its actions reach
    reach(child, below, reach);
    if (below.count(parent)) return true;
    // The parent and every table whose actions reach it: none may reach the child's side
    // already.
    std::multimap<int32_t, int32_t> reverse;
    for (const auto& [from, to] : edges)
        reverse.emplace(to, from);
    std::set<int32_t> above;
    std::function<void(int32_t)> up = [&](int32_t t) {
        if (!above.insert(t).second) return;
        auto range = reverse.equal_range(t);
        for (auto it = range.first; it != range.second; ++it)
            up(it->second);
    };
    up(parent);
    for (int32_t a : above) {
        std::set<int32_t> seen;
        reach(a, seen, reach);
        for (int32_t t : seen) {
            if (below.count(t)) return true;
        }
    }
    return false;
}

void checkCascadePaths(ExecContext& ctx, const Database& db, const TableSchema& table,
                       const ForeignKeySchema& fk) {
    for (bool onDelete : {true, false}) {
        auto acts = [&](const ForeignKeySchema& f) {
            return (onDelete ? f.onDelete : f.onUpdate) != ReferentialAction::NoAction;
        };
        if (!acts(fk)) continue;
        std::multimap<int32_t, int32_t> edges;
        auto add = [&](const TableSchema& t) {
            for (const auto& f : t.foreignKeys) {
                if (acts(f)) edges.emplace(f.referencedTableId, t.id);
            }
        };
        for (const auto& [id, t] : db.tables()) {
            if (id != table.id) add(t->schema);
        }
        add(table);  // as it will be, without the new constraint
        if (cascadesConflict(edges, fk.referencedTableId, table.id))
            constraintError(ctx, sqlMessage(1785, {fk.name, table.name}));
    }
}

}  // namespace

int32_t addForeignKey(ExecContext& ctx, StatementChanges& changes, TableSchema& table,
                      const sql::TableConstraint& c, std::vector<std::string>& newNames,
                      bool trusted) {
    Database& db = *changes.entry->database;
    if (!c.name.empty()) {
        bool taken = objectNameTaken(db, table.schema, c.name);
        for (const auto& n : newNames)
            taken = taken || identifierEqual(n, c.name);
        if (taken) constraintError(ctx, sqlMessage(2714, {c.name}));
    }
    ForeignKeySchema fk;
    fk.id = changes.newObjectId();
    fk.name = c.name.empty() ? generatedConstraintName("FK", table.name, c.columns[0].name, fk.id)
                             : c.name;
    const sql::ObjectName& target = c.referencedTable;
    if (!target.database.empty() && !identifierEqual(target.database, db.name()))
        constraintError(ctx, sqlMessage(1763, {fk.name}));

    const TableSchema* parent = nullptr;
    const bool self = identifierEqual(target.object, table.name) &&
                      identifierEqual(target.schema.empty() ? "dbo" : target.schema, table.schema);
    if (self) {
        parent = &table;
    } else if (const Table* t = db.findTable(target.schema, target.object)) {
        parent = &t->schema;
    } else {
        constraintError(ctx, sqlMessage(1767, {fk.name, target.written}));
    }

    for (const auto& col : c.columns) {
        int p = table.columnIndex(col.name);
        if (p < 0) constraintError(ctx, sqlMessage(1769, {fk.name, col.name, table.name}));
        fk.columnIds.push_back(table.columns[p].id);
    }
    const IndexSchema* key = nullptr;
    if (c.referencedColumns.empty()) {
        for (const auto& ix : parent->indexes) {
            if (ix.constraint == KeyConstraint::PrimaryKey) key = &ix;
        }
        if (!key) constraintError(ctx, sqlMessage(1773, {fk.name, target.written}));
        for (const auto& k : key->keys)
            fk.referencedColumnIds.push_back(k.columnId);
    } else {
        for (const auto& name : c.referencedColumns) {
            int p = parent->columnIndex(name);
            if (p < 0) constraintError(ctx, sqlMessage(1770, {fk.name, name, parent->name}));
            fk.referencedColumnIds.push_back(parent->columns[p].id);
        }
    }
    if (fk.referencedColumnIds.size() != fk.columnIds.size())
        constraintError(ctx, sqlMessage(8139, {table.name}));
    if (!key) {
        // A PRIMARY KEY or unique index over exactly the referenced columns, in any order.
        std::vector<int32_t> wanted = fk.referencedColumnIds;
        std::sort(wanted.begin(), wanted.end());
        for (const auto& ix : parent->indexes) {
            if (!ix.unique || ix.keys.size() != wanted.size()) continue;
            std::vector<int32_t> have;
            for (const auto& k : ix.keys)
                have.push_back(k.columnId);
            std::sort(have.begin(), have.end());
            if (have == wanted) {
                key = &ix;
                break;
            }
        }
        if (!key) constraintError(ctx, sqlMessage(1776, {parent->name, fk.name}));
    }
    fk.referencedIndexId = key->indexId;
    for (size_t i = 0; i < fk.columnIds.size(); ++i) {
        const ColumnSchema& mine = table.columns[table.columnIndexById(fk.columnIds[i])];
        const ColumnSchema& theirs =
            parent->columns[parent->columnIndexById(fk.referencedColumnIds[i])];
        if (!sameType(mine.type, theirs.type))
            constraintError(ctx, sqlMessage(1778, {parent->name, theirs.name, table.name,
                                                   mine.name, fk.name}));
    }
    fk.onDelete = static_cast<ReferentialAction>(c.onDelete);
    fk.onUpdate = static_cast<ReferentialAction>(c.onUpdate);
    if (fk.onDelete == ReferentialAction::SetNull || fk.onUpdate == ReferentialAction::SetNull) {
        for (int32_t id : fk.columnIds) {
            if (!table.columns[table.columnIndexById(id)].nullable)
                constraintError(ctx, sqlMessage(1761, {fk.name}));
        }
    }
    // A cascade would change the rows behind the back of an INSTEAD OF trigger.
    if ((fk.onDelete != ReferentialAction::NoAction &&
         hasInsteadOfTrigger(db, table.id, TriggerEvent::Delete)) ||
        (fk.onUpdate != ReferentialAction::NoAction &&
         hasInsteadOfTrigger(db, table.id, TriggerEvent::Update)))
        constraintError(ctx, sqlMessage(1787, {fk.name, table.name}));
    fk.referencedTableId = self ? table.id : parent->id;
    checkCascadePaths(ctx, db, table, fk);
    fk.notTrusted = !trusted;
    fk.created = now(ctx);
    newNames.push_back(fk.name);
    table.foreignKeys.push_back(fk);
    return fk.id;
}

void checkExistingReferences(ExecContext& ctx, const TableSchema& table,
                             const std::vector<ColumnStore>& columns,
                             const std::vector<int32_t>& ids) {
    const size_t rows = columns.empty() ? 0 : columns[0].size();
    if (rows == 0) return;
    Database& db = ctx.database();
    for (const auto& fk : table.foreignKeys) {
        if (std::find(ids.begin(), ids.end(), fk.id) == ids.end()) continue;
        const bool self = fk.referencedTableId == table.id;
        const Table* parent = self ? nullptr : db.tableById(fk.referencedTableId);
        const TableSchema& parentSchema = self ? table : parent->schema;
        const std::vector<ColumnStore>& parentCells = self ? columns : parent->data().columns;
        // The referenced table's keys, hashed once.
        std::vector<int> keyPositions = positionsOf(parentSchema, fk.referencedColumnIds);
        std::unordered_multimap<uint64_t, size_t> keys;
        const size_t parentRows = parentCells.empty() ? 0 : parentCells[0].size();
        std::vector<Value> key(keyPositions.size());
        for (size_t slot = 0; slot < parentRows; ++slot) {
            for (size_t k = 0; k < keyPositions.size(); ++k)
                key[k] = parentCells[keyPositions[k]].get(slot);
            keys.emplace(keyHash(key), slot);
        }
        std::vector<int> positions = positionsOf(table, fk.columnIds);
        std::vector<Value> ref(positions.size()), other(positions.size());
        for (size_t slot = 0; slot < rows; ++slot) {
            for (size_t k = 0; k < positions.size(); ++k)
                ref[k] = columns[positions[k]].get(slot);
            if (anyNull(ref)) continue;
            bool found = false;
            auto range = keys.equal_range(keyHash(ref));
            for (auto it = range.first; it != range.second && !found; ++it) {
                for (size_t k = 0; k < keyPositions.size(); ++k)
                    other[k] = parentCells[keyPositions[k]].get(it->second);
                found = sameKey(ref, other);
            }
            if (!found)
                conflict(ctx, "ALTER TABLE", "FOREIGN KEY", fk.name, parentSchema,
                         fk.referencedColumnIds);
        }
    }
}

std::vector<std::pair<const Table*, const ForeignKeySchema*>> referencingKeys(
    const Database& db, int32_t tableId) {
    std::vector<std::pair<const Table*, const ForeignKeySchema*>> out;
    if (db.foreignKeyCount() == 0) return out;
    for (const auto& [id, t] : db.tables()) {
        for (const auto& fk : t->schema.foreignKeys) {
            if (fk.referencedTableId == tableId) out.emplace_back(t.get(), &fk);
        }
    }
    return out;
}

// --- the rows of a statement ------------------------------------------------------------

Value ReferentialWrites::Pending::cell(size_t slot, int position) const {
    auto it = updated.find(slot);
    if (it != updated.end()) return it->second[static_cast<size_t>(position)];
    return table->data().columns[static_cast<size_t>(position)].get(slot);
}

ReferentialWrites::ReferentialWrites(ExecContext& ctx, Database& db, Table& table,
                                     const char* verb)
    : ctx_(ctx), db_(db), table_(table), verb_(verb), defaults_(ctx) {
    const std::string_view v = verb;
    bool references = false, referenced = false;
    for (const auto& fk : table.schema.foreignKeys)
        references = references || !fk.disabled;
    if (v != "INSERT") {
        for (const auto& [t, fk] : referencingKeys(db, table.schema.id))
            referenced = referenced || !fk->disabled;
    }
    needed_ = references || referenced;
    if (needed_) pendingOf(table);
}

ReferentialWrites::Pending& ReferentialWrites::pendingOf(Table& table) {
    Pending& p = pending_[table.schema.id];
    if (!p.table) {
        if (&table != &table_) reachedOrder_.push_back(table.schema.id);
        p.table = &table;
        p.changedColumns.assign(table.schema.columns.size(), false);
    }
    return p;
}

bool ReferentialWrites::watches(const std::vector<int>& changedColumns) const {
    if (!needed_) return false;
    auto hit = [&](const TableSchema& schema, const std::vector<int32_t>& ids) {
        for (int p : positionsOf(schema, ids)) {
            if (std::find(changedColumns.begin(), changedColumns.end(), p) != changedColumns.end())
                return true;
        }
        return false;
    };
    for (const auto& fk : table_.schema.foreignKeys) {
        if (!fk.disabled && hit(table_.schema, fk.columnIds)) return true;
    }
    for (const auto& [t, fk] : referencingKeys(db_, table_.schema.id)) {
        if (!fk->disabled && hit(table_.schema, fk->referencedColumnIds)) return true;
    }
    return false;
}

void ReferentialWrites::inserted(std::vector<std::vector<Value>> rows) {
    Pending& p = pendingOf(table_);
    p.inserted = std::move(rows);
    p.changedColumns.assign(table_.schema.columns.size(), true);
}

void ReferentialWrites::deleted(size_t slot) {
    Pending& p = pendingOf(table_);
    if (p.deleted.empty()) p.deleted.assign(table_.data().rowCount(), false);
    p.deleted[slot] = true;
}

void ReferentialWrites::updated(size_t slot, std::vector<Value> row,
                                const std::vector<int>& changedColumns) {
    Pending& p = pendingOf(table_);
    p.updated[slot] = std::move(row);
    for (int c : changedColumns)
        p.changedColumns[static_cast<size_t>(c)] = true;
}

std::vector<Table*> ReferentialWrites::propagate(Pending& parent) {
    std::vector<Table*> reached;
    const TableSchema& ps = parent.table->schema;
    for (const auto& [constTable, fk] : referencingKeys(db_, ps.id)) {
        if (fk->disabled) continue;
        const std::vector<int> keyPositions = positionsOf(ps, fk->referencedColumnIds);
        // The keys the changes take away: each with the key that takes its place (an
        // updated row) or none (a deleted row).
        struct Gone {
            std::vector<Value> key;
            const std::vector<Value>* replacement = nullptr;  // the updated row
        };
        std::vector<Gone> gone;
        auto storedKey = [&](size_t slot) {
            std::vector<Value> key;
            for (int p : keyPositions)
                key.push_back(parent.table->data().columns[static_cast<size_t>(p)].get(slot));
            return key;
        };
        for (size_t slot = 0; slot < parent.deleted.size(); ++slot) {
            if (!parent.deleted[slot]) continue;
            auto key = storedKey(slot);
            if (!anyNull(key)) gone.push_back({std::move(key), nullptr});
        }
        std::unordered_multimap<uint64_t, std::vector<Value>> kept;
        for (const auto& [slot, row] : parent.updated) {
            if (parent.isDeleted(slot)) continue;
            std::vector<Value> now;
            for (int p : keyPositions)
                now.push_back(row[static_cast<size_t>(p)]);
            auto key = storedKey(slot);
            if (!anyNull(key) && !sameKey(key, now)) gone.push_back({std::move(key), &row});
            if (!anyNull(now)) kept.emplace(keyHash(now), std::move(now));
        }
        // A key another row takes (an UPDATE that swaps keys) stays.
        gone.erase(std::remove_if(gone.begin(), gone.end(),
                                  [&](const Gone& g) {
                                      auto range = kept.equal_range(keyHash(g.key));
                                      for (auto it = range.first; it != range.second; ++it) {
                                          if (sameKey(it->second, g.key)) return true;
                                      }
                                      return false;
                                  }),
                   gone.end());
        if (gone.empty()) continue;

        Table& child = *db_.tableById(constTable->schema.id);
        const std::vector<int> positions = positionsOf(child.schema, fk->columnIds);
        const KeyHashes& hashes = child.keyHashesOf(referencingIndex(*fk));
        bool changed = false;
        for (const Gone& g : gone) {
            auto range = hashes.slots.equal_range(keyHash(g.key));
            for (auto it = range.first; it != range.second; ++it) {
                const size_t slot = it->second;
                auto found = pending_.find(child.schema.id);
                const Pending* current = found == pending_.end() ? nullptr : &found->second;
                if (current && current->isDeleted(slot)) continue;
                std::vector<Value> ref;
                for (int p : positions)
                    ref.push_back(current ? current->cell(slot, p)
                                          : child.data().columns[static_cast<size_t>(p)].get(slot));
                if (!sameKey(ref, g.key)) continue;
                const ReferentialAction action = g.replacement ? fk->onUpdate : fk->onDelete;
                if (action == ReferentialAction::NoAction)
                    conflict(ctx_, verb_, "REFERENCE", fk->name, child.schema, fk->columnIds);
                Pending& c = pendingOf(child);
                if (action == ReferentialAction::Cascade && !g.replacement) {
                    if (c.deleted.empty()) c.deleted.assign(child.data().rowCount(), false);
                    changed = changed || !c.deleted[slot];
                    c.deleted[slot] = true;
                    continue;
                }
                std::vector<Value> row;
                if (auto u = c.updated.find(slot); u != c.updated.end()) {
                    row = u->second;
                } else {
                    for (const auto& store : child.data().columns)
                        row.push_back(store.get(slot));
                }
                for (size_t k = 0; k < positions.size(); ++k) {
                    const size_t p = static_cast<size_t>(positions[k]);
                    const ColumnSchema& col = child.schema.columns[p];
                    Value v;
                    if (action == ReferentialAction::Cascade) {
                        v = valueForColumn(ctx_, col,
                                           (*g.replacement)[static_cast<size_t>(keyPositions[k])]);
                    } else if (action == ReferentialAction::SetNull) {
                        v = Value::null(col.type);
                    } else {
                        v = defaults_.evaluate(child.schema, col);
                    }
                    changed = changed || compareForSort(v, row[p]) != 0 ||
                              v.isNull() != row[p].isNull();
                    row[p] = std::move(v);
                    c.changedColumns[p] = true;
                }
                c.updated[slot] = std::move(row);
            }
        }
        if (changed) reached.push_back(&child);
    }
    return reached;
}

bool ReferentialWrites::keyExists(const Table& parent, const ForeignKeySchema& fk,
                                  const std::vector<Value>& key) {
    const IndexSchema* index = indexById(parent.schema, fk.referencedIndexId);
    if (!index) return true;
    const std::vector<int> keyPositions = positionsOf(parent.schema, fk.referencedColumnIds);
    // The key in the index's column order, for its hashes.
    std::vector<Value> ordered;
    for (const auto& k : index->keys) {
        for (size_t j = 0; j < fk.referencedColumnIds.size(); ++j) {
            if (fk.referencedColumnIds[j] == k.columnId) ordered.push_back(key[j]);
        }
    }
    auto found = pending_.find(parent.schema.id);
    const Pending* changes = found == pending_.end() ? nullptr : &found->second;
    const KeyHashes& hashes = parent.keyHashesOf(*index);
    auto range = hashes.slots.equal_range(keyHash(ordered));
    std::vector<Value> other(keyPositions.size());
    for (auto it = range.first; it != range.second; ++it) {
        const size_t slot = it->second;
        if (changes && (changes->isDeleted(slot) || changes->updated.count(slot))) continue;
        for (size_t k = 0; k < keyPositions.size(); ++k)
            other[k] = parent.data().columns[static_cast<size_t>(keyPositions[k])].get(slot);
        if (sameKey(other, key)) return true;
    }
    if (!changes) return false;
    // Keys the statement writes: hashed once per constraint.
    auto& written = writtenKeys_[fk.id];
    if (!written.built) {
        written.built = true;
        auto add = [&](const std::vector<Value>& row) {
            std::vector<Value> k;
            for (int p : keyPositions)
                k.push_back(row[static_cast<size_t>(p)]);
            if (!anyNull(k)) written.keys.emplace(keyHash(k), std::move(k));
        };
        for (const auto& row : changes->inserted)
            add(row);
        for (const auto& [slot, row] : changes->updated) {
            if (!changes->isDeleted(slot)) add(row);
        }
    }
    auto mine = written.keys.equal_range(keyHash(key));
    for (auto it = mine.first; it != mine.second; ++it) {
        if (sameKey(it->second, key)) return true;
    }
    return false;
}

void ReferentialWrites::checkReferences(const Pending& pending) {
    const TableSchema& schema = pending.table->schema;
    for (const auto& fk : schema.foreignKeys) {
        if (fk.disabled) continue;
        const std::vector<int> positions = positionsOf(schema, fk.columnIds);
        if (std::none_of(positions.begin(), positions.end(),
                         [&](int p) { return pending.changedColumns[static_cast<size_t>(p)]; }))
            continue;
        const Table* parent = db_.tableById(fk.referencedTableId);
        if (!parent) continue;
        std::vector<Value> key(positions.size());
        auto test = [&](const std::vector<Value>& row) {
            for (size_t k = 0; k < positions.size(); ++k)
                key[k] = row[static_cast<size_t>(positions[k])];
            if (anyNull(key) || keyExists(*parent, fk, key)) return;
            conflict(ctx_, verb_, "FOREIGN KEY", fk.name, parent->schema, fk.referencedColumnIds);
        };
        for (const auto& row : pending.inserted)
            test(row);
        for (const auto& [slot, row] : pending.updated) {
            if (!pending.isDeleted(slot)) test(row);
        }
    }
}

void ReferentialWrites::finish(StatementChanges& changes) {
    if (!needed_) return;
    std::vector<Table*> work{&table_};
    while (!work.empty()) {
        Table* t = work.back();
        work.pop_back();
        for (Table* reached : propagate(pendingOf(*t)))
            work.push_back(reached);
    }
    for (const auto& [id, p] : pending_)
        checkReferences(p);
    // The rows as they were and will be, for the triggers of the tables the actions reach.
    for (int32_t id : reachedOrder_) {
        const Pending& p = pending_.at(id);
        if (!hasTriggers(db_, id)) continue;
        CascadedRows rows;
        rows.table = p.table;
        auto stored = [&](size_t slot) {
            std::vector<Value> row;
            for (const auto& store : p.table->data().columns)
                row.push_back(store.get(slot));
            return row;
        };
        for (size_t slot = 0; slot < p.deleted.size(); ++slot) {
            if (p.deleted[slot]) rows.deleted.push_back(stored(slot));
        }
        for (const auto& [slot, row] : p.updated) {
            if (p.isDeleted(slot)) continue;
            rows.before.push_back(stored(slot));
            rows.after.push_back(row);
        }
        for (size_t c = 0; c < p.changedColumns.size(); ++c) {
            if (p.changedColumns[c]) rows.updatedColumns.push_back(static_cast<int>(c));
        }
        cascaded_.push_back(std::move(rows));
    }
    // The rows the referential actions change (the statement's own rows are its own).
    for (const auto& [id, p] : pending_) {
        if (p.table == &table_) continue;
        Change del;
        del.kind = Change::Kind::DeleteRows;
        del.objectId = id;
        for (size_t slot = 0; slot < p.deleted.size(); ++slot) {
            if (p.deleted[slot]) del.rowIds.push_back(p.table->data().rowIds[slot]);
        }
        Change upd;
        upd.kind = Change::Kind::UpdateCells;
        upd.objectId = id;
        for (size_t c = 0; c < p.changedColumns.size(); ++c) {
            if (!p.changedColumns[c]) continue;
            upd.positions.push_back(static_cast<int32_t>(c));
            upd.values.emplace_back(p.table->schema.columns[c].type);
        }
        for (const auto& [slot, row] : p.updated) {
            if (p.isDeleted(slot)) continue;
            upd.rowIds.push_back(p.table->data().rowIds[slot]);
            for (size_t k = 0; k < upd.positions.size(); ++k)
                upd.values[k].push(row[static_cast<size_t>(upd.positions[k])]);
        }
        if (!upd.rowIds.empty()) changes.add(std::move(upd));
        if (!del.rowIds.empty()) changes.add(std::move(del));
    }
}

}  // namespace engine::exec
