// The frame shared by the update routines of the purchase documents and the commissions.
//
// Each of these routines works on one per-year table family (E____ComprasPedidosTabla,
// E____ComisionesTab, ...) and does the same three things:
//   1. logs its start line at level 2, with empty procedure and server text:
//      <start message> + current company code + " , servidor: " + server
//      (no blank between the message, which ends in "empresa", and the code);
//   2. walks the family (static, read-only listing; nothing more when it cannot be opened);
//   3. applies its list of steps to each table, in order, the first table completely before
//      the second.
// A routine is therefore data: a RutinaFamilia holding the start message, the family name and
// the steps, written next to the routine as a constexpr table that reads like the column
// lists of the database's documentation. A step is
//   - a widening: "if COL_LENGTH ('t','c') <test> alter table t alter column c varchar(n)",
//     sent as a plain statement whose outcome is neither examined nor logged (a missing
//     column makes COL_LENGTH NULL and the statement does nothing);
//   - a column addition through CrearCampo, which logs its own outcome; or
//   - a routine-specific step (a backfill, a default repair) that the routine performs
//     itself, told the table and what the column steps before it returned.
//
// Thread safety: none; runs on the run's one thread with the company's connection.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/connection.h"
#include "run/run_context.h"
#include "schema/column_creation.h"

namespace updates::purchases {

struct PasoTabla {
    enum class Clase { kAmpliar, kCrear, kEspecial };

    Clase clase = Clase::kCrear;
    // kAmpliar: the column, its test as sent ("< 50", "<= 10") and the new varchar width.
    // kEspecial: the step's name, which the routine's own action recognises.
    std::string_view columna;
    std::string_view prueba;
    int ancho = 0;
    // kCrear: the column to add, with its type, length, null rule and default.
    schema::DefinicionCampo campo;
};

constexpr PasoTabla PasoAmpliar(std::string_view columna, std::string_view prueba, int ancho) {
    return {PasoTabla::Clase::kAmpliar, columna, prueba, ancho, {}};
}

constexpr PasoTabla PasoCrear(std::string_view campo, std::string_view tipo,
                              schema::Longitud longitud, bool notNull, std::string_view defecto) {
    return {PasoTabla::Clase::kCrear, campo, {}, 0, {campo, tipo, longitud, notNull, defecto}};
}

constexpr PasoTabla PasoEspecial(std::string_view nombre) {
    return {PasoTabla::Clase::kEspecial, nombre, {}, 0, {}};
}

// What the column steps of one table returned so far, by column name (as written in the
// step), so that a later step can depend on them.
class ResultadosTabla {
  public:
    void Anotar(std::string_view campo, schema::ResultadoCampo resultado);
    // The outcome of the step that added `campo`; Fallido when no step has added it (yet).
    schema::ResultadoCampo De(std::string_view campo) const;

  private:
    std::vector<std::pair<std::string_view, schema::ResultadoCampo>> resultados_;
};

// Performs a kEspecial step named `paso` on `tabla`.
using AccionEspecial = std::function<void(std::string_view paso, const std::string& tabla,
                                          const ResultadosTabla& anteriores)>;

// A routine of this frame as data.
struct RutinaFamilia {
    std::string_view mensajeInicio;  // "Comenzando actualizacion estructura ... en la empresa"
    std::string_view familia;        // the family name after E____
    std::span<const PasoTabla> pasos;
};

// The widening statement of a kAmpliar step on `tabla`.
std::string SentenciaAmpliacionPaso(std::string_view tabla, const PasoTabla& paso);

// Applies `pasos` to `tabla` in order; kEspecial steps go to `especial`.
ResultadosTabla AplicarPasos(run::RunContext& ctx, db::Connection& Conexion,
                             const std::string& tabla, std::span<const PasoTabla> pasos,
                             const AccionEspecial& especial = {});

// The whole frame: start line, family walk, every step on every table. Returns the number of
// tables updated (0 when the family is empty or its listing failed).
int ActualizaFamilia(run::RunContext& ctx, db::Connection& Conexion, const RutinaFamilia& rutina,
                     const AccionEspecial& especial = {});

}  // namespace updates::purchases
