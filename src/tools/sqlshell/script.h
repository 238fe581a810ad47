// Splitting of sqlcmd scripts into batches: a line holding only GO (any letter case,
// blanks around it, an optional repeat count and an optional "--" comment) ends a batch;
// GO is never sent to the server. Before that, a script is expanded as sqlcmd reads it: a
// line ":r FILE" is replaced by that file's lines (expanded in turn), and every $(name) by
// the value of that scripting variable. Thread-safe (pure functions; reading files goes
// through the caller's reader).
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tools {

struct ScriptBatch {
    std::string text;
    int repeat = 1;     // GO n runs the batch n times
    int firstLine = 1;  // line of the script where the batch starts
};

std::vector<ScriptBatch> splitScript(std::string_view script);

// Scripting variables: names compare without regard to letter case, as in sqlcmd.
struct CaseInsensitiveLess {
    bool operator()(const std::string& a, const std::string& b) const;
};
using ScriptVariables = std::map<std::string, std::string, CaseInsensitiveLess>;

// The text of a file named by :r; nullopt when it cannot be read.
using ScriptReader = std::function<std::optional<std::string>(const std::string& file)>;

struct ExpandedScript {
    std::string text;
    std::string error;  // sqlcmd's words for what stopped the expansion; empty when none
};

// `script` with its :r lines replaced by the files they name and every $(name) replaced by
// the variable's value (a value is not expanded again). A variable that is not defined, a
// file that cannot be read or :r nested deeper than 32 files stops the expansion with an
// error. A line ":r" may name its file between double quotes.
ExpandedScript expandScript(std::string_view script, const ScriptVariables& variables,
                            const ScriptReader& reader);

}  // namespace tools
