// DML triggers (CREATE TRIGGER ... ON t FOR | AFTER INSERT, UPDATE, DELETE): their
// definitions, and their run after the statement that fires them.
//
// A trigger runs once per statement, also when it changed no rows, after the statement's
// rows are written, inside the statement's transaction: when none is open, the statement
// and its triggers run in one of their own, so that an error that ends the batch in a
// trigger, or its ROLLBACK TRANSACTION, takes the statement back too. A trigger that ends
// the transaction ends the batch (3609). Its body sees the rows the statement removed and
// added as the tables `deleted` and `inserted`, the columns an UPDATE set through UPDATE(c),
// and the statement's row count in @@ROWCOUNT. A trigger does not fire itself again through
// its own statements (recursive triggers are off, as by default). Thread-compatible.
#pragma once

#include <memory>
#include <vector>

#include "engine/catalog/database.h"
#include "engine/exec/context.h"
#include "engine/exec/source.h"
#include "engine/sql/ast.h"

namespace engine::exec {

enum class TriggerEvent { Insert, Update, Delete };

// What the body of a running trigger sees of its statement.
struct TriggerRows {
    std::shared_ptr<Rowset> inserted, deleted;  // the table's columns
    std::vector<int> updatedColumns;            // positions an UPDATE set; INSERT: all
};

// CREATE / ALTER TRIGGER (8197 for a table that does not exist, 2714 for a name taken).
void executeTriggerDefinition(ExecContext& ctx, const sql::TriggerStmt& trigger);

// The triggers a statement of the event on a table fires, for the length of the statement.
class TriggerFiring {
  public:
    TriggerFiring(ExecContext& ctx, const Table& table, TriggerEvent event);
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
    ExecContext& ctx_;
    const TableSchema& table_;
    std::vector<ModuleSchema> triggers_;
    bool ownsTransaction_ = false;
    bool done_ = false;
};

}  // namespace engine::exec
