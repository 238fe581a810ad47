// Reader of Jet (Access 97-2003) database files, the base-data file that ships beside
// the program, over mdbtools' libmdb. Read-only: the file is never written.
//
// readTable() gives every row of a table with its columns in file order and their types
// (the copy into SQL Server converts values by them), optionally only the rows that
// satisfy a Jet condition (db/jet/jet_condition.h). Values keep their kinds: Text and
// Memo as UTF-8 text, Yes/No as Boolean, Byte/Integer/Long as Integer, Single/Double as
// Double, Currency as Currency, Date/Time as DateTime, Decimal as Decimal, Replication ID
// as text, Binary as bytes; a zero-length text is not NULL.
// Every failure (no file, not a Jet file, no such table, a bad condition) is an error
// value with Jet's error number as its native number.
// Thread-compatible: one thread uses a JetFile at a time.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/error.h"
#include "db/recordset.h"

namespace db::jet {

class JetFile {
public:
    ~JetFile();
    JetFile(const JetFile&) = delete;
    JetFile& operator=(const JetFile&) = delete;

    static Status open(const std::filesystem::path& path, std::unique_ptr<JetFile>& out);

    const std::filesystem::path& path() const { return path_; }
    // Names of the user tables, in catalogue order.
    std::vector<std::string> tableNames() const;
    // The table's columns and rows; `condition` empty means every row. Table and column
    // names are found without regard to case.
    Status readTable(std::string_view table, std::string_view condition, RowSet& out);

private:
    struct Handle;
    JetFile(std::filesystem::path path, std::unique_ptr<Handle> handle);

    std::filesystem::path path_;
    std::unique_ptr<Handle> handle_;
};

// <program dir>/Include/Datos Base.MDB, each part of the path found without regard to
// letter case (include/, DATOS BASE.mdb ...), as a case-insensitive file system would.
std::optional<std::filesystem::path> findBaseDataFile(const std::filesystem::path& programDir);

}  // namespace db::jet
