#include "runner.h"

#include <openssl/evp.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "engine/session.h"
#include "engine/types/conversion.h"
#include "engine/types/render.h"

namespace slt {

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> splitWords(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

bool blank(const std::string& line) {
    return line.find_first_not_of(" \t\r") == std::string::npos;
}

std::string trimmed(const std::string& line) {
    size_t end = line.find_last_not_of(" \t\r");
    return end == std::string::npos ? std::string() : line.substr(0, end + 1);
}

// --- values as the corpus writes them ---------------------------------------------------

// The leading integer of a text, as C's strtoll reads it (0 when there is none): what the
// corpus's reference engine makes of text in an integer column.
int64_t leadingInteger(const std::string& text) {
    return std::strtoll(text.c_str(), nullptr, 10);
}

double asDouble(const engine::Value& v) {
    using engine::TypeId;
    if (engine::isInteger(v.type().id)) return static_cast<double>(v.asInt64());
    if (engine::isCharacter(v.type().id)) return std::strtod(v.bytes().c_str(), nullptr);
    if (engine::isNumeric(v.type().id))
        return engine::convert(v, engine::DataType::floating(TypeId::Float)).asDouble();
    return std::strtod(engine::renderAsText(v).c_str(), nullptr);
}

std::string render(const engine::Value& v, char type) {
    if (v.isNull()) return "NULL";
    const engine::TypeId id = v.type().id;
    if (type == 'I') {
        if (engine::isInteger(id)) return std::to_string(v.asInt64());
        if (engine::isCharacter(id)) return std::to_string(leadingInteger(v.bytes()));
        double d = asDouble(v);
        return std::to_string(static_cast<int64_t>(std::trunc(d)));
    }
    if (type == 'R') {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.3f", asDouble(v));
        return buffer;
    }
    std::string text = engine::isCharacter(id) ? v.bytes() : engine::renderForShell(v);
    if (text.empty()) return "(empty)";
    for (char& c : text) {
        if (c < ' ' || c > '~') c = '@';
    }
    return text;
}

// --- records ---------------------------------------------------------------------------

struct Record {
    enum class Kind { Statement, Query, HashThreshold, Halt };
    Kind kind = Kind::Statement;
    int line = 0;
    bool skip = false;  // not for SQL Server
    bool expectError = false;
    std::string types;
    std::string sort = "nosort";
    std::string label;
    std::string sql;
    bool hashed = false;
    int hashedCount = 0;
    std::string hash;
    std::vector<std::string> values;
    int threshold = 0;
};

// Reads the records of a file; lines that are neither records nor comments are ignored.
std::vector<Record> parse(const std::vector<std::string>& lines) {
    std::vector<Record> records;
    size_t i = 0;
    bool skip = false;
    while (i < lines.size()) {
        const std::string line = trimmed(lines[i]);
        if (blank(line) || line[0] == '#') {
            ++i;
            continue;
        }
        std::vector<std::string> words = splitWords(line);
        const std::string& verb = words[0];
        if (verb == "skipif" || verb == "onlyif") {
            bool mssql = words.size() > 1 && words[1] == "mssql";
            if ((verb == "skipif") == mssql) skip = true;
            ++i;
            continue;
        }
        Record r;
        r.line = static_cast<int>(i + 1);
        r.skip = skip;
        skip = false;
        ++i;
        if (verb == "halt") {
            r.kind = Record::Kind::Halt;
            records.push_back(std::move(r));
            continue;
        }
        if (verb == "hash-threshold") {
            r.kind = Record::Kind::HashThreshold;
            r.threshold = words.size() > 1 ? std::atoi(words[1].c_str()) : 0;
            records.push_back(std::move(r));
            continue;
        }
        if (verb != "statement" && verb != "query") continue;
        r.kind = verb == "query" ? Record::Kind::Query : Record::Kind::Statement;
        if (r.kind == Record::Kind::Statement) {
            r.expectError = words.size() > 1 && words[1] == "error";
        } else {
            if (words.size() > 1) r.types = words[1];
            if (words.size() > 2) r.sort = words[2];
            if (words.size() > 3) r.label = words[3];
        }
        std::string sql;
        while (i < lines.size() && !blank(lines[i]) && trimmed(lines[i]) != "----") {
            if (!sql.empty()) sql += "\n";
            sql += trimmed(lines[i]);
            ++i;
        }
        r.sql = std::move(sql);
        if (i < lines.size() && trimmed(lines[i]) == "----") {
            ++i;
            while (i < lines.size() && !blank(lines[i])) {
                std::string value = trimmed(lines[i]);
                int count = 0;
                char hash[64] = {};
                if (std::sscanf(value.c_str(), "%d values hashing to %63s", &count, hash) == 2) {
                    r.hashed = true;
                    r.hashedCount = count;
                    r.hash = hash;
                } else {
                    r.values.push_back(value);
                }
                ++i;
            }
        }
        records.push_back(std::move(r));
    }
    return records;
}

// Cancels the session's batch when a record runs longer than the limit.
class Watchdog {
  public:
    Watchdog(engine::Session& session, double limitSeconds)
        : session_(session), limit_(limitSeconds) {
        thread_ = std::thread([this] { watch(); });
    }
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> g(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    void start() {
        std::lock_guard<std::mutex> g(mutex_);
        running_ = true;
        deadline_ = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                       std::chrono::duration<double>(limit_));
        wake_.notify_all();
    }
    void stop() {
        std::lock_guard<std::mutex> g(mutex_);
        running_ = false;
    }

  private:
    void watch() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!stop_) {
            if (!running_) {
                wake_.wait(lock);
                continue;
            }
            if (wake_.wait_until(lock, deadline_) == std::cv_status::timeout && running_ &&
                Clock::now() >= deadline_) {
                session_.cancel();
                running_ = false;
            }
        }
    }

