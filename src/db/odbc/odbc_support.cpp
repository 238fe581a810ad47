#include "db/odbc/odbc_support.h"

#include <algorithm>
#include <cstring>

#include "db/text_util.h"

namespace db::odbc {

SQLHENV environment() {
    static SQLHENV env = [] {
        SQLHENV handle = SQL_NULL_HENV;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handle))) {
            return static_cast<SQLHENV>(SQL_NULL_HENV);
        }
        SQLSetEnvAttr(handle, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        return handle;
    }();
    return env;
}

std::u16string toUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        char32_t cp = 0xFFFD;
        size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c >> 5) == 0x6 && i + 1 < utf8.size()) {
            cp = ((c & 0x1F) << 6) | (utf8[i + 1] & 0x3F);
            len = 2;
        } else if ((c >> 4) == 0xE && i + 2 < utf8.size()) {
            cp = ((c & 0x0F) << 12) | ((utf8[i + 1] & 0x3F) << 6) | (utf8[i + 2] & 0x3F);
            len = 3;
        } else if ((c >> 3) == 0x1E && i + 3 < utf8.size()) {
            cp = ((c & 0x07) << 18) | ((utf8[i + 1] & 0x3F) << 12) | ((utf8[i + 2] & 0x3F) << 6) |
                 (utf8[i + 3] & 0x3F);
            len = 4;
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string toUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (size_t i = 0; i < utf16.size(); ++i) {
        char32_t cp = utf16[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::string toUtf8(const SQLWCHAR* text, size_t length) {
    return toUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
}

std::string stripDriverPrefixes(std::string_view message) {
    while (!message.empty() && message.front() == '[') {
        const size_t close = message.find(']');
        if (close == std::string_view::npos) break;
        message.remove_prefix(close + 1);
    }
    return std::string(message);
}

std::vector<Error> errorRecords(const Codec& codec, SQLSMALLINT handleType, SQLHANDLE handle, long number) {
    std::vector<Error> errors;
    for (SQLSMALLINT record = 1;; ++record) {
        std::string state(6 * codec.unit(), '\0');
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        std::string message(2048 * codec.unit(), '\0');
        const SQLSMALLINT capacity = static_cast<SQLSMALLINT>(message.size() / codec.unit());
        SQLRETURN rc;
        if (codec.encoding == Encoding::Utf16) {
            rc = SQLGetDiagRecW(handleType, handle, record, reinterpret_cast<SQLWCHAR*>(state.data()), &native,
                                reinterpret_cast<SQLWCHAR*>(message.data()), capacity, &length);
        } else {
            rc = SQLGetDiagRec(handleType, handle, record, reinterpret_cast<SQLCHAR*>(state.data()), &native,
                               reinterpret_cast<SQLCHAR*>(message.data()), capacity, &length);
        }
        if (!SQL_SUCCEEDED(rc)) break;
        const std::string sqlState = codec.decode(state.data(), 5 * codec.unit());
        if (sqlState.rfind("01", 0) == 0) continue;
        const size_t chars = std::min<size_t>(static_cast<size_t>(length), static_cast<size_t>(capacity) - 1);
        errors.push_back(Error{number, static_cast<int>(native), sqlState,
                               stripDriverPrefixes(codec.decode(message.data(), chars * codec.unit()))});
    }
    return errors;
}

std::vector<std::string> installedDrivers() {
    std::vector<std::string> drivers;
    SQLHENV env = environment();
    if (env == SQL_NULL_HENV) return drivers;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    for (;;) {
        SQLWCHAR name[512];
        SQLWCHAR attributes[2048];
        SQLSMALLINT nameLength = 0, attributesLength = 0;
        const SQLRETURN rc = SQLDriversW(env, direction, name, 512, &nameLength, attributes, 2048,
                                         &attributesLength);
        if (!SQL_SUCCEEDED(rc)) break;
        drivers.push_back(toUtf8(name, static_cast<size_t>(std::min<SQLSMALLINT>(nameLength, 511))));
        direction = SQL_FETCH_NEXT;
    }
    return drivers;
}

std::string chooseDriver(const std::vector<std::string>& installed, const char* overrideName) {
    if (overrideName != nullptr && *overrideName != '\0') return overrideName;
    for (const char* preferred : kPreferredDrivers) {
        for (const auto& name : installed) {
            if (equalsIgnoreCase(name, preferred)) return name;
        }
    }
    return "";
}

std::string languageNeutralDateEscapes(std::string_view sql) {
    std::string out;
    out.reserve(sql.size());
    auto skipBlanks = [&](size_t i) {
        while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i]))) ++i;
        return i;
    };
    for (size_t i = 0; i < sql.size();) {
        const char c = sql[i];
        if (c == '\'' || c == '"' || c == '[') {
            // Quoted text and identifiers pass unchanged (a doubled quote stays inside).
            const char close = c == '[' ? ']' : c;
            size_t end = i + 1;
            while (end < sql.size()) {
                if (sql[end] == close) {
                    if (end + 1 < sql.size() && sql[end + 1] == close) {
                        end += 2;
                        continue;
                    }
                    break;
                }
                ++end;
            }
            end = std::min(end + 1, sql.size());
            out.append(sql.substr(i, end - i));
            i = end;
            continue;
        }
        if (c == '{') {
            size_t k = skipBlanks(i + 1);
            size_t word = k;
            while (k < sql.size() && std::isalpha(static_cast<unsigned char>(sql[k]))) ++k;
            const std::string kind = foldCase(sql.substr(word, k - word));
            k = skipBlanks(k);
            if ((kind == "D" || kind == "T" || kind == "TS") && k < sql.size() && sql[k] == '\'') {
                const size_t close = sql.find('\'', k + 1);
                const size_t brace = close == std::string_view::npos ? close : skipBlanks(close + 1);
                if (brace != std::string_view::npos && brace < sql.size() && sql[brace] == '}') {
                    std::string value(sql.substr(k + 1, close - k - 1));
                    if (kind == "D") {
                        value.erase(std::remove(value.begin(), value.end(), '-'), value.end());
                    } else if (kind == "TS" && value.size() > 10 && value[10] == ' ') {
                        value[10] = 'T';
                    }
                    out += "'" + value + "'";
                    i = brace + 1;
                    continue;
                }
            }
        }
        out += c;
        ++i;
    }
    return out;
}

