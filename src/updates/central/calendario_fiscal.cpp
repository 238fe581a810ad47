#include "updates/central/calendario_fiscal.h"

#include <string>

#include "schema/statements.h"
#include "schema/table_family.h"

namespace updates::central {
namespace {

constexpr const char* kColumnasCalendario[] = {"CDOP", "CMOD", "CIMP"};

}  // namespace

void ActualizaCalendarioFiscal(run::RunContext& ctx, db::Connection& Conexion) {
    // The start line is written once, and only when a calendar exists.
    schema::RecorrerFamiliaAnunciada(
        ctx, Conexion, schema::ConsultaFamilia("CALENDARIO"),
        "Comenzando actualización de calendario fiscal.", [&](const std::string& tabla) {
            for (const char* columna : kColumnasCalendario)
                schema::Ampliar(Conexion, tabla, columna, "<= 255", "varchar(255)");
        });
}

}  // namespace updates::central
