#include "updates/central/scripted_connection.h"

#include <algorithm>
#include <cctype>

namespace central_test {
namespace {

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

constexpr std::string_view kUserTableProbe = "Select name from sysobjects where xtype='U' and name='";

}  // namespace

class ScriptedConnection::Writer final : public db::RowWriter {
  public:
    Writer(ScriptedConnection& owner, std::string sql) : owner_(owner), sql_(std::move(sql)) {}

    db::Status updateRow(size_t row, const std::vector<db::Variant>&,
                         const std::vector<std::optional<db::Variant>>& changes) override {
        return Save(row, false, changes);
    }
    db::Status insertRow(size_t row,
                         const std::vector<std::optional<db::Variant>>& values) override {
        return Save(row, true, values);
    }

  private:
    db::Status Save(size_t row, bool inserted,
                    const std::vector<std::optional<db::Variant>>& values) {
        auto failure = owner_.save_failures_.find({sql_, row});
        if (failure != owner_.save_failures_.end()) return db::Status(failure->second);
        owner_.saved_.push_back({sql_, row, inserted, values});
        return db::Status::success();
    }

    ScriptedConnection& owner_;
    std::string sql_;
};

ScriptedConnection::ScriptedConnection(std::string database)
    : db::Connection(database), database_(std::move(database)) {}

void ScriptedConnection::AddTable(std::string name) { tables_.insert(Upper(name)); }

void ScriptedConnection::FailSave(std::string sql, size_t row, db::Error error) {
    save_failures_[{std::move(sql), row}] = std::move(error);
}

std::vector<std::string> ScriptedConnection::SentTexts() const {
    std::vector<std::string> texts;
    for (const Sent& s : sent_) texts.push_back(s.sql);
    return texts;
}

db::RowSet ScriptedConnection::Rows(std::vector<std::string> columns,
                                    std::vector<std::vector<db::Variant>> rows) {
    db::RowSet set;
    for (std::string& name : columns) {
        db::FieldInfo field;
        field.name = std::move(name);
        field.type = db::FieldType::VarChar;
        set.fields.push_back(std::move(field));
    }
    set.rows = std::move(rows);
    return set;
}

db::Error ScriptedConnection::ServerError(int native, std::string description) {
    db::Error error;
    error.number = db::client_error::kErrorsInCommand;
    error.nativeError = native;
    error.description = std::move(description);
    return error;
}

db::Status ScriptedConnection::doExecute(std::string_view sql) {
    sent_.push_back({"execute", std::string(sql)});
    auto failure = execute_failures_.find(sql);
    if (failure != execute_failures_.end()) return db::Status(failure->second);
    return db::Status::success();
}

std::optional<db::RowSet> ScriptedConnection::CatalogueAnswer(std::string_view sql) const {
    if (!sql.starts_with(kUserTableProbe) || !sql.ends_with("'")) return std::nullopt;
    std::string_view name = sql.substr(kUserTableProbe.size());
    name.remove_suffix(1);
    std::vector<std::vector<db::Variant>> rows;
    if (tables_.count(Upper(name)) != 0) rows.push_back({db::Variant::text(std::string(name))});
    return Rows({"name"}, std::move(rows));
}

db::Status ScriptedConnection::doOpenRecordset(std::string_view sql, db::CursorType,
                                               db::LockType, OpenedSet& out) {
    sent_.push_back({"open", std::string(sql)});
    auto failure = open_failures_.find(sql);
    if (failure != open_failures_.end()) return db::Status(failure->second);
    auto scripted = results_.find(sql);
    if (scripted != results_.end()) {
        out.rows = scripted->second;
    } else if (auto catalogue = CatalogueAnswer(sql)) {
        out.rows = std::move(*catalogue);
    }
    out.writer = std::make_unique<Writer>(*this, std::string(sql));
    return db::Status::success();
}

void ScriptedConnection::doClose() {
    ++closes_;
    open_ = false;
}

}  // namespace central_test
