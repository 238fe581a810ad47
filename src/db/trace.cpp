#include "db/trace.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>

namespace db::trace {

namespace {
std::mutex& traceMutex() {
    static std::mutex m;
    return m;
}
}  // namespace

std::string escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\r': out += "\\r"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            default: out += c;
        }
    }
    return out;
}

std::string unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        switch (text[++i]) {
            case 'r': out += '\r'; break;
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            default: out += text[i];
        }
    }
    return out;
}

std::string formatRecord(const Record& record) {
    return escape(record.outcome) + '\t' + escape(record.kind) + '\t' + escape(record.database) +
           '\t' + escape(record.statement);
}

std::optional<Record> parseRecord(std::string_view line) {
    std::string_view parts[4];
    for (int i = 0; i < 3; ++i) {
        const size_t tab = line.find('\t');
        if (tab == std::string_view::npos) return std::nullopt;
        parts[i] = line.substr(0, tab);
        line.remove_prefix(tab + 1);
    }
    parts[3] = line;
    return Record{unescape(parts[0]), unescape(parts[1]), unescape(parts[2]), unescape(parts[3])};
}

#ifdef ACTUALIZA_TEST_HOOKS
namespace {

// The test hook behind the kill harness: ACTUALIZA_TEST_KILL_AFTER="N" kills the process with
// SIGKILL once the Nth statement (counting every record the trace would hold, written or not)
// has completed; "N:TERM" sends SIGTERM instead. Only builds with the test suite have it.
void killAfterStatement() {
    static std::atomic<long> count{0};
    const char* setting = std::getenv("ACTUALIZA_TEST_KILL_AFTER");
    if (setting == nullptr || *setting == '\0') return;
    char* rest = nullptr;
    const long limit = std::strtol(setting, &rest, 10);
    if (++count != limit) return;
    const int sig = std::string_view(rest) == ":TERM" ? SIGTERM : SIGKILL;
    std::raise(sig);
}

}  // namespace
#endif

void write(std::string_view kind, std::string_view database, std::string_view statement,
           const Status& outcome) {
#ifdef ACTUALIZA_TEST_HOOKS
    // After the record is written (or would have been): the statement is complete when killed.
    struct AfterRecord {
        ~AfterRecord() { killAfterStatement(); }
    } afterRecord;
#endif
    const char* path = std::getenv("ACTUALIZA_TRACE");
    if (path == nullptr || *path == '\0') return;
    Record record{outcome.ok() ? "ok" : std::to_string(outcome.error().nativeError),
                  std::string(kind), std::string(database), std::string(statement)};
    const std::string line = formatRecord(record) + '\n';
    std::lock_guard lock(traceMutex());
    std::ofstream out(path, std::ios::app | std::ios::binary);
    // A trace that cannot be written never stops the program.
    if (out) out << line;
}

std::vector<Record> readFile(const std::string& path) {
    std::vector<Record> records;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (auto record = parseRecord(line)) records.push_back(std::move(*record));
    }
    return records;
}

}  // namespace db::trace
