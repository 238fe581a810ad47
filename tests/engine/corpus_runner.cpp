#include "corpus_runner.h"

#include <algorithm>
#include <fstream>
#include <memory>
#include <numeric>
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
    // A fixed clock and random source: GETDATE() and NEWID() give the same answers on
    // every run.
    options.clock = [] { return std::chrono::system_clock::from_time_t(1700000000); };
    options.randomSeed = 42;
    return options;
}

class FileRun {
  public:
    FileRun(std::filesystem::path dir) : dir_(std::move(dir)) {}

    std::vector<Failure> run(const std::vector<std::string>& lines) {
        open("master");
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
                session_.reset();
                open(database_);
                continue;
            }
            if (w[0] == "database") {
                database_ = w.at(1);
                if (session_) {
                    auto r = session_->execute("IF DB_ID('" + database_ +
                                               "') IS NULL CREATE DATABASE " + database_);
                    if (r.hasErrors())
                        fail(directiveLine, "cannot create database: " + describe(r));
                    session_->useDatabase(database_);
                }
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
            check(w, batch, expected, directiveLine);
        }
        return failures_;
    }

  private:
    void open(const std::string& database) {
        auto opened = engine::Session::open(dir_, database, fixedOptions());
        if (!opened.session) {
            fail(0, "cannot open " + database + ": " +
                        (opened.messages.empty() ? "" : opened.messages[0].text));
            return;
        }
        session_ = std::move(opened.session);
        database_ = database;
    }

    void fail(int line, const std::string& message) { failures_.push_back(Failure{line, message}); }

    void check(const std::vector<std::string>& w, const std::string& batch,
               const std::vector<std::string>& expected, int line) {
        if (!session_) {
            fail(line, "no session");
            return;
        }
        engine::BatchResult r = session_->execute(batch);
        const std::string& kind = w[0];
        if (kind == "statement") {
            if (w.size() < 2) return fail(line, "statement needs ok or error");
            if (w[1] == "ok") {
                if (r.hasErrors()) fail(line, "expected success, got:\n" + describe(r));
                return;
            }
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
                fail(line, "expected errors " +
                               std::accumulate(w.begin() + 2, w.end(), std::string(),
                                               [](std::string a, const std::string& b) {
                                                   return a + b + " ";
                                               }) +
                               "got " + g + "\n" + describe(r));
                return;
            }
            // The text of the last error, when given.
            if (!expected.empty()) {
                const engine::SqlMessage* last = r.lastError();
                if (trimRight(expected[0]) != last->text)
                    fail(line, "expected error text\n  " + expected[0] + "\ngot\n  " + last->text);
            }
            return;
        }
        if (kind == "query") {
            if (r.hasErrors()) return fail(line, "query failed:\n" + describe(r));
            std::vector<std::string> rows;
            for (const auto& set : r.resultSets) {
                for (const auto& row : set.rows) {
                    std::string text;
                    for (size_t c = 0; c < row.size(); ++c) {
                        if (c) text += "\t";
                        text += engine::renderForShell(row[c]);
                    }
                    rows.push_back(text);
                }
            }
            std::vector<std::string> want;
            for (const auto& e : expected)
                want.push_back(trimRight(e));
            for (auto& rrow : rows)
                rrow = trimRight(rrow);
            if (w.size() > 1 && w[1] == "count") rows = {std::to_string(rows.size())};
            if (w.size() > 1 && w[1] == "rowsort") {
                std::sort(rows.begin(), rows.end());
                std::sort(want.begin(), want.end());
            }
            if (rows != want) {
                std::string got, exp;
                for (const auto& x : rows)
                    got += "  " + x + "\n";
                for (const auto& x : want)
                    exp += "  " + x + "\n";
                fail(line, "expected rows:\n" + exp + "got:\n" + got);
            }
            return;
        }
        if (kind == "columns") {
            if (r.hasErrors()) return fail(line, "batch failed:\n" + describe(r));
            std::vector<std::string> got;
            for (const auto& set : r.resultSets) {
                for (const auto& c : set.columns)
                    got.push_back(c.name + " " + engine::typeDisplayName(c.type) +
                                  (c.nullable ? " NULL" : " NOT NULL"));
            }
            std::vector<std::string> want;
            for (const auto& e : expected)
                want.push_back(trimRight(e));
            if (got != want) {
                std::string g, e;
                for (const auto& x : got)
                    g += "  " + x + "\n";
                for (const auto& x : want)
                    e += "  " + x + "\n";
                fail(line, "expected columns:\n" + e + "got:\n" + g);
            }
            return;
        }
        if (kind == "output") {
            std::istringstream text(describe(r));
            std::vector<std::string> got;
            std::string l;
            while (std::getline(text, l))
                got.push_back(trimRight(l));
            while (!got.empty() && got.back().empty())
                got.pop_back();
            std::vector<std::string> want = expected;
            while (!want.empty() && want.back().empty())
                want.pop_back();
            if (got != want) {
                std::string g, e;
                for (const auto& x : got)
                    g += "  |" + x + "\n";
                for (const auto& x : want)
                    e += "  |" + x + "\n";
                fail(line, "expected output:\n" + e + "got:\n" + g);
            }
            return;
        }
        fail(line, "unknown directive " + kind);
    }

    std::filesystem::path dir_;
    std::unique_ptr<engine::Session> session_;
    std::string database_ = "master";
    std::vector<Failure> failures_;
};

}  // namespace

std::vector<Failure> runFile(const std::filesystem::path& file,
                             const std::filesystem::path& dataDirectory) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    FileRun run(dataDirectory);
    return run.run(lines);
}

}  // namespace corpus
