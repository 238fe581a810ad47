// Fixed lists of statements that a routine sends one after the other, each with the pending
// error cleared before it and its outcome ignored: a failing statement does not stop the ones
// after it.
//
// Thread safety: none; runs on the run's one thread with the run's connection.
#pragma once

#include <span>
#include <string_view>

#include "db/connection.h"

namespace refdata {

void EjecutarEnOrden(db::Connection& Conexion, std::span<const std::string_view> sentencias);

}  // namespace refdata
