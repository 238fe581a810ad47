#include "app/secuencia/pasos_central.h"

#include "app/secuencia/cuentemp7.h"
#include "refdata/catalogos_fiscales.h"
#include "refdata/datos_base.h"
#include "run/update_log.h"
#include "schema/properties.h"
#include "schema/statements.h"
#include "updates/central/actualiza_emp.h"
#include "updates/central/calendario_fiscal.h"
#include "updates/central/catalogos.h"
#include "updates/central/criterios_orientadores.h"
#include "updates/central/juzgados.h"

namespace app {
namespace {

using namespace updates::central;
using namespace refdata;

void ComienzoVardex(run::RunContext& ctx, db::Connection&) {
    ctx.EscribirLog(schema::kProcedimientoFormActivate, "Comenzando actualizacion de Vardex", "",
                    run::kNivelInformacion);
}

// The inline statements raise nothing and log nothing: their error is cleared.
template <const char* kSentencia>
void SentenciaDirecta(db::Connection& conexion) {
    conexion.execute(kSentencia);
    conexion.clearError();
}

void SelloVersionCentral(const EntornoPaso& e) {
    schema::GuardarPropiedad(e.conexion, kClaveFechaPrograma, schema::kPropiedadVersion,
                             e.fechaPrograma);
}

constexpr Paso kPasosCentrales[] = {
    {"C1", Siempre(), ComienzoVardex},
    {"C2", Siempre(), ActualizaCuentEmp7, 1},
    {"C3", Siempre(), ActualizaEmp, 2},
    {"C4", Siempre(), SentenciaDirecta<kBorraCpeniten>, 3},
    {"C5", Siempre(), ActualizaCalendarioFiscal, 4},
    {"C6", Siempre(), ActualizaCriteriosOrientadores, 5},
    {"C7", Siempre(), ActualizaJuzgados, 6},
    {"C8", Siempre(), SentenciaDirecta<kBorraTiposDeVia>, 7},
    {"C9", Siempre(), SentenciaDirecta<kBorraTiposIdentificativos>, 8},
    {"C10", Existe("TRABAJOS_PREDEFINIDOS"), ActualizaTrabajosPredefinidos, 9},
    {"C11", Existe("SOCIOS"), ActualizaSocios, 10},
    {"C12", Siempre(), ActualizaPosta},
    {"C13", Existe("CAJASTABLA"), ActualizaCajas, 11},
    {"C14", Existe("JUZGADOS"), ActualizaJuzgadosComunidades, 12},
    {"C15", Existe("COLEGIOSABOGADOS"), ActualizaColegiosAbogados, 13},
    {"C16", Existe("ETIQUETAS"), ActualizaEtiquetas, 14},
    {"C17", Existe("CONSULTASASUNTOS"), ActualizaConsultasAsuntos, 15},
    {"C18", Existe("ImpresorasTabla"), ActualizaImpresoras, 16},
    {"C19", Existe("ESCRITORIOACTIVO"), ActualizaEscritorioActivo, 17},
    {"C20", Existe("OPERACIONES_ORM"), ActualizaOperacionesOrm},
    {"C21", Existe("MODULOS"), ActualizaModulos, 18},
    {"C22", NoExiste("PROPIEDADES"), schema::CrearPropiedades},
    {"C23", Siempre(), Rutina::ConContexto{SincronizarDatosBase}, 19},
    {"C24", Siempre(), ActualizaTipoIVA2010},
    {"C25", Siempre(), ActualizaIVA2010, 20},
    {"C26", Existe("actividades_orm"), ActualizaActividadesOrm, 21},
    {"C27", Siempre(), ActualizaCuentasP, 22},
    {"C28", Siempre(), ActualizaIVA2012, 23},
    {"C29", Siempre(), SelloVersionCentral},
};

}  // namespace

std::span<const Paso> PasosCentrales() {
    return kPasosCentrales;
}

}  // namespace app
