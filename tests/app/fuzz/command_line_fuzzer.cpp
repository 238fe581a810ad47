// libFuzzer target: any command line is read without a fault, and both forms keep their
// promises: the plain form's parameters joined with commas give the line back, and the quoted
// form has one parameter more than the commas outside quotes, none longer than the line.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/command_line.h"
#include "run/update_log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);

    std::string again;
    bool first = true;
    for (const std::string& p : app::SplitPlainForm(line)) {
        if (!first) again.push_back(',');
        again += p;
        first = false;
    }
    if (again != line) __builtin_trap();

    size_t separators = 0;
    bool inside = false;
    for (char c : line) {
        if (c == '"') inside = !inside;
        else if (c == ',' && !inside) ++separators;
    }
    const auto quoted = app::SplitQuotedForm(line);
    if (quoted.size() != separators + 1) __builtin_trap();
    for (const std::string& p : quoted)
        if (p.size() > line.size()) __builtin_trap();

    static run::UpdateLog log("/dev/null", [] { return run::LocalDateTime{}; });
    if (auto parametros = app::ReadCommandLine(line, log)) {
        if (parametros->Servidor.find(':') != std::string::npos) __builtin_trap();
        if (parametros->SeguridadSQL != (parametros->Usuario != "NULL")) __builtin_trap();
    }
    return 0;
}
