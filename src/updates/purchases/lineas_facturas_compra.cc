#include "updates/purchases/lineas_facturas_compra.h"

#include "schema/column_creation.h"
#include "schema/default_batches.h"
#include "schema/statements.h"
#include "updates/purchases/pasos_tabla.h"

namespace updates::purchases {
namespace {

constexpr std::string_view kTalla = "ComprasFacturas2Talla";
constexpr std::string_view kPasoDefectoTalla = "defecto de la talla";
// The size column of the purchase invoice lines, as the release that added it spelt it.
constexpr schema::ReparacionDefecto kReparacionTalla = {"FACTURAS2Talla", "COMPRASFACTURAS2TALLA"};

constexpr PasoTabla kPasosLineasFacturasCompra[] = {
    PasoAmpliar("ComprasFacturas2CodArticulo", "<= 10", 20),
    PasoCrear("ComprasFacturas2Color", "varchar", 5, true, "'00000'"),
    PasoCrear(kTalla, "varchar", 5, true, "'00000'"),
    PasoEspecial(kPasoDefectoTalla),
    PasoCrear("ComprasFacturas2CodigoArticuloProveedor", "varchar", 50, false, ""),
    PasoCrear("ComprasFacturas2Lote", "varchar", 50, true, "'0000000000'"),
};

constexpr RutinaFamilia kLineasFacturasCompra = {
    "Comenzando actualizacion estructura lineas facturas de compra en la empresa",
    "ComprasFacturasLineas",
    kPasosLineasFacturasCompra,
};

}  // namespace

std::string LoteDefectoTalla(std::string_view tabla) {
    return schema::LoteReparacionDefecto(tabla, kReparacionTalla);
}

void ActualizaLineasFacturasCompra(run::RunContext& ctx, db::Connection& Conexion) {
    ActualizaFamilia(
        ctx, Conexion, kLineasFacturasCompra,
        [&](std::string_view paso, const std::string& tabla, const ResultadosTabla& anteriores) {
            if (paso != kPasoDefectoTalla) return;
            if (anteriores.De(kTalla) != schema::ResultadoCampo::YaExistia) return;
            schema::SentenciaSimple(Conexion, LoteDefectoTalla(tabla));
        });
}

}  // namespace updates::purchases
