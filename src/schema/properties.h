// The property store: the small key-value table PROPIEDADES that each database keeps, to
// remember which one-off corrections were applied (a version number per object) and which
// build of the updater last completed on it (a date stamp).
//
//   central  PROPIEDADES(OBJETO, NOMBRE, VALOR), unique index PROIDX (OBJETO, NOMBRE)
//   company  PROPIEDADES(NOMBRE, VALOR), unique index PROIDX (NOMBRE); a table created or
//            completed by MigrarPropiedadesExtendidas also carries PROPIDX (NOMBRE), which
//            doubles as the mark that the migration ran.
//
// Reads and writes go through record sets on
//   "SELECT * FROM PROPIEDADES WHERE OBJETO='<objeto>' AND NOMBRE='<nombre>'" (central) and
//   "SELECT * FROM PROPIEDADES WHERE NOMBRE='<nombre>'" (company),
// with any quote inside the key doubled, so that a key holding ' is found and stored as it
// is; values are assigned through the record set, never pasted into SQL. Nothing here logs
// and nothing throws: a failed write answers false (its pending change cancelled), a failed
// or empty read answers "".
//
// Thread safety: none; runs on the run's one thread with the run's connection.
#pragma once

#include <string>
#include <string_view>

#include "db/connection.h"
#include "run/run_context.h"

namespace schema {

// Writes `Valor` under (`Objeto`, `Propiedad`) in the central table; true when stored.
// A missing PROPIEDADES table answers false and creates nothing.
bool GuardarPropiedad(db::Connection& Conexion, std::string_view Objeto, std::string_view Propiedad,
                      std::string_view Valor);
// The value under (`Objeto`, `Propiedad`); "" when there is none, it is NULL, or the read fails.
std::string LeerPropiedad(db::Connection& Conexion, std::string_view Objeto,
                          std::string_view Propiedad);

// The same for a company database's table, keyed by name alone.
bool GuardarPropiedadEmpresa(db::Connection& Conexion, std::string_view Propiedad,
                             std::string_view Valor);
std::string LeerPropiedadEmpresa(db::Connection& Conexion, std::string_view Propiedad);

// Create the central / company table and its index PROIDX; errors are ignored. The run
// calls them only when ExisteObjeto("PROPIEDADES") is false.
void CrearPropiedades(db::Connection& Conexion);
void CrearPropiedadesEmpresa(db::Connection& Conexion);

// On a company database without PROPIEDADES, or with an empty one: creates the table (its
// columns nullable) and the index PROPIDX and, only when the index was created, grants it to
// public, copies every database-level extended property into it (values cut to 128
// characters) and drops the extended property VERSION. A table holding rows is never touched.
// The copy is a one-off step owed by the run that creates PROPIDX (schema/pasos_pendientes.h):
// a run interrupted after the index still owes it to the next one.
void MigrarPropiedadesExtendidas(run::RunContext& ctx, db::Connection& Conexion);

// --- Version stamps -------------------------------------------------------------------
// A one-off correction of object X runs only while the version stored under (X, "VERSION")
// in the central table is below the version the correction brings; a missing or
// non-numeric value counts as 0. After running it the caller stores the new version.

inline constexpr std::string_view kPropiedadVersion = "VERSION";

// LeerPropiedad(Conexion, Objeto, "VERSION") as a number.
double VersionGuardada(db::Connection& Conexion, std::string_view Objeto);
// True when the stored version of `Objeto` is below `version`.
bool VersionPendiente(db::Connection& Conexion, std::string_view Objeto, double version);
// GuardarPropiedad(Conexion, Objeto, "VERSION", version).
bool GuardarVersion(db::Connection& Conexion, std::string_view Objeto, std::string_view version);

}  // namespace schema
