#include "db/connect.h"

#include <cstdlib>

#include "db/odbc/odbc_connection.h"
#include "db/odbc/odbc_support.h"
#include "db/embedded/embedded_connection.h"

namespace db {

bool isEmbeddedServer(std::string_view server) { return server.find('/') != std::string_view::npos; }

std::unique_ptr<Connection> connect(const ConnectionSettings& settings) {
    if (isEmbeddedServer(settings.server)) return embedded::openConnection(settings);
    const std::string driver = odbc::chooseDriver(odbc::installedDrivers(), std::getenv("ACTUALIZA_ODBC_DRIVER"));
    return odbc::openConnection(settings, driver);
}

std::unique_ptr<Connection> connect(std::string_view connectionString) {
    auto settings = parseConnectionString(connectionString);
    if (!settings) {
        auto closed = std::make_unique<ClosedConnection>("");
        closed->setPendingError(Status(Error{client_error::kConnectionFailed, 0, "",
                                             "The connection string is not valid: a quoted value is not closed."}));
        return closed;
    }
    return connect(*settings);
}

}  // namespace db
