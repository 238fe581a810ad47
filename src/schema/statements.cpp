#include "schema/statements.h"

#include "run/update_log.h"
#include "schema/sql_text.h"

namespace schema {

std::string Mensaje(const run::RunContext& ctx, std::string_view texto, std::string_view empresa,
                    std::string_view separador) {
    return Unir({texto, empresa, separador, ctx.parametros.Servidor});
}

std::string MensajeEmpresa(const run::RunContext& ctx, std::string_view texto,
                           std::string_view separador) {
    return Mensaje(ctx, texto, ctx.CodigoEmpresaActual(), separador);
}

void LineaDeComienzo(run::RunContext& ctx, std::string_view texto, std::string_view empresa) {
    ctx.EscribirLog("", Mensaje(ctx, texto, empresa), "", run::kNivelInformacion);
}

void LineaDeComienzo(run::RunContext& ctx, std::string_view texto) {
    LineaDeComienzo(ctx, texto, ctx.CodigoEmpresaActual());
}

bool SentenciaSimple(db::Connection& Conexion, std::string_view sql) {
    return Conexion.execute(sql).ok();
}

void SentenciasSimples(db::Connection& Conexion, std::span<const std::string_view> sentencias) {
    for (std::string_view sql : sentencias)
        SentenciaSimple(Conexion, sql);
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

bool AmpliacionInformada(run::RunContext& ctx, db::Connection& Conexion, std::string_view sql,
                         std::string_view campo) {
    const std::string exito = Unir({"Campo ", campo, " actualizado correctamente en la empresa "});
    const std::string fallo = Unir({"Actualizando campo ", campo, " en la empresa"});
    return SentenciaInformada(ctx, Conexion, sql, MensajeEmpresa(ctx, exito),
                              MensajeEmpresa(ctx, fallo, kSeparadorEnElServidor));
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
