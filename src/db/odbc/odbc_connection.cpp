#include "db/odbc/odbc_connection.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "db/odbc/odbc_connection_impl.h"
#include "db/odbc/odbc_support.h"
#include "db/text_util.h"

namespace db::odbc {

namespace {

Error connectionError(std::string sqlState, std::string text) {
    return Error{client_error::kConnectionFailed, 0, std::move(sqlState), std::move(text)};
}

std::string unquoteIdentifier(std::string_view name) {
    if (name.size() >= 2 && ((name.front() == '[' && name.back() == ']') ||
                             (name.front() == '"' && name.back() == '"'))) {
        return std::string(name.substr(1, name.size() - 2));
    }
    return std::string(name);
}

}  // namespace

OdbcConnection::OdbcConnection(ConnectionSettings settings, std::string driver, Encoding encoding)
    : Connection(settings.database),
      settings_(std::move(settings)),
      driver_(std::move(driver)),
      batchable_(isSqlServerDriver(driver_)),
      codec_{encoding, isFreeTds(driver_)} {}

OdbcConnection::~OdbcConnection() {
    doClose();
    if (dbc_ != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
}

Status OdbcConnection::open() {
    SQLHENV env = environment();
    if (env == SQL_NULL_HENV) return Status(connectionError("HY001", "Cannot allocate the ODBC environment."));
    if (driver_.empty()) {
        return Status(connectionError("IM002", "No ODBC driver for SQL Server is installed (ODBC Driver 18 or 17 for SQL Server, or FreeTDS); name one in ACTUALIZA_ODBC_DRIVER."));
    }
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc_))) {
        dbc_ = SQL_NULL_HDBC;
        return Status(connectionError("HY001", "Cannot allocate an ODBC connection handle."));
    }
    SQLSetConnectAttr(dbc_, SQL_ATTR_LOGIN_TIMEOUT,
                      reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(settings_.loginTimeoutSeconds)), 0);
    std::string text = odbcConnectionString(settings_, driver_);
    const SQLRETURN rc = driverConnect(codec_, dbc_, text);
    // The text held the password: it does not outlive the call.
    std::fill(text.begin(), text.end(), '\0');
    if (!SQL_SUCCEEDED(rc)) {
        auto errors = errorRecords(codec_, SQL_HANDLE_DBC, dbc_, client_error::kConnectionFailed);
        if (errors.empty()) errors.push_back(connectionError("08001", "The connection could not be opened."));
        // SQL Server sends the cause of a refused login (4060: no such database) before the
        // general 18456 that follows it; FreeTDS ranks its records by severity and would put
        // 18456 first. The cause goes first again, where the server put it.
        std::stable_partition(errors.begin(), errors.end(),
                              [](const Error& e) { return e.nativeError != 18456; });
        return Status(errors);
    }
    open_ = true;
    const std::string q = infoText(codec_, dbc_, SQL_IDENTIFIER_QUOTE_CHAR);
    if (!q.empty() && q != " ") quote_ = q;
    return Status::success();
}

std::string OdbcConnection::quoteIdentifier(std::string_view name) const {
    std::string out = quote_;
    for (char c : name) {
        out += c;
        if (std::string_view(quote_) == std::string_view(&c, 1)) out += c;
    }
    return out + quote_;
}

Status OdbcConnection::runOwnStatement(std::string_view sql) {
    Statement stmt(dbc_, codec_);
    Status status = stmt.executeAll(sql);
    traceStatement("execute", sql, status);
    return status;
}

Status OdbcConnection::beginBatches() {
    if (inBatches_) return Status::success();
    Status status = runOwnStatement("SET IMPLICIT_TRANSACTIONS ON");
    inBatches_ = status.ok();
    return status;
}

Status OdbcConnection::endBatch(bool commit) {
    return runOwnStatement(commit ? "IF @@TRANCOUNT > 0 COMMIT TRANSACTION"
                                  : "IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION");
}

void OdbcConnection::endBatches() {
    if (!inBatches_) return;
    inBatches_ = false;
    runOwnStatement("SET IMPLICIT_TRANSACTIONS OFF");
}

Status OdbcConnection::doExecute(std::string_view sql) {
    endBatches();
    Statement stmt(dbc_, codec_);
    return stmt.executeAll(sql);
}

Status OdbcConnection::doOpenRecordset(std::string_view sql, CursorType, LockType lock, OpenedSet& out) {
    endBatches();
    std::vector<OdbcColumn> columns;
    {
        Statement stmt(dbc_, codec_);
        if (Status s = stmt.executeQuery(sql, columns, out.rows); !s) return s;
    }
    if (lock == LockType::Optimistic) out.writer = makeWriter(sql, columns);
    return Status::success();
}

