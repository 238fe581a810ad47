#include "updates/purchases/pedidos_compra.h"

#include "updates/purchases/pasos_tabla.h"

namespace updates::purchases {
namespace {

// The delivery address is widened twice, to 50 and then to 100: the second step finishes what
// the first began on tables of the oldest releases.
constexpr PasoTabla kPasosPedidosCompra[] = {
    PasoAmpliar("ComprasPedidosNombrecli", "< 50", 50),
    PasoAmpliar("ComprasPedidosDireccionEnvio", "< 50", 50),
    PasoAmpliar("ComprasPedidosNifCliente", "< 15", 15),
    PasoAmpliar("ComprasPedidosNumerosudocu", "< 25", 25),
    PasoAmpliar("ComprasPedidosDomiciliocli", "< 100", 100),
    PasoAmpliar("ComprasPedidosDireccionEnvio", "< 100", 100),
    PasoCrear("ComprasPedidosBancoPago", "varchar", 35, false, ""),
    PasoCrear("ComprasPedidosCampoLibreDouble1", "float", 0, false, "0"),
    PasoCrear("ComprasPedidosCampoLibreDouble2", "float", 0, false, "0"),
    PasoCrear("ComprasPedidosCampoLibreDouble3", "float", 0, false, "0"),
    PasoCrear("ComprasPedidosCampoLibreDouble4", "float", 0, false, "0"),
    PasoCrear("ComprasPedidosCampoLibreDouble5", "float", 0, false, "0"),
    PasoCrear("ComprasPedidosIDCONTACTO", "BIGINT", 0, true, "0"),
    PasoCrear("ComprasPedidosCONTACTONOMBRE", "VARCHAR", 100, true, "''"),
    PasoAmpliar("ComprasPedidosCpostalcli", "< 10", 10),
    PasoCrear("COMPRASPEDIDOSCODIGOESTADO", "VARCHAR", 4, true, "''"),
};

constexpr PasoTabla kPasosLineasPedidosCompra[] = {
    PasoAmpliar("ComprasPedidos2CodArticulo", "<= 10", 20),
    PasoCrear("ComprasPedidos2Talla", "varchar", 5, true, "'00000'"),
    PasoCrear("ComprasPedidos2Color", "varchar", 5, true, "'00000'"),
    PasoCrear("ComprasPedidos2CodigoArticuloProveedor", "varchar", 50, false, ""),
    PasoCrear("ComprasPedidos2Lote", "varchar", 50, true, "'0000000000'"),
};

constexpr RutinaFamilia kPedidosCompra = {
    "Comenzando actualizacion estructura pedidos compra en la empresa",
    "ComprasPedidosTabla",
    kPasosPedidosCompra,
};

constexpr RutinaFamilia kLineasPedidosCompra = {
    "Comenzando actualizacion estructura lineas pedidos compra en la empresa",
    "ComprasPedidosLineas",
    kPasosLineasPedidosCompra,
};

}  // namespace

void ActualizaPedidosCompra(run::RunContext& ctx, db::Connection& Conexion) {
    ActualizaFamilia(ctx, Conexion, kPedidosCompra);
}

void ActualizaLineasPedidosCompra(run::RunContext& ctx, db::Connection& Conexion) {
    ActualizaFamilia(ctx, Conexion, kLineasPedidosCompra);
}

}  // namespace updates::purchases
