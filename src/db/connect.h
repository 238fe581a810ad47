// Opening connections: the one place that knows which driver serves which server.
//
// A server name holding '/' is a data directory of the embedded engine; every other name
// is a SQL Server reached through ODBC (driver chosen by odbc::chooseDriver()).
// The result is always a connection object, as ADO leaves one behind a failed Open: when
// opening failed it is closed and its pending error holds the driver's errors (for a
// missing database the server's 4060, for an unreachable server the driver's message).
// Thread-safe (each call builds its own connection).
#pragma once

#include <memory>
#include <string_view>

#include "db/connection.h"
#include "db/connection_string.h"

namespace db {

bool isEmbeddedServer(std::string_view server);

std::unique_ptr<Connection> connect(const ConnectionSettings& settings);
// Parses an ADO-style connection string (db/connection_string.h) and connects; a string
// that cannot be parsed gives a closed connection with that error pending.
std::unique_ptr<Connection> connect(std::string_view connectionString);

}  // namespace db
