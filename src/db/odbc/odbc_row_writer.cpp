// Client-side writing of the rows of updatable ODBC sets: UPDATE and INSERT statements
// against the base table, values always bound as parameters.
#include <algorithm>
#include <deque>

#include "db/odbc/odbc_connection_impl.h"
#include "db/odbc/odbc_support.h"

namespace db::odbc {

namespace {

bool isNumericSqlType(SQLSMALLINT t) {
    switch (t) {
        case SQL_TINYINT: case SQL_SMALLINT: case SQL_INTEGER: case SQL_BIGINT:
        case SQL_REAL: case SQL_FLOAT: case SQL_DOUBLE: case SQL_DECIMAL: case SQL_NUMERIC:
            return true;
        default:
            return false;
    }
}

bool isTextSqlType(SQLSMALLINT t) {
    return isTextType(fieldTypeOf(t)) || t == SQL_GUID || t == SQL_UNKNOWN_TYPE;
}

// Parameters of one statement; their buffers stay put until the statement has run.
class Parameters {
public:
    explicit Parameters(Codec codec) : codec_(codec) {}
    void add(const Variant& value, const OdbcColumn& target);
    Status bind(SQLHSTMT stmt);
    size_t size() const { return params_.size(); }

private:
    struct Parameter {
        SQLSMALLINT cType = SQL_C_CHAR;
        SQLSMALLINT sqlType = SQL_VARCHAR;
        SQLULEN columnSize = 1;
        SQLSMALLINT digits = 0;
        std::string bytes;  // the value's buffer
        SQLLEN indicator = 0;
    };
    template <typename T>
    static std::string raw(const T& v) { return std::string(reinterpret_cast<const char*>(&v), sizeof v); }
    void addText(Parameter& p, std::string_view utf8, const OdbcColumn& target);

    Codec codec_;
    std::deque<Parameter> params_;
};

void Parameters::addText(Parameter& p, std::string_view utf8, const OdbcColumn& target) {
    p.cType = codec_.charType();
    p.bytes = codec_.encode(utf8);
    p.indicator = static_cast<SQLLEN>(p.bytes.size());
    const size_t units = codec_.units(p.bytes);
    if (isTextSqlType(target.sqlType)) {
        // Sized by the value, not the column: an over-long value reaches the server,
        // which refuses it as it would refuse the statement (no silent cut).
        p.sqlType = units > 4000 ? codec_.longVarcharType() : codec_.varcharType();
        p.columnSize = std::max<size_t>(units, 1);
    } else {
        p.sqlType = target.sqlType;
        p.columnSize = target.columnSize;
        p.digits = target.decimalDigits;
    }
}

void Parameters::add(const Variant& value, const OdbcColumn& target) {
    Parameter& p = params_.emplace_back();
    p.sqlType = target.sqlType == SQL_UNKNOWN_TYPE ? SQL_VARCHAR : target.sqlType;
    p.columnSize = std::max<SQLULEN>(target.columnSize, 1);
    p.digits = target.decimalDigits;
    switch (value.kind()) {
        case Variant::Kind::Null:
            p.cType = SQL_C_CHAR;
            p.indicator = SQL_NULL_DATA;
            return;
        case Variant::Kind::Boolean:
            if (target.sqlType == SQL_BIT) {
                p.cType = SQL_C_BIT;
                p.bytes = raw(static_cast<unsigned char>(value.boolValue() ? 1 : 0));
            } else if (isNumericSqlType(target.sqlType)) {
                p.cType = SQL_C_SBIGINT;
                p.bytes = raw(static_cast<SQLBIGINT>(value.boolValue() ? -1 : 0));
            } else {
                addText(p, value.toText(), target);
                return;
            }
            break;
        case Variant::Kind::Integer:
            if (isTextSqlType(target.sqlType)) {
                addText(p, value.toText(), target);
                return;
            }
            p.cType = SQL_C_SBIGINT;
            p.bytes = raw(static_cast<SQLBIGINT>(value.intValue()));
            if (!isNumericSqlType(target.sqlType) && target.sqlType != SQL_BIT) {
                p.sqlType = SQL_BIGINT;
                p.columnSize = 19;
            }
            break;
        case Variant::Kind::Double:
            if (isTextSqlType(target.sqlType)) {
                addText(p, value.toText(), target);
                return;
            }
            p.cType = SQL_C_DOUBLE;
            p.bytes = raw(value.doubleValue());
            if (!isNumericSqlType(target.sqlType) && target.sqlType != SQL_BIT) {
                p.sqlType = SQL_DOUBLE;
                p.columnSize = 15;
            }
            break;
        case Variant::Kind::Currency:
        case Variant::Kind::Decimal: {
            // Exact amounts travel as text and are converted by the driver to the column.
            const std::string text = value.kind() == Variant::Kind::Currency ? formatScaled(value.currencyScaled(), 4)
                                                                           : value.str();
            if (isTextSqlType(target.sqlType)) {
                addText(p, value.toText(), target);
                return;
            }
            p.cType = SQL_C_CHAR;
            p.bytes = text;
            p.indicator = static_cast<SQLLEN>(text.size());
            if (!isNumericSqlType(target.sqlType)) {
                p.sqlType = SQL_DECIMAL;
                p.columnSize = 38;
                p.digits = 10;
            }
            return;
        }
        case Variant::Kind::Text:
            addText(p, value.str(), target);
            return;
        case Variant::Kind::DateTime: {
            if (isTextSqlType(target.sqlType)) {
                addText(p, value.toText(), target);
                return;
            }
            const DateTime& d = value.dateTimeValue();
            SQL_TIMESTAMP_STRUCT ts{};
            ts.year = static_cast<SQLSMALLINT>(d.year);
            ts.month = static_cast<SQLUSMALLINT>(d.month);
            ts.day = static_cast<SQLUSMALLINT>(d.day);
            ts.hour = static_cast<SQLUSMALLINT>(d.hour);
            ts.minute = static_cast<SQLUSMALLINT>(d.minute);
            ts.second = static_cast<SQLUSMALLINT>(d.second);
            ts.fraction = static_cast<SQLUINTEGER>(d.millisecond) * 1000000u;
            p.cType = SQL_C_TYPE_TIMESTAMP;
            p.bytes = raw(ts);
            p.sqlType = SQL_TYPE_TIMESTAMP;
            p.columnSize = 23;
            p.digits = 3;
            break;
        }
        case Variant::Kind::Binary:
            p.cType = SQL_C_BINARY;
            p.bytes = value.str();
            p.indicator = static_cast<SQLLEN>(p.bytes.size());
            p.sqlType = p.bytes.size() > 8000 ? SQL_LONGVARBINARY : SQL_VARBINARY;
            p.columnSize = std::max<size_t>(p.bytes.size(), 1);
            return;
    }
    p.indicator = static_cast<SQLLEN>(p.bytes.size());
}

Status Parameters::bind(SQLHSTMT stmt) {
    SQLUSMALLINT number = 1;
    for (auto& p : params_) {
        // A NULL needs no buffer, but some drivers want a valid pointer all the same.
        if (p.bytes.empty()) p.bytes.assign(2, '\0');
        const SQLRETURN rc = SQLBindParameter(stmt, number++, SQL_PARAM_INPUT, p.cType, p.sqlType, p.columnSize,
                                              p.digits, p.bytes.data(), static_cast<SQLLEN>(p.bytes.size()),
                                              &p.indicator);
        if (!SQL_SUCCEEDED(rc)) return Status(errorRecords(codec_, SQL_HANDLE_STMT, stmt, client_error::kErrorsInCommand));
    }
    return Status::success();
}

Error tooManyRows() {
    return Error{client_error::kRowNotLocated, 0, "",
                 "Key column information is insufficient or incorrect. Too many rows were affected by update."};
}

class OdbcRowWriter final : public RowWriter {
public:
    OdbcRowWriter(OdbcConnection& connection, WriteTarget target)
        : connection_(connection), target_(std::move(target)) {}

