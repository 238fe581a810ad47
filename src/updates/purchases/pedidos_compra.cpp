#include "updates/purchases/pedidos_compra.h"

#include "schema/statements.h"
#include "updates/familias/familia_anual.h"

namespace updates::purchases {
namespace {

using familias::Ampliacion;
using familias::Columna;

// The delivery address is widened twice, to 50 and then to 100: the second step finishes what
// the first began on tables of the oldest releases.
constexpr familias::PasoTabla kPasosPedidosCompra[] = {
    Ampliacion("ComprasPedidosNombrecli", "< 50", "varchar(50)"),
    Ampliacion("ComprasPedidosDireccionEnvio", "< 50", "varchar(50)"),
    Ampliacion("ComprasPedidosNifCliente", "< 15", "varchar(15)"),
    Ampliacion("ComprasPedidosNumerosudocu", "< 25", "varchar(25)"),
    Ampliacion("ComprasPedidosDomiciliocli", "< 100", "varchar(100)"),
    Ampliacion("ComprasPedidosDireccionEnvio", "< 100", "varchar(100)"),
    Columna({"ComprasPedidosBancoPago", "varchar", 35, false, ""}),
    Columna({"ComprasPedidosCampoLibreDouble1", "float", 0, false, "0"}),
    Columna({"ComprasPedidosCampoLibreDouble2", "float", 0, false, "0"}),
    Columna({"ComprasPedidosCampoLibreDouble3", "float", 0, false, "0"}),
    Columna({"ComprasPedidosCampoLibreDouble4", "float", 0, false, "0"}),
    Columna({"ComprasPedidosCampoLibreDouble5", "float", 0, false, "0"}),
    Columna({"ComprasPedidosIDCONTACTO", "BIGINT", 0, true, "0"}),
    Columna({"ComprasPedidosCONTACTONOMBRE", "VARCHAR", 100, true, "''"}),
    Ampliacion("ComprasPedidosCpostalcli", "< 10", "varchar(10)"),
    Columna({"COMPRASPEDIDOSCODIGOESTADO", "VARCHAR", 4, true, "''"}),
};

constexpr familias::PasoTabla kPasosLineasPedidosCompra[] = {
    Ampliacion("ComprasPedidos2CodArticulo", "<= 10", "varchar(20)"),
    Columna({"ComprasPedidos2Talla", "varchar", 5, true, "'00000'"}),
    Columna({"ComprasPedidos2Color", "varchar", 5, true, "'00000'"}),
    Columna({"ComprasPedidos2CodigoArticuloProveedor", "varchar", 50, false, ""}),
    Columna({"ComprasPedidos2Lote", "varchar", 50, true, "'0000000000'"}),
};

constexpr familias::FamiliaAnual kPedidosCompra = {
    .nombre = "ComprasPedidosTabla",
    .pasos = kPasosPedidosCompra,
};

constexpr familias::FamiliaAnual kLineasPedidosCompra = {
    .nombre = "ComprasPedidosLineas",
    .pasos = kPasosLineasPedidosCompra,
};

}  // namespace

void ActualizaPedidosCompra(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(ctx,
                            "Comenzando actualizacion estructura pedidos compra en la empresa");
    familias::ActualizarFamilia(ctx, Conexion, kPedidosCompra);
}

void ActualizaLineasPedidosCompra(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(
        ctx, "Comenzando actualizacion estructura lineas pedidos compra en la empresa");
    familias::ActualizarFamilia(ctx, Conexion, kLineasPedidosCompra);
}

}  // namespace updates::purchases
