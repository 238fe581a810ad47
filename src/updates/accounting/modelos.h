// The tables behind the tax returns of a company database; the run calls each routine only when
// its table exists.
//
//   ActualizaModelo347   operations with third parties (OPERACIONES_347): quarterly amounts,
//                        name widened, and the leases (ARRENDA_347, no guard of its own: where
//                        it is missing its statements fail and the additions log it)
//   ActualizaModelo180   lease withholdings (MODEL180): the property's address
//   ActualizaModelo115   lease withholdings (MODEL115): address, bank and period
//   ActualizaModelo130   income-tax instalments (Mod130): on the run that adds the payment form,
//                        cash returns get 1 and non-cash returns with a positive total 2
//   ActualizaModelo131   income-tax instalments under modules (MOD131): on the run that adds
//                        the payment form, cash returns with a positive total get 2 and non-cash
//                        ones 1 (the reverse of form 130); totals of zero or less keep 0
//   ActualizaModelo310   simplified VAT activity data (ModAct310)
//   ActualizaModelo340   declared records (Mod340Declarados): payment data
//   ActualizaRegistro    company register data (REGISTRO): company and balance type, staff
//
// Thread safety: none; runs on the run's thread with the company's connection.
#pragma once

#include <string_view>

#include "db/connection.h"
#include "run/run_context.h"

namespace updates::accounting {

// `Empresa` is the company code the start lines name.
void ActualizaModelo347(run::RunContext& ctx, db::Connection& Conexion, std::string_view Empresa);
void ActualizaModelo180(run::RunContext& ctx, db::Connection& Conexion, std::string_view Empresa);
void ActualizaModelo115(run::RunContext& ctx, db::Connection& Conexion, std::string_view Empresa);

void ActualizaModelo130(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaModelo131(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaModelo310(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaModelo340(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaRegistro(run::RunContext& ctx, db::Connection& Conexion);

}  // namespace updates::accounting
