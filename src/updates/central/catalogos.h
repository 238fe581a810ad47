// The small shared catalogues of the central database: predefined jobs, partners, postal
// codes, cash desks, label layouts, printers and active desktops. The run calls each one
// only when its table exists (except ActualizaPosta, whose widening does nothing on a
// missing table).
//
// Columns are added through CrearCampo, which logs every outcome; the literal statements
// ignore their errors and log nothing.
//
// Thread safety: none; runs on the run's thread with the central update connection.
#pragma once

#include "db/connection.h"
#include "run/run_context.h"

namespace updates::central {

// TRABAJOS_PREDEFINIDOS: the job's template and type.
void ActualizaTrabajosPredefinidos(run::RunContext& ctx, db::Connection& Conexion);

// SOCIOS: the partners' tax-reduction and home-deduction flags.
void ActualizaSocios(run::RunContext& ctx, db::Connection& Conexion);

// POSTA: postal codes of up to ten characters.
void ActualizaPosta(run::RunContext& ctx, db::Connection& Conexion);

// CAJASTABLA: bank entity, line grouping, price list and obsolete flag of each cash desk.
void ActualizaCajas(run::RunContext& ctx, db::Connection& Conexion);

// ETIQUETAS: font size and bold flag of the label texts; logs its start line.
void ActualizaEtiquetas(run::RunContext& ctx, db::Connection& Conexion);

// IMPRESORASTABLA: the printer's port.
void ActualizaImpresoras(run::RunContext& ctx, db::Connection& Conexion);

// ESCRITORIOACTIVO: the program each desktop belongs to (existing desktops, when the column
// is new, belong to the accounting program) and the unique index per user, description and
// program. Logs its start line.
void ActualizaEscritorioActivo(run::RunContext& ctx, db::Connection& Conexion);

}  // namespace updates::central
