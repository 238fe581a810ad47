// The two catalogue probes that update routines and the run sequence ask before creating
// or changing an object: does an object of this name and type exist, does this index exist
// on this table. Both read SQL Server's own catalogue through the connection of the database
// being updated, never raise and never log.
//
//   ExisteObjeto  "Select name from sysobjects where xtype='<Tipo>' and name='<Nombre>'"
//                 true when a row comes back; a failing query answers false.
//   ExisteIndice  "SELECT * FROM SYSINDEXES WHERE ID=OBJECT_ID('<Tabla>') AND NAME='<Indice>'"
//                 false when no row comes back (also for a missing table: OBJECT_ID is NULL);
//                 a failing query answers TRUE, so that a caller never tries to create an
//                 index whose existence it could not check.
// Names are compared by the server under the database's collation. Quotes inside the names
// are doubled, so that a name can never change the statement.
//
// Thread safety: none; runs on the run's one thread with the run's connection.
#pragma once

#include <string_view>

#include "db/connection.h"

namespace schema {

// SQL Server's xtype of a user table and of a view.
inline constexpr std::string_view kTipoTabla = "U";
inline constexpr std::string_view kTipoVista = "V";

bool ExisteObjeto(std::string_view Nombre, db::Connection& Conexion,
                  std::string_view Tipo = kTipoTabla);

bool ExisteIndice(std::string_view Tabla, std::string_view Indice, db::Connection& Conexion);

}  // namespace schema
