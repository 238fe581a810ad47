// Pieces that the customer, supplier, staff and law-practice routines share and the schema
// toolkit does not hold:
//
//   SentenciaDeTabla     a reported statement as a row of a routine's table: the statement
//                        and the texts that open its failure and success messages
//   Informar             sends one such row as a reported statement; the failure message is
//                        textoError + code + the routine's own separator + server, the success
//                        message textoExito + code + " , servidor: " + server
//   LoteConRetornos      joins the lines of a batch, each followed by a carriage return
//
// The company code is an argument: the routines that receive it from the run pass theirs, the
// others the current company code of the run context; both are the same code.
//
// Thread safety: none; runs on the run's one thread with the company's connection.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "db/connection.h"
#include "run/run_context.h"

namespace updates::parties {

struct SentenciaDeTabla {
    std::string_view sql;
    std::string_view textoError;
    std::string_view textoExito;
};

// True when the statement succeeded.
bool Informar(run::RunContext& ctx, db::Connection& Conexion, const SentenciaDeTabla& sentencia,
              std::string_view codigo, std::string_view separadorError);

std::string LoteConRetornos(std::span<const std::string_view> lineas);

}  // namespace updates::parties