    engine::Session& session_;
    double limit_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool running_ = false;
    bool stop_ = false;
    Clock::time_point deadline_;
    std::thread thread_;
};

std::string firstError(const engine::BatchResult& r) {
    const engine::SqlMessage* m = r.firstError();
    if (!m) return {};
    return "Msg " + std::to_string(m->number) + ": " + m->text;
}

bool outOfMemory(const engine::BatchResult& r) {
    for (const auto& m : r.messages) {
        if (m.number == 701 || (m.number == 8630 && m.text.find("bad_alloc") != std::string::npos))
            return true;
    }
    return false;
}

// What a record gave, against what the file expects.
struct Outcome {
    bool passed = false;
    int error = 0;  // the first error raised, if any
    std::string message;
};

class FileRun {
  public:
    FileRun(engine::Session& session, const Options& options)
        : session_(session), watchdog_(session, options.recordLimitSeconds) {}

    Outcome run(const Record& r, bool& oom) {
        watchdog_.start();
        engine::BatchResult result = session_.execute(r.sql);
        watchdog_.stop();
        Outcome o;
        oom = outOfMemory(result);
        if (session_.lastBatchCancelled()) {
            o.message = "cancelled: ran longer than the record limit";
            return o;
        }
        if (const engine::SqlMessage* m = result.firstError()) o.error = m->number;
        if (r.kind == Record::Kind::Statement) {
            o.passed = r.expectError == (o.error != 0);
            if (!o.passed)
                o.message = r.expectError ? "statement succeeded, an error was expected"
                                          : firstError(result);
            return o;
        }
        if (o.error) {
            o.message = firstError(result);
            return o;
        }
        if (result.resultSets.empty()) {
            o.message = "no result set";
            return o;
        }
        const engine::ResultSet& set = result.resultSets.front();
        if (!r.types.empty() && set.columns.size() != r.types.size()) {
            o.message = "the result has " + std::to_string(set.columns.size()) +
                        " columns, the record expects " + std::to_string(r.types.size());
            return o;
        }
        std::vector<std::vector<std::string>> rows;
        rows.reserve(set.rows.size());
        for (const auto& row : set.rows) {
            std::vector<std::string> cells;
            for (size_t c = 0; c < row.size(); ++c)
                cells.push_back(render(row[c], c < r.types.size() ? r.types[c] : 'T'));
            rows.push_back(std::move(cells));
        }
        if (r.sort == "rowsort") std::sort(rows.begin(), rows.end());
        std::vector<std::string> values;
        for (auto& row : rows) {
            for (auto& cell : row)
                values.push_back(std::move(cell));
        }
        if (r.sort == "valuesort") std::sort(values.begin(), values.end());
        std::string hash = hashValues(values);
        if (!r.label.empty()) {
            auto [it, inserted] = labels_.emplace(r.label, hash);
            if (!inserted && it->second != hash) {
                o.message = "differs from the earlier result of label " + r.label;
                return o;
            }
        }
        if (r.hashed) {
            o.passed = static_cast<int>(values.size()) == r.hashedCount && hash == r.hash;
            if (!o.passed)
                o.message = std::to_string(values.size()) + " values hashing to " + hash +
                            ", expected " + std::to_string(r.hashedCount) + " values hashing to " +
                            r.hash;
            return o;
        }
        o.passed = values == r.values;
        if (!o.passed) {
            std::string got, want;
            for (size_t i = 0; i < values.size() && i < 8; ++i)
                got += (i ? " " : "") + values[i];
            for (size_t i = 0; i < r.values.size() && i < 8; ++i)
                want += (i ? " " : "") + r.values[i];
            o.message = "got " + std::to_string(values.size()) + " values [" + got +
                        (values.size() > 8 ? " ..." : "") + "], expected " +
                        std::to_string(r.values.size()) + " [" + want +
                        (r.values.size() > 8 ? " ..." : "") + "]";
        }
        return o;
    }

