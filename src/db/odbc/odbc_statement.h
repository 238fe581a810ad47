// A statement handle of the ODBC driver and the reading of its results: column
// descriptions, values as Variants, and the walk over every result of a batch.
// Thread-compatible (one handle, one user).
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <string>
#include <string_view>
#include <vector>

#include "db/error.h"
#include "db/odbc/odbc_support.h"
#include "db/field.h"
#include "db/recordset.h"
#include "db/variant.h"

namespace db::odbc {

// A described result column with the raw ODBC type that parameter binding needs.
struct OdbcColumn {
    FieldInfo info;
    SQLSMALLINT sqlType = SQL_UNKNOWN_TYPE;
    SQLULEN columnSize = 0;
    SQLSMALLINT decimalDigits = 0;
    std::string baseSchema;
};

class Statement {
public:
    Statement(SQLHDBC dbc, Codec codec);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    SQLHSTMT handle() const { return stmt_; }
    bool valid() const { return stmt_ != SQL_NULL_HSTMT; }

    // Runs a batch and reads past every result; the errors of all of them.
    Status executeAll(std::string_view sql);
    // Runs a batch and reads the first result that has columns into `out` (columns in
    // `columns`), then reads past the rest. Errors raised before that result fail it.
    Status executeQuery(std::string_view sql, std::vector<OdbcColumn>& columns, RowSet& out);
    // The same for a statement already run on the handle (SQLExecute gave `rc`).
    Status readQuery(SQLRETURN rc, std::vector<OdbcColumn>& columns, RowSet& out);
    // Errors of the handle's last call.
    std::vector<Error> errors() const;

private:
    Status drainResults(std::vector<Error>& errors);
    Status describe(std::vector<OdbcColumn>& columns);
    Status fetchAll(const std::vector<OdbcColumn>& columns, RowSet& out);
    Status readValue(SQLUSMALLINT column, const OdbcColumn& info, Variant& value);
    template <typename T, typename Make>
    Status readFixed(SQLUSMALLINT column, SQLSMALLINT cType, Variant& value, Make make);

    SQLHSTMT stmt_ = SQL_NULL_HSTMT;
    Codec codec_;
};

FieldType fieldTypeOf(SQLSMALLINT sqlType);

}  // namespace db::odbc
