// What the program says on its standard streams when the command line was rejected: a short
// usage text on standard error, or the release on standard output when only --version was
// asked for. The log is written by the start-up as for any rejected line; this only adds the
// words a person at a terminal needs.
//
// Thread safety: reentrant.
#pragma once

#include <ostream>
#include <string_view>

namespace app {

// The command line that asks for the release: exactly "--version".
bool AsksForVersion(std::string_view command_line);

// The usage text written on standard error after a rejected command line.
std::string_view UsageText();

// After a rejected command line: the release (the executable's date as the run stamps it into
// the databases) on `out` for --version, with exit status 0; otherwise the usage text on
// `err` and `rejected_status`.
int ReportRejectedLine(std::string_view command_line, std::string_view release, int rejected_status,
                       std::ostream& out, std::ostream& err);

}  // namespace app
