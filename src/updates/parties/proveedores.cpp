#include "updates/parties/proveedores.h"

#include "refdata/catalogos_fiscales.h"
#include "schema/column_creation.h"
#include "schema/pasos_pendientes.h"
#include "schema/statements.h"
#include "updates/parties/comun.h"

namespace updates::parties {
namespace {

using schema::CampoDeTabla;
using schema::DefinicionCampo;

constexpr std::string_view kComienzo =
    "Comenzando actualizacion estructura Proveedorestabla en la empresa";
constexpr std::string_view kSeparadorError = schema::kSeparadorServidorSinDosPuntos;

constexpr SentenciaDeTabla kAmpliaciones[] = {
    {"if COL_LENGTH ('ProveedoresTabla','ProvNombre') < 50 alter table ProveedoresTabla  alter "
     "column ProvNombre varchar(50)",
     "Actualizando campo ProvNombre en la empresa",
     "Campo ProvNombre actualizado correctamente en la empresa "},
    {"if COL_LENGTH ('ProveedoresTabla','ProvNomComercial') < 100 alter table ProveedoresTabla  "
     "alter column ProvNomComercial varchar(100)",
     "Actualizando campo ProvNomComercial en la empresa",
     "Campo ProvNomComercial actualizado correctamente en la empresa "},
    {"if COL_LENGTH ('ProveedoresTabla','ProvPersonaCont') < 100 alter table ProveedoresTabla  "
     "alter column ProvPersonaCont varchar(100)",
     "Actualizando campo ProvPersonaCont en la empresa",
     "Campo ProvPersonaCont actualizado correctamente en la empresa "},
    {"if COL_LENGTH ('ProveedoresTabla','ProvDireccion') < 100 alter table ProveedoresTabla  "
     "alter column ProvDireccion varchar(100)",
     "Actualizando campo ProvDireccion en la empresa",
     "Campo ProvDireccion actualizado correctamente en la empresa "},
    {"if COL_LENGTH ('ProveedoresTabla','ProvCif') < 15 alter table ProveedoresTabla  alter "
     "column ProvCif varchar(15)",
     "Actualizando campo ProvCif en la empresa",
     "Campo ProvCif actualizado correctamente en la empresa "},
};

constexpr std::string_view kBancos = "PROVBANCOSDISP";
constexpr std::string_view kBicBanco = "PROVBANCOSBIC";
constexpr std::string_view kIbanBanco = "PROVBANCOSIBAN";

constexpr CampoDeTabla kCampos[] = {
    {"ProveedoresTabla", {"ProvIPF", "int", {}, true, "0"}},
    {"ProveedoresTabla", {"ProvTipoVia", "VARCHAR", 3, false, ""}},
    {"ProveedoresTabla", {"ProvColaborador", "BIT", {}, true, "0"}},
    {"ProveedoresTabla", {"PROVNUMEROPROCURADOR", "VARCHAR", 15, true, "''"}},
    {"PROVEEDORESTABLA", {"Sexo", "CHAR", 1, false, "''"}},
    {"PROVEEDORESTABLA", {"RadPostal", "CHAR", 1, false, "''"}},
    {"PROVEEDORESTABLA", {"ProcuradorIcam", "VARCHAR", 4, false, "''"}},
    {"PROVEEDORESTABLA", {"Colegio", "VARCHAR", 5, false, ""}},
    {"PROVEEDORESTABLA", {"PartidoJudicial", "VARCHAR", 3, false, ""}},
    {"PROVEEDORESTABLA", {"CodigoMunicipio", "VARCHAR", 3, false, ""}},
    {"ProveedoresTabla", {"IdOutLook", "VARCHAR", 255, true, "''"}},
    {"ProveedoresTabla", {"ProvCodPais", "VARCHAR", 5, true, "''"}},
    {"ProveedoresTabla", {"ProvDesPais", "VARCHAR", 35, true, "''"}},
    {"ProveedoresTabla", {"ProvTipodoc", "int", {}, true, "0"}},
    {"PROVBANCOSDISP", {"PROVBANCOSACTIVA", "VARCHAR", 1, false, "0"}},
    {"ProveedoresTabla", {"CriterioCaja", "BIT", {}, true, "0"}},
    {"ProveedoresTabla", {"EsIntra", "BIT", {}, true, "0"}},
    {"PROVBANCOSDISP", {kBicBanco, "varchar", 15, true, "''"}},
    {"PROVBANCOSDISP", {kIbanBanco, "varchar", 4, true, "''"}},
};

constexpr std::string_view kAmpliacionCodPostal =
    "IF COL_LENGTH ('proveedorestabla','ProvCodPostal') < 10 ALTER TABLE proveedorestabla ALTER "
    "COLUMN ProvCodPostal varchar(10)";

constexpr refdata::BankAccountColumns kCuentaProvBancosDisp[] = {
    {"PROVBANCOSENTIDAD", "PROVBANCOSSUCURSAL", "PROVBANCOSDIGITO", "PROVBANCOSCUENTA", kIbanBanco,
     kBicBanco, refdata::IbanRule::kEveryRow, refdata::BicRule::kEveryRow,
     // The IBAN is computed from the entity padded to four digits; the BIC is looked up under
     // the same four digits, so that an entity stored as "49" finds the BIC of 0049.
     refdata::BicKey::kEntityFourDigits},
};

// Regimes 3, 4 and 5 become 1 and every other 0. The order matters: the first statement must
// not see the 1s that the second writes.
constexpr std::string_view kRegimenesIva[] = {
    "UPDATE ProveedoresTabla SET ProvIVA = 0 WHERE ProvIVA NOT IN (3,4,5)",
    "UPDATE ProveedoresTabla SET ProvIVA = 1 WHERE ProvIVA IN (3,4,5)",
};

constexpr DefinicionCampo kPlazoEntrega = {"PlazoEntrega", "FLOAT", {}, true, "0"};

// The re-mapping is owed when the central phase created TipoIVA2010 in this run, or when the
// company database holds its marker (written by that central phase, in this run or in one that
// was interrupted). Done twice, it would turn the new 1s into 0s: so the marker goes in the
// transaction of the two statements, and the re-mapping and its marker go together or not at all.
void RemapearRegimenesIva(run::RunContext& ctx, db::Connection& Conexion) {
    schema::PasoPendiente marca(ctx, Conexion, std::string(refdata::kPasoRegimenesIvaProveedores));
    if (!ctx.ActualizarIVAProveedores && !marca.Heredado()) return;
    if (!marca.Marcado()) {
        schema::SentenciasSimples(Conexion, kRegimenesIva);
        return;
    }
    marca.HacerYQuitar([&] { schema::SentenciasSimples(Conexion, kRegimenesIva); });
}

}  // namespace

const refdata::BankAccountBackfill kRellenoProvBancosDisp = {
    "SELECT PROVBANCOSENTIDAD, PROVBANCOSSUCURSAL, PROVBANCOSDIGITO, PROVBANCOSCUENTA, "
    "PROVBANCOSIBAN, PROVBANCOSBIC FROM PROVBANCOSDISP WHERE PROVBANCOSCUENTA <> '' AND "
    "PROVBANCOSENTIDAD<>'' AND PROVBANCOSSUCURSAL<>'' AND PROVBANCOSDIGITO<>''",
    "", db::CursorType::Dynamic, kCuentaProvBancosDisp};

void ActualizaProveedores(run::RunContext& ctx, db::Connection& Conexion) {
    const std::string empresa = ctx.CodigoEmpresaActual();
    schema::LineaDeComienzo(ctx, kComienzo, empresa);
    for (const SentenciaDeTabla& ampliacion : kAmpliaciones)
        Informar(ctx, Conexion, ampliacion, empresa, kSeparadorError);

    // Only the run that creates both bank columns fills them: on later runs they hold what the
    // users wrote since.
    schema::PasoPendiente relleno(ctx, Conexion, schema::ClavePaso(kBancos, kBicBanco));
    if (schema::FaltanTodas(ctx, kBancos, {kBicBanco, kIbanBanco})) relleno.Marcar();
    const schema::CamposCreados creados = schema::CrearCampos(ctx, Conexion, kCampos);
    schema::SentenciaSimple(Conexion, kAmpliacionCodPostal);
    const schema::ResultadoCampo bancos =
        schema::GuardaEnLista(ctx, creados, kBancos, {kBicBanco, kIbanBanco});
    if (bancos == schema::ResultadoCampo::Creado ||
        (bancos == schema::ResultadoCampo::YaExistia && relleno.Heredado()))
        refdata::RellenarCuentasBancarias(Conexion, ctx.ColeccionBIC, kRellenoProvBancosDisp);
    relleno.Quitar();

    RemapearRegimenesIva(ctx, Conexion);

    schema::CrearCampo(ctx, Conexion, "PROVEEDORESTABLA", kPlazoEntrega);
}

}  // namespace updates::parties