bool isSqlServerDriver(std::string_view driver) {
    const std::string folded = foldCase(driver);
    return isFreeTds(driver) || folded.find("SQL SERVER") != std::string::npos ||
           folded.find("MSODBCSQL") != std::string::npos;
}

Encoding encodingFor(std::string_view driver) {
    return isSqlServerDriver(driver) ? Encoding::Utf16 : Encoding::Utf8;
}

std::string Codec::encode(std::string_view utf8) const {
    if (encoding == Encoding::Utf8) return std::string(utf8);
    const std::u16string wide = toUtf16(utf8);
    return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(char16_t));
}

std::string Codec::decode(const void* data, size_t bytes) const {
    if (encoding == Encoding::Utf8) {
        std::string s(static_cast<const char*>(data), bytes);
        // Narrow texts come terminated inside their buffer at times: cut at the first NUL.
        if (const size_t nul = s.find('\0'); nul != std::string::npos) s.resize(nul);
        return s;
    }
    std::u16string wide(bytes / sizeof(char16_t), u'\0');
    std::memcpy(wide.data(), data, wide.size() * sizeof(char16_t));
    if (const size_t nul = wide.find(u'\0'); nul != std::u16string::npos) wide.resize(nul);
    return toUtf8(wide);
}

namespace {
SQLWCHAR* asWide(std::string& s) { return reinterpret_cast<SQLWCHAR*>(s.data()); }
SQLCHAR* asNarrow(std::string& s) { return reinterpret_cast<SQLCHAR*>(s.data()); }
}  // namespace

namespace {
// A statement's text as the driver takes it, terminated, and its length in code units.
std::string driverText(const Codec& codec, std::string_view sql, SQLINTEGER& length) {
    std::string text =
        codec.encode(codec.neutralDateEscapes ? languageNeutralDateEscapes(sql) : std::string(sql));
    length = static_cast<SQLINTEGER>(codec.units(text));
    text.append(codec.unit(), '\0');
    return text;
}
}  // namespace

SQLRETURN execDirect(const Codec& codec, SQLHSTMT stmt, std::string_view sql) {
    SQLINTEGER length = 0;
    std::string text = driverText(codec, sql, length);
    return codec.encoding == Encoding::Utf16 ? SQLExecDirectW(stmt, asWide(text), length)
                                             : SQLExecDirect(stmt, asNarrow(text), length);
}

