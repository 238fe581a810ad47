#include "refdata/statement_list.h"

#include "schema/statements.h"

namespace refdata {

void EjecutarEnOrden(db::Connection& Conexion, std::span<const std::string_view> sentencias) {
    // A failure replaces the pending error and a success leaves it as it was, so clearing once
    // at the end leaves the connection as clearing before every statement would.
    schema::SentenciasSimples(Conexion, sentencias);
    Conexion.clearError();
}

}  // namespace refdata
