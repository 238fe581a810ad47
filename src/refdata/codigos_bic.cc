#include "refdata/codigos_bic.h"

#include "refdata/base_data_file.h"

namespace refdata {

void CargarCodigosBIC(run::ColeccionBIC& coleccion, BaseDataFile& archivo) {
    coleccion.Clear();
    db::RowSet filas;
    if (!archivo.ReadTable("CODIGOSBIC", "", filas)) return;
    for (std::size_t fila = 0; fila < filas.rows.size(); ++fila) {
        const db::Variant entidad = ValorColumna(filas, fila, "Entidad");
        const db::Variant bic = ValorColumna(filas, fila, "Bic");
        if (bic.isNull() || entidad.toText().empty()) continue;
        coleccion.Add(entidad.toText(), bic.toText());
    }
}

void CargarCodigosBIC(run::RunContext& ctx) {
    ctx.ColeccionBIC.Clear();
    db::Status estado;
    std::unique_ptr<BaseDataFile> archivo =
        AbrirDatosBase(RutaPrograma(ctx) + std::string(kRutaDatosBase), estado);
    if (archivo == nullptr) return;
    CargarCodigosBIC(ctx.ColeccionBIC, *archivo);
}

}  // namespace refdata