std::unique_ptr<RowWriter> OdbcConnection::makeWriter(std::string_view sql, const std::vector<OdbcColumn>& columns) {
    if (columns.empty()) return nullptr;
    // The base table as the driver reports it, when every column names the same one.
    std::string table, schema;
    bool consistent = true;
    for (const auto& c : columns) {
        if (c.info.baseTable.empty()) continue;
        if (table.empty()) {
            table = c.info.baseTable;
            schema = c.baseSchema;
        } else if (!equalsIgnoreCase(table, c.info.baseTable)) {
            consistent = false;
        }
    }
    if (!consistent) return nullptr;
    if (table.empty()) {
        // Not every driver reports base tables: read it from the statement text.
        auto named = singleTableOf(sql);
        if (!named) return nullptr;
        const size_t dot = named->rfind('.');
        if (dot != std::string::npos && named->find(']', dot) == std::string::npos) {
            schema = unquoteIdentifier(named->substr(0, dot));
            table = unquoteIdentifier(named->substr(dot + 1));
        } else {
            table = unquoteIdentifier(*named);
        }
    }

    // The table's real columns, with the names it spells them with.
    std::vector<std::string> tableColumns;
    {
        Statement stmt(dbc_, codec_);
        if (!SQL_SUCCEEDED(catalogCall(codec_, stmt.handle(), CatalogCall::Columns, schema, table))) return nullptr;
        while (SQL_SUCCEEDED(SQLFetch(stmt.handle()))) tableColumns.push_back(columnTextOfRow(codec_, stmt.handle(), 4));
    }
    if (tableColumns.empty()) return nullptr;

    WriteTarget target;
    target.table = schema.empty() ? quoteIdentifier(table) : quoteIdentifier(schema) + "." + quoteIdentifier(table);
    target.columns = columns;
    for (const auto& c : columns) {
        const std::string& wanted = c.info.baseColumn.empty() ? c.info.name : c.info.baseColumn;
        std::string found;
        for (const auto& name : tableColumns) {
            if (equalsIgnoreCase(name, wanted)) found = name;
        }
        target.baseColumns.push_back(found);
    }
    if (std::all_of(target.baseColumns.begin(), target.baseColumns.end(), [](const auto& n) { return n.empty(); })) {
        return nullptr;
    }
    auto indexOf = [&](const std::string& name) -> std::optional<size_t> {
        for (size_t i = 0; i < target.baseColumns.size(); ++i) {
            if (!target.baseColumns[i].empty() && equalsIgnoreCase(target.baseColumns[i], name)) return i;
        }
        return std::nullopt;
    };
    auto keyFrom = [&](const std::vector<std::string>& names) {
        std::vector<size_t> key;
        for (const auto& n : names) {
            auto i = indexOf(n);
            if (!i) return std::vector<size_t>{};
            key.push_back(*i);
        }
        return key;
    };

    // Key: the primary key when the set holds all of it, else a unique index it holds.
    {
        Statement stmt(dbc_, codec_);
        std::vector<std::string> primary;
        if (SQL_SUCCEEDED(catalogCall(codec_, stmt.handle(), CatalogCall::PrimaryKeys, schema, table))) {
            while (SQL_SUCCEEDED(SQLFetch(stmt.handle()))) primary.push_back(columnTextOfRow(codec_, stmt.handle(), 4));
        }
        target.keyColumns = keyFrom(primary);
    }
    if (target.keyColumns.empty()) {
        Statement stmt(dbc_, codec_);
        std::map<std::string, std::vector<std::string>> unique;
        std::vector<std::string> order;
        if (SQL_SUCCEEDED(catalogCall(codec_, stmt.handle(), CatalogCall::UniqueIndexes, schema, table))) {
            while (SQL_SUCCEEDED(SQLFetch(stmt.handle()))) {
                SQLSMALLINT type = 0, nonUnique = 1;
                SQLLEN ind = 0;
                SQLGetData(stmt.handle(), 7, SQL_C_SSHORT, &type, sizeof type, &ind);
                if (type == SQL_TABLE_STAT) continue;
                SQLGetData(stmt.handle(), 4, SQL_C_SSHORT, &nonUnique, sizeof nonUnique, &ind);
                if (nonUnique != 0) continue;
                const std::string index = columnTextOfRow(codec_, stmt.handle(), 6);
                if (!unique.count(index)) order.push_back(index);
                unique[index].push_back(columnTextOfRow(codec_, stmt.handle(), 9));
            }
        }
        for (const auto& index : order) {
            target.keyColumns = keyFrom(unique[index]);
            if (!target.keyColumns.empty()) break;
        }
    }
    return makeOdbcRowWriter(*this, std::move(target));
}

