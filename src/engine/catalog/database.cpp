#include "engine/catalog/database.h"

#include <algorithm>

#include "engine/types/compare.h"

namespace engine {

int64_t TableData::slotOf(RowId row) const {
    auto it = std::lower_bound(rowIds.begin(), rowIds.end(), row);
    if (it == rowIds.end() || *it != row) return -1;
    return it - rowIds.begin();
}

uint64_t keyHash(const std::vector<Value>& key) {
    uint64_t h = 0;
    for (const auto& v : key)
        h ^= hashValue(v) + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
    return h;
}

uint64_t storedKeyHash(const TableData& data, const std::vector<int>& positions, size_t slot) {
    uint64_t h = 0;
    for (int p : positions)
        h ^= hashValue(data.columns[p].get(slot)) + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
    return h;
}

const KeyHashes& Table::keyHashesOf(const IndexSchema& index) const {
    auto& entry = keyHashes[index.indexId];
    if (!entry) {
        entry = std::make_shared<KeyHashes>();
        for (const auto& k : index.keys)
            entry->positions.push_back(schema.columnIndexById(k.columnId));
        const TableData& rows = data();
        entry->slots.reserve(rows.rowCount());
        for (size_t slot = 0; slot < rows.rowCount(); ++slot)
            entry->slots.emplace(storedKeyHash(rows, entry->positions, slot), slot);
    }
    return *entry;
}

bool appendRowUpdates(Change& into, const Change& more) {
    if (into.kind != Change::Kind::UpdateCells || more.kind != Change::Kind::UpdateCells ||
        into.objectId != more.objectId || into.positions != more.positions ||
        into.values.size() != more.values.size())
        return false;
    for (size_t k = 0; k < into.values.size(); ++k) {
        if (into.values[k].type() != more.values[k].type()) return false;
    }
    into.rowIds.insert(into.rowIds.end(), more.rowIds.begin(), more.rowIds.end());
    for (size_t k = 0; k < into.values.size(); ++k)
        into.values[k].append(more.values[k]);
    return true;
}

bool insertRows(TableData& data, const Change& change) {
    const size_t n = change.rowIds.size();
    bool appendOnly = data.rowIds.empty() || n == 0 || change.rowIds.front() > data.rowIds.back();
    for (size_t i = 1; appendOnly && i < n; ++i)
        appendOnly = change.rowIds[i] > change.rowIds[i - 1];
    if (appendOnly) {
        data.rowIds.insert(data.rowIds.end(), change.rowIds.begin(), change.rowIds.end());
        for (size_t c = 0; c < data.columns.size() && c < change.values.size(); ++c)
            data.columns[c].append(change.values[c]);
    } else {
        for (size_t i = 0; i < n; ++i) {
            // Rows replayed out of order: insert each at its sorted place.
            auto pos = std::lower_bound(data.rowIds.begin(), data.rowIds.end(), change.rowIds[i]);
            size_t slot = static_cast<size_t>(pos - data.rowIds.begin());
            data.rowIds.insert(pos, change.rowIds[i]);
            for (size_t c = 0; c < data.columns.size() && c < change.values.size(); ++c) {
                ColumnStore& dst = data.columns[c];
                dst.push(Value::null(dst.type()));
                for (size_t k = dst.size() - 1; k > slot; --k)
                    dst.set(k, dst.get(k - 1));
                dst.set(slot, change.values[c].get(i));
            }
        }
    }
    for (RowId r : change.rowIds)
        data.nextRowId = std::max(data.nextRowId, r + 1);
    return appendOnly;
}

size_t Table::memoryBytes() const {
    size_t total = data_.rowIds.capacity() * sizeof(RowId);
    for (const auto& c : data_.columns)
        total += c.memoryBytes();
    return total + lookups.memoryBytes();
}

void Table::redefine(const TableSchema& after) {
    retypeColumns(after);
    schema = after;
    columnPositions_.reset();
}

std::shared_ptr<const ColumnPositions> Table::columnPositions() const {
    if (!columnPositions_) {
        auto positions = std::make_shared<ColumnPositions>();
        positions->byName.reserve(schema.columns.size());
        for (size_t i = 0; i < schema.columns.size(); ++i)
            positions->byName.emplace(schema.columns[i].name, static_cast<int>(i));  // the first of a name
        columnPositions_ = std::move(positions);
    }
    return columnPositions_;
}

void Table::retypeColumns(const TableSchema& after) {
    std::lock_guard lock(loading_);
    const auto& before = schema.columns;
    if (before.size() != after.columns.size() || data_.columns.size() != before.size()) return;
    for (size_t i = 0; i < before.size(); ++i) {
        const ColumnSchema& now = after.columns[i];
        if (before[i].id == now.id && !(before[i].type == now.type)) data_.columns[i].retype(now.type);
    }
}

void Table::deferRows(std::unique_ptr<DeferredRows> rows) {
    std::lock_guard lock(loading_);
    // Built from rows that are no longer there.
    keyHashes.clear();
    lookups.clear();
    deferredRows_ = std::move(rows);
    deferred_.store(deferredRows_ != nullptr, std::memory_order_release);
}

void Table::loadDeferred() const {
    std::lock_guard lock(loading_);
    if (!deferred_.load(std::memory_order_relaxed)) return;
    // Filled apart and put in place whole, so that a failed read leaves the table as it was.
    TableData loaded;
    for (const ColumnStore& c : data_.columns)
        loaded.columns.emplace_back(c.type());
    deferredRows_->load(schema, loaded);
    for (ColumnStore& c : loaded.columns)
        c.shareIfUniform();
    data_ = std::move(loaded);
    deferredRows_.reset();
    deferred_.store(false, std::memory_order_release);
}

std::string_view objectXType(ObjectKind kind) {
    switch (kind) {
        case ObjectKind::Table:
            return "U";
        case ObjectKind::View:
            return "V";
        case ObjectKind::Default:
            return "D";
        case ObjectKind::PrimaryKey:
            return "PK";
        case ObjectKind::UniqueKey:
            return "UQ";
        case ObjectKind::Procedure:
            return "P";
        case ObjectKind::Trigger:
            return "TR";
        case ObjectKind::Check:
            return "C";
        case ObjectKind::ForeignKey:
            return "F";
        case ObjectKind::Function:
            return "FN";
    }
    return "U";
}

ObjectKind moduleObjectKind(const ModuleSchema& module) {
    switch (module.kind) {
        case ModuleSchema::Kind::Trigger:
            return ObjectKind::Trigger;
        case ModuleSchema::Kind::Function:
            return ObjectKind::Function;
        default:
            return ObjectKind::Procedure;
    }
}

std::atomic<uint64_t> Database::definitionsGeneration_{1};

Database::Database(std::string name, int32_t databaseId, bool temporary)
    : name_(std::move(name)), id_(databaseId), temporary_(temporary), idState_(0) {
    definitionsChanged();
    // The id sequence starts from the database's name, so databases differ.
    uint64_t seed = 1469598103934665603ull;
    for (char c : name_)
        seed = (seed ^ static_cast<unsigned char>(std::tolower(c))) * 1099511628211ull;
    idState_ = seed;
}

std::string Database::nameKey(std::string_view schema, std::string_view name) {
    std::string key(schema.empty() ? std::string_view("dbo") : schema);
    key.push_back('\x1f');
    key.append(name);
    return key;
}

Table* Database::findTable(std::string_view schema, std::string_view name) {
    auto it = names_.find(nameKey(schema, name));
    if (it == names_.end() || it->second.kind != ObjectKind::Table) return nullptr;
    return tableById(it->second.id);
}

const Table* Database::findTable(std::string_view schema, std::string_view name) const {
    return const_cast<Database*>(this)->findTable(schema, name);
}

Table* Database::tableById(int32_t id) {
    auto it = tables_.find(id);
    return it == tables_.end() ? nullptr : it->second.get();
}

const Table* Database::tableById(int32_t id) const {
    auto it = tables_.find(id);
    return it == tables_.end() ? nullptr : it->second.get();
}

const ViewSchema* Database::findView(std::string_view schema, std::string_view name) const {
    auto it = names_.find(nameKey(schema, name));
    if (it == names_.end() || it->second.kind != ObjectKind::View) return nullptr;
    return viewById(it->second.id);
}

const ViewSchema* Database::viewById(int32_t id) const {
    auto it = views_.find(id);
    return it == views_.end() ? nullptr : &it->second;
}

std::optional<ObjectRef> Database::findObject(std::string_view schema,
                                              std::string_view name) const {
    auto it = names_.find(nameKey(schema, name));
    if (it == names_.end()) return std::nullopt;
    return it->second;
}

namespace {

constexpr std::pair<int32_t, std::string_view> kBuiltInSchemas[] = {
    {1, "dbo"}, {2, "guest"}, {3, "INFORMATION_SCHEMA"}, {4, "sys"}};
constexpr int32_t kFirstCreatedSchemaId = 5;

}  // namespace

std::optional<int32_t> Database::schemaId(std::string_view name) const {
    for (const auto& [id, builtIn] : kBuiltInSchemas) {
        if (identifierEqual(builtIn, name)) return id;
    }
    for (const auto& [id, schema] : schemas_) {
        if (identifierEqual(schema.name, name)) return id;
    }
    return std::nullopt;
}

std::string Database::schemaName(int32_t id) const {
    for (const auto& [builtInId, builtIn] : kBuiltInSchemas) {
        if (builtInId == id) return std::string(builtIn);
    }
    auto it = schemas_.find(id);
    return it == schemas_.end() ? std::string() : it->second.name;
}

int32_t Database::nextSchemaId() const {
    return schemas_.empty() ? kFirstCreatedSchemaId
                            : std::max(kFirstCreatedSchemaId, schemas_.rbegin()->first + 1);
}

std::string Database::firstObjectOfSchema(std::string_view schema) const {
    for (const auto& [id, table] : tables_) {
        if (identifierEqual(table->schema.schema, schema)) return table->schema.name;
    }
    for (const auto& [id, view] : views_) {
        if (identifierEqual(view.schema, schema)) return view.name;
    }
    return {};
}

// A constraint of a table with that object id, and its name. Indexes that are not the
// index of a PRIMARY KEY or UNIQUE constraint have no object id of their own (their
// constraintId is 0), so they never answer for one.
std::optional<ObjectRef> Database::findConstraint(int32_t id, const std::string** name) const {
    for (const auto& [tid, table] : tables_) {
        for (const auto& d : table->schema.defaults) {
            if (d.id != id) continue;
            if (name) *name = &d.name;
            return ObjectRef{ObjectKind::Default, id, tid};
        }
        for (const auto& ix : table->schema.indexes) {
            if (ix.constraint == KeyConstraint::None || ix.constraintId != id) continue;
            if (name) *name = &ix.name;
            return ObjectRef{ix.constraint == KeyConstraint::PrimaryKey ? ObjectKind::PrimaryKey
                                                                        : ObjectKind::UniqueKey,
                             id, tid};
        }
        for (const auto& c : table->schema.checks) {
            if (c.id != id) continue;
            if (name) *name = &c.name;
            return ObjectRef{ObjectKind::Check, id, tid};
        }
        for (const auto& f : table->schema.foreignKeys) {
            if (f.id != id) continue;
            if (name) *name = &f.name;
            return ObjectRef{ObjectKind::ForeignKey, id, tid};
        }
    }
    return std::nullopt;
}

std::optional<ObjectRef> Database::objectById(int32_t id) const {
    if (tables_.count(id)) return ObjectRef{ObjectKind::Table, id, 0};
    if (views_.count(id)) return ObjectRef{ObjectKind::View, id, 0};
    if (auto m = modules_.find(id);
        m != modules_.end() && m->second.kind != ModuleSchema::Kind::AliasType)
        return ObjectRef{moduleObjectKind(m->second), id, m->second.parentId};
    return findConstraint(id, nullptr);
}

const ModuleSchema* Database::moduleById(int32_t id) const {
    auto it = modules_.find(id);
    return it == modules_.end() ? nullptr : &it->second;
}

const ModuleSchema* Database::findProcedure(std::string_view schema, std::string_view name) const {
    auto ref = findObject(schema, name);
    if (!ref || (ref->kind != ObjectKind::Procedure && ref->kind != ObjectKind::Trigger))
        return nullptr;
    return moduleById(ref->id);
}

const ModuleSchema* Database::findFunction(std::string_view schema, std::string_view name) const {
    auto ref = findObject(schema, name);
    if (!ref || ref->kind != ObjectKind::Function) return nullptr;
    return moduleById(ref->id);
}

const ModuleSchema* Database::findAliasType(std::string_view name) const {
    for (const auto& [id, m] : modules_) {
        if (m.kind == ModuleSchema::Kind::AliasType && identifierEqual(m.name, name)) return &m;
    }
    return nullptr;
}

int32_t Database::nextAliasTypeId() const {
    int32_t next = 257;
    for (const auto& [id, m] : modules_) {
        if (m.kind == ModuleSchema::Kind::AliasType) next = std::max(next, id + 1);
    }
    return next;
}

std::string Database::objectName(int32_t id) const {
    if (auto t = tables_.find(id); t != tables_.end()) return t->second->schema.name;
    if (auto v = views_.find(id); v != views_.end()) return v->second.name;
    if (auto m = modules_.find(id);
        m != modules_.end() && m->second.kind != ModuleSchema::Kind::AliasType)
        return m->second.name;
    const std::string* name = nullptr;
    if (findConstraint(id, &name)) return *name;
    return {};
}

int32_t Database::nextObjectId(uint64_t& state) const {
    // A full-period 64-bit LCG; its high bits give ids that look like a server's.
    while (true) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        auto id = static_cast<int32_t>((state >> 33) & 0x7fffffff);
        if (id < 1000) continue;
        if (temporary_) id = -id;
        if (objectById(id)) continue;
        return id;
    }
}

