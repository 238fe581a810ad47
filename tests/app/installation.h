// An old-release installation for the tests that drive the built program: a temporary
// directory holding the embedded engine's data directory `datos`, built from the scripts of
// fixtures/old-release/ (every batch, in file order, as sqlshell runs them), and the program
// folder `programa` with a copy of the program and its Include/Datos Base.MDB.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/program_runner.h"
#include "db/connection.h"
#include "support/run_fixture.h"

namespace app_test {

class Installation {
  public:
    // Builds the installation; check Built() (and BuildError()) before using it. With
    // `benchArguments` ("--years 1 --rows 1000") the databases are those of a benchmark
    // installation of that size (bench/make-installation) instead of the old release's.
    explicit Installation(const std::string& benchArguments = "");

    bool Built() const { return error_.empty(); }
    const std::string& BuildError() const { return error_; }

    // The server as written on the command line: the data directory's absolute path.
    std::string Server() const { return (dir_.path() / "datos").string(); }
    std::filesystem::path Program() const {
        return dir_.path() / "programa" / "actualiza-catalogos";
    }

    // Runs the program with "NULL,,<server>" and, when not empty, ",<selector>".
    Outcome Run(const std::string& selector = "");
    // Runs the program with this command line (another server, a login), and these variables
    // in its environment.
    Outcome RunWith(const std::string& commandLine,
                    const std::map<std::string, std::string>& env = {});
    // The program's folder (the log, Include/Datos Base.MDB).
    std::filesystem::path ProgramFolder() const { return dir_.path() / "programa"; }

    // The log of the last run: its raw bytes, and its entries after the start line as UTF-8.
    std::string LogBytes() const;
    std::vector<std::string> LogEntries() const;

    // A connection to `database` of the installation's server.
    std::unique_ptr<db::Connection> Connect(const std::string& database) const;
    // The rows of `sql` on `database`, every value as text ("NULL" for NULL).
    std::vector<std::vector<std::string>> Rows(const std::string& database,
                                               const std::string& sql) const;

    // Every database of the installation written out whole (see DumpDatabase), by name.
    std::string Dump() const;

    // The program date the run stamps: the copy's modification time as "dd/mm/yyyy hh:mm:ss".
    std::string ProgramDate() const;

  private:
    test_support::TempDir dir_;
    std::string error_;
};

}  // namespace app_test
