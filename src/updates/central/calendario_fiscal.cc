#include "updates/central/calendario_fiscal.h"

#include <string>

#include "run/update_log.h"
#include "schema/statements.h"
#include "schema/table_family.h"

namespace updates::central {
namespace {

constexpr const char* kColumnasCalendario[] = {"CDOP", "CMOD", "CIMP"};

}  // namespace

void ActualizaCalendarioFiscal(run::RunContext& ctx, db::Connection& Conexion) {
    bool primera = true;
    schema::RecorrerFamilia(
        ctx, Conexion, schema::ConsultaFamilia("CALENDARIO"), [&](const std::string& tabla) {
            // The start line is written once, and only when a calendar exists.
            if (primera) {
                ctx.EscribirLog(schema::kProcedimientoFormActivate,
                                "Comenzando actualización de calendario fiscal.", "",
                                run::kNivelInformacion);
                primera = false;
            }
            for (const char* columna : kColumnasCalendario)
                schema::Ampliar(Conexion, tabla, columna, "<= 255", "varchar(255)");
        });
}

}  // namespace updates::central
