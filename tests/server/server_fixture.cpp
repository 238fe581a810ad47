#include "server_fixture.h"

#include <unistd.h>

#include <regex>
#include <sstream>
#include <thread>

namespace server_test {

namespace fs = std::filesystem;

TempDirectory::TempDirectory(const std::string& name) {
    path_ = fs::temp_directory_path() /
            (name + "-" + std::to_string(::getpid()) + "-" +
             std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(path_);
}

TempDirectory::~TempDirectory() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string MakeDataDirectory(const fs::path& directory, const std::vector<std::string>& batches) {
    engine::SessionOptions options;
    options.createDataDirectory = true;
    engine::Session::Opened opened = engine::Session::open(directory, "master", options);
    if (!opened.session) return opened.messages.empty() ? "cannot open" : opened.messages[0].text;
    for (const auto& batch : batches) {
        engine::BatchResult result = opened.session->execute(batch);
        if (const engine::SqlMessage* e = result.firstError()) return e->text + " in: " + batch;
    }
    return {};
}

std::string QueryInProcess(const fs::path& directory, const std::string& database,
                           const std::string& sql) {
    engine::Session::Opened opened = engine::Session::open(directory, database);
    if (!opened.session)
        return "error: " +
               (opened.messages.empty() ? std::string("cannot open") : opened.messages[0].text);
    engine::BatchResult result = opened.session->execute(sql);
    if (const engine::SqlMessage* e = result.firstError()) return "error: " + e->text;
    if (result.resultSets.empty() || result.resultSets[0].rows.empty()) return {};
    const engine::Value& v = result.resultSets[0].rows[0][0];
    if (v.isNull()) return "NULL";
    return engine::isInteger(v.typeId()) ? std::to_string(v.asInt64()) : v.bytes();
}

std::string WaitForLog(const test_support::TdsServerProcess& server,
                       const std::function<bool(const std::string&)>& ready,
                       std::chrono::seconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        std::string log = server.Log();
        if (ready(log) || std::chrono::steady_clock::now() > deadline) return log;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

std::string ConnectionEnd(const test_support::TdsServerProcess& server, int localPort,
                          std::chrono::seconds patience) {
    const std::regex start("connection (\\d+) from 127\\.0\\.0\\.1:" + std::to_string(localPort) +
                           ": ");
    std::string end;
    WaitForLog(server, [&](const std::string& log) {
        std::smatch m;
        if (!std::regex_search(log, m, start)) return false;
        const std::string id = m[1];
        std::istringstream lines(log);
        const std::string prefixes[] = {
            "connection " + id + " from 127.0.0.1:" + std::to_string(localPort) + ": ",
            "connection " + id + ": "};
        for (std::string line; std::getline(lines, line);) {
            for (const std::string& prefix : prefixes) {
                const size_t at = line.find(prefix);
                if (at == std::string::npos) continue;
                const std::string rest = line.substr(at + prefix.size());
                if (rest.rfind("refused (", 0) == 0 || rest.rfind("closed (", 0) == 0) {
                    end = rest;
                    return true;
                }
            }
        }
        return false;
    }, patience);
    return end;
}

size_t CountLines(const std::string& log, const std::string& fragment) {
    size_t n = 0;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        if (line.find(fragment) != std::string::npos) ++n;
    }
    return n;
}

}  // namespace server_test
