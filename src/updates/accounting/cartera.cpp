#include "updates/accounting/cartera.h"

#include <array>

#include "schema/column_creation.h"
#include "schema/pasos_pendientes.h"
#include "schema/default_batches.h"
#include "schema/sql_text.h"
#include "schema/statements.h"
#include "schema/table_family.h"

namespace updates::accounting {
namespace {

using refdata::BankAccountColumns;
using refdata::BicKey;
using refdata::BicRule;
using refdata::IbanRule;
using schema::DefinicionCampo;
using schema::ResultadoCampo;

constexpr std::string_view kAcuCartera = "ACUCARTERATABLA";

constexpr DefinicionCampo kCampoCodAsuntoInterno = {
    "ACUCARTERACodAsuntoInterno", "FLOAT", {}, true, "0"};
// ACUCARTERAempresa (varchar 5, not null) takes its default from the company code.
constexpr DefinicionCampo kCampoBic = {"ACUCARTERABIC", "varchar", 15, true, "''"};
constexpr DefinicionCampo kCampoIban = {"ACUCARTERAIBAN", "varchar", 4, true, "''"};

// The amount column was numeric in old releases; it becomes float with default 0 under the
// name its constraint had.
constexpr schema::ConversionTipo kImporteAFloat = {
    kAcuCartera, "ACUCARTERAIMPORTE", "numeric", "FLOAT", "0", true};

constexpr std::array<BankAccountColumns, 1> kCuentaAcuCartera = {{
    {"ACUCARTERAEntidad", "ACUCARTERASucursal", "ACUCARTERADigito", "ACUCARTERACuenta",
     "ACUCARTERAIBAN", "ACUCARTERABIC", IbanRule::kEveryRow, BicRule::kEveryRow,
     BicKey::kEntityFourDigits},
}};

constexpr DefinicionCampo kCampoFechaCargo = {"RemesaFechaCargo", "DATETIME", {}, false, ""};

}  // namespace

const refdata::BankAccountBackfill kRellenoAcuCartera = {
    "Select * from acucarteratabla where ACUCARTERAVencimiento >={d'2013-01-01'} and "
    "(isnull(ACUCARTERAEntidad,'') <>'' and isnull(ACUCARTERASucursal,'') <> '' and "
    "isnull(ACUCARTERADigito,'') <>'' and isnull(ACUCARTERACuenta,'') <> '')",
    "", db::CursorType::Dynamic, kCuentaAcuCartera};

std::string DefectoEmpresaCartera(std::string_view empresa) {
    const std::string_view ultimos =
        empresa.size() > 5 ? empresa.substr(empresa.size() - 5) : empresa;
    return schema::Unir({"'", schema::DuplicarComillas(ultimos), "'"});
}

void ActualizaAcuCartera(run::RunContext& ctx, db::Connection& Conexion) {
    const std::string empresa = ctx.CodigoEmpresaActual();
    schema::LineaDeComienzo(
        ctx, "Comenzando actualizacion estructura ACUCARTERATABLA en la empresa", empresa);

    schema::SentenciaSimple(Conexion, schema::LoteConversionTipo(kImporteAFloat));

    Conexion.clearError();
    schema::AmpliacionInformada(
        ctx, Conexion,
        "if COL_LENGTH ('ACUCARTERATABLA','ACUCARTERANombreBanco') < 50 alter "
        "table ACUCARTERATABLA alter column ACUCARTERANombreBanco varchar(50)",
        "ACUCARTERANombreBanco");
    schema::AmpliacionInformada(
        ctx, Conexion,
        "if COL_LENGTH ('ACUCARTERATABLA','ACUCARTERADescricliente') < 100 alter "
        "table ACUCARTERATABLA alter column ACUCARTERADescricliente varchar(100)",
        "ACUCARTERADescricliente");

    schema::CrearCampo(ctx, Conexion, kAcuCartera, kCampoCodAsuntoInterno);
    const std::string defectoEmpresa = DefectoEmpresaCartera(empresa);
    schema::CrearCampo(ctx, Conexion, kAcuCartera,
                       DefinicionCampo{"ACUCARTERAempresa", "varchar", 5, true, defectoEmpresa});
    schema::PasoTrasGuarda(
        ctx, Conexion, schema::ClavePaso(kAcuCartera, kCampoBic.campo),
        schema::FaltanTodas(ctx, kAcuCartera, {kCampoBic.campo, kCampoIban.campo}),
        [&] {
            const ResultadoCampo bic = schema::CrearCampo(ctx, Conexion, kAcuCartera, kCampoBic);
            const ResultadoCampo iban = schema::CrearCampo(ctx, Conexion, kAcuCartera, kCampoIban);
            return schema::Ambas(bic, iban);
        },
        [&] { refdata::RellenarCuentasBancarias(Conexion, ctx.ColeccionBIC, kRellenoAcuCartera); });

    Conexion.clearError();
    schema::SentenciaSimple(Conexion,
                            "IF COL_LENGTH ('ACUCARTERATABLA','ACUCARTERANifCliente') < 15 ALTER "
                            "TABLE ACUCARTERATABLA ALTER COLUMN ACUCARTERANifCliente VARCHAR(15)");
}

void ActualizaCarteraContabilidad(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(
        ctx, "Comenzando actualizacion estructura cartera contabilidad en la empresa");
    schema::RecorrerFamilia(
        ctx, Conexion, schema::ConsultaFamilia("DATOSCARTERA"),
        [&Conexion](const std::string& t) {
            schema::SentenciaSimple(
                Conexion, schema::Unir({"if COL_LENGTH ('", t, "','DESCCTA') < 255 alter table ", t,
                                        "  alter column DESCCTA varchar(255)"}));
            schema::SentenciaSimple(
                Conexion, schema::Unir({"if COL_LENGTH ('", t, "','DESCBANCO') < 255 alter table ",
                                        t, "  alter column DESCBANCO varchar(255)"}));
        },
        schema::BombeoEventos::TrasCadaTabla);
}

void ActualizaRemesas(run::RunContext& ctx, db::Connection& Conexion) {
    schema::CrearCampoConPaso(ctx, Conexion, "REMESAS", kCampoFechaCargo, [&] {
        schema::SentenciaSimple(Conexion, "UPDATE REMESAS SET REMESAFECHACARGO = REMESAFECHA");
    });
}

}  // namespace updates::accounting
