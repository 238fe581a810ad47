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

#include <string>
#include <string_view>

#include "db/connection.h"
#include "run/run_context.h"

namespace updates::purchases {

void ActualizaLineasFacturasCompra(run::RunContext& ctx, db::Connection& Conexion);

// The batch that binds the default ('00000') to the size column of `tabla` when the column's
// default is another one, keeping the constraint's name. Its lines are separated by carriage
// returns (the first line runs straight into "begin").
std::string LoteDefectoTalla(std::string_view tabla);

}  // namespace updates::purchases
