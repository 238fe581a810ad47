// Client-side writing of the rows of updatable ODBC sets: UPDATE and INSERT statements
// against the base table, values always bound as parameters.
//
// A row is found by the set's key (its primary key or a unique index, all of whose columns it
// holds) or, without one, by the original values of every column it can compare. On SQL
// Server a keyless UPDATE is limited to one row (UPDATE TOP (1)): rows equal in every column
// the set holds cannot be told apart by anything the set knows, and since a walk gives such
// rows the same changes, writing one of them per save leaves the table as writing each by its
// identity does (the embedded engine's way), where an unlimited UPDATE would touch them all and
// be refused. Every UPDATE then touches at most one row, needs no transaction of its own to undo
// a statement that touched several, and is prepared once and run for every row. Rows queued by
// deferred saves go in batches of parameter sets, one round trip each, inside a transaction per
// flush: when any set of a batch fails or misses its row, the whole batch is rolled back and its
// rows are sent again one by one, so that every row gets exactly the outcome it gets when sent
// alone, and no refusal or aborted batch spreads to its neighbours. Other drivers run each
// keyless UPDATE in a transaction of its own, undone when it touched several rows.
#include <algorithm>
#include <map>
#include <memory>

#include "db/odbc/odbc_connection_impl.h"
#include "db/odbc/odbc_parameters.h"
#include "db/odbc/odbc_support.h"

namespace db::odbc {

namespace {

// Rows sent in one round trip. Large enough that the other statements of a run outnumber
// the batches, small enough that a batch sent again row by row after a refusal costs little.
constexpr size_t kRowsPerBatch = 1000;

Error tooManyRows() {
    return Error{client_error::kRowNotLocated, 0, "",
                 "Key column information is insufficient or incorrect. Too many rows were affected by update."};
}

// One row's UPDATE: its text and parameters, or an outcome known without sending anything.
struct RowStatement {
    std::optional<Status> known;
    std::string sql;
    Parameters params;
    std::string shape;  // text and parameter shape: rows of one shape share a prepared statement

    explicit RowStatement(Codec codec) : params(codec) {}
};

class OdbcRowWriter final : public RowWriter {
public:
    OdbcRowWriter(OdbcConnection& connection, WriteTarget target)
        : connection_(connection), target_(std::move(target)) {}

    Status updateRow(size_t, const std::vector<Variant>& original,
                     const std::vector<std::optional<Variant>>& changes) override {
        RowStatement statement = updateStatement(original, changes);
        if (statement.known) return *statement.known;
        if (connection_.preparesRows()) return sendOne(statement);
        return run("update", statement.sql, statement.params, true);
    }

    std::optional<Status> queueUpdate(size_t row, const std::vector<Variant>& original,
                                      const std::vector<std::optional<Variant>>& changes) override {
        // This cannot change while rows are queued: the connection sends them before anything
        // that could open a transaction.
        if (!connection_.sendsBatches()) return updateRow(row, original, changes);
        queue_.push_back(updateStatement(original, changes));
        return std::nullopt;
    }

    bool queueFull() const override { return queue_.size() >= kRowsPerBatch; }

    std::vector<Status> flush() override {
        std::vector<RowStatement> rows = std::move(queue_);
        queue_.clear();
        std::vector<Status> outcomes(rows.size());
        std::vector<size_t> toSend;
        for (size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].known) {
                outcomes[i] = *rows[i].known;
            } else {
                toSend.push_back(i);
            }
        }
        if (toSend.size() > 1 && sendBatch(rows, toSend)) return outcomes;
        for (size_t i : toSend) outcomes[i] = sendOne(rows[i]);
        return outcomes;
    }

    Status insertRow(size_t, const std::vector<std::optional<Variant>>& values, std::vector<Variant>& stored) override {
        std::string columns, markers;
        Parameters params(connection_.codec());
        for (size_t i = 0; i < values.size(); ++i) {
            if (!values[i]) continue;
            if (target_.baseColumns[i].empty()) return Status(readOnlyColumn(i));
            columns.append(params.size() ? "," : "").append(quoted(i));
            markers += params.size() ? ",?" : "?";
            params.add(*values[i], target_.columns[i]);
        }
        const std::string sql = params.size() == 0
                                    ? "INSERT INTO " + target_.table + " DEFAULT VALUES"
                                    : "INSERT INTO " + target_.table + " (" + columns + ") VALUES (" + markers + ")";
        Status inserted = run("insert", sql, params, false);
        if (inserted) rereadByKey(values, stored);
        return inserted;
    }

private:
    bool keyed() const { return !target_.keyColumns.empty(); }

