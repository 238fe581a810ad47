// The law-practice catalogues of the central database: the courts (JUZGADOS) with the region
// each one belongs to, the bar associations (COLEGIOSABOGADOS) and the saved matter queries
// (CONSULTASASUNTOS).
//
// Columns are added through CrearCampo, which logs every outcome; the region fill ignores
// its errors and logs nothing.
//
// Thread safety: none; runs on the run's thread with the central update connection.
#pragma once

#include <span>
#include <string_view>

#include "db/connection.h"
#include "run/run_context.h"

namespace updates::central {

// The courts' descriptive columns; does nothing when JUZGADOS does not exist.
void ActualizaJuzgados(run::RunContext& ctx, db::Connection& Conexion);

// The courts' province and region, filled from the postal code's first two digits on the run
// that adds the province column (later courts keep empty regions), and the street type.
void ActualizaJuzgadosComunidades(run::RunContext& ctx, db::Connection& Conexion);

// COLEGIOSABOGADOS: the street type of the association's address.
void ActualizaColegiosAbogados(run::RunContext& ctx, db::Connection& Conexion);

// CONSULTASASUNTOS: the SQL filter of each saved query.
void ActualizaConsultasAsuntos(run::RunContext& ctx, db::Connection& Conexion);

// One autonomous region: its two-digit code, its name as stored, and the postal-code prefixes
// (provinces) it covers, as a quoted SQL list.
struct Comunidad {
    std::string_view codigo;
    std::string_view nombre;
    std::string_view prefijos;
};

// The regions in the order they are filled.
std::span<const Comunidad> Comunidades();

// The UPDATE that assigns `comunidad` to the courts of its provinces.
std::string SentenciaComunidad(const Comunidad& comunidad);

}  // namespace updates::central
