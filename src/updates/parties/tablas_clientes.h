// The smaller tables around the customers of a company database:
//
//   ActualizaTelefonos         TELEFON: e-mail column, the unique name index dropped, an
//                              identity ID added, contact widened to 100, e-mail set to 100
//   ActualizaDireccionesEnvio  CLIDIRENVIOS: trade name and address widened to 100, both
//                              widenings reported in the log
//   ActualizaTarifasCliente    TarifasCliente: article code widened to 20, sixth price
//   ActualizaTiposCliente      TIPOCLI: the publishable flag
//
// Columns are added through CrearCampo, which logs every outcome; the literal statements other
// than the reported widenings ignore their errors and log nothing.
//
// Thread safety: none; runs on the run's one thread with the company's connection.
#pragma once

#include <string_view>

#include "db/connection.h"
#include "run/run_context.h"

namespace updates::parties {

void ActualizaTelefonos(run::RunContext& ctx, db::Connection& Conexion);

// `Empresa` is the company code of the run's current row; the routine's messages carry it.
void ActualizaDireccionesEnvio(run::RunContext& ctx, db::Connection& Conexion,
                               std::string_view Empresa);

void ActualizaTarifasCliente(run::RunContext& ctx, db::Connection& Conexion);

void ActualizaTiposCliente(run::RunContext& ctx, db::Connection& Conexion);

}  // namespace updates::parties
