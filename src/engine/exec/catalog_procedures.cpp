// The catalogue procedures through which ODBC drivers answer SQLColumns, SQLPrimaryKeys,
// SQLStatistics, SQLTables, SQLSpecialColumns, SQLGetTypeInfo, SQLProcedures,
// SQLProcedureColumns and SQLForeignKeys (FreeTDS sends "sp_columns @table_name='T',...
// @ODBCVer=3" as a language batch), and sp_server_info, which tools read at connection.
//
// Result sets have SQL Server's column names, types and order, and its row order. Data type
// codes are ODBC's: version 2 by default, version 3 with @ODBCVer = 3 (the datetime family
// then reports SQL_TYPE_TIMESTAMP 93 with SQL_DATETIME 9 / code 3). Types newer than the
// ODBC 2 drivers (date) are described as nvarchar, as the unversioned procedures of SQL
// Server do for down-level clients.
#include <algorithm>

#include "engine/exec/procedure_support.h"
#include "engine/sql/parser.h"
#include "engine/types/like.h"

namespace engine::exec {

namespace {

// --- result sets ---------------------------------------------------------------------------

const DataType kSmallInt = DataType::of(TypeId::SmallInt);
const DataType kInt = DataType::of(TypeId::Int);
const DataType kTinyInt = DataType::of(TypeId::TinyInt);

struct ColumnSpec {
    const char* name;
    DataType type;
    bool nullable = true;
};

ResultSet resultSet(std::initializer_list<ColumnSpec> columns) {
    ResultSet set;
    for (const auto& c : columns)
        set.columns.push_back(ResultColumn{c.name, c.type, c.nullable, false, ""});
    return set;
}

Value nameValue(const std::string& s) {
    return Value::string(s, sysname());
}
Value smallint(std::optional<int64_t> v) {
    return v ? Value::integer(*v, TypeId::SmallInt) : Value::null(kSmallInt);
}
Value integer(std::optional<int64_t> v) {
    return v ? Value::integer(*v, TypeId::Int) : Value::null(kInt);
}
Value varchar(const char* s, int32_t n) {
    return s ? Value::string(s, DataType::varchar(n)) : Value::null(DataType::varchar(n));
}

// --- arguments -----------------------------------------------------------------------------

std::optional<int64_t> intArgument(ExecContext& ctx, const Arguments& args, const std::string& name,
                                   TypeId type) {
    auto v = args.get(name);
    if (!v || v->isNull()) return std::nullopt;
    return convert(*v, DataType::of(type), ConversionKind::Implicit, 0, ctx.dateFormat()).asInt64();
}

int odbcVersion(ExecContext& ctx, const Arguments& args, TypeId type = TypeId::Int) {
    return intArgument(ctx, args, "@ODBCVer", type).value_or(2) >= 3 ? 3 : 2;
}

// A name argument matched against names: LIKE when patterns are on, else as names compare.
class NameFilter {
  public:
    NameFilter() = default;
    NameFilter(std::optional<std::string> value, bool usePattern)
        : value_(std::move(value)), usePattern_(usePattern) {
        if (value_ && usePattern_) pattern_ = LikePattern::compile(*value_);
    }
    bool given() const { return value_.has_value(); }
    bool matches(std::string_view name) const {
        if (!value_) return true;
        return usePattern_ ? pattern_.matches(name) : identifierEqual(name, *value_);
    }

