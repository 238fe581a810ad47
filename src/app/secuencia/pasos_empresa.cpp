#include "app/secuencia/pasos_empresa.h"

#include "app/secuencia/pasos_central.h"
#include "refdata/cuentas_bancarias.h"
#include "refdata/datos_base_empresa.h"
#include "schema/cleanup.h"
#include "schema/properties.h"
#include "updates/accounting/apuntes.h"
#include "updates/accounting/asientos.h"
#include "updates/accounting/cartera.h"
#include "updates/accounting/cobros_pagos.h"
#include "updates/accounting/cuentas.h"
#include "updates/accounting/entidades.h"
#include "updates/accounting/inmovilizado.h"
#include "updates/accounting/iva_tabla.h"
#include "updates/accounting/libros_iva.h"
#include "updates/accounting/modelo200.h"
#include "updates/accounting/modelo349.h"
#include "updates/accounting/modelo390.h"
#include "updates/accounting/modelos.h"
#include "updates/parties/clientes.h"
#include "updates/parties/despacho.h"
#include "updates/parties/personal.h"
#include "updates/parties/proveedores.h"
#include "updates/parties/tablas_clientes.h"
#include "updates/purchases/albaranes_compra.h"
#include "updates/purchases/comisiones.h"
#include "updates/purchases/facturas_compra.h"
#include "updates/purchases/lineas_facturas_compra.h"
#include "updates/purchases/pedidos_compra.h"
#include "updates/sales/albaranes.h"
#include "updates/sales/articulos.h"
#include "updates/sales/escan_lineas.h"
#include "updates/sales/facturas.h"
#include "updates/sales/presupuestos_pedidos.h"
#include "updates/sales/produccion.h"
#include "updates/sales/stock.h"

