// DML triggers (CREATE TRIGGER ... ON t FOR | AFTER | INSTEAD OF INSERT, UPDATE, DELETE):
// their definitions, and their run after (or instead of) the statement that fires them.
//
// A trigger runs once per statement, also when it changed no rows, after the statement's
// rows are written, inside the statement's transaction: when none is open, the statement
// and its triggers run in one of their own, so that an error that ends the batch in a
// trigger, or its ROLLBACK TRANSACTION, takes the statement back too. A trigger that ends
// the transaction ends the batch (3609). Its body sees the rows the statement removed and
// added as the tables `deleted` and `inserted`, the columns an UPDATE set through UPDATE(c),
// and the statement's row count in @@ROWCOUNT. A trigger does not fire itself again through
// its own statements (recursive triggers are off, as by default).
//
// An INSTEAD OF trigger (one per event and table or view at most; a view takes no other
// kind) runs in place of its statement: the statement writes nothing and checks no
// constraint; the trigger sees in `inserted` and `deleted` the rows it would have written
// and removed (a view's rows, with the view's columns). What the trigger's own statements
// do to the table is done, and fires the AFTER triggers, not the INSTEAD OF trigger again.
// Thread-compatible.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "engine/catalog/database.h"
#include "engine/exec/context.h"
#include "engine/exec/source.h"
#include "engine/sql/ast.h"

namespace engine::exec {

enum class TriggerEvent { Insert, Update, Delete };
enum class TriggerTiming { After, InsteadOf };

// What a trigger's stored definition says of when it fires (nullopt if it no longer parses).
struct TriggerTraits {
    bool insteadOf = false;
    bool onInsert = false, onUpdate = false, onDelete = false;
    bool firesOn(TriggerEvent event) const;
};
std::optional<TriggerTraits> triggerTraits(const ModuleSchema& module);
// Whether a table has an INSTEAD OF trigger for the event.
bool hasInsteadOfTrigger(const Database& db, int32_t tableId, TriggerEvent event);
// Whether a table has any trigger.
bool hasTriggers(const Database& db, int32_t tableId);

// What the body of a running trigger sees of its statement.
struct TriggerRows {
    std::shared_ptr<Rowset> inserted, deleted;  // the table's columns
    std::vector<int> updatedColumns;            // positions an UPDATE set; INSERT: all
};

// CREATE / ALTER TRIGGER (8197 for a table or view that does not exist and for an AFTER
// trigger on a view, 2714 for a name taken,
// 2111 for a second INSTEAD OF trigger of an event, 2113 for INSTEAD OF DELETE or UPDATE on
// a table whose FOREIGN KEY cascades that action).
void executeTriggerDefinition(ExecContext& ctx, const sql::TriggerStmt& trigger);

// The triggers of a timing that a statement of the event on a table fires, for the length
// of the statement. For INSTEAD OF, active() says the statement must not write.
class TriggerFiring {
  public:
    TriggerFiring(ExecContext& ctx, const Table& table, TriggerEvent event,
                  TriggerTiming timing = TriggerTiming::After);
    // The INSTEAD OF trigger of a view (of the current database), whose rows have the
    // view's columns.
    TriggerFiring(ExecContext& ctx, const ViewSchema& view, std::vector<SourceColumn> columns,
                  TriggerEvent event);
    ~TriggerFiring();
    TriggerFiring(const TriggerFiring&) = delete;
    TriggerFiring& operator=(const TriggerFiring&) = delete;

    bool active() const { return !triggers_.empty(); }
    // Before the statement writes: its changes are then recorded to be taken back.
    void begin();
    // After the statement wrote its rows (full rows in the table's column order): runs the
    // triggers; raises 3609 when one ended the transaction. @@ROWCOUNT is rowCount after.
    void fire(std::vector<std::vector<Value>> inserted, std::vector<std::vector<Value>> deleted,
              std::vector<int> updatedColumns, int64_t rowCount);

  private:
    void collect(const Database& db, int32_t parentId, TriggerEvent event, TriggerTiming timing);

    ExecContext& ctx_;
    std::vector<SourceColumn> columns_;  // of inserted and deleted
    std::vector<ModuleSchema> triggers_;
    bool ownsTransaction_ = false;
    bool done_ = false;
};

}  // namespace engine::exec
