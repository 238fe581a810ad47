#include "updates/sales/presupuestos_pedidos.h"

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
using refdata::BicKey;
using refdata::BicRule;
using refdata::IbanRule;

// --- Quotations ---------------------------------------------------------------------------

constexpr PasoTabla kPasosPresupuestos[] = {
    Ampliacion("PRECOMNombrecli", "< 100", "varchar(100)"),
    Ampliacion("PRECOMCampoLibreTexto1", "< 50", "varchar(50)"),
    Ampliacion("PRECOMCampoLibreTexto2", "< 100", "varchar(100)"),
    Ampliacion("PRECOMCampoLibreTexto3", "< 50", "varchar(50)"),
    Ampliacion("PRECOMCampoLibreTexto4", "< 50", "varchar(50)"),
    Ampliacion("PRECOMCampoLibreTexto5", "< 50", "varchar(50)"),
    Ampliacion("PRECOMNifCliente", "< 15", "varchar(15)"),
    Ampliacion("PRECOMNumerosudocu", "< 25", "varchar(25)"),
    Ampliacion("PRECOMDomiciliocli", "< 100", "varchar(100)"),
    Ampliacion("PRECOMDireccionEnvio", "< 100", "varchar(100)"),
    Columna({"PRECOMBancoPago", "varchar", 35, false, ""}),
    Columna({"PRECOMESTADO", "VARCHAR", 10, true, "0"}),
    Columna({"PRECOMSUPLIDOS", "FLOAT", {}, true, "0"}),
    Columna({"PRECOMCODASUNTOINT", "FLOAT", {}, true, "0"}),
    Columna({"PRECOMBIC", "VARCHAR", 15, true, "''"}, C::ResultadoBic),
    Columna({"PRECOMIBAN", "VARCHAR", 4, true, "''"}, C::ResultadoIban),
    RellenoCuentas(),
    Columna({"PRECOMIDCONTACTO", "BIGINT", {}, true, "0"}),
    Columna({"PRECOMCONTACTONOMBRE", "VARCHAR", 100, true, "''"}),
    Columna({"PRECOMCODIGOESTADO", "VARCHAR", 4, true, "''"}),
    Ampliacion("PRECOMCpostalcli", "< 10", "varchar(10)"),
    Columna({"PRECOMTIPOCLIENTE", "VARCHAR", 4, true, "''"}, C::TipoClienteSiNueva),
};

constexpr refdata::BankAccountColumns kCuentaPresupuesto[] = {
    {"PRECOMENTIDAD", "PRECOMSUCURSAL", "PRECOMDIGITO", "PRECOMCC", "PRECOMIban", "PRECOMBic",
     IbanRule::kEveryRow, BicRule::kEveryRow, BicKey::kEntityFourDigits},
};

constexpr refdata::BankAccountBackfill kRellenoPresupuestos = {
    "SELECT PRECOMENTIDAD, PRECOMSUCURSAL, PRECOMDIGITO, PRECOMCC, PRECOMIBAN, PRECOMBIC FROM ",
    " WHERE (ISNULL(PRECOMENTIDAD,'')<>'' AND ISNULL(PRECOMSUCURSAL,'')<>'' AND "
    "ISNULL(PRECOMDIGITO,'')<>'' AND  ISNULL(PRECOMCC,'') <> '')",
    db::CursorType::Dynamic, kCuentaPresupuesto};

constexpr PasoTabla kPasosLineasPresupuestos[] = {
    Ampliacion("PRECOM2CodArticulo", "<= 10", "varchar(20)"),
    Columna({"PRECOM2Talla", "varchar", 5, true, "'00000'"}),
    Columna({"PRECOM2Color", "varchar", 5, true, "'00000'"}),
    Columna({"PRECOM2PrecioMedioCoste", "float", {}, false, "0"}),
    Columna({"PRECOM2TIPOIMPORTE", "VARCHAR", 1, false, "0"}),
    Ampliacion("PRECOM2DESARTICULO", "< 255", "varchar (255)"),
    Columna({"PRECOM2NOFACTURABLE", "bit", {}, true, "0"}),
    Columna({"PRECOM2Lote", "varchar", 50, true, "'0000000000'"}),
};

// --- Orders ---------------------------------------------------------------------------------

constexpr PasoTabla kPasosPedidos[] = {
    Ampliacion("PEDIDOSNombrecli", "< 100", "varchar(100)"),
    Ampliacion("PEDIDOSCampoLibreTexto1", "< 50", "varchar(50)"),
    Ampliacion("PEDIDOSCampoLibreTexto2", "< 100", "varchar(100)"),
    Ampliacion("PEDIDOSCampoLibreTexto3", "< 50", "varchar(50)"),
    Ampliacion("PEDIDOSCampoLibreTexto4", "< 50", "varchar(50)"),
    Ampliacion("PEDIDOSCampoLibreTexto5", "< 50", "varchar(50)"),
    Ampliacion("PEDIDOSNifCliente", "< 15", "varchar(15)"),
    Ampliacion("PEDIDOSNumerosudocu", "< 25", "varchar(25)"),
    Ampliacion("PEDIDOSDomiciliocli", "< 100", "varchar(100)"),
    Ampliacion("PEDIDOSDireccionEnvio", "< 100", "varchar(100)"),
    Columna({"PEDIDOSBancoPago", "varchar", 35, false, ""}),
    Columna({"PEDIDOSBIC", "VARCHAR", 15, true, "''"}, C::ResultadoBic),
    Columna({"PEDIDOSIBAN", "VARCHAR", 4, true, "''"}, C::ResultadoIban),
    RellenoCuentas(),
    Columna({"PEDIDOSIDCONTACTO", "BIGINT", {}, true, "0"}),
    Columna({"PEDIDOSCONTACTONOMBRE", "VARCHAR", 100, true, "''"}),
    Ampliacion("PEDIDOSCpostalcli", "< 10", "varchar(10)"),
    Columna({"PEDIDOSTIPOCLIENTE", "VARCHAR", 4, true, "''"}, C::TipoClienteSiNueva),
    Columna({"PEDIDOSCODIGOESTADO", "VARCHAR", 4, true, "''"}),
};