  private:
    std::optional<std::string> value_;
    bool usePattern_ = false;
    LikePattern pattern_ = LikePattern::compile("%");
};

// @table_qualifier names the current database (or nothing); any other name is an error.
void checkQualifier(ExecContext& ctx, const char* procedure, const std::optional<std::string>& q) {
    if (q && !q->empty() && !identifierEqual(*q, ctx.entry().name))
        procedureError(ctx, procedure, 15250);
}

// The table a procedure without patterns names: in the given schema, else dbo.
const Table* namedTable(ExecContext& ctx, const std::optional<std::string>& owner,
                        const std::string& name) {
    return ctx.database().findTable(owner.value_or(""), name);
}

// --- ODBC view of the engine's types -------------------------------------------------------

struct OdbcType {
    int dataType = 0;  // ODBC code
    std::string typeName;
    std::optional<int64_t> precision;
    std::optional<int64_t> length;
    std::optional<int64_t> scale;
    std::optional<int64_t> radix;
    std::optional<int64_t> octetLength;  // CHAR_OCTET_LENGTH
    int sqlDataType = 0;
    std::optional<int64_t> datetimeSub;
    int ssDataType = 0;  // SS_DATA_TYPE: the old server type (nullable ones have their own)
};

constexpr int kLong = 2147483647;

OdbcType odbcType(const DataType& type, bool nullable, bool identity, int odbcVersion) {
    OdbcType t;
    t.typeName = std::string(typeName(type.id));
    const int64_t n = type.length;
    auto exact = [&](int code, int64_t precision, int64_t length, int64_t scale, int notNullSs,
                     int nullableSs) {
        t.dataType = code;
        t.precision = precision;
        t.length = length;
        t.scale = scale;
        t.radix = 10;
        t.ssDataType = nullable ? nullableSs : notNullSs;
    };
    auto characters = [&](int code, int64_t chars, int64_t bytes, int ss) {
        t.dataType = code;
        t.precision = chars;
        t.length = bytes;
        t.octetLength = bytes;
        t.ssDataType = ss;
    };
    switch (type.id) {
        case TypeId::Bit:
            t.dataType = -7;
            t.precision = 1;
            t.length = 1;
            t.ssDataType = 50;
            break;
        case TypeId::TinyInt:
            exact(-6, 3, 1, 0, 48, 38);
            break;
        case TypeId::SmallInt:
            exact(5, 5, 2, 0, 52, 38);
            break;
        case TypeId::Int:
            exact(4, 10, 4, 0, 56, 38);
            break;
        case TypeId::BigInt:
            exact(-5, 19, 8, 0, 0, 0);
            break;
        case TypeId::Decimal:
            exact(3, type.precision, type.precision + 2, type.scale, 55, 106);
            break;
        case TypeId::Numeric:
            exact(2, type.precision, type.precision + 2, type.scale, 63, 108);
            break;
        case TypeId::Money:
            exact(3, 19, 21, 4, 60, 110);
            break;
        case TypeId::SmallMoney:
            exact(3, 10, 12, 4, 122, 110);
            break;
        case TypeId::Float:
            exact(6, 15, 8, 0, 62, 109);
            t.scale.reset();
            break;
        case TypeId::Real:
            exact(7, 7, 4, 0, 59, 109);
            t.scale.reset();
            break;
        case TypeId::DateTime:
        case TypeId::SmallDateTime: {
            const bool small = type.id == TypeId::SmallDateTime;
            t.dataType = odbcVersion >= 3 ? 93 : 11;
            t.precision = small ? 16 : 23;
            t.length = 16;
            t.scale = small ? 0 : 3;
            t.sqlDataType = odbcVersion >= 3 ? 9 : 11;
            if (odbcVersion >= 3) t.datetimeSub = 3;
            t.ssDataType = nullable ? 111 : (small ? 58 : 61);
            return t;
        }
        case TypeId::Date:
            characters(-9, 10, 20, 0);
            t.octetLength = 20;
            break;
        case TypeId::Char:
            characters(1, n, n, 47);
            break;
        case TypeId::VarChar:
            if (type.isMax()) {
                characters(-1, kLong, kLong, 35);
            } else {
                characters(12, n, n, 39);
            }
            break;
        case TypeId::Text:
            characters(-1, kLong, kLong, 35);
            break;
        case TypeId::NChar:
            characters(-8, n, 2 * n, 47);
            break;
        case TypeId::NVarChar:
            if (type.isMax()) {
                characters(-10, kLong / 2, kLong - 1, 35);
            } else {
                characters(-9, n, 2 * n, 39);
            }
            break;
        case TypeId::NText:
            characters(-10, kLong / 2, kLong - 1, 35);
            break;
        case TypeId::Binary:
            characters(-2, n, n, 45);
            break;
        case TypeId::VarBinary:
            if (type.isMax()) {
                characters(-4, kLong, kLong, 34);
            } else {
                characters(-3, n, n, 37);
            }
            break;
        case TypeId::Image:
            characters(-4, kLong, kLong, 34);
            break;
        case TypeId::UniqueIdentifier:
            t.dataType = -11;
            t.precision = 36;
            t.length = 16;
            break;
        case TypeId::SqlVariant:
            t.dataType = -150;
            t.precision = 8000;
            t.length = 8000;
            break;
    }
    if (identity) t.typeName += " identity";
    t.sqlDataType = t.dataType;
    return t;
}

// --- sp_columns ----------------------------------------------------------------------------

struct ColumnDescription {
    std::string name;
    DataType type;
    bool nullable = true;
    bool identity = false;
    std::optional<std::string> defaultText;
};

// The columns of a view, as a query over it would return them.
std::vector<ColumnDescription> viewColumns(ExecContext& ctx, const ViewSchema& view) {
    std::vector<ColumnDescription> out;
    sql::ParseResult parsed =
        sql::parseBatch("SELECT * FROM [" + view.schema + "].[" + view.name + "]");
    if (!parsed.ok()) return out;
    try {
        Binder binder(ctx);
        auto query = binder.bindQuery(*parsed.batch.statements[0]->as<sql::SelectStmt>()->query,
                                      nullptr, false);
        for (const auto& c : query->columns)
            out.push_back({c.name, c.type, c.nullable, c.identity, std::nullopt});
    } catch (const SqlException&) {
        // A view whose tables are gone has no columns to describe.
    }
    return out;
}

void spColumns(ExecContext& ctx, const sql::ExecStmt& exec) {
    Arguments args(ctx, exec,
                   {"@table_name", "@table_owner", "@table_qualifier", "@column_name", "@ODBCVer"});
    args.check(ctx, "sp_columns", 1);
    const int version = odbcVersion(ctx, args);
    checkQualifier(ctx, "sp_columns", args.text("@table_qualifier"));
    ResultSet set = resultSet({{"TABLE_QUALIFIER", sysname()},
                               {"TABLE_OWNER", sysname()},
                               {"TABLE_NAME", sysname()},
                               {"COLUMN_NAME", sysname()},
                               {"DATA_TYPE", kSmallInt},
                               {"TYPE_NAME", sysname()},
                               {"PRECISION", kInt},
                               {"LENGTH", kInt},
                               {"SCALE", kSmallInt},
                               {"RADIX", kSmallInt},
                               {"NULLABLE", kSmallInt},
                               {"REMARKS", DataType::varchar(254)},
                               {"COLUMN_DEF", DataType::nvarchar(4000)},
                               {"SQL_DATA_TYPE", kSmallInt},
                               {"SQL_DATETIME_SUB", kSmallInt},
                               {"CHAR_OCTET_LENGTH", kInt},
                               {"ORDINAL_POSITION", kInt},
                               {"IS_NULLABLE", DataType::varchar(254)},
                               {"SS_DATA_TYPE", kTinyInt}});
    const NameFilter tableFilter(args.text("@table_name"), true);
    const NameFilter ownerFilter(args.text("@table_owner"), true);
    const NameFilter columnFilter(args.text("@column_name"), true);
    Database& db = ctx.database();

    struct Object {
        std::string schema, name;
        std::vector<ColumnDescription> columns;
    };
    std::vector<Object> objects;
    for (const auto& [id, table] : db.tables()) {
        const TableSchema& t = table->schema;
        if (!tableFilter.matches(t.name) || !ownerFilter.matches(t.schema)) continue;
        Object o{t.schema, t.name, {}};
        for (const auto& c : t.columns) {
            const DefaultSchema* d = c.defaultId ? t.defaultById(c.defaultId) : nullptr;
            o.columns.push_back({c.name, c.type, c.nullable, c.identity,
                                 d ? std::optional<std::string>(d->definition) : std::nullopt});
        }
        objects.push_back(std::move(o));
    }
    for (const auto& [id, view] : db.views()) {
        if (!tableFilter.matches(view.name) || !ownerFilter.matches(view.schema)) continue;
        objects.push_back({view.schema, view.name, viewColumns(ctx, view)});
    }
    std::sort(objects.begin(), objects.end(), [](const Object& a, const Object& b) {
        if (int c = collationCompare(a.schema, b.schema)) return c < 0;
        return collationCompare(a.name, b.name) < 0;
    });
    for (const Object& o : objects) {
        int ordinal = 0;
        for (const ColumnDescription& c : o.columns) {
            ++ordinal;
            if (!columnFilter.matches(c.name)) continue;
            const OdbcType t = odbcType(c.type, c.nullable, c.identity, version);
            set.rows.push_back(
                {nameValue(db.name()), nameValue(o.schema), nameValue(o.name), nameValue(c.name),
                 smallint(t.dataType), nameValue(t.typeName), integer(t.precision),
                 integer(t.length), smallint(t.scale), smallint(t.radix),
                 smallint(c.nullable ? 1 : 0), Value::null(DataType::varchar(254)),
                 c.defaultText ? Value::string(*c.defaultText, DataType::nvarchar(4000))
                               : Value::null(DataType::nvarchar(4000)),
                 smallint(t.sqlDataType), smallint(t.datetimeSub), integer(t.octetLength),
                 integer(ordinal), varchar(c.nullable ? "YES" : "NO", 254),
                 Value::integer(t.ssDataType, TypeId::TinyInt)});
        }
    }
    ctx.out.resultSet(std::move(set));
}

// --- sp_pkeys ------------------------------------------------------------------------------

void spPkeys(ExecContext& ctx, const sql::ExecStmt& exec) {
    Arguments args(ctx, exec, {"@table_name", "@table_owner", "@table_qualifier"});
    args.check(ctx, "sp_pkeys", 1);
    checkQualifier(ctx, "sp_pkeys", args.text("@table_qualifier"));
    ResultSet set = resultSet({{"TABLE_QUALIFIER", sysname()},
                               {"TABLE_OWNER", sysname()},
                               {"TABLE_NAME", sysname(), false},
                               {"COLUMN_NAME", sysname(), false},
                               {"KEY_SEQ", kSmallInt, false},
                               {"PK_NAME", sysname()}});
    const Table* table =
        namedTable(ctx, args.text("@table_owner"), args.text("@table_name").value_or(""));
    if (table) {
        const TableSchema& t = table->schema;
        for (const auto& ix : t.indexes) {
            if (ix.constraint != KeyConstraint::PrimaryKey) continue;
            int seq = 0;
            for (const auto& k : ix.keys) {
                const int p = t.columnIndexById(k.columnId);
                set.rows.push_back({nameValue(ctx.entry().name), nameValue(t.schema),
                                    nameValue(t.name), nameValue(p >= 0 ? t.columns[p].name : ""),
                                    smallint(++seq), nameValue(ix.name)});
            }
        }
    }
    ctx.out.resultSet(std::move(set));
}

// --- sp_statistics -------------------------------------------------------------------------

// Pages a table's rows take, as the statistics row reports them: an estimate, since the
// store has no pages (8 KB pages at a hundred rows each, the order of a typical row).
int64_t estimatedPages(int64_t rows) {
    return (rows + 99) / 100;
}

void spStatistics(ExecContext& ctx, const sql::ExecStmt& exec) {
    Arguments args(ctx, exec,
                   {"@table_name", "@table_owner", "@table_qualifier", "@index_name", "@is_unique",
                    "@accuracy"});
    args.check(ctx, "sp_statistics", 1);
    checkQualifier(ctx, "sp_statistics", args.text("@table_qualifier"));
    ResultSet set = resultSet({{"TABLE_QUALIFIER", sysname()},
                               {"TABLE_OWNER", sysname()},
                               {"TABLE_NAME", sysname(), false},
                               {"NON_UNIQUE", kSmallInt},
                               {"INDEX_QUALIFIER", sysname()},
                               {"INDEX_NAME", sysname()},
                               {"TYPE", kSmallInt, false},
                               {"SEQ_IN_INDEX", kSmallInt},
                               {"COLUMN_NAME", sysname()},
                               {"COLLATION", DataType{TypeId::Char, 1, 0, 0}},
                               {"CARDINALITY", kInt},
                               {"PAGES", kInt},
                               {"FILTER_CONDITION", DataType::varchar(128)}});
    const std::string isUnique = args.text("@is_unique").value_or("N");
    if (isUnique != "Y" && isUnique != "N" && isUnique != "y" && isUnique != "n")
        procedureError(ctx, "sp_statistics", 15600, {"sp_statistics"});
    const bool uniqueOnly = isUnique == "Y" || isUnique == "y";
    const NameFilter indexFilter(args.text("@index_name"), true);
    const Table* table =
        namedTable(ctx, args.text("@table_owner"), args.text("@table_name").value_or(""));
    if (table) {
        const TableSchema& t = table->schema;
        const int64_t rows = static_cast<int64_t>(table->rowCount());
        const Value qualifier = nameValue(ctx.entry().name);
        const Value charNull = Value::null(DataType{TypeId::Char, 1, 0, 0});
        // The table's own statistics row comes first (its NON_UNIQUE is NULL).
        set.rows.push_back({qualifier, nameValue(t.schema), nameValue(t.name), smallint({}),
                            Value::null(sysname()), Value::null(sysname()), smallint(0),
                            smallint({}), Value::null(sysname()), charNull, integer(rows),
                            integer(estimatedPages(rows)), Value::null(DataType::varchar(128))});
        std::vector<const IndexSchema*> indexes;
        for (const auto& ix : t.indexes) {
            if ((uniqueOnly && !ix.unique) || !indexFilter.matches(ix.name)) continue;
            indexes.push_back(&ix);
        }
        // NON_UNIQUE, TYPE (1 clustered, 3 other), INDEX_NAME.
        std::sort(indexes.begin(), indexes.end(), [](const IndexSchema* a, const IndexSchema* b) {
            if (a->unique != b->unique) return a->unique;
            if (a->clustered != b->clustered) return a->clustered;
            return collationCompare(a->name, b->name) < 0;
        });
        for (const IndexSchema* ix : indexes) {
            int seq = 0;
            for (const auto& k : ix->keys) {
                const int p = t.columnIndexById(k.columnId);
                set.rows.push_back(
                    {qualifier, nameValue(t.schema), nameValue(t.name),
                     smallint(ix->unique ? 0 : 1), nameValue(t.name), nameValue(ix->name),
                     smallint(ix->clustered ? 1 : 3), smallint(++seq),
                     nameValue(p >= 0 ? t.columns[p].name : ""),
                     Value::string(k.descending ? "D" : "A", DataType{TypeId::Char, 1, 0, 0}),
                     integer(rows), integer(estimatedPages(rows)),
                     Value::null(DataType::varchar(128))});
            }
        }
    }
    ctx.out.resultSet(std::move(set));
}

// --- sp_special_columns --------------------------------------------------------------------

void spSpecialColumns(ExecContext& ctx, const sql::ExecStmt& exec) {
    Arguments args(ctx, exec,
                   {"@table_name", "@table_owner", "@qualifier", "@col_type", "@scope", "@nullable",
                    "@ODBCVer"});
    args.check(ctx, "sp_special_columns", 1);
    const int version = odbcVersion(ctx, args);
    checkQualifier(ctx, "sp_special_columns", args.text("@qualifier"));
    ResultSet set = resultSet({{"SCOPE", kSmallInt},
                               {"COLUMN_NAME", sysname(), false},
                               {"DATA_TYPE", kSmallInt, false},
                               {"TYPE_NAME", sysname(), false},
                               {"PRECISION", kInt},
                               {"LENGTH", kInt},
                               {"SCALE", kSmallInt},
                               {"PSEUDO_COLUMN", kSmallInt}});
    const std::string colType = args.text("@col_type").value_or("R");
    const bool nullableAllowed = args.text("@nullable").value_or("U") != "O";
    const Table* table =
        namedTable(ctx, args.text("@table_owner"), args.text("@table_name").value_or(""));
    // 'R': the best unique identifier of a row: the primary key, else the first unique index
    // (clustered first) whose columns qualify. 'V' (columns that change on every update, the
    // timestamp columns) has no rows here: the engine has no rowversion columns.
    if (table && (colType == "R" || colType == "r")) {
        const TableSchema& t = table->schema;
        std::vector<const IndexSchema*> candidates;
        for (const auto& ix : t.indexes) {
            if (ix.unique) candidates.push_back(&ix);
        }
        std::stable_sort(candidates.begin(), candidates.end(), [](auto* a, auto* b) {
            if ((a->constraint == KeyConstraint::PrimaryKey) !=
                (b->constraint == KeyConstraint::PrimaryKey))
                return a->constraint == KeyConstraint::PrimaryKey;
            return a->clustered && !b->clustered;
        });
        for (const IndexSchema* ix : candidates) {
            bool usable = true;
            for (const auto& k : ix->keys) {
                const int p = t.columnIndexById(k.columnId);
                usable = usable && p >= 0 && (nullableAllowed || !t.columns[p].nullable);
            }
            if (!usable) continue;
            for (const auto& k : ix->keys) {
                const ColumnSchema& c = t.columns[t.columnIndexById(k.columnId)];
                const OdbcType o = odbcType(c.type, c.nullable, c.identity, version);
                // SCOPE: SQL Server reports SQL_SCOPE_CURROW whatever @scope asked for.
                set.rows.push_back({smallint(0), nameValue(c.name), smallint(o.dataType),
                                    nameValue(o.typeName), integer(o.precision), integer(o.length),
                                    smallint(o.scale), smallint(1)});
            }
            break;
        }
    }
    ctx.out.resultSet(std::move(set));
}

// --- sp_tables -----------------------------------------------------------------------------

// System views the engine has, listed as SQL Server lists its own.
struct SystemView {
    const char* schema;
    const char* name;
    const char* type;
};
constexpr SystemView kSystemViews[] = {
    {"INFORMATION_SCHEMA", "COLUMNS", "VIEW"},    {"INFORMATION_SCHEMA", "TABLES", "VIEW"},
    {"sys", "databases", "SYSTEM TABLE"},         {"sys", "schemas", "SYSTEM TABLE"},
    {"sys", "server_principals", "SYSTEM TABLE"}, {"sys", "sql_logins", "SYSTEM TABLE"},
    {"sys", "syscolumns", "SYSTEM TABLE"},        {"sys", "syscomments", "SYSTEM TABLE"},
    {"sys", "sysdatabases", "SYSTEM TABLE"},      {"sys", "sysindexes", "SYSTEM TABLE"},
    {"sys", "sysindexkeys", "SYSTEM TABLE"},      {"sys", "syslogins", "SYSTEM TABLE"},
    {"sys", "sysobjects", "SYSTEM TABLE"},        {"sys", "systypes", "SYSTEM TABLE"},
};

// @table_type: "'TABLE','VIEW'" (each type quoted, as ODBC drivers send it); unquoted
// words are accepted too. Empty: every type.
std::vector<std::string> tableTypes(const std::optional<std::string>& text) {
    std::vector<std::string> types;
    if (!text) return types;
    std::string current;
    auto flush = [&] {
        std::string t;
        for (char c : current) {
            if (c != '\'' && c != '"') t.push_back(c);
        }
        while (!t.empty() && t.front() == ' ')
            t.erase(t.begin());
        while (!t.empty() && t.back() == ' ')
            t.pop_back();
        if (!t.empty()) types.push_back(t);
        current.clear();
    };
    for (char c : *text) {
        if (c == ',') {
            flush();
        } else {
            current.push_back(c);
        }
    }
    flush();
    return types;
}

void spTables(ExecContext& ctx, const sql::ExecStmt& exec) {
    Arguments args(
        ctx, exec,
        {"@table_name", "@table_owner", "@table_qualifier", "@table_type", "@fUsePattern"});
    args.check(ctx, "sp_tables");
    ResultSet set = resultSet({{"TABLE_QUALIFIER", sysname()},
                               {"TABLE_OWNER", sysname()},
                               {"TABLE_NAME", sysname()},
                               {"TABLE_TYPE", DataType::varchar(32)},
                               {"REMARKS", DataType::varchar(254)}});
    const bool usePattern = intArgument(ctx, args, "@fUsePattern", TypeId::Bit).value_or(1) != 0;
    const auto name = args.text("@table_name");
    const auto owner = args.text("@table_owner");
    const auto qualifier = args.text("@table_qualifier");
    const auto type = args.text("@table_type");
    const Value noName = Value::null(sysname());
    const Value noType = Value::null(DataType::varchar(32));
    const Value noRemarks = Value::null(DataType::varchar(254));
    // The enumerations ODBC defines for SQLTables: every database, every owner, every type.
    if (name && name->empty() && owner && owner->empty() &&
        qualifier == std::optional<std::string>("%")) {
        for (const DatabaseEntry* e : ctx.session.server->databases())
            set.rows.push_back({nameValue(e->name), noName, noName, noType, noRemarks});
        std::sort(set.rows.begin(), set.rows.end(), [](const auto& a, const auto& b) {
            return collationCompare(a[0].bytes(), b[0].bytes()) < 0;
        });
        return ctx.out.resultSet(std::move(set));
    }
    if (name && name->empty() && qualifier && qualifier->empty() &&
        owner == std::optional<std::string>("%")) {
        std::vector<std::string> owners = {"dbo", "guest", "INFORMATION_SCHEMA", "sys"};
        for (const auto& [id, s] : ctx.database().createdSchemas())
            owners.push_back(s.name);
        std::sort(owners.begin(), owners.end(),
                  [](const auto& a, const auto& b) { return collationCompare(a, b) < 0; });
        for (const auto& o : owners)
            set.rows.push_back({noName, nameValue(o), noName, noType, noRemarks});
        return ctx.out.resultSet(std::move(set));
    }
    if (name && name->empty() && owner && owner->empty() && qualifier && qualifier->empty() &&
        type == std::optional<std::string>("%")) {
        for (const char* t : {"SYSTEM TABLE", "TABLE", "VIEW"})
            set.rows.push_back({noName, noName, noName, varchar(t, 32), noRemarks});
        return ctx.out.resultSet(std::move(set));
    }
    checkQualifier(ctx, "sp_tables", qualifier);
    const NameFilter nameFilter(name, usePattern);
    const NameFilter ownerFilter(owner, usePattern);
    const std::vector<std::string> types = tableTypes(type);
    auto typeWanted = [&](const char* t) {
        if (types.empty()) return true;
        return std::any_of(types.begin(), types.end(), [&](const std::string& w) {
            return identifierEqual(w, t) ||
                   (identifierEqual(w, "SYSTEMTABLE") && std::string_view(t) == "SYSTEM TABLE");
        });
    };
    struct Row {
        std::string type, owner, name;
    };
    std::vector<Row> rows;
    Database& db = ctx.database();
    auto add = [&](const char* t, const std::string& o, const std::string& n) {
        if (typeWanted(t) && nameFilter.matches(n) && ownerFilter.matches(o))
            rows.push_back({t, o, n});
    };
    for (const auto& [id, table] : db.tables())
        add("TABLE", table->schema.schema, table->schema.name);
    for (const auto& [id, view] : db.views())
        add("VIEW", view.schema, view.name);
    for (const auto& v : kSystemViews)
        add(v.type, v.schema, v.name);
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        if (a.type != b.type) return a.type < b.type;
        if (int c = collationCompare(a.owner, b.owner)) return c < 0;
        return collationCompare(a.name, b.name) < 0;
    });
    for (const Row& r : rows)
        set.rows.push_back({nameValue(db.name()), nameValue(r.owner), nameValue(r.name),
                            varchar(r.type.c_str(), 32), noRemarks});
    ctx.out.resultSet(std::move(set));
}

