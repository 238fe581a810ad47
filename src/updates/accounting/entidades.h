// The company's banks and financial entities (ENTIDAD).
//
// ActualizaEntidades gives every entity but 9999 that lacks a creditor account one built from
// its ledger account and code; adds the commission tiers, the SEPA identifier, the IBAN and BIC
// of the entity's own account and of the ordering party's account, SWIFT, ROUTING and the
// card-terminal columns; widens the postal code and the entity code to 10.
//
// The IBAN/BIC backfill runs on the run that creates both ENTIBAN and ENTIBIC; when one or both
// already existed it runs while the company property ENTIDAD is empty (a release that added only
// one of them left the rows unfilled); when either addition failed it does not run. After a
// backfill whose rows could be read the property ENTIDAD is set to "1001", so that later runs
// leave the entities alone.
//
// Thread safety: none; runs on the run's thread with the company's connection.
#pragma once

#include "db/connection.h"
#include "refdata/bank_account_backfill.h"
#include "run/run_context.h"

namespace updates::accounting {

void ActualizaEntidades(run::RunContext& ctx, db::Connection& Conexion);

// The backfill of both accounts of an entity.
extern const refdata::BankAccountBackfill kRellenoEntidades;

}  // namespace updates::accounting