constexpr refdata::BankAccountColumns kCuentaPedido[] = {
    {"PEDIDOSENTIDAD", "PEDIDOSSUCURSAL", "PEDIDOSDIGITO", "PEDIDOSCC", "PEDIDOSIban", "PEDIDOSBic",
     IbanRule::kEveryRow, BicRule::kEveryRow, BicKey::kEntityFourDigits},
};

constexpr refdata::BankAccountBackfill kRellenoPedidos = {
    "SELECT PEDIDOSENTIDAD, PEDIDOSSUCURSAL, PEDIDOSDIGITO, PEDIDOSCC, PEDIDOSIban, PEDIDOSBic "
    "FROM ",
    " WHERE (isnull(PEDIDOSENTIDAD,'') <> '' AND ISNULL(PEDIDOSSUCURSAL,'') <> '' AND "
    "ISNULL(PEDIDOSDIGITO,'')<> '' AND isnull(PEDIDOSCC,'') <> '')",
    db::CursorType::Dynamic, kCuentaPedido};

constexpr PasoTabla kPasosLineasPedidos[] = {
    Ampliacion("PEDIDOS2CodArticulo", "<= 10", "varchar(20)"),
    Columna({"PEDIDOS2Talla", "varchar", 5, true, "'00000'"}),
    Columna({"PEDIDOS2Color", "varchar", 5, true, "'00000'"}),
    Columna({"PEDIDOS2PrecioMedioCoste", "Float", {}, false, "0"}),
    Columna({"PEDIDOS2NOFACTURABLE", "bit", {}, true, "0"}),
    Columna({"PEDIDOS2Lote", "varchar", 50, true, "'0000000000'"}),
};

}  // namespace

const FamiliaAnual kPresupuestos = {
    .consulta =
        "select Table_Name from INFORMATION_SCHEMA.TABLES where Table_name like "
        "'E____PresupuestoTabla' and table_type='BASE TABLE '",
    .pasos = kPasosPresupuestos,
    .relleno = &kRellenoPresupuestos,
    .prefijoCliente = "PRECOM",
};

const FamiliaAnual kPresupuestosFirmas = {
    .consulta =
        "select Table_Name from INFORMATION_SCHEMA.TABLES where Table_name like "
        "'E____PresupuestoTablaFirmas' and table_type='BASE TABLE '",
    .pasos = kPasosFirmas,
};

const FamiliaAnual kPedidosFirmas = {
    .consulta =
        "select Table_Name from INFORMATION_SCHEMA.TABLES where Table_name like "
        "'E____PedidosTablaFirmas' and table_type='BASE TABLE '",
    .pasos = kPasosFirmas,
};

const FamiliaAnual kLineasPresupuestos = {
    .consulta =
        "select Table_Name from INFORMATION_SCHEMA.TABLES where Table_name like "
        "'E____PresupuestoLineas' and table_type='BASE TABLE '",
    .pasos = kPasosLineasPresupuestos,
};

// No blank between "like" and the pattern: sent so.
const FamiliaAnual kPedidos = {
    .consulta =
        "select Table_Name from INFORMATION_SCHEMA.TABLES where Table_name like'E____PedidosTabla' "
        "and table_type='BASE TABLE '",
    .pasos = kPasosPedidos,
    .relleno = &kRellenoPedidos,
    .prefijoCliente = "PEDIDOS",
};

const FamiliaAnual kLineasPedidos = {
    .consulta =
        "select Table_Name from INFORMATION_SCHEMA.TABLES where Table_name like "
        "'E____PedidosLineas' and table_type='BASE TABLE '",
    .pasos = kPasosLineasPedidos,
};

void ActualizaPresupuestos(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(ctx, "Comenzando actualizacion estructura presupuestos en la empresa");
    familias::ActualizarFamilia(ctx, Conexion, kPresupuestos);
    familias::ActualizarFamilia(ctx, Conexion, kPresupuestosFirmas);
    schema::LineaDeComienzo(ctx, "Comenzando actualizacion estructura pedidos en la empresa");
    familias::ActualizarFamilia(ctx, Conexion, kPedidosFirmas);
}

void ActualizaLineasPresupuestos(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(
        ctx, "Comenzando actualizacion estructura lineas presupuestos en la empresa");
    familias::ActualizarFamilia(ctx, Conexion, kLineasPresupuestos);
}

void ActualizaPedidos(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(ctx, "Comenzando actualizacion estructura pedidos en la empresa");
    familias::ActualizarFamilia(ctx, Conexion, kPedidos);
}

void ActualizaLineasPedidos(run::RunContext& ctx, db::Connection& Conexion) {
    // The literal ends with a blank, so the company code follows it after one.
    schema::LineaDeComienzo(ctx,
                            "Comenzando actualizacion estructura lineas pedidos en la empresa ");
    familias::ActualizarFamilia(ctx, Conexion, kLineasPedidos);
}

}  // namespace updates::sales
