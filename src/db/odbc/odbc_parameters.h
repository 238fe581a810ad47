// Internal to the ODBC driver: statement parameters, and statements prepared once and run for
// one set of parameters or for many at once.
//
// Parameters turns Variants into bound ODBC parameters typed for their target column.
// PreparedRows keeps one statement text prepared on a handle of its own and runs it with an
// array of parameter sets: the SQL Server drivers send such an array in one round trip
// (FreeTDS prepares the text once with sp_prepare and sends one sp_execute per set, all in
// one request) and report each set's success or failure. Its buffers stay bound between runs
// and only grow, since rebinding makes a driver prepare the text again.
// Thread-compatible.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "db/error.h"
#include "db/odbc/odbc_statement.h"
#include "db/odbc/odbc_support.h"
#include "db/variant.h"

namespace db::odbc {

// Parameters of one statement; their buffers stay put until the statement has run.
class Parameters {
  public:
    struct Parameter {
        SQLSMALLINT cType = SQL_C_CHAR;
        SQLSMALLINT sqlType = SQL_VARCHAR;
        SQLULEN columnSize = 1;
        SQLSMALLINT digits = 0;
        std::string bytes;  // the value's buffer
        SQLLEN indicator = 0;
    };

    explicit Parameters(Codec codec) : codec_(codec) {}
    void add(const Variant& value, const OdbcColumn& target);
    Status bind(SQLHSTMT stmt);
    size_t size() const { return params_.size(); }
    const std::deque<Parameter>& items() const { return params_; }
    const Codec& codec() const { return codec_; }
    // The C and SQL types of every parameter, and the sizes that are not the value's own: two
    // parameter lists with the same shape can run as sets of one array.
    std::string shape() const;

  private:
    template <typename T>
    static std::string raw(const T& v) {
        return std::string(reinterpret_cast<const char*>(&v), sizeof v);
    }
    void addText(Parameter& p, std::string_view utf8, const OdbcColumn& target);

    Codec codec_;
    std::deque<Parameter> params_;
};

class PreparedRows {
  public:
    PreparedRows(SQLHDBC dbc, Codec codec, std::string sql);
    PreparedRows(const PreparedRows&) = delete;
    PreparedRows& operator=(const PreparedRows&) = delete;

    const std::string& sql() const { return sql_; }

    struct Outcome {
        SQLRETURN rc = SQL_ERROR;
        std::vector<Error> errors;  // of every set, in the order the driver gave them
        size_t processed = 0;       // sets the driver reports as run
        size_t succeeded = 0;       // sets that ran without error
        SQLLEN rows = 0;            // rows affected by all the sets together
    };
    // Runs the statement once per parameter set, all of the same shape, in one call.
    Outcome run(const std::vector<const Parameters*>& sets);
    // Runs it for one set and reads the first result that has columns, as
    // Statement::executeQuery reads it.
    Status query(const Parameters& set, std::vector<OdbcColumn>& columns, RowSet& out);

  private:
    struct Slot {
        SQLSMALLINT cType = SQL_C_CHAR;
        SQLSMALLINT sqlType = SQL_VARCHAR;
        SQLULEN columnSize = 1;
        SQLSMALLINT digits = 0;
        size_t width = 0;  // bytes of the value's room
        size_t at = 0;     // offset in a row of the buffer: its indicator, then its value
    };
    // Binds buffers that can hold these sets, unless the bound ones can.
    Status bindFor(const std::vector<const Parameters*>& sets);
    SQLRETURN execute(const std::vector<const Parameters*>& sets);

    Statement stmt_;
    std::string sql_;
    bool prepared_ = false;
    std::vector<Slot> slots_;
    size_t rowBytes_ = 0;
    size_t capacity_ = 0;  // parameter sets the buffer holds
    std::vector<unsigned char> buffer_;
    std::vector<SQLUSMALLINT> statuses_;
    SQLULEN processed_ = 0;
};

}  // namespace db::odbc
