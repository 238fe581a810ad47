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

void writeResultSet(const engine::ResultSet& set, std::ostream& out, const OutputFormat& format) {
    std::vector<size_t> widths;
    for (const auto& c : set.columns)
        widths.push_back(format.trim ? engine::utf8Length(c.name) : columnWidth(c));
    auto cell = [&](const std::string& text, size_t i, bool right) {
        if (!format.trim) return pad(text, widths[i], right);
        return text.substr(0, text.find_last_not_of(' ') + 1);
    };
    auto emit = [&](std::string line) {
        if (format.trim) line.erase(line.find_last_not_of(' ') + 1);
        out << line << "\n";
    };
    auto headers = [&] {
        std::string line;
        for (size_t i = 0; i < set.columns.size(); ++i) {
            if (i) line += format.separator;
            line += cell(set.columns[i].name, i, false);
        }
        emit(line);
        line.clear();
        for (size_t i = 0; i < set.columns.size(); ++i) {
            if (i) line += format.separator;
            line += std::string(widths[i], '-');
        }
        emit(line);
    };
    if (format.headers >= 0) headers();
    size_t written = 0;
    for (const auto& row : set.rows) {
        if (format.headers > 0 && written > 0 && written % static_cast<size_t>(format.headers) == 0)
            headers();
        std::string line;
        for (size_t i = 0; i < row.size() && i < set.columns.size(); ++i) {
            if (i) line += format.separator;
            line += cell(engine::renderForShell(row[i]), i, rightAligned(set.columns[i].type.id));
        }
        emit(line);
        ++written;
    }
}

void writeBatchResult(const engine::BatchResult& result, std::ostream& out) {
    writeBatchResult(result, ShellStreams{out, out}, OutputFormat{});
}

void writeBatchResult(const engine::BatchResult& result, const ShellStreams& streams,
                      const OutputFormat& format) {
    for (const auto& event : result.events) {
        switch (event.kind) {
            case engine::BatchResult::Kind::Message: {
                const engine::SqlMessage& m = result.messages[event.index];
                writeMessage(m, streams.streamFor(m));
                break;
            }
            case engine::BatchResult::Kind::ResultSet:
                writeResultSet(result.resultSets[event.index], streams.out, format);
                break;
            case engine::BatchResult::Kind::RowCount: {
                int64_t n = result.rowCounts[event.index].rows;
                streams.out << "\n(" << n << (n == 1 ? " row affected)" : " rows affected)")
                            << "\n";
                break;
            }
        }
    }
}

}  // namespace tools
