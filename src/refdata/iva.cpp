// The VAT-rate routines of the central table IVATAB.
#include <array>
#include <span>
#include <string_view>

#include "refdata/catalogos_fiscales.h"
#include "refdata/statement_list.h"
#include "schema/column_creation.h"
#include "schema/pasos_pendientes.h"
#include "schema/properties.h"

namespace refdata {
namespace {

constexpr std::string_view kIvatab = "IVATAB";

// Fills the new column: codes 1 to 10 keep their rate, raised 16 -> 18 (class 1) and 7 -> 8
// (class 2); codes 11 to 20 start at 0.
constexpr std::array<std::string_view, 4> kRellenoTipoIVA2010 = {
    "UPDATE IVATAB SET TipoIVA2010 = TipoIVA where codiiva in "
    "('1','2','3','4','5','6','7','8','9','10')",
    "UPDATE IVATAB SET TipoIVA2010 = 18 where TipoIVA=16 and AdonIVA='1' and codiiva in "
    "('1','2','3','4','5','6','7','8','9','10')",
    "UPDATE IVATAB SET TipoIVA2010 = 8 where TipoIVA=7 and AdonIVA='2' and codiiva in "
    "('1','2','3','4','5','6','7','8','9','10')",
    "UPDATE IVATAB SET TipoIVA2010 = 0 where codiiva in "
    "('11','12','13','14','15','16','17','18','19','20')",
};

constexpr double kVersionIVA2010 = 1001;
constexpr std::array<std::string_view, 4> kCambioIVA2010 = {
    "UPDATE IVATAB SET TipoIVA2010 = 21 where TipoIVA2010=18 and AdonIVA='1' and codiiva in "
    "('1','2','3','4','5','6','7','8','9','10')",
    "UPDATE IVATAB SET TipoIVA2010 = 10 where TipoIVA2010=8 and AdonIVA='2' and codiiva in "
    "('1','2','3','4','5','6','7','8','9','10')",
    "UPDATE IVATAB SET TipoIVA = 18 where TipoIVA=16 and AdonIVA='1' and codiiva in "
    "('1','2','3','4','5','6','7','8','9','10')",
    "UPDATE IVATAB SET TipoIVA = 8 where TipoIVA=7 and AdonIVA='2' and codiiva in "
    "('1','2','3','4','5','6','7','8','9','10')",
};

constexpr double kVersionIVA2012 = 1002;
constexpr std::array<std::string_view, 2> kCambioIVA2012 = {
    "UPDATE IVATAB SET TipoIVA2010 = 19,TipoIVA=19 where codiiva ='11'",
    "UPDATE IVATAB SET TipoIVA2010 = 20,TipoIVA = 20 where codiiva ='19'",
};

// Runs `sentencias` once per central database: only while the stored IVATAB version is below
// `version`, which is stored afterwards whatever the statements did.
void CambioVersionado(db::Connection& Conexion, double version, std::string_view textoVersion,
                      std::span<const std::string_view> sentencias) {
    if (!schema::VersionPendiente(Conexion, kIvatab, version)) return;
    EjecutarEnOrden(Conexion, sentencias);
    schema::GuardarVersion(Conexion, kIvatab, textoVersion);
}

// Whether IVATAB has rows and none of them holds a TipoIVA2010: the column was never filled.
// Asked only where the phase keeps its steps' markers (schema/pasos_pendientes.h).
bool SinTiposIVA2010(const run::RunContext& ctx, db::Connection& Conexion) {
    if (!ctx.pasos.activos) return false;
    Conexion.clearError();
    auto cuenta = Conexion.openRecordset("SELECT COUNT(*), COUNT(TipoIVA2010) FROM IVATAB",
                                         db::CursorType::ForwardOnly, db::LockType::ReadOnly);
    bool vacia = false;
    if (cuenta != nullptr && !cuenta->eof()) {
        vacia = cuenta->value(size_t{0}).toText() != "0" && cuenta->value(size_t{1}).toText() == "0";
        cuenta->close();
    }
    Conexion.clearError();
    return vacia;
}

}  // namespace

void ActualizaTipoIVA2010(run::RunContext& ctx, db::Connection& Conexion) {
    schema::PasoTrasGuarda(
        ctx, Conexion, schema::ClavePaso(kIvatab, "TipoIVA2010"),
        schema::FaltaColumna(ctx, kIvatab, "TipoIVA2010"),
        [&] {
            const schema::ResultadoCampo r = schema::CrearCampo(ctx, "TipoIVA2010", kIvatab,
                                                                "float", Conexion, 0, false, "0");
            if (r != schema::ResultadoCampo::YaExistia || !SinTiposIVA2010(ctx, Conexion))
                return r;
            // The column is there but holds no rate at all: whoever added it (a hand, or a run
            // stopped before its fill and without a marker) never did the step it brings.
            Conexion.execute(schema::SentenciaRellenarCampo("TipoIVA2010", kIvatab, "0"));
            return schema::ResultadoCampo::Creado;
        },
        [&] {
            ctx.ActualizarIVAProveedores = true;
            EjecutarEnOrden(Conexion, kRellenoTipoIVA2010);
            // The companies' own markers are written before this one goes: from then on each
            // company database remembers what it is owed, whatever happens to this run.
            if (ctx.anotarPasoEnEmpresas) ctx.anotarPasoEnEmpresas(kPasoRegimenesIvaProveedores);
        });
}

void ActualizaIVA2010(run::RunContext&, db::Connection& Conexion) {
    CambioVersionado(Conexion, kVersionIVA2010, "1001", kCambioIVA2010);
}

void ActualizaIVA2012(run::RunContext&, db::Connection& Conexion) {
    CambioVersionado(Conexion, kVersionIVA2012, "1002", kCambioIVA2012);
}

}  // namespace refdata