// --- sp_datatype_info ----------------------------------------------------------------------

struct TypeInfo {
    const char* name;
    int dataType;  // ODBC 2 code
    int64_t precision;
    const char* prefix;
    const char* suffix;
    const char* createParams;
    int nullable;
    int searchable;
    int unsignedAttribute;  // -1: NULL
    int money;
    int autoIncrement;  // -1: NULL
    int minimumScale;   // -1: NULL
    int maximumScale;   // -1: NULL
    int radix;          // 0: NULL
    int userType;
};

// The types the engine has, in SQL Server's order: by ODBC code, the closest match first.
constexpr TypeInfo kTypeInfo[] = {
    {"sql_variant", -150, 8000, nullptr, nullptr, nullptr, 1, 2, -1, 0, -1, 0, 0, 10, 0},
    {"uniqueidentifier", -11, 36, "'", "'", nullptr, 1, 2, -1, 0, -1, -1, -1, 0, 0},
    {"ntext", -10, 1073741823, "N'", "'", nullptr, 1, 1, -1, 0, -1, -1, -1, 0, 0},
    {"nvarchar", -9, 4000, "N'", "'", "max length", 1, 3, -1, 0, -1, -1, -1, 0, 0},
    {"sysname", -9, 128, "N'", "'", nullptr, 0, 3, -1, 0, -1, -1, -1, 0, 18},
    {"date", -9, 10, "'", "'", nullptr, 1, 3, -1, 0, -1, -1, -1, 0, 0},
    {"nchar", -8, 4000, "N'", "'", "length", 1, 3, -1, 0, -1, -1, -1, 0, 0},
    {"bit", -7, 1, nullptr, nullptr, nullptr, 1, 2, -1, 0, -1, 0, 0, 0, 16},
    {"tinyint", -6, 3, nullptr, nullptr, nullptr, 1, 2, 1, 0, 0, 0, 0, 10, 5},
    {"tinyint identity", -6, 3, nullptr, nullptr, nullptr, 0, 2, 1, 0, 1, 0, 0, 10, 5},
    {"bigint", -5, 19, nullptr, nullptr, nullptr, 1, 2, 0, 0, 0, 0, 0, 10, 0},
    {"bigint identity", -5, 19, nullptr, nullptr, nullptr, 0, 2, 0, 0, 1, 0, 0, 10, 0},
    {"image", -4, 2147483647, "0x", nullptr, nullptr, 1, 0, -1, 0, -1, -1, -1, 0, 20},
    {"varbinary", -3, 8000, "0x", nullptr, "max length", 1, 2, -1, 0, -1, -1, -1, 0, 4},
    {"binary", -2, 8000, "0x", nullptr, "length", 1, 2, -1, 0, -1, -1, -1, 0, 3},
    {"text", -1, 2147483647, "'", "'", nullptr, 1, 1, -1, 0, -1, -1, -1, 0, 19},
    {"char", 1, 8000, "'", "'", "length", 1, 3, -1, 0, -1, -1, -1, 0, 1},
    {"numeric", 2, 38, nullptr, nullptr, "precision,scale", 1, 2, 0, 0, 0, 0, 38, 10, 10},
    {"numeric() identity", 2, 38, nullptr, nullptr, "precision", 0, 2, 0, 0, 1, 0, 0, 10, 10},
    {"decimal", 3, 38, nullptr, nullptr, "precision,scale", 1, 2, 0, 0, 0, 0, 38, 10, 24},
    {"money", 3, 19, "$", nullptr, nullptr, 1, 2, 0, 1, 0, 4, 4, 10, 11},
    {"smallmoney", 3, 10, "$", nullptr, nullptr, 1, 2, 0, 1, 0, 4, 4, 10, 21},
    {"decimal() identity", 3, 38, nullptr, nullptr, "precision", 0, 2, 0, 0, 1, 0, 0, 10, 24},
    {"int", 4, 10, nullptr, nullptr, nullptr, 1, 2, 0, 0, 0, 0, 0, 10, 7},
    {"int identity", 4, 10, nullptr, nullptr, nullptr, 0, 2, 0, 0, 1, 0, 0, 10, 7},
    {"smallint", 5, 5, nullptr, nullptr, nullptr, 1, 2, 0, 0, 0, 0, 0, 10, 6},
    {"smallint identity", 5, 5, nullptr, nullptr, nullptr, 0, 2, 0, 0, 1, 0, 0, 10, 6},
    {"float", 6, 53, nullptr, nullptr, nullptr, 1, 2, 0, 0, 0, -1, -1, 2, 8},
    {"real", 7, 24, nullptr, nullptr, nullptr, 1, 2, 0, 0, 0, -1, -1, 2, 23},
    {"datetime", 11, 23, "'", "'", nullptr, 1, 3, -1, 0, -1, 3, 3, 0, 12},
    {"smalldatetime", 11, 16, "'", "'", nullptr, 1, 3, -1, 0, -1, 0, 0, 0, 22},
    {"varchar", 12, 8000, "'", "'", "max length", 1, 3, -1, 0, -1, -1, -1, 0, 2},
};

