// Errors of the client layer, as the routines read them.
//
// An Error is one entry of a connection's error collection: the client-level number (the
// number a VB-style caller would see in Err.Number), the server's native error number
// (SQL Server's message number, 2705 for a duplicate column), the SQLSTATE when the
// driver gives one, and the description (the server's message text, without the driver's
// "[vendor][driver]" prefixes). Status is the outcome of one operation: ok, or the
// errors it raised, first entry first. Thread-compatible (plain values).
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace db {

struct Error {
    long number = 0;       // client-level number (ADO's Err.Number)
    int nativeError = 0;   // server message number; 0 for errors raised by the client layer
    std::string sqlState;  // five characters, or empty
    std::string description;

    friend bool operator==(const Error&, const Error&) = default;
};

// Client-level numbers that the layer raises itself, with the texts ADO uses for them.
namespace client_error {
// An error reported by the provider for a command (DB_E_ERRORSINCOMMAND).
inline constexpr long kErrorsInCommand = -2147217900;
// Opening the connection failed (login, unreachable server, unknown database).
inline constexpr long kConnectionFailed = -2147467259;
// The set is at BOF or EOF and the operation needs a current record.
inline constexpr long kNoCurrentRecord = 3021;
// No field of that name or ordinal.
inline constexpr long kItemNotFound = 3265;
// The set was opened read-only, or its source cannot be updated.
inline constexpr long kNotUpdatable = 3251;
// The connection or the set is closed.
inline constexpr long kObjectClosed = 3704;
// The row to update no longer holds the values it was read with.
inline constexpr long kRowNotLocated = -2147217864;
// The operation is not supported by this kind of connection.
inline constexpr long kNotSupported = 3251;

Error noCurrentRecord();
Error itemNotFound(std::string_view name);
Error notUpdatable();
Error objectClosed();
Error rowNotLocated();
Error notSupported(std::string_view what);
}  // namespace client_error

class Status {
public:
    Status() = default;
    explicit Status(std::vector<Error> errors) : errors_(std::move(errors)) {}
    explicit Status(Error error) { errors_.push_back(std::move(error)); }

    static Status success() { return Status(); }

    bool ok() const { return errors_.empty(); }
    explicit operator bool() const { return ok(); }
    // The first error; only meaningful when !ok().
    const Error& error() const { return errors_.front(); }
    const std::vector<Error>& errors() const { return errors_; }

private:
    std::vector<Error> errors_;
};

}  // namespace db
