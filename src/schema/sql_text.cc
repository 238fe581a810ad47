#include "schema/sql_text.h"

#include "db/variant.h"

namespace schema {

std::string DuplicarComillas(std::string_view texto) {
    std::string out;
    out.reserve(texto.size());
    for (char c : texto) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out;
}

double NumeroDeTexto(std::string_view texto) {
    return db::valOfText(texto);
}

}  // namespace schema
