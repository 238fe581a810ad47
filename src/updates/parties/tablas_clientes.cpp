#include "updates/parties/tablas_clientes.h"

#include "schema/column_creation.h"
#include "schema/statements.h"
#include "updates/parties/comun.h"

namespace updates::parties {
namespace {

using schema::DefinicionCampo;

// --- TELEFON ------------------------------------------------------------------------------

constexpr DefinicionCampo kCorreoTelefonos = {"TELEEMAIL", "VARCHAR", 50, false, ""};

// The e-mail column ends at 100 characters whatever its width up to 255; a column holding a
// longer address is refused by the server and keeps its width.
constexpr std::string_view kSentenciasTelefonos[] = {
    "DROP INDEX TELEFON.TELEINDICE",
    "Alter Table TELEFON Add ID BIGINT Identity(1, 1)",
    "if COL_LENGTH ('TELEFON','TELECONTACTO') <= 100 alter table TELEFON alter column "
    "TELECONTACTO varchar(100)",
    "if COL_LENGTH ('TELEFON','TELEEMAIL') <= 255 alter table TELEFON alter column TELEEMAIL "
    "varchar(100)",
};

// --- CLIDIRENVIOS -------------------------------------------------------------------------

constexpr std::string_view kComienzoDirecciones =
    "Comenzando actualizacion estructura CLIDIRENVIOS en la empresa";
constexpr std::string_view kSeparadorErrorDirecciones = schema::kSeparadorServidorSinDosPuntos;

constexpr SentenciaDeTabla kAmpliacionesDirecciones[] = {
    {"IF COL_LENGTH ('CLIDIRENVIOS','CLIENVINOMCOMERCIAL') < 100 ALTER TABLE CLIDIRENVIOS ALTER "
     "COLUMN CLIENVINOMCOMERCIAL varchar(100)",
     "Actualizando campo Clienviomcomercial en la empresa",
     "Campo Clienviomcomercial actualizado correctamente en la empresa "},
    {"if COL_LENGTH ('CLIDIRENVIOS','CLIENVIDIRECCION') < 100 alter table CLIDIRENVIOS  alter "
     "column CLIENVIDIRECCION varchar(100)",
     "Actualizando campo Clienvidireccion en la empresa",
     "Campo Clienvidireccion actualizado correctamente en la empresa "},
};

// --- TarifasCliente and TIPOCLI -----------------------------------------------------------

constexpr std::string_view kAmpliacionArticuloTarifas =
    "if COL_LENGTH ('TarifasCliente','TariCodArticul') <= 10 alter table TarifasCliente  alter "
    "column TariCodArticul varchar(20)";
constexpr DefinicionCampo kSextaTarifa = {"TariTar6", "Float", {}, true, "0"};

constexpr DefinicionCampo kTipoPublicable = {"TIPOPUBLICABLE", "INT", {}, false, "0"};

}  // namespace

void ActualizaTelefonos(run::RunContext& ctx, db::Connection& Conexion) {
    schema::CrearCampo(ctx, Conexion, "TELEFON", kCorreoTelefonos);
    schema::SentenciasSimples(Conexion, kSentenciasTelefonos);
}

void ActualizaDireccionesEnvio(run::RunContext& ctx, db::Connection& Conexion,
                               std::string_view Empresa) {
    schema::LineaDeComienzo(ctx, kComienzoDirecciones, Empresa);
    for (const SentenciaDeTabla& ampliacion : kAmpliacionesDirecciones)
        Informar(ctx, Conexion, ampliacion, Empresa, kSeparadorErrorDirecciones);
}

void ActualizaTarifasCliente(run::RunContext& ctx, db::Connection& Conexion) {
    schema::SentenciaSimple(Conexion, kAmpliacionArticuloTarifas);
    schema::CrearCampo(ctx, Conexion, "TarifasCliente", kSextaTarifa);
}

void ActualizaTiposCliente(run::RunContext& ctx, db::Connection& Conexion) {
    schema::CrearCampo(ctx, Conexion, "TIPOCLI", kTipoPublicable);
}

}  // namespace updates::parties
