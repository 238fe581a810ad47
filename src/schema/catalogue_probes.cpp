#include "schema/catalogue_probes.h"

#include <optional>
#include <string>

#include "schema/sql_text.h"

namespace schema {

namespace {

// Opens `sql` forward-only and read-only; nullopt when it failed to open, else whether the
// set is on a row.
std::optional<bool> HayFila(db::Connection& Conexion, const std::string& sql) {
    Conexion.clearError();
    auto rs = Conexion.openRecordset(sql, db::CursorType::ForwardOnly, db::LockType::ReadOnly);
    if (!rs) return std::nullopt;
    const bool fila = !rs->bof() && !rs->eof();
    rs->close();
    return fila;
}

}  // namespace

bool ExisteObjeto(std::string_view Nombre, db::Connection& Conexion, std::string_view Tipo) {
    const std::string sql = "Select name from sysobjects where xtype='" + DuplicarComillas(Tipo) +
                            "' and name='" + DuplicarComillas(Nombre) + "'";
    return HayFila(Conexion, sql).value_or(false);
}

bool ExisteIndice(std::string_view Tabla, std::string_view Indice, db::Connection& Conexion) {
    const std::string sql = "SELECT * FROM SYSINDEXES WHERE ID=OBJECT_ID('" +
                            DuplicarComillas(Tabla) + "') AND NAME='" + DuplicarComillas(Indice) +
                            "'";
    // A probe that could not ask answers "exists", so that nobody creates the index blindly.
    return HayFila(Conexion, sql).value_or(true);
}

}  // namespace schema
