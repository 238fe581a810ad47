// The intra-community operations return (form 349): the declarant (Mod349Declarante) and the
// declared operators (Mod349Declarados) of a company database, which gained the period.
//
// ActualizaModelo349 adds the period to both tables. On the run that adds it to the declarant,
// the unique index Indice349 is rebuilt on (Ejercicio, Periodo). The declared operators' unique
// index IndiceDeclarados is rebuilt on (Ejercicio, Periodo, NumeroRegistro) whenever the key
// list of their first index (as sp_helpindex lists it) does not mention the period; a missing
// index to drop only makes the drop fail. The run calls it only when both tables exist.
//
// Thread safety: none; runs on the run's thread with the company's connection.
#pragma once

#include "db/connection.h"
#include "run/run_context.h"

namespace updates::accounting {

void ActualizaModelo349(run::RunContext& ctx, db::Connection& Conexion);

}  // namespace updates::accounting
