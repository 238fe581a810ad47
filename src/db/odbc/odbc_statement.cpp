#include "db/odbc/odbc_statement.h"

#include <sqlucode.h>

#include <algorithm>
#include <array>

#include "db/odbc/odbc_support.h"

namespace db::odbc {

namespace {

constexpr int kMaxResults = 100000;  // guards against a driver that never says SQL_NO_DATA

void append(std::vector<Error>& to, std::vector<Error> from) {
    for (auto& e : from) {
        // A function-sequence complaint after a failed call says nothing new.
        if (e.sqlState == "HY010" && !to.empty()) continue;
        to.push_back(std::move(e));
    }
}

std::string normaliseDecimal(std::string text) {
    if (text.rfind('.', 0) == 0) text.insert(0, "0");
    if (text.rfind("-.", 0) == 0) text.insert(1, "0");
    return text;
}

}  // namespace

FieldType fieldTypeOf(SQLSMALLINT sqlType) {
    switch (sqlType) {
        case SQL_BIT: return FieldType::Boolean;
        case SQL_TINYINT: return FieldType::UnsignedTinyInt;
        case SQL_SMALLINT: return FieldType::SmallInt;
        case SQL_INTEGER: return FieldType::Integer;
        case SQL_BIGINT: return FieldType::BigInt;
        case SQL_REAL: return FieldType::Single;
        case SQL_FLOAT:
        case SQL_DOUBLE: return FieldType::Double;
        case SQL_DECIMAL:
        case SQL_NUMERIC: return FieldType::Numeric;
        case SQL_TYPE_DATE:
        case SQL_TYPE_TIME:
        case SQL_TYPE_TIMESTAMP:
        case SQL_DATE:
        case SQL_TIME:
        case SQL_TIMESTAMP: return FieldType::DateTime;
        case SQL_CHAR: return FieldType::Char;
        case SQL_VARCHAR: return FieldType::VarChar;
        case SQL_LONGVARCHAR: return FieldType::LongVarChar;
        case SQL_WCHAR: return FieldType::WChar;
        case SQL_WVARCHAR: return FieldType::WVarChar;
        case SQL_WLONGVARCHAR: return FieldType::LongVarWChar;
        case SQL_BINARY: return FieldType::Binary;
        case SQL_VARBINARY: return FieldType::VarBinary;
        case SQL_LONGVARBINARY: return FieldType::LongVarBinary;
        case SQL_GUID: return FieldType::Guid;
        default: return FieldType::Unknown;
    }
}

Statement::Statement(SQLHDBC dbc, Codec codec) : codec_(codec) {
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt_))) stmt_ = SQL_NULL_HSTMT;
}

