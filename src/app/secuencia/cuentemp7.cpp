#include "app/secuencia/cuentemp7.h"

#include <array>
#include <cmath>
#include <limits>
#include <string_view>

#include "run/update_log.h"

namespace app {
namespace {

constexpr std::array<std::string_view, 8> kColumnasDigitos = {
    "MENUMDIG",  "MENUMDIG2", "MENUMDIG3", "MENUMDIG4",
    "MENUMDIG5", "MENUMDIG6", "MENUMDIG7", "MENUMDIG8",
};

constexpr char kProcedimiento[] = "Form_Activate";

}  // namespace

std::int16_t DigitosDeCuenta(const db::Recordset& empresa) {
    std::int16_t digitos = 0;
    for (std::string_view columna : kColumnasDigitos) {
        db::Variant valor = empresa.value(columna);
        if (valor.isNull()) continue;
        double numero = valor.toNumber();
        if (!(numero > digitos)) continue;
        // A 16-bit integer takes the value rounded half to even; one that does not fit is
        // refused and the count stays as it was.
        double redondeado = std::nearbyint(numero);
        if (redondeado > std::numeric_limits<std::int16_t>::max()) continue;
        digitos = static_cast<std::int16_t>(redondeado);
    }
    return digitos;
}

std::optional<std::string> CuentaResultados(std::int16_t digitos) {
    if (digitos < 3) return std::nullopt;
    return "600" + std::string(static_cast<size_t>(digitos - 3), '0');
}

void ActualizaCuentEmp7(run::RunContext& contexto, db::Connection& conexion) {
    conexion.clearError();
    std::unique_ptr<db::Recordset> empresas = conexion.openRecordset(
        kConsultaCuentEmp7, db::CursorType::Static, db::LockType::Optimistic);
    if (!empresas) {
        contexto.EscribirLog(kProcedimiento, "Consulta de EMP", conexion.lastError().description,
                             run::kNivelError);
        return;
    }
    contexto.EscribirLog(kProcedimiento, "Comenzando actualización de la tabla EMP", "",
                         run::kNivelInformacion);
    if (empresas->eof() || empresas->bof()) {
        contexto.EscribirLog(kProcedimiento, "No hay registros para actualizar sobre EMP", "",
                             run::kNivelAdvertencia);
    } else {
        while (!empresas->eof()) {
            if (std::optional<std::string> cuenta = CuentaResultados(DigitosDeCuenta(*empresas)))
                empresas->setValue("CUENTEMP7", db::Variant::text(*cuenta));
            conexion.clearError();
            if (!empresas->update().ok()) empresas->cancelUpdate();
            empresas->moveNext();
        }
    }
    empresas->close();
}

}  // namespace app
