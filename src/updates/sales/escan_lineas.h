// The scanning-line table ESCANLINEAS of a company database (lines of documents read with a
// scanner):
//
//   ActualizaEscanLineas  article code widened; measurement columns; on the run that adds the
//                         fixed-unit column, the per-year stock-movement views are dropped so
//                         that the programs build them again; on the run that adds the line
//                         number ESCANNUMLINEA, the lines are numbered (RenumeraEscanLineas)
//                         and the unique key ESCANLINEAINDICENUM is rebuilt on (document, line
//                         number) once the numbers are in place.
//   RenumeraEscanLineas   numbers the lines of each document 1, 2, 3 ... in the order of their
//                         article code. Lines without a document (NULL code) are numbered
//                         together as one more group, so that the walk always advances and the
//                         unique key, which sees NULL codes as equal, can still be built. A
//                         line whose save fails keeps its number and the walk goes on. Logs
//                         nothing.
//
// Thread safety: none; runs on the run's one thread with the company's connection.
#pragma once

#include "db/connection.h"
#include "run/run_context.h"

namespace updates::sales {

void ActualizaEscanLineas(run::RunContext& ctx, db::Connection& Conexion);

// What a renumbering did, for the tests; nothing of it is logged.
struct Renumeracion {
    bool abierta = false;  // the set could be opened
    int numeradas = 0;     // lines saved with their number
    int rechazadas = 0;    // lines whose save failed (their change cancelled)
};

Renumeracion RenumeraEscanLineas(run::RunContext& ctx, db::Connection& Conexion);

}  // namespace updates::sales