SQLRETURN prepare(const Codec& codec, SQLHSTMT stmt, std::string_view sql) {
    SQLINTEGER length = 0;
    std::string text = driverText(codec, sql, length);
    return codec.encoding == Encoding::Utf16 ? SQLPrepareW(stmt, asWide(text), length)
                                             : SQLPrepare(stmt, asNarrow(text), length);
}

SQLRETURN driverConnect(const Codec& codec, SQLHDBC dbc, std::string_view connectionText) {
    std::string text = codec.encode(connectionText);
    const auto length = static_cast<SQLSMALLINT>(codec.units(text));
    text.append(codec.unit(), '\0');
    SQLSMALLINT outLength = 0;
    const SQLRETURN rc =
        codec.encoding == Encoding::Utf16
            ? SQLDriverConnectW(dbc, nullptr, asWide(text), length, nullptr, 0, &outLength, SQL_DRIVER_NOPROMPT)
            : SQLDriverConnect(dbc, nullptr, asNarrow(text), length, nullptr, 0, &outLength, SQL_DRIVER_NOPROMPT);
    // The text held the password: it does not outlive the call.
    std::fill(text.begin(), text.end(), '\0');
    return rc;
}

SQLRETURN describeColumn(const Codec& codec, SQLHSTMT stmt, SQLUSMALLINT column, ColumnDescription& out) {
    std::string name(512 * codec.unit(), '\0');
    SQLSMALLINT length = 0;
    const SQLRETURN rc =
        codec.encoding == Encoding::Utf16
            ? SQLDescribeColW(stmt, column, asWide(name), 512, &length, &out.sqlType, &out.columnSize,
                              &out.decimalDigits, &out.nullable)
            : SQLDescribeCol(stmt, column, asNarrow(name), 512, &length, &out.sqlType, &out.columnSize,
                             &out.decimalDigits, &out.nullable);
    if (SQL_SUCCEEDED(rc)) out.name = codec.decode(name.data(), std::min<size_t>(static_cast<size_t>(length), 511) * codec.unit());
    return rc;
}

std::string columnAttributeText(const Codec& codec, SQLHSTMT stmt, SQLUSMALLINT column, SQLUSMALLINT field) {
    std::string buffer(1024, '\0');
    SQLSMALLINT length = 0;
    const SQLRETURN rc =
        codec.encoding == Encoding::Utf16
            ? SQLColAttributeW(stmt, column, field, buffer.data(), static_cast<SQLSMALLINT>(buffer.size()), &length, nullptr)
            : SQLColAttribute(stmt, column, field, buffer.data(), static_cast<SQLSMALLINT>(buffer.size()), &length, nullptr);
    if (!SQL_SUCCEEDED(rc)) return "";
    return codec.decode(buffer.data(), std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)), buffer.size() - codec.unit()));
}

std::string infoText(const Codec& codec, SQLHDBC dbc, SQLUSMALLINT info) {
    std::string buffer(256, '\0');
    SQLSMALLINT length = 0;
    const SQLRETURN rc = codec.encoding == Encoding::Utf16
                             ? SQLGetInfoW(dbc, info, buffer.data(), static_cast<SQLSMALLINT>(buffer.size()), &length)
                             : SQLGetInfo(dbc, info, buffer.data(), static_cast<SQLSMALLINT>(buffer.size()), &length);
    if (!SQL_SUCCEEDED(rc)) return "";
    return codec.decode(buffer.data(), std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)), buffer.size() - codec.unit()));
}

std::string currentCatalog(const Codec& codec, SQLHDBC dbc) {
    std::string buffer(1024, '\0');
    SQLINTEGER length = 0;
    const SQLRETURN rc =
        codec.encoding == Encoding::Utf16
            ? SQLGetConnectAttrW(dbc, SQL_ATTR_CURRENT_CATALOG, buffer.data(), static_cast<SQLINTEGER>(buffer.size()), &length)
            : SQLGetConnectAttr(dbc, SQL_ATTR_CURRENT_CATALOG, buffer.data(), static_cast<SQLINTEGER>(buffer.size()), &length);
    if (!SQL_SUCCEEDED(rc) || length <= 0) return "";
    return codec.decode(buffer.data(), std::min<size_t>(static_cast<size_t>(length), buffer.size() - codec.unit()));
}

