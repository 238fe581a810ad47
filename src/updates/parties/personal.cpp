#include "updates/parties/personal.h"

#include "schema/column_creation.h"
#include "schema/statements.h"

namespace updates::parties {
namespace {

using schema::DefinicionCampo;

// --- REPTABLA -----------------------------------------------------------------------------

constexpr std::string_view kComienzoRepresentantes =
    "Comenzando actualizacion estructura reptabla en la empresa";

constexpr DefinicionCampo kLoginRepresentante = {"REPLOGIN", "VARCHAR", 128, false, ""};

constexpr std::string_view kIndiceRepresentantes =
    "IF NOT EXISTS(SELECT NAME FROM SYSINDEXES WHERE ID=OBJECT_ID('REPTABLA') AND "
    "NAME='REPINDICE') CREATE UNIQUE INDEX REPINDICE ON REPTABLA (REPCODIGO)";

constexpr DefinicionCampo kFirmasRepresentante[] = {
    {"REPFIRMAPRE", "VARCHAR", 1, false, ""},
    {"REPFIRMAPED", "VARCHAR", 1, false, ""},
    {"REPFIRMAALB", "VARCHAR", 1, false, ""},
    {"REPFIRMAFAC", "VARCHAR", 1, false, ""},
};

constexpr std::string_view kAmpliacionCodPostal =
    "if COL_LENGTH ('REPTABLA','REPCODPOSTAL') <10 alter table REPTABLA alter column "
    "REPCODPOSTAL varchar(10)";

// --- PermisosRep --------------------------------------------------------------------------

constexpr std::string_view kComienzoPermisos =
    "Comenzando actualizacion estructura permisos representante en la empresa";

constexpr DefinicionCampo kCamposPermisos[] = {
    {"EDITACAMBIO", "varchar", 1, false, ""},
    {"CONTROLTIEMPOCOBRO", "INT", {}, false, "0"},
};

// --- PERSONAL -----------------------------------------------------------------------------

constexpr std::string_view kComienzoPersonal =
    "Comenzando actualizacion estructura personal en la empresa";

constexpr DefinicionCampo kCamposPersonal[] = {
    {"TipoVia", "VARCHAR", 3, true, "''"}, {"Numero", "VARCHAR", 7, true, "''"},
    {"Piso", "VARCHAR", 8, true, "''"},    {"Puerta", "VARCHAR", 7, true, "''"},
    {"IPF", "INT", {}, true, "0"},         {"IdOutLook", "VARCHAR", 255, true, "''"},
};

}  // namespace

void ActualizaRepresentantes(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(ctx, kComienzoRepresentantes);
    schema::CrearCampo(ctx, Conexion, "RepTabla", kLoginRepresentante);
    schema::SentenciaSimple(Conexion, kIndiceRepresentantes);
    schema::CrearCampos(ctx, Conexion, "REPTABLA", kFirmasRepresentante);
    schema::SentenciaSimple(Conexion, kAmpliacionCodPostal);
}

void ActualizaPermisosRepresentante(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(ctx, kComienzoPermisos);
    schema::CrearCampos(ctx, Conexion, "PermisosRep", kCamposPermisos);
}

void ActualizaPersonal(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(ctx, kComienzoPersonal);
    schema::CrearCampos(ctx, Conexion, "PERSONAL", kCamposPersonal);
}

}  // namespace updates::parties
