// The chart of accounts (CTA), the concept descriptions (DESCRIP) and the company letterhead
// (logotipo) of a company database.
//
//   ActualizaCuentas               account titles widened to 50 (reported), the stray account
//                                  whose number is the text "0,5" deleted, and the surcharge,
//                                  analytic and "sent" columns
//   ActualizaDescripcionConceptos  concept descriptions widened to 255 (reported)
//   ActualizaLogotipo              registry data of exactly 200 characters becomes text
//                                  (reported; a column of another length is left alone, and
//                                  the success message is still written)
//
// Thread safety: none; runs on the run's thread with the company's connection.
#pragma once

#include <string_view>

#include "db/connection.h"
#include "run/run_context.h"

namespace updates::accounting {

void ActualizaCuentas(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaDescripcionConceptos(run::RunContext& ctx, db::Connection& Conexion);
// `Empresa` is the company code the messages name.
void ActualizaLogotipo(run::RunContext& ctx, db::Connection& Conexion, std::string_view Empresa);

}  // namespace updates::accounting
