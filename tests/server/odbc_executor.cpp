#include "odbc_executor.h"

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "engine/types/conversion.h"
#include "engine/types/datetime.h"
#include "engine/types/text.h"
#include "support/tds_server_process.h"

namespace server_test {

namespace {

using engine::DataType;
using engine::TypeId;
using engine::Value;

// Diagnostic fields of SQL Server's drivers that FreeTDS answers: what it keeps under the
// message-state field is the severity; the line is the line within the batch.
constexpr SQLSMALLINT kDiagSeverity = -1150;  // SQL_DIAG_SS_MSGSTATE
constexpr SQLSMALLINT kDiagLine = -1154;      // SQL_DIAG_SS_LINE

constexpr int kMaxLengthCharacters = 8000;

std::string diagText(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLSMALLINT field) {
    std::vector<char> buffer(4096);
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLGetDiagField(type, handle, record, field, buffer.data(),
                                   static_cast<SQLSMALLINT>(buffer.size()), &length);
    if (!SQL_SUCCEEDED(rc)) return {};
    if (length >= static_cast<SQLSMALLINT>(buffer.size())) {
        buffer.resize(static_cast<size_t>(length) + 1);
        SQLGetDiagField(type, handle, record, field, buffer.data(),
                        static_cast<SQLSMALLINT>(buffer.size()), &length);
    }
    return std::string(buffer.data(),
                       std::min<size_t>(static_cast<size_t>(length), buffer.size() - 1));
}

template <typename T>
T diagNumber(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLSMALLINT field) {
    T value{};
    if (!SQL_SUCCEEDED(SQLGetDiagField(type, handle, record, field, &value, 0, nullptr)))
        return T{};
    return value;
}

void addEvent(engine::BatchResult& r, engine::BatchResult::Kind kind, size_t index) {
    r.events.push_back({kind, index});
}

void addMessage(engine::BatchResult& r, engine::SqlMessage m) {
    r.messages.push_back(std::move(m));
    addEvent(r, engine::BatchResult::Kind::Message, r.messages.size() - 1);
}

engine::SqlMessage failure(const std::string& text) {
    engine::SqlMessage m;
    m.severity = 16;
    m.text = text;
    return m;
}

// The diagnostic records of the last call on a handle, in the order the driver holds them.
// Records of the driver's own (no server message behind them) become errors numbered 0.
void readMessages(SQLSMALLINT type, SQLHANDLE handle, engine::BatchResult& r) {
    SQLINTEGER count = 0;
    if (!SQL_SUCCEEDED(SQLGetDiagField(type, handle, 0, SQL_DIAG_NUMBER, &count, 0, nullptr)))
        return;
    for (SQLSMALLINT i = 1; i <= count; ++i) {
        engine::SqlMessage m;
        m.number = diagNumber<SQLINTEGER>(type, handle, i, SQL_DIAG_NATIVE);
        m.text = diagText(type, handle, i, SQL_DIAG_MESSAGE_TEXT);
        m.severity = diagNumber<SQLINTEGER>(type, handle, i, kDiagSeverity);
        m.line = diagNumber<SQLUSMALLINT>(type, handle, i, kDiagLine);
        m.state = 0;
        const std::string sqlState = diagText(type, handle, i, SQL_DIAG_SQLSTATE);
        if (m.number == 0 && m.severity == 0 && sqlState.rfind("01", 0) != 0)
            m = failure("[" + sqlState + "] " + m.text);
        addMessage(r, std::move(m));
    }
}

std::string lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The engine type of a result column from the driver's description: the server's type name
// tells the base type (money and decimal share an ODBC type, text and varchar(max) too);
// size and digits give length, precision and scale.
DataType columnType(const std::string& typeName, SQLSMALLINT sqlType, SQLULEN size,
                    SQLSMALLINT digits) {
    static const std::pair<const char*, TypeId> names[] = {
        {"bit", TypeId::Bit},
        {"tinyint", TypeId::TinyInt},
        {"smallint", TypeId::SmallInt},
        {"int", TypeId::Int},
        {"bigint", TypeId::BigInt},
        {"decimal", TypeId::Decimal},
        {"numeric", TypeId::Numeric},
        {"money", TypeId::Money},
        {"smallmoney", TypeId::SmallMoney},
        {"float", TypeId::Float},
        {"real", TypeId::Real},
        {"datetime", TypeId::DateTime},
        {"smalldatetime", TypeId::SmallDateTime},
        {"date", TypeId::Date},
        {"char", TypeId::Char},
        {"varchar", TypeId::VarChar},
        {"text", TypeId::Text},
        {"nchar", TypeId::NChar},
        {"nvarchar", TypeId::NVarChar},
        {"ntext", TypeId::NText},
        {"binary", TypeId::Binary},
        {"varbinary", TypeId::VarBinary},
        {"image", TypeId::Image},
        {"uniqueidentifier", TypeId::UniqueIdentifier},
        {"sql_variant", TypeId::SqlVariant},
    };
    std::optional<TypeId> id;
    const std::string name = lower(typeName);
    for (const auto& [n, t] : names) {
        if (name == n) id = t;
    }
    if (!id)
        throw std::runtime_error("result column of unknown type '" + typeName + "' (ODBC type " +
                                 std::to_string(sqlType) + ")");
    switch (*id) {
        case TypeId::Decimal:
        case TypeId::Numeric:
            return DataType{*id, 0, static_cast<uint8_t>(size), static_cast<uint8_t>(digits)};
        case TypeId::Float:
        case TypeId::Real:
            return DataType::floating(*id);
        case TypeId::Char:
        case TypeId::VarChar:
        case TypeId::NChar:
        case TypeId::NVarChar:
        case TypeId::Binary:
        case TypeId::VarBinary: {
            const int32_t length = size == 0 || size > kMaxLengthCharacters
                                       ? DataType::kMax
                                       : static_cast<int32_t>(size);
            return DataType::character(*id, length);
        }
        default:
            return DataType::of(*id);
    }
}

// A long value in pieces: SQLGetData hands out what fits and says 01004 while more follows.
std::optional<std::string> readLong(SQLHSTMT st, SQLUSMALLINT column, SQLSMALLINT cType) {
    const size_t terminator = cType == SQL_C_WCHAR ? sizeof(SQLWCHAR) : cType == SQL_C_CHAR ? 1 : 0;
    std::vector<char> buffer(64 * 1024);
    std::string out;
    for (;;) {
        SQLLEN indicator = 0;
        SQLRETURN rc = SQLGetData(st, column, cType, buffer.data(),
                                  static_cast<SQLLEN>(buffer.size()), &indicator);
        if (rc == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(rc))
            throw std::runtime_error("SQLGetData failed on column " + std::to_string(column));
        if (indicator == SQL_NULL_DATA) return std::nullopt;
        const size_t room = buffer.size() - terminator;
        const bool truncated = indicator == SQL_NO_TOTAL || static_cast<size_t>(indicator) > room;
        out.append(buffer.data(), truncated ? room : static_cast<size_t>(indicator));
        if (rc == SQL_SUCCESS || !truncated) break;  // a warning without truncation ends it too
    }
    return out;
}

std::string utf16ToUtf8(const std::string& units) {
    static_assert(sizeof(SQLWCHAR) == 2, "unixODBC's SQLWCHAR is UTF-16");
    return engine::utf16leToUtf8(units);  // little-endian hosts only
}

Value fetchValue(SQLHSTMT st, SQLUSMALLINT column, const DataType& type) {
    SQLLEN indicator = 0;
    auto get = [&](SQLSMALLINT cType, void* target, SQLLEN size) {
        if (!SQL_SUCCEEDED(SQLGetData(st, column, cType, target, size, &indicator)))
            throw std::runtime_error("SQLGetData failed on column " + std::to_string(column));
        return indicator != SQL_NULL_DATA;
    };
    switch (type.id) {
        case TypeId::Bit:
        case TypeId::TinyInt:
        case TypeId::SmallInt:
        case TypeId::Int:
        case TypeId::BigInt: {
            SQLBIGINT v = 0;
            return get(SQL_C_SBIGINT, &v, 0) ? Value::integer(v, type.id) : Value::null(type);
        }
        case TypeId::Float:
        case TypeId::Real: {
            SQLDOUBLE v = 0;
            return get(SQL_C_DOUBLE, &v, 0) ? Value::floating(v, type.id) : Value::null(type);
        }
        case TypeId::Decimal:
        case TypeId::Numeric:
        case TypeId::Money:
        case TypeId::SmallMoney: {
            // As text, which holds every digit; the engine reads it back exactly.
            auto text = readLong(st, column, SQL_C_CHAR);
            if (!text) return Value::null(type);
            return engine::convert(Value::varchar(*text), type, engine::ConversionKind::Explicit);
        }
        case TypeId::DateTime:
        case TypeId::SmallDateTime:
        case TypeId::Date: {
            SQL_TIMESTAMP_STRUCT t{};
            if (!get(SQL_C_TYPE_TIMESTAMP, &t, sizeof t)) return Value::null(type);
            const int32_t days = engine::daysFromCivil(t.year, t.month, t.day);
            const int64_t seconds = (t.hour * 60 + t.minute) * 60 + t.second;
            const int64_t ticks =
                seconds * engine::kTicksPerSecond +
                std::llround(t.fraction * static_cast<double>(engine::kTicksPerSecond) / 1e9);
            return Value::datetime(days, type.id == TypeId::Date ? 0 : static_cast<int32_t>(ticks),
                                   type.id);
        }
        case TypeId::UniqueIdentifier: {
            SQLGUID g{};
            if (!get(SQL_C_GUID, &g, sizeof g)) return Value::null(type);
            // Data1..Data3 are little-endian in SQL Server's byte order, as in memory here.
            std::string bytes(16, '\0');
            std::memcpy(bytes.data(), &g, 16);
            return Value::guid(bytes);
        }
        case TypeId::Binary:
        case TypeId::VarBinary:
        case TypeId::Image: {
            auto bytes = readLong(st, column, SQL_C_BINARY);
            return bytes ? Value::binary(*bytes, type) : Value::null(type);
        }
        case TypeId::SqlVariant: {
            auto units = readLong(st, column, SQL_C_WCHAR);
            return units ? Value::nvarchar(utf16ToUtf8(*units)) : Value::null(type);
        }
        default: {
            auto units = readLong(st, column, SQL_C_WCHAR);
            return units ? Value::string(utf16ToUtf8(*units), type) : Value::null(type);
        }
    }
}

}  // namespace

struct OdbcExecutor::Odbc {
    std::unique_ptr<test_support::TdsServerProcess> server;
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;

