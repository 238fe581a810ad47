#include "updates/familias/familia_anual.h"

#include <optional>
#include <span>

#include "schema/pasos_pendientes.h"
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

// The columns of the family's steps whose results the backfill reads.
struct ColumnasBanco {
    std::string_view bic;
    std::string_view iban;
    bool relleno = false;  // the steps hold the backfill
};

ColumnasBanco BuscarColumnasBanco(std::span<const PasoTabla> pasos) {
    ColumnasBanco c;
    for (const PasoTabla& paso : pasos) {
        if (paso.consecuencia == Consecuencia::ResultadoBic) c.bic = paso.columna.campo;
        if (paso.consecuencia == Consecuencia::ResultadoIban) c.iban = paso.columna.campo;
        if (paso.clase == PasoTabla::Clase::RellenoCuentas) c.relleno = true;
    }
    return c;
}

}  // namespace

void ActualizarTabla(run::RunContext& ctx, db::Connection& Conexion, const FamiliaAnual& familia,
                     const std::string& tabla) {
    // Both start as failures for every table: the backfill needs both columns created now, by
    // steps before it.
    ResultadoCampo bic = ResultadoCampo::Fallido;
    ResultadoCampo iban = ResultadoCampo::Fallido;
    // The backfill is owed by the run that creates both bank columns: its marker is written
    // before the first of them when the table lacks both.
    const ColumnasBanco banco = BuscarColumnasBanco(familia.pasos);
    const std::optional<int> ejercicio = schema::EjercicioDeTabla(tabla);
    const bool conRelleno = familia.relleno != nullptr && banco.relleno && ejercicio &&
                            *ejercicio >= kPrimerEjercicioConIban;
    schema::PasoPendiente relleno(ctx, Conexion, schema::ClavePaso(tabla, banco.bic));
    bool marcado = false;
    for (const PasoTabla& paso : familia.pasos) {
        switch (paso.clase) {
            case PasoTabla::Clase::Ampliacion:
                schema::Ampliar(Conexion, tabla, paso.campo, paso.prueba, paso.nuevoTipo);
                break;
            case PasoTabla::Clase::Columna: {
                const bool columnaBanco = paso.consecuencia == Consecuencia::ResultadoBic ||
                                          paso.consecuencia == Consecuencia::ResultadoIban;
                if (columnaBanco && conRelleno && !marcado) {
                    marcado = true;
                    if (schema::FaltanTodas(ctx, tabla, {banco.bic, banco.iban})) relleno.Marcar();
                }
                if (paso.consecuencia == Consecuencia::TipoClienteSiNueva &&
                    !familia.prefijoCliente.empty()) {
                    schema::CrearCampoConPaso(ctx, Conexion, tabla, paso.columna, [&] {
                        RellenarTipoCliente(Conexion, tabla, familia.prefijoCliente);
                    });
                    break;
                }
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
                const ResultadoCampo columnas = schema::Ambas(bic, iban);
                if (conRelleno && (columnas == ResultadoCampo::Creado ||
                                   (columnas == ResultadoCampo::YaExistia && relleno.Heredado()))) {
                    refdata::RellenarCuentasBancarias(Conexion, ctx.ColeccionBIC, *familia.relleno,
                                                      tabla);
                }
                relleno.Quitar();
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
