#include "updates/central/catalogos.h"

#include "schema/column_creation.h"
#include "schema/pasos_pendientes.h"
#include "schema/statements.h"

namespace updates::central {
namespace {

constexpr schema::DefinicionCampo kCamposTrabajosPredefinidos[] = {
    {"Plantilla", "VARCHAR", 255, false, ""},
    {"Tipo", "VARCHAR", 3, true, "'0'"},
};

constexpr schema::DefinicionCampo kCamposSocios[] = {
    {"MINORACION", "BIT", {}, false, "1"},
    {"DEDVIVIENDA", "BIT", {}, false, "0"},
};

constexpr schema::DefinicionCampo kCamposCajas[] = {
    {"CAJASENTIDADBANCARIA", "VARCHAR", 4, true, "''"},
    {"CAJASAGRUPARLINEAS", "VARCHAR", 1, false, "'1'"},
    {"CAJASTARIFA", "VARCHAR", 1, false, "'A'"},
    {"CAJASOBSOLETA", "BIT", {}, true, "0"},
};

constexpr schema::DefinicionCampo kCamposEtiquetas[] = {
    {"ETIQUETATAMAÑOFUENTETEXTOS", "float", {}, false, "8"},
    {"ETIQUETAFUENTENEGRITA", "VARCHAR", 2, false, "'NO'"},
};

constexpr schema::DefinicionCampo kCampoImpresoras = {"DispImpPuerto", "VARCHAR", 35, false, ""};

constexpr schema::DefinicionCampo kCampoEscritorioPrograma = {"ESCRITORIOACTIVOPROGRAMA", "VARCHAR",
                                                              35, false, ""};

constexpr char kAmpliacionPosta[] =
    "if COL_LENGTH ('POSTA','CPOSTAL') < 10 alter table POSTA alter column CPOSTAL varchar(10)";

constexpr char kProgramaDeEscritoriosExistentes[] =
    "UPDATE ESCRITORIOACTIVO SET ESCRITORIOACTIVOPROGRAMA='KORVAN' WHERE "
    "ESCRITORIOACTIVOPROGRAMA IS NULL";

constexpr char kIndiceEscritorioUsuario[] =
    "IF NOT EXISTS (SELECT * FROM SYSINDEXES WHERE NAME='INDICEUSUARIO' AND "
    "ID=OBJECT_ID('ESCRITORIOACTIVO')) CREATE UNIQUE INDEX INDICEUSUARIO ON ESCRITORIOACTIVO "
    "(USUARIO,DESCRIPCION,ESCRITORIOACTIVOPROGRAMA)";

}  // namespace

void ActualizaTrabajosPredefinidos(run::RunContext& ctx, db::Connection& Conexion) {
    schema::CrearCampos(ctx, Conexion, "TRABAJOS_PREDEFINIDOS", kCamposTrabajosPredefinidos);
}

void ActualizaSocios(run::RunContext& ctx, db::Connection& Conexion) {
    schema::CrearCampos(ctx, Conexion, "SOCIOS", kCamposSocios);
}

void ActualizaPosta(run::RunContext&, db::Connection& Conexion) {
    schema::SentenciaSimple(Conexion, kAmpliacionPosta);
}

void ActualizaCajas(run::RunContext& ctx, db::Connection& Conexion) {
    schema::CrearCampos(ctx, Conexion, "CAJASTABLA", kCamposCajas);
}

void ActualizaEtiquetas(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(ctx, "Comenzando actualizacion estructura etiquetas en la empresa");
    schema::CrearCampos(ctx, Conexion, "ETIQUETAS", kCamposEtiquetas);
}

void ActualizaImpresoras(run::RunContext& ctx, db::Connection& Conexion) {
    schema::CrearCampo(ctx, Conexion, "IMPRESORASTABLA", kCampoImpresoras);
}

void ActualizaEscritorioActivo(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(ctx,
                            "Comenzando actualizacion estructura escritorioactivo en la empresa");
    // Desktops that existed before the column did all belong to the accounting program; the
    // fill runs only on the run that adds the column, so later desktops keep their own.
    schema::CrearCampoConPaso(ctx, Conexion, "ESCRITORIOACTIVO", kCampoEscritorioPrograma, [&] {
        schema::SentenciaSimple(Conexion, kProgramaDeEscritoriosExistentes);
    });
    schema::SentenciaSimple(Conexion, kIndiceEscritorioUsuario);
}

}  // namespace updates::central
