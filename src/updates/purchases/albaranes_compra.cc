#include "updates/purchases/albaranes_compra.h"

#include "updates/purchases/pasos_tabla.h"

namespace updates::purchases {
namespace {

// The delivery address is widened twice, to 50 and then to 100, as in the purchase orders.
constexpr PasoTabla kPasosAlbaranesCompra[] = {
    PasoAmpliar("ComprasAlbaranNombrecli", "< 50", 50),
    PasoAmpliar("ComprasAlbaranDireccionEnvio", "< 50", 50),
    PasoAmpliar("ComprasAlbaranNifCliente", "< 15", 15),
    PasoAmpliar("ComprasAlbaranNumerosudocu", "< 25", 25),
    PasoAmpliar("ComprasAlbaranDomiciliocli", "< 100", 100),
    PasoAmpliar("ComprasAlbaranDireccionEnvio", "< 100", 100),
    PasoCrear("ComprasAlbaranBancoPago", "varchar", 35, false, ""),
    PasoCrear("COMPRASALBARANTransporteConductor", "varchar", 70, true, "''"),
    PasoCrear("COMPRASALBARANTransporteDniConductor", "varchar", 15, true, "''"),
    PasoCrear("COMPRASALBARANTransporteMatricula", "varchar", 20, true, "''"),
    PasoCrear("COMPRASALBARANTransporteMatriculaRemolque", "varchar", 20, true, "''"),
    PasoCrear("COMPRASALBARANCampoLibreDouble1", "float", 0, false, "0"),
    PasoCrear("COMPRASALBARANCampoLibreDouble2", "float", 0, false, "0"),
    PasoCrear("COMPRASALBARANCampoLibreDouble3", "float", 0, false, "0"),
    PasoCrear("COMPRASALBARANCampoLibreDouble4", "float", 0, false, "0"),
    PasoCrear("COMPRASALBARANCampoLibreDouble5", "float", 0, false, "0"),
    PasoCrear("COMPRASALBARANIDCONTACTO", "BIGINT", 0, true, "0"),
    PasoCrear("COMPRASALBARANCONTACTONOMBRE", "VARCHAR", 100, true, "''"),
    PasoAmpliar("COMPRASALBARANCpostalcli", "< 10", 10),
    PasoCrear("COMPRASALBARANCODIGOESTADO", "VARCHAR", 4, true, "''"),
};

constexpr PasoTabla kPasosLineasAlbaranesCompra[] = {
    PasoAmpliar("ComprasAlbaran2CodArticulo", "<= 10", 20),
    PasoCrear("ComprasAlbaran2Talla", "varchar", 5, true, "'00000'"),
    PasoCrear("ComprasAlbaran2Color", "varchar", 5, true, "'00000'"),
    PasoCrear("ComprasAlbaran2CodigoArticuloProveedor", "varchar", 50, false, ""),
    PasoCrear("ComprasAlbaran2Lote", "varchar", 50, true, "'0000000000'"),
};

constexpr RutinaFamilia kAlbaranesCompra = {
    "Comenzando actualizacion estructura albaranes compra en la empresa",
    "ComprasAlbaranesTabla",
    kPasosAlbaranesCompra,
};

constexpr RutinaFamilia kLineasAlbaranesCompra = {
    "Comenzando actualizacion estructura lineas albaranes compra en la empresa",
    "ComprasAlbaranesLineas",
    kPasosLineasAlbaranesCompra,
};

}  // namespace

void ActualizaAlbaranesCompra(run::RunContext& ctx, db::Connection& Conexion) {
    ActualizaFamilia(ctx, Conexion, kAlbaranesCompra);
}

void ActualizaLineasAlbaranesCompra(run::RunContext& ctx, db::Connection& Conexion) {
    ActualizaFamilia(ctx, Conexion, kLineasAlbaranesCompra);
}

}  // namespace updates::purchases
