#include "updates/parties/comun.h"

#include "schema/statements.h"

namespace updates::parties {

bool Informar(run::RunContext& ctx, db::Connection& Conexion, const SentenciaDeTabla& sentencia,
              std::string_view codigo, std::string_view separadorError) {
    return schema::SentenciaInformada(
        ctx, Conexion, sentencia.sql, schema::Mensaje(ctx, sentencia.textoExito, codigo),
        schema::Mensaje(ctx, sentencia.textoError, codigo, separadorError));
}

std::string LoteConRetornos(std::span<const std::string_view> lineas) {
    std::string lote;
    for (std::string_view linea : lineas) {
        lote += linea;
        lote += '\r';
    }
    return lote;
}

}  // namespace updates::parties
