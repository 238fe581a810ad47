// The ODBC driver of the client layer: a Connection to a SQL Server (or any ODBC data
// source) through unixODBC.
//
// Statements go out with the wide (UTF-16) calls, so that accents survive whatever the
// process locale. Multi-result batches are read to the end with SQLMoreResults: an error
// of any statement of the batch fails the call; informational messages never do. Record
// sets read every row of the first result when they open. Updatable sets are written by
// the client: UPDATE/INSERT statements against the set's base table with bound
// parameters, the UPDATE finding its row by the key columns and the original values of
// the changed columns (or, without a known key, by the original values of every
// comparable column), and checking that it changed exactly one row.
// Thread-compatible.
#pragma once

#include <memory>
#include <string>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/odbc/odbc_support.h"

namespace db::odbc {

// Opens a connection with the settings through the given driver (see chooseDriver()).
// Always returns a connection object; when the open failed it is closed and its pending
// error says why.
std::unique_ptr<Connection> openConnection(const ConnectionSettings& settings,
                                           const std::string& driver);
// The same with the text encoding given instead of derived from the driver's name.
std::unique_ptr<Connection> openConnection(const ConnectionSettings& settings,
                                           const std::string& driver, Encoding encoding);

}  // namespace db::odbc
