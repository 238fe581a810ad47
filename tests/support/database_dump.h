// A database written out as text, for comparing two databases whole: every table and view
// with its columns (type, length, precision, scale, nullability, named default and its
// text), its indexes, and every row (sorted, so that the order rows were stored in does not
// count). Read through a client connection.
#pragma once

#include <string>

#include "db/connection.h"

namespace test_support {

std::string DumpDatabase(db::Connection& connection);

}  // namespace test_support
