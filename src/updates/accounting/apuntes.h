// The per-year ledger families of a company database: entry lines (E____Lineaapunte), entries
// of the objective-estimation program (E____APUNTESORM), withholding history
// (E____HistoricoIRPF) and entry counters (E____ContadorTabla). Each routine logs its start
// line and gives every year's table its new columns; the objective-estimation entries also get
// their operation description widened to 255 and their document to 15. The window processes
// pending events after each table.
//
// Thread safety: none; runs on the run's thread with the company's connection.
#pragma once

#include "db/connection.h"
#include "run/run_context.h"

namespace updates::accounting {

void ActualizaApuntes(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaApuntesOrm(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaHistoricoIRPF(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaContadores(run::RunContext& ctx, db::Connection& Conexion);

}  // namespace updates::accounting
