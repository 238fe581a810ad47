// Work sent as one transaction where the server grants one.
#pragma once

#include <functional>

#include "db/connection.h"

namespace schema {

// Runs `trabajo` inside a transaction when the server grants one, and commits it; without a
// transaction its statements are sent one after the other. False only when the commit failed
// (the transaction is then rolled back). The connection's errors are those `trabajo` left.
bool EnUnaTransaccion(db::Connection& Conexion, const std::function<void()>& trabajo);

}  // namespace schema
