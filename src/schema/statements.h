// The three kinds of literal statement the update routines send besides column additions.
//
//   Plain statement      executed; its error is ignored and nothing is logged (the error
//                        stays pending on the connection, as an ignored error does).
//   Reported statement   the pending error is cleared, the statement executed, and its
//                        outcome logged with procedure "Form_Activate": on success at level 2
//                        with the success message, on failure at level 1 with the failure
//                        message and the server's error description as server text; the
//                        error state is then cleared.
//   Widening statement   "if COL_LENGTH ('T','C') <test> alter table T alter column C <type>"
//                        sent as a plain statement: a column that is missing makes COL_LENGTH
//                        NULL, and the statement then does nothing.
// The routines compose their messages from a literal, a company code and the server name in a
// few fixed ways; Mensaje does that composition once, and the start line and the reported
// widening, which every subsystem writes, are built on it.
//
// Thread safety: none; runs on the run's one thread with the run's connection.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "db/connection.h"
#include "run/run_context.h"

namespace schema {

inline constexpr std::string_view kProcedimientoFormActivate = "Form_Activate";
// The separators the Parts put between company code and server name.
inline constexpr std::string_view kSeparadorServidor = " , servidor: ";
inline constexpr std::string_view kSeparadorServidorSinDosPuntos = ", servidor ";
inline constexpr std::string_view kSeparadorEnElServidor = " en el servidor ";
inline constexpr std::string_view kSeparadorComaServidor = " , servidor ";

// texto + empresa + separador + parametros.Servidor, joined with nothing else (the literals
// carry their own blanks, or lack them: "... en la empresa" + code is written without a blank
// where the log has always read that way).
std::string Mensaje(const run::RunContext& ctx, std::string_view texto, std::string_view empresa,
                    std::string_view separador = kSeparadorServidor);

// The same with the run's current company code. The routines that receive the company code
// from the run use Mensaje with theirs; during a run both are the same code.
std::string MensajeEmpresa(const run::RunContext& ctx, std::string_view texto,
                           std::string_view separador = kSeparadorServidor);

// The start line of a routine: level 2, empty procedure and server text,
// texto + empresa + " , servidor: " + server.
void LineaDeComienzo(run::RunContext& ctx, std::string_view texto, std::string_view empresa);
// The same naming the run's current company.
void LineaDeComienzo(run::RunContext& ctx, std::string_view texto);

// Executes `sql`, ignoring its outcome. Returns whether it succeeded, for callers that are
// allowed to look (most do not).
bool SentenciaSimple(db::Connection& Conexion, std::string_view sql);

// Executes each statement of `sentencias` in order as a plain statement: a failing one does not
// stop the ones after it.
void SentenciasSimples(db::Connection& Conexion, std::span<const std::string_view> sentencias);

// Executes `sql` as a reported statement; true when it succeeded.
bool SentenciaInformada(run::RunContext& ctx, db::Connection& Conexion, std::string_view sql,
                        std::string_view mensajeExito, std::string_view mensajeError);

// Sends `sql` (a widening of column `campo`) as a reported statement with the messages that
// name the column and the current company:
//   "Campo " campo " actualizado correctamente en la empresa " code " , servidor: " server
//   "Actualizando campo " campo " en la empresa" code " en el servidor " server
// True when the statement succeeded.
bool AmpliacionInformada(run::RunContext& ctx, db::Connection& Conexion, std::string_view sql,
                         std::string_view campo);

// "if COL_LENGTH ('" T "','" C "') " prueba " alter table " T " alter column " C " " tipo.
std::string SentenciaAmpliacion(std::string_view Tabla, std::string_view Campo,
                                std::string_view prueba, std::string_view nuevoTipo);

// Sends SentenciaAmpliacion(...) as a plain statement.
bool Ampliar(db::Connection& Conexion, std::string_view Tabla, std::string_view Campo,
             std::string_view prueba, std::string_view nuevoTipo);

}  // namespace schema
