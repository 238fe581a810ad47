// The per-year VAT books E____TABLA (issued and received invoices) of a company database.
//
// ActualizaLibrosIVA walks every year's book (ESCANTABLA matches the family pattern and is left
// out by the listing query) and, for each one:
//   - adds the operation date; on the run that adds it every row takes its invoice date, on
//     later runs only the rows holding 31/12/1899 (the empty date of old releases) do;
//   - adds the capital-goods mark; when it already existed, two batches bring an old nullable
//     or bit column to INT NOT NULL with default 0 (the first names the new constraint
//     DF_BIENINVERSION_A9046FFCDA + the four year characters of the table);
//   - adds the term, intra-community, range and SII columns, widens the description to 255
//     and rebinds the SII state's default to -1 under its old name.
// The window processes pending events after each book.
//
// Thread safety: none; runs on the run's thread with the company's connection.
#pragma once

#include <string>
#include <string_view>

#include "db/connection.h"
#include "run/run_context.h"

namespace updates::accounting {

void ActualizaLibrosIVA(run::RunContext& ctx, db::Connection& Conexion);

// The batch that makes a nullable BIENINVERSION of book `tabla` INT NOT NULL with a default.
std::string LoteBienInversionNoNulo(std::string_view tabla);
// The batch that turns a bit BIENINVERSION of `tabla` into INT keeping its default's name.
std::string LoteBienInversionEntero(std::string_view tabla);
// The batch that rebinds the default of SIIESTADO of `tabla` to -1 keeping its name.
std::string LoteEstadoSii(std::string_view tabla);

}  // namespace updates::accounting
