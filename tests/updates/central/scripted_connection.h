// A connection for tests that need exact control over what the server answers: every
// statement text sent is recorded in order, and the answers are scripted per exact text
// (a failure with a given error, or the rows of a record set). Statements nobody scripted
// succeed and record sets nobody scripted open empty. The catalogue probe for user tables
// ("Select name from sysobjects where xtype='U' and name='...'") is answered from a list of
// table names, compared without regard to case as the server's collation does.
//
// Rows saved through updatable sets are recorded with the values assigned; a row can be
// scripted to refuse its save.
//
// Thread safety: none; one test thread.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "db/connection.h"

namespace central_test {

class ScriptedConnection final : public db::Connection {
  public:
    explicit ScriptedConnection(std::string database = "Vardex");

    // --- the script ---
    void FailExecute(std::string sql, db::Error error) { execute_failures_[std::move(sql)] = error; }
    void SetRows(std::string sql, db::RowSet rows) { results_[std::move(sql)] = std::move(rows); }
    void FailOpen(std::string sql, db::Error error) { open_failures_[std::move(sql)] = error; }
    void AddTable(std::string name);
    // The save of row `row` of a set opened on `sql` fails with `error`.
    void FailSave(std::string sql, size_t row, db::Error error);
    void SetOpen(bool open) { open_ = open; }

    // --- what was sent ---
    struct Sent {
        std::string kind;  // "execute" or "open"
        std::string sql;
    };
    struct Saved {
        std::string sql;  // the text the set was opened on
        size_t row;
        bool inserted;
        std::vector<std::optional<db::Variant>> values;  // per field; nullopt where unassigned
    };
    const std::vector<Sent>& sent() const { return sent_; }
    // Only the statement texts, in order.
    std::vector<std::string> SentTexts() const;
    const std::vector<Saved>& saved() const { return saved_; }
    int closes() const { return closes_; }

    // A record-set description: named columns, all of one type.
    static db::RowSet Rows(std::vector<std::string> columns,
                           std::vector<std::vector<db::Variant>> rows);
    // A server error as the engine and SQL Server report it.
    static db::Error ServerError(int native, std::string description);

  protected:
    bool doIsOpen() const override { return open_; }
    db::Status doExecute(std::string_view sql) override;
    db::Status doOpenRecordset(std::string_view sql, db::CursorType cursor, db::LockType lock,
                               OpenedSet& out) override;
    std::string doCurrentDatabase() override { return database_; }
    void doClose() override;
    db::Status doBeginTransaction() override { return db::Status::success(); }
    db::Status doCommitTransaction() override { return db::Status::success(); }
    db::Status doRollbackTransaction() override { return db::Status::success(); }

  private:
    class Writer;
    std::optional<db::RowSet> CatalogueAnswer(std::string_view sql) const;

    std::string database_;
    bool open_ = true;
    int closes_ = 0;
    std::map<std::string, db::Error, std::less<>> execute_failures_;
    std::map<std::string, db::Error, std::less<>> open_failures_;
    std::map<std::string, db::RowSet, std::less<>> results_;
    std::map<std::pair<std::string, size_t>, db::Error> save_failures_;
    std::set<std::string> tables_;  // upper case
    std::vector<Sent> sent_;
    std::vector<Saved> saved_;
};

}  // namespace central_test
