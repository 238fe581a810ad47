// The per-year fiscal calendars E____CALENDARIO of the central database: the operation,
// form and tax codes of each calendar entry hold up to 255 characters.
//
// Thread safety: none; runs on the run's thread with the central update connection.
#pragma once

#include "db/connection.h"
#include "run/run_context.h"

namespace updates::central {

// Widens CDOP, CMOD and CIMP of every calendar table to varchar(255). Logs its start line only
// when there is at least one calendar; the widenings ignore their errors and log nothing.
void ActualizaCalendarioFiscal(run::RunContext& ctx, db::Connection& Conexion);

}  // namespace updates::central