Statement::~Statement() {
    if (stmt_ != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
}

std::vector<Error> Statement::errors() const {
    return errorRecords(codec_, SQL_HANDLE_STMT, stmt_, client_error::kErrorsInCommand);
}

Status Statement::drainResults(std::vector<Error>& errors) {
    for (int i = 0; i < kMaxResults; ++i) {
        const SQLRETURN rc = SQLMoreResults(stmt_);
        if (rc == SQL_NO_DATA || rc == SQL_INVALID_HANDLE) break;
        if (rc == SQL_ERROR) {
            auto records = this->errors();
            if (records.empty()) break;
            const bool onlySequence = records.size() == 1 && records[0].sqlState == "HY010";
            append(errors, std::move(records));
            if (onlySequence) break;
        } else if (rc == SQL_SUCCESS_WITH_INFO) {
            append(errors, this->errors());
        }
    }
    return Status(errors);
}

Status Statement::executeAll(std::string_view sql) {
    if (!valid()) return Status(Error{client_error::kErrorsInCommand, 0, "HY001", "Cannot allocate an ODBC statement handle."});
    const SQLRETURN rc = execDirect(codec_, stmt_, sql);
    std::vector<Error> errors;
    if (rc == SQL_ERROR || rc == SQL_SUCCESS_WITH_INFO) append(errors, this->errors());
    if (rc == SQL_ERROR && errors.empty()) {
        errors.push_back(Error{client_error::kErrorsInCommand, 0, "", "The statement failed."});
    }
    return drainResults(errors);
}

Status Statement::executeQuery(std::string_view sql, std::vector<OdbcColumn>& columns, RowSet& out) {
    if (!valid()) return Status(Error{client_error::kErrorsInCommand, 0, "HY001", "Cannot allocate an ODBC statement handle."});
    return readQuery(execDirect(codec_, stmt_, sql), columns, out);
}

Status Statement::readQuery(SQLRETURN rc, std::vector<OdbcColumn>& columns, RowSet& out) {
    std::vector<Error> errors;
    if (rc == SQL_ERROR || rc == SQL_SUCCESS_WITH_INFO) append(errors, this->errors());
    if (rc == SQL_ERROR) {
        if (errors.empty()) errors.push_back(Error{client_error::kErrorsInCommand, 0, "", "The statement failed."});
        std::vector<Error> ignored;
        drainResults(ignored);
        return Status(errors);
    }
    for (int i = 0; i < kMaxResults; ++i) {
        SQLSMALLINT count = 0;
        SQLNumResultCols(stmt_, &count);
        if (count > 0) {
            if (!errors.empty()) break;
            Status s = describe(columns);
            if (s) s = fetchAll(columns, out);
            if (!s) errors = s.errors();
            break;
        }
        rc = SQLMoreResults(stmt_);
        if (rc == SQL_NO_DATA || rc == SQL_INVALID_HANDLE) break;
        if (rc == SQL_ERROR || rc == SQL_SUCCESS_WITH_INFO) append(errors, this->errors());
    }
    // What follows the first result is read past; its errors do not fail the open.
    std::vector<Error> ignored;
    drainResults(ignored);
    return Status(errors);
}

Status Statement::describe(std::vector<OdbcColumn>& columns) {
    SQLSMALLINT count = 0;
    SQLNumResultCols(stmt_, &count);
    columns.clear();
    for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(count); ++i) {
        ColumnDescription described;
        if (!SQL_SUCCEEDED(describeColumn(codec_, stmt_, i, described))) return Status(errors());
        OdbcColumn column;
        column.sqlType = described.sqlType;
        column.columnSize = described.columnSize;
        column.decimalDigits = described.decimalDigits;
        const SQLSMALLINT nullable = described.nullable;
        column.info.name = described.name;
        column.info.type = fieldTypeOf(column.sqlType);
        column.info.nullable = nullable != SQL_NO_NULLS;
        if (isTextType(column.info.type) || column.info.type == FieldType::Binary ||
            column.info.type == FieldType::VarBinary) {
            column.info.definedSize = static_cast<int>(std::min<SQLULEN>(column.columnSize, 0x7fffffff));
        }
        if (column.info.type == FieldType::Numeric) {
            column.info.precision = static_cast<int>(column.columnSize);
            column.info.scale = column.decimalDigits;
        }
        column.info.baseTable = columnAttributeText(codec_, stmt_, i, SQL_DESC_BASE_TABLE_NAME);
        column.info.baseColumn = columnAttributeText(codec_, stmt_, i, SQL_DESC_BASE_COLUMN_NAME);
        column.baseSchema = columnAttributeText(codec_, stmt_, i, SQL_DESC_SCHEMA_NAME);
        columns.push_back(std::move(column));
    }
    return Status::success();
}

Status Statement::fetchAll(const std::vector<OdbcColumn>& columns, RowSet& out) {
    out.fields.clear();
    for (const auto& c : columns) out.fields.push_back(c.info);
    for (;;) {
        const SQLRETURN rc = SQLFetch(stmt_);
        if (rc == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(rc)) return Status(errors());
        std::vector<Variant> row(columns.size());
        for (size_t i = 0; i < columns.size(); ++i) {
            if (Status s = readValue(static_cast<SQLUSMALLINT>(i + 1), columns[i], row[i]); !s) return s;
        }
        out.rows.push_back(std::move(row));
    }
    return Status::success();
}

template <typename T, typename Make>
Status Statement::readFixed(SQLUSMALLINT column, SQLSMALLINT cType, Variant& value, Make make) {
    T v{};
    SQLLEN indicator = 0;
    const SQLRETURN rc = SQLGetData(stmt_, column, cType, &v, sizeof v, &indicator);
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) return Status(errors());
    value = indicator == SQL_NULL_DATA ? Variant() : make(v);
    return Status::success();
}

