#include "corpus_runner.h"

#include <algorithm>
#include <fstream>
#include <memory>
#include <numeric>
#include <regex>
#include <set>
#include <sstream>

#include "engine/session.h"
#include "engine/types/render.h"
#include "tools/sqlshell/shell_output.h"

namespace corpus {

namespace {

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> out;
    std::string w;
    while (in >> w)
        out.push_back(w);
    return out;
}

std::string trimRight(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\r'))
        s.pop_back();
    return s;
}

// Batch lines keep their trailing blanks: some statements are sent with one.
std::string withoutLineEnd(std::string s) {
    if (!s.empty() && s.back() == '\r') s.pop_back();
    return s;
}

std::string describe(const engine::BatchResult& r) {
    std::ostringstream out;
    tools::writeBatchResult(r, out);
    return out.str();
}

engine::SessionOptions fixedOptions() {
    engine::SessionOptions options;
    options.createDataDirectory = true;
    options.clock = [] { return std::chrono::system_clock::from_time_t(kFixedClockSeconds); };
    options.randomSeed = kRandomSeed;
    return options;
}

class InProcessExecutor : public Executor {
  public:
    explicit InProcessExecutor(std::filesystem::path dir) : dir_(std::move(dir)) {}

    std::string open(const std::string& database) override {
        auto opened = engine::Session::open(dir_, database, fixedOptions());
        if (!opened.session)
            return opened.messages.empty() ? "no session" : opened.messages[0].text;
        session_ = std::move(opened.session);
        return {};
    }
    std::string reopen(const std::string& database) override {
        session_.reset();
        return open(database);
    }
    engine::BatchResult execute(const std::string& batch) override {
        if (!session_) {
            engine::BatchResult r;
            r.messages.push_back(engine::SqlMessage{0, 16, 1, 0, {}, "no session"});
            r.events.push_back({engine::BatchResult::Kind::Message, 0});
            return r;
        }
        return session_->execute(batch);
    }
    std::string use(const std::string& database) override {
        if (!session_) return "no session";
        for (const auto& m : session_->useDatabase(database)) {
            if (m.isError()) return m.text;
        }
        return {};
    }

  private:
    std::filesystem::path dir_;
    std::unique_ptr<engine::Session> session_;
};

std::string lines(const std::vector<std::string>& v, const char* prefix) {
    std::string out;
    for (const auto& x : v)
        out += prefix + x + "\n";
    return out;
}

class FileRun {
  public:
    FileRun(Executor& executor, const KnownDifferences& known)
        : executor_(executor), known_(known) {}

    std::vector<Failure> run(const std::vector<std::string>& lines) {
        if (auto error = executor_.open("master"); !error.empty())
            fail(0, "cannot open master: " + error);
        size_t i = 0;
        while (i < lines.size()) {
            std::string line = trimRight(lines[i]);
            if (line.empty() || line[0] == '#') {
                ++i;
                continue;
            }
            int directiveLine = static_cast<int>(i + 1);
            std::vector<std::string> w = words(line);
            ++i;
            if (w[0] == "reopen") {
                if (auto error = executor_.reopen(database_); !error.empty())
                    fail(directiveLine, "cannot reopen " + database_ + ": " + error);
                continue;
            }
            if (w[0] == "database") {
                database_ = w.at(1);
                auto r = executor_.execute("IF DB_ID('" + database_ +
                                           "') IS NULL CREATE DATABASE " + database_);
                if (r.hasErrors()) fail(directiveLine, "cannot create database: " + describe(r));
                if (auto error = executor_.use(database_); !error.empty())
                    fail(directiveLine, "cannot use " + database_ + ": " + error);
                continue;
            }
            bool cr = w.back() == "cr";
            bool crlf = w.back() == "crlf";
            if (cr || crlf) w.pop_back();
            // The batch.
            std::vector<std::string> batchLines;
            while (i < lines.size() && trimRight(lines[i]) != "----" &&
                   !trimRight(lines[i]).empty()) {
                batchLines.push_back(withoutLineEnd(lines[i]));
                ++i;
            }
            std::string batch;
            for (size_t k = 0; k < batchLines.size(); ++k) {
                if (k) batch += crlf ? "\r\n" : "\n";
                batch += batchLines[k];
                if (cr) batch += "\r";
            }
            std::vector<std::string> expected;
            if (i < lines.size() && trimRight(lines[i]) == "----") {
                ++i;
                if (w[0] == "output") {
                    // Output may hold blank lines: it ends at a line "====".
                    while (i < lines.size() && trimRight(lines[i]) != "====")
                        expected.push_back(trimRight(lines[i++]));
                    ++i;
                } else {
                    while (i < lines.size() && !trimRight(lines[i]).empty())
                        expected.push_back(lines[i++]);
                }
            }
            const std::string problem = check(w, executor_.execute(batch), expected);
            auto listed = known_.find(directiveLine);
            if (listed != known_.end()) cases_.insert(directiveLine);
            if (listed == known_.end()) {
                if (!problem.empty()) fail(directiveLine, problem);
            } else if (problem.empty()) {
                fail(directiveLine, "listed as a known difference (" + listed->second +
                                        ") but gives the expected outcome: take it off the list");
            }
        }
        for (const auto& [line, reason] : known_) {
            if (!cases_.count(line))
                fail(line,
                     "listed as a known difference (" + reason + ") but no case starts there");
        }
        return failures_;
    }

