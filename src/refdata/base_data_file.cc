#include "refdata/base_data_file.h"

#include "db/text_util.h"

namespace refdata {

std::string RutaPrograma(const run::RunContext& ctx) {
    std::string ruta = ctx.programDirectory.string();
    if (ruta.empty() || ruta.back() != '/') ruta.push_back('/');
    return ruta;
}

db::Variant ValorColumna(const db::RowSet& rows, std::size_t row, std::string_view name) {
    for (std::size_t column = 0; column < rows.fields.size(); ++column) {
        if (db::equalsIgnoreCase(rows.fields[column].name, name)) return rows.rows[row][column];
    }
    return db::Variant();
}

}  // namespace refdata