namespace app {
namespace {

using namespace refdata;
using namespace schema;
using namespace updates::accounting;
using namespace updates::parties;
using namespace updates::sales;
using namespace updates::purchases;

// K77: the bar is filled, then emptied for the steps that follow.
void ProgresoCompleto(run::RunContext& ctx, db::Connection&) {
    ctx.progress.AvanzarProgreso(1000);
    ctx.progress.SetValue(0);
}

void SelloVersionEmpresa(const EntornoPaso& e) {
    GuardarPropiedadEmpresa(e.conexion, kClaveFechaPrograma, e.fechaPrograma);
}

// One line per step, in order: every step of a company's update.
constexpr Paso kPasosEmpresa[] = {
    {"K1", NoExiste("PROPIEDADES"), CrearPropiedadesEmpresa},
    {"K2", Siempre(), ActualizaClientes},
    {"K3", Siempre(), ActualizaTelefonos, 1},
    {"K4", Siempre(), ActualizaDireccionesEnvio, 2},
    {"K5", Siempre(), AmpliaArticuloClientesCyC, 3},
    {"K6", Siempre(), ActualizaLogotipo, 4},
    {"K7", Siempre(), ActualizaProveedores, 5},
    {"K8", Siempre(), ActualizaArticulos, 6},
    {"K9", Siempre(), MigrarPropiedadesExtendidas, 7},
    {"K10", Siempre(), ActualizaCuentas, 8},
    {"K11", Siempre(), ActualizaAcuCartera, 9},
    {"K12", Siempre(), ActualizaEntidades, 10},
    {"K13", Siempre(), ActualizaRemesas, 11},
    {"K14", Existe("PREDEFIVA"), ActualizaAsientosPredefinidos, 12},
    {"K15", ExistenAmbas("MOD349DECLARADOS", "MOD349DECLARANTE"), ActualizaModelo349},
    {"K16", Siempre(), ActualizaModelo390, 13},
    {"K17", Existe("FAMI"), ActualizaFamilias, 14},
    {"K18", Siempre(), ActualizaTarifasCliente, 15},
    {"K19", Siempre(), AmpliaArticuloTipoArticli, 16},
    {"K20", Siempre(), AmpliaArticuloReprenArticli, 17},
    {"K21", Siempre(), ActualizaEscanTabla, 18},
    {"K22", Siempre(), AmpliaArticuloColores, 19},
    {"K23", Siempre(), AmpliaArticuloColores, 20},
    {"K24", Siempre(), AmpliaArticuloCyC, 21},
    {"K25", Siempre(), AmpliaArticuloOfertas, 22},
    {"K26", Siempre(), AmpliaArticuloPreciosIniciales, 23},
    {"K27", Siempre(), ActualizaProvarticli, 24},
    {"K28", Existe("REPTABLA"), ActualizaRepresentantes, 25},
    {"K29", Existe("PermisosRep"), ActualizaPermisosRepresentante, 26},
    {"K30", Existe("ESCANLINEAS"), ActualizaEscanLineas, 27},
    {"K31", Existe("PERSONAL"), ActualizaPersonal, 28},
    {"K32", Existe("TAREAS"), ActualizaTareas, 29},
    {"K33", Existe("INSTANCIAS"), ActualizaInstancias, 30},
    {"K34", Existe("LINEASINSTANCIAS"), ActualizaLineasInstancias, 31},
    {"K35", Existe("ASUNTOS"), ActualizaAsuntos, 32},
    {"K36", Existe("ABOGADOS"), ActualizaAbogados, 33},
    {"K37", Existe("RELACIONENVIOS"), ActualizaRelacionEnvios, 34},
    {"K38", Existe("Mod130"), ActualizaModelo130, 35},
    {"K39", Existe("MOD131"), ActualizaModelo131},
    {"K40", Existe("MODACT310"), ActualizaModelo310},
    {"K41", Existe("Mod340Declarados"), ActualizaModelo340, 36},
    {"K42", Siempre(), ActualizaPresupuestos, 37},
    {"K43", Siempre(), ActualizaLineasPresupuestos, 38},
    {"K44", Siempre(), ActualizaPedidos, 39},
    {"K45", Siempre(), ActualizaLineasPedidos, 40},
    {"K46", Siempre(), ActualizaAlbaranes, 41},
    {"K47", Siempre(), ActualizaLineasAlbaranes, 42},
    {"K48", Siempre(), ActualizaFacturas, 43},
    {"K49", Siempre(), ActualizaLineasFacturas, 44},
    {"K50", Siempre(), ActualizaProduccion, 45},
    {"K51", Siempre(), ActualizaHistoricoIRPF, 46},
    {"K52", Siempre(), ActualizaContadores, 47},
    {"K53", Siempre(), ActualizaComisiones, 48},
    {"K54", Siempre(), ActualizaPedidosCompra, 49},
    {"K55", Siempre(), ActualizaLineasPedidosCompra, 50},
    {"K56", Siempre(), ActualizaAlbaranesCompra, 51},
    {"K57", Siempre(), ActualizaLineasAlbaranesCompra, 52},
    {"K58", Siempre(), ActualizaFacturasCompra, 53},
    {"K59", Siempre(), ActualizaLineasFacturasCompra, 54},
    {"K60", Siempre(), ActualizaApuntes},
    {"K61", Siempre(), ActualizaLibrosIVA, 55},
    {"K62", Siempre(), ActualizaCaducidades, 56},
    {"K63", Siempre(), AmpliaCodPostalAlmacen},
    {"K64", Siempre(), ActualizaMovimientosAlmacen, 57},
    {"K65", Siempre(), ActualizaCStock, 58},
    {"K66", Siempre(), ActualizaPaginasModelo200, 59},
    {"K67", Siempre(), ActualizaCarteraContabilidad, 60},
    {"K68", Siempre(), EliminarVistasSinCantidad, 61},
    {"K69", Existe("BLOQUEOS"), ActualizaBloqueos, 62},
    {"K70", Existe("OPERACIONES_347"), ActualizaModelo347, 63},
    {"K71", Siempre(), ActualizaIvaTabla, 64},
    {"K72", Siempre(), ActualizaCtaNuevoPgc, 65},
    {"K73", Siempre(), ActualizaApuntesOrm, 66},
    {"K74", Siempre(), ActualizaDescripcionConceptos, 67},
    {"K75", Existe("REGISTRO"), ActualizaRegistro},
    {"K76", Existe("INDCOR"), ActualizaDatosBaseEmpresa},
    {"K77", Siempre(), ProgresoCompleto},
    {"K78", Siempre(), ActualizaCliBancosDisp},
    {"K79", Siempre(), EliminarTablasTemporales},
    {"K80", Siempre(), ActualizaTiposCliente},
    {"K81", Existe("amortizaciones"), ActualizaAmortizaciones},
    {"K82", Existe("COBROSPAGOS_REL"), ActualizaCobrosPagosRel},
    {"K83", Existe("COBROSPAGOS_DATOSFACTURA"), ActualizaCobrosPagosDatosFactura},
    {"K84", Existe("MODEL180"), ActualizaModelo180},
    {"K85", Existe("MODEL115"), ActualizaModelo115},
    {"K86", Existe("BIENESINVERSION"), ActualizaBienesInversion},
    {"K-end", Siempre(), SelloVersionEmpresa},
};

}  // namespace

std::span<const Paso> PasosEmpresa() {
    return kPasosEmpresa;
}

}  // namespace app
