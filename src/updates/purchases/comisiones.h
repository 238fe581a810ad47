// The per-year commission tables of the sales representatives (E____ComisionesTab): the
// customer's name and the article code are widened to the release's widths.
//
// Thread safety: none; runs on the run's one thread with the company's connection.
#pragma once

#include "db/connection.h"
#include "run/run_context.h"

namespace updates::purchases {

// Logs its start line, then widens ComiNomCliente (below 50) to 50 and ComiArticulo (10 or
// less) to 20 in every table of the family. Widenings are silent.
void ActualizaComisiones(run::RunContext& ctx, db::Connection& Conexion);

}  // namespace updates::purchases
