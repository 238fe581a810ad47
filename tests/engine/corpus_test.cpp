// Runs every file of the statement corpus (tests/engine/corpus/*.test), one test each.
#include <gtest/gtest.h>

#include <filesystem>

#include "corpus_runner.h"

namespace {

std::vector<std::string> corpusFiles() {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(ENGINE_CORPUS_DIR)) {
        if (entry.path().extension() == ".test") files.push_back(entry.path().filename().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

class CorpusTest : public ::testing::TestWithParam<std::string> {};

TEST_P(CorpusTest, OutcomesAsExpected) {
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("engine-corpus-" + std::to_string(::getpid()) + "-" + GetParam());
    std::filesystem::remove_all(dir);
    auto failures = corpus::runFile(std::filesystem::path(ENGINE_CORPUS_DIR) / GetParam(), dir);
    for (const auto& f : failures)
        ADD_FAILURE() << GetParam() << ":" << f.line << ": " << f.message;
    std::filesystem::remove_all(dir);
}

std::string testName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param.substr(0, info.param.size() - 5);
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Files, CorpusTest, ::testing::ValuesIn(corpusFiles()), testName);

}  // namespace
