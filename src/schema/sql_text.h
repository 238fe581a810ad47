// Small pieces of SQL text shared by the schema toolkit and the routines built on it.
//
// Names and values that reach a statement between single quotes go through
// DuplicarComillas, so that a value holding ' stays one literal instead of ending it
// (a property value "O'Donnell", a company selector "0001' OR '1'='1").
//
// Thread-safe (pure functions).
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace schema {

// The parts joined with nothing between them: how statement texts are composed.
std::string Unir(std::initializer_list<std::string_view> partes);

// `texto` with every ' doubled; the text is otherwise unchanged.
std::string DuplicarComillas(std::string_view texto);

// A number read from a stored text the way the routines compare versions and lengths:
// the leading decimal number of the text, blanks ignored; "" or a non-numeric text is 0.
double NumeroDeTexto(std::string_view texto);

}  // namespace schema
