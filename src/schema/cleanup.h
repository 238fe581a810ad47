// Clean-up of what the suite's programs leave behind in a company database.
//
//   EliminarTablasTemporales        drops every user table named TEMP + four digits + anything
//                                   (of any owner), logging its start line and showing its
//                                   progress on the progress bar (maximum = tables found,
//                                   value = position), letting the window process events
//                                   after each table.
//   EliminarVistasMovimientosStock  drops the views E____MOVIMIENTOSSTOCK (exactly; no
//                                   trailing wildcard) so that the stock routines can create
//                                   them again.
//   EliminarVistasSinCantidad       of the views E<4 digits>Movimientosstock%, drops those
//                                   that have no column `cantidad`.
// Every drop runs with its error ignored: an object that cannot be dropped stays and the
// loop goes on. Only EliminarTablasTemporales writes to the log (its start line).
//
// Thread safety: none; runs on the run's one thread with the run's connection.
#pragma once

#include "db/connection.h"
#include "run/run_context.h"

namespace schema {

void EliminarTablasTemporales(run::RunContext& ctx, db::Connection& Conexion);
void EliminarVistasMovimientosStock(db::Connection& Conexion);
void EliminarVistasSinCantidad(db::Connection& Conexion);

}  // namespace schema
