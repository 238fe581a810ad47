#include "updates/accounting/entidades.h"

#include <array>

#include "schema/column_creation.h"
#include "schema/properties.h"
#include "schema/statements.h"

namespace updates::accounting {
namespace {

using refdata::BankAccountColumns;
using refdata::BicKey;
using refdata::BicRule;
using refdata::IbanRule;
using schema::DefinicionCampo;
using schema::ResultadoCampo;

constexpr std::string_view kEntidad = "ENTIDAD";

// Three commission columns per tier, tier by tier.
constexpr DefinicionCampo kCamposComisiones[] = {
    {"ENTCOMTARDE1", "FLOAT", {}, true, "0"},   {"ENTCOMTARA1", "FLOAT", {}, true, "0"},
    {"ENTCOMTARPCTO1", "FLOAT", {}, true, "0"}, {"ENTCOMTARDE2", "FLOAT", {}, true, "0"},
    {"ENTCOMTARA2", "FLOAT", {}, true, "0"},    {"ENTCOMTARPCTO2", "FLOAT", {}, true, "0"},
    {"ENTCOMTARDE3", "FLOAT", {}, true, "0"},   {"ENTCOMTARA3", "FLOAT", {}, true, "0"},
    {"ENTCOMTARPCTO3", "FLOAT", {}, true, "0"}, {"ENTCOMTARDE4", "FLOAT", {}, true, "0"},
    {"ENTCOMTARA4", "FLOAT", {}, true, "0"},    {"ENTCOMTARPCTO4", "FLOAT", {}, true, "0"},
    {"ENTCOMTARDE5", "FLOAT", {}, true, "0"},   {"ENTCOMTARA5", "FLOAT", {}, true, "0"},
    {"ENTCOMTARPCTO5", "FLOAT", {}, true, "0"},
};

constexpr DefinicionCampo kCamposOrdenante[] = {
    {"ENTIDENTIFICACIONN32", "VARCHAR", 15, false, ""},
    {"ENTIBANORDENANTE", "VARCHAR", 4, false, ""},
    {"ENTIBICORDENANTE", "VARCHAR", 15, false, ""},
};
constexpr DefinicionCampo kCampoIban = {"ENTIBAN", "VARCHAR", 4, false, ""};
constexpr DefinicionCampo kCampoBic = {"ENTIBIC", "VARCHAR", 15, false, ""};

constexpr DefinicionCampo kCamposPasarela[] = {
    {"SWIFT", "varchar", 25, true, "''"},
    {"ROUTING", "varchar", 25, true, "''"},
    {"ENTITPVCOMERCIO", "varchar", 50, true, "''"},
    {"ENTITPVTERMINAL", "varchar", 50, true, "''"},
    {"ENTITPVCLAVESECRETA", "varchar", 255, true, "''"},
    {"ENTITPVURL", "varchar", 255, true, "''"},
    {"ENTITPVMONDEA", "integer", {}, false, "0"},
    {"ENTITPVENCRIPTACION", "integer", {}, false, "0"},
};

constexpr std::array<BankAccountColumns, 2> kCuentasEntidad = {{
    {"ENTENTIDAD", "ENTSUCURSAL", "ENTDIGCONT", "ENTCUENTA", "ENTIBAN", "ENTIBIC",
     IbanRule::kWhenEmptyAndAccountComplete, BicRule::kWhenEmptyAndEntityPresent,
     BicKey::kEntityFourDigits},
    {"ENTORDENAENTIDAD", "ENTORDENASUCURSAL", "ENTORDENADIGITO", "ENTORDENACUENTA",
     "ENTIBANORDENANTE", "ENTIBICORDENANTE", IbanRule::kWhenEmptyAndAccountComplete,
     BicRule::kWhenEmptyAndEntityPresent, BicKey::kEntityFourDigits},
}};

// The company property that marks the backfill as done, and its value.
constexpr std::string_view kPropiedadEntidad = "ENTIDAD";
constexpr std::string_view kVersionRellenoEntidad = "1001";

// Whether the backfill runs, given the outcomes of adding ENTIBAN and ENTIBIC: always when both
// were created now, never when either failed, otherwise while the mark is unset.
bool RellenoPendiente(db::Connection& Conexion, ResultadoCampo iban, ResultadoCampo bic) {
    if (iban == ResultadoCampo::Fallido || bic == ResultadoCampo::Fallido) return false;
    if (iban == ResultadoCampo::Creado && bic == ResultadoCampo::Creado) return true;
    return schema::LeerPropiedadEmpresa(Conexion, kPropiedadEntidad).empty();
}

}  // namespace

const refdata::BankAccountBackfill kRellenoEntidades = {
    "SELECT ENTENTIDAD,ENTSUCURSAL,ENTDIGCONT,ENTCUENTA,ENTIBAN,ENTIBIC,ENTIBANORDENANTE, "
    "ENTORDENAENTIDAD, ENTORDENASUCURSAL, ENTORDENADIGITO, ENTORDENACUENTA, ENTIBICORDENANTE "
    "FROM ENTIDAD WHERE (ENTIBAN IS NULL OR ENTIBAN ='') OR (ENTIBIC IS NULL OR ENTIBIC ='')",
    "", db::CursorType::Dynamic, kCuentasEntidad};

void ActualizaEntidades(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(ctx, "Comenzando actualizacion estructura entidad en la empresa ");
    schema::SentenciaSimple(
        Conexion,
        "UPDATE ENTIDAD SET ENTCTAACREEDOR='410' + REPLICATE('0', LEN (ENTCTACONTABLE)-7)+ "
        "ENTCODIGO WHERE ENTCODIGO<>'9999' AND isnull(ENTCTAACREEDOR,'') = '' AND LEN "
        "(ENTCTACONTABLE)>3");
    schema::CrearCampos(ctx, Conexion, kEntidad, kCamposComisiones);
    schema::CrearCampos(ctx, Conexion, kEntidad, kCamposOrdenante);
    const ResultadoCampo iban = schema::CrearCampo(ctx, Conexion, kEntidad, kCampoIban);
    const ResultadoCampo bic = schema::CrearCampo(ctx, Conexion, kEntidad, kCampoBic);
    schema::SentenciaSimple(Conexion,
                            "IF COL_LENGTH ('ENTIDAD','ALMCODPOSTAL') < 10 ALTER TABLE ENTIDAD "
                            "ALTER COLUMN ALMCODPOSTAL varchar(10)");

    if (RellenoPendiente(Conexion, iban, bic)) {
        const refdata::BackfillOutcome relleno =
            refdata::RellenarCuentasBancarias(Conexion, ctx.ColeccionBIC, kRellenoEntidades);
        // A set that could not be read filled nothing: the mark is left unset so that the
        // next run tries again.
        if (relleno.opened)
            schema::GuardarPropiedadEmpresa(Conexion, kPropiedadEntidad, kVersionRellenoEntidad);
    }

    Conexion.clearError();
    schema::SentenciaSimple(Conexion,
                            "IF COL_LENGTH ('ENTIDAD','ENTENTIDAD') < 10 ALTER TABLE ENTIDAD ALTER "
                            "COLUMN ENTENTIDAD varchar(10)");
    schema::CrearCampos(ctx, Conexion, kEntidad, kCamposPasarela);
}

}  // namespace updates::accounting
