// The stock side of a company database, per fiscal year, and the warehouse table:
//
//   ActualizaCStock              stock tables E____CSTOCK: article code widened; size, colour
//                                and lot join the stock key. A table that gains any of them
//                                gets its unique index CSTOCKINDICENUM rebuilt on (article,
//                                warehouse, size, colour, lot) and its year's stock views
//                                E<year>MOVIMIENTOSSTOCK and E<year>AGRUPASTOCK dropped, so that
//                                the programs create them again. No start line.
//   ActualizaMovimientosAlmacen  warehouse movement tables E____MOVIALMACEN: article code
//                                widened, size and colour; a colour column of an older release
//                                gets its default brought to ('00000'). The window processes
//                                its pending events after each table.
//   ActualizaCaducidades         the same tables: the second article code widened and the lot;
//                                a table that gains the lot loses its view <table>TRI. The
//                                window processes its pending events after the last table.
//   AmpliaCodPostalAlmacen       ALMACEN: postal code widened to 10. Logs nothing.
//
// Every statement runs with its error ignored: a missing index or view, or an index that
// cannot be built (duplicate keys), is not reported. CrearCampo logs the additions.
//
// Thread safety: none; runs on the run's one thread with the company's connection.
#pragma once

#include <string>
#include <string_view>

#include "db/connection.h"
#include "run/run_context.h"
#include "updates/familias/familia_anual.h"

namespace updates::sales {

void ActualizaCStock(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaMovimientosAlmacen(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaCaducidades(run::RunContext& ctx, db::Connection& Conexion);
void AmpliaCodPostalAlmacen(run::RunContext& ctx, db::Connection& Conexion);

// The prefix of a stock table's views: its first five characters without surrounding blanks
// (E2014CSTOCK -> E2014).
std::string PrefijoVistasStock(std::string_view tabla);

extern const familias::FamiliaAnual kMovimientosAlmacen;
extern const schema::ReparacionDefecto kReparacionColorMovimientos;

}  // namespace updates::sales
