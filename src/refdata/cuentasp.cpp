// The VAT box columns of the central account table CUENTASP.
#include <array>

#include "refdata/catalogos_fiscales.h"
#include "schema/column_creation.h"

namespace refdata {
namespace {

constexpr std::array<schema::DefinicionCampo, 20> kCasillasIVA = {{
    {"CASILLAIVA17", "FLOAT", 0, true, "0"}, {"CASILLAIVA27", "FLOAT", 0, true, "0"},
    {"CASILLAIVA37", "FLOAT", 0, true, "0"}, {"CASILLAIVA47", "FLOAT", 0, true, "0"},
    {"CASILLAIVA57", "FLOAT", 0, true, "0"}, {"CASILLAIVA67", "FLOAT", 0, true, "0"},
    {"CASILLAIVA77", "FLOAT", 0, true, "0"}, {"CASILLAIVA87", "FLOAT", 0, true, "0"},
    {"CASILLAIVA97", "FLOAT", 0, true, "0"}, {"CASILLAIVA107", "FLOAT", 0, true, "0"},
    {"CASILLAIVA18", "FLOAT", 0, true, "0"}, {"CASILLAIVA28", "FLOAT", 0, true, "0"},
    {"CASILLAIVA38", "FLOAT", 0, true, "0"}, {"CASILLAIVA48", "FLOAT", 0, true, "0"},
    {"CASILLAIVA58", "FLOAT", 0, true, "0"}, {"CASILLAIVA68", "FLOAT", 0, true, "0"},
    {"CASILLAIVA78", "FLOAT", 0, true, "0"}, {"CASILLAIVA88", "FLOAT", 0, true, "0"},
    {"CASILLAIVA98", "FLOAT", 0, true, "0"}, {"CASILLAIVA108", "FLOAT", 0, true, "0"},
}};

}  // namespace

void ActualizaCuentasP(run::RunContext& ctx, db::Connection& Conexion) {
    schema::CrearCampos(ctx, Conexion, "CUENTASP", kCasillasIVA);
}

}  // namespace refdata
