#include "updates/accounting/mensajes.h"

#include "run/update_log.h"
#include "schema/sql_text.h"

namespace updates::accounting {

std::string Mensaje(const run::RunContext& ctx, std::string_view texto, std::string_view empresa,
                    std::string_view separador) {
    return schema::Unir({texto, empresa, separador, ctx.parametros.Servidor});
}

void Comenzando(run::RunContext& ctx, std::string_view texto, std::string_view empresa) {
    ctx.EscribirLog("", Mensaje(ctx, texto, empresa), "", run::kNivelInformacion);
}

bool AmpliacionInformada(run::RunContext& ctx, db::Connection& Conexion, std::string_view sql,
                         std::string_view campo) {
    const std::string empresa = ctx.CodigoEmpresaActual();
    const std::string exito =
        schema::Unir({"Campo ", campo, " actualizado correctamente en la empresa "});
    const std::string fallo = schema::Unir({"Actualizando campo ", campo, " en la empresa"});
    return schema::SentenciaInformada(ctx, Conexion, sql, Mensaje(ctx, exito, empresa),
                                      Mensaje(ctx, fallo, empresa, schema::kSeparadorEnElServidor));
}

}  // namespace updates::accounting
