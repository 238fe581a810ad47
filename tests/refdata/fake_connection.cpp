#include "refdata/fake_connection.h"

#include <memory>
#include <stdexcept>

#include "db/text_util.h"

namespace refdata::testing {

FakeTable FakeTable::WithColumns(std::initializer_list<std::string_view> names) {
    FakeTable table;
    for (std::string_view name : names) {
        db::FieldInfo field;
        field.name = std::string(name);
        field.type = db::FieldType::VarChar;
        table.fields.push_back(field);
    }
    return table;
}

std::size_t FakeTable::Column(std::string_view name) const {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (db::equalsIgnoreCase(fields[i].name, name)) return i;
    }
    throw std::out_of_range("no column " + std::string(name));
}

const db::Variant& FakeTable::At(std::size_t row, std::string_view column) const {
    return rows.at(row).at(Column(column));
}

std::string FakeTable::Text(std::size_t row, std::string_view column) const {
    return At(row, column).toText();
}

namespace {

db::Error Refusal(int nativeError, std::string description) {
    db::Error error;
    error.number = db::client_error::kErrorsInCommand;
    error.nativeError = nativeError;
    error.description = std::move(description);
    return error;
}

// Writes through to the declared table; `rowIndex` maps the set's rows to the table's.
class FakeWriter : public db::RowWriter {
  public:
    FakeWriter(FakeTable& table, std::vector<std::size_t> rowIndex,
               const FakeConnection::RowPredicate& accept)
        : table_(table), rowIndex_(std::move(rowIndex)), accept_(accept) {}

    db::Status updateRow(std::size_t row, const std::vector<db::Variant>&,
                         const std::vector<std::optional<db::Variant>>& changes) override {
        Row stored = table_.rows.at(rowIndex_.at(row));
        for (std::size_t i = 0; i < changes.size(); ++i) {
            if (changes[i]) stored[i] = *changes[i];
        }
        if (accept_ && !accept_(stored)) return Refused();
        table_.rows[rowIndex_[row]] = std::move(stored);
        return db::Status::success();
    }

    db::Status insertRow(std::size_t, const std::vector<std::optional<db::Variant>>& values,
                         std::vector<db::Variant>& stored) override {
        Row row(table_.fields.size());
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (values[i]) row[i] = *values[i];
        }
        if (accept_ && !accept_(row)) return Refused();
        stored = row;
        table_.rows.push_back(std::move(row));
        rowIndex_.push_back(table_.rows.size() - 1);
        return db::Status::success();
    }

  private:
    static db::Status Refused() {
        return db::Status(Refusal(2627, "Violation of PRIMARY KEY constraint"));
    }

    FakeTable& table_;
    std::vector<std::size_t> rowIndex_;
    const FakeConnection::RowPredicate& accept_;
};

}  // namespace

FakeConnection::FakeConnection(std::string database)
    : db::Connection(database), database_(std::move(database)) {}

void FakeConnection::Answer(std::string sql, FakeTable& table, RowPredicate where) {
    answers_[std::move(sql)] = Answered{&table, std::move(where)};
}

void FakeConnection::Fail(std::string sql, int nativeError, std::string description) {
    failures_[std::move(sql)] = Refusal(nativeError, std::move(description));
}

void FakeConnection::FailPrefix(std::string prefix, int nativeError, std::string description) {
    prefixFailures_.emplace_back(std::move(prefix), Refusal(nativeError, std::move(description)));
}

void FakeConnection::ColumnAlreadyThere(const std::string& table, const std::string& column) {
    FailPrefix("Alter Table " + table + " ADD " + column + " ", 2705,
               "Column names in each table must be unique. Column name '" + column +
                   "' in table '" + table + "' is specified more than once.");
}

void FakeConnection::OnExecute(std::string sql, std::function<void()> effect) {
    effects_[std::move(sql)] = std::move(effect);
}

std::vector<std::string> FakeConnection::Executed() const {
    std::vector<std::string> executed;
    for (const std::string& entry : sent) {
        if (entry.rfind("exec: ", 0) == 0) executed.push_back(entry.substr(6));
    }
    return executed;
}

db::Status FakeConnection::FailureFor(std::string_view sql) const {
    if (const auto failure = failures_.find(sql); failure != failures_.end()) {
        return db::Status(failure->second);
    }
    for (const auto& [prefix, error] : prefixFailures_) {
        if (sql.substr(0, prefix.size()) == prefix) return db::Status(error);
    }
    return db::Status::success();
}

db::Status FakeConnection::doExecute(std::string_view sql) {
    sent.push_back("exec: " + std::string(sql));
    if (db::Status failure = FailureFor(sql); !failure) return failure;
    if (const auto effect = effects_.find(sql); effect != effects_.end()) effect->second();
    return db::Status::success();
}

db::Status FakeConnection::doOpenRecordset(std::string_view sql, db::CursorType, db::LockType lock,
                                           OpenedSet& out) {
    sent.push_back("open: " + std::string(sql));
    if (db::Status failure = FailureFor(sql); !failure) return failure;
    const auto answer = answers_.find(sql);
    if (answer == answers_.end()) {
        return db::Status(Refusal(208, "Invalid object name in '" + std::string(sql) + "'."));
    }
    FakeTable& table = *answer->second.table;
    std::vector<std::size_t> rowIndex;
    out.rows.fields = table.fields;
    for (std::size_t i = 0; i < table.rows.size(); ++i) {
        if (answer->second.where && !answer->second.where(table.rows[i])) continue;
        out.rows.rows.push_back(table.rows[i]);
        rowIndex.push_back(i);
    }
    if (lock == db::LockType::Optimistic) {
        out.writer = std::make_unique<FakeWriter>(table, std::move(rowIndex), acceptRow);
    }
    return db::Status::success();
}

db::Status FakeConnection::doBeginTransaction() {
    if (!supportsTransactions) {
        return db::Status(db::client_error::notSupported("transactions"));
    }
    transactions.push_back("begin");
    snapshot_.clear();
    for (auto& [sql, answered] : answers_)
        snapshot_.emplace_back(answered.table, answered.table->rows);
    return db::Status::success();
}

db::Status FakeConnection::doCommitTransaction() {
    transactions.push_back("commit");
    snapshot_.clear();
    return db::Status::success();
}

db::Status FakeConnection::doRollbackTransaction() {
    transactions.push_back("rollback");
    for (auto& [table, rows] : snapshot_)
        table->rows = rows;
    snapshot_.clear();
    return db::Status::success();
}

}  // namespace refdata::testing
