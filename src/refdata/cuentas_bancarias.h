// The two company routines that give old bank-account tables their IBAN and BIC columns:
//
//   ActualizaCtaNuevoPgc    new chart-of-accounts mapping CTANUEVOPGC: country, document,
//                           payment-term and bank columns; on the run that creates Bic and Iban
//                           the rows lacking either are backfilled; CP and titulodelacuenta
//                           are widened (the latter reported in the log)
//   ActualizaCliBancosDisp  customer bank accounts CLIBANCOSDISP: entity widened, SWIFT,
//                           ROUTING, IBAN and BIC columns; on the run that creates the IBAN and
//                           BIC columns every complete account is backfilled
//
// The backfill instances are declared here as data so that their tests can hold them against
// the texts they must send.
//
// Thread safety: none; runs on the run's one thread with the company's connection.
#pragma once

#include <string_view>

#include "db/connection.h"
#include "refdata/bank_account_backfill.h"
#include "run/run_context.h"

namespace refdata {

// `Empresa` is the company code that the start line names.
void ActualizaCtaNuevoPgc(run::RunContext& ctx, db::Connection& Conexion, std::string_view Empresa);
void ActualizaCliBancosDisp(run::RunContext& ctx, db::Connection& Conexion);

extern const BankAccountBackfill kRellenoCtaNuevoPgc;
extern const BankAccountBackfill kRellenoCliBancosDisp;

}  // namespace refdata
