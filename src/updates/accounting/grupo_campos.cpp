#include "updates/accounting/grupo_campos.h"

namespace updates::accounting {

schema::ResultadoCampo CrearGrupoCampos(run::RunContext& ctx, db::Connection& Conexion,
                                        std::string_view Tabla,
                                        const schema::DefinicionCampo& puerta,
                                        std::span<const schema::DefinicionCampo> resto) {
    const schema::ResultadoCampo resultado = schema::CrearCampo(ctx, Conexion, Tabla, puerta);
    if (resultado == schema::ResultadoCampo::Creado)
        schema::CrearCampos(ctx, Conexion, Tabla, resto);
    return resultado;
}

}  // namespace updates::accounting
