// The account-length fill of the company register: every company whose account code for
// result accounts (`EMP.CUENTEMP7`) is still 0 gets "600" followed by as many zeros as make
// the company's account length, the largest of its digit settings MENUMDIG … MENUMDIG8.
//
// The length is that company's own: a company never takes another company's length, whatever
// order the register returns them in (companies of 8 and 6 digits get 60000000 and 600000).
//
// Thread safety: none; runs on the run's thread with the central update connection.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "db/connection.h"
#include "db/recordset.h"
#include "run/run_context.h"

namespace app {

inline constexpr char kConsultaCuentEmp7[] =
    "select MENUMEMPRESA,MENOMBRE, MENUMDIG,MENUMDIG2,MENUMDIG3,MENUMDIG4,MENUMDIG5,MENUMDIG6,"
    "MENUMDIG7,MENUMDIG8,CUENTEMP7 from emp where CUENTEMP7 = 0";

// Fills CUENTEMP7 for the companies that have none, logging its start line (or the failure to
// read EMP, or that there was nothing to fill).
void ActualizaCuentEmp7(run::RunContext& contexto, db::Connection& conexion);

// The largest digit setting of the set's current row, rounded to a whole number the way a
// 16-bit integer takes it; 0 when every setting is NULL. Values beyond the 16-bit range are
// ignored.
std::int16_t DigitosDeCuenta(const db::Recordset& empresa);

// "600" followed by (digits − 3) zeros; nothing when the account has fewer than 3 digits.
std::optional<std::string> CuentaResultados(std::int16_t digitos);

}  // namespace app
