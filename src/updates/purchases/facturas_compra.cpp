#include "updates/purchases/facturas_compra.h"

#include "schema/statements.h"
#include "updates/familias/familia_anual.h"

namespace updates::purchases {
namespace {

using familias::Ampliacion;
using familias::Columna;
using familias::Consecuencia;
using familias::RellenoCuentas;

using refdata::BankAccountColumns;
using refdata::BicKey;
using refdata::BicRule;
using refdata::IbanRule;

constexpr std::string_view kIban = "ComprasFacturaIban";
constexpr std::string_view kBic = "ComprasFacturaBic";
constexpr familias::PasoTabla kPasosFacturasCompra[] = {
    Ampliacion("ComprasFacturaNombrecli", "< 50", "varchar(50)"),
    Ampliacion("ComprasFacturaDireccionEnvio", "< 50", "varchar(50)"),
    Ampliacion("ComprasFacturaNifCliente", "< 15", "varchar(15)"),
    Ampliacion("ComprasFacturaNumerosudocu", "< 25", "varchar(25)"),
    Ampliacion("ComprasFacturaDomiciliocli", "< 100", "varchar(100)"),
    Ampliacion("ComprasFacturaDireccionEnvio", "< 100", "varchar(100)"),
    Columna({"ComprasFacturaCanalRectificado", "varchar", 2, false, ""}),
    Columna({"ComprasFacturaDocumentoRectificado", "float", 0, false, "0"}),
    Columna({"ComprasFacturaCanalRectificador", "varchar", 2, false, ""}),
    Columna({"ComprasFacturaDocumentoRectificador", "float", 0, false, "0"}),
    Columna({"ComprasFacturaNumeroAsientoDos", "varchar", 7, false, ""}),
    Columna({"ComprasFacturaNumeroAsientoTres", "varchar", 7, false, ""}),
    Columna({"ComprasFacturaNumeroAsientoCuatro", "varchar", 7, false, ""}),
    Columna({"ComprasFacturaObservaciones", "text", 0, false, ""}),
    Columna({kIban, "VARCHAR", 4, true, "''"}, Consecuencia::ResultadoIban),
    Columna({kBic, "VARCHAR", 15, true, "''"}, Consecuencia::ResultadoBic),
    RellenoCuentas(),
    Columna({"ComprasFacturaCampoLibreDouble1", "float", 0, false, "0"}),
    Columna({"ComprasFacturaCampoLibreDouble2", "float", 0, false, "0"}),
    Columna({"ComprasFacturaCampoLibreDouble3", "float", 0, false, "0"}),
    Columna({"ComprasFacturaCampoLibreDouble4", "float", 0, false, "0"}),
    Columna({"ComprasFacturaCampoLibreDouble5", "float", 0, false, "0"}),
    Columna({"ComprasFacturaIDCONTACTO", "BIGINT", 0, true, "0"}),
    Columna({"ComprasFacturaCONTACTONOMBRE", "VARCHAR", 100, true, "''"}),
    Ampliacion("ComprasFacturaCpostalcli", "< 10", "varchar(10)"),
    Columna({"ComprasFacturaCODIGOESTADO", "VARCHAR", 4, true, "''"}),
};

constexpr familias::FamiliaAnual kFacturasCompra = {
    .nombre = "ComprasFacturaTabla",
    .pasos = kPasosFacturasCompra,
    .relleno = &kRellenoFacturasCompra,
};

// The IBAN is computed only for a complete account: the SELECT keeps every invoice with an
// account number, also those whose entity, branch or control digits are missing, and check
// digits computed over such a partial account would be stored as if they were valid. The IBAN
// column has just been created empty, so "when empty" holds for every row.
constexpr BankAccountColumns kCuentaFacturaCompra[] = {
    {"ComprasFacturaENTIDAD", "ComprasFacturaSUCURSAL", "ComprasFacturaDIGITO", "ComprasFacturaCC",
     kIban, kBic, IbanRule::kWhenEmptyAndAccountComplete, BicRule::kEveryRow,
     BicKey::kEntityAsStored},
};

}  // namespace

const refdata::BankAccountBackfill kRellenoFacturasCompra = {
    "SELECT ComprasFacturaENTIDAD, ComprasFacturaSUCURSAL, ComprasFacturaDIGITO, "
    "ComprasFacturaCC, ComprasFacturaIban,ComprasFacturaBic FROM ",
    " WHERE ComprasFacturaCC <> ''",
    db::CursorType::Dynamic,
    kCuentaFacturaCompra,
};

void ActualizaFacturasCompra(run::RunContext& ctx, db::Connection& Conexion) {
    schema::LineaDeComienzo(ctx,
                            "Comenzando actualizacion estructura facturas decompra en la empresa");
    familias::ActualizarFamilia(ctx, Conexion, kFacturasCompra);
}

}  // namespace updates::purchases
