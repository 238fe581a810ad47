// Plumbing shared by the ODBC driver: the process's ODBC environment, UTF-8/UTF-16 text
// for the wide ODBC calls, diagnostics into Errors, the choice of the installed driver and
// the ODBC connection text built from connection settings.
// Thread-safety: the environment is created once (thread-safe); the rest are functions
// over handles that their caller owns.
#pragma once

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <string>
#include <string_view>
#include <vector>

#include "db/connection_string.h"
#include "db/error.h"

namespace db::odbc {

// The ODBC 3 environment handle of the process; nullptr when it cannot be allocated.
SQLHENV environment();

std::u16string toUtf16(std::string_view utf8);
std::string toUtf8(std::u16string_view utf16);
std::string toUtf8(const SQLWCHAR* text, size_t length);
inline SQLWCHAR* wide(std::u16string& s) { return reinterpret_cast<SQLWCHAR*>(s.data()); }

// How text crosses the ODBC calls. The SQL Server drivers take UTF-16 through the wide
// calls, whatever the process locale; a driver without wide calls (the SQLite driver, for
// one) would get them narrowed byte by byte by the driver manager, so it gets UTF-8
// through the narrow calls instead.
enum class Encoding { Utf16, Utf8 };
// FreeTDS turns {d '2009-10-31'} into the bare string '2009-10-31' (it ignores
// SQL_ATTR_NOSCAN), which a login with a day/month/year language reads as the 10th day of a
// 31st month. Rewritten first as '20091031', {ts '2009-10-31 10:00:00'} as
// '2009-10-31T10:00:00' and {t '10:00:00'} as '10:00:00', the forms SQL Server reads the same
// whatever the language; everything else, quoted text included, stays as it is.
std::string languageNeutralDateEscapes(std::string_view sql);
// Whether the driver is one for SQL Server (FreeTDS, Microsoft's ODBC drivers).
bool isSqlServerDriver(std::string_view driver);
Encoding encodingFor(std::string_view driver);

struct Codec {
    Encoding encoding = Encoding::Utf16;
    // Date and time escapes ({d '2009-10-31'}) are written in a form every login language
    // reads alike before the driver sees them (see languageNeutralDateEscapes).
    bool neutralDateEscapes = false;

    SQLSMALLINT charType() const { return encoding == Encoding::Utf16 ? SQL_C_WCHAR : SQL_C_CHAR; }
    SQLSMALLINT varcharType() const { return encoding == Encoding::Utf16 ? SQL_WVARCHAR : SQL_VARCHAR; }
    SQLSMALLINT longVarcharType() const { return encoding == Encoding::Utf16 ? SQL_WLONGVARCHAR : SQL_LONGVARCHAR; }
    size_t unit() const { return encoding == Encoding::Utf16 ? 2 : 1; }
    // The bytes of a text in this encoding, without terminator.
    std::string encode(std::string_view utf8) const;
    // UTF-8 of `bytes` bytes of text in this encoding.
    std::string decode(const void* data, size_t bytes) const;
    // Characters (code units) of an encoded text.
    size_t units(const std::string& encoded) const { return encoded.size() / unit(); }
};

// The calls that come in a narrow and a wide form, called in the codec's form. Text
// arguments are UTF-8; returned texts are UTF-8.
SQLRETURN execDirect(const Codec& codec, SQLHSTMT stmt, std::string_view sql);
SQLRETURN prepare(const Codec& codec, SQLHSTMT stmt, std::string_view sql);
SQLRETURN driverConnect(const Codec& codec, SQLHDBC dbc, std::string_view text);
struct ColumnDescription {
    std::string name;
    SQLSMALLINT sqlType = SQL_UNKNOWN_TYPE;
    SQLULEN columnSize = 0;
    SQLSMALLINT decimalDigits = 0;
    SQLSMALLINT nullable = SQL_NULLABLE_UNKNOWN;
};
SQLRETURN describeColumn(const Codec& codec, SQLHSTMT stmt, SQLUSMALLINT column, ColumnDescription& out);
std::string columnAttributeText(const Codec& codec, SQLHSTMT stmt, SQLUSMALLINT column, SQLUSMALLINT field);
std::string infoText(const Codec& codec, SQLHDBC dbc, SQLUSMALLINT info);
std::string currentCatalog(const Codec& codec, SQLHDBC dbc);
enum class CatalogCall { Columns, PrimaryKeys, UniqueIndexes };
// Runs a catalogue function for a table (schema may be empty).
SQLRETURN catalogCall(const Codec& codec, SQLHSTMT stmt, CatalogCall call, const std::string& schema,
                      const std::string& table);
// A text column of the current row (catalogue results); empty for NULL or on failure.
std::string columnTextOfRow(const Codec& codec, SQLHSTMT stmt, SQLUSMALLINT column);

// The error records of a handle, in order. Warnings and informational records (SQLSTATE
// class 01) are left out: they do not make an operation fail. `number` is the client-level
// number given to every record. Descriptions lose the "[vendor][driver][source]" prefixes.
std::vector<Error> errorRecords(const Codec& codec, SQLSMALLINT handleType, SQLHANDLE handle, long number);
// "[Microsoft][ODBC Driver 18 for SQL Server][SQL Server]Invalid column name 'x'." ->
// "Invalid column name 'x'."
std::string stripDriverPrefixes(std::string_view message);

// Names of the installed drivers, as the driver manager lists them.
std::vector<std::string> installedDrivers();

// The driver to use: ACTUALIZA_ODBC_DRIVER when set (a driver name or the path of a
// driver library), else the first installed of the SQL Server drivers in order of
// preference. Empty when there is none.
std::string chooseDriver(const std::vector<std::string>& installed, const char* overrideName);
inline constexpr const char* kPreferredDrivers[] = {
    "ODBC Driver 18 for SQL Server",
    "ODBC Driver 17 for SQL Server",
    "FreeTDS",
};
bool isFreeTds(std::string_view driver);

// The ODBC connection text for the settings and driver, every value quoted as ODBC
// requires. FreeTDS gets the port as an attribute of its own, protocol 7.4 and UTF-8 as
// its client charset (so that accents survive); Microsoft's driver 18 trusts the
// server's certificate, as connections to servers with self-signed certificates need.
std::string odbcConnectionString(const ConnectionSettings& settings, std::string_view driver);

}  // namespace db::odbc
