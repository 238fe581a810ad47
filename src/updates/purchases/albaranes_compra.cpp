#include "updates/purchases/albaranes_compra.h"

#include "schema/statements.h"
#include "updates/familias/familia_anual.h"

namespace updates::purchases {
namespace {

using familias::Ampliacion;
using familias::Columna;

// The delivery address is widened twice, to 50 and then to 100, as in the purchase orders.
constexpr familias::PasoTabla kPasosAlbaranesCompra[] = {
    Ampliacion("ComprasAlbaranNombrecli", "< 50", "varchar(50)"),
    Ampliacion("ComprasAlbaranDireccionEnvio", "< 50", "varchar(50)"),
    Ampliacion("ComprasAlbaranNifCliente", "< 15", "varchar(15)"),
    Ampliacion("ComprasAlbaranNumerosudocu", "< 25", "varchar(25)"),
    Ampliacion("ComprasAlbaranDomiciliocli", "< 100", "varchar(100)"),
    Ampliacion("ComprasAlbaranDireccionEnvio", "< 100", "varchar(100)"),
    Columna({"ComprasAlbaranBancoPago", "varchar", 35, false, ""}),
    Columna({"COMPRASALBARANTransporteConductor", "varchar", 70, true, "''"}),
    Columna({"COMPRASALBARANTransporteDniConductor", "varchar", 15, true, "''"}),
    Columna({"COMPRASALBARANTransporteMatricula", "varchar", 20, true, "''"}),
    Columna({"COMPRASALBARANTransporteMatriculaRemolque", "varchar", 20, true, "''"}),
    Columna({"COMPRASALBARANCampoLibreDouble1", "float", 0, false, "0"}),
    Columna({"COMPRASALBARANCampoLibreDouble2", "float", 0, false, "0"}),
    Columna({"COMPRASALBARANCampoLibreDouble3", "float", 0, false, "0"}),
    Columna({"COMPRASALBARANCampoLibreDouble4", "float", 0, false, "0"}),
    Columna({"COMPRASALBARANCampoLibreDouble5", "float", 0, false, "0"}),
    Columna({"COMPRASALBARANIDCONTACTO", "BIGINT", 0, true, "0"}),
    Columna({"COMPRASALBARANCONTACTONOMBRE", "VARCHAR", 100, true, "''"}),
    Ampliacion("COMPRASALBARANCpostalcli", "< 10", "varchar(10)"),
    Columna({"COMPRASALBARANCODIGOESTADO", "VARCHAR", 4, true, "''"}),
};

constexpr familias::PasoTabla kPasosLineasAlbaranesCompra[] = {
    Ampliacion("ComprasAlbaran2CodArticulo", "<= 10", "varchar(20)"),
    Columna({"ComprasAlbaran2Talla", "varchar", 5, true, "'00000'"}),
    Columna({"ComprasAlbaran2Color", "varchar", 5, true, "'00000'"}),
    Columna({"ComprasAlbaran2CodigoArticuloProveedor", "varchar", 50, false, ""}),
    Columna({"ComprasAlbaran2Lote", "varchar", 50, true, "'0000000000'"}),
};

constexpr familias::FamiliaAnual kAlbaranesCompra = {
    .nombre = "ComprasAlbaranesTabla",
    .pasos = kPasosAlbaranesCompra,
};

constexpr familias::FamiliaAnual kLineasAlbaranesCompra = {
    .nombre = "ComprasAlbaranesLineas",
    .pasos = kPasosLineasAlbaranesCompra,
};

}  // namespace

void ActualizaAlbaranesCompra(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(ctx,
                            "Comenzando actualizacion estructura albaranes compra en la empresa");
    familias::ActualizarFamilia(ctx, Conexion, kAlbaranesCompra);
}

void ActualizaLineasAlbaranesCompra(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(
        ctx, "Comenzando actualizacion estructura lineas albaranes compra en la empresa");
    familias::ActualizarFamilia(ctx, Conexion, kLineasAlbaranesCompra);
}

}  // namespace updates::purchases
