// Test fixtures for routines that take a run context: a temporary program directory, a
// RunContext living in it with a fixed clock, the server name and (optionally) a current
// company row, and readers of what the run wrote to its update log.
//
// Log entries are given back as the text that the routine composed (UTF-8), one element per
// entry, without the start line and the separators, so that tests compare them directly with
// the messages they expect.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "run/run_context.h"

namespace test_support {

// A directory created for one test and removed with everything in it afterwards.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// Sets an environment variable for the lifetime of the object, then puts the old value back.
class ScopedEnv {
  public:
    ScopedEnv(std::string name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    std::string name_;
    bool had_old_ = false;
    std::string old_;
};

class RunFixture {
  public:
    // A context whose parametros.Servidor is `servidor`, whose grid is prepared for every
    // database, and whose log has been started.
    explicit RunFixture(std::string servidor = "SRV");

    run::RunContext& ctx() { return *ctx_; }
    const std::filesystem::path& directory() const { return dir_.path(); }

    // Adds a company row for `codigo` and makes it current, as the run does before updating it.
    void EmpresaActual(const std::string& codigo);

    // The entries written since the log was started, in order, as UTF-8 text.
    std::vector<std::string> Entradas() const;
    // Counts the times the event pump was called.
    int Bombeos() const { return bombeos_; }

  private:
    TempDir dir_;
    std::unique_ptr<run::RunContext> ctx_;
    int bombeos_ = 0;
};

// The entries of the update log `file` after its start line, in order, as UTF-8 text.
std::vector<std::string> EntradasDeLog(const std::filesystem::path& file);

// Windows-1252 bytes back to UTF-8 (what the log writer stores, read back).
std::string DesdeWindows1252(std::string_view bytes);

}  // namespace test_support
