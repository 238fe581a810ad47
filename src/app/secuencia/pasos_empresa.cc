#include "app/secuencia/pasos_empresa.h"

#include "app/secuencia/pasos_central.h"
#include "refdata/cuentas_bancarias.h"
#include "refdata/datos_base_empresa.h"
#include "schema/cleanup.h"
#include "schema/properties.h"
#include "updates/parties/clientes.h"
#include "updates/parties/despacho.h"
#include "updates/parties/personal.h"
#include "updates/parties/proveedores.h"
#include "updates/parties/tablas_clientes.h"

namespace app {
namespace {

using namespace refdata;
using namespace schema;
using namespace updates::parties;

// K77: the bar is filled, then emptied for the steps that follow.
void ProgresoCompleto(run::RunContext& ctx, db::Connection&) {
    ctx.progress.AvanzarProgreso(1000);
    ctx.progress.SetValue(0);
}

void SelloVersionEmpresa(const EntornoPaso& e) {
    GuardarPropiedadEmpresa(e.conexion, kClaveFechaPrograma, e.fechaPrograma);
}

// One line per step, in order. The routines of the article, accounting, tax-return, sales and
// purchase tables take their places between these lines as they are written (K5, K6, K8,
// K10–K17, K19–K27, K30, K38–K67, K69–K71, K73–K75, K81–K86).
constexpr Paso kPasosEmpresa[] = {
    {"K1", NoExiste("PROPIEDADES"), CrearPropiedadesEmpresa},
    {"K2", Siempre(), ActualizaClientes},
    {"K3", Siempre(), ActualizaTelefonos, 1},
    {"K4", Siempre(), ActualizaDireccionesEnvio, 2},
    {"K7", Siempre(), ActualizaProveedores, 5},
    {"K9", Siempre(), MigrarPropiedadesExtendidas, 7},
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
    {"K68", Siempre(), EliminarVistasSinCantidad, 61},
    {"K72", Siempre(), ActualizaCtaNuevoPgc, 65},
    {"K76", Existe("INDCOR"), ActualizaDatosBaseEmpresa},
    {"K77", Siempre(), ProgresoCompleto},
    {"K78", Siempre(), ActualizaCliBancosDisp},
    {"K79", Siempre(), EliminarTablasTemporales},
    {"K80", Siempre(), ActualizaTiposCliente},
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
