#include "refdata/codigos_bic.h"

#include <memory>

#include "refdata/archivo_datos_base.h"

namespace refdata {

void CargarCodigosBIC(run::ColeccionBIC& coleccion, db::Connection& archivo) {
    coleccion.Clear();
    archivo.clearError();
    std::unique_ptr<db::Recordset> filas = archivo.openRecordset(
        "Select * FROM CODIGOSBIC", db::CursorType::ForwardOnly, db::LockType::ReadOnly);
    if (filas == nullptr || archivo.hasError()) {
        archivo.clearError();
        return;
    }
    while (!filas->eof()) {
        const db::Variant entidad = filas->value("Entidad");
        const db::Variant bic = filas->value("Bic");
        if (!bic.isNull() && !entidad.toText().empty())
            coleccion.Add(entidad.toText(), bic.toText());
        if (!filas->moveNext()) break;
    }
    filas->close();
    archivo.clearError();
}

void CargarCodigosBIC(run::RunContext& ctx) {
    ctx.ColeccionBIC.Clear();
    std::unique_ptr<db::Connection> archivo = AbrirDatosBase(ctx);
    if (archivo == nullptr) return;
    CargarCodigosBIC(ctx.ColeccionBIC, *archivo);
    archivo->close();
}

}  // namespace refdata
