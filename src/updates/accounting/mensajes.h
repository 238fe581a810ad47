// The messages the accounting and tax routines write to the update log, composed once.
//
// Every message is a literal, the company code, a separator and the server name, joined with
// nothing else (the literals carry their own blanks, or lack them: "... en la empresa" + code
// is written without a blank on purpose where the log has always read that way).
//
//   Comenzando            the level-2 start line of a routine, empty procedure and server text
//   AmpliacionInformada   a widening sent as a reported statement, with the two messages the
//                         chart of accounts, the portfolio and the concept descriptions share:
//                           "Campo C actualizado correctamente en la empresa " code " , servidor: "
//                           server "Actualizando campo C en la empresa" code " en el servidor "
//                           server
//
// The routines that receive the company code from the run pass it in; the others pass the
// current company code of the run context. Both are the same code during a run.
//
// Thread safety: none; runs on the run's one thread with the company's connection.
#pragma once

#include <string>
#include <string_view>

#include "db/connection.h"
#include "run/run_context.h"
#include "schema/statements.h"

namespace updates::accounting {

// " , servidor " (blank, comma, blank, no colon): the separator of the letterhead's failure
// message.
inline constexpr std::string_view kSeparadorComaServidor = " , servidor ";

// texto + empresa + separador + the run's server name.
std::string Mensaje(const run::RunContext& ctx, std::string_view texto, std::string_view empresa,
                    std::string_view separador = schema::kSeparadorServidor);

// Level-2 entry with empty procedure and server text: texto + empresa + " , servidor: " + server.
void Comenzando(run::RunContext& ctx, std::string_view texto, std::string_view empresa);

// Sends `sql` as a reported statement with the usual success and failure messages for
// column `campo`, naming the current company. True when the statement succeeded.
bool AmpliacionInformada(run::RunContext& ctx, db::Connection& Conexion, std::string_view sql,
                         std::string_view campo);

}  // namespace updates::accounting
