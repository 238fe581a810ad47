// A database written out as text, for comparing two databases whole: every table and view
// with its columns (type, length, precision, scale, nullability, named default and its
// text), its indexes, and every row (sorted, so that the order rows were stored in does not
// count). Read through a client connection.
//
// A default whose name the server chose (DF__<table>__<column>__<an id in hex>) is written with
// "<id>" in place of the id: which id an object gets depends on how many objects were made
// before it (and a default bound again under its old name keeps an id it no longer has), and
// that is the server's business, not the program's. A name that the program wrote, such as
// DF_BIENINVERSION_A9046FFCDA2014 or CambiarTipoDatos's DF__...__389C9811, is written as it is.
#pragma once

#include <filesystem>
#include <string>

#include "db/connection.h"

namespace test_support {

std::string DumpDatabase(db::Connection& connection);

// Every database but the system ones of the embedded engine's data directory `dataDirectory`,
// by name, each headed by "database <name>". Empty, with `error` set, when the directory
// cannot be opened or a database cannot be read.
std::string DumpDataDirectory(const std::filesystem::path& dataDirectory, std::string& error);

// The dump with the moments of today (dd/mm/yyyy hh:mm:ss of the current date) written as
// "<now>": GETDATE() defaults and the like, which two runs a second apart write differently.
std::string WithoutToday(const std::string& dump);

// Where two long texts part: the first differing lines (at most `limit`), with their numbers.
std::string DumpDifferences(const std::string& expected, const std::string& got,
                            const std::string& expectedLabel = "expected",
                            const std::string& gotLabel = "got", int limit = 15);

}  // namespace test_support
