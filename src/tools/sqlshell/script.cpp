#include "tools/sqlshell/script.h"

#include <cctype>

namespace tools {

namespace {

// "GO", "go 3", "  Go  -- done": the repeat count, or 0 when the line is not a separator.
int separatorCount(std::string_view line) {
    size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    if (i + 2 > line.size()) return 0;
    if (std::toupper(static_cast<unsigned char>(line[i])) != 'G' ||
        std::toupper(static_cast<unsigned char>(line[i + 1])) != 'O')
        return 0;
    i += 2;
    if (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '-') return 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    int count = 1;
    if (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) {
        count = 0;
        while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) {
            count = count * 10 + (line[i] - '0');
            if (count > 100000) return 0;
            ++i;
        }
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
    }
    if (i < line.size() && !(line[i] == '-' && i + 1 < line.size() && line[i + 1] == '-')) return 0;
    return count;
}

}  // namespace

std::vector<ScriptBatch> splitScript(std::string_view script) {
    if (script.substr(0, 3) == "\xEF\xBB\xBF") script.remove_prefix(3);
    std::vector<ScriptBatch> batches;
    ScriptBatch current;
    int lineNumber = 1;
    bool hasContent = false;
    size_t pos = 0;
    while (pos <= script.size()) {
        size_t end = script.find('\n', pos);
        bool last = end == std::string_view::npos;
        std::string_view line = script.substr(pos, last ? std::string_view::npos : end - pos);
        std::string_view bare = line;
        if (!bare.empty() && bare.back() == '\r') bare.remove_suffix(1);
        int count = separatorCount(bare);
        if (count > 0) {
            if (hasContent) {
                current.repeat = count;
                batches.push_back(std::move(current));
            }
            current = ScriptBatch();
            current.firstLine = lineNumber + 1;
            hasContent = false;
        } else {
            // Every line is sent, blank ones included, so that the server's line numbers
            // count from the batch's first line; a batch of blank lines alone is not sent.
            if (bare.find_first_not_of(" \t") != std::string_view::npos) hasContent = true;
            current.text.append(line);
            if (!last) current.text.push_back('\n');
        }
        if (last) break;
        pos = end + 1;
        ++lineNumber;
    }
    if (hasContent) batches.push_back(std::move(current));
    return batches;
}

}  // namespace tools