Status Statement::readValue(SQLUSMALLINT column, const OdbcColumn& info, Variant& value) {
    SQLLEN indicator = 0;
    auto failed = [&](SQLRETURN rc) { return !SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA; };
    switch (info.sqlType) {
        case SQL_BIT:
            return readFixed<unsigned char>(column, SQL_C_BIT, value, [](unsigned char b) { return Variant::boolean(b != 0); });
        case SQL_TINYINT:
        case SQL_SMALLINT:
        case SQL_INTEGER:
        case SQL_BIGINT:
            return readFixed<SQLBIGINT>(column, SQL_C_SBIGINT, value, [](SQLBIGINT v) { return Variant::integer(v); });
        case SQL_REAL:
        case SQL_FLOAT:
        case SQL_DOUBLE:
            return readFixed<double>(column, SQL_C_DOUBLE, value, [](double v) { return Variant::real(v); });
        case SQL_DECIMAL:
        case SQL_NUMERIC: {
            char buffer[128] = {};
            const SQLRETURN rc = SQLGetData(stmt_, column, SQL_C_CHAR, buffer, sizeof buffer, &indicator);
            if (failed(rc)) return Status(errors());
            value = indicator == SQL_NULL_DATA ? Variant() : Variant::decimal(normaliseDecimal(buffer));
            return Status::success();
        }
        case SQL_TYPE_DATE:
        case SQL_TYPE_TIMESTAMP:
        case SQL_DATE:
        case SQL_TIMESTAMP: {
            SQL_TIMESTAMP_STRUCT ts{};
            const SQLRETURN rc = SQLGetData(stmt_, column, SQL_C_TYPE_TIMESTAMP, &ts, sizeof ts, &indicator);
            if (failed(rc)) return Status(errors());
            value = indicator == SQL_NULL_DATA
                        ? Variant()
                        : Variant::dateTime(DateTime{ts.year, ts.month, ts.day, ts.hour, ts.minute,
                                                     ts.second, static_cast<int>(ts.fraction / 1000000)});
            return Status::success();
        }
        case SQL_TYPE_TIME:
        case SQL_TIME: {
            SQL_TIME_STRUCT t{};
            const SQLRETURN rc = SQLGetData(stmt_, column, SQL_C_TYPE_TIME, &t, sizeof t, &indicator);
            if (failed(rc)) return Status(errors());
            value = indicator == SQL_NULL_DATA
                        ? Variant()
                        : Variant::dateTime(DateTime{1899, 12, 30, t.hour, t.minute, t.second, 0});
            return Status::success();
        }
        case SQL_BINARY:
        case SQL_VARBINARY:
        case SQL_LONGVARBINARY: {
            std::string bytes;
            std::array<char, 8192> buffer{};
            for (;;) {
                const SQLRETURN rc = SQLGetData(stmt_, column, SQL_C_BINARY, buffer.data(), buffer.size(), &indicator);
                if (rc == SQL_NO_DATA) break;
                if (!SQL_SUCCEEDED(rc)) return Status(errors());
                if (indicator == SQL_NULL_DATA) {
                    value = Variant();
                    return Status::success();
                }
                const bool truncated = indicator == SQL_NO_TOTAL || static_cast<size_t>(indicator) > buffer.size();
                bytes.append(buffer.data(), truncated ? buffer.size() : static_cast<size_t>(indicator));
                // Only a value cut short by the buffer has more to come.
                if (rc == SQL_SUCCESS || !truncated) break;
            }
            value = Variant::binary(std::move(bytes));
            return Status::success();
        }
        default: {
            std::string encoded;
            std::array<char, 8192> buffer{};
            const size_t capacity = buffer.size() - codec_.unit();  // room for the terminator
            for (;;) {
                const SQLRETURN rc = SQLGetData(stmt_, column, codec_.charType(), buffer.data(),
                                                static_cast<SQLLEN>(buffer.size()), &indicator);
                if (rc == SQL_NO_DATA) break;
                if (!SQL_SUCCEEDED(rc)) return Status(errors());
                if (indicator == SQL_NULL_DATA) {
                    value = Variant();
                    return Status::success();
                }
                const bool truncated = indicator == SQL_NO_TOTAL || static_cast<size_t>(indicator) > capacity;
                encoded.append(buffer.data(), truncated ? capacity : static_cast<size_t>(indicator));
                // Only a value cut short by the buffer has more to come: FreeTDS answers a warning
                // without truncation for some values (an int sql_variant) as often as it is asked.
                if (rc == SQL_SUCCESS || !truncated) break;
            }
            // Decoded whole: a chunk boundary may fall inside a character.
            value = Variant::text(codec_.decode(encoded.data(), encoded.size()));
            return Status::success();
        }
    }
}

}  // namespace db::odbc
