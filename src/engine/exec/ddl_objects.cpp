// CREATE/DROP INDEX, DROP TABLE/VIEW/..., CREATE/ALTER VIEW, CREATE/DROP DATABASE, USE,
// GRANT.
#include <algorithm>

#include "engine/exec/binder.h"
#include "engine/exec/ddl_support.h"
#include "engine/exec/foreign_keys.h"
#include "engine/exec/locks.h"
#include "engine/exec/statements.h"
#include "engine/exec/table_writes.h"
#include "engine/types/collation.h"
#include "engine/types/sql_message.h"

namespace engine::exec {

namespace {

// A database's files could not be created or removed.
[[noreturn]] void fileFailure(ExecContext& ctx, const char* statement, const std::string& failure) {
    SqlMessage m;
    m.number = 5123;
    m.severity = 16;
    m.state = 1;
    m.line = ctx.line;
    m.text = std::string(statement) + " failed: " + failure;
    throw SqlException(m);
}

Table* findNamedTable(Database& db, const sql::ObjectName& name) {
    return db.findTable(name.schema, name.object);
}

std::string lowerText(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The CHECK or DEFAULT constraint whose definition calls a function, if any: the stored
// definitions write a call as "[schema].[name](".
const std::string* constraintCalling(const Database& db, const ModuleSchema& function) {
    const std::string call = lowerText("[" + function.schema + "].[" + function.name + "](");
    for (const auto& [id, table] : db.tables()) {
        for (const auto& c : table->schema.checks) {
            if (lowerText(c.definition).find(call) != std::string::npos) return &c.name;
        }
        for (const auto& d : table->schema.defaults) {
            if (lowerText(d.definition).find(call) != std::string::npos) return &d.name;
        }
    }
    return nullptr;
}

}  // namespace

void executeCreateIndex(ExecContext& ctx, const sql::CreateIndexStmt& create) {
    InTemporaryDatabase tempdb(ctx.session, temporaryEntryFor(ctx, create.table));
    Table* table = findNamedTable(ctx.database(), create.table);
    if (!table) {
        SqlMessage m = sqlMessage(1088, {create.table.written});
        m.severity = 16;
        m.line = ctx.line;
        throw SqlException(m);
    }
    TableSchema schema = table->schema;
    if (schema.indexByName(create.name)) raise(ctx, 1913, {create.name, "table", schema.name});
    IndexSchema index;
    index.name = create.name;
    index.unique = create.unique;
    index.clustered = create.clustered.value_or(false);
    if (index.clustered) {
        for (const auto& ix : schema.indexes) {
            if (ix.clustered) raise(ctx, 1902, {"table", schema.name, ix.name});
        }
    }
    for (const auto& c : create.columns) {
        int p = schema.columnIndex(c.name);
        if (p < 0) raise(ctx, 1911, {c.name});
        if (isLargeObject(schema.columns[p].type)) raise(ctx, 1919, {c.name, schema.name});
        index.keys.push_back(IndexKey{schema.columns[p].id, c.descending});
    }
    index.indexId = newIndexId(schema, index.clustered);
    index.created = now(ctx);
    if (index.unique) checkNewUniqueIndex(ctx, *table, index);
    schema.indexes.push_back(std::move(index));
    StatementChanges changes(ctx.entry());
    changes.putTable(schema);
    changes.commit(ctx);
}

void executeDropIndex(ExecContext& ctx, const sql::DropIndexStmt& drop) {
    // One statement changes one database: its first table's.
    InTemporaryDatabase tempdb(ctx.session,
                               drop.items.empty() ? nullptr : temporaryEntryFor(ctx, drop.items[0].table));
    StatementChanges changes(ctx.entry());
    Database& db = ctx.database();
    std::vector<TableSchema> changed;
    for (const auto& item : drop.items) {
        Table* table = findNamedTable(db, item.table);
        if (!table) raise(ctx, 3701, {"drop", "index", item.written});
        TableSchema* schema = nullptr;
        for (auto& s : changed) {
            if (s.id == table->schema.id) schema = &s;
        }
        if (!schema) {
            changed.push_back(table->schema);
            schema = &changed.back();
        }
        const IndexSchema* ix = schema->indexByName(item.index);
        if (!ix) {
            SqlMessage m = sqlMessageWithState(3701, 7, {"drop", "index", item.written});
            m.line = ctx.line;
            throw SqlException(m);
        }
        if (ix->constraint != KeyConstraint::None) {
            raise(ctx, 3723,
                  {item.written,
                   ix->constraint == KeyConstraint::PrimaryKey ? "PRIMARY KEY" : "UNIQUE KEY"});
        }
        std::string name = ix->name;
        schema->indexes.erase(std::remove_if(schema->indexes.begin(), schema->indexes.end(),
                                             [&](const IndexSchema& i) { return i.name == name; }),
                              schema->indexes.end());
    }
    for (const auto& s : changed)
        changes.putTable(s);
    changes.commit(ctx);
}

void executeDropObjects(ExecContext& ctx, const sql::DropObjectsStmt& drop) {
    const char* kind = drop.kind == sql::DropObjectsStmt::Kind::Table       ? "table"
                       : drop.kind == sql::DropObjectsStmt::Kind::View      ? "view"
                       : drop.kind == sql::DropObjectsStmt::Kind::Procedure ? "procedure"
                       : drop.kind == sql::DropObjectsStmt::Kind::Function  ? "function"
                       : drop.kind == sql::DropObjectsStmt::Kind::Trigger   ? "trigger"
                                                                            : "default";
    // Each name is dropped on its own: an error for one name does not undo the others.
    for (const auto& name : drop.names) {
        InTemporaryDatabase tempdb(ctx.session, drop.kind == sql::DropObjectsStmt::Kind::Table
                                                    ? temporaryEntryFor(ctx, name)
                                                    : nullptr);
        Database& db = ctx.database();
        StatementChanges changes(ctx.entry());
        auto ref = db.findObject(name.schema, name.object);
        bool matches =
            ref &&
            ((drop.kind == sql::DropObjectsStmt::Kind::Table && ref->kind == ObjectKind::Table) ||
             (drop.kind == sql::DropObjectsStmt::Kind::View && ref->kind == ObjectKind::View) ||
             (drop.kind == sql::DropObjectsStmt::Kind::Procedure &&
              ref->kind == ObjectKind::Procedure) ||
             (drop.kind == sql::DropObjectsStmt::Kind::Trigger &&
              ref->kind == ObjectKind::Trigger) ||
             (drop.kind == sql::DropObjectsStmt::Kind::Function &&
              ref->kind == ObjectKind::Function));
        if (!matches) {
            if (drop.ifExists) continue;
            if (ref && drop.kind == sql::DropObjectsStmt::Kind::Table &&
                ref->kind == ObjectKind::View)
                raise(ctx, 3705, {"TABLE", name.written, name.written, "view", "DROP VIEW"});
            if (ref && drop.kind == sql::DropObjectsStmt::Kind::View &&
                ref->kind == ObjectKind::Table)
                raise(ctx, 3705, {"VIEW", name.written, name.written, "table", "DROP TABLE"});
            raise(ctx, 3701, {"drop", kind, name.written});
        }
        if (ref->kind == ObjectKind::Function) {
            if (const std::string* user = constraintCalling(db, *db.moduleById(ref->id)))
                raise(ctx, 3729, {"DROP FUNCTION", name.written, *user});
        }
        if (ref->kind == ObjectKind::Table) {
            // A table that another table's FOREIGN KEY references stays (its own may).
            for (const auto& [t, fk] : referencingKeys(db, ref->id)) {
                if (t->schema.id != ref->id) raise(ctx, 3726, {name.written});
            }
        }
        if (ref->kind == ObjectKind::Table || ref->kind == ObjectKind::View) {
            // Its triggers go with it.
            for (const auto& [id, module] : db.modules()) {
                if (module.kind != ModuleSchema::Kind::Trigger || module.parentId != ref->id)
                    continue;
                Change m;
                m.kind = Change::Kind::DropModule;
                m.objectId = id;
                changes.add(std::move(m));
            }
        }
        Change c;
        c.kind = ref->kind == ObjectKind::Table ? Change::Kind::DropTable
                 : ref->kind == ObjectKind::Procedure || ref->kind == ObjectKind::Trigger ||
                         ref->kind == ObjectKind::Function
                     ? Change::Kind::DropModule
                     : Change::Kind::DropView;
        c.objectId = ref->id;
        changes.add(std::move(c));
        changes.commit(ctx);
    }
}

// CREATE / ALTER PROCEDURE: the definition is kept as written and compiled when it runs
// (names in it resolve then, as deferred name resolution does).
void executeProcedureDefinition(ExecContext& ctx, const sql::ProcedureStmt& proc) {
    Database& db = ctx.database();
    const std::string& name = proc.name.object;
    const ModuleSchema* existing = db.findProcedure(proc.name.schema, name);
    if (proc.alter && !existing) raise(ctx, 208, {proc.name.written});
    const std::string schema = existing ? existing->schema : schemaForNewObject(ctx, proc.name);
    if (!proc.alter && objectNameTaken(db, schema, name)) raise(ctx, 2714, {name});
    storeModule(ctx, ModuleSchema::Kind::Procedure, existing, schema, name, proc.text);
}

void executeCreateView(ExecContext& ctx, const sql::CreateViewStmt& create) {
    Database& db = ctx.database();
    const std::string& name = create.name.object;
    const ViewSchema* existing = db.findView(create.name.schema, name);
    if (create.alter && !existing) raise(ctx, 208, {create.name.written});
    const std::string schema = existing ? existing->schema : schemaForNewObject(ctx, create.name);
    if (!create.alter && objectNameTaken(db, schema, name)) raise(ctx, 2714, {name});
    // The query must bind now; its columns need names.
    Binder binder(ctx);
    auto query = binder.bindQuery(*create.query, nullptr, false);
    if (!create.columns.empty() && create.columns.size() != query->columns.size())
        raise(ctx, 8158, {name});
    if (create.columns.empty()) {
        for (size_t i = 0; i < query->columns.size(); ++i) {
            if (query->columns[i].name.empty()) raise(ctx, 4511, {std::to_string(i + 1)});
        }
    }
    StatementChanges changes(ctx.entry());
    ViewSchema view;
    view.id = existing ? existing->id : changes.newObjectId();
    view.schema = schema;
    view.name = existing ? existing->name : name;
    view.text = create.text;
    view.created = existing ? existing->created : now(ctx);
    Change put;
    put.kind = Change::Kind::PutView;
    put.view = std::move(view);
    changes.add(std::move(put));
    changes.commit(ctx);
}

namespace {

// DBCC CHECKDB: the database's files read through as a load would, every damaged place
// reported (824, or 5120 for a file that cannot be read), then the count (8989). A
// database that cannot be loaded can be checked too: that is when a check is wanted.
void checkDatabase(ExecContext& ctx, const sql::DatabaseStmt& stmt) {
    Server& server = *ctx.session.server;
    const DatabaseEntry* entry = stmt.name.empty() ? ctx.session.database : server.find(stmt.name);
    if (!entry) raise(ctx, 2520, {stmt.name});
    const store::CheckReport report = server.check(*entry);
    for (const store::LoadFailure& damage : report.damage) {
        SqlMessage m = unavailableMessages(entry->name, damage).front();
        m.line = ctx.line;
        ctx.out.message(m);
    }
    if (report.tornTail && !stmt.noInfoMessages) {
        SqlMessage m = messageAt(ctx, 0);
        m.severity = 0;
        m.text = report.tornTail->text() + "; it is dropped when the database is next opened.";
        ctx.out.message(m);
    }
    const size_t errors = report.damage.size();
    SqlMessage summary = messageAt(ctx, 8989, {"0", std::to_string(errors), entry->name});
    if (errors > 0) summary.severity = 16;
    if (errors > 0 || !stmt.noInfoMessages) ctx.out.message(summary);
    if (!stmt.noInfoMessages) ctx.out.message(messageAt(ctx, 2528));
}

// The DBCC commands that tune caches, traces or space: here there is nothing for them to
// do, so they only report that they completed. Any other command is refused (2526).
void otherDbcc(ExecContext& ctx, const sql::DatabaseStmt& stmt) {
    static constexpr std::string_view kNothingToDo[] = {
        "FREEPROCCACHE", "DROPCLEANBUFFERS", "FREESYSTEMCACHE", "FREESESSIONCACHE",
        "UPDATEUSAGE",   "TRACEON",          "TRACEOFF",        "CHECKCATALOG"};
    bool known = false;
    for (auto command : kNothingToDo)
        known = known || stmt.command == command;
    if (!known) raise(ctx, 2526);
    if (!stmt.noInfoMessages) ctx.out.message(messageAt(ctx, 2528));
}

// ALTER DATABASE ... SET: the options are those of a server's storage, recovery and
// connections, which this engine does not have (every statement is durable when it
// returns). The ones that would change what later statements may do are refused.
void alterDatabaseSet(ExecContext& ctx, const sql::DatabaseStmt& stmt) {
    if (ctx.session.tranCount > 0) raise(ctx, 226, {"ALTER DATABASE"});
    Server& server = *ctx.session.server;
    std::string error;
    const DatabaseEntry* entry =
        stmt.name.empty() ? ctx.session.database : server.database(stmt.name, error);
    if (!entry) {
        SqlMessage detail = messageAt(ctx, 5011, {stmt.name});
        SqlMessage failed = messageAt(ctx, 5069);
        throw SqlException(std::vector<SqlMessage>{detail, failed});
    }
    for (const auto& option : stmt.options) {
        if (option == "READ_ONLY" || option == "EMERGENCY") {
            SqlMessage detail = messageAt(ctx, 5058, {option, entry->name});
            SqlMessage failed = messageAt(ctx, 5069);
            throw SqlException(std::vector<SqlMessage>{detail, failed});
        }
    }
}

}  // namespace

void executeDatabaseStatement(ExecContext& ctx, const sql::DatabaseStmt& stmt) {
    Server& server = *ctx.session.server;
    switch (stmt.kind) {
        case sql::DatabaseStmt::Kind::CheckDb:
            return checkDatabase(ctx, stmt);
        case sql::DatabaseStmt::Kind::Dbcc:
            return otherDbcc(ctx, stmt);
        case sql::DatabaseStmt::Kind::AlterSet:
            return alterDatabaseSet(ctx, stmt);
        case sql::DatabaseStmt::Kind::Checkpoint:
            // Every statement is on disk when it returns: nothing is left to write.
            return;
        case sql::DatabaseStmt::Kind::UpdateStatistics: {
            // No statistics are kept (plans do not depend on them); the table must exist.
            const std::string& schema = stmt.table.schema;
            InTemporaryDatabase tempdb(ctx.session, temporaryEntryFor(ctx, stmt.table));
            if (!ctx.database().findTable(schema, stmt.table.object))
                raise(ctx, 1088, {stmt.table.written});
            return;
        }
        default:
            break;
    }
    std::string error;
    DatabaseEntry* entry = server.database(stmt.name, error);
    if (stmt.kind != sql::DatabaseStmt::Kind::Use && ctx.session.tranCount > 0)
        raise(ctx, 226,
              {stmt.kind == sql::DatabaseStmt::Kind::Create ? "CREATE DATABASE" : "DROP DATABASE"});
    switch (stmt.kind) {
        case sql::DatabaseStmt::Kind::Create: {
            if (entry || !error.empty()) raise(ctx, 1801, {stmt.name});
            std::string failure = server.createDatabase(stmt.name);
            if (!failure.empty()) fileFailure(ctx, "CREATE DATABASE", failure);
            break;
        }
        case sql::DatabaseStmt::Kind::Drop: {
            if (!entry) {
                // A database whose files cannot be loaded can still be dropped (nobody can
                // be using it), as SQL Server drops a suspect database.
                DatabaseEntry* unavailable = error.empty() ? nullptr : server.find(stmt.name);
                if (!unavailable || identifierEqual(unavailable->name, "master"))
                    raise(ctx, 3701, {"drop", "database", stmt.name});
                std::string failure = server.dropDatabase(unavailable);
                if (!failure.empty()) fileFailure(ctx, "DROP DATABASE", failure);
                break;
            }
            if (identifierEqual(entry->name, "master"))
                raise(ctx, 3708, {"database", entry->name, "database"});
            // Not while a transaction or statement of another session works in it.
            entry = lockDatabase(ctx.session, entry, LockMode::Exclusive, false);
            if (!entry) raise(ctx, 3701, {"drop", "database", stmt.name});
            if (entry->sessions > 0) raise(ctx, 3702, {entry->name});
            std::string failure = server.dropDatabase(entry);
            if (!failure.empty()) fileFailure(ctx, "DROP DATABASE", failure);
            break;
        }
        case sql::DatabaseStmt::Kind::Use: {
            if (!entry) raiseUnavailable(ctx, stmt.name, 911);
            if (entry != ctx.session.database) {
                server.attach(*entry);
                server.detach(*ctx.session.database);
                ctx.session.database = entry;
            }
            ctx.out.databaseChanged(entry->name);
            SqlMessage m = sqlMessage(5701, {entry->name});
            m.line = ctx.line;
            ctx.out.message(m);
            break;
        }
        default:
            break;
    }
}

void executeSchemaStatement(ExecContext& ctx, const sql::SchemaStmt& stmt) {
    Database& db = ctx.database();
    auto existing = db.schemaId(stmt.name);
    StatementChanges changes(ctx.entry());
    Change c;
    if (stmt.kind == sql::SchemaStmt::Kind::Create) {
        if (existing) raise(ctx, 2714, {stmt.name});
        c.kind = Change::Kind::PutSchema;
        c.schema.id = db.nextSchemaId();
        c.schema.name = stmt.name;
        c.schema.owner = stmt.owner.empty() ? stmt.name : stmt.owner;
    } else {
        if (!existing || !db.createdSchemas().count(*existing))
            raise(ctx, 3701, {"drop", "schema", stmt.name});
        std::string user = db.firstObjectOfSchema(stmt.name);
        if (!user.empty()) raise(ctx, 3729, {"drop schema", stmt.name, user});
        c.kind = Change::Kind::DropSchema;
        c.objectId = *existing;
    }
    changes.add(std::move(c));
    changes.commit(ctx);
}

void executeGrant(ExecContext& ctx, const sql::GrantStmt& grant) {
    Database& db = ctx.database();
    int32_t objectId = 0;
    if (!grant.object.empty()) {
        auto ref = db.findObject(grant.object.schema, grant.object.object);
        if (!ref) raise(ctx, 15151, {"find", "object", grant.object.written});
        objectId = ref->id;
    }
    StatementChanges changes(ctx.entry());
    bool all = false;
    if (!grant.revoke && !grant.deny) {
        for (const auto& permission : grant.permissions) {
            for (const auto& principal : grant.principals) {
                Change c;
                c.kind = Change::Kind::PutPermission;
                c.permission.permission = permission;
                for (auto& ch : c.permission.permission)
                    ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
                c.permission.objectId = objectId;
                c.permission.principal = principal;
                changes.add(std::move(c));
            }
            all = all || identifierEqual(permission, "ALL");
        }
    }
    changes.commit(ctx);
    if (all) {
        // GRANT ALL succeeds with the deprecation text as an informational message.
        SqlMessage m = sqlMessage(4628);
        m.severity = 0;
        m.line = ctx.line;
        ctx.out.message(m);
    }
}

}  // namespace engine::exec

namespace engine::exec {

void createAliasType(ExecContext& ctx, const std::string& schema, const std::string& name,
                     const std::string& baseText, std::optional<bool> nullable) {
    Database& db = ctx.database();
    auto base = parseBaseType(baseText);
    if (!base) raise(ctx, 243, {baseText});
    if (db.findAliasType(name) || resolveTypeName(name, std::nullopt, std::nullopt, false))
        raise(ctx, 219, {name});
    StatementChanges changes(ctx.entry());
    Change put;
    put.kind = Change::Kind::PutModule;
    put.module.kind = ModuleSchema::Kind::AliasType;
    put.module.id = db.nextAliasTypeId();
    put.module.schema = schema.empty() ? "dbo" : schema;
    put.module.name = name;
    put.module.text = base->written.empty() ? baseText : base->written;
    put.module.nullable = nullable.value_or(true);
    put.module.created = now(ctx);
    changes.add(std::move(put));
    changes.commit(ctx);
}

void dropAliasType(ExecContext& ctx, const std::string& name, bool ifExists) {
    const ModuleSchema* alias = ctx.database().findAliasType(name);
    if (!alias) {
        if (ifExists) return;
        raise(ctx, 218, {name});
    }
    StatementChanges changes(ctx.entry());
    Change drop;
    drop.kind = Change::Kind::DropModule;
    drop.objectId = alias->id;
    changes.add(std::move(drop));
    changes.commit(ctx);
}

void executeTypeStatement(ExecContext& ctx, const sql::TypeStmt& stmt) {
    if (stmt.drop) return dropAliasType(ctx, stmt.name.object, stmt.ifExists);
    std::string base = stmt.base.written.empty() ? stmt.base.name : stmt.base.written;
    createAliasType(ctx, stmt.name.schema, stmt.name.object, base, stmt.nullable);
}

}  // namespace engine::exec
