// store_bench: what one large database costs the durable store: opening it (snapshot read
// and journal replay), the memory it then holds, and writing its snapshot again (a fold,
// which a statement or a closing session waits for).
//
//   store_bench <data directory> <database>
//
// Run it on a copy of a benchmark installation (bench/make-installation): the fold rewrites
// the database's snapshot.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "engine/server.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A line of /proc/self/status in MiB ("VmRSS:", "VmHWM:").
double statusMiB(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0) return std::stod(line.substr(key.size())) / 1024.0;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: store_bench <data directory> <database>\n";
        return 2;
    }
    std::string error;
    auto start = Clock::now();
    auto server = engine::Server::acquire(argv[1], false, std::chrono::milliseconds(2000), error);
    if (!server) {
        std::cerr << "store_bench: " << error << "\n";
        return 1;
    }
    engine::CallLock guard(*server, nullptr);
    const double scan = seconds(start);
    start = Clock::now();
    engine::DatabaseEntry* entry = server->database(argv[2], error);
    if (!entry) {
        std::cerr << "store_bench: " << (error.empty() ? "no such database" : error) << "\n";
        return 1;
    }
    const double open = seconds(start);
    size_t rows = 0;
    size_t tableBytes = 0;
    for (const auto& [id, table] : entry->database->tables()) {
        rows += table->data().rowCount();
        tableBytes += table->memoryBytes();
    }
    const double resident = statusMiB("VmRSS:");
    start = Clock::now();
    if (auto e = entry->store->fold(*entry->database)) {
        std::cerr << "store_bench: " << *e << "\n";
        return 1;
    }
    const double fold = seconds(start);
    std::printf("| directory scan (every database's header) | %.3f s |\n", scan);
    std::printf("| open %s (%zu tables, %zu rows) | %.3f s |\n", argv[2],
                entry->database->tables().size(), rows, open);
    std::printf("| resident memory after opening | %.0f MiB (tables: %.0f MiB) |\n", resident,
                static_cast<double>(tableBytes) / (1 << 20));
    std::printf("| fold (snapshot of %.0f MiB written) | %.3f s |\n",
                static_cast<double>(entry->store->snapshotBytes()) / (1 << 20), fold);
    std::printf("| peak resident memory | %.0f MiB |\n", statusMiB("VmHWM:"));
    return 0;
}
