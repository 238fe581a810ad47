#include "updates/accounting/cobros_pagos.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "schema/column_creation.h"
#include "schema/pasos_pendientes.h"
#include "schema/sql_text.h"
#include "schema/statements.h"

namespace updates::accounting {
namespace {

using schema::DuplicarComillas;
using schema::ResultadoCampo;
using schema::Unir;

constexpr schema::DefinicionCampo kCampoLinea = {"LINEA", "VARCHAR", 5, false, ""};
constexpr schema::DefinicionCampo kCampoOp = {"OP", "VARCHAR", 2, false, ""};

// A year that can be part of a table name: letters and digits only, at least one.
bool EjercicioValido(std::string_view ejercicio) {
    return !ejercicio.empty() && std::all_of(ejercicio.begin(), ejercicio.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0;
    });
}

std::string_view SinBlancos(std::string_view texto) {
    const size_t inicio = texto.find_first_not_of(' ');
    if (inicio == std::string_view::npos) return {};
    const size_t fin = texto.find_last_not_of(' ');
    return texto.substr(inicio, fin - inicio + 1);
}

// The operation code of the entry that `fila` points to, from that year's objective-estimation
// entries; nullopt when the entry cannot be looked up or is not there.
std::optional<db::Variant> OperacionDelApunte(db::Connection& Conexion, const db::Recordset& fila) {
    const std::string ejercicio(SinBlancos(fila.text("ejercicio")));
    if (!EjercicioValido(ejercicio)) return std::nullopt;
    const std::string consulta = Unir(
        {"select op from e", ejercicio, "apuntesorm where actemp='",
         DuplicarComillas(fila.text("actemp")), "' and er='", DuplicarComillas(fila.text("ER")),
         "' and canalapunte='", DuplicarComillas(fila.text("canalapunte")), "' and nuapunte='",
         DuplicarComillas(fila.text("nuapunte")), "'"});
    auto apunte =
        Conexion.openRecordset(consulta, db::CursorType::ForwardOnly, db::LockType::ReadOnly);
    if (apunte == nullptr) return std::nullopt;
    std::optional<db::Variant> op;
    if (!apunte->eof()) op = apunte->value("op");
    apunte->close();
    return op;
}

void RellenarLineas(db::Connection& Conexion) {
    auto ejercicios = Conexion.openRecordset(
        "SELECT EJERCICIO FROM COBROSPAGOS_REL GROUP BY EJERCICIO ORDER BY "
        "EJERCICIO",
        db::CursorType::Dynamic, db::LockType::Optimistic);
    if (ejercicios == nullptr) return;
    while (!ejercicios->eof()) {
        const std::string y = ejercicios->text("EJERCICIO");
        if (EjercicioValido(y)) schema::SentenciaSimple(Conexion, SentenciaLineasEjercicio(y));
        if (!ejercicios->moveNext()) break;
    }
    ejercicios->close();
}

void RellenarOperaciones(db::Connection& Conexion) {
    auto filas = Conexion.openRecordset("SELECT * FROM COBROSPAGOS_DATOSFACTURA",
                                        db::CursorType::Dynamic, db::LockType::Optimistic);
    if (filas == nullptr) return;
    while (!filas->eof()) {
        if (std::optional<db::Variant> op = OperacionDelApunte(Conexion, *filas))
            filas->setValue("OP", *op);
        Conexion.clearError();
        if (!filas->update()) filas->cancelUpdate();
        if (!filas->moveNext()) break;
    }
    filas->close();
}

}  // namespace

std::string SentenciaLineasEjercicio(std::string_view y) {
    return Unir({"update a set linea=numlinea from (select x.ejercicio,x.apunte,x.linea,z.iva ",
                 " from cobrospagos z left join cobrospagos_rel x on registro=REGISTRO_COBROPAGO "
                 "where x.ejercicio=",
                 y, ") as a ", " left join e", y,
                 "tabla as b on a.apunte=b.asiento and b.iva=a.iva"});
}

void ActualizaCobrosPagosRel(run::RunContext& ctx, db::Connection& Conexion) {
    schema::CrearCampoConPaso(ctx, Conexion, "COBROSPAGOS_REL", kCampoLinea,
                              [&] { RellenarLineas(Conexion); });
}

void ActualizaCobrosPagosDatosFactura(run::RunContext& ctx, db::Connection& Conexion) {
    schema::CrearCampoConPaso(ctx, Conexion, "COBROSPAGOS_DATOSFACTURA", kCampoOp,
                              [&] { RellenarOperaciones(Conexion); });
}

}  // namespace updates::accounting
