// The base-data file as a read-only Connection, so that its readers use it as they use
// any connection: open a record set on "SELECT * FROM <table> [WHERE <condition>]" (or a
// list of columns instead of *), walk it, read fields by name with their types.
// Executing statements and writing rows are refused: the file is never written.
// Thread-compatible.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/connection.h"

namespace db::jet {

// Opens <program dir>/Include/Datos Base.MDB (letter case of each part ignored). Always
// returns a connection; when the file is missing or is not a Jet file it is closed with
// that error pending.
std::unique_ptr<Connection> openBaseDataFile(const std::filesystem::path& programDir);
// Opens a given Jet file the same way.
std::unique_ptr<Connection> openJetFile(const std::filesystem::path& file);

// The parts of a "SELECT <columns> FROM <table> [WHERE <condition>]" statement; empty
// columns mean *. nullopt for anything else.
struct JetSelect {
    std::vector<std::string> columns;
    std::string table;
    std::string condition;
};
std::optional<JetSelect> parseJetSelect(std::string_view sql);

}  // namespace db::jet
