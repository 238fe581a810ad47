#include "updates/accounting/apuntes.h"

#include <span>
#include <string>

#include "schema/column_creation.h"
#include "schema/statements.h"
#include "schema/table_family.h"

namespace updates::accounting {
namespace {

using schema::DefinicionCampo;

constexpr DefinicionCampo kCamposLineaApunte[] = {
    {"TIPODOCUMENTOKORVAN", "varchar", 10, false, ""},
    {"DOCUMENTOKORVAN", "float", {}, false, "0"},
    {"BANCOREMESA", "varchar", 4, false, ""},
    {"ENVIADO", "INT", {}, false, "0"},
    {"CERRADO", "INT", {}, false, "0"},
    {"CENTRO", "VARCHAR", 4, false, ""},
    {"CENTRONOMBRE", "VARCHAR", 50, false, ""},
    {"SECCION", "VARCHAR", 4, false, ""},
    {"SECCIONNOMBRE", "VARCHAR", 50, false, ""},
};

constexpr DefinicionCampo kCamposApuntesOrm[] = {
    {"TIPOOPERACIONINTRACOMUNITARIA", "INT", {}, true, "0"},
    {"PLAZOOPERACION", "INT", {}, true, "0"},
    {"RESUMENINICIO", "INT", {}, true, "0"},
    {"RESUMENFIN", "INT", {}, true, "0"},
    {"OPERA8", "VARCHAR", 1, false, ""},
    {"OPERAX", "INT", {}, true, "0"},
};

constexpr DefinicionCampo kCamposHistoricoIrpf[] = {
    {"HISTORICANAL", "varchar", 2, false, ""},
    {"HISTORIEXPORTADO", "int", {}, true, "0"},
};

constexpr DefinicionCampo kCamposContadores[] = {
    {"PROXIMOAPUNTECOMPRAS", "float", {}, false, "0"},
    {"PROXIMOAPUNTEVENTAS", "float", {}, false, "0"},
    {"SERIEEXENTA", "int", {}, false, "0"},
};

// Logs the start line, then adds `campos` to every table of family E____<familia>.
void CamposEnFamilia(run::RunContext& ctx, db::Connection& Conexion, std::string_view comienzo,
                     std::string_view familia, std::span<const DefinicionCampo> campos) {
    schema::LineaDeComienzo(ctx, comienzo);
    schema::RecorrerFamilia(
        ctx, Conexion, schema::ConsultaFamilia(familia),
        [&](const std::string& t) { schema::CrearCampos(ctx, Conexion, t, campos); },
        schema::BombeoEventos::TrasCadaTabla);
}

}  // namespace

void ActualizaApuntes(run::RunContext& ctx, db::Connection& Conexion) {
    CamposEnFamilia(ctx, Conexion, "Comenzando actualizacion estructura apuntes en la empresa",
                    "Lineaapunte", kCamposLineaApunte);
}

void ActualizaHistoricoIRPF(run::RunContext& ctx, db::Connection& Conexion) {
    CamposEnFamilia(ctx, Conexion,
                    "Comenzando actualizacion estructura historico de irpf en la empresa",
                    "HistoricoIRPF", kCamposHistoricoIrpf);
}

void ActualizaContadores(run::RunContext& ctx, db::Connection& Conexion) {
    CamposEnFamilia(ctx, Conexion, "Comenzando actualizacion estructura contadores en la empresa",
                    "ContadorTabla", kCamposContadores);
}

void ActualizaApuntesOrm(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(ctx, "Comenzando actualizacion estructura apuntes orm en la empresa");
    schema::RecorrerFamilia(
        ctx, Conexion, schema::ConsultaFamilia("APUNTESORM"),
        [&](const std::string& t) {
            schema::Ampliar(Conexion, t, "DESOPE", "< 255", "varchar(255)");
            schema::CrearCampos(ctx, Conexion, t, kCamposApuntesOrm);
            schema::Ampliar(Conexion, t, "DOCUM", "< 15", "varchar(15)");
        },
        schema::BombeoEventos::TrasCadaTabla);
}

}  // namespace updates::accounting
