// The per-year purchase delivery-note tables: the headers (E____ComprasAlbaranesTabla) get
// wider supplier name, address, tax number, document number and postal code columns, and the
// bank for payment, the transport data (driver, driver's ID, plates of the lorry and its
// trailer), five free numeric fields, the contact and the state code; the lines
// (E____ComprasAlbaranesLineas) get a wider article code, size, colour, the supplier's article
// code and the batch.
//
// Widenings are silent; every column addition is logged by CrearCampo.
//
// Thread safety: none; runs on the run's one thread with the company's connection.
#pragma once

#include "db/connection.h"
#include "run/run_context.h"

namespace updates::purchases {

void ActualizaAlbaranesCompra(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaLineasAlbaranesCompra(run::RunContext& ctx, db::Connection& Conexion);

}  // namespace updates::purchases
