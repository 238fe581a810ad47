#include "updates/purchases/facturas_compra.h"

#include "schema/column_creation.h"
#include "updates/purchases/pasos_tabla.h"

namespace updates::purchases {
namespace {

using refdata::BankAccountColumns;
using refdata::BicKey;
using refdata::BicRule;
using refdata::IbanRule;

constexpr std::string_view kIban = "ComprasFacturaIban";
constexpr std::string_view kBic = "ComprasFacturaBic";
constexpr std::string_view kPasoRelleno = "relleno IBAN y BIC";

// The first fiscal year whose invoices get their IBAN and BIC filled in.
constexpr int kPrimerEjercicioConRelleno = 2013;

constexpr PasoTabla kPasosFacturasCompra[] = {
    PasoAmpliar("ComprasFacturaNombrecli", "< 50", 50),
    PasoAmpliar("ComprasFacturaDireccionEnvio", "< 50", 50),
    PasoAmpliar("ComprasFacturaNifCliente", "< 15", 15),
    PasoAmpliar("ComprasFacturaNumerosudocu", "< 25", 25),
    PasoAmpliar("ComprasFacturaDomiciliocli", "< 100", 100),
    PasoAmpliar("ComprasFacturaDireccionEnvio", "< 100", 100),
    PasoCrear("ComprasFacturaCanalRectificado", "varchar", 2, false, ""),
    PasoCrear("ComprasFacturaDocumentoRectificado", "float", 0, false, "0"),
    PasoCrear("ComprasFacturaCanalRectificador", "varchar", 2, false, ""),
    PasoCrear("ComprasFacturaDocumentoRectificador", "float", 0, false, "0"),
    PasoCrear("ComprasFacturaNumeroAsientoDos", "varchar", 7, false, ""),
    PasoCrear("ComprasFacturaNumeroAsientoTres", "varchar", 7, false, ""),
    PasoCrear("ComprasFacturaNumeroAsientoCuatro", "varchar", 7, false, ""),
    PasoCrear("ComprasFacturaObservaciones", "text", 0, false, ""),
    PasoCrear(kIban, "VARCHAR", 4, true, "''"),
    PasoCrear(kBic, "VARCHAR", 15, true, "''"),
    PasoEspecial(kPasoRelleno),
    PasoCrear("ComprasFacturaCampoLibreDouble1", "float", 0, false, "0"),
    PasoCrear("ComprasFacturaCampoLibreDouble2", "float", 0, false, "0"),
    PasoCrear("ComprasFacturaCampoLibreDouble3", "float", 0, false, "0"),
    PasoCrear("ComprasFacturaCampoLibreDouble4", "float", 0, false, "0"),
    PasoCrear("ComprasFacturaCampoLibreDouble5", "float", 0, false, "0"),
    PasoCrear("ComprasFacturaIDCONTACTO", "BIGINT", 0, true, "0"),
    PasoCrear("ComprasFacturaCONTACTONOMBRE", "VARCHAR", 100, true, "''"),
    PasoAmpliar("ComprasFacturaCpostalcli", "< 10", 10),
    PasoCrear("ComprasFacturaCODIGOESTADO", "VARCHAR", 4, true, "''"),
};

constexpr RutinaFamilia kFacturasCompra = {
    "Comenzando actualizacion estructura facturas decompra en la empresa",
    "ComprasFacturaTabla",
    kPasosFacturasCompra,
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

std::optional<int> EjercicioDeTabla(std::string_view tabla) {
    if (tabla.size() < 5) return std::nullopt;
    int ejercicio = 0;
    for (char c : tabla.substr(1, 4)) {
        if (c < '0' || c > '9') return std::nullopt;
        ejercicio = ejercicio * 10 + (c - '0');
    }
    return ejercicio;
}

void ActualizaFacturasCompra(run::RunContext& ctx, db::Connection& Conexion) {
    ActualizaFamilia(
        ctx, Conexion, kFacturasCompra,
        [&](std::string_view paso, const std::string& tabla, const ResultadosTabla& anteriores) {
            if (paso != kPasoRelleno) return;
            const std::optional<int> ejercicio = EjercicioDeTabla(tabla);
            if (!ejercicio || *ejercicio < kPrimerEjercicioConRelleno) return;
            if (anteriores.De(kIban) != schema::ResultadoCampo::Creado ||
                anteriores.De(kBic) != schema::ResultadoCampo::Creado) {
                return;
            }
            refdata::RellenarCuentasBancarias(Conexion, ctx.ColeccionBIC, kRellenoFacturasCompra,
                                              tabla);
        });
}

}  // namespace updates::purchases
