// sqlshell: a sqlcmd-like shell over the embedded engine's data directories and, through
// ODBC, over any TDS server. The command line is described in tools/sqlshell/options.h
// and in sqlshell(1).
//
// --check runs DBCC CHECKDB on every database of the server (sys.databases), so that one
// command tells an operator which databases are damaged and where; exit status 1 when any
// is. --salvage copies what can still be read from a database's files into a new database,
// leaving the damaged one as it is: only ever on request, never on open.
//
// -Q runs one batch; -i runs script files whose batches are separated by lines holding
// only GO; without either, batches are read from standard input. Scripts are expanded
// first (:r FILE, $(name) from -v or the environment). -b ends the run at the first batch
// that raised an error, with exit status 1.
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "db/odbc/odbc_batch.h"
#include "db/odbc/odbc_support.h"
#include "engine/allocator_tuning.h"
#include "engine/session.h"
#include "tools/sqlshell/options.h"
#include "tools/sqlshell/script.h"
#include "tools/sqlshell/shell_output.h"

extern char** environ;

namespace {

int usage(const std::string& problem) {
    if (!problem.empty()) std::cerr << "sqlshell: " << problem << "\n";
    std::cerr
        << "usage: sqlshell -S SERVER [-d DB] [-U LOGIN [-P PASSWORD] | -E] [-Q \"query\" | -i "
           "file ...]\n"
           "                [-b] [-e] [-r[0|1]] [-h N] [-s SEP] [-W] [-o FILE] [-v NAME=VALUE "
           "...]\n"
           "                [--create]\n"
           "       sqlshell -S SERVER --check\n"
           "       sqlshell -S DIRECTORY --salvage DAMAGED_DATABASE NEW_DATABASE\n"
           "  SERVER: a data directory (a path holding '/'), or host[,port] of a TDS server\n";
    return 2;
}

std::optional<std::string> readFile(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The environment, then -v: the scripting variables of the run.
tools::ScriptVariables scriptVariables(const tools::ShellOptions& options) {
    tools::ScriptVariables variables;
    for (char** e = environ; e && *e; ++e) {
        std::string entry = *e;
        const size_t equals = entry.find('=');
        if (equals != std::string::npos && equals > 0)
            variables.emplace(entry.substr(0, equals), entry.substr(equals + 1));
    }
    for (const auto& [name, value] : options.variables)
        variables[name] = value;
    return variables;
}

using Executor = std::function<engine::BatchResult(std::string_view)>;

}  // namespace

int main(int argc, char** argv) {
    engine::tuneAllocator(argv);
    tools::ParsedOptions parsed =
        tools::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.options) return usage(parsed.problem);
    const tools::ShellOptions& options = *parsed.options;

    std::ofstream file;
    if (!options.outputFile.empty()) {
        file.open(options.outputFile, std::ios::binary | std::ios::trunc);
        if (!file) {
            std::cerr << "Sqlcmd: '" << options.outputFile << "': Invalid filename.\n";
            return 1;
        }
    }
    std::ostream& out = options.outputFile.empty() ? std::cout : file;
    const tools::ShellStreams streams{out, std::cerr, options.messages};

    if (!options.salvageFrom.empty()) {
        if (!tools::isDataDirectory(options)) return usage("--salvage works on a data directory");
        bool failed = false;
        for (const auto& m :
             engine::Session::salvage(options.server, options.salvageFrom, options.salvageInto)) {
            tools::writeMessage(m, streams.streamFor(m));
            failed = failed || m.isError();
        }
        return failed ? 1 : 0;
    }

    // The scripts, expanded, before anything is connected.
    std::vector<std::string> texts;
    if (options.check) {
    } else if (!options.query.empty()) {
        texts.push_back(options.query);
    } else if (!options.inputs.empty()) {
        for (const auto& input : options.inputs) {
            std::optional<std::string> text = readFile(input);
            if (!text) {
                out << "Sqlcmd: '" << input << "': Invalid filename.\n";
                return 1;
            }
            texts.push_back(std::move(*text));
        }
    } else {
        std::stringstream text;
        text << std::cin.rdbuf();
        texts.push_back(text.str());
    }
    const tools::ScriptVariables variables = scriptVariables(options);
    std::vector<tools::ScriptBatch> batches;
    for (const auto& text : texts) {
        tools::ExpandedScript expanded = tools::expandScript(text, variables, readFile);
        if (!expanded.error.empty()) {
            std::cerr << expanded.error << "\n";
            return 1;
        }
        if (!options.query.empty()) {
            batches.push_back(tools::ScriptBatch{expanded.text, 1, 1});
        } else {
            for (auto& b : tools::splitScript(expanded.text))
                batches.push_back(std::move(b));
        }
    }

    std::unique_ptr<engine::Session> session;
    std::unique_ptr<db::odbc::BatchSession> remote;
    Executor execute;
    if (tools::isDataDirectory(options)) {
        engine::SessionOptions sessionOptions;
        sessionOptions.createDataDirectory = options.createDirectory;
        auto opened = engine::Session::open(options.server, options.database, sessionOptions);
        if (!opened.session) {
            for (const auto& m : opened.messages)
                tools::writeMessage(m, streams.streamFor(m));
            return 1;
        }
        session = std::move(opened.session);
        execute = [&](std::string_view sql) { return session->execute(sql); };
    } else {
        db::ConnectionSettings settings;
        settings.server = tools::tdsServerAddress(options.server);
        settings.database = options.database;
        settings.user = options.login;
        const char* envPassword = std::getenv("SQLCMDPASSWORD");
        settings.password = options.password ? *options.password : envPassword ? envPassword : "";
        settings.integratedSecurity = options.login.empty();
        settings.loginTimeoutSeconds = 8;
        std::vector<db::Error> errors;
        const std::string driver = db::odbc::chooseDriver(db::odbc::installedDrivers(),
                                                          std::getenv("ACTUALIZA_ODBC_DRIVER"));
        remote = db::odbc::BatchSession::open(settings, driver, errors);
        if (!remote) {
            // As sqlcmd words a connection that failed, on the error stream as sqlcmd does.
            for (const auto& e : errors)
                std::cerr << "Sqlcmd: Error: " << e.description << "\n";
            return 1;
        }
        execute = [&](std::string_view sql) { return remote->execute(sql); };
    }

    if (options.check) {
        engine::BatchResult names = execute("SELECT name FROM sys.databases ORDER BY database_id");
        if (names.hasErrors() || names.resultSets.empty()) {
            tools::writeBatchResult(names, streams, options.format);
            return 1;
        }
        bool damaged = false;
        for (const auto& row : names.resultSets[0].rows) {
            std::string quoted;
            for (char c : row[0].bytes())
                quoted += c == ']' ? std::string("]]") : std::string(1, c);
            engine::BatchResult result = execute("DBCC CHECKDB ([" + quoted + "])");
            tools::writeBatchResult(result, streams, options.format);
            damaged = damaged || result.hasErrors();
        }
        out.flush();
        return damaged ? 1 : 0;
    }

    bool failed = false;
    for (const auto& batch : batches) {
        for (int n = 0; n < batch.repeat; ++n) {
            if (options.echo) {
                out << batch.text;
                if (!batch.text.empty() && batch.text.back() != '\n') out << "\n";
            }
            engine::BatchResult result = execute(batch.text);
            tools::writeBatchResult(result, streams, options.format);
            if (result.hasErrors()) {
                failed = true;
                if (options.stopOnError) {
                    out.flush();
                    return 1;
                }
            }
        }
    }
    out.flush();
    return options.stopOnError && failed ? 1 : 0;
}
