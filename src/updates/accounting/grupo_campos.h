// A gated group of columns: the first column of the group is added, and the others only when
// that first one was created by this call. A table that already has the gate column never
// receives the rest of the group from here (a release that added the gate also added the rest).
//
// Thread safety: none; runs on the run's thread with the company's connection.
#pragma once

#include <span>
#include <string_view>

#include "db/connection.h"
#include "run/run_context.h"
#include "schema/column_creation.h"

namespace updates::accounting {

// Adds `puerta` to `Tabla`, then `resto` in order when `puerta` was created now (or by a run
// that was interrupted before the rest: schema/pasos_pendientes.h). Returns the outcome of the
// gate column, Creado when the rest was added.
schema::ResultadoCampo CrearGrupoCampos(run::RunContext& ctx, db::Connection& Conexion,
                                        std::string_view Tabla,
                                        const schema::DefinicionCampo& puerta,
                                        std::span<const schema::DefinicionCampo> resto);

}  // namespace updates::accounting