  private:
    void fail(int line, const std::string& message) { failures_.push_back(Failure{line, message}); }

    // What is wrong with the outcome of a case; empty when nothing is.
    std::string check(const std::vector<std::string>& w, const engine::BatchResult& r,
                      const std::vector<std::string>& expected) {
        const std::string& kind = w[0];
        if (kind == "statement") {
            if (w.size() < 2) return "statement needs ok or error";
            if (w[1] == "ok") return r.hasErrors() ? "expected success, got:\n" + describe(r) : "";
            std::vector<int> wanted;
            for (size_t k = 2; k < w.size(); ++k)
                wanted.push_back(std::stoi(w[k]));
            std::vector<int> got;
            for (const auto& m : r.messages) {
                if (m.isError()) got.push_back(m.number);
            }
            if (got != wanted || got.empty()) {
                std::string g;
                for (int n : got)
                    g += std::to_string(n) + " ";
                return "expected errors " +
                       std::accumulate(
                           w.begin() + 2, w.end(), std::string(),
                           [](std::string a, const std::string& b) { return a + b + " "; }) +
                       "got " + g + "\n" + describe(r);
            }
            // The text of the last error, when given.
            if (!expected.empty() && trimRight(expected[0]) != r.lastError()->text)
                return "expected error text\n  " + expected[0] + "\ngot\n  " + r.lastError()->text;
            return "";
        }
        if (kind == "query") {
            if (r.hasErrors()) return "query failed:\n" + describe(r);
            std::vector<std::string> rows;
            for (const auto& set : r.resultSets) {
                for (const auto& row : set.rows) {
                    std::string text;
                    for (size_t c = 0; c < row.size(); ++c) {
                        if (c) text += "\t";
                        text += engine::renderForShell(row[c]);
                    }
                    rows.push_back(trimRight(text));
                }
            }
            std::vector<std::string> want;
            for (const auto& e : expected)
                want.push_back(trimRight(e));
            if (w.size() > 1 && w[1] == "count") rows = {std::to_string(rows.size())};
            if (w.size() > 1 && w[1] == "rowsort") {
                std::sort(rows.begin(), rows.end());
                std::sort(want.begin(), want.end());
            }
            if (rows != want)
                return "expected rows:\n" + lines(want, "  ") + "got:\n" + lines(rows, "  ");
            return "";
        }
        if (kind == "columns") {
            if (r.hasErrors()) return "batch failed:\n" + describe(r);
            std::vector<std::string> got;
            for (const auto& set : r.resultSets) {
                for (const auto& c : set.columns)
                    got.push_back(c.name + " " + engine::typeDisplayName(c.type) +
                                  (c.nullable ? " NULL" : " NOT NULL"));
            }
            std::vector<std::string> want;
            for (const auto& e : expected)
                want.push_back(trimRight(e));
            if (got != want)
                return "expected columns:\n" + lines(want, "  ") + "got:\n" + lines(got, "  ");
            return "";
        }
        if (kind == "output") {
            const bool whole = executor_.seesMessageState();
            std::istringstream text(describe(r));
            std::vector<std::string> got;
            for (std::string l; std::getline(text, l);)
                got.push_back(whole ? trimRight(l) : withoutMessageState(trimRight(l)));
            while (!got.empty() && got.back().empty())
                got.pop_back();
            std::vector<std::string> want;
            for (const auto& e : expected)
                want.push_back(whole ? e : withoutMessageState(e));
            while (!want.empty() && want.back().empty())
                want.pop_back();
            if (got != want)
                return "expected output:\n" + lines(want, "  |") + "got:\n" + lines(got, "  |");
            return "";
        }
        return "unknown directive " + kind;
    }

    Executor& executor_;
    const KnownDifferences& known_;
    std::string database_ = "master";
    std::vector<Failure> failures_;
    std::set<int> cases_;  // the listed cases met
};

}  // namespace

std::unique_ptr<Executor> inProcessExecutor(const std::filesystem::path& dataDirectory) {
    return std::make_unique<InProcessExecutor>(dataDirectory);
}

std::vector<Failure> runFile(const std::filesystem::path& file, Executor& executor,
                             const KnownDifferences& known) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    FileRun run(executor, known);
    return run.run(lines);
}

std::vector<Failure> runFile(const std::filesystem::path& file,
                             const std::filesystem::path& dataDirectory) {
    auto executor = inProcessExecutor(dataDirectory);
    return runFile(file, *executor);
}

std::vector<std::string> corpusFiles(const std::filesystem::path& directory) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(directory)) {
        if (entry.path().extension() == ".test")
            files.push_back(entry.path().lexically_relative(directory).generic_string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string plainName(std::string path) {
    if (path.size() > 5 && path.ends_with(".test")) path.resize(path.size() - 5);
    for (char& c : path) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return path;
}

std::string withoutMessageState(const std::string& line) {
    static const std::regex header(
        R"(^(Msg \d+, Level \d+), State \d+(, Procedure [^,]+)?(, Line \d+)$)");
    return std::regex_replace(line, header, "$1$3");
}

}  // namespace corpus