void Database::indexTableNames(const TableSchema& schema) {
    names_[nameKey(schema.schema, schema.name)] = ObjectRef{ObjectKind::Table, schema.id, 0};
    for (const auto& d : schema.defaults)
        names_[nameKey(schema.schema, d.name)] = ObjectRef{ObjectKind::Default, d.id, schema.id};
    for (const auto& ix : schema.indexes) {
        if (ix.constraint == KeyConstraint::None) continue;
        names_[nameKey(schema.schema, ix.name)] =
            ObjectRef{ix.constraint == KeyConstraint::PrimaryKey ? ObjectKind::PrimaryKey
                                                                 : ObjectKind::UniqueKey,
                      ix.constraintId, schema.id};
    }
    for (const auto& c : schema.checks)
        names_[nameKey(schema.schema, c.name)] = ObjectRef{ObjectKind::Check, c.id, schema.id};
    for (const auto& f : schema.foreignKeys)
        names_[nameKey(schema.schema, f.name)] = ObjectRef{ObjectKind::ForeignKey, f.id, schema.id};
    foreignKeys_ += schema.foreignKeys.size();
}

void Database::unindexTableNames(const TableSchema& schema) {
    auto eraseIf = [&](const std::string& name, int32_t id) {
        auto it = names_.find(nameKey(schema.schema, name));
        if (it != names_.end() && it->second.id == id) names_.erase(it);
    };
    eraseIf(schema.name, schema.id);
    for (const auto& d : schema.defaults)
        eraseIf(d.name, d.id);
    for (const auto& ix : schema.indexes) {
        if (ix.constraint != KeyConstraint::None) eraseIf(ix.name, ix.constraintId);
    }
    for (const auto& c : schema.checks)
        eraseIf(c.name, c.id);
    for (const auto& f : schema.foreignKeys)
        eraseIf(f.name, f.id);
    foreignKeys_ -= std::min(foreignKeys_, schema.foreignKeys.size());
}

