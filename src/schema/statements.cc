#include "schema/statements.h"

#include "run/update_log.h"

namespace schema {

std::string MensajeEmpresa(const run::RunContext& ctx, std::string_view texto,
                           std::string_view separador) {
    std::string mensaje(texto);
    mensaje += ctx.CodigoEmpresaActual();
    mensaje += separador;
    mensaje += ctx.parametros.Servidor;
    return mensaje;
}

bool SentenciaSimple(db::Connection& Conexion, std::string_view sql) {
    return Conexion.execute(sql).ok();
}

bool SentenciaInformada(run::RunContext& ctx, db::Connection& Conexion, std::string_view sql,
                        std::string_view mensajeExito, std::string_view mensajeError) {
    Conexion.clearError();
    const db::Status resultado = Conexion.execute(sql);
    if (resultado.ok()) {
        ctx.EscribirLog(kProcedimientoFormActivate, mensajeExito, "", run::kNivelInformacion);
    } else {
        ctx.EscribirLog(kProcedimientoFormActivate, mensajeError, resultado.error().description,
                        run::kNivelError);
    }
    Conexion.clearError();
    return resultado.ok();
}

std::string SentenciaAmpliacion(std::string_view Tabla, std::string_view Campo,
                                std::string_view prueba, std::string_view nuevoTipo) {
    std::string sql = "if COL_LENGTH ('";
    sql += Tabla;
    sql += "','";
    sql += Campo;
    sql += "') ";
    sql += prueba;
    sql += " alter table ";
    sql += Tabla;
    sql += " alter column ";
    sql += Campo;
    sql += " ";
    sql += nuevoTipo;
    return sql;
}

bool Ampliar(db::Connection& Conexion, std::string_view Tabla, std::string_view Campo,
             std::string_view prueba, std::string_view nuevoTipo) {
    return SentenciaSimple(Conexion, SentenciaAmpliacion(Tabla, Campo, prueba, nuevoTipo));
}

}  // namespace schema
