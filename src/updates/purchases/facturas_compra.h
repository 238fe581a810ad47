// The per-year purchase invoice headers (E____ComprasFacturaTabla): wider supplier name,
// address, tax number, document number and postal code columns; the rectification links, the
// extra ledger-entry numbers, the remarks, the IBAN and BIC of the supplier's account, five free
// numeric fields, the contact and the state code.
//
// On the run that creates both the IBAN and the BIC column of a table of fiscal year 2013 or
// later, the invoices that carry an account number are given their IBAN check digits and the
// BIC of their bank entity (the bank-account backfill, instance kRellenoFacturasCompra). Older
// years get the columns empty.
//
// Widenings and the backfill are silent; every column addition is logged by CrearCampo.
//
// Thread safety: none; runs on the run's one thread with the company's connection.
#pragma once

#include "db/connection.h"
#include "refdata/bank_account_backfill.h"
#include "run/run_context.h"

namespace updates::purchases {

void ActualizaFacturasCompra(run::RunContext& ctx, db::Connection& Conexion);

// The backfill of the invoices' IBAN and BIC: the SELECT around the table name, a dynamic set,
// the IBAN for every invoice whose four account parts are all present, the BIC looked up under
// the entity as it is stored (an entity stored as "49" does not find the BIC of "0049").
extern const refdata::BankAccountBackfill kRellenoFacturasCompra;

}  // namespace updates::purchases
