// What the run knows, for its one-off steps, of the database its current phase works on:
// the columns it has and the markers of steps owed to it (schema/pasos_pendientes.h reads the
// database and keeps this up to date). Outside a phase it is empty and inactive, and the
// one-off steps run as they always did, without markers.
//
// Thread safety: none; part of the run context.
#pragma once

#include <functional>
#include <set>
#include <string>

namespace run {

struct PasosPendientes {
    using Conjunto = std::set<std::string, std::less<>>;

    // True from the start of a phase whose database could be read until the phase ends.
    bool activos = false;
    // Whether the marker table exists in the phase's database.
    bool tablaExiste = false;
    // "TABLA.COLUMNA" in upper case: every column of the database when the phase began, and
    // every column the phase has added or found since.
    Conjunto columnas;
    // The tables of those columns, in upper case.
    Conjunto tablas;
    // The markers that were in the database when the phase began: steps an interrupted run
    // left owed (or that the central phase left for this company).
    Conjunto heredados;
    // The markers the table holds now.
    Conjunto enTabla;
};

}  // namespace run
