// Row operations of the session API (client-side updatable record sets): update, insert,
// delete and read one row of a base table by its row identity, with the checks,
// atomicity and journaling of statements. Thread-compatible (under the call's CallLock).
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
