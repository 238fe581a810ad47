#include "updates/central/criterios_orientadores.h"

#include <string>

#include "schema/column_creation.h"
#include "schema/statements.h"
#include "schema/table_family.h"

namespace updates::central {
namespace {

constexpr schema::DefinicionCampo kCamposCriterios[] = {
    {"Unidades", "bit", {}, true, "0"},        {"TextoUnidades", "varchar", 100, false, ""},
    {"TramoUnidades", "int", {}, false, ""},   {"PrecioTramoUnidades", "float", {}, false, ""},
    {"Multiplicador", "float", {}, false, ""},
};

constexpr schema::DefinicionCampo kCampoIndice = {"IdAyuda", "int", {}, true, "0"};

}  // namespace

void ActualizaCriteriosOrientadores(run::RunContext& ctx, db::Connection& Conexion) {
    schema::RecorrerFamiliaAnunciada(
        ctx, Conexion, schema::ConsultaFamilia("HONCRITERIOS"),
        "Comenzando actualización de criterios orientadores.", [&](const std::string& tabla) {
            schema::CrearCampos(ctx, Conexion, tabla, kCamposCriterios);
        });
    schema::RecorrerFamilia(
        ctx, Conexion, schema::ConsultaFamilia("HONINDICE"),
        [&](const std::string& tabla) { schema::CrearCampo(ctx, Conexion, tabla, kCampoIndice); });
}

}  // namespace updates::central
