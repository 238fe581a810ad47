// The per-year sales delivery-note tables of a company database:
//
//   ActualizaAlbaranes        delivery-note headers E____AlbaranesTabla: widenings, transport
//                             data (driver, identity number, plates), point-of-sale and
//                             hand-held terminal fields, IBAN/BIC filled once for the years from
//                             2013, contact, customer type, status code; then the signature
//                             tables E____AlbaranesTablaFirmas
//   ActualizaLineasAlbaranes  delivery-note lines E____AlbaranesLineas: article code, size,
//                             colour, cost price, not-invoiceable flag, lot
//
// Thread safety: none; runs on the run's one thread with the company's connection.
#pragma once

#include "db/connection.h"
#include "run/run_context.h"
#include "updates/familias/familia_anual.h"

namespace updates::sales {

void ActualizaAlbaranes(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaLineasAlbaranes(run::RunContext& ctx, db::Connection& Conexion);

extern const familias::FamiliaAnual kAlbaranes;
extern const familias::FamiliaAnual kAlbaranesFirmas;
extern const familias::FamiliaAnual kLineasAlbaranes;

}  // namespace updates::sales
