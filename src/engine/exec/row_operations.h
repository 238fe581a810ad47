// Row operations of the session API (client-side updatable record sets): update, insert,
// delete and read one row of a base table by its row identity, with the checks,
// atomicity and journaling of statements. Thread-compatible (under the call's CallLock).
//
// An operation fires the table's DML triggers as its one-row statement would: the AFTER
// triggers once (inserted and deleted hold its row, UPDATE(c) is true for the columns it
// assigns, @@ROWCOUNT is 1), after those of the tables its FOREIGN KEY actions change; an
// INSTEAD OF trigger in place of the write. One whose trigger sends an error or ends the
// transaction fails with the trigger's messages, and neither its change nor what its
// triggers did is kept (an open transaction of the caller goes on without them, unless the
// error ends the batch, which ends the transaction too); otherwise what the triggers sent
// is in its messages. An operation that finds its row missing or changed fires nothing.
// Under an INSTEAD OF INSERT trigger, the new row is the one row the trigger wrote to the
// table, if it wrote exactly one (otherwise rowId is 0 and there is no row).
//
// Updates grouped for the journal (Session::updateRows) are journaled one by one where an
// update of the table may fire triggers (see updateRowOperation).
#pragma once

#include <vector>

#include "engine/exec/context.h"
#include "engine/session.h"

namespace engine::exec {

// `fill`: whether a Done outcome carries the row as stored.
RowChange updateRowOperation(ExecContext& ctx, const TableIdentity& table, RowId row,
                             const std::vector<ColumnAssignment>& assignments,
                             const std::vector<ColumnAssignment>& expected, bool fill = true);
RowChange insertRowOperation(ExecContext& ctx, const TableIdentity& table,
                             const std::vector<ColumnAssignment>& assignments);
RowChange deleteRowOperation(ExecContext& ctx, const TableIdentity& table, RowId row,
                             const std::vector<ColumnAssignment>& expected);
RowChange readRowOperation(ExecContext& ctx, const TableIdentity& table, RowId row);

}  // namespace engine::exec
