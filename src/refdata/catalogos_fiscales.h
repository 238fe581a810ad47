// The shared tax catalogues of the central database, kept in line with the law:
//
//   ActualizaOperacionesOrm  operations of the objective-estimation program: new column
//                            CONFIGURACIONIMPUESTOS, filled by operation code when it is new
//   ActualizaModulos         module table MODULOS: new columns; when the period column is new
//                            the unique key INDNUM is rebuilt on (CODIGO, PERIODO)
//   ActualizaTipoIVA2010     VAT table IVATAB: column TipoIVA2010 (the rates from the 2010
//                            change), filled when it is new (or found holding no rate at all:
//                            added, never filled); then the supplier VAT codes of
//                            every company must be re-mapped (RunContext::ActualizarIVAProveedores,
//                            and the step's marker in every company database, so that a run
//                            interrupted before a company's turn still owes it the re-mapping)
//   ActualizaIVA2010         16/7 -> 18/8 and 18/8 -> 21/10 percent, once (IVATAB version 1001)
//   ActualizaActividadesOrm  activity columns A11..J11 of ACTIVIDADES_ORM widened to 2
//   ActualizaCuentasP        twenty VAT box columns of CUENTASP
//   ActualizaIVA2012         codes 11 and 19 to 19 and 20 percent, once (IVATAB version 1002)
//
// The run calls them in the central phase with the central connection (the guards on the
// tables' existence are the run's). Statements run with their errors ignored; only CrearCampo
// logs, and ActualizaOperacionesOrm its start line.
//
// Thread safety: none; runs on the run's one thread with the run's connection.
#pragma once

#include <string_view>

#include "db/connection.h"
#include "run/run_context.h"

namespace refdata {

// The marker that a company database holds while its suppliers' VAT codes are owed the
// re-mapping (schema/pasos_pendientes.h).
inline constexpr std::string_view kPasoRegimenesIvaProveedores = "paso PROVEEDORESTABLA.PROVIVA";

void ActualizaOperacionesOrm(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaModulos(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaTipoIVA2010(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaIVA2010(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaActividadesOrm(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaCuentasP(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaIVA2012(run::RunContext& ctx, db::Connection& Conexion);

}  // namespace refdata