std::string OdbcConnection::doCurrentDatabase() {
    if (std::string name = currentCatalog(codec_, dbc_); !name.empty()) return name;
    // Drivers without catalogues (file databases) report none: the name asked for.
    return settings_.database;
}

void OdbcConnection::doClose() {
    if (!open_) return;
    endBatches();
    if (inTransaction_) endTransaction(false);
    SQLDisconnect(dbc_);
    open_ = false;
}

Status OdbcConnection::setAutocommit(bool on) {
    const SQLRETURN rc = SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT,
                                           reinterpret_cast<SQLPOINTER>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF), 0);
    if (!SQL_SUCCEEDED(rc)) return Status(errorRecords(codec_, SQL_HANDLE_DBC, dbc_, client_error::kErrorsInCommand));
    return Status::success();
}

Status OdbcConnection::endTransaction(bool commit) {
    const SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, dbc_, commit ? SQL_COMMIT : SQL_ROLLBACK);
    Status outcome = SQL_SUCCEEDED(rc) ? Status::success()
                                       : Status(errorRecords(codec_, SQL_HANDLE_DBC, dbc_, client_error::kErrorsInCommand));
    inTransaction_ = false;
    Status restored = setAutocommit(true);
    return outcome.ok() ? restored : outcome;
}

Status OdbcConnection::doBeginTransaction() {
    endBatches();
    if (inTransaction_) return Status(Error{client_error::kErrorsInCommand, 0, "", "A transaction is already open on this connection."});
    Status s = setAutocommit(false);
    if (s) inTransaction_ = true;
    return s;
}

Status OdbcConnection::doCommitTransaction() {
    endBatches();
    if (!inTransaction_) return Status(Error{client_error::kErrorsInCommand, 0, "", "No transaction is open on this connection."});
    return endTransaction(true);
}

Status OdbcConnection::doRollbackTransaction() {
    endBatches();
    if (!inTransaction_) return Status(Error{client_error::kErrorsInCommand, 0, "", "No transaction is open on this connection."});
    return endTransaction(false);
}

Status OdbcConnection::guarded(const std::function<Status()>& work) {
    endBatches();
    if (inTransaction_) return work();
    if (Status s = doBeginTransaction(); !s) return s;
    Status outcome = work();
    Status ended = endTransaction(outcome.ok());
    return outcome.ok() ? ended : outcome;
}

std::optional<std::string> singleTableOf(std::string_view sql) {
    // Find the top-level FROM (outside parentheses and quotes).
    auto lower = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
    auto isWordChar = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '#' || c == '@' || c == '$'; };
    auto keywordAt = [&](size_t i, std::string_view word) {
        if (i + word.size() > sql.size()) return false;
        for (size_t k = 0; k < word.size(); ++k) {
            if (lower(sql[i + k]) != word[k]) return false;
        }
        return (i == 0 || !isWordChar(sql[i - 1])) && (i + word.size() == sql.size() || !isWordChar(sql[i + word.size()]));
    };
    size_t i = 0;
    while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i]))) ++i;
    if (!keywordAt(i, "select")) return std::nullopt;
    int depth = 0;
    size_t from = std::string_view::npos;
    for (; i < sql.size(); ++i) {
        const char c = sql[i];
        if (c == '\'') {
            for (++i; i < sql.size() && sql[i] != '\''; ++i) {}
        } else if (c == '(') {
            ++depth;
        } else if (c == ')') {
            --depth;
        } else if (depth == 0 && keywordAt(i, "from")) {
            from = i + 4;
            break;
        }
    }
    if (from == std::string_view::npos) return std::nullopt;
    i = from;
    while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i]))) ++i;
    const size_t start = i;
    while (i < sql.size()) {
        if (sql[i] == '[') {
            const size_t close = sql.find(']', i);
            if (close == std::string_view::npos) return std::nullopt;
            i = close + 1;
        } else if (isWordChar(sql[i]) || sql[i] == '.') {
            ++i;
        } else {
            break;
        }
    }
    if (i == start) return std::nullopt;
    const std::string name(sql.substr(start, i - start));
    while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i]))) ++i;
    if (i == sql.size() || keywordAt(i, "where") || keywordAt(i, "order")) return name;
    return std::nullopt;
}

std::unique_ptr<Connection> openConnection(const ConnectionSettings& settings, const std::string& driver) {
    return openConnection(settings, driver, encodingFor(driver));
}

std::unique_ptr<Connection> openConnection(const ConnectionSettings& settings, const std::string& driver,
                                           Encoding encoding) {
    auto connection = std::make_unique<OdbcConnection>(settings, driver, encoding);
    Status status = connection->open();
    connection->traceStatement("connect", "", status);
    connection->setPendingError(status);
    return connection;
}

}  // namespace db::odbc