int64_t findSlots(const TableData& data, const std::vector<RowId>& rows,
                  std::vector<int64_t>& slots) {
    // Rows come in ascending order from the executor: each is searched for from where the
    // previous one was found, galloping then halving, so that a whole-table change costs a
    // walk and a single row (what a record set's save sends) a logarithm, not a walk from
    // the start of the table. Rows out of order fall back to a search of the whole table.
    slots.resize(rows.size());
    const auto begin = data.rowIds.begin(), end = data.rowIds.end();
    auto cursor = begin;
    int64_t found = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        const RowId r = rows[i];
        if (cursor != end && *cursor > r) cursor = begin;
        size_t step = 1;
        auto low = cursor;
        while (cursor != end && *cursor < r) {
            low = cursor;
            const size_t left = static_cast<size_t>(end - cursor);
            cursor += static_cast<std::ptrdiff_t>(std::min(step, left));
            step *= 2;
        }
        cursor = std::lower_bound(low, cursor, r);
        if (cursor != end && *cursor == r) {
            slots[i] = static_cast<int64_t>(cursor - begin);
            ++found;
        } else {
            slots[i] = -1;
        }
    }
    return found;
}

Database::~Database() { definitionsChanged(); }

void Database::apply(const Change& change) {
    switch (change.kind) {
        case Change::Kind::InsertRows:
        case Change::Kind::UpdateCells:
        case Change::Kind::DeleteRows:
        case Change::Kind::ReplaceColumn:
        case Change::Kind::SetIdState:
            break;
        default:
            definitionsChanged();
    }
    // Key hashes follow appended rows and survive changes to cells outside their keys (rows
    // keep their slots); any other change to a table drops them.
    if (change.kind == Change::Kind::UpdateCells) {
        if (Table* t = tableById(change.objectId)) {
            for (auto it = t->keyHashes.begin(); it != t->keyHashes.end();) {
                const auto& positions = it->second->positions;
                const bool touched =
                    std::any_of(change.positions.begin(), change.positions.end(), [&](auto p) {
                        return std::find(positions.begin(), positions.end(), p) != positions.end();
                    });
                it = touched ? t->keyHashes.erase(it) : std::next(it);
            }
        }
    } else if (change.kind != Change::Kind::InsertRows) {
        int32_t id = change.kind == Change::Kind::PutTable ? change.table.id : change.objectId;
        if (Table* t = tableById(id)) {
            t->keyHashes.clear();
            if (change.kind != Change::Kind::DeleteRows) t->lookups.clear();
        }
    }
    switch (change.kind) {
        case Change::Kind::PutTable: {
            auto it = tables_.find(change.table.id);
            if (it == tables_.end()) {
                auto table = std::make_unique<Table>();
                table->schema = change.table;
                for (const auto& col : table->schema.columns)
                    table->data().columns.emplace_back(col.type);
                indexTableNames(table->schema);
                tables_.emplace(change.table.id, std::move(table));
            } else {
                Table& table = *it->second;
                unindexTableNames(table.schema);
                // A column whose cells convert to the same stored bytes changes its type here
                // alone; one whose cells change gets them through ReplaceColumn, which follows
                // in the same change list.
                table.redefine(change.table);
                indexTableNames(table.schema);
            }
            break;
        }
        case Change::Kind::DropTable: {
            auto it = tables_.find(change.objectId);
            if (it == tables_.end()) break;
            unindexTableNames(it->second->schema);
            for (auto p = permissions_.begin(); p != permissions_.end();) {
                p = p->objectId == change.objectId ? permissions_.erase(p) : p + 1;
            }
            tables_.erase(it);
            break;
        }
        case Change::Kind::AddColumn: {
            Table* table = tableById(change.objectId);
            if (!table) break;
            auto& cols = table->data().columns;
            size_t rows = table->data().rowCount();
            ColumnStore store = change.useFill ? ColumnStore(change.fill.type()) : change.data;
            if (change.useFill) {
                size_t pos = static_cast<size_t>(change.position);
                DataType type = pos < table->schema.columns.size() ? table->schema.columns[pos].type
                                                                   : change.fill.type();
                store = ColumnStore(type);
                store.fill(rows,
                           change.fill.isNull() ? Value::null(type) : change.fill.withType(type));
            }
            cols.insert(cols.begin() + std::min<size_t>(change.position, cols.size()),
                        std::move(store));
            break;
        }
        case Change::Kind::DropColumn: {
            Table* table = tableById(change.objectId);
            if (!table) break;
            auto& cols = table->data().columns;
            if (static_cast<size_t>(change.position) < cols.size())
                cols.erase(cols.begin() + change.position);
            break;
        }
        case Change::Kind::ReplaceColumn: {
            Table* table = tableById(change.objectId);
            if (!table) break;
            auto& cols = table->data().columns;
            if (static_cast<size_t>(change.position) < cols.size())
                cols[change.position] = change.data;
            break;
        }
        case Change::Kind::InsertRows: {
            Table* table = tableById(change.objectId);
            if (!table) break;
            TableData& data = table->data();
            const size_t first = data.rowIds.size();
            if (insertRows(data, change)) {
                for (auto& [indexId, hashes] : table->keyHashes) {
                    for (size_t slot = first; slot < data.rowIds.size(); ++slot)
                        hashes->slots.emplace(storedKeyHash(data, hashes->positions, slot), slot);
                }
                table->lookups.appended(data, first);
            } else {
                table->keyHashes.clear();
                table->lookups.clear();
            }
            table->schema.identityCurrent = change.identityCurrent;
            table->schema.identityUsed = change.identityUsed;
            break;
        }
        case Change::Kind::UpdateCells: {
            Table* table = tableById(change.objectId);
            if (!table) break;
            std::vector<int64_t> slots;
            findSlots(table->data(), change.rowIds, slots);
            // Every row, in order (UPDATE t SET c = 0): one value for all keeps it once.
            bool everyRow = slots.size() == table->data().rowCount() && !slots.empty();
            for (size_t i = 0; i < slots.size() && everyRow; ++i)
                everyRow = slots[i] == static_cast<int64_t>(i);
            for (size_t p = 0; p < change.positions.size() && p < change.values.size(); ++p) {
                size_t col = static_cast<size_t>(change.positions[p]);
                if (col >= table->data().columns.size()) continue;
                ColumnStore& dst = table->data().columns[col];
                const ColumnStore& src = change.values[p];
                if (everyRow && src.type() == dst.type() && src.size() == slots.size() &&
                    src.allSame()) {
                    dst.assignAll(slots.size(), src.get(0));
                    continue;
                }
                for (size_t i = 0; i < slots.size(); ++i) {
                    if (slots[i] >= 0) dst.setFrom(static_cast<size_t>(slots[i]), src, i);
                }
            }
            table->lookups.changed(table->data(), change.positions, slots);
            break;
        }
        case Change::Kind::DeleteRows: {
            Table* table = tableById(change.objectId);
            if (!table) break;
            TableData& data = table->data();
            std::vector<int64_t> slots;
            findSlots(data, change.rowIds, slots);
            std::vector<bool> keep(data.rowCount(), true);
            for (int64_t s : slots) {
                if (s >= 0) keep[static_cast<size_t>(s)] = false;
            }
            size_t out = 0;
            for (size_t i = 0; i < data.rowIds.size(); ++i) {
                if (keep[i]) data.rowIds[out++] = data.rowIds[i];
            }
            data.rowIds.resize(out);
            for (auto& c : data.columns)
                c.compact(keep);
            table->lookups.removed(keep);
            break;
        }
        case Change::Kind::PutView: {
            auto it = views_.find(change.view.id);
            if (it != views_.end()) {
                auto n = names_.find(nameKey(it->second.schema, it->second.name));
                if (n != names_.end() && n->second.id == change.view.id) names_.erase(n);
            }
            views_[change.view.id] = change.view;
            names_[nameKey(change.view.schema, change.view.name)] =
                ObjectRef{ObjectKind::View, change.view.id, 0};
            break;
        }
        case Change::Kind::DropView: {
            auto it = views_.find(change.objectId);
            if (it == views_.end()) break;
            auto n = names_.find(nameKey(it->second.schema, it->second.name));
            if (n != names_.end() && n->second.id == change.objectId) names_.erase(n);
            views_.erase(it);
            break;
        }
        case Change::Kind::PutModule: {
            const ModuleSchema& m = change.module;
            auto it = modules_.find(m.id);
            if (it != modules_.end() && it->second.kind != ModuleSchema::Kind::AliasType) {
                auto n = names_.find(nameKey(it->second.schema, it->second.name));
                if (n != names_.end() && n->second.id == m.id) names_.erase(n);
            }
            modules_[m.id] = m;
            if (m.kind != ModuleSchema::Kind::AliasType) {
                names_[nameKey(m.schema, m.name)] =
                    ObjectRef{moduleObjectKind(m), m.id, m.parentId};
            }
            break;
        }
        case Change::Kind::DropModule: {
            auto it = modules_.find(change.objectId);
            if (it == modules_.end()) break;
            if (it->second.kind != ModuleSchema::Kind::AliasType) {
                auto n = names_.find(nameKey(it->second.schema, it->second.name));
                if (n != names_.end() && n->second.id == change.objectId) names_.erase(n);
            }
            modules_.erase(it);
            break;
        }
        case Change::Kind::PutProperty: {
            for (auto& p : properties_) {
                if (identifierEqual(p.name, change.property.name)) {
                    p = change.property;
                    return;
                }
            }
            properties_.push_back(change.property);
            break;
        }
        case Change::Kind::DropProperty: {
            for (auto p = properties_.begin(); p != properties_.end(); ++p) {
                if (identifierEqual(p->name, change.property.name)) {
                    properties_.erase(p);
                    break;
                }
            }
            break;
        }
        case Change::Kind::PutPermission:
            for (const auto& p : permissions_) {
                if (p.objectId == change.permission.objectId &&
                    identifierEqual(p.permission, change.permission.permission) &&
                    identifierEqual(p.principal, change.permission.principal))
                    return;
            }
            permissions_.push_back(change.permission);
            break;
        case Change::Kind::SetIdState:
            idState_ = change.idState;
            break;
        case Change::Kind::PutSchema:
            schemas_[change.schema.id] = change.schema;
            break;
        case Change::Kind::DropSchema:
            schemas_.erase(change.objectId);
            break;
    }
}

