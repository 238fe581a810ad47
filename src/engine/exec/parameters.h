// Parameterised batches, as sp_executesql runs them: a parameter list declared in text
// ("@id int, @name varchar(40) OUTPUT"), values bound by name or by position, the batch run
// with the parameters as its variables, and output parameters read back afterwards.
// Used by EXEC sp_executesql and by Session::executeSql (an RPC from a network client).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/exec/context.h"

namespace engine::exec {

struct DeclaredParameter {
    std::string name;  // "@id"
    DataType type;
    bool output = false;
};

// Parses a parameter list; raises the parser's error when it is not one.
std::vector<DeclaredParameter> parseParameterDeclarations(std::string_view text);

using engine::ParameterArgument;

// Runs `statement` in a nested batch of ctx with the declared parameters bound to the
// arguments (8178 for a parameter without a value, 8145 for an argument that names no
// parameter). The values of output parameters are written back into their arguments,
// typed as declared.
void runParameterized(ExecContext& ctx, std::string_view statement, std::string_view declarations,
                      std::vector<ParameterArgument>& arguments);

}  // namespace engine::exec