    // A base column's name as statements write it, quoted once for every row.
    const std::string& quoted(size_t column) {
        if (quotedColumns_.empty()) {
            for (const std::string& name : target_.baseColumns)
                quotedColumns_.push_back(name.empty() ? std::string() : connection_.quoteIdentifier(name));
        }
        return quotedColumns_[column];
    }

    RowStatement updateStatement(const std::vector<Variant>& original,
                                 const std::vector<std::optional<Variant>>& changes) {
        RowStatement statement(connection_.codec());
        std::string& sql = statement.sql;
        sql = std::string(!keyed() && connection_.preparesRows() ? "UPDATE TOP (1) " : "UPDATE ") + target_.table +
              " SET ";
        bool any = false;
        for (size_t i = 0; i < changes.size(); ++i) {
            if (!changes[i]) continue;
            if (target_.baseColumns[i].empty()) {
                statement.known = Status(readOnlyColumn(i));
                return statement;
            }
            sql.append(any ? ", " : "").append(quoted(i)).append("=?");
            statement.params.add(*changes[i], target_.columns[i]);
            any = true;
        }
        if (!any) {
            statement.known = Status::success();
            return statement;
        }
        // The row is found by its key and the original values of what changes (so that a
        // change made meanwhile by someone else is not overwritten), or, without a key, by
        // the original values of every column that can be compared.
        std::vector<size_t> where = target_.keyColumns;
        for (size_t i = 0; i < changes.size(); ++i) {
            const bool comparable = !target_.baseColumns[i].empty() && !isLongType(target_.columns[i].info.type);
            const bool wanted = target_.keyColumns.empty() ? comparable : (changes[i].has_value() && comparable);
            if (wanted && std::find(where.begin(), where.end(), i) == where.end()) where.push_back(i);
        }
        sql += " WHERE ";
        for (size_t n = 0; n < where.size(); ++n) {
            const size_t i = where[n];
            sql.append(n ? " AND " : "").append(quoted(i));
            if (original[i].isNull()) {
                sql += " IS NULL";
            } else {
                sql += "=?";
                statement.params.add(original[i], target_.columns[i]);
            }
        }
        statement.shape = sql + "\n" + statement.params.shape();
        return statement;
    }

    PreparedRows& prepared(const RowStatement& statement) {
        std::unique_ptr<PreparedRows>& p = prepared_[statement.shape];
        if (!p) p = std::make_unique<PreparedRows>(connection_.dbc(), connection_.codec(), statement.sql);
        return *p;
    }

    // A row's UPDATE on its own, outside any batch: refused, missing its row or written.
    Status sendOne(RowStatement& statement) {
        connection_.endBatches();
        const PreparedRows::Outcome sent = prepared(statement).run({&statement.params});
        Status status;
        if (sent.rc == SQL_ERROR || !sent.errors.empty()) {
            status = Status(sent.errors);
        } else if (sent.rows == 0 || sent.rc == SQL_NO_DATA) {
            status = Status(client_error::rowNotLocated());
        } else if (sent.rows > 1) {
            status = Status(tooManyRows());
        }
        connection_.traceStatement("update", statement.sql, status);
        return status;
    }

    // The rows `which` of `rows`, in order, as arrays of parameter sets (one per run of rows of
    // the same shape) inside one transaction. False when the batch had to be rolled back: a set
    // was refused, missed its row, or the server stopped short; nothing of it is then written.
    bool sendBatch(std::vector<RowStatement>& rows, const std::vector<size_t>& which) {
        if (!connection_.beginBatches()) return false;
        std::optional<Status> trouble;
        for (size_t a = 0; a < which.size() && !trouble;) {
            const RowStatement& first = rows[which[a]];
            size_t b = a;
            std::vector<const Parameters*> sets;
            while (b < which.size() && rows[which[b]].shape == first.shape) sets.push_back(&rows[which[b++]].params);
            const PreparedRows::Outcome sent = prepared(first).run(sets);
            // No set touches more than one row, so a total of one per set means each found its own.
            const bool clean = sent.rc != SQL_ERROR && sent.errors.empty() && sent.processed == sets.size() &&
                               sent.succeeded == sets.size() && sent.rows == static_cast<SQLLEN>(sets.size());
            if (clean) {
                for (size_t i = a; i < b; ++i) connection_.traceStatement("update", rows[which[i]].sql, Status::success());
            } else {
                trouble = sent.errors.empty() ? Status(client_error::rowNotLocated()) : Status(sent.errors);
                connection_.traceStatement(
                    "update", "/* " + std::to_string(sets.size()) + " rows in one batch, undone */ " + first.sql,
                    *trouble);
            }
            a = b;
        }
        if (!trouble && connection_.endBatch(true)) return true;
        // A commit that failed may have left the transaction open.
        connection_.endBatch(false);
        return false;
    }

