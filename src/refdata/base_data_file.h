// The base-data file that ships beside the program, Include/Datos Base.MDB: a Jet database
// holding the release's reference tables, the control tables that say which of them to copy
// into SQL Server (Versiones, VersionesEmp) and the BIC catalogue (CODIGOSBIC).
//
// Its readers need one operation: every row of one table, with its columns in the file's
// order and their types, optionally limited by a SQL condition. BaseDataFile is that
// operation; the program's implementation reads the Jet file, tests give tables of their own.
//
// Thread safety: an open file is used by one thread at a time.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "db/error.h"
#include "db/recordset.h"
#include "run/run_context.h"

namespace refdata {

class BaseDataFile {
  public:
    virtual ~BaseDataFile() = default;
    // Every row of `table` for which `filter` holds (every row when `filter` is empty), with
    // the columns in the file's order. An error (no such table, a filter that cannot be
    // evaluated, an unreadable file) leaves `rows` empty.
    virtual db::Status ReadTable(std::string_view table, std::string_view filter,
                                 db::RowSet& rows) = 0;
};

// The program's folder, always ending with a path separator.
std::string RutaPrograma(const run::RunContext& ctx);

// Where the file is expected: the program folder's Include/Datos Base.MDB.
inline constexpr std::string_view kRutaDatosBase = "Include/Datos Base.MDB";

// Opens the base-data file `path` (the letter case of its folder and file names does not
// matter). Null, with the reason in `status`, when it is missing or not a Jet file.
std::unique_ptr<BaseDataFile> AbrirDatosBase(const std::string& path, db::Status& status);

// The value of the column named `name` (compared without regard to case) in `row` of
// `rows`; NULL when there is no such column.
db::Variant ValorColumna(const db::RowSet& rows, std::size_t row, std::string_view name);

}  // namespace refdata
