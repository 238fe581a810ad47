// sqlshell: a sqlcmd-like front end to the embedded engine.
//
//   sqlshell -S <data directory> [-d <database>] (-Q "<query>" | -i <file> ...) [-b]
//
// -Q runs one batch; -i runs script files whose batches are separated by lines holding
// only GO; without either, batches are read from standard input. -b ends the run at the
// first batch that raised an error, with exit status 1. -U, -P and -E are accepted and
// ignored (there are no logins here).
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/session.h"
#include "tools/sqlshell/script.h"
#include "tools/sqlshell/shell_output.h"

namespace {

void usage() {
    std::cerr << "usage: sqlshell -S <data directory> [-d <database>] [-Q \"query\" | -i file ...] "
                 "[-b]\n";
}

}  // namespace

int main(int argc, char** argv) {
    std::string server, database, query;
    std::vector<std::string> inputs;
    bool stopOnError = false;
    bool createDirectory = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (a.size() > 2) return a.substr(2);
            if (i + 1 >= argc) {
                usage();
                std::exit(2);
            }
            return argv[++i];
        };
        if (a.rfind("-S", 0) == 0) {
            server = value();
        } else if (a.rfind("-d", 0) == 0) {
            database = value();
        } else if (a.rfind("-Q", 0) == 0 || a.rfind("-q", 0) == 0) {
            query = value();
        } else if (a.rfind("-i", 0) == 0) {
            inputs.push_back(value());
        } else if (a == "-b") {
            stopOnError = true;
        } else if (a == "--create") {
            createDirectory = true;
        } else if (a.rfind("-U", 0) == 0 || a.rfind("-P", 0) == 0) {
            value();
        } else if (a == "-E" || a == "-I") {
        } else {
            usage();
            return 2;
        }
    }
    if (server.empty()) {
        usage();
        return 2;
    }
    engine::SessionOptions options;
    options.createDataDirectory = createDirectory;
    auto opened = engine::Session::open(server, database, options);
    if (!opened.session) {
        for (const auto& m : opened.messages)
            tools::writeMessage(m, std::cout);
        return 1;
    }
    engine::Session& session = *opened.session;

    std::vector<tools::ScriptBatch> batches;
    if (!query.empty()) {
        tools::ScriptBatch b;
        b.text = query;
        batches.push_back(b);
    } else if (!inputs.empty()) {
        for (const auto& file : inputs) {
            std::ifstream in(file, std::ios::binary);
            if (!in) {
                std::cout << "Sqlcmd: '" << file << "': Invalid filename.\n";
                return 1;
            }
            std::stringstream text;
            text << in.rdbuf();
            for (auto& b : tools::splitScript(text.str()))
                batches.push_back(std::move(b));
        }
    } else {
        std::stringstream text;
        text << std::cin.rdbuf();
        batches = tools::splitScript(text.str());
    }

    bool failed = false;
    for (const auto& batch : batches) {
        for (int n = 0; n < batch.repeat; ++n) {
            engine::BatchResult result = session.execute(batch.text);
            tools::writeBatchResult(result, std::cout);
            if (result.hasErrors()) {
                failed = true;
                if (stopOnError) {
                    std::cout.flush();
                    return 1;
                }
            }
        }
    }
    std::cout.flush();
    return stopOnError && failed ? 1 : 0;
}
