// Synchronisation of the reference tables with the base-data file.
//
// The file's control table (Versiones for the central database Vardex, VersionesEmp for any
// other) lists, per reference table, the version of its content and what to do when the
// database holds an older one:
//   BORRAR     replace the target's rows (those matching the row's filter, or all) with the
//              file's rows;
//   VACIAR     drop the target table;
//   otherwise  only record the version.
// The version reached is stored in the database's PROPIEDADES under (target table, "VERSION"),
// and a table whose stored version is not lower than the file's is left alone.
//
// A version is recorded only when its action did what it says. For BORRAR the file's rows are
// read before anything is deleted, and the delete and the copy run in one transaction where the
// connection supports it: a file without the source table, a target that cannot be opened or a
// delete that fails leaves the target's rows and its stored version as they were, so the next
// run tries again instead of leaving the table empty for good. Rows refused one by one during
// the copy (duplicate keys, wrong types) are cancelled and the others kept; the version is then
// still recorded. A drop counts as done when the table is gone (also when it was already
// missing). Nothing is logged; a missing file or control table changes nothing.
//
// Thread safety: none; runs on the run's one thread with the run's connection.
#pragma once

#include "db/connection.h"
#include "run/run_context.h"

namespace refdata {

// Opens the base-data file of the program's folder and synchronises `Conexion` with it.
void SincronizarDatosBase(run::RunContext& ctx, db::Connection& Conexion);

// The same with the base-data file already open as `archivo`.
void SincronizarDatosBase(run::RunContext& ctx, db::Connection& Conexion, db::Connection& archivo);

}  // namespace refdata
