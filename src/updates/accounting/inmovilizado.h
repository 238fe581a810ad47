// The fixed-asset tables of a company database; the run calls each only when its table exists.
//
//   ActualizaAmortizaciones   AMORTIZACIONES: the reason an asset was written off
//   ActualizaBienesInversion  BIENESINVERSION: the operation key and period of a capital good
//
// Thread safety: none; runs on the run's thread with the company's connection.
#pragma once

#include <string_view>

#include "db/connection.h"
#include "run/run_context.h"

namespace updates::accounting {

void ActualizaAmortizaciones(run::RunContext& ctx, db::Connection& Conexion);
// `Empresa` is the company code the start line names.
void ActualizaBienesInversion(run::RunContext& ctx, db::Connection& Conexion,
                              std::string_view Empresa);

}  // namespace updates::accounting
