#include "db/odbc/odbc_batch.h"

#include <algorithm>
#include <cctype>

#include "db/odbc/odbc_support.h"

namespace db::odbc {

namespace {

// SQL Server's own diagnostic fields, which Microsoft's drivers report. Through unixODBC and
// FreeTDS they are not to be had: an error then shows severity 16, state 1 and line 0.
constexpr SQLSMALLINT kDiagMessageState = -1150;
constexpr SQLSMALLINT kDiagSeverity = -1151;
constexpr SQLSMALLINT kDiagProcedure = -1153;
constexpr SQLSMALLINT kDiagLine = -1154;

SQLINTEGER integerField(SQLHSTMT stmt, SQLSMALLINT record, SQLSMALLINT field,
                        SQLINTEGER otherwise) {
    SQLINTEGER value = 0;
    if (!SQL_SUCCEEDED(
            SQLGetDiagField(SQL_HANDLE_STMT, stmt, record, field, &value, SQL_IS_INTEGER, nullptr)))
        return otherwise;
    return value;
}

// Every diagnostic record of the handle's last call, as server messages.
void readMessages(SQLHSTMT stmt, engine::BatchResult& out) {
    for (SQLSMALLINT record = 1;; ++record) {
        std::u16string state(6, u'\0');
        std::u16string text(4096, u'\0');
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(SQLGetDiagRecW(SQL_HANDLE_STMT, stmt, record, wide(state), &native,
                                          wide(text), static_cast<SQLSMALLINT>(text.size()),
                                          &length)))
            break;
        const std::string sqlState = toUtf8(std::u16string_view(state.data(), 5));
        const bool information = sqlState.rfind("01", 0) == 0;
        engine::SqlMessage m;
        m.number = static_cast<int>(native);
        m.severity =
            static_cast<int>(integerField(stmt, record, kDiagSeverity, information ? 0 : 16));
        if (information && m.severity > 10) m.severity = 0;
        if (m.severity == 10) m.severity = 0;
        m.state = static_cast<int>(integerField(stmt, record, kDiagMessageState, 1));
        m.line = static_cast<int>(integerField(stmt, record, kDiagLine, 0));
        SQLWCHAR procedure[256] = {};
        SQLSMALLINT procedureLength = 0;
        if (SQL_SUCCEEDED(SQLGetDiagFieldW(SQL_HANDLE_STMT, stmt, record, kDiagProcedure, procedure,
                                           sizeof procedure, &procedureLength)) &&
            procedureLength > 0)
            m.procedure =
                toUtf8(procedure, std::min<size_t>(static_cast<size_t>(procedureLength) / 2, 255));
        const size_t chars = std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)),
                                              text.size() - 1);
        m.text = stripDriverPrefixes(toUtf8(std::u16string_view(text.data(), chars)));
        out.events.push_back({engine::BatchResult::Kind::Message, out.messages.size()});
        out.messages.push_back(std::move(m));
    }
}

// The count the server sent with the statement's end, when it sent one (not under
// SET NOCOUNT ON, nor for statements without a count).
void addRowCount(SQLHSTMT stmt, engine::BatchResult& out) {
    SQLLEN count = -1;
    if (!SQL_SUCCEEDED(SQLRowCount(stmt, &count)) || count < 0) return;
    out.events.push_back({engine::BatchResult::Kind::RowCount, out.rowCounts.size()});
    out.rowCounts.push_back({static_cast<int64_t>(count), 0});
}

bool isBinary(SQLSMALLINT t) {
    return t == SQL_BINARY || t == SQL_VARBINARY || t == SQL_LONGVARBINARY;
}

// The column's value as text (binary as 0x and hex digits); false for NULL.
bool readText(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT sqlType, std::string& out) {
    out.clear();
    std::u16string chunk(4096, u'\0');
    std::u16string all;
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc =
            SQLGetData(stmt, column, SQL_C_WCHAR, chunk.data(), chunk.size() * 2, &indicator);
        if (rc == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(rc)) break;
        if (indicator == SQL_NULL_DATA) return false;
        const size_t capacity = chunk.size() - 1;
        const bool truncated =
            indicator == SQL_NO_TOTAL || static_cast<size_t>(indicator) / 2 > capacity;
        all.append(chunk.data(), truncated ? capacity : static_cast<size_t>(indicator) / 2);
        // Only a value cut short by the buffer has more to come: FreeTDS answers a warning
        // without truncation for some values (an int sql_variant) as often as it is asked.
        if (rc == SQL_SUCCESS || !truncated) break;
    }
    out = toUtf8(all);
    if (isBinary(sqlType)) {
        for (char& c : out)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        out = "0x" + out;
    }
    return true;
}

}  // namespace

