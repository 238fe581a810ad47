// Reading the command line into the run parameters.
//
// The command line is the text after the program's name; on this platform the arguments are
// joined with single blanks. Two forms are told apart by the first character:
//  - plain (anything but a double quote): split at every comma, no quoting, at least three
//    parameters: USER,PASSWORD,SERVER[,SELECTOR];
//  - quoted (a double quote): "USER","PASSWORD","SERVER"[,"SELECTOR"]; commas inside quotes
//    belong to the parameter; the number of parameters is not checked (a missing one stays
//    empty, and the first connection then fails).
// Parameters after the fourth are ignored. A colon in the server becomes a comma (host,port).
//
// Thread safety: reentrant.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "run/parametros_ejecucion.h"
#include "run/update_log.h"

namespace app {

inline constexpr char kMensajeLineaVacia[] = "Incorrecta forma de ejecutar la aplicación";
inline constexpr char kMensajeParametrosIncorrectos[] = "Parametros Incorrectos";

// argv[1..argc-1] joined with single blanks.
std::string JoinArguments(int argc, const char* const* argv);

// The parameters of a plain line, split at every comma, exactly as written.
std::vector<std::string> SplitPlainForm(std::string_view line);

// The parameters of a quoted line, each without its enclosing double quotes. A parameter
// written without quotes is taken whole, and so is the last one when the line ends inside its
// quotes (only its opening quote goes).
std::vector<std::string> SplitQuotedForm(std::string_view line);

// Reads and validates `line`. A rejected line (empty, or a plain line of fewer than three
// parameters) is reported in the log with procedure "Load" and yields nothing.
std::optional<run::ParametrosEjecucion> ReadCommandLine(std::string_view line, run::UpdateLog& log);

}  // namespace app
