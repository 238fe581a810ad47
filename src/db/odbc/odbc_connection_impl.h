// Internal to the ODBC driver: the connection class and its row writer, shared by
// odbc_connection.cpp and odbc_row_writer.cpp. Thread-compatible.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/odbc/odbc_statement.h"

namespace db::odbc {

class OdbcConnection final : public Connection {
public:
    OdbcConnection(ConnectionSettings settings, std::string driver, Encoding encoding);
    ~OdbcConnection() override;

    Status open();
    SQLHDBC dbc() const { return dbc_; }
    const Codec& codec() const { return codec_; }
    bool inUserTransaction() const { return inTransaction_; }
    std::string quoteIdentifier(std::string_view name) const;
    // Runs `work` inside a transaction of its own unless the caller has one open; the
    // transaction is committed when `work` succeeds and rolled back otherwise.
    Status guarded(const std::function<Status()>& work);

    // Whether updatable sets may send their rows in batches: the driver is one for SQL Server
    // (parameter arrays, IMPLICIT_TRANSACTIONS) and the caller has no transaction open (inside
    // one, a refused row stays a refusal within it and undoing is the caller's rollback).
    bool sendsBatches() const { return batchable_ && !inTransaction_; }
    // Whether statements sent once per row are prepared once (the SQL Server drivers).
    bool preparesRows() const { return batchable_; }
    // Batches run with IMPLICIT_TRANSACTIONS ON, each in a transaction that endBatch() commits,
    // or rolls back when any row of it went wrong. Under that mode every statement opens a
    // transaction when none is open, so a batch is undone whole even when the server ended its
    // transaction in the middle (a deadlock): the statements after that point opened another,
    // which the rollback takes back. The mode stays on between batches and is turned off
    // (endBatches()) before anything else is sent on the connection, whose statements would
    // otherwise open transactions that nobody commits.
    Status beginBatches();
    Status endBatch(bool commit);
    void endBatches();

protected:
    bool doIsOpen() const override { return open_; }
    Status doExecute(std::string_view sql) override;
    Status doOpenRecordset(std::string_view sql, CursorType cursor, LockType lock,
                           OpenedSet& out) override;
    std::string doCurrentDatabase() override;
    void doClose() override;
    Status doBeginTransaction() override;
    Status doCommitTransaction() override;
    Status doRollbackTransaction() override;

private:
    Status setAutocommit(bool on);
    // A statement of the driver's own, traced as the caller's are.
    Status runOwnStatement(std::string_view sql);
    Status endTransaction(bool commit);
    std::unique_ptr<RowWriter> makeWriter(std::string_view sql, const std::vector<OdbcColumn>& columns);

    ConnectionSettings settings_;
    std::string driver_;
    SQLHDBC dbc_ = SQL_NULL_HDBC;
    bool open_ = false;
    bool inTransaction_ = false;
    bool batchable_ = false;
    bool inBatches_ = false;
    std::string quote_ = "\"";
    Codec codec_;
};

// Where the rows of an updatable set are written.
struct WriteTarget {
    std::string table;                      // quoted, schema-qualified when known
    std::vector<OdbcColumn> columns;        // the set's columns
    std::vector<std::string> baseColumns;   // per column, its name in the table; empty: read-only
    std::vector<size_t> keyColumns;         // columns that find a row; empty: every comparable one
};

std::unique_ptr<RowWriter> makeOdbcRowWriter(OdbcConnection& connection, WriteTarget target);

// The table of "SELECT <list> FROM <one table> [WHERE ...] [ORDER BY ...]", as written;
// nullopt for joins, several tables, subqueries in FROM or anything else.
std::optional<std::string> singleTableOf(std::string_view sql);

}  // namespace db::odbc