engine::DataType shellTypeOf(short sqlType, unsigned long columnSize, short decimalDigits) {
    using engine::DataType;
    using engine::TypeId;
    auto text = [&](TypeId id) {
        return DataType::character(id, columnSize == 0 || columnSize > 8000
                                           ? DataType::kMax
                                           : static_cast<int32_t>(columnSize));
    };
    switch (sqlType) {
        case SQL_BIT:
            return DataType::of(TypeId::Bit);
        case SQL_TINYINT:
            return DataType::of(TypeId::TinyInt);
        case SQL_SMALLINT:
            return DataType::of(TypeId::SmallInt);
        case SQL_INTEGER:
            return DataType::of(TypeId::Int);
        case SQL_BIGINT:
            return DataType::of(TypeId::BigInt);
        case SQL_DECIMAL:
        case SQL_NUMERIC:
            return DataType::decimal(
                static_cast<uint8_t>(std::clamp<unsigned long>(columnSize, 1, 38)),
                static_cast<uint8_t>(std::clamp<short>(decimalDigits, 0, 38)));
        case SQL_FLOAT:
        case SQL_DOUBLE:
            return DataType::floating(TypeId::Float);
        case SQL_REAL:
            return DataType::floating(TypeId::Real);
        case SQL_TYPE_DATE:
            return DataType::of(TypeId::Date);
        case SQL_DATETIME:
        case SQL_TYPE_TIMESTAMP:
            return DataType::of(columnSize == 16 ? TypeId::SmallDateTime : TypeId::DateTime);
        case SQL_GUID:
            return DataType::of(TypeId::UniqueIdentifier);
        case SQL_WCHAR:
            return text(TypeId::NChar);
        case SQL_WVARCHAR:
        case SQL_WLONGVARCHAR:
            return text(TypeId::NVarChar);
        case SQL_CHAR:
            return text(TypeId::Char);
        case SQL_BINARY:
            return text(TypeId::Binary);
        case SQL_VARBINARY:
        case SQL_LONGVARBINARY:
            return text(TypeId::VarBinary);
        default:
            return text(TypeId::VarChar);
    }
}

struct BatchSession::Impl {
    SQLHDBC dbc = SQL_NULL_HDBC;
    Codec codec;
};

BatchSession::BatchSession(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

BatchSession::~BatchSession() {
    SQLDisconnect(impl_->dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, impl_->dbc);
}

std::unique_ptr<BatchSession> BatchSession::open(const ConnectionSettings& settings,
                                                 const std::string& driver,
                                                 std::vector<Error>& errors) {
    auto fail = [&](std::string text) {
        errors.push_back(Error{client_error::kConnectionFailed, 0, "08001", std::move(text)});
        return nullptr;
    };
    SQLHENV env = environment();
    if (env == SQL_NULL_HENV) return fail("Cannot allocate the ODBC environment.");
    if (driver.empty())
        return fail(
            "No ODBC driver for SQL Server is installed (ODBC Driver 18 or 17 for SQL Server, or "
            "FreeTDS); "
            "name one in ACTUALIZA_ODBC_DRIVER.");
    auto impl = std::make_unique<Impl>();
    impl->codec = Codec{Encoding::Utf16, isFreeTds(driver)};
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env, &impl->dbc)))
        return fail("Cannot allocate an ODBC connection handle.");
    SQLSetConnectAttr(
        impl->dbc, SQL_ATTR_LOGIN_TIMEOUT,
        reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(settings.loginTimeoutSeconds)), 0);
    std::string text = odbcConnectionString(settings, driver);
    const SQLRETURN rc = driverConnect(impl->codec, impl->dbc, text);
    std::fill(text.begin(), text.end(), '\0');
    if (!SQL_SUCCEEDED(rc)) {
        errors =
            errorRecords(impl->codec, SQL_HANDLE_DBC, impl->dbc, client_error::kConnectionFailed);
        SQLFreeHandle(SQL_HANDLE_DBC, impl->dbc);
        if (errors.empty()) return fail("The connection could not be opened.");
        return nullptr;
    }
    return std::unique_ptr<BatchSession>(new BatchSession(std::move(impl)));
}

engine::BatchResult BatchSession::execute(std::string_view batch) {
    engine::BatchResult out;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, impl_->dbc, &stmt))) {
        engine::SqlMessage m;
        m.number = 0;
        m.severity = 16;
        m.text = "Cannot allocate an ODBC statement handle.";
        out.events.push_back({engine::BatchResult::Kind::Message, 0});
        out.messages.push_back(m);
        return out;
    }
    SQLRETURN rc = execDirect(impl_->codec, stmt, batch);
    for (;;) {
        if (rc != SQL_SUCCESS && rc != SQL_NO_DATA) readMessages(stmt, out);
        if (rc == SQL_NO_DATA || rc == SQL_INVALID_HANDLE) break;
        if (SQL_SUCCEEDED(rc)) {
            SQLSMALLINT columns = 0;
            SQLNumResultCols(stmt, &columns);
            if (columns > 0) {
                engine::ResultSet set;
                std::vector<SQLSMALLINT> types;
                for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(columns); ++c) {
                    ColumnDescription d;
                    describeColumn(impl_->codec, stmt, c, d);
                    engine::ResultColumn column;
                    column.name = d.name;
                    column.type = shellTypeOf(d.sqlType, static_cast<unsigned long>(d.columnSize),
                                              d.decimalDigits);
                    column.nullable = d.nullable != SQL_NO_NULLS;
                    types.push_back(d.sqlType);
                    set.columns.push_back(std::move(column));
                }
                SQLRETURN fetched;
                std::string text;
                while (SQL_SUCCEEDED(fetched = SQLFetch(stmt))) {
                    std::vector<engine::Value> row;
                    for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(columns); ++c) {
                        if (readText(stmt, c, types[c - 1], text))
                            row.push_back(engine::Value::varchar(text));
                        else
                            row.push_back(engine::Value::null(set.columns[c - 1].type));
                    }
                    set.rows.push_back(std::move(row));
                }
                if (fetched != SQL_NO_DATA) readMessages(stmt, out);
                out.events.push_back({engine::BatchResult::Kind::ResultSet, out.resultSets.size()});
                out.resultSets.push_back(std::move(set));
            }
            addRowCount(stmt, out);
        }
        rc = SQLMoreResults(stmt);
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return out;
}

}  // namespace db::odbc