    Status updateRow(size_t, const std::vector<Variant>& original,
                     const std::vector<std::optional<Variant>>& changes) override {
        std::string sql = "UPDATE " + target_.table + " SET ";
        Parameters params(connection_.codec());
        bool any = false;
        for (size_t i = 0; i < changes.size(); ++i) {
            if (!changes[i]) continue;
            if (target_.baseColumns[i].empty()) return Status(readOnlyColumn(i));
            sql += std::string(any ? ", " : "") + connection_.quoteIdentifier(target_.baseColumns[i]) + "=?";
            params.add(*changes[i], target_.columns[i]);
            any = true;
        }
        if (!any) return Status::success();
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
            sql += (n ? " AND " : "") + connection_.quoteIdentifier(target_.baseColumns[i]);
            if (original[i].isNull()) {
                sql += " IS NULL";
            } else {
                sql += "=?";
                params.add(original[i], target_.columns[i]);
            }
        }
        return run("update", sql, params, true);
    }

    Status insertRow(size_t, const std::vector<std::optional<Variant>>& values, std::vector<Variant>& stored) override {
        std::string columns, markers;
        Parameters params(connection_.codec());
        for (size_t i = 0; i < values.size(); ++i) {
            if (!values[i]) continue;
            if (target_.baseColumns[i].empty()) return Status(readOnlyColumn(i));
            columns += (params.size() ? "," : "") + connection_.quoteIdentifier(target_.baseColumns[i]);
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
        Statement stmt(connection_.dbc(), connection_.codec());
        std::vector<OdbcColumn> columns;
        RowSet rows;
        Status status = params.bind(stmt.handle());
        if (status) status = stmt.executeQuery(sql, columns, rows);
        connection_.traceStatement("open", sql, status);
        if (!status || rows.rows.size() != 1) return;
        for (size_t n = 0; n < read.size(); ++n) stored[read[n]] = rows.rows[0][n];
    }

    Error readOnlyColumn(size_t i) const {
        return Error{client_error::kNotUpdatable, 0, "",
                     "The field " + target_.columns[i].info.name + " does not come from table " + target_.table +
                         " and cannot be written."};
    }

    // Runs the statement in a transaction of its own (unless the caller has one open), so
    // that an UPDATE that found no row or several rows is undone. Inside the caller's
    // transaction the refusal is reported and undoing is the caller's rollback.
    Status run(std::string_view kind, const std::string& sql, Parameters& params, bool exactlyOneRow) {
        Status outcome = connection_.guarded([&]() -> Status {
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
        });
        connection_.traceStatement(kind, sql, outcome);
        return outcome;
    }

    OdbcConnection& connection_;
    WriteTarget target_;
};

}  // namespace

std::unique_ptr<RowWriter> makeOdbcRowWriter(OdbcConnection& connection, WriteTarget target) {
    return std::make_unique<OdbcRowWriter>(connection, std::move(target));
}

}  // namespace db::odbc
