// sqlshell's command line, in sqlcmd's terms:
//
//   sqlshell -S SERVER [-d DB] [-U LOGIN [-P PASSWORD] | -E] [-Q "query" | -i FILE ...]
//            [-b] [-e] [-r[0|1]] [-h N] [-s SEP] [-W] [-o FILE] [-v NAME=VALUE ...] [--create]
//   sqlshell -S SERVER --check
//   sqlshell -S <data directory> --salvage <damaged database> <new database>
//
// SERVER is a data directory of the embedded engine when it holds '/', names a directory
// that exists, or --create is given; otherwise a TDS server, "host", "host,port" or
// "host:port" (an optional "tcp:" before it), reached through ODBC. Values may follow their
// option in the same argument (-dVardex) or in the next one. Thread-safe (pure function).
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tools/sqlshell/shell_output.h"

namespace tools {

struct ShellOptions {
    std::string server;
    std::string database;
    std::string login;
    std::optional<std::string> password;                         // -P; else SQLCMDPASSWORD
    std::string query;                                           // -Q
    std::vector<std::string> inputs;                             // -i
    std::string outputFile;                                      // -o
    std::vector<std::pair<std::string, std::string>> variables;  // -v, in order
    OutputFormat format;
    MessagesTo messages = MessagesTo::Output;
    bool stopOnError = false;              // -b
    bool echo = false;                     // -e
    bool createDirectory = false;          // --create
    bool check = false;                    // --check: DBCC CHECKDB of every database
    std::string salvageFrom, salvageInto;  // --salvage FROM INTO
};

struct ParsedOptions {
    std::optional<ShellOptions> options;
    std::string problem;  // why the command line was refused; empty with options
};

ParsedOptions parseOptions(const std::vector<std::string>& args);

// Whether the server names a data directory of the embedded engine.
bool isDataDirectory(const ShellOptions& options);

// "tcp:host,port", "host:port", "host,port", "host": the host and the port (empty when none),
// as "host,port" for the connection.
std::string tdsServerAddress(const std::string& server);

}  // namespace tools
