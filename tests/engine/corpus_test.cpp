// Runs every file of the statement corpus (tests/engine/corpus/**/*.test), one test each.
#include <gtest/gtest.h>

#include <filesystem>

#include "corpus_runner.h"

namespace {

class CorpusTest : public ::testing::TestWithParam<std::string> {};

TEST_P(CorpusTest, OutcomesAsExpected) {
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() /
        ("engine-corpus-" + std::to_string(::getpid()) + "-" + corpus::plainName(GetParam()));
    std::filesystem::remove_all(dir);
    auto failures = corpus::runFile(std::filesystem::path(ENGINE_CORPUS_DIR) / GetParam(), dir);
    for (const auto& f : failures)
        ADD_FAILURE() << GetParam() << ":" << f.line << ": " << f.message;
    std::filesystem::remove_all(dir);
}

std::string testName(const ::testing::TestParamInfo<std::string>& info) {
    return corpus::plainName(info.param);
}

INSTANTIATE_TEST_SUITE_P(Files, CorpusTest,
                         ::testing::ValuesIn(corpus::corpusFiles(ENGINE_CORPUS_DIR)), testName);

}  // namespace
