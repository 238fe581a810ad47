// The company's objective-estimation base data, table INDCOR: one row per activity code
// (`act`) and fiscal year (`Ejercicio`).
//
//   ActualizaDatosBaseEmpresa  converts a table of the older layout (one row per activity, no
//                              year) to the per-year layout: the old index ACTINDICE goes, the
//                              column librdatosbase1 is renamed DBI8, the year and corrective
//                              columns are added; when the year column is new the key APUNTNUM
//                              becomes (ACT, Ejercicio), the existing rows become the previous
//                              year's and a copy of each is made for the current year. When the
//                              table was converted (or still had ACTINDICE), the module units
//                              of recent fourth-quarter returns are copied in.
//   TraspasarModulosIndcor     copies the units declared for the seven modules of each activity
//                              in the fourth-quarter returns (modact131) of the years Y-4 to
//                              Y-2 (Y = the current year) into DBE1..DBE7, then into
//                              DBI1..DBI7, creating the INDCOR row of a year that has none.
//
// The current year comes from the run context's clock. Statements run with their errors
// ignored; only CrearCampo logs.
//
// Thread safety: none; runs on the run's one thread with the company's connection.
#pragma once

#include "db/connection.h"
#include "run/run_context.h"

namespace refdata {

void ActualizaDatosBaseEmpresa(run::RunContext& ctx, db::Connection& Conexion);
void TraspasarModulosIndcor(run::RunContext& ctx, db::Connection& Conexion);

}  // namespace refdata
