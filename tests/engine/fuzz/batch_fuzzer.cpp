// libFuzzer target: arbitrary bytes as a T-SQL batch. The parser must never crash, and a
// batch that parses must run to messages or results on a live session, never crash it.
// Built and run by tests/engine/fuzz/run-batch-fuzzer (clang, -fsanitize=fuzzer,address).
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "engine/session.h"
#include "engine/sql/parser.h"

namespace {

engine::Session& session() {
    static std::unique_ptr<engine::Session> s = [] {
        auto dir =
            std::filesystem::temp_directory_path() / ("engine-fuzz-" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir);
        engine::SessionOptions options;
        options.createDataDirectory = true;
        auto opened = engine::Session::open(dir, "", options);
        opened.session->execute(
            "CREATE TABLE T (a int PRIMARY KEY, b varchar(10) DEFAULT 'x', c decimal(5,2)) "
            "INSERT T VALUES (1, 'uno', 1.5), (2, NULL, NULL)");
        return std::move(opened.session);
    }();
    return *s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    auto parsed = engine::sql::parseBatch(text);
    // Loops could run for ever on purpose; everything else is run.
    if (parsed.ok() && text.find("WHILE") == std::string::npos &&
        text.find("while") == std::string::npos && text.find("While") == std::string::npos) {
        session().execute(text);
    }
    return 0;
}
