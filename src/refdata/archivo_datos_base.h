// Where the base-data file is and how it is opened. The file, Include/Datos Base.MDB in the
// program's folder, is a Jet database holding the release's reference tables, the control
// tables that say which of them to copy into SQL Server (Versiones, VersionesEmp) and the BIC
// catalogue (CODIGOSBIC). It is read through a read-only connection of the client layer, with
// record sets opened on "SELECT * FROM <table> [WHERE <condition>]".
//
// Thread safety: reentrant.
#pragma once

#include <memory>
#include <string>

#include "db/connection.h"
#include "run/run_context.h"

namespace refdata {

// The program's folder, always ending with a path separator.
std::string RutaPrograma(const run::RunContext& ctx);

// Opens RutaPrograma() + "Include/Datos Base.MDB" (the letter case of the folder and file names
// does not matter); null when the file is missing, unreadable or damaged, which the operator is
// told (run::RunContext::AvisarOperador) with the reason.
std::unique_ptr<db::Connection> AbrirDatosBase(const run::RunContext& ctx);

}  // namespace refdata
