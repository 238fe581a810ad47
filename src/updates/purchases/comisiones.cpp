#include "updates/purchases/comisiones.h"

#include "schema/statements.h"
#include "updates/familias/familia_anual.h"

namespace updates::purchases {
namespace {

using familias::Ampliacion;
using familias::Columna;

// An article code of exactly 10 characters is the old width and is widened; one of 12 was
// widened by hand and is left alone.
constexpr familias::PasoTabla kPasosComisiones[] = {
    Ampliacion("ComiNomCliente", "< 50", "varchar(50)"),
    Ampliacion("ComiArticulo", "<= 10", "varchar(20)"),
};

constexpr familias::FamiliaAnual kComisiones = {
    .nombre = "ComisionesTab",
    .pasos = kPasosComisiones,
};

}  // namespace

void ActualizaComisiones(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(ctx, "Comenzando actualizacion estructura comisiones en la empresa");
    familias::ActualizarFamilia(ctx, Conexion, kComisiones);
}

}  // namespace updates::purchases
