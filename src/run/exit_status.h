// The process exit status of the program, one value per way a run can end. Support scripts and
// the suite's other programs read it; the README lists the values.
//
// Thread safety: constants only.
#pragma once

namespace run {

enum class ExitStatus : int {
    kWithoutIncidents = 0,     // the run ended and wrote no error entry
    kWithIncidents = 1,        // the run ended after at least one error entry
    kRejectedCommandLine = 2,  // the command line was empty or had too few parameters
    kServerUnreachable = 3,    // the company listing could not connect; nothing was changed
    kAbandoned = 4,            // the user confirmed closing a single-company run
};

constexpr int ToInt(ExitStatus status) {
    return static_cast<int>(status);
}

}  // namespace run
