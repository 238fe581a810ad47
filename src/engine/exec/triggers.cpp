#include "engine/exec/triggers.h"

#include <algorithm>

#include "engine/exec/batch.h"
#include "engine/exec/binder.h"
#include "engine/exec/ddl_support.h"
#include "engine/sql/parser.h"
#include "engine/types/collation.h"
#include "engine/types/compare.h"
#include "engine/types/sql_message.h"

namespace engine::exec {

namespace {

// A trigger's definition parsed again from its stored text (nullptr if it no longer
// parses).
struct ParsedTrigger {
    sql::ParseResult parsed;
    const sql::TriggerStmt* statement = nullptr;
};

ParsedTrigger parseTrigger(const ModuleSchema& module) {
    ParsedTrigger p;
    p.parsed = sql::parseBatch(module.text);
    if (p.parsed.ok() && !p.parsed.batch.statements.empty())
        p.statement = p.parsed.batch.statements[0]->as<sql::TriggerStmt>();
    return p;
}

const char* eventName(TriggerEvent event) {
    switch (event) {
        case TriggerEvent::Insert:
            return "INSERT";
        case TriggerEvent::Update:
            return "UPDATE";
        case TriggerEvent::Delete:
            return "DELETE";
    }
    return "";
}

std::shared_ptr<Rowset> rowsOf(const std::vector<SourceColumn>& columns,
                               std::vector<std::vector<Value>> rows) {
    auto set = std::make_shared<Rowset>();
    set->columns = columns;
    set->rows = std::move(rows);
    return set;
}

TriggerTraits traitsOf(const sql::TriggerStmt& t) {
    TriggerTraits traits;
    traits.insteadOf = t.insteadOf;
    traits.onInsert = t.onInsert;
    traits.onUpdate = t.onUpdate;
    traits.onDelete = t.onDelete;
    return traits;
}

// SQL Server's limits on INSTEAD OF triggers: one per event, and none for DELETE or UPDATE
// where the table's FOREIGN KEY cascades that action (the cascade would bypass it).
// table: nullptr for a view.
void checkInsteadOf(ExecContext& ctx, const Database& db, int32_t parentId,
                    const TableSchema* table, const sql::TriggerStmt& trigger, int32_t replacing) {
    const TriggerTraits mine = traitsOf(trigger);
    const char* verb = trigger.alter ? "ALTER" : "CREATE";
    for (const auto& [id, module] : db.modules()) {
        if (module.kind != ModuleSchema::Kind::Trigger || module.parentId != parentId ||
            id == replacing)
            continue;
        auto other = triggerTraits(module);
        if (!other || !other->insteadOf) continue;
        for (TriggerEvent e : {TriggerEvent::Insert, TriggerEvent::Update, TriggerEvent::Delete}) {
            if (mine.firesOn(e) && other->firesOn(e))
                raise(ctx, 2111,
                      {verb, trigger.name.object, table ? "table" : "view", trigger.table.written,
                       eventName(e)});
        }
    }
    if (!table) return;
    for (const auto& fk : table->foreignKeys) {
        if ((mine.onDelete && fk.onDelete != ReferentialAction::NoAction) ||
            (mine.onUpdate && fk.onUpdate != ReferentialAction::NoAction))
            raise(ctx, 2113, {verb, trigger.name.object, trigger.table.written});
    }
}

}  // namespace

bool TriggerTraits::firesOn(TriggerEvent event) const {
    switch (event) {
        case TriggerEvent::Insert:
            return onInsert;
        case TriggerEvent::Update:
            return onUpdate;
        case TriggerEvent::Delete:
            return onDelete;
    }
    return false;
}

std::optional<TriggerTraits> triggerTraits(const ModuleSchema& module) {
    ParsedTrigger p = parseTrigger(module);
    if (!p.statement) return std::nullopt;
    return traitsOf(*p.statement);
}

bool hasInsteadOfTrigger(const Database& db, int32_t tableId, TriggerEvent event) {
    for (const auto& [id, module] : db.modules()) {
        if (module.kind != ModuleSchema::Kind::Trigger || module.parentId != tableId) continue;
        auto traits = triggerTraits(module);
        if (traits && traits->insteadOf && traits->firesOn(event)) return true;
    }
    return false;
}

bool hasTriggers(const Database& db, int32_t tableId) {
    for (const auto& [id, module] : db.modules()) {
        if (module.kind == ModuleSchema::Kind::Trigger && module.parentId == tableId) return true;
    }
    return false;
}

void executeTriggerDefinition(ExecContext& ctx, const sql::TriggerStmt& trigger) {
    Database& db = ctx.database();
    const Table* table = db.findTable(trigger.table.schema, trigger.table.object);
    const ViewSchema* view =
        table ? nullptr : db.findView(trigger.table.schema, trigger.table.object);
    // A view takes INSTEAD OF triggers only.
    if (!table && !(view && trigger.insteadOf)) raise(ctx, 8197, {trigger.table.written});
    const int32_t parentId = table ? table->schema.id : view->id;
    const std::string& parentSchema = table ? table->schema.schema : view->schema;
    const std::string& name = trigger.name.object;
    auto ref = db.findObject(parentSchema, name);
    const ModuleSchema* existing =
        ref && ref->kind == ObjectKind::Trigger ? db.moduleById(ref->id) : nullptr;
    if (trigger.alter && !existing) raise(ctx, 208, {trigger.name.written});
    if (!trigger.alter && ref) raise(ctx, 2714, {name});
    if (trigger.insteadOf)
        checkInsteadOf(ctx, db, parentId, table ? &table->schema : nullptr, trigger,
                       existing ? existing->id : 0);
    storeModule(ctx, ModuleSchema::Kind::Trigger, existing, parentSchema, name, trigger.text, parentId);
}

TriggerFiring::TriggerFiring(ExecContext& ctx, const Table& table, TriggerEvent event,
                             TriggerTiming timing)
    : ctx_(ctx) {
    collect(*ctx.entryOf(table).database, table.schema.id, event, timing);
    // The rows' columns serve the triggers alone (most tables have none).
    if (triggers_.empty()) return;
    columns_.reserve(table.schema.columns.size());
    for (const auto& c : table.schema.columns) {
        SourceColumn sc;
        sc.name = c.name;
        sc.type = c.type;
        sc.nullable = c.nullable;
        columns_.push_back(std::move(sc));
    }
}

TriggerFiring::TriggerFiring(ExecContext& ctx, const ViewSchema& view,
                             std::vector<SourceColumn> columns, TriggerEvent event)
    : ctx_(ctx), columns_(std::move(columns)) {
    for (auto& c : columns_) {
        c.identity = false;
        c.originTable = c.originColumn = -1;
    }
    collect(ctx.database(), view.id, event, TriggerTiming::InsteadOf);
}

void TriggerFiring::collect(const Database& db, int32_t parentId, TriggerEvent event,
                            TriggerTiming timing) {
    const auto& running = ctx_.session.runningTriggers;
    for (const auto& [id, module] : db.modules()) {
        if (module.kind != ModuleSchema::Kind::Trigger || module.parentId != parentId) continue;
        if (std::find(running.begin(), running.end(), id) != running.end()) continue;
        auto traits = triggerTraits(module);
        if (traits && traits->firesOn(event) &&
            traits->insteadOf == (timing == TriggerTiming::InsteadOf))
            triggers_.push_back(module);
    }
    // In the order they were made.
    std::stable_sort(triggers_.begin(), triggers_.end(),
                     [](const ModuleSchema& a, const ModuleSchema& b) {
                         return compareForSort(a.created, b.created) < 0;
                     });
}

TriggerFiring::~TriggerFiring() {
    // The statement or a trigger failed: what they did goes with the transaction of their
    // own (one the caller opened is the caller's to end).
    if (ownsTransaction_ && ctx_.session.tranCount > 0) rollbackTransaction(ctx_.session);
}

void TriggerFiring::begin() {
    if (!active() || ctx_.session.tranCount > 0) return;
    ctx_.session.tranCount = 1;
    ownsTransaction_ = true;
}

void TriggerFiring::fire(std::vector<std::vector<Value>> inserted,
                         std::vector<std::vector<Value>> deleted, std::vector<int> updatedColumns,
                         int64_t rowCount) {
    if (!active()) return;
    TriggerRows rows;
    rows.inserted = rowsOf(columns_, std::move(inserted));
    rows.deleted = rowsOf(columns_, std::move(deleted));
    rows.updatedColumns = std::move(updatedColumns);
    SessionRuntime& session = ctx_.session;
    for (const ModuleSchema& module : triggers_) {
        ParsedTrigger p = parseTrigger(module);
        if (!p.statement) continue;
        if (ctx_.depth >= 32) raise(ctx_, 217);
        ExecContext child(session, ctx_.out);
        child.depth = ctx_.depth + 1;
        child.procedure = module.name;
        TemporaryScope temporaries(session, child.depth);
        child.trigger = &rows;
        session.lastRowCount = rowCount;
        struct Running {
            std::vector<int32_t>& ids;
            ~Running() { ids.pop_back(); }
        } running{session.runningTriggers};
        session.runningTriggers.push_back(module.id);
        {
            SettingsRestore restore(session);
            // A trigger runs with XACT_ABORT on unless it sets it off: an error in it takes
            // back the whole transaction, the statement that fired it included, and ends
            // the batch.
            session.settings.xactAbort = true;
            runProcedureBody(child, p.statement->body);
        }
        if (session.tranCount == 0) {
            // ROLLBACK in the trigger took the statement back already.
            ownsTransaction_ = false;
            raise(ctx_, 3609);
        }
    }
    session.lastRowCount = rowCount;
    if (ownsTransaction_) {
        endTransaction(session);
        ownsTransaction_ = false;
    }
}

// --- the trigger's view of its statement (binder) ----------------------------------------

std::unique_ptr<Source> Binder::triggerSource(const sql::TableRef& ref) {
    const TriggerRows* rows = ctx_.trigger;
    if (!rows || !ref.name.schema.empty() || !ref.name.database.empty()) return nullptr;
    std::shared_ptr<Rowset> set;
    if (identifierEqual(ref.name.object, "inserted")) {
        set = rows->inserted;
    } else if (identifierEqual(ref.name.object, "deleted")) {
        set = rows->deleted;
    } else {
        return nullptr;
    }
    auto source = std::make_unique<Source>();
    source->kind = Source::Kind::Rowset;
    source->objectName = ref.name.object;
    source->alias = ref.alias.empty() ? ref.name.object : ref.alias;
    source->aliased = !ref.alias.empty();
    source->columns = set->columns;
    source->generate = [set] { return *set; };
    return source;
}

BoundPredicatePtr Binder::bindUpdatedColumn(const sql::Expr& e) {
    if (e.args.size() != 1 || e.args[0]->kind != sql::ExprKind::Column) raise(ctx_, 4145, {"("});
    const std::string& column = e.args[0]->text;
    const auto& columns = ctx_.trigger->inserted->columns;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (!identifierEqual(columns[i].name, column)) continue;
        const auto& updated = ctx_.trigger->updatedColumns;
        const bool set =
            std::find(updated.begin(), updated.end(), static_cast<int>(i)) != updated.end();
        return std::make_unique<FixedPredicate>(set ? Tri::True : Tri::False);
    }
    SqlMessage m = sqlMessage(207, {column});
    m.line = e.line;
    throw SqlException(m);
}

}  // namespace engine::exec
