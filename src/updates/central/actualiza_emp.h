// The company register EMP of the central database: the columns every company's settings
// need in this release, and the widening of the four partial-box columns of the shared
// fiscal-data table DATOSFISCALES that the same step brings.
//
// Thread safety: none; runs on the run's thread with the central update connection.
#pragma once

#include "db/connection.h"
#include "run/run_context.h"

namespace updates::central {

// Adds the register's columns (each outcome logged by CrearCampo) and widens DATOSFISCALES'
// CASILLAPAR16/26/36/46 to five characters (errors ignored, nothing logged).
void ActualizaEmp(run::RunContext& ctx, db::Connection& Conexion);

}  // namespace updates::central
