// What the tests of the server program share: data directories made with the engine in
// process before a server opens them (and read back after it has gone), and the server's
// log read per connection.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/session.h"
#include "support/tds_server_process.h"

namespace server_test {

// A fresh directory under the system's temporary one, removed with the object.
class TempDirectory {
  public:
    explicit TempDirectory(const std::string& name);
    ~TempDirectory();
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// Creates the data directory (with master) and runs the batches on master in it; returns
// the first error, empty on success. No session stays open, so a server may take it.
std::string MakeDataDirectory(const std::filesystem::path& directory,
                              const std::vector<std::string>& batches);

// Runs a batch on the data directory in process (the server must have let it go): the
// first column of its first row (integers and strings), or the first error's text with
// "error: " before it.
std::string QueryInProcess(const std::filesystem::path& directory, const std::string& database,
                           const std::string& sql);

// Waits (bounded) until the server's log satisfies `ready`; returns the log as it was then.
std::string WaitForLog(const test_support::TdsServerProcess& server,
                       const std::function<bool(const std::string&)>& ready,
                       std::chrono::seconds patience = std::chrono::seconds(30));

// How the server's log says the connection from this local port ended: "refused (...)" or
// "closed (...)", once it has (bounded wait); empty if it never says.
std::string ConnectionEnd(const test_support::TdsServerProcess& server, int localPort,
                          std::chrono::seconds patience = std::chrono::seconds(30));

// How many lines of the log contain `fragment`.
size_t CountLines(const std::string& log, const std::string& fragment);

}  // namespace server_test
