#include "schema/transaction.h"

#include <vector>

namespace schema {

bool EnUnaTransaccion(db::Connection& Conexion, const std::function<void()>& trabajo) {
    Conexion.clearError();
    const bool enTransaccion = Conexion.beginTransaction().ok();
    Conexion.clearError();
    trabajo();
    if (!enTransaccion) return true;
    const std::vector<db::Error> resultado = Conexion.errors();
    Conexion.clearError();
    bool confirmado = Conexion.commitTransaction().ok();
    if (!confirmado) Conexion.rollbackTransaction();
    Conexion.clearError();
    if (!resultado.empty()) Conexion.setPendingError(db::Status(resultado));
    return confirmado;
}

}  // namespace schema
