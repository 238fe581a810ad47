// The walk over a per-year table family: E + four characters (the fiscal year) + a fixed
// name, such as E2014FacturaTabla. Every routine that changes a family opens the family's
// listing query as a static, read-only record set, applies its changes to each table named
// by the rows' `Table_name` column, in the order the server returns them, and closes the
// set. The Parts quote each family's query text exactly (with variants: no blank after
// `like`, an excluded table), so the walk takes the text as given; ConsultaFamilia builds
// the usual form
//   "select Table_Name from INFORMATION_SCHEMA.TABLES where Table_name like 'E____<Name>'
//    and table_type='BASE TABLE '"   (one line; the blank inside 'BASE TABLE ' is sent).
// A query that fails to open skips the family silently (the walk logs nothing); the caller
// learns it from RecorridoFamilia when it must report it. Where the routine lets the window
// process pending events (after each table, or once after the last), the walk does it
// through the run context's event pump.
//
// Thread safety: none; runs on the run's one thread with the run's connection.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "db/connection.h"
#include "run/run_context.h"

namespace schema {

enum class BombeoEventos {
    Ninguno,        // the window is not let process events during the walk
    TrasCadaTabla,  // after each table's action, before moving to the next row
    AlTerminar,     // once after the last table, before the set is closed
};

struct RecorridoFamilia {
    bool abierto = false;  // the listing query opened without error
    int tablas = 0;        // tables handed to the action
    db::Error error;       // the error of the listing query when it did not open
};

// "select Table_Name from INFORMATION_SCHEMA.TABLES where Table_name like 'E____" + nombre +
// "' and table_type='BASE TABLE '".
std::string ConsultaFamilia(std::string_view nombre);

// The fiscal year of a per-year table: characters 2 to 5 of its name, when they are four digits
// (E2014FacturaTabla -> 2014); nothing otherwise (EABCDFacturaTabla, E201).
std::optional<int> EjercicioDeTabla(std::string_view tabla);

using AccionTabla = std::function<void(const std::string& tabla)>;

// Clears the pending error, opens `consulta` (static, read-only) on `Conexion` and calls
// `accion` with each row's Table_name, pumping events as `bombeo` says; closes the set.
// The action traps its own errors; the walk goes on with the next row whatever it did.
RecorridoFamilia RecorrerFamilia(run::RunContext& ctx, db::Connection& Conexion,
                                 std::string_view consulta, const AccionTabla& accion,
                                 BombeoEventos bombeo = BombeoEventos::Ninguno);

// The same walk for the routines that announce themselves only when there is work: `comienzo`
// is logged (procedure "Form_Activate", level 2) once, just before the first table's action, so
// a family without tables, or whose listing fails, leaves nothing in the log.
RecorridoFamilia RecorrerFamiliaAnunciada(run::RunContext& ctx, db::Connection& Conexion,
                                          std::string_view consulta, std::string_view comienzo,
                                          const AccionTabla& accion,
                                          BombeoEventos bombeo = BombeoEventos::Ninguno);

}  // namespace schema
