#include "tools/sqlshell/shell_output.h"

#include <algorithm>

#include "engine/types/render.h"
#include "engine/types/text.h"

namespace tools {

using engine::DataType;
using engine::TypeId;

namespace {

constexpr size_t kLargeWidth = 256;

bool rightAligned(TypeId id) {
    return engine::isNumeric(id);
}

size_t typeWidth(const DataType& t) {
    switch (t.id) {
        case TypeId::Bit:
            return 1;
        case TypeId::TinyInt:
            return 3;
        case TypeId::SmallInt:
            return 6;
        case TypeId::Int:
            return 11;
        case TypeId::BigInt:
            return 20;
        case TypeId::Decimal:
        case TypeId::Numeric:
            return static_cast<size_t>(t.precision) + 2;
        case TypeId::Money:
            return 21;
        case TypeId::SmallMoney:
            return 12;
        case TypeId::Float:
            return 24;
        case TypeId::Real:
            return 14;
        case TypeId::DateTime:
            return 23;
        case TypeId::SmallDateTime:
            return 19;
        case TypeId::Date:
            return 10;
        case TypeId::UniqueIdentifier:
            return 36;
        case TypeId::Char:
        case TypeId::VarChar:
        case TypeId::NChar:
        case TypeId::NVarChar:
            return t.isMax() || t.length <= 0
                       ? kLargeWidth
                       : std::min<size_t>(static_cast<size_t>(t.length), 8000);
        case TypeId::Binary:
        case TypeId::VarBinary:
            return t.isMax() || t.length <= 0 ? kLargeWidth : 2 + 2 * static_cast<size_t>(t.length);
        default:
            return kLargeWidth;
    }
}

std::string pad(const std::string& text, size_t width, bool right) {
    size_t length = engine::utf8Length(text);
    if (length > width) return std::string(engine::utf8Prefix(text, width));
    std::string blanks(width - length, ' ');
    return right ? blanks + text : text + blanks;
}

}  // namespace

size_t columnWidth(const engine::ResultColumn& column) {
    size_t width = std::max(typeWidth(column.type), engine::utf8Length(column.name));
    // A column that may hold NULL is wide enough to show it.
    if (column.nullable) width = std::max<size_t>(width, 4);
    return width;
}

void writeMessage(const engine::SqlMessage& m, std::ostream& out) {
    if (m.isError()) {
        out << "Msg " << m.number << ", Level " << m.severity << ", State " << m.state;
        if (!m.procedure.empty()) out << ", Procedure " << m.procedure;
        out << ", Line " << m.line << "\n";
    }
    out << m.text << "\n";
}

void writeResultSet(const engine::ResultSet& set, std::ostream& out) {
    std::vector<size_t> widths;
    for (const auto& c : set.columns)
        widths.push_back(columnWidth(c));
    std::string line;
    for (size_t i = 0; i < set.columns.size(); ++i) {
        if (i) line += " ";
        line += pad(set.columns[i].name, widths[i], false);
    }
    out << line << "\n";
    line.clear();
    for (size_t i = 0; i < set.columns.size(); ++i) {
        if (i) line += " ";
        line += std::string(widths[i], '-');
    }
    out << line << "\n";
    for (const auto& row : set.rows) {
        line.clear();
        for (size_t i = 0; i < row.size() && i < set.columns.size(); ++i) {
            if (i) line += " ";
            line += pad(engine::renderForShell(row[i]), widths[i],
                        rightAligned(set.columns[i].type.id));
        }
        out << line << "\n";
    }
}

void writeBatchResult(const engine::BatchResult& result, std::ostream& out) {
    for (const auto& event : result.events) {
        switch (event.kind) {
            case engine::BatchResult::Kind::Message:
                writeMessage(result.messages[event.index], out);
                break;
            case engine::BatchResult::Kind::ResultSet:
                writeResultSet(result.resultSets[event.index], out);
                break;
            case engine::BatchResult::Kind::RowCount: {
                int64_t n = result.rowCounts[event.index].rows;
                out << "\n(" << n << (n == 1 ? " row affected)" : " rows affected)") << "\n";
                break;
            }
        }
    }
}

}  // namespace tools
