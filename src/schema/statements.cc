#include "schema/statements.h"

#include "run/update_log.h"
#include "schema/sql_text.h"

namespace schema {

std::string MensajeEmpresa(const run::RunContext& ctx, std::string_view texto,
                           std::string_view separador) {
    return Unir({texto, ctx.CodigoEmpresaActual(), separador, ctx.parametros.Servidor});
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
    return Unir({"if COL_LENGTH ('", Tabla, "','", Campo, "') ", prueba, " alter table ", Tabla,
                 " alter column ", Campo, " ", nuevoTipo});
}

bool Ampliar(db::Connection& Conexion, std::string_view Tabla, std::string_view Campo,
             std::string_view prueba, std::string_view nuevoTipo) {
    return SentenciaSimple(Conexion, SentenciaAmpliacion(Tabla, Campo, prueba, nuevoTipo));
}

}  // namespace schema
