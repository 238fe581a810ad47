#include "refdata/archivo_datos_base.h"

#include "db/jet/jet_connection.h"

namespace refdata {

std::string RutaPrograma(const run::RunContext& ctx) {
    std::string ruta = ctx.programDirectory.string();
    if (ruta.empty() || ruta.back() != '/') ruta.push_back('/');
    return ruta;
}

std::unique_ptr<db::Connection> AbrirDatosBase(const run::RunContext& ctx) {
    std::unique_ptr<db::Connection> archivo = db::jet::openBaseDataFile(RutaPrograma(ctx));
    if (archivo != nullptr && archivo->isOpen()) return archivo;
    // The log says nothing of it: the operator is told (the trace holds the reason too).
    ctx.AvisarOperador("no se usa el archivo de datos base: " +
                       (archivo != nullptr ? archivo->lastError().description
                                           : std::string("no se puede abrir")));
    return nullptr;
}

}  // namespace refdata
