// The receivables and payables portfolio of a company database, its per-year data tables and
// the bank remittances.
//
//   ActualizaAcuCartera           ACUCARTERATABLA: a numeric amount becomes float keeping the
//                                 name of its default constraint; bank name, customer
//                                 description (reported) and tax id widened; the internal
//                                 matter, company, BIC and IBAN columns added; on the run that
//                                 creates both the BIC and the IBAN column the portfolio due
//                                 from 1 January 2013 with a complete bank account is
//                                 backfilled (no marker: a later run never backfills)
//   ActualizaCarteraContabilidad  E____DATOSCARTERA: account and bank descriptions to 255
//   ActualizaRemesas              REMESAS: the charge date, filled from the remittance date on
//                                 the run that adds it
//
// Thread safety: none; runs on the run's thread with the company's connection.
#pragma once

#include <string>
#include <string_view>

#include "db/connection.h"
#include "refdata/bank_account_backfill.h"
#include "run/run_context.h"

namespace updates::accounting {

void ActualizaAcuCartera(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaCarteraContabilidad(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaRemesas(run::RunContext& ctx, db::Connection& Conexion);

// The portfolio's IBAN/BIC backfill.
extern const refdata::BankAccountBackfill kRellenoAcuCartera;

// The default of ACUCARTERAempresa: the last five characters of the company code between
// single quotes (a quote inside the code doubled, so that it stays one literal).
std::string DefectoEmpresaCartera(std::string_view empresa);

}  // namespace updates::accounting
