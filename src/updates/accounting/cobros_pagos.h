// The links between payments/collections and ledger entries (COBROSPAGOS_REL) and the invoice
// data of payments/collections (COBROSPAGOS_DATOSFACTURA). The run calls each only when its
// table exists. Nothing is logged apart from what the column additions log.
//
//   ActualizaCobrosPagosRel           adds LINEA; on the run that adds it, the links of each
//                                     year take the line number of the VAT-book row of the same
//                                     entry and rate in that year's book e<year>tabla
//   ActualizaCobrosPagosDatosFactura  adds OP; on the run that adds it, every row takes the
//                                     operation code of its entry in the year's
//                                     objective-estimation entries e<year>apuntesorm (a row
//                                     without a match keeps its value)
//
// Values read from the rows go into the statements as literals with their quotes doubled; a
// year that is not a plain run of letters and digits cannot name a table and is skipped.
//
// Thread safety: none; runs on the run's thread with the company's connection.
#pragma once

#include <string>
#include <string_view>

#include "db/connection.h"
#include "run/run_context.h"

namespace updates::accounting {

void ActualizaCobrosPagosRel(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaCobrosPagosDatosFactura(run::RunContext& ctx, db::Connection& Conexion);

// The UPDATE that fills the link lines of year `ejercicio`.
std::string SentenciaLineasEjercicio(std::string_view ejercicio);

}  // namespace updates::accounting
