// The law-practice tables of a company database: tasks (TAREAS), court filings (INSTANCIAS)
// and their lines (LINEASINSTANCIAS), matters (ASUNTOS), lawyers (ABOGADOS) and the log of
// communications sent (RELACIONENVIOS). The run calls each routine only when its table exists,
// in this order: tasks, filings, filing lines, matters, lawyers, communications. Each logs its
// start line, then adds its columns through CrearCampo (which logs every outcome).
//
// Data that belongs to a new column is filled on the run that adds it, and only then:
//   INSTANCIAS.Adeber                 each open filing owes the sum of its lines (a filing
//                                     without lines owes 0)
//   ASUNTOS.ClientePrincipalAsunto    each matter's earliest incorporated client (NULL for a
//                                     matter without clients)
// The filing lines are corrected on every run: the states 'Descargado' and 'Fallido' become
// '1' and '2', and the lines of a closed filing with a closing channel take its invoice number
// and channel while they have none (lines of type 5 excepted). These literal statements ignore
// their errors and log nothing.
//
// Thread safety: none; runs on the run's one thread with the company's connection.
#pragma once

#include "db/connection.h"
#include "run/run_context.h"

namespace updates::parties {

void ActualizaTareas(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaInstancias(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaLineasInstancias(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaAsuntos(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaAbogados(run::RunContext& ctx, db::Connection& Conexion);
void ActualizaRelacionEnvios(run::RunContext& ctx, db::Connection& Conexion);

}  // namespace updates::parties
