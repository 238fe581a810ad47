#include "refdata/statement_list.h"

namespace refdata {

void EjecutarEnOrden(db::Connection& Conexion, std::span<const std::string_view> sentencias) {
    for (std::string_view sentencia : sentencias) {
        Conexion.clearError();
        Conexion.execute(sentencia);
    }
    Conexion.clearError();
}

}  // namespace refdata
