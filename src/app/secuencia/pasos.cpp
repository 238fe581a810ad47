#include "app/secuencia/pasos.h"

#include <limits>

#include "schema/catalogue_probes.h"
#include "schema/pasos_pendientes.h"

namespace app {

void Rutina::operator()(const EntornoPaso& e) const {
    if (solo_conexion_) solo_conexion_(e.conexion);
    if (con_contexto_) con_contexto_(e.ctx, e.conexion);
    if (con_codigo_) con_codigo_(e.ctx, e.conexion, e.codigo);
    if (con_entorno_) con_entorno_(e);
}

bool GuardaCumplida(const Guarda& guarda, db::Connection& conexion) {
    switch (guarda.clase) {
        case Guarda::Clase::kSiempre:
            return true;
        case Guarda::Clase::kExiste:
            return schema::ExisteObjeto(guarda.tabla, conexion, schema::kTipoTabla);
        case Guarda::Clase::kNoExiste:
            return !schema::ExisteObjeto(guarda.tabla, conexion, schema::kTipoTabla);
        case Guarda::Clase::kExistenAmbas: {
            // Both tables are asked about, as the two probes of the condition are.
            bool una = schema::ExisteObjeto(guarda.tabla, conexion, schema::kTipoTabla);
            bool otra = schema::ExisteObjeto(guarda.otraTabla, conexion, schema::kTipoTabla);
            return una && otra;
        }
    }
    return false;
}

std::optional<std::int16_t> ProgresoDePaso(std::int16_t pasoProgreso, std::int16_t k) {
    int producto = int{pasoProgreso} * int{k};
    if (producto > std::numeric_limits<std::int16_t>::max() ||
        producto < std::numeric_limits<std::int16_t>::min())
        return std::nullopt;
    return static_cast<std::int16_t>(producto);
}

void EjecutarPasos(std::span<const Paso> pasos, const EntornoPaso& entorno,
                   std::int16_t pasoProgreso, const std::function<void()>& alTerminarPaso) {
    for (const Paso& paso : pasos) {
        if (paso.guarda.clase == Guarda::Clase::kNoExiste) {
            // The step creates the table its guard misses: a run killed half-way through it
            // would find the table next time and skip the rest for good (an index never made).
            schema::PasoPendiente marca(entorno.ctx, entorno.conexion,
                                        schema::ClavePaso(paso.guarda.tabla, ""));
            const bool falta = GuardaCumplida(paso.guarda, entorno.conexion);
            if (falta) marca.Marcar();
            if (falta || marca.Heredado()) paso.rutina(entorno);
            marca.Quitar();
        } else if (GuardaCumplida(paso.guarda, entorno.conexion)) {
            paso.rutina(entorno);
        }
        if (paso.progreso > 0) {
            if (std::optional<std::int16_t> n = ProgresoDePaso(pasoProgreso, paso.progreso))
                entorno.ctx.progress.AvanzarProgreso(*n);
        }
        if (alTerminarPaso) alTerminarPaso();
    }
}

}  // namespace app
