#include "updates/central/juzgados.h"

#include <string>

#include "schema/catalogue_probes.h"
#include "schema/column_creation.h"
#include "schema/pasos_pendientes.h"
#include "schema/statements.h"

namespace updates::central {
namespace {

constexpr schema::DefinicionCampo kCamposJuzgados[] = {
    {"Tribunal", "VARCHAR", 5, false, ""},         {"RadPostal", "VARCHAR", 1, false, ""},
    {"Tratamiento", "VARCHAR", 50, false, ""},     {"Zona", "VARCHAR", 3, false, ""},
    {"Turnar", "VARCHAR", 1, false, ""},           {"Sala", "VARCHAR", 50, false, ""},
    {"AbreTratamiento", "VARCHAR", 10, false, ""}, {"AbTratamien", "VARCHAR", 25, false, ""},
    {"Zona_VD", "VARCHAR", 3, false, ""},          {"Competencia", "VARCHAR", 1, false, ""},
};

constexpr schema::DefinicionCampo kCampoCodigoProvincia = {"CodigoProvincia", "VARCHAR", 2, true,
                                                           "''"};
constexpr schema::DefinicionCampo kCamposRegion[] = {
    {"CodigoComunidad", "VARCHAR", 2, true, "''"},
    {"Comunidad", "VARCHAR", 255, true, "''"},
};
constexpr schema::DefinicionCampo kCampoTipoViaJuzgados = {"TipoVia", "VARCHAR", 3, true, "''"};

constexpr schema::DefinicionCampo kCampoTipoViaColegios = {"TipoVia", "VARCHAR", 3, false, ""};

constexpr schema::DefinicionCampo kCampoFiltroConsultas = {"filtroSQL", "TEXT", {}, true, "''"};

// The provinces of each region by the first two digits of their postal codes, with the
// regions' official codes. La Rioja is province 26. Region 07 is Castilla y León (Ávila,
// Burgos, León, Palencia, Salamanca, Segovia, Soria, Valladolid, Zamora) and 08 Castilla-La
// Mancha (Albacete, Ciudad Real, Cuenca, Guadalajara, Toledo): the names go with those codes and
// provinces, not the other way round.
constexpr Comunidad kComunidades[] = {
    {"01", "ANDALUCIA", "'04','11','14','18','21','23','29','41'"},
    {"02", "ARAGON", "'22','44','50'"},
    {"03", "ASTURIAS", "'33'"},
    {"04", "BALEARES", "'07'"},
    {"05", "CANARIAS", "'35','38'"},
    {"06", "CANTABRIA", "'39'"},
    {"07", "CASTILLA LEON", "'05','09','24','34','37','40','42','47','49'"},
    {"08", "CASTILLA LA MANCHA", "'02','13','16','19','45'"},
    {"09", "CATALUÑA", "'08','17','25','43'"},
    {"10", "COMUNIDAD VALENCIANA", "'03','12','46'"},
    {"11", "EXTREMADURA", "'06','10'"},
    {"12", "GALICIA", "'15','27','32','36'"},
    {"13", "MADRID", "'28'"},
    {"14", "MURCIA", "'30'"},
    {"15", "NAVARRA", "'31'"},
    {"16", "PAIS VASCO", "'01','20','48'"},
    {"17", "LA RIOJA", "'26'"},
    {"18", "CEUTA", "'51'"},
    {"19", "MELILLA", "'52'"},
};

}  // namespace

std::span<const Comunidad> Comunidades() {
    return kComunidades;
}

std::string SentenciaComunidad(const Comunidad& comunidad) {
    std::string sql =
        "UPDATE JUZGADOS SET CodigoProvincia = LEFT(CodigoPostal,2),CodigoComunidad='";
    sql += comunidad.codigo;
    sql += "',Comunidad='";
    sql += comunidad.nombre;
    sql += "' WHERE CodigoPostal <> '' and LEFT(CodigoPostal,2) in(";
    sql += comunidad.prefijos;
    sql += ")";
    return sql;
}

void ActualizaJuzgados(run::RunContext& ctx, db::Connection& Conexion) {
    if (!schema::ExisteObjeto("JUZGADOS", Conexion, schema::kTipoTabla)) return;
    schema::CrearCampos(ctx, Conexion, "JUZGADOS", kCamposJuzgados);
}

void ActualizaJuzgadosComunidades(run::RunContext& ctx, db::Connection& Conexion) {
    // The regions are filled once, on the run that adds the province: a court added later
    // keeps empty region columns.
    schema::PasoTrasGuarda(
        ctx, Conexion, schema::ClavePaso("JUZGADOS", kCampoCodigoProvincia.campo),
        schema::FaltaColumna(ctx, "JUZGADOS", kCampoCodigoProvincia.campo),
        [&] {
            const schema::ResultadoCampo provincia =
                schema::CrearCampo(ctx, Conexion, "JUZGADOS", kCampoCodigoProvincia);
            schema::CrearCampos(ctx, Conexion, "JUZGADOS", kCamposRegion);
            return provincia;
        },
        [&] {
            for (const Comunidad& comunidad : kComunidades)
                schema::SentenciaSimple(Conexion, SentenciaComunidad(comunidad));
        });
    schema::CrearCampo(ctx, Conexion, "JUZGADOS", kCampoTipoViaJuzgados);
}

void ActualizaColegiosAbogados(run::RunContext& ctx, db::Connection& Conexion) {
    schema::CrearCampo(ctx, Conexion, "COLEGIOSABOGADOS", kCampoTipoViaColegios);
}

void ActualizaConsultasAsuntos(run::RunContext& ctx, db::Connection& Conexion) {
    schema::CrearCampo(ctx, Conexion, "CONSULTASASUNTOS", kCampoFiltroConsultas);
}

}  // namespace updates::central
