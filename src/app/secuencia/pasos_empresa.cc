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

namespace app {
namespace {

using namespace refdata;
using namespace schema;
using namespace updates::accounting;
using namespace updates::parties;

// K77: the bar is filled, then emptied for the steps that follow.
void ProgresoCompleto(run::RunContext& ctx, db::Connection&) {
    ctx.progress.AvanzarProgreso(1000);
    ctx.progress.SetValue(0);
}

void SelloVersionEmpresa(const EntornoPaso& e) {
    GuardarPropiedadEmpresa(e.conexion, kClaveFechaPrograma, e.fechaPrograma);
}

// One line per step, in order. The routines of the article, sales and purchase tables take
// their places between these lines as they are written (K5, K8, K17, K19–K27, K30, K42–K50,
// K53–K59, K62–K65).
constexpr Paso kPasosEmpresa[] = {
    {"K1", NoExiste("PROPIEDADES"), CrearPropiedadesEmpresa},
    {"K2", Siempre(), ActualizaClientes},
    {"K3", Siempre(), ActualizaTelefonos, 1},
    {"K4", Siempre(), ActualizaDireccionesEnvio, 2},
    {"K6", Siempre(), ActualizaLogotipo, 4},
    {"K7", Siempre(), ActualizaProveedores, 5},
    {"K9", Siempre(), MigrarPropiedadesExtendidas, 7},
    {"K10", Siempre(), ActualizaCuentas, 8},
    {"K11", Siempre(), ActualizaAcuCartera, 9},
    {"K12", Siempre(), ActualizaEntidades, 10},
    {"K13", Siempre(), ActualizaRemesas, 11},
    {"K14", Existe("PREDEFIVA"), ActualizaAsientosPredefinidos, 12},
    {"K15", ExistenAmbas("MOD349DECLARADOS", "MOD349DECLARANTE"), ActualizaModelo349},
    {"K16", Siempre(), ActualizaModelo390, 13},
    {"K18", Siempre(), ActualizaTarifasCliente, 15},
    {"K28", Existe("REPTABLA"), ActualizaRepresentantes, 25},
    {"K29", Existe("PermisosRep"), ActualizaPermisosRepresentante, 26},
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
    {"K51", Siempre(), ActualizaHistoricoIRPF, 46},
    {"K52", Siempre(), ActualizaContadores, 47},
    {"K60", Siempre(), ActualizaApuntes},
    {"K61", Siempre(), ActualizaLibrosIVA, 55},
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

std::int16_t PasoProgresoEmpresa(int maximo) {
    return static_cast<std::int16_t>(maximo / 68);
}

}  // namespace app