void spDatatypeInfo(ExecContext& ctx, const sql::ExecStmt& exec) {
    Arguments args(ctx, exec, {"@data_type", "@ODBCVer"});
    args.check(ctx, "sp_datatype_info");
    const int64_t wanted = intArgument(ctx, args, "@data_type", TypeId::Int).value_or(0);
    const int version = odbcVersion(ctx, args, TypeId::TinyInt);
    ResultSet set = resultSet({{"TYPE_NAME", sysname(), false},
                               {"DATA_TYPE", kSmallInt, false},
                               {"PRECISION", kInt},
                               {"LITERAL_PREFIX", DataType::varchar(32)},
                               {"LITERAL_SUFFIX", DataType::varchar(32)},
                               {"CREATE_PARAMS", DataType::varchar(32)},
                               {"NULLABLE", kSmallInt, false},
                               {"CASE_SENSITIVE", kSmallInt, false},
                               {"SEARCHABLE", kSmallInt, false},
                               {"UNSIGNED_ATTRIBUTE", kSmallInt},
                               {"MONEY", kSmallInt, false},
                               {"AUTO_INCREMENT", kSmallInt},
                               {"LOCAL_TYPE_NAME", sysname()},
                               {"MINIMUM_SCALE", kSmallInt},
                               {"MAXIMUM_SCALE", kSmallInt},
                               {"SQL_DATA_TYPE", kSmallInt, false},
                               {"SQL_DATETIME_SUB", kSmallInt},
                               {"NUM_PREC_RADIX", kInt},
                               {"INTERVAL_PRECISION", kSmallInt},
                               {"USERTYPE", kSmallInt}});
    auto orNull = [](int v) {
        return v < 0 ? std::optional<int64_t>() : std::optional<int64_t>(v);
    };
    std::vector<const TypeInfo*> rows;
    for (const TypeInfo& t : kTypeInfo)
        rows.push_back(&t);
    auto code = [&](const TypeInfo* t) {
        return t->dataType == 11 && version >= 3 ? 93 : t->dataType;
    };
    // ODBC 3's datetime code sorts after varchar's.
    std::stable_sort(rows.begin(), rows.end(), [&](auto* a, auto* b) { return code(a) < code(b); });
    for (const TypeInfo* t : rows) {
        const int dataType = code(t);
        if (wanted != 0 && wanted != dataType) continue;
        const bool datetime = t->dataType == 11;
        set.rows.push_back(
            {nameValue(t->name),
             smallint(dataType),
             integer(t->precision),
             varchar(t->prefix, 32),
             varchar(t->suffix, 32),
             varchar(t->createParams, 32),
             smallint(t->nullable),
             smallint(0),
             smallint(t->searchable),
             smallint(orNull(t->unsignedAttribute)),
             smallint(t->money),
             smallint(orNull(t->autoIncrement)),
             nameValue(t->name),
             smallint(orNull(t->minimumScale)),
             smallint(orNull(t->maximumScale)),
             smallint(datetime && version >= 3 ? 9 : dataType),
             smallint(datetime && version >= 3 ? std::optional<int64_t>(3) : std::nullopt),
             integer(t->radix ? std::optional<int64_t>(t->radix) : std::nullopt),
             smallint({}),
             smallint(t->userType)});
    }
    ctx.out.resultSet(std::move(set));
}

