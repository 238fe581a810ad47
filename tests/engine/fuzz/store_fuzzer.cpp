// libFuzzer target: arbitrary bytes as snapshot and journal files, and as record payloads
// framed with correct checksums (see store_fuzz_harness.h for the input layout and the
// invariants). Built and run by tests/engine/fuzz/run-store-fuzzer (clang,
// -fsanitize=fuzzer,address,undefined).
//
// With STORE_FUZZER_SEEDS=DIR and STORE_FUZZER_SEEDS_FROM=DATA set it writes seed inputs
// made from database S of data directory DATA into DIR and exits.
#include <cstdlib>
#include <string>

#include "store_fuzz_harness.h"

namespace {

// Seeds from the files of database S in data directory `from` (made by the run script with
// sqlshell, its journal still holding statements): each file whole, and the payloads of
// their records to be framed again.
void writeSeeds(const std::filesystem::path& from, const std::filesystem::path& out) {
    namespace fs = std::filesystem;
    fs::create_directories(out);
    auto emit = [&](const std::string& name, char kind, const std::string& bytes) {
        store_fuzz::writeFile(out / name, std::string(1, kind) + bytes);
    };
    const std::string snapshot = store_fuzz::readFile(from / "S.sdb");
    const std::string journal = store_fuzz::readFile(from / "S.sjl");
    emit("snapshot", 0, snapshot);
    emit("journal", 1, journal);
    // Each file's record payloads, to be framed again: snapshot records after the header,
    // journal records after theirs.
    std::string snapshotRecords, journalRecords;
    const size_t header = 8 + 4 + 4 + 8 + 1 + 1 + 1 + 4;  // name "S"
    for (size_t at = header; at + 8 <= snapshot.size();) {
        std::string_view in(snapshot.data() + at, 4);
        uint32_t length = 0;
        engine::store::getFixed32(in, length);
        if (length == 0 || at + 8 + length > snapshot.size()) break;
        engine::store::putVarint(snapshotRecords, length);
        snapshotRecords += snapshot.substr(at + 8, length);
        at += 8 + length;
    }
    for (size_t at = 16; at + 24 <= journal.size();) {
        std::string_view in(journal.data() + at + 4, 4);
        uint32_t length = 0;
        engine::store::getFixed32(in, length);
        if (at + 24 + length > journal.size()) break;
        std::string one;
        engine::store::putVarint(one, length);
        one += journal.substr(at + 24, length);
        emit("journal-record-" + std::to_string(at), 3, one);
        journalRecords += one;
        at += 24 + length;
    }
    emit("snapshot-records", 2, snapshotRecords);
    emit("journal-records", 3, journalRecords);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* from = std::getenv("STORE_FUZZER_SEEDS_FROM");
    if (const char* seeds = std::getenv("STORE_FUZZER_SEEDS"); seeds && from) {
        writeSeeds(from, seeds);
        std::exit(0);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    store_fuzz::runOne(data, size);
    return 0;
}
