// The engine's statement corpus over the wire: every file runs against tds-server on a fresh
// data directory through unixODBC and FreeTDS, and must give the outcomes it gives in
// process, except the cases of corpus_over_tds_differences.txt, each with its reason.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "corpus_runner.h"
#include "odbc_executor.h"

namespace {

struct Known {
    std::map<std::string, corpus::KnownDifferences> byFile;
    std::vector<std::string> problems;
};

// "FILE:LINE REASON" lines; '#' starts a comment.
const Known& known() {
    static const Known list = [] {
        Known k;
        std::ifstream in(KNOWN_DIFFERENCES_FILE);
        if (!in) k.problems.push_back("cannot read " + std::string(KNOWN_DIFFERENCES_FILE));
        int number = 0;
        for (std::string line; std::getline(in, line);) {
            ++number;
            if (line.empty() || line[0] == '#') continue;
            std::istringstream fields(line);
            std::string place, reason;
            fields >> place;
            std::getline(fields >> std::ws, reason);
            const size_t colon = place.rfind(':');
            int caseLine = 0;
            if (colon != std::string::npos) caseLine = std::atoi(place.c_str() + colon + 1);
            if (caseLine <= 0 || reason.empty()) {
                k.problems.push_back("line " + std::to_string(number) + ": want FILE:LINE REASON");
                continue;
            }
            k.byFile[place.substr(0, colon)][caseLine] = reason;
        }
        return k;
    }();
    return list;
}

TEST(CorpusOverTdsTest, EveryKnownDifferenceNamesACorpusFileAndGivesItsReason) {
    for (const auto& p : known().problems)
        ADD_FAILURE() << KNOWN_DIFFERENCES_FILE << ": " << p;
    const auto files = corpus::corpusFiles(ENGINE_CORPUS_DIR);
    for (const auto& [file, cases] : known().byFile)
        EXPECT_NE(std::find(files.begin(), files.end(), file), files.end())
            << file << " is not in the corpus";
}

class CorpusOverTds : public ::testing::TestWithParam<std::string> {};

TEST_P(CorpusOverTds, SameOutcomesAsInProcess) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() /
        ("corpus-over-tds-" + std::to_string(::getpid()) + "-" + corpus::plainName(GetParam()));
    std::filesystem::remove_all(dir);
    {
        server_test::OdbcExecutor executor(dir);
        auto it = known().byFile.find(GetParam());
        const auto failures =
            corpus::runFile(std::filesystem::path(ENGINE_CORPUS_DIR) / GetParam(), executor,
                            it == known().byFile.end() ? corpus::KnownDifferences{} : it->second);
        for (const auto& f : failures)
            ADD_FAILURE() << GetParam() << ":" << f.line << ": " << f.message;
        if (!failures.empty()) std::cerr << "tds-server's log:\n" << executor.serverLog();
    }
    std::filesystem::remove_all(dir);
}

std::string testName(const ::testing::TestParamInfo<std::string>& info) {
    return corpus::plainName(info.param);
}

INSTANTIATE_TEST_SUITE_P(Files, CorpusOverTds,
                         ::testing::ValuesIn(corpus::corpusFiles(ENGINE_CORPUS_DIR)), testName);

}  // namespace
