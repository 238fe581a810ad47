// installation-dump DATADIR: writes every database of an embedded engine's data directory
// whole (tests/support/database_dump.h), with today's moments masked, for scripts that compare
// installations (the kill harness). Exit status 1 when something could not be read.
#include <iostream>

#include "support/database_dump.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: installation-dump DATADIR\n";
        return 2;
    }
    std::string error;
    const std::string dump = test_support::DumpDataDirectory(argv[1], error);
    if (!error.empty()) {
        std::cerr << "installation-dump: " << error << "\n";
        return 1;
    }
    std::cout << test_support::WithoutToday(dump);
    return 0;
}
