#include "updates/sales/facturas.h"

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

constexpr PasoTabla kPasosFacturas[] = {
    Ampliacion("FACTURANombrecli", "< 100", "varchar(100)"),
    Ampliacion("FACTURACampoLibreTexto1", "< 50", "varchar(50)"),
    Ampliacion("FACTURACampoLibreTexto2", "< 100", "varchar(100)"),
    Ampliacion("FACTURACampoLibreTexto3", "< 50", "varchar(50)"),
    Ampliacion("FACTURACampoLibreTexto4", "< 50", "varchar(50)"),
    Ampliacion("FACTURACampoLibreTexto5", "< 50", "varchar(50)"),
    Ampliacion("FACTURANifCliente", "< 15", "varchar(15)"),
    Ampliacion("FACTURANumerosudocu", "< 25", "varchar(25)"),
    Ampliacion("FACTURADomiciliocli", "< 100", "varchar(100)"),
    Ampliacion("FACTURADireccionEnvio", "< 100", "varchar(100)"),
    Columna({"FACTURABancoPago", "varchar", 35, false, ""}),
    Columna({"FACTURACANALRECTIFICADO", "VARCHAR", 2, false, "''"}),
    Columna({"FACTURADOCUMENTORECTIFICADO", "FLOAT", {}, false, "0"}),
    Columna({"FACTURACANALRECTIFICADOR", "VARCHAR", 2, false, "''"}),
    Columna({"FACTURADOCUMENTORECTIFICADOR", "FLOAT", {}, false, "0"}),
    Columna({"FACTURANumeroAsientoDos", "VARCHAR", 23, false, "''"}),
    Ampliacion("FACTURANumeroAsientoDos", "< 23", "varchar(23)"),
    Columna({"FACTURANumeroAsientoTres", "VARCHAR", 15, false, "''"}),
    Ampliacion("FACTURANumeroAsientoTres", "< 15", "varchar(15)"),
    Columna({"FACTURANumeroAsientoCuatro", "VARCHAR", 7, false, "''"}),
    Ampliacion("FACTURANumeroAsientoCuatro", "< 7", "varchar(7)"),
    Columna({"FACTURASuplidos", "FLOAT", {}, false, "0"}),
    Columna({"FACTURAApOrmIngGastos", "VARCHAR", 1, true, "''"}),
    Columna({"FACTURAApOrmActividad", "VARCHAR", 10, true, "''"}),
    Columna({"FACTURAApOrmNumApunte", "VARCHAR", 7, true, "''"}),
    Columna({"FACTURAApOrmCanal", "VARCHAR", 2, true, "''"}),
    Columna({"FACTURATipoFactura", "INT", {}, true, "0"}),
    Columna({"FACTURAFechaInicioTurno", "DATETIME", {}, false, ""}),
    Columna({"FACTURAFechaFinTurno", "DATETIME", {}, false, ""}),
    Columna({"FACTURAPagadaComisionRep", "VARCHAR", 1, false, ""}),
    Columna({"FACTURAFechaPagoComision", "DATETIME", {}, false, ""}),
    Columna({"FACTURAComisionPagada", "FLOAT", {}, true, "0"}),
    Columna({"FACTURACodigoTarea", "INT", {}, true, "0"}),
    Columna({"FACTURABIC", "VARCHAR", 15, true, "''"}, C::ResultadoBic),
    Columna({"FACTURAIBAN", "VARCHAR", 4, true, "''"}, C::ResultadoIban),
    Columna({"FACTURATARJETAID", "BIGINT", {}, true, "0"}),
    RellenoCuentas(),
    Columna({"FACTURATPVEntregaCliente", "FLOAT", {}, true, "0"}),
    Columna({"FACTURATPVCambio", "FLOAT", {}, true, "0"}),
    Columna({"FACTURAULTIMAMODIFICACION", "DATETIME", {}, false, ""}),
    Columna({"FACTURAIDCONTACTO", "BIGINT", {}, true, "0"}),
    Columna({"FACTURACONTACTONOMBRE", "VARCHAR", 100, true, "''"}),
    Columna({"FACTURATIPOCLIENTE", "VARCHAR", 4, true, "''"}, C::TipoClienteSiNueva),
    Ampliacion("FACTURACpostalcli", "< 10", "varchar(10)"),
    Columna({"FACTURACODIGOESTADO", "VARCHAR", 4, true, "''"}),
};