// --- sp_server_info ------------------------------------------------------------------------

struct ServerAttribute {
    int id;
    const char* name;
    const char* value;
};

constexpr ServerAttribute kServerAttributes[] = {
    {1, "DBMS_NAME", "Microsoft SQL Server"},
    {2, "DBMS_VER", "Microsoft SQL Server 2019 - 15.0.2000.5"},
    {10, "OWNER_TERM", "owner"},
    {11, "TABLE_TERM", "table"},
    {12, "MAX_OWNER_NAME_LENGTH", "128"},
    {13, "TABLE_LENGTH", "128"},
    {14, "MAX_QUAL_LENGTH", "128"},
    {15, "COLUMN_LENGTH", "128"},
    // Names compare case-insensitively here, as on a server with a CI collation.
    {16, "IDENTIFIER_CASE", "MIXED"},
    {17, "TX_ISOLATION", "2"},
    {18, "COLLATION_SEQ", "charset=iso_1 sort_order=nocase_iso charset_num=1 sort_order_num=52"},
    {19, "SAVEPOINT_SUPPORT", "Y"},
    {20, "MULTI_RESULT_SETS", "Y"},
    {22, "ACCESSIBLE_TABLES", "Y"},
    {100, "USERID_LENGTH", "128"},
    {101, "QUALIFIER_TERM", "database"},
    {102, "NAMED_TRANSACTIONS", "Y"},
    {103, "SPROC_AS_LANGUAGE", "Y"},
    {104, "ACCESSIBLE_SPROC", "Y"},
    {105, "MAX_INDEX_COLS", "16"},
    {106, "RENAME_TABLE", "Y"},
    {107, "RENAME_COLUMN", "Y"},
    {108, "DROP_COLUMN", "Y"},
    {109, "INCREASE_COLUMN_LENGTH", "Y"},
    {110, "DDL_IN_TRANSACTION", "Y"},
    {111, "DESCENDING_INDEXES", "Y"},
    {112, "SP_RENAME", "Y"},
    {113, "REMOTE_SPROC", "Y"},
    {500, "SYS_SPROC_VERSION", "15.00.2000"},
};

