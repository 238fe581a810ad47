// Splitting of sqlcmd scripts into batches: a line holding only GO (any letter case,
// blanks around it, an optional repeat count and an optional "--" comment) ends a batch;
// GO is never sent to the server. Thread-safe (pure functions).
#pragma once

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

}  // namespace tools
