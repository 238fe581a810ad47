#include "run/run_context.h"

#include <string>
#include <utility>

namespace run {

RunContext::RunContext(std::filesystem::path directory, Clock clock_function)
    : RunContext(directory, std::move(clock_function), directory / kLogFileName) {}

RunContext::RunContext(std::filesystem::path directory, Clock clock_function,
                       std::filesystem::path logFile)
    : programDirectory(std::move(directory)),
      clock(std::move(clock_function)),
      log(std::move(logFile), clock) {
    log.SetFailureHook([this](const std::filesystem::path& file, std::string_view reason) {
        AvisarOperador("no se puede escribir el log " + file.string() + " (" + std::string(reason) +
                       ")");
    });
}

void RunContext::AvisarOperador(std::string_view texto) const {
    if (!aviso_operador_ || avisados_.contains(texto)) return;
    avisados_.emplace(texto);
    aviso_operador_(texto);
}

}  // namespace run