void spServerInfo(ExecContext& ctx, const sql::ExecStmt& exec) {
    Arguments args(ctx, exec, {"@attribute_id"});
    args.check(ctx, "sp_server_info");
    const auto wanted = intArgument(ctx, args, "@attribute_id", TypeId::Int);
    ResultSet set = resultSet({{"ATTRIBUTE_ID", kInt, false},
                               {"ATTRIBUTE_NAME", DataType::varchar(60), false},
                               {"ATTRIBUTE_VALUE", DataType::varchar(255)}});
    for (const auto& a : kServerAttributes) {
        if (wanted && *wanted != a.id) continue;
        set.rows.push_back({integer(a.id), varchar(a.name, 60), varchar(a.value, 255)});
    }
    ctx.out.resultSet(std::move(set));
}

// --- procedures and foreign keys: the engine has neither ------------------------------------

void spStoredProcedures(ExecContext& ctx, const sql::ExecStmt& exec) {
    Arguments args(ctx, exec, {"@sp_name", "@sp_owner", "@sp_qualifier", "@fUsePattern"});
    args.check(ctx, "sp_stored_procedures");
    checkQualifier(ctx, "sp_stored_procedures", args.text("@sp_qualifier"));
    ctx.out.resultSet(resultSet({{"PROCEDURE_QUALIFIER", sysname()},
                                 {"PROCEDURE_OWNER", sysname()},
                                 {"PROCEDURE_NAME", DataType::nvarchar(134)},
                                 {"NUM_INPUT_PARAMS", kInt},
                                 {"NUM_OUTPUT_PARAMS", kInt},
                                 {"NUM_RESULT_SETS", kInt},
                                 {"REMARKS", DataType::varchar(254)},
                                 {"PROCEDURE_TYPE", kSmallInt}}));
}

