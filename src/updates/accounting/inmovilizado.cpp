#include "updates/accounting/inmovilizado.h"

#include "schema/column_creation.h"
#include "schema/statements.h"

namespace updates::accounting {
namespace {

using schema::DefinicionCampo;

constexpr DefinicionCampo kCampoMotivoBaja = {"MOTIVOBAJA", "varchar", 128, true, "''"};

constexpr DefinicionCampo kCamposBienesInversion[] = {
    {"IOP", "varchar", 2, false, "''"},
    {"IPERIODO", "INT", {}, false, "0"},
};

}  // namespace

void ActualizaAmortizaciones(run::RunContext& ctx, db::Connection& Conexion) {
    schema::CrearCampo(ctx, Conexion, "AMORTIZACIONES", kCampoMotivoBaja);
}

void ActualizaBienesInversion(run::RunContext& ctx, db::Connection& Conexion,
                              std::string_view Empresa) {
    schema::LineaDeComienzo(
        ctx, "Comenzando actualización estructura BIENESINVERSION en la empresa", Empresa);
    schema::CrearCampos(ctx, Conexion, "BIENESINVERSION", kCamposBienesInversion);
}

}  // namespace updates::accounting
