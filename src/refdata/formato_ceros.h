// Zero-padded text of an account part, as the pattern "0000" formats a value: the entity and
// branch take four digits, the control digits two, the account number ten.
//
// A numeric value (a number, or a text that reads as a decimal number, blanks around it
// allowed) is rounded to a whole number (halves away from zero) and written with at least
// `digitos` digits, a minus sign in front when negative: 49 -> "0049", " 49 " -> "0049",
// "12345" -> "12345". A text that is not a number is returned as it stands ("AB" -> "AB"), NULL
// gives "" and True/False read as -1/0. Digit texts are handled exactly, whatever their length.
//
// Thread safety: pure function.
#pragma once

#include <string>

#include "db/variant.h"

namespace refdata {

std::string FormatoCeros(const db::Variant& valor, int digitos);

}  // namespace refdata