void spSprocColumns(ExecContext& ctx, const sql::ExecStmt& exec) {
    Arguments args(ctx, exec,
                   {"@procedure_name", "@procedure_owner", "@procedure_qualifier", "@column_name",
                    "@ODBCVer", "@fUsePattern"});
    args.check(ctx, "sp_sproc_columns");
    checkQualifier(ctx, "sp_sproc_columns", args.text("@procedure_qualifier"));
    ctx.out.resultSet(resultSet({{"PROCEDURE_QUALIFIER", sysname()},
                                 {"PROCEDURE_OWNER", sysname()},
                                 {"PROCEDURE_NAME", DataType::nvarchar(134)},
                                 {"COLUMN_NAME", sysname()},
                                 {"COLUMN_TYPE", kSmallInt},
                                 {"DATA_TYPE", kSmallInt},
                                 {"TYPE_NAME", sysname()},
                                 {"PRECISION", kInt},
                                 {"LENGTH", kInt},
                                 {"SCALE", kSmallInt},
                                 {"RADIX", kSmallInt},
                                 {"NULLABLE", kSmallInt},
                                 {"REMARKS", DataType::varchar(254)},
                                 {"COLUMN_DEF", DataType::nvarchar(4000)},
                                 {"SQL_DATA_TYPE", kSmallInt},
                                 {"SQL_DATETIME_SUB", kSmallInt},
                                 {"CHAR_OCTET_LENGTH", kInt},
                                 {"ORDINAL_POSITION", kInt},
                                 {"IS_NULLABLE", DataType::varchar(254)},
                                 {"SS_DATA_TYPE", kTinyInt}}));
}

