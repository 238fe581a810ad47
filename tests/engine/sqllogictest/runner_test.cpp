// The sqllogictest runner on a file of its own (cases/runner.test): how it reads records,
// renders and compares values, and counts passes, failures and listed differences.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "runner.h"

namespace {

const std::filesystem::path kCases = SLT_CASES_DIR;

// The line of the record that follows the first line equal to `text`.
int recordAfter(const std::string& text) {
    std::ifstream in(kCases / "runner.test");
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (line == text) return number + 1;
    }
    ADD_FAILURE() << "no line " << text;
    return 0;
}

class RunnerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        work_ =
            std::filesystem::temp_directory_path() / ("slt-runner-" + std::to_string(::getpid()));
    }
    void TearDown() override { std::filesystem::remove_all(work_); }

    slt::FileReport run(const slt::Differences& differences) {
        return slt::runFile(kCases / "runner.test", "runner.test", work_ / "data", differences,
                            slt::Options{});
    }

    std::filesystem::path work_;
};

TEST_F(RunnerTest, CountsEveryOutcomeOfItsOwnFile) {
    std::filesystem::create_directories(work_);
    const int listed = recordAfter("# listed difference");
    const int passes = recordAfter("# listed but passes");
    const int skipped = recordAfter("skipif mssql");
    {
        std::ofstream out(work_ / "differences");
        out << "# comment\n[division by zero]\nrunner.test:" << listed << " error 8134\n"
            << "[listed by mistake]\nrunner.test:" << passes << " values\nrunner.test:" << skipped
            << " values\n";
    }
    slt::Differences differences;
    std::string error;
    ASSERT_TRUE(slt::loadDifferences(work_ / "differences", differences, error)) << error;
    EXPECT_EQ(differences["runner.test:" + std::to_string(listed)].reason, "division by zero");

    slt::FileReport r = run(differences);
    EXPECT_EQ(r.records, 19);
    EXPECT_EQ(r.skipped, 3);  // skipif mssql, onlyif sqlite, after the halt
    EXPECT_EQ(r.executed, 16);
    EXPECT_EQ(r.expected, 1);
    EXPECT_EQ(r.failed, 4);
    EXPECT_EQ(r.passed, 11);
    EXPECT_EQ(r.notReached, 0);
    EXPECT_EQ(r.haltedAtLine, recordAfter("# listed but passes") + 6);
    EXPECT_EQ(r.listedButPassed, std::vector<int>{passes});
    EXPECT_EQ(r.listedNotRun, std::vector<int>{skipped});
    std::vector<int> failedLines;
    for (const auto& f : r.failures)
        failedLines.push_back(f.line);
    EXPECT_EQ(failedLines,
              (std::vector<int>{recordAfter("# label differs"), recordAfter("# wrong value"),
                                recordAfter("# wrong column count"),
                                recordAfter("# statement that should fail")}));
    // Without the list, the division by zero is a failure like any other.
    slt::FileReport bare = run({});
    EXPECT_EQ(bare.failed, 5);
    EXPECT_EQ(bare.expected, 0);
}

TEST_F(RunnerTest, RefusesMalformedDifferences) {
    std::filesystem::create_directories(work_);
    for (const char* text :
         {"runner.test:5 error 8134\n", "[reason]\nrunner.test:5 error\n",
          "[reason]\nrunner.test:5 rows\n", "[reason]\nrunner.test 5 values\n"}) {
        std::ofstream(work_ / "bad") << text;
        slt::Differences differences;
        std::string error;
        EXPECT_FALSE(slt::loadDifferences(work_ / "bad", differences, error)) << text;
        EXPECT_NE(error.find("malformed line"), std::string::npos) << error;
    }
}

TEST(RunnerHash, HashesValuesAsTheCorpusDoes) {
    EXPECT_EQ(slt::hashValues({"1", "2", "3"}), "c0710d6b4f15dfa88f600b0e6b624077");
}

}  // namespace
