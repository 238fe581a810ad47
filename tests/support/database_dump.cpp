#include "support/database_dump.h"

#include <algorithm>
#include <ctime>
#include <regex>
#include <sstream>
#include <vector>

#include "db/connect.h"

namespace test_support {

namespace {

using Rows = std::vector<std::vector<std::string>>;

// The rows of `sql` as text (NULL as "NULL"); sets `error` when the query is refused.
Rows Read(db::Connection& c, const std::string& sql, std::string& error) {
    Rows rows;
    c.clearError();
    auto rs = c.openRecordset(sql, db::CursorType::Static, db::LockType::ReadOnly);
    if (!rs) {
        if (error.empty()) error = sql + "\n -> " + c.lastError().description;
        return rows;
    }
    while (!rs->eof()) {
        std::vector<std::string> row;
        for (size_t i = 0; i < rs->fieldCount(); ++i) {
            const db::Variant v = rs->value(i);
            row.push_back(v.isNull() ? "NULL" : v.toText());
        }
        rows.push_back(std::move(row));
        if (!rs->moveNext().ok()) break;
    }
    rs->close();
    return rows;
}

std::string joined(const std::vector<std::string>& cells) {
    std::string out;
    for (size_t i = 0; i < cells.size(); ++i)
        out += (i ? "\t" : "") + cells[i];
    return out;
}

std::string quoted(const std::string& name) {
    std::string out = "[";
    for (char c : name) {
        out += c;
        if (c == ']') out += ']';
    }
    return out + "]";
}

std::string literal(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

// A default name in the server's own form, DF__<table, 9 characters>__<column, 5>__<8 hex
// digits>, becomes DF__<table>__<column>__<id>. CambiarTipoDatos's names, which end in the
// program's own 389C9811, stay as they are.
std::string WithoutGeneratedId(const std::string& name, const std::string& table,
                               const std::string& column) {
    const std::string prefix = "DF__" + table.substr(0, 9) + "__" + column.substr(0, 5) + "__";
    if (name.size() != prefix.size() + 8 || name.compare(0, prefix.size(), prefix) != 0)
        return name;
    const std::string id = name.substr(prefix.size());
    if (id == "389C9811" || id.find_first_not_of("0123456789ABCDEF") != std::string::npos)
        return name;
    return prefix + "<id>";
}

std::string Dump(db::Connection& c, std::string& error) {
    std::string out;
    const Rows objects =
        Read(c, "SELECT name, xtype FROM sysobjects WHERE xtype IN ('U', 'V') ORDER BY name", error);
    for (const auto& object : objects) {
        const std::string& name = object[0];
        const std::string id = "OBJECT_ID(" + literal(quoted(name)) + ")";
        out += (object[1] == "V" ? "view " : "table ") + name + "\n";
        if (object[1] == "V") {
            for (const auto& row : Read(c, "SELECT text FROM syscomments WHERE id = " + id, error))
                out += "  definition " + row[0] + "\n";
            continue;
        }
        for (auto row : Read(c,
                             "SELECT c.name, c.xtype, c.length, c.prec, c.scale, c.isnullable, "
                             "ISNULL(OBJECT_NAME(c.cdefault), ''), ISNULL(d.text, '') "
                             "FROM syscolumns c LEFT JOIN syscomments d ON d.id = c.cdefault "
                             "WHERE c.id = " + id + " ORDER BY c.colid",
                             error)) {
            if (!row[6].empty()) row[6] = WithoutGeneratedId(row[6], name, row[0]);
            out += "  column " + joined(row) + "\n";
        }
        for (const auto& row : Read(c, "EXEC sp_helpindex " + literal(quoted(name)), error))
            out += "  index " + joined(row) + "\n";
        std::vector<std::string> rows;
        for (const auto& row : Read(c, "SELECT * FROM " + quoted(name), error))
            rows.push_back(joined(row));
        std::sort(rows.begin(), rows.end());
        for (const auto& row : rows)
            out += "  row " + row + "\n";
    }
    return out;
}

std::unique_ptr<db::Connection> Connect(const std::filesystem::path& dir, const std::string& db) {
    db::ConnectionSettings settings;
    settings.server = dir.string();
    settings.database = db;
    settings.integratedSecurity = true;
    return db::connect(settings);
}

}  // namespace

std::string DumpDatabase(db::Connection& c) {
    std::string error;
    std::string out = Dump(c, error);
    return error.empty() ? out : out + "error " + error + "\n";
}

std::string DumpDataDirectory(const std::filesystem::path& dataDirectory, std::string& error) {
    std::unique_ptr<db::Connection> master = Connect(dataDirectory, "");
    if (!master->isOpen()) {
        error = "cannot open " + dataDirectory.string() + ": " + master->lastError().description;
        return {};
    }
    const Rows names =
        Read(*master, "SELECT name FROM sysdatabases WHERE dbid > 4 ORDER BY name", error);
    master->close();
    std::string out;
    for (const auto& row : names) {
        std::unique_ptr<db::Connection> connection = Connect(dataDirectory, row[0]);
        if (!connection->isOpen()) {
            error = "cannot open database " + row[0] + ": " + connection->lastError().description;
            return {};
        }
        out += "database " + row[0] + "\n" + Dump(*connection, error);
        connection->close();
        if (!error.empty()) return {};
    }
    return out;
}

std::string WithoutToday(const std::string& dump) {
    const std::time_t now = std::time(nullptr);
    char today[16];
    std::strftime(today, sizeof today, "%d/%m/%Y", std::localtime(&now));
    return std::regex_replace(dump, std::regex(std::string(today) + R"( \d\d:\d\d:\d\d)"), "<now>");
}

std::string DumpDifferences(const std::string& expected, const std::string& got,
                            const std::string& expectedLabel, const std::string& gotLabel,
                            int limit) {
    auto lines = [](const std::string& text) {
        std::vector<std::string> out;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            out.push_back(line);
        return out;
    };
    const auto a = lines(expected), b = lines(got);
    const size_t width = std::max(expectedLabel.size(), gotLabel.size());
    auto label = [&](const std::string& l) { return l + ":" + std::string(width - l.size() + 1, ' '); };
    std::string out;
    int shown = 0;
    for (size_t i = 0; i < std::max(a.size(), b.size()) && shown < limit; ++i) {
        const std::string x = i < a.size() ? a[i] : "<none>", y = i < b.size() ? b[i] : "<none>";
        if (x == y) continue;
        out += "line " + std::to_string(i + 1) + "\n  " + label(expectedLabel) + x + "\n  " +
               label(gotLabel) + y + "\n";
        ++shown;
    }
    return out;
}

}  // namespace test_support
