// sqlshell: a sqlcmd-like front end to the embedded engine.
//
//   sqlshell -S <data directory> [-d <database>] (-Q "<query>" | -i <file> ...) [-b]
//
//   sqlshell -S <data directory> --check
//   sqlshell -S <data directory> --salvage <damaged database> <new database>
//
// -Q runs one batch; -i runs script files whose batches are separated by lines holding
// only GO; without either, batches are read from standard input. -b ends the run at the
// first batch that raised an error, with exit status 1. -U, -P and -E are accepted and
// ignored (there are no logins here).
//
// --check runs DBCC CHECKDB on every database of the directory (sys.databases), so that one
// command tells an operator which databases are damaged and where; exit status 1 when any
// is. The engine's statement serves clients over the wire as well; this is the sweep.
// --salvage copies what can still be read from a database's files into a new database,
// leaving the damaged one as it is: only ever on request, never on open.
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
    std::cerr
        << "usage: sqlshell -S <data directory> [-d <database>] [-Q \"query\" | -i file ...] "
           "[-b]\n"
           "       sqlshell -S <data directory> --check\n"
           "       sqlshell -S <data directory> --salvage <damaged database> <new database>\n";
}

}  // namespace

int main(int argc, char** argv) {
    std::string server, database, query;
    std::vector<std::string> inputs;
    bool stopOnError = false;
    bool createDirectory = false;
    bool check = false;
    std::string salvageFrom, salvageInto;
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
        } else if (a == "--check") {
            check = true;
        } else if (a == "--salvage") {
            if (i + 2 >= argc) {
                usage();
                return 2;
            }
            salvageFrom = argv[++i];
            salvageInto = argv[++i];
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
    if (!salvageFrom.empty()) {
        bool failed = false;
        for (const auto& m : engine::Session::salvage(server, salvageFrom, salvageInto)) {
            tools::writeMessage(m, std::cout);
            failed = failed || m.isError();
        }
        return failed ? 1 : 0;
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
    if (check) {
        engine::BatchResult names =
            session.execute("SELECT name FROM sys.databases ORDER BY database_id");
        if (names.hasErrors() || names.resultSets.empty()) {
            tools::writeBatchResult(names, std::cout);
            return 1;
        }
        bool damaged = false;
        for (const auto& row : names.resultSets[0].rows) {
            std::string name = row[0].bytes(), quoted;
            for (char c : name)
                quoted += c == ']' ? std::string("]]") : std::string(1, c);
            engine::BatchResult result = session.execute("DBCC CHECKDB ([" + quoted + "])");
            tools::writeBatchResult(result, std::cout);
            damaged = damaged || result.hasErrors();
        }
        std::cout.flush();
        return damaged ? 1 : 0;
    }

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
