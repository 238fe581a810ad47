#include "schema/column_creation.h"

#include <cctype>
#include <cstdlib>
#include <optional>

#include "run/update_log.h"
#include "schema/pasos_pendientes.h"
#include "schema/sql_text.h"
#include "schema/statements.h"

namespace schema {

namespace {

// The number a text length spells as a whole ("255", " 35 "); 0 for anything else, so that a
// text that is no number never writes a length clause.
double NumeroCompleto(std::string_view texto) {
    size_t b = 0, e = texto.size();
    while (b < e && std::isspace(static_cast<unsigned char>(texto[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(texto[e - 1])))
        --e;
    if (b == e) return 0;
    const std::string s(texto.substr(b, e - b));
    char* fin = nullptr;
    const double valor = std::strtod(s.c_str(), &fin);
    return (fin == s.c_str() + s.size()) ? valor : 0;
}

}  // namespace

double Longitud::Valor() const {
    if (clase_ == Clase::Texto) return NumeroCompleto(texto_);
    return static_cast<double>(numero_);
}

std::string Longitud::Texto() const {
    switch (clase_) {
        case Clase::Texto:
            return std::string(texto_);
        case Clase::Booleano:
            return numero_ != 0 ? "True" : "False";
        case Clase::Numero:
            break;
    }
    return std::to_string(numero_);
}

std::string SentenciaCrearCampo(std::string_view Campo, std::string_view Tabla,
                                std::string_view Tipo, const Longitud& longitud, bool NotNull,
                                std::string_view Defecto) {
    std::string sql = Unir({"Alter Table ", Tabla, " ADD ", Campo, " ", Tipo, " "});
    if (longitud.Valor() > 0) sql += Unir({"(", longitud.Texto(), ") "});
    if (NotNull) sql += "NOT NULL ";
    if (!Defecto.empty()) sql += Unir({"DEFAULT(", Defecto, ") "});
    return sql;
}

std::string SentenciaRellenarCampo(std::string_view Campo, std::string_view Tabla,
                                   std::string_view Defecto) {
    return Unir({"UPDATE ", Tabla, " SET ", Campo, "=", Defecto});
}

ResultadoCampo CrearCampo(run::RunContext& ctx, std::string_view Campo, std::string_view Tabla,
                          std::string_view Tipo, db::Connection& Conexion, const Longitud& longitud,
                          bool NotNull, std::string_view Defecto) {
    const std::string alter = SentenciaCrearCampo(Campo, Tabla, Tipo, longitud, NotNull, Defecto);
    // A nullable column gets its default into the existing rows only through the UPDATE that
    // follows: a run killed between the two would leave them NULL for good, so the fill is a
    // one-off step with a marker. (NOT NULL columns are filled by the ALTER itself.)
    std::optional<PasoPendiente> relleno;
    if (!Defecto.empty() && !NotNull) {
        relleno.emplace(ctx, Conexion, ClaveColumna(Tabla, Campo));
        if (FaltaColumna(ctx, Tabla, Campo)) relleno->Marcar();
    }
    Conexion.clearError();
    const db::Status resultado = Conexion.execute(alter);
    if (resultado.ok()) {
        // Rows that existed before the column get the default too, also where it allows NULL.
        if (!Defecto.empty()) Conexion.execute(SentenciaRellenarCampo(Campo, Tabla, Defecto));
        if (relleno) relleno->Quitar();
        AnotarColumna(ctx, Tabla, Campo);
        ctx.EscribirLog("",
                        MensajeEmpresa(ctx, "Campo " + std::string(Campo) +
                                                " actualizado correctamente en la empresa "),
                        "", run::kNivelInformacion);
        return ResultadoCampo::Creado;
    }
    const db::Error& error = resultado.error();
    if (error.nativeError == kErrorColumnaDuplicada) {
        if (relleno && relleno->Heredado()) {
            // An interrupted run added the column and may not have filled it.
            Conexion.execute(SentenciaRellenarCampo(Campo, Tabla, Defecto));
            Conexion.clearError();
            Conexion.setPendingError(resultado);
        }
        if (relleno) relleno->Quitar();
        AnotarColumna(ctx, Tabla, Campo);
        return ResultadoCampo::YaExistia;
    }
    if (relleno) relleno->Quitar();
    ctx.EscribirLog(
        kProcedimientoFormActivate,
        MensajeEmpresa(ctx, "Error al crear el campo " + std::string(Campo) + " en la empresa "),
        error.description, run::kNivelError);
    return ResultadoCampo::Fallido;
}

ResultadoCampo CrearCampo(run::RunContext& ctx, db::Connection& Conexion, std::string_view Tabla,
                          const DefinicionCampo& d) {
    return CrearCampo(ctx, d.campo, Tabla, d.tipo, Conexion, d.longitud, d.notNull, d.defecto);
}

CamposCreados CrearCampos(run::RunContext& ctx, db::Connection& Conexion, std::string_view Tabla,
                          std::span<const DefinicionCampo> campos) {
    CamposCreados creados;
    for (const DefinicionCampo& d : campos) {
        if (CrearCampo(ctx, Conexion, Tabla, d) == ResultadoCampo::Creado) creados.emplace(d.campo);
    }
    return creados;
}

CamposCreados CrearCampos(run::RunContext& ctx, db::Connection& Conexion,
                          std::span<const CampoDeTabla> campos) {
    CamposCreados creados;
    for (const CampoDeTabla& c : campos) {
        if (CrearCampo(ctx, Conexion, c.tabla, c.definicion) == ResultadoCampo::Creado)
            creados.emplace(c.definicion.campo);
    }
    return creados;
}

}  // namespace schema