    ~Odbc() {
        disconnect();
        if (env) SQLFreeHandle(SQL_HANDLE_ENV, env);
    }
    void disconnect() {
        if (!dbc) return;
        SQLDisconnect(dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        dbc = SQL_NULL_HDBC;
    }
};

OdbcExecutor::OdbcExecutor(std::filesystem::path dataDirectory)
    : dataDirectory_(std::move(dataDirectory)), odbc_(std::make_unique<Odbc>()) {
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &odbc_->env);
    SQLSetEnvAttr(odbc_->env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
}

OdbcExecutor::~OdbcExecutor() = default;

std::string OdbcExecutor::open(const std::string& database) {
    if (!odbc_->server) {
        odbc_->server = std::make_unique<test_support::TdsServerProcess>(
            dataDirectory_,
            std::vector<std::string>{"--create", "--fixed-clock",
                                     std::to_string(corpus::kFixedClockSeconds), "--random-seed",
                                     std::to_string(corpus::kRandomSeed)});
        if (!odbc_->server->Started()) return odbc_->server->Error();
    }
    odbc_->disconnect();
    SQLAllocHandle(SQL_HANDLE_DBC, odbc_->env, &odbc_->dbc);
    const std::string text =
        "Driver=FreeTDS;Server=127.0.0.1;Port=" + std::to_string(odbc_->server->Port()) +
        ";UID=" + test_support::TdsServerProcess::kLogin +
        ";PWD=" + test_support::TdsServerProcess::kPassword +
        ";TDS_Version=7.4;ClientCharset=UTF-8;Database=" + database;
    SQLRETURN rc = SQLDriverConnect(odbc_->dbc, nullptr,
                                    reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str())),
                                    SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    if (SQL_SUCCEEDED(rc)) return {};
    engine::BatchResult r;
    readMessages(SQL_HANDLE_DBC, odbc_->dbc, r);
    std::string error = "cannot connect";
    for (const auto& m : r.messages)
        error += "; " + std::to_string(m.number) + " " + m.text;
    odbc_->disconnect();
    return error;
}

std::string OdbcExecutor::reopen(const std::string& database) {
    odbc_->disconnect();
    odbc_->server.reset();
    return open(database);
}

engine::BatchResult OdbcExecutor::execute(const std::string& batch) {
    engine::BatchResult r;
    if (!odbc_->dbc) {
        addMessage(r, failure("not connected"));
        return r;
    }
    SQLHSTMT st = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, odbc_->dbc, &st);
    try {
        SQLRETURN rc =
            SQLExecDirect(st, reinterpret_cast<SQLCHAR*>(const_cast<char*>(batch.data())),
                          static_cast<SQLINTEGER>(batch.size()));
        for (bool first = true;; first = false) {
            const size_t before = r.messages.size();
            readMessages(SQL_HANDLE_STMT, st, r);
            // SQL_NO_DATA ends the results, except from SQLExecDirect, where it is a
            // statement that changed no rows.
            if (rc == SQL_NO_DATA && !first) break;
            if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO && rc != SQL_ERROR &&
                rc != SQL_NO_DATA) {
                addMessage(r, failure("ODBC call returned " + std::to_string(rc)));
                break;
            }
            SQLSMALLINT columns = 0;
            if (rc != SQL_ERROR && rc != SQL_NO_DATA) SQLNumResultCols(st, &columns);
            if (columns > 0) {
                engine::ResultSet set;
                for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(columns); ++c) {
                    SQLCHAR name[512] = {};
                    SQLSMALLINT nameLength = 0, sqlType = 0, digits = 0, nullable = 0;
                    SQLULEN size = 0;
                    SQLDescribeCol(st, c, name, sizeof name, &nameLength, &sqlType, &size, &digits,
                                   &nullable);
                    SQLCHAR typeName[128] = {};
                    SQLColAttribute(st, c, SQL_DESC_TYPE_NAME, typeName, sizeof typeName, nullptr,
                                    nullptr);
                    engine::ResultColumn column;
                    column.name = reinterpret_cast<char*>(name);
                    column.type =
                        columnType(reinterpret_cast<char*>(typeName), sqlType, size, digits);
                    column.nullable = nullable != SQL_NO_NULLS;
                    set.columns.push_back(column);
                }
                r.resultSets.push_back(std::move(set));
                addEvent(r, engine::BatchResult::Kind::ResultSet, r.resultSets.size() - 1);
                engine::ResultSet& rows = r.resultSets.back();
                for (;;) {
                    SQLRETURN f = SQLFetch(st);
                    if (f == SQL_NO_DATA) break;
                    readMessages(SQL_HANDLE_STMT, st, r);
                    if (!SQL_SUCCEEDED(f)) break;
                    std::vector<Value> row;
                    for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(columns); ++c)
                        row.push_back(fetchValue(st, c, rows.columns[c - 1].type));
                    rows.rows.push_back(std::move(row));
                }
            }
            SQLLEN count = -1;
            if (rc != SQL_ERROR && SQL_SUCCEEDED(SQLRowCount(st, &count)) && count >= 0) {
                r.rowCounts.push_back(engine::RowCount{count, 0});
                addEvent(r, engine::BatchResult::Kind::RowCount, r.rowCounts.size() - 1);
            }
            // A failed call that told nothing has nothing more to give either.
            if (rc == SQL_ERROR && r.messages.size() == before) {
                addMessage(r, failure("ODBC call failed without diagnostics"));
                break;
            }
            rc = SQLMoreResults(st);
        }
    } catch (const std::exception& e) {
        addMessage(r, failure(e.what()));
    }
    SQLFreeHandle(SQL_HANDLE_STMT, st);
    return r;
}

std::string OdbcExecutor::use(const std::string& database) {
    engine::BatchResult r = execute("USE [" + database + "]");
    const engine::SqlMessage* error = r.firstError();
    return error ? error->text : std::string();
}

std::string OdbcExecutor::serverLog() const {
    return odbc_->server ? odbc_->server->Log() : std::string();
}

}  // namespace server_test
