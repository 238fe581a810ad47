// The bar associations' fee criteria of the central database, one table per year
// (E____HONCRITERIOS) with its per-year index of help topics (E____HONINDICE).
//
// Thread safety: none; runs on the run's thread with the central update connection.
#pragma once

#include "db/connection.h"
#include "run/run_context.h"

namespace updates::central {

// Adds the unit-based fee columns to every criteria table (logging the start line once when
// there is at least one) and the help-topic column to every index table (no start line).
void ActualizaCriteriosOrientadores(run::RunContext& ctx, db::Connection& Conexion);

}  // namespace updates::central
