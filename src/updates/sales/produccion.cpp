#include "updates/sales/produccion.h"

#include "schema/cleanup.h"
#include "schema/column_creation.h"
#include "schema/pasos_pendientes.h"
#include "schema/statements.h"
#include "schema/table_family.h"
#include "updates/familias/familia_anual.h"

namespace updates::sales {

using familias::Ampliacion;
using familias::Columna;
using familias::FamiliaAnual;
using familias::PasoTabla;

namespace {

constexpr PasoTabla kPasosLineasProduccion[] = {
    Ampliacion("PROLINEASCODARTI", "<= 10", "varchar(20)"),
    Columna({"PROLINEASACTIVO", "VARCHAR", 1, false, "'0'"}),
    Columna({"PROLINEASUNIDAD", "int", {}, false, "0"}),
    Columna({"PROLINEASVOLUMEN", "int", {}, false, "0"}),
    Columna({"PROLINEASCANTIDAD", "float", {}, false, "0"}),
    Columna({"PROLINEASALTO", "float", {}, false, "0"}),
    Columna({"PROLINEASANCHO", "float", {}, false, "0"}),
    Columna({"PROLINEASGRUESO", "float", {}, false, "0"}),
};
// Added last; the run that adds it drops the stock-movement views.
constexpr schema::DefinicionCampo kCampoUnidadesFija = {
    "PROLINEASUNIDADESFIJA", "bit", {}, false, "0"};

constexpr FamiliaAnual kLineasProduccion = {
    .consulta =
        "select Table_Name from INFORMATION_SCHEMA.TABLES where Table_name like "
        "'E____ProduccionLineas' and table_type='BASE TABLE '",
    .pasos = kPasosLineasProduccion,
};

constexpr std::string_view kConsultaProduccion =
    "select Table_Name from INFORMATION_SCHEMA.TABLES where Table_name like 'E____Produccion' and "
    "table_type='BASE TABLE '";

}  // namespace

void ActualizaProduccion(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(
        ctx, "Comenzando actualizacion estructura líneas de producción en la empresa");
    schema::RecorrerFamilia(ctx, Conexion, kLineasProduccion.consulta,
                            [&](const std::string& tabla) {
                                familias::ActualizarTabla(ctx, Conexion, kLineasProduccion, tabla);
                                schema::CrearCampoConPaso(ctx, Conexion, tabla, kCampoUnidadesFija, [&] {
                                    schema::EliminarVistasMovimientosStock(Conexion);
                                });
                            });

    schema::LineaDeComienzo(ctx, "Comenzando actualizacion estructura producción en la empresa");
    schema::RecorrerFamilia(ctx, Conexion, kConsultaProduccion, [&](const std::string& tabla) {
        schema::Ampliar(Conexion, tabla, "DESCLI", "<= 50", "varchar(100)");
    });
}

}  // namespace updates::sales
