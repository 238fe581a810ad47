#include "updates/accounting/asientos.h"

#include "schema/column_creation.h"
#include "schema/statements.h"

namespace updates::accounting {
namespace {

constexpr schema::DefinicionCampo kCampoTipoPredefiva = {"Tipo", "Int", {}, false, "0"};
// The default is the literal text NULL: the statement carries DEFAULT(NULL) and the rows are
// set to NULL.
constexpr schema::DefinicionCampo kCampoAsiento2 = {"ASIENTO2", "VARCHAR", 7, false, "NULL"};

}  // namespace

void ActualizaAsientosPredefinidos(run::RunContext& ctx, db::Connection& Conexion,
                                   std::string_view Empresa) {
    schema::LineaDeComienzo(
        ctx, "Comenzando actualizacion estructura asientos predefinidos en la empresa ", Empresa);
    schema::CrearCampo(ctx, Conexion, "PREDEFIVA", kCampoTipoPredefiva);
    schema::SentenciaSimple(Conexion,
                            "alter table operaciones alter column operacion varchar(255)");
    schema::SentenciaSimple(Conexion, "alter table PREDEFCARTERA alter column cartera varchar(29)");
    Conexion.clearError();
    schema::SentenciaSimple(Conexion,
                            "update variables set valorpordefecto='C'  where  (asientopredef like "
                            "'02%' or asientopredef like '07%') and tipo='I' and "
                            "valorpordefecto<>'C'");
    schema::SentenciaSimple(Conexion,
                            "update variables set valorpordefecto='V'  where  asientopredef like "
                            "'03%'  and tipo='I' and valorpordefecto<>'V'");
}

void ActualizaBloqueos(run::RunContext& ctx, db::Connection& Conexion, std::string_view Empresa) {
    schema::LineaDeComienzo(ctx, "Comenzando actualizacion estructura bloqueos en la empresa ",
                            Empresa);
    schema::CrearCampo(ctx, Conexion, "BLOQUEOS", kCampoAsiento2);
}

}  // namespace updates::accounting
