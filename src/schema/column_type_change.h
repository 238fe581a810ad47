// CambiarTipoDatos: changes the type of an existing column. SQL Server refuses to alter a
// column that has a default constraint bound to it, so the routine finds the constraint in
// the catalogue, drops it, alters the column, and binds a default again: under the old
// constraint's name, or, when the column had none, under
//   "DF__" + table + "__" + first 12 characters (letters, not bytes) of the column + "__389C9811".
// It does nothing when INFORMATION_SCHEMA.COLUMNS already reports the requested type (a type
// written with a length, such as "varchar(50)", never matches, so it is always attempted).
// When the old default was dropped and the ALTER COLUMN then fails, the dropped default is
// bound again (same name, same definition) before answering false, so that a failed change
// never leaves the column without its default.
// Nothing is logged; the result says whether the column was changed (and, with a new
// default, the default bound).
//
// Thread safety: none; runs on the run's one thread with the run's connection.
#pragma once

#include <string>
#include <string_view>

#include "db/connection.h"

namespace schema {

bool CambiarTipoDatos(db::Connection& Conexion, std::string_view Tabla, std::string_view Campo,
                      std::string_view NuevoTipo, std::string_view NuevoDefecto);

// The constraint name used when the column had no default of its own.
std::string NombreDefectoNuevo(std::string_view Tabla, std::string_view Campo);

}  // namespace schema
