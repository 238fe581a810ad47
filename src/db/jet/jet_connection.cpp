#include "db/jet/jet_connection.h"

#include <cctype>

#include "db/jet/jet_condition.h"
#include "db/jet/jet_file.h"
#include "db/text_util.h"

namespace db::jet {

namespace {

class JetConnection final : public Connection {
public:
    JetConnection(std::filesystem::path path, std::unique_ptr<JetFile> file)
        : Connection(path.filename().string()), path_(std::move(path)), file_(std::move(file)) {}

protected:
    bool doIsOpen() const override { return file_ != nullptr; }
    Status doExecute(std::string_view) override { return readOnly(); }
    Status doOpenRecordset(std::string_view sql, CursorType, LockType, OpenedSet& out) override {
        auto select = parseJetSelect(sql);
        if (!select) {
            return Status(jetError(jet_error::kSyntaxError,
                                   "Only \"SELECT <columns> FROM <table> [WHERE <condition>]\" can be read from the "
                                   "base-data file: " + std::string(sql)));
        }
        RowSet all;
        if (Status s = file_->readTable(select->table, select->condition, all); !s) return s;
        if (select->columns.empty()) {
            out.rows = std::move(all);
            return Status::success();
        }
        std::vector<size_t> picked;
        for (const auto& name : select->columns) {
            size_t index = all.fields.size();
            for (size_t i = 0; i < all.fields.size(); ++i) {
                if (equalsIgnoreCase(all.fields[i].name, name)) index = i;
            }
            if (index == all.fields.size()) {
                return Status(jetError(jet_error::kUnknownName,
                                       "No value given for one or more required parameters (unknown name '" + name + "')."));
            }
            picked.push_back(index);
            out.rows.fields.push_back(all.fields[index]);
        }
        for (auto& row : all.rows) {
            std::vector<Variant> projected;
            for (size_t index : picked) projected.push_back(std::move(row[index]));
            out.rows.rows.push_back(std::move(projected));
        }
        return Status::success();
    }
    std::string doCurrentDatabase() override { return path_.string(); }
    void doClose() override { file_.reset(); }
    Status doBeginTransaction() override { return readOnly(); }
    Status doCommitTransaction() override { return readOnly(); }
    Status doRollbackTransaction() override { return readOnly(); }

private:
    static Status readOnly() { return Status(client_error::notSupported("the base-data file is only read")); }

    std::filesystem::path path_;
    std::unique_ptr<JetFile> file_;
};

std::unique_ptr<Connection> closedWith(const std::string& name, const Status& status) {
    auto closed = std::make_unique<ClosedConnection>(name);
    // No connection string here: the trace gets the reason, so that it says why the file is not used.
    closed->traceStatement("connect", status.error().description, status);
    closed->setPendingError(status);
    return closed;
}

// Next word or bracketed name at `i`, skipping blanks; empty at the end.
std::string nextName(std::string_view s, size_t& i) {
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    if (i < s.size() && s[i] == '[') {
        const size_t close = s.find(']', i);
        if (close == std::string_view::npos) return "";
        std::string name(s.substr(i + 1, close - i - 1));
        i = close + 1;
        return name;
    }
    const size_t start = i;
    while (i < s.size() && (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '_' || s[i] == '*' ||
                            static_cast<unsigned char>(s[i]) >= 0x80)) {
        ++i;
    }
    return std::string(s.substr(start, i - start));
}

void skipBlanks(std::string_view s, size_t& i) {
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
}

}  // namespace

std::optional<JetSelect> parseJetSelect(std::string_view sql) {
    size_t i = 0;
    if (!equalsIgnoreCase(nextName(sql, i), "SELECT")) return std::nullopt;
    JetSelect select;
    for (;;) {
        const std::string name = nextName(sql, i);
        if (name.empty()) return std::nullopt;
        if (name != "*") select.columns.push_back(name);
        skipBlanks(sql, i);
        if (i < sql.size() && sql[i] == ',') {
            ++i;
            continue;
        }
        break;
    }
    if (!equalsIgnoreCase(nextName(sql, i), "FROM")) return std::nullopt;
    select.table = nextName(sql, i);
    if (select.table.empty() || select.table == "*") return std::nullopt;
    skipBlanks(sql, i);
    if (i == sql.size()) return select;
    if (!equalsIgnoreCase(nextName(sql, i), "WHERE")) return std::nullopt;
    select.condition = std::string(trimBlanks(sql.substr(i)));
    if (select.condition.empty()) return std::nullopt;
    return select;
}

std::unique_ptr<Connection> openJetFile(const std::filesystem::path& file) {
    std::unique_ptr<JetFile> jet;
    if (Status s = JetFile::open(file, jet); !s) return closedWith(file.filename().string(), s);
    auto connection = std::make_unique<JetConnection>(file, std::move(jet));
    connection->traceStatement("connect", "", Status::success());
    return connection;
}

std::unique_ptr<Connection> openBaseDataFile(const std::filesystem::path& programDir) {
    const auto file = findBaseDataFile(programDir);
    if (!file) {
        return closedWith("Datos Base.MDB",
                          Status(jetError(jet_error::kFileNotFound,
                                          "Could not find file '" + (programDir / "Include" / "Datos Base.MDB").string() + "'.")));
    }
    return openJetFile(*file);
}

}  // namespace db::jet
