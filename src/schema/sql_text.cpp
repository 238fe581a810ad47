#include "schema/sql_text.h"

#include "db/variant.h"

namespace schema {

std::string Unir(std::initializer_list<std::string_view> partes) {
    size_t longitud = 0;
    for (std::string_view parte : partes)
        longitud += parte.size();
    std::string texto;
    texto.reserve(longitud);
    for (std::string_view parte : partes)
        texto += parte;
    return texto;
}

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
