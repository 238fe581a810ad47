// The embedded driver: a Connection served in-process by the embedded engine, for
// servers named by a data directory (a path holding '/').
//
// Every statement text goes to the engine as one batch; its error messages (severity
// above 10) make the call fail, informational ones do not. Record sets take the first
// result set of the batch. Sets opened Optimistic on a result that comes from one base
// table are updatable through the engine's row operations: each row keeps the engine's
// row identity, an update is checked against the original values of the changed columns
// (a row changed meanwhile is not overwritten), a new row gets the defaults of the
// columns it does not assign.
// The user, password and integrated-security settings do not apply to a data directory.
// Thread-compatible.
#pragma once

#include <memory>

#include "db/connection.h"
#include "db/connection_string.h"

namespace db::embedded {

// Always returns a connection; when the session could not be opened (no such data
// directory, no such database: the engine's 4060) it is closed with that error pending.
std::unique_ptr<Connection> openConnection(const ConnectionSettings& settings);

}  // namespace db::embedded
