// Reserved keywords of T-SQL.
//
// A reserved keyword cannot be an unbracketed alias or object name, and a syntax error
// next to one is reported as 156 ("near the keyword 'X'") rather than 102. Thread-safe.
#pragma once

#include <string_view>

namespace engine::sql {

bool isReservedKeyword(std::string_view word);

}  // namespace engine::sql
