// The per-year production tables of a company database:
//
//   ActualizaProduccion  production lines E____ProduccionLineas: article code widened, the
//                        active mark, unit, volume, quantity and measurement columns; on the
//                        run that adds the fixed-units mark the per-year stock-movement views
//                        are dropped so that the programs build them again. Then the production
//                        headers E____Produccion: the customer description widened from 50 or
//                        fewer characters to 100. Two start lines, one per family.
//
// Thread safety: none; runs on the run's one thread with the company's connection.
#pragma once

#include "db/connection.h"
#include "run/run_context.h"

namespace updates::sales {

void ActualizaProduccion(run::RunContext& ctx, db::Connection& Conexion);

}  // namespace updates::sales
