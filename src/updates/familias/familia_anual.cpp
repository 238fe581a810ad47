#include "updates/familias/familia_anual.h"

#include <optional>

#include "schema/sql_text.h"
#include "schema/statements.h"

namespace updates::familias {

using schema::ResultadoCampo;

std::string ConsultaDe(const FamiliaAnual& familia) {
    if (!familia.consulta.empty()) return std::string(familia.consulta);
    return schema::ConsultaFamilia(familia.nombre);
}

std::string SentenciaTipoCliente(std::string_view tabla, std::string_view prefijo) {
    return schema::Unir({"UPDATE ", tabla, " SET ", prefijo, "TIPOCLIENTE=TipoClienteCodigo FROM ",
                         tabla, " P INNER JOIN CLIENTESTABLA C", " ON P.", prefijo,
                         "Numcli=C.Clicodigo"});
}

std::string SentenciaTipoClienteSinTipoAVacio(std::string_view tabla, std::string_view prefijo) {
    return schema::Unir({"UPDATE ", tabla, " SET ", prefijo,
                         "TIPOCLIENTE=ISNULL(TipoClienteCodigo,'') FROM ", tabla,
                         " P INNER JOIN CLIENTESTABLA C", " ON P.", prefijo, "Numcli=C.Clicodigo"});
}

namespace {

// The fill runs only on the run that creates the column. A customer without a type (NULL)
// makes the NOT NULL column refuse the whole statement, so no document would ever get its
// customer's type; when that happens the fill is sent again with such customers' documents
// keeping the empty default.
void RellenarTipoCliente(db::Connection& Conexion, std::string_view tabla,
                         std::string_view prefijo) {
    if (schema::SentenciaSimple(Conexion, SentenciaTipoCliente(tabla, prefijo))) return;
    schema::SentenciaSimple(Conexion, SentenciaTipoClienteSinTipoAVacio(tabla, prefijo));
}

}  // namespace

void ActualizarTabla(run::RunContext& ctx, db::Connection& Conexion, const FamiliaAnual& familia,
                     const std::string& tabla) {
    // Both start as failures for every table: the backfill needs both columns created now, by
    // steps before it.
    ResultadoCampo bic = ResultadoCampo::Fallido;
    ResultadoCampo iban = ResultadoCampo::Fallido;
    for (const PasoTabla& paso : familia.pasos) {
        switch (paso.clase) {
            case PasoTabla::Clase::Ampliacion:
                schema::Ampliar(Conexion, tabla, paso.campo, paso.prueba, paso.nuevoTipo);
                break;
            case PasoTabla::Clase::Columna: {
                const ResultadoCampo resultado =
                    schema::CrearCampo(ctx, Conexion, tabla, paso.columna);
                switch (paso.consecuencia) {
                    case Consecuencia::Ninguna:
                        break;
                    case Consecuencia::ResultadoBic:
                        bic = resultado;
                        break;
                    case Consecuencia::ResultadoIban:
                        iban = resultado;
                        break;
                    case Consecuencia::TipoClienteSiNueva:
                        if (resultado == ResultadoCampo::Creado && !familia.prefijoCliente.empty())
                            RellenarTipoCliente(Conexion, tabla, familia.prefijoCliente);
                        break;
                    case Consecuencia::ReparaDefectoSiExistia:
                        if (resultado == ResultadoCampo::YaExistia && familia.reparacion != nullptr)
                            schema::SentenciaSimple(Conexion, schema::LoteReparacionDefecto(
                                                                  tabla, *familia.reparacion));
                        break;
                }
                break;
            }
            case PasoTabla::Clase::RellenoCuentas: {
                const std::optional<int> ejercicio = schema::EjercicioDeTabla(tabla);
                if (familia.relleno != nullptr && ejercicio &&
                    *ejercicio >= kPrimerEjercicioConIban && bic == ResultadoCampo::Creado &&
                    iban == ResultadoCampo::Creado) {
                    refdata::RellenarCuentasBancarias(Conexion, ctx.ColeccionBIC, *familia.relleno,
                                                      tabla);
                }
                break;
            }
        }
    }
}

schema::RecorridoFamilia ActualizarFamilia(run::RunContext& ctx, db::Connection& Conexion,
                                           const FamiliaAnual& familia,
                                           schema::BombeoEventos bombeo) {
    return schema::RecorrerFamilia(
        ctx, Conexion, ConsultaDe(familia),
        [&](const std::string& tabla) { ActualizarTabla(ctx, Conexion, familia, tabla); }, bombeo);
}

}  // namespace updates::familias
