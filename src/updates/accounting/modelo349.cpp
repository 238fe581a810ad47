#include "updates/accounting/modelo349.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "schema/column_creation.h"
#include "schema/pasos_pendientes.h"
#include "schema/statements.h"

namespace updates::accounting {
namespace {

constexpr schema::DefinicionCampo kPeriodoDeclarante = {"Periodo", "VARCHAR", 4, true, "''"};
constexpr schema::DefinicionCampo kPeriodoDeclarados = {"PeriodoC", "VARCHAR", 4, true, "''"};

// The key list of the first index sp_helpindex lists for Mod349Declarados (its third column);
// empty when the call fails or lists nothing.
std::string ClavesPrimerIndiceDeclarados(db::Connection& Conexion) {
    Conexion.clearError();
    auto indices = Conexion.openRecordset("exec sp_helpindex 'mod349declarados'",
                                          db::CursorType::ForwardOnly, db::LockType::ReadOnly);
    if (indices == nullptr) return {};
    std::string claves;
    if (!indices->eof() && indices->fieldCount() >= 3) claves = indices->value(2).toText();
    indices->close();
    return claves;
}

bool MencionaPeriodo(std::string claves) {
    std::transform(claves.begin(), claves.end(), claves.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return claves.find("PERIODO") != std::string::npos;
}

}  // namespace

void ActualizaModelo349(run::RunContext& ctx, db::Connection& Conexion) {
    schema::CrearCampoConPaso(ctx, Conexion, "Mod349Declarante", kPeriodoDeclarante, [&] {
        schema::SentenciaSimple(Conexion, "drop index Mod349Declarante.Indice349");
        schema::SentenciaSimple(
            Conexion, "Create unique index Indice349 on Mod349Declarante(Ejercicio,Periodo)");
    });
    schema::CrearCampo(ctx, Conexion, "Mod349Declarados", kPeriodoDeclarados);

    const std::string claves = ClavesPrimerIndiceDeclarados(Conexion);
    if (claves.empty() || !MencionaPeriodo(claves)) {
        schema::SentenciaSimple(Conexion, "drop index Mod349Declarados.IndiceDeclarados");
        schema::SentenciaSimple(Conexion,
                                "Create unique Index IndiceDeclarados on "
                                "Mod349Declarados(Ejercicio,Periodo,NumeroRegistro)");
    }
}

}  // namespace updates::accounting
