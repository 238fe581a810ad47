// The customer master CLIENTESTABLA of a company database: ActualizaClientes widens the name,
// address and tax-id columns (each widening reported in the log), adds the columns of the
// release, gives every customer without one a lawyer-access row, stamps each customer with
// its company's code, fills the mandate dates on the run that adds them, turns the bit column
// CLIIVAINTRACOMUNITARIO into an integer that keeps its default's name, and moves the customer
// relations of types 01 to 04 into the administrative centres table once.
//
// The two batches and the lawyer-access statements are sent as plain statements: their
// failures are ignored and nothing is logged for them.
//
// Thread safety: none; runs on the run's one thread with the company's connection.
#pragma once

#include <string>
#include <string_view>

#include "db/connection.h"
#include "run/run_context.h"

namespace updates::parties {

// `Empresa` is the company code of the run's current row; the routine's messages carry it.
void ActualizaClientes(run::RunContext& ctx, db::Connection& Conexion, std::string_view Empresa);

// The lawyer-access row that gives lawyer -1 permission 14 on customer `codigo` (the code's
// quotes doubled, so a code such as O'DONNELL is one literal).
std::string SentenciaAccesoAbogado(std::string_view codigo);

// The batch that turns CLIIVAINTRACOMUNITARIO from bit into integer, and the batch that moves
// the relations of types 01 to 04 into CENTROSADMINISTRATIVOS: their lines, each followed by a
// carriage return.
std::string LoteIvaIntracomunitario();
std::string LoteCentrosAdministrativos();

}  // namespace updates::parties
