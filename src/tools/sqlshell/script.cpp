#include "tools/sqlshell/script.h"

#include <algorithm>
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

bool CaseInsensitiveLess::operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) <
               std::tolower(static_cast<unsigned char>(y));
    });
}

namespace {

constexpr int kMaxIncludeDepth = 32;

// The file of a ":r FILE" line (blanks around, optional quotes), or nullopt when the line is
// not one.
std::optional<std::string> includedFile(std::string_view line) {
    size_t i = line.find_first_not_of(" \t");
    if (i == std::string_view::npos || line.substr(i, 2) != ":r" || i + 2 >= line.size() ||
        (line[i + 2] != ' ' && line[i + 2] != '\t'))
        return std::nullopt;
    std::string_view rest = line.substr(i + 3);
    rest.remove_prefix(std::min(rest.find_first_not_of(" \t"), rest.size()));
    rest.remove_suffix(rest.size() - (rest.find_last_not_of(" \t") + 1));
    if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"')
        rest = rest.substr(1, rest.size() - 2);
    return std::string(rest);
}

// $(name) replaced in one line; false (with `error`) for an undefined variable.
bool substitute(std::string_view line, const ScriptVariables& variables, std::string& out,
                std::string& error) {
    size_t pos = 0;
    while (pos < line.size()) {
        size_t start = line.find("$(", pos);
        size_t end = start == std::string_view::npos ? start : line.find(')', start + 2);
        if (end == std::string_view::npos) {
            out.append(line.substr(pos));
            break;
        }
        out.append(line.substr(pos, start - pos));
        std::string name(line.substr(start + 2, end - start - 2));
        auto found = variables.find(name);
        if (found == variables.end()) {
            error = "'" + name + "' scripting variable not defined.";
            return false;
        }
        out.append(found->second);
        pos = end + 1;
    }
    return true;
}

bool expandInto(std::string_view script, const ScriptVariables& variables,
                const ScriptReader& reader, int depth, std::string& out, std::string& error) {
    if (script.substr(0, 3) == "\xEF\xBB\xBF") script.remove_prefix(3);
    size_t pos = 0;
    while (pos < script.size()) {
        size_t end = script.find('\n', pos);
        std::string_view line =
            script.substr(pos, end == std::string_view::npos ? end : end - pos + 1);
        pos = end == std::string_view::npos ? script.size() : end + 1;
        std::string_view bare = line;
        while (!bare.empty() && (bare.back() == '\n' || bare.back() == '\r'))
            bare.remove_suffix(1);
        std::string substituted;
        if (!substitute(bare, variables, substituted, error)) return false;
        if (auto file = includedFile(substituted)) {
            if (depth >= kMaxIncludeDepth) {
                error = "Sqlcmd: '" + *file + "': :r nested too deeply.";
                return false;
            }
            std::optional<std::string> text = reader(*file);
            if (!text) {
                error = "Sqlcmd: '" + *file + "': Invalid filename.";
                return false;
            }
            if (!expandInto(*text, variables, reader, depth + 1, out, error)) return false;
            if (!out.empty() && out.back() != '\n') out.push_back('\n');
            continue;
        }
        out.append(substituted);
        out.append(line.substr(bare.size()));
    }
    return true;
}

}  // namespace

ExpandedScript expandScript(std::string_view script, const ScriptVariables& variables,
                            const ScriptReader& reader) {
    ExpandedScript result;
    if (!expandInto(script, variables, reader, 0, result.text, result.error)) result.text.clear();
    return result;
}

}  // namespace tools
