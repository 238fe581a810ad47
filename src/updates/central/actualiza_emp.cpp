#include "updates/central/actualiza_emp.h"

#include "schema/column_creation.h"
#include "schema/statements.h"

namespace updates::central {
namespace {

constexpr char kTabla[] = "EMP";

// Added before the fiscal-data widenings, in this order.
constexpr schema::DefinicionCampo kCamposEmp[] = {
    {"CodigoTabla", "INT", {}, true, "0"},
    {"CodigoTarifa", "INT", {}, true, "0"},
    {"PROGCONTABLE", "INT", {}, true, "1"},
    {"CODIGOEMISORPOPERACIONAL", "VARCHAR", 50, false, ""},
    {"CODIGORECEPTORPOPERACIONAL", "VARCHAR", 50, false, ""},
    {"CODIGOFORMAPAGORELACION", "VARCHAR", 15, false, ""},
    {"RegimenIva", "INT", {}, true, "0"},
    {"FJURID", "VARCHAR", 1, false, ""},
    {"TIPOFACTURA", "VARCHAR", 35, true, "''"},
    {"EMPFAMIDEFECTO", "VARCHAR", 4, true, "''"},
    {"IDEMPRESA", "VARCHAR", 100, false, ""},
    {"IDEMPRESAIP", "VARCHAR", 100, false, ""},
    {"FormatoIntroduccionArticulosCompras", "INT", {}, true, "1"},
    {"MEIPF", "INT", {}, false, "0"},
    {"MENURUTADOCUMENTOS", "VARCHAR", 255, false, ""},
    {"EMPTAMAÑOCODIGOARTICULOS", "INT", {}, false, "10"},
    {"EMPRELLENARCODIGOSARTICULOS", "INT", {}, false, "1"},
    {"EMPFAMIDEFECTOBUSQUEDAS", "VARCHAR", 4, false, ""},
    {"MEEMPRESAAGRARIA", "INT", {}, false, "0"},
};

// The partial-box columns of the fiscal data hold five characters from this release on.
constexpr std::string_view kAmpliacionesDatosFiscales[] = {
    "if COL_LENGTH ('DATOSFISCALES','CASILLAPAR16') < 5 ALTER TABLE DATOSFISCALES ALTER COLUMN "
    "CASILLAPAR16 VARCHAR(5)",
    "if COL_LENGTH ('DATOSFISCALES','CASILLAPAR26') < 5 ALTER TABLE DATOSFISCALES ALTER COLUMN "
    "CASILLAPAR26 VARCHAR(5)",
    "if COL_LENGTH ('DATOSFISCALES','CASILLAPAR36') < 5 ALTER TABLE DATOSFISCALES ALTER COLUMN "
    "CASILLAPAR36 VARCHAR(5)",
    "if COL_LENGTH ('DATOSFISCALES','CASILLAPAR46') < 5 ALTER TABLE DATOSFISCALES ALTER COLUMN "
    "CASILLAPAR46 VARCHAR(5)",
};

// Added after the widenings, in this order.
constexpr schema::DefinicionCampo kCamposEmpPosteriores[] = {
    {"CRITERIOCAJA", "INT", {}, false, "0"},
    {"TIPOPROGRAMA", "INT", {}, false, "0"},
    {"EMPCAMBIARREPRESENTANTESPORUSUAROS", "INT", {}, false, "0"},
    {"EMPSINCDATOSCTA", "INT", {}, true, "0"},
    {"ESTADOSII", "INT", {}, false, "0"},
    {"EMPLOTEDESDELINEA", "INT", {}, true, "0"},
    {"MEEMPRESAAGRARIAC", "INT", {}, false, "0"},
};

}  // namespace

void ActualizaEmp(run::RunContext& ctx, db::Connection& Conexion) {
    schema::CrearCampos(ctx, Conexion, kTabla, kCamposEmp);
    schema::SentenciasSimples(Conexion, kAmpliacionesDatosFiscales);
    schema::CrearCampos(ctx, Conexion, kTabla, kCamposEmpPosteriores);
}

}  // namespace updates::central
