// The VAT return settings of a company (IVATABLA): the boxes and options of the periodic and
// annual returns.
//
// ActualizaIvaTabla adds the always-present columns, ending with IVAEXONERADO. When that column
// is created now, the six activities and the operation volumes of the annual summary follow;
// when it already existed, it is brought to int with default 0 (old releases kept it as a bit)
// and the activity group is not added. EXOVOLUMENEXPORTACIONESEXENTAS gates the last five
// volume columns the same way.
//
// Thread safety: none; runs on the run's thread with the company's connection.
#pragma once

#include <string_view>

#include "db/connection.h"
#include "run/run_context.h"

namespace updates::accounting {

// `Empresa` is the company code the start line names.
void ActualizaIvaTabla(run::RunContext& ctx, db::Connection& Conexion, std::string_view Empresa);

}  // namespace updates::accounting