namespace {

// The cells of the given rows of a table, one store per column.
std::vector<ColumnStore> rowsOf(const TableData& data, const std::vector<int64_t>& slots) {
    std::vector<ColumnStore> out;
    for (const auto& column : data.columns) {
        ColumnStore store(column.type());
        store.reserve(slots.size());
        for (int64_t s : slots)
            store.push(column.get(static_cast<size_t>(s)));
        out.push_back(std::move(store));
    }
    return out;
}

}  // namespace

void Database::appendInverse(const Change& c, ChangeList& undo) const {
    // Each inverse is a list applied in order; undo lists run backwards, so a multi-change
    // inverse is appended last change first.
    auto push = [&](Change inverse) { undo.push_back(std::move(inverse)); };
    switch (c.kind) {
        case Change::Kind::PutTable: {
            const Table* t = tableById(c.table.id);
            Change inverse;
            if (t) {
                inverse.kind = Change::Kind::PutTable;
                inverse.table = t->schema;
            } else {
                inverse.kind = Change::Kind::DropTable;
                inverse.objectId = c.table.id;
            }
            push(std::move(inverse));
            break;
        }
        case Change::Kind::DropTable: {
            const Table* t = tableById(c.objectId);
            if (!t) break;
            Change rows;
            rows.kind = Change::Kind::InsertRows;
            rows.objectId = c.objectId;
            rows.rowIds = t->data().rowIds;
            rows.values = t->data().columns;
            rows.identityCurrent = t->schema.identityCurrent;
            rows.identityUsed = t->schema.identityUsed;
            push(std::move(rows));
            Change put;
            put.kind = Change::Kind::PutTable;
            put.table = t->schema;
            push(std::move(put));
            break;
        }
        case Change::Kind::AddColumn: {
            Change drop;
            drop.kind = Change::Kind::DropColumn;
            drop.objectId = c.objectId;
            drop.position = c.position;
            push(std::move(drop));
            break;
        }
        case Change::Kind::DropColumn:
        case Change::Kind::ReplaceColumn: {
            const Table* t = tableById(c.objectId);
            if (!t || static_cast<size_t>(c.position) >= t->data().columns.size()) break;
            Change restore;
            restore.kind = c.kind == Change::Kind::DropColumn ? Change::Kind::AddColumn
                                                              : Change::Kind::ReplaceColumn;
            restore.objectId = c.objectId;
            restore.position = c.position;
            restore.data = t->data().columns[c.position];
            push(std::move(restore));
            break;
        }
        case Change::Kind::InsertRows: {
            Change drop;
            drop.kind = Change::Kind::DeleteRows;
            drop.objectId = c.objectId;
            drop.rowIds = c.rowIds;
            push(std::move(drop));
            break;
        }
        case Change::Kind::UpdateCells: {
            const Table* t = tableById(c.objectId);
            if (!t) break;
            std::vector<int64_t> slots;
            for (RowId r : c.rowIds)
                slots.push_back(t->data().slotOf(r));
            Change old;
            old.kind = Change::Kind::UpdateCells;
            old.objectId = c.objectId;
            old.rowIds = c.rowIds;
            old.positions = c.positions;
            for (int32_t p : c.positions) {
                ColumnStore store(t->data().columns[p].type());
                for (int64_t s : slots)
                    store.push(s >= 0 ? t->data().columns[p].get(static_cast<size_t>(s)) : Value());
                old.values.push_back(std::move(store));
            }
            push(std::move(old));
            break;
        }
        case Change::Kind::DeleteRows: {
            const Table* t = tableById(c.objectId);
            if (!t) break;
            Change rows;
            rows.kind = Change::Kind::InsertRows;
            rows.objectId = c.objectId;
            std::vector<int64_t> slots;
            for (RowId r : c.rowIds) {
                int64_t s = t->data().slotOf(r);
                if (s < 0) continue;
                slots.push_back(s);
                rows.rowIds.push_back(r);
            }
            rows.values = rowsOf(t->data(), slots);
            rows.identityCurrent = t->schema.identityCurrent;
            rows.identityUsed = t->schema.identityUsed;
            push(std::move(rows));
            break;
        }
        case Change::Kind::PutView: {
            Change inverse;
            if (const ViewSchema* v = viewById(c.view.id)) {
                inverse.kind = Change::Kind::PutView;
                inverse.view = *v;
            } else {
                inverse.kind = Change::Kind::DropView;
                inverse.objectId = c.view.id;
            }
            push(std::move(inverse));
            break;
        }
        case Change::Kind::DropView: {
            if (const ViewSchema* v = viewById(c.objectId)) {
                Change put;
                put.kind = Change::Kind::PutView;
                put.view = *v;
                push(std::move(put));
            }
            break;
        }
        case Change::Kind::PutProperty:
        case Change::Kind::DropProperty: {
            Change inverse;
            inverse.kind = Change::Kind::DropProperty;
            inverse.property.name = c.property.name;
            for (const auto& p : properties_) {
                if (identifierEqual(p.name, c.property.name)) {
                    inverse.kind = Change::Kind::PutProperty;
                    inverse.property = p;
                }
            }
            push(std::move(inverse));
            break;
        }
        case Change::Kind::PutModule:
        case Change::Kind::DropModule: {
            const int32_t id = c.kind == Change::Kind::PutModule ? c.module.id : c.objectId;
            Change inverse;
            if (const ModuleSchema* m = moduleById(id)) {
                inverse.kind = Change::Kind::PutModule;
                inverse.module = *m;
            } else {
                inverse.kind = Change::Kind::DropModule;
                inverse.objectId = id;
            }
            push(std::move(inverse));
            break;
        }
        case Change::Kind::PutSchema: {
            Change drop;
            drop.kind = Change::Kind::DropSchema;
            drop.objectId = c.schema.id;
            push(std::move(drop));
            break;
        }
        case Change::Kind::DropSchema: {
            auto it = schemas_.find(c.objectId);
            if (it == schemas_.end()) break;
            Change put;
            put.kind = Change::Kind::PutSchema;
            put.schema = it->second;
            push(std::move(put));
            break;
        }
        case Change::Kind::PutPermission:
        case Change::Kind::SetIdState:
            break;
    }
}

ChangeList Database::metadataChanges() const {
    ChangeList out;
    for (const auto& [id, schema] : schemas_) {
        Change put;
        put.kind = Change::Kind::PutSchema;
        put.schema = schema;
        out.push_back(std::move(put));
    }
    for (const auto& [id, view] : views_) {
        Change put;
        put.kind = Change::Kind::PutView;
        put.view = view;
        out.push_back(std::move(put));
    }
    for (const auto& [id, m] : modules_) {
        Change put;
        put.kind = Change::Kind::PutModule;
        put.module = m;
        out.push_back(std::move(put));
    }
    for (const auto& p : properties_) {
        Change put;
        put.kind = Change::Kind::PutProperty;
        put.property = p;
        out.push_back(std::move(put));
    }
    for (const auto& p : permissions_) {
        Change put;
        put.kind = Change::Kind::PutPermission;
        put.permission = p;
        out.push_back(std::move(put));
    }
    Change ids;
    ids.kind = Change::Kind::SetIdState;
    ids.idState = idState_;
    out.push_back(std::move(ids));
    return out;
}

}  // namespace engine
