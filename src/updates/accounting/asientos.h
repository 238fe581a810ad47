// Predefined journal entries (PREDEFIVA and its variables, operations and portfolio lines) and
// entry locks (BLOQUEOS) of a company database. The run calls each only when its table exists.
//
//   ActualizaAsientosPredefinidos  the entry type column; operations widened to 255 and the
//                                  portfolio text to 29; the default value of the imported
//                                  ('I') variables of entries 02 and 07 set to 'C' (customer)
//                                  and of entries 03 to 'V' (supplier)
//   ActualizaBloqueos              the second locked entry, default NULL
//
// Thread safety: none; runs on the run's thread with the company's connection.
#pragma once

#include <string_view>

#include "db/connection.h"
#include "run/run_context.h"

namespace updates::accounting {

// `Empresa` is the company code the start line names.
void ActualizaAsientosPredefinidos(run::RunContext& ctx, db::Connection& Conexion,
                                   std::string_view Empresa);
void ActualizaBloqueos(run::RunContext& ctx, db::Connection& Conexion, std::string_view Empresa);

}  // namespace updates::accounting
