#include "updates/accounting/grupo_campos.h"

#include "schema/pasos_pendientes.h"

namespace updates::accounting {

schema::ResultadoCampo CrearGrupoCampos(run::RunContext& ctx, db::Connection& Conexion,
                                        std::string_view Tabla,
                                        const schema::DefinicionCampo& puerta,
                                        std::span<const schema::DefinicionCampo> resto) {
    return schema::CrearCampoConPaso(ctx, Conexion, Tabla, puerta,
                                     [&] { schema::CrearCampos(ctx, Conexion, Tabla, resto); });
}

}  // namespace updates::accounting
