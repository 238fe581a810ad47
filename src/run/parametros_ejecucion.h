// The run parameters read once from the command line at start-up: how to log in, which server
// and which databases to update. Everything else in the program reads them; nothing changes
// them after start-up.
//
// Thread safety: a plain value; copy it freely.
#pragma once

#include <string>

namespace run {

struct ParametrosEjecucion {
    // SQL Server login, or the word "NULL" for integrated security.
    std::string Usuario;
    // Password of the login; ignored with integrated security.
    std::string Clave;
    // Server as written into connection strings: host, host,port, or a data directory.
    std::string Servidor;
    // True when Usuario is not exactly "NULL" (case-sensitive): the update connections log in.
    bool SeguridadSQL = false;
    // Empty: everything; "VARDEX": the central database only; otherwise one company code.
    std::string EmpresaSolicitada;

    bool operator==(const ParametrosEjecucion&) const = default;
};

}  // namespace run
