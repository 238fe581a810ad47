#include "support/tds_server_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace test_support {

namespace fs = std::filesystem;

TdsServerProcess::TdsServerProcess(const fs::path& dataDirectory,
                                   const std::vector<std::string>& extraArgs, bool createLogin) {
    workDir_ = fs::temp_directory_path() /
               ("tds-server-" + std::to_string(::getpid()) + "-" +
                std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(workDir_);
    const fs::path portFile = workDir_ / "port";
    const fs::path logFile = workDir_ / "stderr.txt";
    pid_ = ::fork();
    if (pid_ == 0) {
        ::setenv("TDS_SERVER_PASSWORD", kPassword, 1);
        if (!std::freopen("/dev/null", "r", stdin) || !std::freopen(logFile.c_str(), "w", stderr))
            _exit(126);
        std::vector<std::string> args = {TDS_SERVER_EXE, "-S", dataDirectory.string(), "--listen",
                                         "127.0.0.1:0", "--port-file", portFile.string(), "--name",
                                         "testserver"};
        if (createLogin) {
            for (const char* a : {"--login", kLogin, "--login-language", "Español"})
                args.emplace_back(a);
        }
        args.insert(args.end(), extraArgs.begin(), extraArgs.end());
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(TDS_SERVER_EXE, argv.data());
        _exit(127);
    }
    // The port file appears once the server listens.
    for (int i = 0; i < 600 && port_ == 0; ++i) {
        std::ifstream in(portFile);
        int port = 0;
        if (in >> port && port > 0) {
            port_ = port;
            break;
        }
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            error_ = "tds-server ended at start: " + Log();
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (port_ == 0) error_ = "tds-server did not start listening: " + Log();
}

TdsServerProcess::~TdsServerProcess() {
    Stop();
    std::error_code ec;
    fs::remove_all(workDir_, ec);
}

int TdsServerProcess::Stop(std::chrono::seconds patience) {
    if (pid_ <= 0) return exitStatus_;
    ::kill(pid_, SIGTERM);
    int status = 0;
    // A server that does not stop in time is a failure of its own: kill it.
    for (int64_t i = 0; i < patience.count() * 10; ++i) {
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return exitStatus_;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    exitStatus_ = -1;
    return -1;
}

void TdsServerProcess::Kill() {
    if (pid_ > 0) ::kill(pid_, SIGKILL);
}

std::string TdsServerProcess::Log() const {
    std::ifstream in(workDir_ / "stderr.txt", std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace test_support
