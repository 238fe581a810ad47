#include "app/installation.h"

#include <cstdlib>

#include "db/connect.h"
#include "run/date_time_text.h"
#include "script_batches.h"
#include "support/database_dump.h"
#include "support/embedded_server.h"

namespace app_test {

namespace fs = std::filesystem;

Installation::Installation(const std::string& benchArguments) {
    const fs::path repo = ACTUALIZA_REPO_DIR;
    fs::path scripts = repo / "fixtures" / "old-release";
    if (!benchArguments.empty()) {
        const fs::path bench = dir_.path() / "bench";
        const std::string command = "'" + (repo / "bench" / "make-installation").string() + "' --sql-only " +
                                    benchArguments + " '" + bench.string() + "' >/dev/null";
        if (std::system(command.c_str()) != 0) {
            error_ = "bench/make-installation failed: " + command;
            return;
        }
        scripts = bench / "scripts";
    }
    fs::create_directories(dir_.path() / "datos");
    fs::create_directories(dir_.path() / "programa" / "Include");
    fs::copy_file(repo / "fixtures" / "base-data" / "Datos Base.MDB",
                  dir_.path() / "programa" / "Include" / "Datos Base.MDB");
    fs::copy_file(ACTUALIZA_EXE, Program());

    std::unique_ptr<db::Connection> master = Connect("");
    if (!master->isOpen()) {
        error_ = "cannot open the server: " + master->lastError().description;
        return;
    }
    for (const fs::path& script : fixtures_test::sqlFiles(scripts)) {
        for (const fixtures_test::ScriptBatch& batch :
             fixtures_test::splitBatches(fixtures_test::readFile(script))) {
            master->clearError();
            db::Status status = master->execute(batch.text);
            if (!status.ok()) {
                error_ = script.filename().string() + ":" + std::to_string(batch.firstLine) + ": " +
                         status.error().description;
                return;
            }
        }
    }
    master->close();
}

Outcome Installation::Run(const std::string& selector) {
    std::string line = "NULL,," + Server();
    if (!selector.empty()) line += "," + selector;
    return RunWith(line);
}

Outcome Installation::RunWith(const std::string& commandLine,
                              const std::map<std::string, std::string>& env) {
    return RunProgram(Program(), {commandLine}, dir_.path(), env);
}

std::string Installation::Dump() const {
    std::string error;
    std::string out = test_support::DumpDataDirectory(Server(), error);
    return error.empty() ? out : "error " + error + "\n";
}

std::string Installation::LogBytes() const {
    return run_test::ReadBytes(dir_.path() / "programa" / "LogActualizacion.txt");
}

std::vector<std::string> Installation::LogEntries() const {
    return test_support::EntradasDeLog(dir_.path() / "programa" / "LogActualizacion.txt");
}

std::unique_ptr<db::Connection> Installation::Connect(const std::string& database) const {
    db::ConnectionSettings settings;
    settings.server = Server();
    settings.database = database;
    settings.integratedSecurity = true;
    return db::connect(settings);
}

std::vector<std::vector<std::string>> Installation::Rows(const std::string& database,
                                                         const std::string& sql) const {
    std::unique_ptr<db::Connection> connection = Connect(database);
    return test_support::EmbeddedServer::Filas(*connection, sql);
}

std::string Installation::ProgramDate() const {
    std::optional<run::LocalDateTime> when = run::ModificationDateTime(Program());
    return when ? run::DateTimeText(*when) : "";
}

}  // namespace app_test
