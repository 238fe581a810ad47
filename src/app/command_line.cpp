#include "app/command_line.h"

#include <algorithm>

namespace app {
namespace {

constexpr char kQuote = '"';

// One parameter of the quoted form, as found between separating commas. `last`: the line ends
// with it.
std::string TakeQuotedParameter(std::string_view raw, bool last = false) {
    if (last && !raw.empty() && raw.front() == kQuote &&
        raw.find(kQuote, 1) == std::string_view::npos) {
        // No closing quote to drop: only the opening one goes, the last character stays.
        raw.remove_prefix(1);
        return std::string(raw);
    }
    if (!raw.empty() && raw.front() == kQuote) {
        // A quoted parameter ends with its closing quote just before the separator; that
        // character is dropped whatever it is, so that blanks after the closing quote vanish
        // with it, then the enclosing quotes are removed.
        raw.remove_suffix(1);
        if (!raw.empty() && raw.front() == kQuote) raw.remove_prefix(1);
    }
    // A parameter written without quotes has no closing quote to drop: it is taken whole.
    if (!raw.empty() && raw.back() == kQuote) raw.remove_suffix(1);
    return std::string(raw);
}

std::string WithoutQuotes(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), kQuote), text.end());
    return text;
}

std::string ParameterOrEmpty(const std::vector<std::string>& parameters, size_t index) {
    return index < parameters.size() ? parameters[index] : std::string();
}

}  // namespace

std::string JoinArguments(int argc, const char* const* argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line.push_back(' ');
        line.append(argv[i]);
    }
    return line;
}

std::vector<std::string> SplitPlainForm(std::string_view line) {
    std::vector<std::string> parameters;
    size_t start = 0;
    for (size_t comma = line.find(','); comma != std::string_view::npos;
         comma = line.find(',', start)) {
        parameters.emplace_back(line.substr(start, comma - start));
        start = comma + 1;
    }
    parameters.emplace_back(line.substr(start));
    return parameters;
}

std::vector<std::string> SplitQuotedForm(std::string_view line) {
    std::vector<std::string> parameters;
    bool inside_quotes = false;
    size_t start = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == kQuote) {
            inside_quotes = !inside_quotes;
        } else if (line[i] == ',' && !inside_quotes) {
            parameters.push_back(TakeQuotedParameter(line.substr(start, i - start)));
            start = i + 1;
        }
    }
    parameters.push_back(TakeQuotedParameter(line.substr(start), true));
    return parameters;
}

std::optional<run::ParametrosEjecucion> ReadCommandLine(std::string_view line,
                                                        run::UpdateLog& log) {
    if (line.empty()) {
        log.EscribirLog("Load", kMensajeLineaVacia, "", run::kNivelError);
        return std::nullopt;
    }
    bool quoted = line.front() == kQuote;
    std::vector<std::string> parameters = quoted ? SplitQuotedForm(line) : SplitPlainForm(line);
    if (!quoted && parameters.size() < 3) {
        log.EscribirLog("Load", kMensajeParametrosIncorrectos, "", run::kNivelError);
        return std::nullopt;
    }

    run::ParametrosEjecucion parametros;
    parametros.Usuario = ParameterOrEmpty(parameters, 0);
    parametros.Clave = ParameterOrEmpty(parameters, 1);
    parametros.Servidor = ParameterOrEmpty(parameters, 2);
    std::replace(parametros.Servidor.begin(), parametros.Servidor.end(), ':', ',');
    parametros.SeguridadSQL = parametros.Usuario != "NULL";
    std::string selector = ParameterOrEmpty(parameters, 3);
    parametros.EmpresaSolicitada = quoted ? WithoutQuotes(std::move(selector)) : selector;
    return parametros;
}

}  // namespace app
