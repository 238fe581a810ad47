// Fixed lists of statements that a routine sends one after the other as plain statements
// (schema::SentenciasSimples), their outcomes ignored: a failing statement does not stop the ones
// after it, and no error is left pending on the connection afterwards.
//
// Thread safety: none; runs on the run's one thread with the run's connection.
#pragma once

#include <span>
#include <string_view>

#include "db/connection.h"

namespace refdata {

void EjecutarEnOrden(db::Connection& Conexion, std::span<const std::string_view> sentencias);

}  // namespace refdata
