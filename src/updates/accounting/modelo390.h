// The header of the annual VAT summary (form 390, MODELO390CABECERA) of a company database.
//
// ActualizaModelo390 adds three groups of boxes, each gated by its first box: the deductible
// VAT boxes of the reduced rates (54), the special regime of the agricultural compensation (7)
// and the cash-basis accruals (10). A group whose first box already exists receives nothing
// more, even when some of its other boxes are missing.
//
// Thread safety: none; runs on the run's thread with the company's connection.
#pragma once

#include <span>

#include "db/connection.h"
#include "run/run_context.h"
#include "schema/column_creation.h"

namespace updates::accounting {

void ActualizaModelo390(run::RunContext& ctx, db::Connection& Conexion);

// The three groups, each with its gate as first element.
std::span<const schema::DefinicionCampo> Grupo390Deducible();
std::span<const schema::DefinicionCampo> Grupo390Recc();
std::span<const schema::DefinicionCampo> Grupo390CriterioCaja();

}  // namespace updates::accounting