  private:
    engine::Session& session_;
    Watchdog watchdog_;
    std::map<std::string, std::string> labels_;
};

}  // namespace

bool loadDifferences(const std::filesystem::path& path, Differences& out, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path.string();
        return false;
    }
    std::string reason;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        line = trimmed(line);
        if (blank(line) || line[0] == '#') continue;
        if (line.front() == '[' && line.back() == ']') {
            reason = line.substr(1, line.size() - 2);
            continue;
        }
        std::vector<std::string> words = splitWords(line);
        size_t colon = words[0].rfind(':');
        ExpectedDifference d;
        d.reason = reason;
        bool ok = colon != std::string::npos && !reason.empty() && words.size() >= 2;
        if (ok && words[1] == "error") {
            ok = words.size() == 3;
            if (ok) d.error = std::atoi(words[2].c_str());
            ok = ok && d.error > 0;
        } else if (ok) {
            ok = words[1] == "values" && words.size() == 2;
        }
        if (!ok) {
            error = path.string() + ":" + std::to_string(number) + ": malformed line";
            return false;
        }
        out[words[0]] = d;
    }
    return true;
}

FileReport runFile(const std::filesystem::path& file, const std::string& name,
                   const std::filesystem::path& dataDirectory, const Differences& differences,
                   const Options& options) {
    FileReport report;
    report.name = name;
    const Clock::time_point began = Clock::now();
    std::vector<std::string> lines;
    {
        std::ifstream in(file, std::ios::binary);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
    }
    std::vector<Record> records = parse(lines);
    for (const auto& r : records) {
        if (r.kind == Record::Kind::Statement || r.kind == Record::Kind::Query) ++report.records;
    }

    std::filesystem::remove_all(dataDirectory);
    engine::SessionOptions sessionOptions;
    sessionOptions.createDataDirectory = true;
    auto opened = engine::Session::open(dataDirectory, "master", sessionOptions);
    auto fail = [&](int line, const std::string& message) {
        RecordFailure f{line, {}, message};
        report.failures.push_back(f);
    };
    if (!opened.session) {
        fail(0, opened.messages.empty() ? "no session" : opened.messages.front().text);
        report.notReached = report.records;
        return report;
    }
    engine::Session& session = *opened.session;
    session.execute("CREATE DATABASE slt");
    session.useDatabase("slt");

    FileRun run(session, options);
    bool stopped = false;
    for (const Record& r : records) {
        const bool isRecord = r.kind == Record::Kind::Statement || r.kind == Record::Kind::Query;
        if (stopped) {
            // After a halt the file has nothing more for SQL Server.
            if (isRecord && (r.skip || report.haltedAtLine)) ++report.skipped;
            if (isRecord && !r.skip && !report.haltedAtLine) ++report.notReached;
            continue;
        }
        if (r.skip) {
            if (isRecord) ++report.skipped;
            continue;
        }
        if (r.kind == Record::Kind::Halt) {
            report.haltedAtLine = r.line;
            stopped = true;
            continue;
        }
        if (r.kind == Record::Kind::HashThreshold) continue;
        if (options.fileBudgetSeconds > 0 &&
            std::chrono::duration<double>(Clock::now() - began).count() >
                options.fileBudgetSeconds) {
            stopped = true;
            ++report.notReached;
            continue;
        }
        ++report.executed;
        bool oom = false;
        Outcome o = run.run(r, oom);
        if (oom) ++report.outOfMemory;
        auto listed = differences.find(name + ":" + std::to_string(r.line));
        if (listed != differences.end()) {
            if (o.passed) {
                ++report.passed;
                report.listedButPassed.push_back(r.line);
            } else if (o.error == listed->second.error || (listed->second.error == 0 && !o.error)) {
                ++report.expected;
            } else {
                ++report.failed;
                report.listedOtherOutcome.push_back(r.line);
                if (report.failures.size() < options.keepFailures)
                    report.failures.push_back({r.line, r.sql, o.message});
            }
            continue;
        }
        if (o.passed) {
            ++report.passed;
            continue;
        }
        ++report.failed;
        if (report.failures.size() < options.keepFailures)
            report.failures.push_back({r.line, r.sql, o.message});
    }
    const std::string prefix = name + ":";
    for (auto it = differences.lower_bound(prefix);
         it != differences.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
        const int line = std::atoi(it->first.c_str() + prefix.size());
        bool ran = std::any_of(records.begin(), records.end(), [&](const Record& r) {
            return r.line == line && !r.skip &&
                   (r.kind == Record::Kind::Statement || r.kind == Record::Kind::Query);
        });
        if (!ran) report.listedNotRun.push_back(line);
    }
    opened.session.reset();
    std::filesystem::remove_all(dataDirectory);
    report.seconds = std::chrono::duration<double>(Clock::now() - began).count();
    return report;
}

std::vector<std::string> suiteFiles(const std::filesystem::path& root) {
    std::vector<std::string> files;
    if (std::filesystem::is_regular_file(root)) return {root.filename().generic_string()};
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (entry.is_regular_file() && entry.path().extension() == ".test")
            files.push_back(entry.path().lexically_relative(root).generic_string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string hashValues(const std::vector<std::string>& values) {
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    EVP_DigestInit_ex(ctx, EVP_md5(), nullptr);
    for (const auto& v : values) {
        EVP_DigestUpdate(ctx, v.data(), v.size());
        EVP_DigestUpdate(ctx, "\n", 1);
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_DigestFinal_ex(ctx, digest, &size);
    EVP_MD_CTX_free(ctx);
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < size; ++i) {
        out += hex[digest[i] >> 4];
        out += hex[digest[i] & 15];
    }
    return out;
}

}  // namespace slt
