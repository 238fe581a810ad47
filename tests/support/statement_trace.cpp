#include "support/statement_trace.h"

#include <filesystem>

namespace test_support {

StatementTrace::StatementTrace()
    : file_((dir_.path() / "trace.txt").string()), env_("ACTUALIZA_TRACE", file_) {}

std::vector<db::trace::Record> StatementTrace::Records() const {
    return db::trace::readFile(file_);
}

std::vector<std::string> StatementTrace::Statements(const std::string& kind) const {
    std::vector<std::string> out;
    for (const auto& record : Records()) {
        if (kind.empty() || record.kind == kind) out.push_back(record.statement);
    }
    return out;
}

void StatementTrace::Clear() {
    std::error_code ignored;
    std::filesystem::remove(file_, ignored);
}

}  // namespace test_support
