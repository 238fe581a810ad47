// The built tds-server, started for one test on a free loopback port over a data directory,
// with one login made at start (unless told not to); stopped (SIGTERM) and waited for when
// the object goes.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace test_support {

class TdsServerProcess {
  public:
    static constexpr const char* kLogin = "actualiza";
    static constexpr const char* kPassword = "Cl4ve-de-prueba";

    // Starts the server; check Started() (and Error()). `extraArgs` go on its command line
    // after the usual ones (so that they may override them); without `createLogin` the
    // server starts with the logins the data directory has.
    explicit TdsServerProcess(const std::filesystem::path& dataDirectory,
                              const std::vector<std::string>& extraArgs = {},
                              bool createLogin = true);
    ~TdsServerProcess();
    TdsServerProcess(const TdsServerProcess&) = delete;
    TdsServerProcess& operator=(const TdsServerProcess&) = delete;

    bool Started() const { return port_ != 0; }
    const std::string& Error() const { return error_; }
    int Port() const { return port_; }
    pid_t Pid() const { return pid_; }
    // "127.0.0.1:PORT", the server as the updater's command line names it.
    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }

    // Sends SIGTERM and waits up to `patience` (then kills it); returns the exit status (-1 if
    // it did not exit normally or in time). For a server that ended at start, its status.
    int Stop(std::chrono::seconds patience = std::chrono::seconds(60));
    // Ends the server at once (SIGKILL), as a crash would; for tests that must end even when
    // the server hangs.
    void Kill();
    // What the server wrote to standard error so far.
    std::string Log() const;

  private:
    std::filesystem::path workDir_;
    pid_t pid_ = -1;
    int exitStatus_ = -1;  // of a server that ended at start
    int port_ = 0;
    std::string error_;
};

}  // namespace test_support