SQLRETURN catalogCall(const Codec& codec, SQLHSTMT stmt, CatalogCall call, const std::string& schema,
                      const std::string& table) {
    std::string s = codec.encode(schema), t = codec.encode(table);
    s.append(codec.unit(), '\0');
    t.append(codec.unit(), '\0');
    if (codec.encoding == Encoding::Utf16) {
        SQLWCHAR* sp = schema.empty() ? nullptr : asWide(s);
        switch (call) {
            case CatalogCall::Columns:
                return SQLColumnsW(stmt, nullptr, 0, sp, SQL_NTS, asWide(t), SQL_NTS, nullptr, 0);
            case CatalogCall::PrimaryKeys:
                return SQLPrimaryKeysW(stmt, nullptr, 0, sp, SQL_NTS, asWide(t), SQL_NTS);
            case CatalogCall::UniqueIndexes:
                return SQLStatisticsW(stmt, nullptr, 0, sp, SQL_NTS, asWide(t), SQL_NTS, SQL_INDEX_UNIQUE, SQL_QUICK);
        }
    }
    SQLCHAR* sp = schema.empty() ? nullptr : asNarrow(s);
    switch (call) {
        case CatalogCall::Columns:
            return SQLColumns(stmt, nullptr, 0, sp, SQL_NTS, asNarrow(t), SQL_NTS, nullptr, 0);
        case CatalogCall::PrimaryKeys:
            return SQLPrimaryKeys(stmt, nullptr, 0, sp, SQL_NTS, asNarrow(t), SQL_NTS);
        case CatalogCall::UniqueIndexes:
            return SQLStatistics(stmt, nullptr, 0, sp, SQL_NTS, asNarrow(t), SQL_NTS, SQL_INDEX_UNIQUE, SQL_QUICK);
    }
    return SQL_ERROR;
}

std::string columnTextOfRow(const Codec& codec, SQLHSTMT stmt, SQLUSMALLINT column) {
    std::string buffer(1024, '\0');
    SQLLEN indicator = 0;
    if (!SQL_SUCCEEDED(SQLGetData(stmt, column, codec.charType(), buffer.data(), static_cast<SQLLEN>(buffer.size()), &indicator)) ||
        indicator == SQL_NULL_DATA) {
        return "";
    }
    const size_t bytes = indicator == SQL_NO_TOTAL ? buffer.size() - codec.unit()
                                                   : std::min<size_t>(static_cast<size_t>(indicator), buffer.size() - codec.unit());
    return codec.decode(buffer.data(), bytes);
}

bool isFreeTds(std::string_view driver) {
    const std::string folded = foldCase(driver);
    return folded.find("FREETDS") != std::string::npos || folded.find("TDSODBC") != std::string::npos;
}

std::string odbcConnectionString(const ConnectionSettings& settings, std::string_view driver) {
    // The driver name always goes in braces: names hold blanks and some hold '(' or '.'.
    std::string text = "Driver={";
    for (char c : driver) {
        text += c;
        if (c == '}') text += '}';
    }
    text += "}";
    const bool freeTds = isFreeTds(driver);
    const size_t comma = settings.server.rfind(',');
    if (freeTds && comma != std::string::npos) {
        text += ";" + attribute("Server", settings.server.substr(0, comma));
        text += ";" + attribute("Port", trimBlanks(settings.server.substr(comma + 1)));
    } else {
        text += ";" + attribute("Server", settings.server);
    }
    text += ";" + attribute("Database", settings.database);
    if (settings.integratedSecurity) {
        text += ";Trusted_Connection=yes";
    } else {
        text += ";" + attribute("UID", settings.user) + ";" + attribute("PWD", settings.password);
    }
    // FreeTDS names us_english in its login unless told otherwise; an empty language lets the
    // server apply the login's default, as SQL Server's own drivers do (Spanish installations
    // read date strings such as '31/12/1899' as day/month/year).
    if (freeTds) text += ";TDS_Version=7.4;ClientCharset=UTF-8;Language=";
    if (equalsIgnoreCase(driver, "ODBC Driver 18 for SQL Server")) text += ";TrustServerCertificate=yes";
    return text;
}

}  // namespace db::odbc