    // A new row found again by its key (when every key column was assigned), so that the
    // set holds the defaults the server gave the columns left unassigned. Without a key
    // the row keeps the assigned values only; a failure to read it again changes nothing.
    void rereadByKey(const std::vector<std::optional<Variant>>& values, std::vector<Variant>& stored) {
        if (target_.keyColumns.empty()) return;
        std::string select, where;
        std::vector<size_t> read;
        Parameters params(connection_.codec());
        for (size_t i = 0; i < target_.baseColumns.size(); ++i) {
            if (target_.baseColumns[i].empty()) continue;
            select += (read.empty() ? "" : ",") + connection_.quoteIdentifier(target_.baseColumns[i]);
            read.push_back(i);
        }
        for (size_t k : target_.keyColumns) {
            if (!values[k] || values[k]->isNull()) return;
            where += (where.empty() ? "" : " AND ") + connection_.quoteIdentifier(target_.baseColumns[k]) + "=?";
            params.add(*values[k], target_.columns[k]);
        }
        const std::string sql = "SELECT " + select + " FROM " + target_.table + " WHERE " + where;
        std::vector<OdbcColumn> columns;
        RowSet rows;
        Status status;
        if (connection_.preparesRows()) {
            // Sent once per new row: prepared once.
            std::unique_ptr<PreparedRows>& probe = prepared_[sql + "\n" + params.shape()];
            if (!probe) probe = std::make_unique<PreparedRows>(connection_.dbc(), connection_.codec(), sql);
            status = probe->query(params, columns, rows);
        } else {
            Statement stmt(connection_.dbc(), connection_.codec());
            status = params.bind(stmt.handle());
            if (status) status = stmt.executeQuery(sql, columns, rows);
        }
        connection_.traceStatement("open", sql, status);
        if (!status || rows.rows.size() != 1) return;
        for (size_t n = 0; n < read.size(); ++n) stored[read[n]] = rows.rows[0][n];
    }

    Error readOnlyColumn(size_t i) const {
        return Error{client_error::kNotUpdatable, 0, "",
                     "The field " + target_.columns[i].info.name + " does not come from table " + target_.table +
                         " and cannot be written."};
    }

    // Runs the statement directly. An UPDATE that may touch several rows (no key) runs in a
    // transaction of its own (unless the caller has one open), so that one that found no row
    // or several rows is undone; inside the caller's transaction the refusal is reported and
    // undoing is the caller's rollback. A single INSERT needs no such transaction.
    Status run(std::string_view kind, const std::string& sql, Parameters& params, bool exactlyOneRow) {
        auto work = [&]() -> Status {
            Statement stmt(connection_.dbc(), connection_.codec());
            if (!stmt.valid()) return Status(Error{client_error::kErrorsInCommand, 0, "HY001", "Cannot allocate an ODBC statement handle."});
            if (Status s = params.bind(stmt.handle()); !s) return s;
            const SQLRETURN rc = execDirect(connection_.codec(), stmt.handle(), sql);
            if (rc == SQL_ERROR) {
                auto errors = stmt.errors();
                if (errors.empty()) errors.push_back(Error{client_error::kErrorsInCommand, 0, "", "The statement failed."});
                return Status(errors);
            }
            if (rc == SQL_SUCCESS_WITH_INFO) {
                if (auto errors = stmt.errors(); !errors.empty()) return Status(errors);
            }
            if (!exactlyOneRow) return Status::success();
            SQLLEN rows = -1;
            SQLRowCount(stmt.handle(), &rows);
            if (rows == 0 || rc == SQL_NO_DATA) return Status(client_error::rowNotLocated());
            if (rows > 1) return Status(tooManyRows());
            return Status::success();
        };
        connection_.endBatches();
        Status outcome = exactlyOneRow && !keyed() ? connection_.guarded(work) : work();
        connection_.traceStatement(kind, sql, outcome);
        return outcome;
    }

    OdbcConnection& connection_;
    WriteTarget target_;
    std::vector<std::string> quotedColumns_;  // by column; see quoted()
    std::vector<RowStatement> queue_;
    // Statements prepared for this set, by shape; freed (unprepared) with the set.
    std::map<std::string, std::unique_ptr<PreparedRows>> prepared_;
};

}  // namespace

std::unique_ptr<RowWriter> makeOdbcRowWriter(OdbcConnection& connection, WriteTarget target) {
    return std::make_unique<OdbcRowWriter>(connection, std::move(target));
}

}  // namespace db::odbc
