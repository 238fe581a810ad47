// The per-year purchase invoice lines (E____ComprasFacturasLineas): a wider article code, the
// colour and the size (in that order, unlike the order and delivery-note lines), the supplier's
// article code and the batch.
//
// Older releases created the size column with another default (such as ('0')). On a run that
// finds the size column already there, the table's default of the size column is bound again to
// ('00000') under the constraint's own name, by one batch that looks the constraint up in the
// catalogue, drops it and adds it back; a column that already has ('00000') is left alone. The
// batch and the widening are silent; every column addition is logged by CrearCampo.
//
// Thread safety: none; runs on the run's one thread with the company's connection.
#pragma once

#include "db/connection.h"
#include "run/run_context.h"
#include "schema/default_batches.h"

namespace updates::purchases {

void ActualizaLineasFacturasCompra(run::RunContext& ctx, db::Connection& Conexion);

// The size column's default repair (schema::LoteReparacionDefecto): the column as the release
// that added it spelt it, FACTURAS2Talla, and as the FOR clause names it.
extern const schema::ReparacionDefecto kReparacionTallaFacturasCompra;

}  // namespace updates::purchases
