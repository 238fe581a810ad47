#include "engine/exec/temporary_tables.h"

#include "engine/exec/context.h"
#include "engine/sql/ast.h"
#include "engine/types/collation.h"

namespace engine::exec {

namespace {

// tempdb's id on every SQL Server.
constexpr int32_t kTempdbId = 2;

}  // namespace

bool isLocalTemporary(std::string_view name) {
    return name.size() > 1 && name[0] == '#' && name[1] != '#';
}

DatabaseEntry& TemporaryTables::scope(int level) {
    std::unique_ptr<DatabaseEntry>& entry = scopes_[level];
    if (!entry) {
        entry = std::make_unique<DatabaseEntry>();
        entry->name = "tempdb";
        entry->id = kTempdbId;
        entry->temporary = true;
        entry->database = std::make_unique<Database>(entry->name, kTempdbId, true);
        // Each scope draws its ids from another point of the sequence, so that the tables
        // of a caller and of the procedures it calls have different ids.
        Change ids;
        ids.kind = Change::Kind::SetIdState;
        ids.idState = entry->database->idState() + 0x9E3779B97F4A7C15ull * ++scopesMade_;
        entry->database->apply(ids);
    }
    return *entry;
}

DatabaseEntry* TemporaryTables::holding(std::string_view schema, std::string_view name) const {
    for (auto it = scopes_.rbegin(); it != scopes_.rend(); ++it) {
        if (it->second->database->findTable(schema, name)) return it->second.get();
    }
    return nullptr;
}

DatabaseEntry* TemporaryTables::holding(const Table& table) const {
    for (const auto& [level, entry] : scopes_) {
        if (entry->database->tableById(table.schema.id) == &table) return entry.get();
    }
    return nullptr;
}

DatabaseEntry* TemporaryTables::holdingId(int32_t objectId) const {
    for (const auto& [level, entry] : scopes_) {
        if (entry->database->tableById(objectId)) return entry.get();
    }
    return nullptr;
}

std::vector<const Database*> TemporaryTables::databases() const {
    std::vector<const Database*> all;
    for (const auto& [level, entry] : scopes_)
        all.push_back(entry->database.get());
    return all;
}

std::vector<std::unique_ptr<DatabaseEntry>> TemporaryTables::takeFrom(int level) {
    std::vector<std::unique_ptr<DatabaseEntry>> taken;
    for (auto it = scopes_.lower_bound(level); it != scopes_.end(); it = scopes_.erase(it))
        taken.push_back(std::move(it->second));
    return taken;
}

DatabaseEntry* temporaryEntryFor(const ExecContext& ctx, const sql::ObjectName& name) {
    if (!isLocalTemporary(name.object)) return nullptr;
    if (!name.database.empty() && !identifierEqual(name.database, "tempdb")) return nullptr;
    return ctx.session.temporaryTables.holding(name.schema, name.object);
}

void endTemporaryScopes(SessionRuntime& session, int level) {
    for (const std::unique_ptr<DatabaseEntry>& gone : session.temporaryTables.takeFrom(level)) {
        session.undo.erase(gone.get());
        for (SessionRuntime::Savepoint& savepoint : session.savepoints)
            savepoint.undoSizes.erase(gone.get());
    }
}

InTemporaryDatabase::InTemporaryDatabase(SessionRuntime& session, DatabaseEntry* scope)
    : session_(session), saved_(session.database) {
    if (scope) session_.database = scope;
}

InTemporaryDatabase::~InTemporaryDatabase() {
    session_.database = saved_;
}

}  // namespace engine::exec
