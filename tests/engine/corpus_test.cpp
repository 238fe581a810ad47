// Runs every file of the statement corpus (tests/engine/corpus/**/*.test), one test each.
#include <gtest/gtest.h>

#include <filesystem>

#include "corpus_runner.h"

namespace {

std::vector<std::string> corpusFiles() {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(ENGINE_CORPUS_DIR)) {
        if (entry.path().extension() == ".test")
            files.push_back(entry.path().lexically_relative(ENGINE_CORPUS_DIR).generic_string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// The file's path inside the corpus as a name made of letters, digits and underscores.
std::string plainName(std::string path) {
    if (path.size() > 5 && path.ends_with(".test")) path.resize(path.size() - 5);
    for (char& c : path) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return path;
}

class CorpusTest : public ::testing::TestWithParam<std::string> {};

TEST_P(CorpusTest, OutcomesAsExpected) {
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("engine-corpus-" + std::to_string(::getpid()) + "-" + plainName(GetParam()));
    std::filesystem::remove_all(dir);
    auto failures = corpus::runFile(std::filesystem::path(ENGINE_CORPUS_DIR) / GetParam(), dir);
    for (const auto& f : failures)
        ADD_FAILURE() << GetParam() << ":" << f.line << ": " << f.message;
    std::filesystem::remove_all(dir);
}

std::string testName(const ::testing::TestParamInfo<std::string>& info) { return plainName(info.param); }

INSTANTIATE_TEST_SUITE_P(Files, CorpusTest, ::testing::ValuesIn(corpusFiles()), testName);

}  // namespace
