// Every input the store fuzzer recorded (tests/engine/fuzz/store-corpus: inputs that reach
// distinct code; store-findings: inputs that once broke the loader) run again through the
// fuzzer's harness in the ordinary build: a change that brings a finding back fails here.
#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz/store_fuzz_harness.h"

namespace {

TEST(StoreFuzzCorpus, EveryRecordedInputLoadsOrIsRefusedCleanly) {
    size_t inputs = 0;
    for (const char* folder : {"store-corpus", "store-findings"}) {
        const std::filesystem::path dir = std::filesystem::path(STORE_FUZZ_DIR) / folder;
        if (!std::filesystem::exists(dir)) continue;
        for (const auto& file : std::filesystem::directory_iterator(dir)) {
            SCOPED_TRACE(file.path().string());
            const std::string bytes = store_fuzz::readFile(file.path());
            store_fuzz::runOne(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            ++inputs;
        }
    }
    EXPECT_GT(inputs, 50u);
    std::filesystem::remove_all(store_fuzz::directory());
}

}  // namespace
