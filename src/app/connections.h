// The three kinds of connection the run opens to the one server named on the command line:
//
//   RealizarConexion     the listing connection to the central database: fills the process
//                        grid with one row per company of EMP (all of them, or the one the
//                        selector names) and releases the connection.
//   AbreconexionSimple   the central update connection (database Vardex).
//   AbreconexionEmpresa  one company's update connection (database Empresa_<code>).
//
// Connection strings are the ADO-style texts
//   "Server=<server>;uid=<user>;pwd=<password>;database=<db>"        (login)
//   "Server=<server>;database=<db>;Integrated Security=SSPI"         (integrated security)
// with every value quoted as connection strings require ({...}, '}' doubled) when it holds
// ';', '{', '}', '=' or edge blanks, so that a password such as "a;database=x" can never add
// attributes of its own. A server holding '/' is a data directory of the embedded engine.
// The company selector reaches the listing query with its quotes doubled, so that
// "0001' OR '1'='1" selects no company instead of every one.
//
// RealizarConexion does not end the program itself: when the server cannot be reached it
// logs the entry and answers kServidorInaccesible; the run then ends at once with the
// "server unreachable" exit status.
//
// Thread safety: none; runs on the run's one thread.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "db/connection.h"
#include "run/parametros_ejecucion.h"
#include "run/run_context.h"

namespace app {

enum class ResultadoListado {
    kListado,              // connected; the company rows (if any) are in the grid
    kServidorInaccesible,  // the listing connection failed: the program must end at once
};

// Lists the companies into ctx.grid. `usarLogin` false uses integrated security (the run
// passes false, with empty user and password, when the upper-cased Usuario is "NULL").
// The selector "VARDEX" lists nothing; an empty one lists every company.
ResultadoListado RealizarConexion(run::RunContext& ctx, std::string_view servidor, bool usarLogin,
                                  std::string_view usuario, std::string_view clave,
                                  std::string_view selector);

// Opens the central update connection into `conexion` (left there, closed, also when the open
// failed) and logs the outcome; true when open.
bool AbreconexionSimple(run::RunContext& ctx, std::unique_ptr<db::Connection>& conexion,
                        std::string_view servidor, bool usarLogin, std::string_view usuario,
                        std::string_view clave);

// Opens the update connection of company `codigo` into `conexion` and logs the outcome.
bool AbreconexionEmpresa(run::RunContext& ctx, std::unique_ptr<db::Connection>& conexion,
                         std::string_view servidor, std::string_view codigo, bool usarLogin,
                         std::string_view usuario, std::string_view clave);

// How a connection logs in, chosen from the run parameters.
struct Credenciales {
    bool usarLogin = false;
    std::string usuario;
    std::string clave;
};
// The listing connection uses integrated security when Usuario, upper-cased, is "NULL" (so
// "null" too), with empty user and password; otherwise it logs in with Usuario and Clave.
Credenciales CredencialesListado(const run::ParametrosEjecucion& parametros);
// The update connections log in when SeguridadSQL is true (Usuario is not exactly "NULL").
Credenciales CredencialesActualizacion(const run::ParametrosEjecucion& parametros);

// The three routines with everything taken from ctx.parametros (server, credentials, selector),
// as the run calls them.
ResultadoListado RealizarConexion(run::RunContext& ctx);
bool AbreconexionSimple(run::RunContext& ctx, std::unique_ptr<db::Connection>& conexion);
bool AbreconexionEmpresa(run::RunContext& ctx, std::unique_ptr<db::Connection>& conexion,
                         std::string_view codigo);

// The connection strings, for the routines above and their tests.
std::string CadenaConexion(std::string_view servidor, std::string_view baseDatos, bool usarLogin,
                           std::string_view usuario, std::string_view clave);
// "Select MENUMEMPRESA, MENOMBRE from emp" with, for a non-empty selector,
// " where MENUMEMPRESA='<selector, quotes doubled>'".
std::string ConsultaEmpresas(std::string_view selector);

}  // namespace app
