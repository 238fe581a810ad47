// The run's phases as data: a phase is an ordered table of steps, each with its guard (a
// table that must, or must not, exist in the phase's database), the routine it calls and the
// progress it reports when done. The central phase and the company phase are two such tables
// (pasos_central.h, pasos_empresa.h); adding a routine to a phase is adding one line.
//
// A step's progress k > 0 means: after the step, AvanzarProgreso(progress step × k), the
// product taken in 16-bit arithmetic (a product that does not fit is refused and the bar
// stays as it was). The progress is reported whether the guard let the routine run or not:
// the bar shows the position in the table.
//
// Thread safety: none; runs on the run's thread with the phase's connection.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "db/connection.h"
#include "run/run_context.h"

namespace app {

// What a step works with: the run, the phase's connection, the company code (empty in the
// central phase) and the program date the release stamps carry.
struct EntornoPaso {
    run::RunContext& ctx;
    db::Connection& conexion;
    const std::string& codigo;
    const std::string& fechaPrograma;
};

// A step's routine, in one of the shapes the update routines have: the connection alone, the
// run and the connection, or those and the company code (as std::string_view). Inline work
// that needs the program date takes the whole EntornoPaso.
class Rutina {
  public:
    using SoloConexion = void (*)(db::Connection&);
    using ConContexto = void (*)(run::RunContext&, db::Connection&);
    using ConCodigo = void (*)(run::RunContext&, db::Connection&, std::string_view);
    using ConEntorno = void (*)(const EntornoPaso&);

    constexpr Rutina(SoloConexion f) : solo_conexion_(f) {}
    constexpr Rutina(ConContexto f) : con_contexto_(f) {}
    constexpr Rutina(ConCodigo f) : con_codigo_(f) {}
    constexpr Rutina(ConEntorno f) : con_entorno_(f) {}

    void operator()(const EntornoPaso& entorno) const;

  private:
    SoloConexion solo_conexion_ = nullptr;
    ConContexto con_contexto_ = nullptr;
    ConCodigo con_codigo_ = nullptr;
    ConEntorno con_entorno_ = nullptr;
};

// Whether a step runs: always, when a user table exists, when it does not exist, or when
// two user tables both exist.
struct Guarda {
    enum class Clase { kSiempre, kExiste, kNoExiste, kExistenAmbas };
    Clase clase = Clase::kSiempre;
    std::string_view tabla;
    std::string_view otraTabla;
};

constexpr Guarda Siempre() {
    return {};
}
constexpr Guarda Existe(std::string_view tabla) {
    return {Guarda::Clase::kExiste, tabla, {}};
}
constexpr Guarda NoExiste(std::string_view tabla) {
    return {Guarda::Clase::kNoExiste, tabla, {}};
}
constexpr Guarda ExistenAmbas(std::string_view tabla, std::string_view otra) {
    return {Guarda::Clase::kExistenAmbas, tabla, otra};
}

struct Paso {
    std::string_view nombre;  // "C3", "K48", "K-end": the step's name in the run's order
    Guarda guarda;
    Rutina rutina;
    std::int16_t progreso = 0;  // k; 0 reports nothing
};

// True when the guard lets its step run on `conexion` (asked through the catalogue probe).
bool GuardaCumplida(const Guarda& guarda, db::Connection& conexion);

// Runs every step of `pasos` in order, with `pasoProgreso` as the progress step of the phase;
// `alTerminarPaso`, when given, is called after each step (the run counts the steps of companies
// updated side by side).
void EjecutarPasos(std::span<const Paso> pasos, const EntornoPaso& entorno,
                   std::int16_t pasoProgreso, const std::function<void()>& alTerminarPaso = {});

// progress step × k in 16-bit arithmetic; nothing when the product does not fit.
std::optional<std::int16_t> ProgresoDePaso(std::int16_t pasoProgreso, std::int16_t k);

}  // namespace app
