// Connection settings and the ADO-style connection-string text.
//
// Callers compose ADO-style texts ("Server=SRV;uid=sa;pwd=...;database=Vardex" or
// "...;Integrated Security=SSPI"). Values pasted into such a text unquoted would let a
// password holding ';' or '}' end the value and add attributes of its own, so values are
// written with quoteValue(), which wraps them in {...} (a '}' inside doubled) whenever they
// hold ';', '{', '}', '=' or blanks at either end; parseConnectionString() honours that
// quoting (and the OLE DB "..." / '...' forms) and gives back the settings as a structure,
// from which each driver builds its own connection text. Thread-safe (pure functions).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace db {

struct ConnectionSettings {
    std::string server;  // host, "host,port", "host\instance", or a data directory path
    std::string database;
    std::string user;
    std::string password;
    bool integratedSecurity = false;
    int loginTimeoutSeconds = 60;
};

// A value as a connection-string attribute value: as it is when that is safe, else in
// braces with '}' doubled.
std::string quoteValue(std::string_view value);
// "key=value" with the value quoted as needed.
std::string attribute(std::string_view key, std::string_view value);

// Splits a connection string into its key/value pairs, in order, keys trimmed, values
// unquoted. nullopt when a quoted value is not closed.
std::optional<std::vector<std::pair<std::string, std::string>>> splitConnectionString(
    std::string_view text);

// The settings an ADO-style string names. Unknown keys (Provider, ...) are ignored.
// nullopt when the text cannot be split (an unclosed quote).
std::optional<ConnectionSettings> parseConnectionString(std::string_view text);

// The ADO-style text of settings, every value quoted as needed (the password included:
// use it only where the text is not written anywhere).
std::string formatConnectionString(const ConnectionSettings& settings);

}  // namespace db
