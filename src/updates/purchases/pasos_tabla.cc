#include "updates/purchases/pasos_tabla.h"

#include "run/update_log.h"
#include "schema/statements.h"
#include "schema/table_family.h"

namespace updates::purchases {

void ResultadosTabla::Anotar(std::string_view campo, schema::ResultadoCampo resultado) {
    resultados_.emplace_back(campo, resultado);
}

schema::ResultadoCampo ResultadosTabla::De(std::string_view campo) const {
    // The last step that named the column decides, should a list ever add a column twice.
    for (auto it = resultados_.rbegin(); it != resultados_.rend(); ++it) {
        if (it->first == campo) return it->second;
    }
    return schema::ResultadoCampo::Fallido;
}

std::string SentenciaAmpliacionPaso(std::string_view tabla, const PasoTabla& paso) {
    return schema::SentenciaAmpliacion(tabla, paso.columna, paso.prueba,
                                       "varchar(" + std::to_string(paso.ancho) + ")");
}

ResultadosTabla AplicarPasos(run::RunContext& ctx, db::Connection& Conexion,
                             const std::string& tabla, std::span<const PasoTabla> pasos,
                             const AccionEspecial& especial) {
    ResultadosTabla resultados;
    for (const PasoTabla& paso : pasos) {
        switch (paso.clase) {
            case PasoTabla::Clase::kAmpliar:
                schema::SentenciaSimple(Conexion, SentenciaAmpliacionPaso(tabla, paso));
                break;
            case PasoTabla::Clase::kCrear:
                resultados.Anotar(paso.campo.campo,
                                  schema::CrearCampo(ctx, Conexion, tabla, paso.campo));
                break;
            case PasoTabla::Clase::kEspecial:
                if (especial) especial(paso.columna, tabla, resultados);
                break;
        }
    }
    return resultados;
}

int ActualizaFamilia(run::RunContext& ctx, db::Connection& Conexion, const RutinaFamilia& rutina,
                     const AccionEspecial& especial) {
    schema::LineaDeComienzo(ctx, rutina.mensajeInicio);
    const schema::RecorridoFamilia recorrido = schema::RecorrerFamilia(
        ctx, Conexion, schema::ConsultaFamilia(rutina.familia), [&](const std::string& tabla) {
            AplicarPasos(ctx, Conexion, tabla, rutina.pasos, especial);
        });
    return recorrido.tablas;
}

}  // namespace updates::purchases
