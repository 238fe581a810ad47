#include "db/embedded/embedded_connection.h"

#include "db/embedded/value_conversion.h"
#include "db/text_util.h"
#include <algorithm>

#include "engine/session.h"

namespace db::embedded {

namespace {

Error toError(const engine::SqlMessage& message, long number) {
    return Error{number, message.number, "", message.text};
}

std::vector<Error> errorsOf(const std::vector<engine::SqlMessage>& messages, long number) {
    std::vector<Error> errors;
    for (const auto& m : messages) {
        if (m.isError()) errors.push_back(toError(m, number));
    }
    return errors;
}

std::string quoteName(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"') out += '"';
    }
    return out + "\"";
}

class EmbeddedRowWriter final : public RowWriter {
public:
    EmbeddedRowWriter(Connection& connection, engine::Session& session, engine::TableIdentity table,
                      std::vector<FieldInfo> fields, std::vector<engine::RowId> rowIds)
        : connection_(connection),
          session_(session),
          table_(std::move(table)),
          fields_(std::move(fields)),
          rowIds_(std::move(rowIds)) {}

    Status updateRow(size_t row, const std::vector<Variant>& original,
                     const std::vector<std::optional<Variant>>& changes) override {
        PreparedUpdate update = prepareUpdate(row, original, changes);
        if (update.known) return *update.known;
        const engine::RowChange change =
            session_.updateRow(table_, update.row.row, update.row.assignments, update.row.expectedOriginal);
        return finish("update", update.text, change);
    }

    // Deferred saves go to the engine together: one hold of the database and one journal
    // record for the lot, every row with its own outcome.
    std::optional<Status> queueUpdate(size_t row, const std::vector<Variant>& original,
                                      const std::vector<std::optional<Variant>>& changes) override {
        queue_.push_back(prepareUpdate(row, original, changes));
        return std::nullopt;
    }

    bool queueFull() const override { return queue_.size() >= kRowsPerGroup; }

    std::vector<Status> flush() override {
        std::vector<PreparedUpdate> queued = std::move(queue_);
        queue_.clear();
        std::vector<engine::RowUpdate> rows;
        for (PreparedUpdate& u : queued) {
            if (!u.known) rows.push_back(std::move(u.row));
        }
        const std::vector<engine::RowChange> changes = session_.updateRows(table_, rows);
        std::vector<Status> outcomes;
        size_t next = 0;
        for (const PreparedUpdate& u : queued)
            outcomes.push_back(u.known ? *u.known : finish("update", u.text, changes[next++]));
        return outcomes;
    }

    Status insertRow(size_t row, const std::vector<std::optional<Variant>>& values,
                     std::vector<Variant>& stored) override {
        std::vector<engine::ColumnAssignment> assignments;
        std::string columns, markers;
        for (size_t i = 0; i < values.size(); ++i) {
            if (!values[i]) continue;
            if (fields_[i].baseColumn.empty()) return Status(readOnlyColumn(i));
            columns += std::string(assignments.empty() ? "" : ",") + quoteName(fields_[i].baseColumn);
            markers += assignments.empty() ? "?" : ",?";
            assignments.push_back({fields_[i].baseColumn, toEngineValue(*values[i])});
        }
        const std::string text = assignments.empty()
                                     ? "INSERT INTO " + quoteName(table_.name) + " DEFAULT VALUES"
                                     : "INSERT INTO " + quoteName(table_.name) + " (" + columns + ") VALUES (" + markers + ")";
        const engine::RowChange change = session_.insertRow(table_, assignments);
        Status status = finish("insert", text, change);
        if (status) {
            if (rowIds_.size() <= row) rowIds_.resize(row + 1, 0);
            rowIds_[row] = change.rowId;
            // The row as stored: defaults of the columns not assigned, values converted.
            for (size_t i = 0; i < fields_.size(); ++i) {
                for (size_t c = 0; c < change.columns.size() && c < change.row.size(); ++c) {
                    if (!fields_[i].baseColumn.empty() && equalsIgnoreCase(change.columns[c].name, fields_[i].baseColumn)) {
                        stored[i] = toVariant(change.row[c]);
                    }
                }
            }
        }
        return status;
    }

private:
    // Rows saved together at most; past it the queue is flushed.
    static constexpr size_t kRowsPerGroup = 1000;

    // A row's update for the engine, and the statement it stands for (for the trace), or
    // an outcome known without asking the engine.
    struct PreparedUpdate {
        std::optional<Status> known;
        engine::RowUpdate row;
        std::string text;
    };

    PreparedUpdate prepareUpdate(size_t row, const std::vector<Variant>& original,
                                 const std::vector<std::optional<Variant>>& changes) const {
        PreparedUpdate out;
        std::string& text = out.text;
        text = "UPDATE " + quoteName(table_.name) + " SET ";
        std::string where;
        for (size_t i = 0; i < changes.size(); ++i) {
            if (!changes[i]) continue;
            if (fields_[i].baseColumn.empty()) {
                out.known = Status(readOnlyColumn(i));
                return out;
            }
            text += std::string(out.row.assignments.empty() ? "" : ", ") + quoteName(fields_[i].baseColumn) + "=?";
            out.row.assignments.push_back({fields_[i].baseColumn, toEngineValue(*changes[i])});
            // The row must still hold what was read for the columns that change (long
            // text and image values cannot be compared and are left out).
            if (!isLongType(fields_[i].type)) {
                where += " AND " + quoteName(fields_[i].baseColumn) + (original[i].isNull() ? " IS NULL" : "=?");
                out.row.expectedOriginal.push_back({fields_[i].baseColumn, toEngineValue(original[i])});
            }
        }
        if (out.row.assignments.empty()) {
            out.known = Status::success();
        } else if (row >= rowIds_.size()) {
            out.known = Status(client_error::rowNotLocated());
        } else {
            out.row.row = rowIds_[row];
            text += " WHERE ROW_IDENTITY=" + std::to_string(out.row.row) + where;
        }
        return out;
    }

