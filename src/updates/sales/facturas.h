// The per-year sales invoice tables of a company database:
//
//   ActualizaFacturas        invoice headers E____FacturaTabla: widened text columns, the
//                            rectification, ledger-entry, shift, commission, card, contact,
//                            status and customer-type columns, IBAN and BIC filled once for the
//                            years from 2013; then the signature tables E____FacturasTablaFirmas
//   ActualizaLineasFacturas  invoice lines E____FACTURASLineas: widened article code and
//                            description, fee, shift, size, colour, lot columns; a colour column
//                            of an older release gets its default brought to ('00000')
//
// The step lists are exposed so that tests can walk them against the tables.
//
// Thread safety: none; runs on the run's one thread with the company's connection.
#pragma once

#include "db/connection.h"
#include "run/run_context.h"
#include "updates/familias/familia_anual.h"

namespace updates::sales {

void ActualizaFacturas(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaLineasFacturas(run::RunContext& ctx, db::Connection& Conexion);

extern const familias::FamiliaAnual kFacturas;
extern const familias::FamiliaAnual kFacturasFirmas;
extern const familias::FamiliaAnual kLineasFacturas;
extern const schema::ReparacionDefecto kReparacionColorFacturas;

}  // namespace updates::sales
