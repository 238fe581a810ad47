#include "support/database_dump.h"

#include <algorithm>

#include "support/embedded_server.h"

namespace test_support {

namespace {

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

}  // namespace

std::string DumpDatabase(db::Connection& c) {
    std::string out;
    const auto objects = EmbeddedServer::Filas(
        c, "SELECT name, xtype FROM sysobjects WHERE xtype IN ('U', 'V') ORDER BY name");
    for (const auto& object : objects) {
        const std::string& name = object[0];
        const std::string id = "OBJECT_ID(" + literal(quoted(name)) + ")";
        out += (object[1] == "V" ? "view " : "table ") + name + "\n";
        if (object[1] == "V") {
            for (const auto& row : EmbeddedServer::Filas(c, "SELECT text FROM syscomments WHERE id = " + id))
                out += "  definition " + row[0] + "\n";
            continue;
        }
        for (const auto& row : EmbeddedServer::Filas(
                 c, "SELECT c.name, c.xtype, c.length, c.prec, c.scale, c.isnullable, "
                    "ISNULL(OBJECT_NAME(c.cdefault), ''), ISNULL(d.text, '') "
                    "FROM syscolumns c LEFT JOIN syscomments d ON d.id = c.cdefault "
                    "WHERE c.id = " + id + " ORDER BY c.colid"))
            out += "  column " + joined(row) + "\n";
        for (const auto& row : EmbeddedServer::Filas(c, "EXEC sp_helpindex " + literal(quoted(name))))
            out += "  index " + joined(row) + "\n";
        std::vector<std::string> rows;
        for (const auto& row : EmbeddedServer::Filas(c, "SELECT * FROM " + quoted(name)))
            rows.push_back(joined(row));
        std::sort(rows.begin(), rows.end());
        for (const auto& row : rows)
            out += "  row " + row + "\n";
    }
    return out;
}

}  // namespace test_support
