// The supplier master PROVEEDORESTABLA and the suppliers' bank accounts PROVBANCOSDISP of a
// company database. ActualizaProveedores widens the name, trade-name, contact, address and
// tax-id columns (each widening reported in the log), adds the columns of the release, fills
// the IBAN check digits and BIC of every complete bank account on the run that adds both bank
// columns, re-maps the suppliers' VAT regime when the central phase asked for it
// (ActualizarIVAProveedores: regimes 3, 4 and 5 become 1, every other 0) and adds the delivery
// term.
//
// Thread safety: none; runs on the run's one thread with the company's connection.
#pragma once

#include "db/connection.h"
#include "refdata/bank_account_backfill.h"
#include "run/run_context.h"

namespace updates::parties {

void ActualizaProveedores(run::RunContext& ctx, db::Connection& Conexion);

// The backfill of PROVBANCOSDISP, as data, so that its tests can hold it against its text.
extern const refdata::BankAccountBackfill kRellenoProvBancosDisp;

}  // namespace updates::parties
