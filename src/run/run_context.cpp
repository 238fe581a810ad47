#include "run/run_context.h"

#include <utility>

namespace run {

RunContext::RunContext(std::filesystem::path directory, Clock clock_function)
    : programDirectory(std::move(directory)),
      clock(std::move(clock_function)),
      log(programDirectory / kLogFileName, clock) {}

}  // namespace run
