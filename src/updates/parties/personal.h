// The people tables of a company database: the sales representatives (REPTABLA: login, the
// four signature flags, the unique index on the code, postal codes of ten characters), their
// permissions (PermisosRep) and the staff (PERSONAL: street type, number, floor, door,
// identity-document type and the mail-program identifier). The run calls each routine only
// when its table exists; each logs its start line.
//
// Columns are added through CrearCampo, which logs every outcome; the literal statements
// ignore their errors and log nothing (duplicate representative codes make the index fail
// silently on every run).
//
// Thread safety: none; runs on the run's one thread with the company's connection.
#pragma once

#include "db/connection.h"
#include "run/run_context.h"

namespace updates::parties {

void ActualizaRepresentantes(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaPermisosRepresentante(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaPersonal(run::RunContext& ctx, db::Connection& Conexion);

}  // namespace updates::parties
