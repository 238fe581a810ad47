#include "updates/purchases/lineas_facturas_compra.h"

#include "schema/statements.h"
#include "updates/familias/familia_anual.h"

namespace updates::purchases {

const schema::ReparacionDefecto kReparacionTallaFacturasCompra = {"FACTURAS2Talla",
                                                                  "COMPRASFACTURAS2TALLA"};

namespace {

using familias::Ampliacion;
using familias::Columna;
using familias::Consecuencia;

// The colour comes before the size here, unlike the order and delivery-note lines; a size
// column that was already there has its default repaired.
constexpr familias::PasoTabla kPasosLineasFacturasCompra[] = {
    Ampliacion("ComprasFacturas2CodArticulo", "<= 10", "varchar(20)"),
    Columna({"ComprasFacturas2Color", "varchar", 5, true, "'00000'"}),
    Columna({"ComprasFacturas2Talla", "varchar", 5, true, "'00000'"},
            Consecuencia::ReparaDefectoSiExistia),
    Columna({"ComprasFacturas2CodigoArticuloProveedor", "varchar", 50, false, ""}),
    Columna({"ComprasFacturas2Lote", "varchar", 50, true, "'0000000000'"}),
};

constexpr familias::FamiliaAnual kLineasFacturasCompra = {
    .nombre = "ComprasFacturasLineas",
    .pasos = kPasosLineasFacturasCompra,
    .reparacion = &kReparacionTallaFacturasCompra,
};

}  // namespace

void ActualizaLineasFacturasCompra(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(
        ctx, "Comenzando actualizacion estructura lineas facturas de compra en la empresa");
    familias::ActualizarFamilia(ctx, Conexion, kLineasFacturasCompra);
}

}  // namespace updates::purchases
