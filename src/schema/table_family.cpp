#include "schema/table_family.h"

#include "run/update_log.h"
#include "schema/statements.h"

namespace schema {

std::string ConsultaFamilia(std::string_view nombre) {
    std::string sql =
        "select Table_Name from INFORMATION_SCHEMA.TABLES where Table_name like 'E____";
    sql += nombre;
    sql += "' and table_type='BASE TABLE '";
    return sql;
}

std::optional<int> EjercicioDeTabla(std::string_view tabla) {
    if (tabla.size() < 5) return std::nullopt;
    int ejercicio = 0;
    for (char c : tabla.substr(1, 4)) {
        if (c < '0' || c > '9') return std::nullopt;
        ejercicio = ejercicio * 10 + (c - '0');
    }
    return ejercicio;
}

RecorridoFamilia RecorrerFamilia(run::RunContext& ctx, db::Connection& Conexion,
                                 std::string_view consulta, const AccionTabla& accion,
                                 BombeoEventos bombeo) {
    RecorridoFamilia recorrido;
    Conexion.clearError();
    auto rs = Conexion.openRecordset(consulta, db::CursorType::Static, db::LockType::ReadOnly);
    if (!rs) {
        recorrido.error = Conexion.lastError();
        return recorrido;
    }
    recorrido.abierto = true;
    while (!rs->eof()) {
        const std::string tabla = rs->text("Table_name");
        accion(tabla);
        ++recorrido.tablas;
        if (bombeo == BombeoEventos::TrasCadaTabla) ctx.ProcessPendingEvents();
        if (!rs->moveNext().ok()) break;
    }
    if (bombeo == BombeoEventos::AlTerminar) ctx.ProcessPendingEvents();
    rs->close();
    return recorrido;
}

RecorridoFamilia RecorrerFamiliaAnunciada(run::RunContext& ctx, db::Connection& Conexion,
                                          std::string_view consulta, std::string_view comienzo,
                                          const AccionTabla& accion, BombeoEventos bombeo) {
    bool primera = true;
    return RecorrerFamilia(
        ctx, Conexion, consulta,
        [&](const std::string& tabla) {
            if (primera) {
                ctx.EscribirLog(kProcedimientoFormActivate, comienzo, "", run::kNivelInformacion);
                primera = false;
            }
            accion(tabla);
        },
        bombeo);
}

}  // namespace schema
