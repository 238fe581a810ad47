#include "odbc_client.h"

#include <sql.h>
#include <sqlext.h>

namespace server_test {

namespace {

// Appends the diagnostic records of a handle that are errors (not SQLSTATE 01xxx warnings
// and informational messages).
void collectErrors(SQLSMALLINT type, SQLHANDLE handle, Outcome& out) {
    for (SQLSMALLINT i = 1;; ++i) {
        SQLCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLCHAR text[1024] = {};
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(
                SQLGetDiagRec(type, handle, i, state, &native, text, sizeof text, &length)))
            return;
        if (state[0] == '0' && state[1] == '1') continue;
        if (out.errors.empty())
            out.errorText = std::to_string(native) + " " + reinterpret_cast<char*>(text);
        out.errors.push_back(static_cast<int>(native));
    }
}

}  // namespace

bool Outcome::has(int number) const {
    for (int e : errors) {
        if (e == number) return true;
    }
    return false;
}

std::string Outcome::scalar() const {
    return rows.empty() || rows[0].empty() ? std::string() : rows[0][0];
}

OdbcClient::OdbcClient(int port, const std::string& login, const std::string& password,
                       const std::string& database) {
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
    SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
    // Bounded waits: a server that stops answering fails the test instead of holding it.
    SQLSetConnectAttr(dbc_, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(30), 0);
    SQLSetConnectAttr(dbc_, SQL_ATTR_CONNECTION_TIMEOUT, reinterpret_cast<SQLPOINTER>(120), 0);
    std::string text = "Driver=FreeTDS;Server=127.0.0.1;Port=" + std::to_string(port) +
                       ";UID=" + login + ";PWD={" + password +
                       "};TDS_Version=7.4;ClientCharset=UTF-8";
    if (!database.empty()) text += ";Database=" + database;
    const SQLRETURN rc = SQLDriverConnect(dbc_, nullptr, (SQLCHAR*)text.c_str(), SQL_NTS, nullptr,
                                          0, nullptr, SQL_DRIVER_NOPROMPT);
    connected_ = SQL_SUCCEEDED(rc);
    if (!connected_) {
        Outcome why;
        collectErrors(SQL_HANDLE_DBC, dbc_, why);
        error_ = why.errorText.empty() ? "the connection failed" : why.errorText;
    }
}

OdbcClient::~OdbcClient() {
    if (connected_) SQLDisconnect(dbc_);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    SQLFreeHandle(SQL_HANDLE_ENV, env_);
}

Outcome OdbcClient::Run(const std::string& sql) {
    Outcome out;
    if (!connected_) {
        out.errors.push_back(-1);
        out.errorText = "not connected: " + error_;
        return out;
    }
    SQLHSTMT stmt = nullptr;
    SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt);
    SQLSetStmtAttr(stmt, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(120), 0);
    SQLRETURN rc = SQLExecDirect(stmt, (SQLCHAR*)sql.c_str(), SQL_NTS);
    int errorsInARow = 0;
    while (rc != SQL_NO_DATA && rc != SQL_INVALID_HANDLE) {
        collectErrors(SQL_HANDLE_STMT, stmt, out);
        if (rc == SQL_ERROR && out.errors.empty()) out.errors.push_back(0);
        SQLSMALLINT columns = 0;
        if (SQL_SUCCEEDED(rc) && SQL_SUCCEEDED(SQLNumResultCols(stmt, &columns)) && columns > 0) {
            while (SQL_SUCCEEDED(rc = SQLFetch(stmt))) {
                std::vector<std::string> row;
                for (SQLUSMALLINT c = 1; c <= columns; ++c) {
                    char value[512];
                    SQLLEN length = 0;
                    SQLGetData(stmt, c, SQL_C_CHAR, value, sizeof value, &length);
                    row.push_back(length == SQL_NULL_DATA ? std::string("NULL")
                                                          : std::string(value));
                }
                out.rows.push_back(std::move(row));
            }
            if (rc == SQL_ERROR) collectErrors(SQL_HANDLE_STMT, stmt, out);
        }
        rc = SQLMoreResults(stmt);
        // A connection that broke may answer every call with an error: do not ask for ever.
        errorsInARow = rc == SQL_ERROR ? errorsInARow + 1 : 0;
        if (errorsInARow > 20) break;
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return out;
}

}  // namespace server_test
