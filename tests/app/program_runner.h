// Runs a built program as a person would start it from a shell: from a given working
// directory, without a display unless the caller names one, with standard input that is not a
// terminal and standard error captured, and waits for its exit status.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "run/test_files.h"

namespace app_test {

struct Outcome {
    int exit_code = -1;  // -1 when the program did not exit normally
    std::string err;     // what it wrote to standard error
    std::string out;     // what it wrote to standard output
};

inline Outcome RunProgram(const std::filesystem::path& exe, const std::vector<std::string>& args,
                          const std::filesystem::path& working_dir,
                          const std::map<std::string, std::string>& env = {}) {
    const std::filesystem::path err_file = working_dir / "stderr.txt";
    const std::filesystem::path out_file = working_dir / "stdout.txt";
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(working_dir.c_str()) != 0) _exit(126);
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            unsetenv(name);
        for (const auto& [name, value] : env)
            setenv(name.c_str(), value.c_str(), 1);
        if (!freopen("/dev/null", "r", stdin) || !freopen(err_file.c_str(), "w", stderr) ||
            !freopen(out_file.c_str(), "w", stdout))
            _exit(126);
        std::vector<char*> argv{const_cast<char*>(exe.c_str())};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, run_test::ReadBytes(err_file),
            run_test::ReadBytes(out_file)};
}

}  // namespace app_test
