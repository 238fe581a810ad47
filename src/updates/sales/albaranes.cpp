#include "updates/sales/albaranes.h"

#include "schema/statements.h"
#include "updates/sales/firmas.h"

namespace updates::sales {

using familias::Ampliacion;
using familias::Columna;
using familias::FamiliaAnual;
using familias::PasoTabla;
using familias::RellenoCuentas;

namespace {

using C = familias::Consecuencia;

constexpr PasoTabla kPasosAlbaranes[] = {
    Ampliacion("ALBARANNombrecli", "< 100", "varchar(100)"),
    Ampliacion("ALBARANCampoLibreTexto1", "< 50", "varchar(50)"),
    Ampliacion("ALBARANCampoLibreTexto2", "< 100", "varchar(100)"),
    Ampliacion("ALBARANCampoLibreTexto3", "< 50", "varchar(50)"),
    Ampliacion("ALBARANCampoLibreTexto4", "< 50", "varchar(50)"),
    Ampliacion("ALBARANCampoLibreTexto5", "< 50", "varchar(50)"),
    Ampliacion("ALBARANNifCliente", "< 15", "varchar(15)"),
    Ampliacion("ALBARANDireccionEnvio", "< 100", "varchar(100)"),
    Ampliacion("ALBARANNumerosudocu", "< 25", "varchar(25)"),
    Ampliacion("ALBARANDomiciliocli", "< 100", "varchar(100)"),
    Columna({"ALBARANBancoPago", "varchar", 35, false, ""}),
    Columna({"ALBARANTransporteConductor", "varchar", 70, true, "''"}),
    Columna({"ALBARANTransporteDniConductor", "varchar", 15, true, "''"}),
    Columna({"ALBARANTransporteMatricula", "varchar", 20, true, "''"}),
    Columna({"ALBARANTransporteMatriculaRemolque", "varchar", 20, true, "''"}),
    Columna({"ALBARANTPVEntregaCliente", "FLOAT", {}, true, "0"}),
    Columna({"ALBARANTPVCambio", "FLOAT", {}, true, "0"}),
    Columna({"ALBARANComercialPDA", "INT", {}, false, ""}),
    Columna({"ALBARANAlbaranPDA", "BIGINT", {}, false, ""}),
    Columna({"ALBARANImportePagado", "FLOAT", {}, true, "0"}),
    Columna({"ALBARANBIC", "VARCHAR", 15, true, "''"}, C::ResultadoBic),
    Columna({"ALBARANIBAN", "VARCHAR", 4, true, "''"}, C::ResultadoIban),
    RellenoCuentas(),
    Columna({"ALBARANIDCONTACTO", "BIGINT", {}, true, "0"}),
    Columna({"ALBARANCONTACTONOMBRE", "VARCHAR", 100, true, "''"}),
    Ampliacion("ALBARANCpostalcli", "< 10", "varchar(10)"),
    Columna({"ALBARANTIPOCLIENTE", "VARCHAR", 4, true, "''"}, C::TipoClienteSiNueva),
    Columna({"ALBARANCODIGOESTADO", "VARCHAR", 4, true, "''"}),
};

constexpr refdata::BankAccountColumns kCuentaAlbaran[] = {
    {"ALBARANENTIDAD", "ALBARANSUCURSAL", "ALBARANDIGITO", "ALBARANCC", "ALBARANIban", "ALBARANBic",
     refdata::IbanRule::kEveryRow, refdata::BicRule::kEveryRow, refdata::BicKey::kEntityFourDigits},
};

constexpr refdata::BankAccountBackfill kRellenoAlbaranes = {
    "SELECT ALBARANENTIDAD, ALBARANSUCURSAL, ALBARANDIGITO, ALBARANCC, ALBARANIban,ALBARANBic "
    "FROM ",
    " WHERE (ISNULL(ALBARANCC,'') <> '' AND  ISNULL(ALBARANSUCURSAL,'') <> '' AND "
    "ISNULL(ALBARANDIGITO,'') <>'' AND ISNULL(ALBARANENTIDAD,'')<>'')",
    db::CursorType::Dynamic, kCuentaAlbaran};

constexpr PasoTabla kPasosLineasAlbaranes[] = {
    Ampliacion("ALBARAN2CodArticulo", "<= 10", "varchar(20)"),
    Columna({"ALBARAN2Talla", "varchar", 5, true, "'00000'"}),
    Columna({"ALBARAN2Color", "varchar", 5, true, "'00000'"}),
    Columna({"ALBARAN2PrecioMedioCoste", "Float", {}, false, "0"}),
    Columna({"ALBARAN2NOFACTURABLE", "bit", {}, true, "0"}),
    Columna({"ALBARAN2Lote", "varchar", 50, true, "'0000000000'"}),
};

}  // namespace

const FamiliaAnual kAlbaranes = {
    .consulta =
        "select Table_Name from INFORMATION_SCHEMA.TABLES where Table_name like "
        "'E____AlbaranesTabla' and table_type='BASE TABLE '",
    .pasos = kPasosAlbaranes,
    .relleno = &kRellenoAlbaranes,
    .prefijoCliente = "ALBARAN",
};

const FamiliaAnual kAlbaranesFirmas = {
    .consulta =
        "select Table_Name from INFORMATION_SCHEMA.TABLES where Table_name like "
        "'E____AlbaranesTablaFirmas' and table_type='BASE TABLE '",
    .pasos = kPasosFirmas,
};

const FamiliaAnual kLineasAlbaranes = {
    .consulta =
        "select Table_Name from INFORMATION_SCHEMA.TABLES where Table_name like "
        "'E____AlbaranesLineas' and table_type='BASE TABLE '",
    .pasos = kPasosLineasAlbaranes,
};

void ActualizaAlbaranes(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(ctx, "Comenzando actualizacion estructura albaranes en la empresa");
    familias::ActualizarFamilia(ctx, Conexion, kAlbaranes);
    familias::ActualizarFamilia(ctx, Conexion, kAlbaranesFirmas);
}

void ActualizaLineasAlbaranes(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(ctx,
                            "Comenzando actualizacion estructura lineas albaranes en la empresa");
    familias::ActualizarFamilia(ctx, Conexion, kLineasAlbaranes);
}

}  // namespace updates::sales
