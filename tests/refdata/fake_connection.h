// A connection for the routines' tests that needs no server: it records every statement text
// it is sent, answers record-set opens from tables the test declares (with the rows the test's
// WHERE predicate keeps), lets the test refuse statements or row saves with a given native
// error, runs effects the test attaches to statements, and keeps transactions (a rollback puts
// the declared tables back as they were at the begin).
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "db/connection.h"

namespace refdata::testing {

using Row = std::vector<db::Variant>;

// Short spellings for the rows tests write.
inline db::Variant T(const char* text) {
    return db::Variant::text(text);
}
inline db::Variant I(int value) {
    return db::Variant::integer(value);
}
inline const db::Variant N = db::Variant::null();

struct FakeTable {
    std::vector<db::FieldInfo> fields;
    std::vector<Row> rows;

    // A table whose columns are varchar columns of these names.
    static FakeTable WithColumns(std::initializer_list<std::string_view> names);
    std::size_t Column(std::string_view name) const;
    const db::Variant& At(std::size_t row, std::string_view column) const;
    std::string Text(std::size_t row, std::string_view column) const;
};

class FakeConnection : public db::Connection {
  public:
    explicit FakeConnection(std::string database = "Empresa_0001");

    using RowPredicate = std::function<bool(const Row&)>;
    // Opening a set on exactly `sql` gives the rows of `table` that `where` keeps (all when it
    // is empty); saves through the set change `table`.
    void Answer(std::string sql, FakeTable& table, RowPredicate where = {});
    // Executing or opening `sql` fails with this native error.
    void Fail(std::string sql, int nativeError, std::string description = "refused");
    // Executing or opening any text that starts with `prefix` fails with this native error.
    void FailPrefix(std::string prefix, int nativeError, std::string description = "refused");
    // Adding `column` to `table` fails as it does on every run after the first: native error
    // 2705, the column is already there.
    void ColumnAlreadyThere(const std::string& table, const std::string& column);
    // Executing `sql` successfully runs `effect`.
    void OnExecute(std::string sql, std::function<void()> effect);
    // Saving a row (update or insert) of any table fails with native error 2627 when this
    // answers false for the row as it would be stored.
    RowPredicate acceptRow;
    bool supportsTransactions = true;

    // Statement texts executed or opened, in order, each prefixed "exec: " or "open: ".
    std::vector<std::string> sent;
    // "begin", "commit", "rollback", in order.
    std::vector<std::string> transactions;

    std::vector<std::string> Executed() const;

  protected:
    bool doIsOpen() const override { return true; }
    db::Status doExecute(std::string_view sql) override;
    db::Status doOpenRecordset(std::string_view sql, db::CursorType cursor, db::LockType lock,
                               OpenedSet& out) override;
    std::string doCurrentDatabase() override { return database_; }
    void doClose() override {}
    db::Status doBeginTransaction() override;
    db::Status doCommitTransaction() override;
    db::Status doRollbackTransaction() override;

  private:
    struct Answered {
        FakeTable* table;
        RowPredicate where;
    };
    db::Status FailureFor(std::string_view sql) const;

    std::string database_;
    std::map<std::string, Answered, std::less<>> answers_;
    std::map<std::string, db::Error, std::less<>> failures_;
    std::vector<std::pair<std::string, db::Error>> prefixFailures_;
    std::map<std::string, std::function<void()>, std::less<>> effects_;
    std::vector<std::pair<FakeTable*, std::vector<Row>>> snapshot_;
};

}  // namespace refdata::testing
