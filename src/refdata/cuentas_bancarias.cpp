#include "refdata/cuentas_bancarias.h"

#include <array>
#include <string>

#include "schema/column_creation.h"
#include "schema/pasos_pendientes.h"
#include "schema/statements.h"

namespace refdata {
namespace {

using schema::DefinicionCampo;
using schema::ResultadoCampo;

// --- CTANUEVOPGC -------------------------------------------------------------------------

constexpr std::string_view kCtaNuevoPgc = "CTANUEVOPGC";
constexpr std::array<DefinicionCampo, 13> kCamposCtaNuevoPgc = {{
    {"CodigoPais", "varchar", 5, true, "''"},
    {"DescripcionPais", "varchar", 50, true, "''"},
    {"TipoDoc", "varchar", 1, true, "''"},
    {"Plazos", "int", 0, true, "0"},
    {"DiasPlazos", "int", 0, true, "0"},
    {"DiaPago1", "int", 0, true, "0"},
    {"DiaPago2", "int", 0, true, "0"},
    {"Entidad", "varchar", 4, true, "''"},
    {"Sucursal", "varchar", 4, true, "''"},
    {"Dc", "varchar", 2, true, "''"},
    {"CuentaBanco", "varchar", 10, true, "''"},
    {"Bic", "varchar", 15, true, "''"},
    {"Iban", "varchar", 4, true, "''"},
}};

constexpr std::array<BankAccountColumns, 1> kCuentaCtaNuevoPgc = {{
    {"ENTIDAD", "SUCURSAL", "DC", "CUENTABANCO", "IBAN", "BIC",
     IbanRule::kWhenEmptyAndAccountComplete, BicRule::kWhenEmptyAndEntityPresent,
     BicKey::kEntityFourDigits},
}};

// --- CLIBANCOSDISP -----------------------------------------------------------------------

constexpr std::string_view kCliBancosDisp = "CLIBANCOSDISP";
constexpr std::array<DefinicionCampo, 4> kCamposCliBancosDisp = {{
    {"SWIFT", "varchar", 25, true, "''"},
    {"ROUTING", "varchar", 25, true, "''"},
    {"CLIBANCOSIBAN", "varchar", 4, true, "''"},
    {"CLIBANCOSBIC", "varchar", 15, true, "''"},
}};

constexpr std::array<BankAccountColumns, 1> kCuentaCliBancosDisp = {{
    {"CLIBANCOSENTIDAD", "CLIBANCOSSUCURSAL", "CLIBANCOSDIGITO", "CLIBANCOSCUENTA", "CLIBANCOSIBAN",
     "CLIBANCOSBIC", IbanRule::kEveryRow, BicRule::kEveryRow, BicKey::kEntityFourDigits},
}};

}  // namespace

const BankAccountBackfill kRellenoCtaNuevoPgc = {
    "SELECT ENTIDAD,SUCURSAL,DC,CUENTABANCO, BIC,IBAN FROM CTANUEVOPGC WHERE (IBAN IS NULL OR "
    "IBAN ='') OR (BIC IS NULL OR BIC ='') ",
    "", db::CursorType::ForwardOnly, kCuentaCtaNuevoPgc};

const BankAccountBackfill kRellenoCliBancosDisp = {
    "SELECT CLIBANCOSENTIDAD, CLIBANCOSSUCURSAL, CLIBANCOSDIGITO, CLIBANCOSCUENTA, "
    "CLIBANCOSIBAN, CLIBANCOSBIC FROM CLIBANCOSDISP WHERE CLIBANCOSCUENTA <> '' AND "
    "CLIBANCOSENTIDAD<>'' AND CLIBANCOSDIGITO <> '' AND CLIBANCOSSUCURSAL<>''",
    "", db::CursorType::Dynamic, kCuentaCliBancosDisp};

void ActualizaCtaNuevoPgc(run::RunContext& ctx, db::Connection& Conexion,
                          std::string_view Empresa) {
    schema::LineaDeComienzo(ctx, "Comenzando actualizacion estructura ctanuevopgc en la empresa",
                            Empresa);
    schema::PasoTrasGuarda(
        ctx, Conexion, schema::ClavePaso(kCtaNuevoPgc, "Iban"),
        schema::FaltanTodas(ctx, kCtaNuevoPgc, {"Iban", "Bic"}),
        [&] {
            return schema::GuardaEnLista(
                ctx, schema::CrearCampos(ctx, Conexion, kCtaNuevoPgc, kCamposCtaNuevoPgc),
                kCtaNuevoPgc, {"Iban", "Bic"});
        },
        [&] { RellenarCuentasBancarias(Conexion, ctx.ColeccionBIC, kRellenoCtaNuevoPgc); });
    schema::Ampliar(Conexion, kCtaNuevoPgc, "CP", "<10", "varchar(10)");
    schema::AmpliacionInformada(
        ctx, Conexion,
        schema::SentenciaAmpliacion(kCtaNuevoPgc, "titulodelacuenta", "< 100", "varchar(100)"),
        "titulodelacuenta");
}

void ActualizaCliBancosDisp(run::RunContext& ctx, db::Connection& Conexion) {
    Conexion.clearError();
    Conexion.execute(
        "IF COL_LENGTH ('CLIBANCOSDISP','CLIBANCOSENTIDAD') < 10 ALTER TABLE CLIBANCOSDISP "
        "ALTER COLUMN CLIBANCOSENTIDAD varchar(10)");
    schema::PasoTrasGuarda(
        ctx, Conexion, schema::ClavePaso(kCliBancosDisp, "CLIBANCOSIBAN"),
        schema::FaltanTodas(ctx, kCliBancosDisp, {"CLIBANCOSIBAN", "CLIBANCOSBIC"}),
        [&] {
            return schema::GuardaEnLista(
                ctx, schema::CrearCampos(ctx, Conexion, kCliBancosDisp, kCamposCliBancosDisp),
                kCliBancosDisp, {"CLIBANCOSIBAN", "CLIBANCOSBIC"});
        },
        [&] { RellenarCuentasBancarias(Conexion, ctx.ColeccionBIC, kRellenoCliBancosDisp); });
}

}  // namespace refdata
