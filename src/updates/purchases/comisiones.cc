#include "updates/purchases/comisiones.h"

#include "updates/purchases/pasos_tabla.h"

namespace updates::purchases {
namespace {

// An article code of exactly 10 characters is the old width and is widened; one of 12 was
// widened by hand and is left alone.
constexpr PasoTabla kPasosComisiones[] = {
    PasoAmpliar("ComiNomCliente", "< 50", 50),
    PasoAmpliar("ComiArticulo", "<= 10", 20),
};

constexpr RutinaFamilia kComisiones = {
    "Comenzando actualizacion estructura comisiones en la empresa",
    "ComisionesTab",
    kPasosComisiones,
};

}  // namespace

void ActualizaComisiones(run::RunContext& ctx, db::Connection& Conexion) {
    ActualizaFamilia(ctx, Conexion, kComisiones);
}

}  // namespace updates::purchases