constexpr refdata::BankAccountColumns kCuentaFactura[] = {
    {"FacturaENTIDAD", "FacturaSUCURSAL", "FacturaDIGITO", "FacturaCC", "FacturaIban", "FacturaBic",
     refdata::IbanRule::kEveryRow, refdata::BicRule::kEveryRow, refdata::BicKey::kEntityFourDigits},
};

constexpr refdata::BankAccountBackfill kRellenoFacturas = {
    "SELECT FacturaENTIDAD, FacturaSUCURSAL, FacturaDIGITO, FacturaCC, FacturaIban,FacturaBic "
    "FROM ",
    " WHERE (ISNULL(FacturaENTIDAD,'') <> '' AND ISNULL(FacturaSUCURSAL,'') <>'' AND "
    "ISNULL(FacturaDIGITO,'') <> '' AND ISNULL(FacturaCC,'') <> '')",
    db::CursorType::Dynamic, kCuentaFactura};

constexpr PasoTabla kPasosLineasFacturas[] = {
    Ampliacion("FACTURAS2CodArticulo", "<= 10", "varchar(20)"),
    Ampliacion("FACTURAS2DESARTICULO", "< 255", "varchar (255)"),
    Ampliacion("FACTURADomiciliocli", "< 100", "varchar (100)"),
    Columna({"FACTURAS2TipoImporte", "varchar", 1, false, ""}),
    Columna({"FACTURAS2CuantiaHon", "float", {}, true, "0"}),
    Columna({"FACTURAS2Nodo", "varchar", 20, true, "''"}),
    Columna({"FACTURAS2Criterio", "int", {}, true, "0"}),
    Columna({"FACTURAS2Tarifa", "int", {}, true, "0"}),
    Columna({"FACTURAS2ImporteCondicion", "float", {}, false, "0"}),
    Columna({"FACTURAS2PctoCondicion", "float", {}, false, "0"}),
    Columna({"FACTURAS2Horas", "float", {}, false, "0"}),
    Columna({"FACTURAS2FechaInicioTurno", "datetime", {}, false, ""}),
    Columna({"FACTURAS2PagadorOrganismoTurno", "varchar", 1, true, "''"}),
    Columna({"FACTURAS2PagadorTipoTurno", "varchar", 1, true, "''"}),
    Columna({"FACTURAS2CasoTurno", "float", {}, false, "0"}),
    Columna({"FACTURAS2Talla", "varchar", 5, true, "'00000'"}),
    Columna({"FACTURAS2Color", "varchar", 5, true, "'00000'"}, C::ReparaDefectoSiExistia),
    Columna({"FACTURAS2PrecioMedioCoste", "FLOAT", {}, false, "0"}),
    Columna({"FACTURAS2NOFACTURABLE", "bit", {}, true, "0"}),
    Columna({"FACTURAS2Lote", "varchar", 50, true, "'0000000000'"}),
};

}  // namespace

const schema::ReparacionDefecto kReparacionColorFacturas = {"FACTURAS2Color", "FACTURAS2COLOR"};

const FamiliaAnual kFacturas = {
    .consulta =
        "select Table_Name from INFORMATION_SCHEMA.TABLES where Table_name like "
        "'E____FacturaTabla' and table_type='BASE TABLE '",
    .pasos = kPasosFacturas,
    .relleno = &kRellenoFacturas,
    .prefijoCliente = "FACTURA",
};

const FamiliaAnual kFacturasFirmas = {
    .consulta =
        "select Table_Name from INFORMATION_SCHEMA.TABLES where Table_name like "
        "'E____FacturasTablaFirmas' and table_type='BASE TABLE '",
    .pasos = kPasosFirmas,
};

const FamiliaAnual kLineasFacturas = {
    .consulta =
        "select Table_Name from INFORMATION_SCHEMA.TABLES where Table_name like "
        "'E____FACTURASLineas' and table_type='BASE TABLE '",
    .pasos = kPasosLineasFacturas,
    .reparacion = &kReparacionColorFacturas,
};

void ActualizaFacturas(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(ctx, "Comenzando actualizacion estructura facturas en la empresa");
    familias::ActualizarFamilia(ctx, Conexion, kFacturas);
    familias::ActualizarFamilia(ctx, Conexion, kFacturasFirmas);
}

void ActualizaLineasFacturas(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(ctx,
                            "Comenzando actualizacion estructura lineas de facturas en la empresa");
    familias::ActualizarFamilia(ctx, Conexion, kLineasFacturas);
}

}  // namespace updates::sales
