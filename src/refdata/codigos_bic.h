// Loading of the run's BIC catalogue (entity code -> BIC) from the base-data file's table
// CODIGOSBIC (columns Entidad and Bic), once, before the company phase.
//
// The catalogue is emptied first and stays empty when the file is missing, unreadable or
// without the table: the backfills then leave every BIC as it was and still compute the IBAN
// check digits. When two rows carry the same entity the first one read wins. A row without a
// BIC (NULL) or without an entity carries nothing to look up and is skipped, so that a lookup
// never writes NULL into a BIC column.
//
// Thread safety: none; runs on the run's one thread.
#pragma once

#include "db/connection.h"
#include "run/coleccion_bic.h"
#include "run/run_context.h"

namespace refdata {

// Loads ctx.ColeccionBIC from the base-data file of the program's folder.
void CargarCodigosBIC(run::RunContext& ctx);

// Loads `coleccion` from the open base-data file `archivo`.
void CargarCodigosBIC(run::ColeccionBIC& coleccion, db::Connection& archivo);

}  // namespace refdata