    Error readOnlyColumn(size_t i) const {
        return Error{client_error::kNotUpdatable, 0, "",
                     "The field " + fields_[i].name + " does not come from table " + table_.name +
                         " and cannot be written."};
    }

    Status finish(std::string_view kind, const std::string& text, const engine::RowChange& change) {
        Status status;
        switch (change.status) {
            case engine::RowChange::Status::Done:
                status = Status::success();
                break;
            case engine::RowChange::Status::Failed: {
                auto errors = errorsOf(change.messages, client_error::kErrorsInCommand);
                if (errors.empty()) errors.push_back(Error{client_error::kErrorsInCommand, 0, "", "The row could not be saved."});
                status = Status(errors);
                break;
            }
            case engine::RowChange::Status::RowMissing:
            case engine::RowChange::Status::RowChanged:
                status = Status(client_error::rowNotLocated());
                break;
        }
        connection_.traceStatement(kind, text, status);
        return status;
    }

    Connection& connection_;
    engine::Session& session_;
    engine::TableIdentity table_;
    std::vector<FieldInfo> fields_;
    std::vector<engine::RowId> rowIds_;
    std::vector<PreparedUpdate> queue_;
};

class EmbeddedConnection final : public Connection {
public:
    EmbeddedConnection(const ConnectionSettings& settings, std::unique_ptr<engine::Session> session)
        : Connection(settings.database), session_(std::move(session)) {
        if (session_) setTraceDatabase(session_->currentDatabase());
    }

protected:
    bool doIsOpen() const override { return session_ != nullptr; }

    Status doExecute(std::string_view sql) override {
        const engine::BatchResult result = session_->execute(sql);
        return Status(errorsOf(result.messages, client_error::kErrorsInCommand));
    }

    Status doOpenRecordset(std::string_view sql, CursorType, LockType lock, OpenedSet& out) override {
        engine::BatchResult result = session_->execute(sql);
        // Errors raised before the first result set fail the open; later ones belong to
        // statements whose results the set never shows.
        std::vector<Error> before;
        const engine::ResultSet* first = nullptr;
        for (const auto& event : result.events) {
            if (event.kind == engine::BatchResult::Kind::ResultSet) {
                first = &result.resultSets[event.index];
                break;
            }
            if (event.kind == engine::BatchResult::Kind::Message && result.messages[event.index].isError()) {
                before.push_back(toError(result.messages[event.index], client_error::kErrorsInCommand));
            }
        }
        if (!before.empty()) return Status(before);
        if (first == nullptr) return Status::success();  // no rows come back: an empty, closed-looking set
        const std::string table = first->baseTable ? first->baseTable->name : "";
        for (const auto& column : first->columns) out.rows.fields.push_back(toFieldInfo(column, table));
        out.rows.rows.reserve(first->rows.size());
        for (const auto& row : first->rows) {
            std::vector<Variant> values;
            values.reserve(row.size());
            for (const auto& v : row) values.push_back(toVariant(v));
            out.rows.rows.push_back(std::move(values));
        }
        const bool anyBaseColumn = std::any_of(out.rows.fields.begin(), out.rows.fields.end(),
                                               [](const FieldInfo& f) { return !f.baseColumn.empty(); });
        if (lock == LockType::Optimistic && first->baseTable && anyBaseColumn) {
            out.writer = std::make_unique<EmbeddedRowWriter>(*this, *session_, *first->baseTable, out.rows.fields,
                                                             first->rowIds);
        }
        return Status::success();
    }

    std::string doCurrentDatabase() override { return session_->currentDatabase(); }

    void doClose() override {
        session_->close();
        session_.reset();
    }

    Status doBeginTransaction() override { return doExecute("BEGIN TRANSACTION"); }
    Status doCommitTransaction() override { return doExecute("COMMIT TRANSACTION"); }
    Status doRollbackTransaction() override { return doExecute("ROLLBACK TRANSACTION"); }

private:
    std::unique_ptr<engine::Session> session_;
};

}  // namespace

std::unique_ptr<Connection> openConnection(const ConnectionSettings& settings) {
    // The embedded server stands for a Spanish installation, whose logins have Spanish as
    // their default language: date strings such as '31/12/1899' read day/month/year there.
    engine::SessionOptions options;
    options.language = "Español";
    engine::Session::Opened opened =
        engine::Session::open(settings.server, settings.database, options);
    auto connection = std::make_unique<EmbeddedConnection>(settings, std::move(opened.session));
    Status status;
    if (!connection->isOpen()) {
        auto errors = errorsOf(opened.messages, client_error::kConnectionFailed);
        if (errors.empty()) {
            errors.push_back(Error{client_error::kConnectionFailed, 0, "", "The data directory " + settings.server +
                                                                              " could not be opened."});
        }
        status = Status(errors);
    }
    connection->traceStatement("connect", "", status);
    connection->setPendingError(status);
    return connection;
}

}  // namespace db::embedded
