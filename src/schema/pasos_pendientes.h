// One-off steps that survive an interrupted run.
//
// Some work is owed to a database only by the run that creates something in it: the fill of a
// column that run added (CrearCampo's UPDATE of a nullable column with a default, a routine's
// data correction), the rest of a group behind its first column, an index rebuilt after a new
// key column, the backfill of new IBAN and BIC columns. The run knows it owes the work from
// what its own statement answered ("the column was added now"), so a run killed between the
// creation and the work would leave the work undone for good: the next run finds the column
// and owes nothing.
//
// Such a step is therefore bracketed by a marker row in the database itself, in the table
// PASOSPENDIENTES (PASO VARCHAR(255) NOT NULL), made when the first marker is written:
//
//   1. before the guard is created, and only when it is missing, the marker is written:
//        "INSERT INTO PASOSPENDIENTES (PASO) VALUES ('<key>')"
//   2. the step runs when the guard was created now, or when its marker was already there
//      (an interrupted run got past 1 but not past 3);
//   3. the marker is removed:  "DELETE FROM PASOSPENDIENTES WHERE PASO='<key>'"
//
// At the end of a phase a marker table left empty is dropped, so that a database the run
// finished holds no trace of it. Nothing else of the run changes: every statement the steps
// send is sent as before, and the markers have statements of their own. Where the phase's
// database cannot be read (ComenzarFase) the steps run without markers, as they always did.
//
// A step may run a second time when a run is killed after the step but before its marker is
// removed; every step is written so that doing it again at once changes nothing, and the one
// that is not (the suppliers' VAT regimes) removes its marker in the transaction of its work.
//
// Keys: "<TABLA>.<COLUMNA>" for CrearCampo's own fill, "paso <TABLA>.<GUARDA>" for a routine's
// step named after its guard (a column, an index, a table), upper case.
//
// Thread safety: none; runs on the run's one thread with the phase's connection.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "db/connection.h"
#include "run/run_context.h"
#include "schema/column_creation.h"

namespace schema {

inline constexpr std::string_view kTablaPasosPendientes = "PASOSPENDIENTES";

// Starts keeping markers on the phase's database: reads its columns and the markers found there;
// a marker table holding none is dropped. When the columns cannot be read the phase keeps no
// markers.
void ComenzarFase(run::RunContext& ctx, db::Connection& Conexion);
// Ends the phase: drops the marker table when it holds no marker; stops keeping markers.
void TerminarFase(run::RunContext& ctx, db::Connection& Conexion);

// Whether column `Campo` of `Tabla` is known to exist in the phase's database.
bool TieneColumna(const run::RunContext& ctx, std::string_view Tabla, std::string_view Campo);
// Whether table `Tabla` is known to exist and to lack column `Campo`: what a step's marker is
// written for (on a table that is not there the column cannot be added, and nothing is owed).
bool FaltaColumna(const run::RunContext& ctx, std::string_view Tabla, std::string_view Campo);
// Notes that the column exists (the phase added it, or found it there).
void AnotarColumna(run::RunContext& ctx, std::string_view Tabla, std::string_view Campo);

// "<TABLA>.<COLUMNA>" and "paso <TABLA>.<GUARDA>" ("paso <TABLA>" for a table), upper case.
std::string ClaveColumna(std::string_view Tabla, std::string_view Campo);
std::string ClavePaso(std::string_view Tabla, std::string_view Guarda);

// The marker statements, for the tests and for the run sequence's company markers.
std::string SentenciaCrearTablaPasos();
std::string SentenciaMarcarPaso(std::string_view clave);
std::string SentenciaQuitarPaso(std::string_view clave);
// The marker written into a database the run has no phase open on (the central phase's markers
// for the companies): the table when it is missing, then the marker when it is not there.
std::vector<std::string> SentenciasMarcarPasoSiFalta(std::string_view clave);

// The marker of one step on the phase's database.
class PasoPendiente {
  public:
    PasoPendiente(run::RunContext& ctx, db::Connection& Conexion, std::string clave);

    // An interrupted run (or the central phase, for a company) left the step owed.
    bool Heredado() const;
    // Writes the marker, before the guard is created; nothing when the phase keeps no markers or
    // the marker is there already. A marker that cannot be written leaves the step as it always
    // was: owed only to the run that creates its guard.
    void Marcar();
    // Removes the marker when there is one.
    void Quitar();
    // Does `trabajo` and removes the marker in one transaction, for a step that must not be done
    // twice: a run killed in between leaves both undone. Without a transaction (the server
    // refuses one) the two are done one after the other.
    void HacerYQuitar(const std::function<void()>& trabajo);
    // Whether there is a marker to remove.
    bool Marcado() const;

  private:
    run::RunContext& ctx_;
    db::Connection& conexion_;
    std::string clave_;
};

// The usual shape of a one-off step:
//   faltaGuarda  whether the guard is missing now: only then is the marker written
//   crearGuarda  creates the guard and tells what that means for the step: Creado (created now,
//                the step is owed), YaExistia (it was there), Fallido (it could not be made)
//   paso         the step
// The step runs when the guard was created now, or when it was left owed and the guard is
// there; then the marker goes. Returns whether the step ran.
bool PasoTrasGuarda(run::RunContext& ctx, db::Connection& Conexion, std::string clave,
                    bool faltaGuarda, const std::function<ResultadoCampo()>& crearGuarda,
                    const std::function<void()>& paso);

// For a step guarded by columns of a list that one CrearCampos call adds: Creado when the call
// created every guard column, Fallido when one of them is still missing, YaExistia otherwise.
ResultadoCampo GuardaEnLista(const run::RunContext& ctx, const CamposCreados& creados,
                             std::string_view Tabla, std::initializer_list<std::string_view> guardas);
// A step guarded by two columns added one after the other, owed when both were created now:
// Creado when both were, Fallido when either failed, YaExistia otherwise.
ResultadoCampo Ambas(ResultadoCampo una, ResultadoCampo otra);
// Whether the table exists and lacks every one of the guard columns (the step's marker is
// written only then).
bool FaltanTodas(const run::RunContext& ctx, std::string_view Tabla,
                 std::initializer_list<std::string_view> guardas);

// The step owed by the run that adds one column: CrearCampo of `definicion`, then `paso`.
// Returns CrearCampo's outcome, Creado also when the step was owed by an interrupted run (so
// that a caller's "created now" branch is the branch the step took).
ResultadoCampo CrearCampoConPaso(run::RunContext& ctx, db::Connection& Conexion,
                                 std::string_view Tabla, const DefinicionCampo& definicion,
                                 const std::function<void()>& paso);

}  // namespace schema