void spFkeys(ExecContext& ctx, const sql::ExecStmt& exec) {
    Arguments args(ctx, exec,
                   {"@pktable_name", "@pktable_owner", "@pktable_qualifier", "@fktable_name",
                    "@fktable_owner", "@fktable_qualifier"});
    args.check(ctx, "sp_fkeys");
    if (!args.text("@pktable_name") && !args.text("@fktable_name"))
        procedureError(ctx, "sp_fkeys", 15252);
    checkQualifier(ctx, "sp_fkeys", args.text("@pktable_qualifier"));
    checkQualifier(ctx, "sp_fkeys", args.text("@fktable_qualifier"));
    ctx.out.resultSet(resultSet({{"PKTABLE_QUALIFIER", sysname()},
                                 {"PKTABLE_OWNER", sysname()},
                                 {"PKTABLE_NAME", sysname(), false},
                                 {"PKCOLUMN_NAME", sysname(), false},
                                 {"FKTABLE_QUALIFIER", sysname()},
                                 {"FKTABLE_OWNER", sysname()},
                                 {"FKTABLE_NAME", sysname(), false},
                                 {"FKCOLUMN_NAME", sysname(), false},
                                 {"KEY_SEQ", kSmallInt, false},
                                 {"UPDATE_RULE", kSmallInt},
                                 {"DELETE_RULE", kSmallInt},
                                 {"FK_NAME", sysname()},
                                 {"PK_NAME", sysname()},
                                 {"DEFERRABILITY", kSmallInt}}));
}

}  // namespace

bool runCatalogProcedure(ExecContext& ctx, const std::string& name, const sql::ExecStmt& exec) {
    using Procedure = void (*)(ExecContext&, const sql::ExecStmt&);
    static const std::pair<const char*, Procedure> kProcedures[] = {
        {"sp_columns", spColumns},
        {"sp_pkeys", spPkeys},
        {"sp_statistics", spStatistics},
        {"sp_special_columns", spSpecialColumns},
        {"sp_tables", spTables},
        {"sp_datatype_info", spDatatypeInfo},
        {"sp_server_info", spServerInfo},
        {"sp_stored_procedures", spStoredProcedures},
        {"sp_sproc_columns", spSprocColumns},
        {"sp_fkeys", spFkeys},
    };
    for (const auto& [procedureName, run] : kProcedures) {
        if (name != procedureName) continue;
        // "Db..sp_tables" runs in that database, as SQL Server runs a system procedure named
        // with a database.
        DatabaseEntry* previous = ctx.session.database;
        const std::string& database = exec.procedure.database;
        if (!database.empty() && !identifierEqual(database, previous->name)) {
            std::string error;
            DatabaseEntry* other = ctx.session.server->database(database, error);
            if (!other) raise(ctx, 2812, {exec.procedure.written});
            ctx.session.database = other;
        }
        try {
            run(ctx, exec);
        } catch (...) {
            ctx.session.database = previous;
            throw;
        }
        ctx.session.database = previous;
        return true;
    }
    return false;
}

}  // namespace engine::exec
