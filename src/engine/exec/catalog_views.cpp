// The catalogue compatibility views (sysobjects, syscolumns, systypes, sysindexes,
// sysindexkeys, syscomments, sysdatabases), sys.objects, INFORMATION_SCHEMA.TABLES /
// COLUMNS, the views of FOREIGN KEY constraints (catalog_views_keys.cpp) and the table
// function fn_listextendedproperty, built from the catalogue each time a query reads them,
// so they agree with it at every moment.
#include <algorithm>

#include "engine/exec/binder.h"
#include "engine/exec/catalog_view_support.h"
#include "engine/exec/locks.h"
#include "engine/types/collation.h"
#include "engine/types/conversion.h"
#include "engine/types/sql_message.h"

namespace engine::exec {

namespace {

using namespace catalog_view;

constexpr const char* kCollation = "Modern_Spanish_CI_AS";

bool isNumericForCatalog(TypeId id) {
    return isNumeric(id) || isDateTime(id);
}

// --- sys.schemas ---------------------------------------------------------------------

Rowset buildSysSchemas(const Database& db, bool withRows) {
    ViewBuilder b;
    b.column("name", sysname(), false);
    b.column("schema_id", intType(), false);
    b.column("principal_id", intType());
    if (!withRows) return std::move(b.rows);
    for (int32_t id = 1; id <= 4; ++id)
        b.rows.rows.push_back({name(db.schemaName(id)), i32(id), i32(id)});
    // A created schema stands for the user of its name and id (see SchemaDefinition).
    for (const auto& [id, schema] : db.createdSchemas())
        b.rows.rows.push_back({name(schema.name), i32(id), i32(id)});
    return std::move(b.rows);
}

// --- sysobjects ----------------------------------------------------------------------

void sysobjectsColumns(ViewBuilder& b) {
    b.column("name", sysname(), false);
    b.column("id", intType(), false);
    b.column("xtype", DataType{TypeId::Char, 2, 0, 0}, false);
    b.column("uid", smallint());
    b.column("info", smallint());
    b.column("status", intType());
    b.column("base_schema_ver", intType());
    b.column("replinfo", intType());
    b.column("parent_obj", intType(), false);
    b.column("crdate", DataType::of(TypeId::DateTime), false);
    b.column("ftcatid", smallint());
    b.column("schema_ver", intType());
    b.column("stats_schema_ver", intType());
    b.column("type", DataType{TypeId::Char, 2, 0, 0});
    b.column("userstat", smallint());
    b.column("sysstat", smallint());
    b.column("indexdel", smallint());
    b.column("refdate", DataType::of(TypeId::DateTime), false);
    b.column("version", intType());
    b.column("deltrig", intType());
    b.column("instrig", intType());
    b.column("updtrig", intType());
    b.column("seltrig", intType());
    b.column("category", intType());
    b.column("cache", smallint());
}

struct ObjectEntry {
    const std::string* name;
    int32_t id;
    const char* xtype;
    int info;
    int32_t parent;
    const Value* created;
    int32_t schemaId;  // uid: the owning schema
};

Value sysobjectsCell(const ObjectEntry& e, size_t column) {
    switch (column) {
        case 0:
            return name(*e.name);
        case 1:
            return i32(e.id);
        case 2:
            return charN(e.xtype, 2);
        case 3:
            return i16(e.schemaId);
        case 4:
            return i16(e.info);
        case 8:
            return i32(e.parent);
        case 9:
        case 17:
            return createdOf(*e.created);
        case 13: {
            std::string xtype = e.xtype;
            return charN((xtype == "PK" || xtype == "UQ") ? "K" : xtype, 2);
        }
        case 10:
        case 14:
        case 15:
        case 16:
        case 24:
            return i16(0);
        default:
            return i32(0);
    }
}

// Every object of the database, as sysobjects and sys.objects list them.
std::shared_ptr<std::vector<ObjectEntry>> objectEntries(const Database& db) {
    auto entries = std::make_shared<std::vector<ObjectEntry>>();
    for (const auto& [id, table] : db.tables()) {
        const TableSchema& t = table->schema;
        const int32_t uid = db.schemaId(t.schema).value_or(1);
        entries->push_back({&t.name, t.id, "U", 0, 0, &t.created, uid});
        for (const auto& d : t.defaults)
            entries->push_back({&d.name, d.id, "D", d.columnId, t.id, &d.created, uid});
        for (const auto& ix : t.indexes) {
            if (ix.constraint == KeyConstraint::None) continue;
            entries->push_back({&ix.name, ix.constraintId,
                                ix.constraint == KeyConstraint::PrimaryKey ? "PK" : "UQ", 0, t.id,
                                &ix.created, uid});
        }
        for (const auto& c : t.checks)
            entries->push_back({&c.name, c.id, "C", c.columnId, t.id, &c.created, uid});
        for (const auto& f : t.foreignKeys)
            entries->push_back({&f.name, f.id, "F", 0, t.id, &f.created, uid});
    }
    for (const auto& [id, view] : db.views()) {
        entries->push_back(
            {&view.name, view.id, "V", 0, 0, &view.created, db.schemaId(view.schema).value_or(1)});
    }
    for (const auto& [id, m] : db.modules()) {
        if (m.kind == ModuleSchema::Kind::AliasType) continue;
        // The xtype codes are string literals: their data() ends in a NUL.
        entries->push_back({&m.name, m.id, objectXType(moduleObjectKind(m)).data(), 0, m.parentId,
                            &m.created, db.schemaId(m.schema).value_or(1)});
    }
    return entries;
}

Rowset buildSysobjects(const Database& db, bool withRows) {
    ViewBuilder b;
    sysobjectsColumns(b);
    if (!withRows) return std::move(b.rows);
    auto entries = objectEntries(db);
    b.rows.cellRows = entries->size();
    b.rows.cell = [entries](size_t row, size_t column) {
        return sysobjectsCell((*entries)[row], column);
    };
    return std::move(b.rows);
}

// --- sys.objects -----------------------------------------------------------------------

const char* typeDescription(std::string_view xtype) {
    static const std::pair<const char*, const char*> kDescriptions[] = {
        {"U", "USER_TABLE"},           {"V", "VIEW"},
        {"D", "DEFAULT_CONSTRAINT"},   {"PK", "PRIMARY_KEY_CONSTRAINT"},
        {"UQ", "UNIQUE_CONSTRAINT"},   {"C", "CHECK_CONSTRAINT"},
        {"F", "FOREIGN_KEY_CONSTRAINT"}, {"P", "SQL_STORED_PROCEDURE"},
        {"TR", "SQL_TRIGGER"},           {"FN", "SQL_SCALAR_FUNCTION"}};
    for (const auto& [type, description] : kDescriptions) {
        if (xtype == type) return description;
    }
    return "";
}

// sys.objects, or (with onlyType) the view of one kind of object made from it: sys.tables
// ('U'), sys.views ('V'). SQL Server gives those two some columns of their own besides;
// scripts look objects up by name, object_id and schema_id, which they share.
Rowset objectsOfType(const Database& db, bool withRows, const char* onlyType) {
    ViewBuilder b;
    b.objectColumns();
    if (!withRows) return std::move(b.rows);
    const auto entries = objectEntries(db);
    for (const ObjectEntry& e : *entries) {
        if (onlyType && std::string_view(e.xtype) != onlyType) continue;
        const Value created = createdOf(*e.created);
        b.rows.rows.push_back({name(*e.name), i32(e.id), nullOf(intType()), i32(e.schemaId),
                               i32(e.parent), charN(e.xtype, 2),
                               nvarchar(typeDescription(e.xtype), 60), created, created,
                               Value::bit(false), Value::bit(false), Value::bit(false)});
    }
    return std::move(b.rows);
}

Rowset buildSysObjectsView(const Database& db, bool withRows) {
    return objectsOfType(db, withRows, nullptr);
}

Rowset buildSysTables(const Database& db, bool withRows) {
    return objectsOfType(db, withRows, "U");
}

Rowset buildSysViews(const Database& db, bool withRows) {
    return objectsOfType(db, withRows, "V");
}

// --- syscolumns ----------------------------------------------------------------------

void syscolumnsColumns(ViewBuilder& b) {
    b.column("name", sysname());
    b.column("id", intType(), false);
    b.column("xtype", tinyint(), false);
    b.column("typestat", tinyint());
    b.column("xusertype", smallint());
    b.column("length", smallint(), false);
    b.column("xprec", tinyint());
    b.column("xscale", tinyint());
    b.column("colid", smallint(), false);
    b.column("xoffset", smallint());
    b.column("bitpos", tinyint());
    b.column("reserved", tinyint());
    b.column("colstat", smallint());
    b.column("cdefault", intType(), false);
    b.column("domain", intType());
    b.column("number", smallint());
    b.column("colorder", smallint());
    b.column("autoval", DataType{TypeId::VarBinary, 8000, 0, 0});
    b.column("offset", smallint());
    b.column("collationid", intType());
    b.column("language", intType());
    b.column("status", tinyint());
    b.column("type", tinyint());
    b.column("usertype", smallint());
    b.column("printfmt", DataType::varchar(255));
    b.column("prec", smallint());
    b.column("scale", intType());
    b.column("iscomputed", intType());
    b.column("isoutparam", intType());
    b.column("isnullable", intType());
    b.column("collation", sysname());
    b.column("tdscollation", DataType{TypeId::Binary, 5, 0, 0});
}

struct ColumnEntry {
    const TableSchema* table;
    const ColumnSchema* column;
    int order;
};

Value syscolumnsCell(const ColumnEntry& e, size_t column) {
    const DataType& type = e.column->type;
    int xtype = systemTypeId(type.id);
    bool character = isCharacter(type.id);
    switch (column) {
        case 0:
            return name(e.column->name);
        case 1:
            return i32(e.table->id);
        case 2:
        case 22:
            return i8(xtype);
        case 4:
            return i16(xtype);
        case 5:
            return i16(storageBytes(type));
        case 6:
            return i8(reportedPrecision(type) < 0 ? 0 : std::min(reportedPrecision(type), 255));
        case 7:
            return i8(reportedScale(type));
        case 8:
            return i16(e.column->id);
        case 13:
            return i32(e.column->defaultId);
        case 16:
            return i16(e.order);
        case 17:
            return nullOf(DataType{TypeId::VarBinary, 8000, 0, 0});
        case 19:
            return character ? i32(53284) : nullOf(intType());
        case 21:
            return i8((e.column->nullable ? 0x08 : 0) | (e.column->identity ? 0x80 : 0));
        case 24:
            return nullOf(DataType::varchar(255));
        case 25:
            return i16(reportedPrecision(type));
        case 26:
            return isNumericForCatalog(type.id) ? i32(reportedScale(type)) : nullOf(intType());
        case 29:
            return i32(e.column->nullable ? 1 : 0);
        case 30:
            return character ? name(kCollation) : nullOf(sysname());
        case 31:
            return nullOf(DataType{TypeId::Binary, 5, 0, 0});
        case 3:
        case 10:
        case 11:
            return i8(0);
        case 9:
        case 12:
        case 15:
        case 18:
        case 23:
            return i16(0);
        default:
            return i32(0);
    }
}

Rowset buildSyscolumns(const Database& db, bool withRows) {
    ViewBuilder b;
    syscolumnsColumns(b);
    if (!withRows) return std::move(b.rows);
    auto entries = std::make_shared<std::vector<ColumnEntry>>();
    for (const auto& [id, table] : db.tables()) {
        int order = 1;
        for (const auto& c : table->schema.columns)
            entries->push_back({&table->schema, &c, order++});
    }
    b.rows.cellRows = entries->size();
    b.rows.cell = [entries](size_t row, size_t column) {
        return syscolumnsCell((*entries)[row], column);
    };
    return std::move(b.rows);
}

// --- systypes ------------------------------------------------------------------------

struct SystemType {
    const char* name;
    int xtype;
    int xusertype;
    int length;
    int prec;
    int scale;
    bool variable;
};

constexpr SystemType kSystemTypes[] = {
    {"image", 34, 34, 16, 0, 0, false},
    {"text", 35, 35, 16, 0, 0, false},
    {"uniqueidentifier", 36, 36, 16, 0, 0, false},
    {"date", 40, 40, 3, 10, 0, false},
    {"time", 41, 41, 5, 16, 7, false},
    {"datetime2", 42, 42, 8, 27, 7, false},
    {"datetimeoffset", 43, 43, 10, 34, 7, false},
    {"tinyint", 48, 48, 1, 3, 0, false},
    {"smallint", 52, 52, 2, 5, 0, false},
    {"int", 56, 56, 4, 10, 0, false},
    {"smalldatetime", 58, 58, 4, 16, 0, false},
    {"real", 59, 59, 4, 24, 0, false},
    {"money", 60, 60, 8, 19, 4, false},
    {"datetime", 61, 61, 8, 23, 3, false},
    {"float", 62, 62, 8, 53, 0, false},
    {"sql_variant", 98, 98, 8016, 0, 0, false},
    {"ntext", 99, 99, 16, 0, 0, false},
    {"bit", 104, 104, 1, 1, 0, false},
    {"decimal", 106, 106, 17, 38, 38, false},
    {"numeric", 108, 108, 17, 38, 38, false},
    {"smallmoney", 122, 122, 4, 10, 4, false},
    {"bigint", 127, 127, 8, 19, 0, false},
    {"hierarchyid", 240, 128, -1, 0, 0, true},
    {"geometry", 240, 129, -1, 0, 0, true},
    {"geography", 240, 130, -1, 0, 0, true},
    {"varbinary", 165, 165, 8000, 0, 0, true},
    {"varchar", 167, 167, 8000, 0, 0, true},
    {"binary", 173, 173, 8000, 0, 0, false},
    {"char", 175, 175, 8000, 0, 0, false},
    {"timestamp", 189, 189, 8, 0, 0, false},
    {"nvarchar", 231, 231, 8000, 0, 0, true},
    {"nchar", 239, 239, 8000, 0, 0, false},
    {"xml", 241, 241, -1, 0, 0, false},
    {"sysname", 231, 256, 256, 0, 0, true},
};

Rowset buildSystypes(bool withRows) {
    ViewBuilder b;
    b.column("name", sysname(), false);
    b.column("xtype", tinyint(), false);
    b.column("status", tinyint());
    b.column("xusertype", smallint());
    b.column("length", smallint(), false);
    b.column("xprec", tinyint(), false);
    b.column("xscale", tinyint(), false);
    b.column("tdefault", intType());
    b.column("domain", intType());
    b.column("uid", smallint());
    b.column("reserved", smallint());
    b.column("collationid", intType());
    b.column("usertype", smallint());
    b.column("variable", DataType::of(TypeId::Bit), false);
    b.column("allownulls", DataType::of(TypeId::Bit));
    b.column("type", tinyint(), false);
    b.column("printfmt", DataType::varchar(255));
    b.column("prec", smallint());
    b.column("scale", tinyint());
    b.column("collation", sysname());
    if (!withRows) return std::move(b.rows);
    for (const auto& t : kSystemTypes) {
        bool character = std::string(t.name).find("char") != std::string::npos ||
                         std::string(t.name) == "text" || std::string(t.name) == "ntext" ||
                         std::string(t.name) == "sysname";
        b.rows.rows.push_back({name(t.name),
                               i8(t.xtype),
                               i8(0),
                               i16(t.xusertype),
                               i16(t.length),
                               i8(t.prec),
                               i8(t.scale),
                               i32(0),
                               i32(0),
                               i16(4),
                               i16(0),
                               character ? i32(53284) : nullOf(intType()),
                               i16(0),
                               Value::bit(t.variable),
                               Value::bit(std::string(t.name) != "sysname"),
                               i8(t.xtype),
                               nullOf(DataType::varchar(255)),
                               i16(t.prec),
                               i8(t.scale),
                               character ? name(kCollation) : nullOf(sysname())});
    }
    return std::move(b.rows);
}

// --- sysindexes / sysindexkeys --------------------------------------------------------

Rowset buildSysindexes(const Database& db, bool withRows) {
    ViewBuilder b;
    DataType binary6{TypeId::Binary, 6, 0, 0};
    b.column("id", intType(), false);
    b.column("status", intType());
    b.column("first", binary6);
    b.column("indid", smallint());
    b.column("root", binary6);
    b.column("minlen", smallint());
    b.column("keycnt", smallint());
    b.column("groupid", smallint());
    b.column("dpages", intType());
    b.column("reserved", intType());
    b.column("used", intType());
    b.column("rowcnt", DataType::of(TypeId::BigInt));
    b.column("rowmodctr", intType());
    b.column("reserved3", tinyint());
    b.column("reserved4", tinyint());
    b.column("xmaxlen", smallint());
    b.column("maxirow", smallint());
    b.column("OrigFillFactor", tinyint());
    b.column("StatVersion", tinyint());
    b.column("reserved2", intType());
    b.column("FirstIAM", binary6);
    b.column("impid", smallint());
    b.column("lockflags", smallint());
    b.column("pgmodctr", intType());
    b.column("keys", DataType{TypeId::VarBinary, 1088, 0, 0});
    b.column("name", sysname());
    b.column("statblob", DataType::of(TypeId::Image));
    b.column("maxlen", intType());
    b.column("rows", intType());
    if (!withRows) return std::move(b.rows);
    auto row = [&](int32_t tableId, int indid, const Value& indexName, int keys, int64_t rows) {
        b.rows.rows.push_back({i32(tableId),
                               i32(0),
                               nullOf(binary6),
                               i16(indid),
                               nullOf(binary6),
                               i16(0),
                               i16(keys),
                               i16(1),
                               i32(0),
                               i32(0),
                               i32(0),
                               Value::integer(rows, TypeId::BigInt),
                               i32(0),
                               i8(0),
                               i8(0),
                               i16(0),
                               i16(0),
                               i8(0),
                               i8(0),
                               i32(0),
                               nullOf(binary6),
                               i16(0),
                               i16(0),
                               i32(0),
                               nullOf(DataType{TypeId::VarBinary, 1088, 0, 0}),
                               indexName,
                               nullOf(DataType::of(TypeId::Image)),
                               i32(8000),
                               i32(std::min<int64_t>(rows, 2147483647))});
    };
    for (const auto& [id, table] : db.tables()) {
        const TableSchema& t = table->schema;
        int64_t rows = static_cast<int64_t>(table->rowCount());
        bool clustered = std::any_of(t.indexes.begin(), t.indexes.end(),
                                     [](const auto& ix) { return ix.clustered; });
        if (!clustered) row(t.id, 0, nullOf(sysname()), 0, rows);
        std::vector<const IndexSchema*> ordered;
        for (const auto& ix : t.indexes)
            ordered.push_back(&ix);
        std::sort(ordered.begin(), ordered.end(),
                  [](auto* a, auto* c) { return a->indexId < c->indexId; });
        for (const IndexSchema* ix : ordered)
            row(t.id, ix->indexId, name(ix->name), static_cast<int>(ix->keys.size()), rows);
    }
    return std::move(b.rows);
}

Rowset buildSysindexkeys(const Database& db, bool withRows) {
    ViewBuilder b;
    b.column("id", intType(), false);
    b.column("indid", smallint(), false);
    b.column("colid", smallint(), false);
    b.column("keyno", smallint(), false);
    if (!withRows) return std::move(b.rows);
    for (const auto& [id, table] : db.tables()) {
        for (const auto& ix : table->schema.indexes) {
            int keyno = 1;
            for (const auto& k : ix.keys)
                b.rows.rows.push_back(
                    {i32(table->schema.id), i16(ix.indexId), i16(k.columnId), i16(keyno++)});
        }
    }
    return std::move(b.rows);
}

// --- syscomments ---------------------------------------------------------------------

Rowset buildSyscomments(const Database& db, bool withRows) {
    ViewBuilder b;
    b.column("id", intType(), false);
    b.column("number", smallint());
    b.column("colid", smallint(), false);
    b.column("status", smallint(), false);
    b.column("ctext", DataType{TypeId::VarBinary, 8000, 0, 0}, false);
    b.column("texttype", smallint());
    b.column("language", smallint());
    b.column("encrypted", DataType::of(TypeId::Bit), false);
    b.column("compressed", DataType::of(TypeId::Bit), false);
    b.column("text", DataType::nvarchar(4000));
    if (!withRows) return std::move(b.rows);
    auto add = [&](int32_t id, const std::string& text) {
        // Texts are split into rows of at most 4000 characters.
        size_t pos = 0;
        int colid = 1;
        do {
            size_t take = 0, chars = 0;
            while (pos + take < text.size() && chars < 4000) {
                unsigned char c = static_cast<unsigned char>(text[pos + take]);
                take += c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
                ++chars;
            }
            std::string chunk = text.substr(pos, take);
            b.rows.rows.push_back({i32(id), i16(0), i16(colid++), i16(0),
                                   Value::binary(chunk, DataType{TypeId::VarBinary, 8000, 0, 0}),
                                   i16(2), i16(0), Value::bit(false), Value::bit(false),
                                   nvarchar(chunk, 4000)});
            pos += take;
        } while (pos < text.size());
    };
    for (const auto& [id, table] : db.tables()) {
        for (const auto& d : table->schema.defaults)
            add(d.id, d.definition);
        for (const auto& c : table->schema.checks)
            add(c.id, c.definition);
    }
    for (const auto& [id, view] : db.views())
        add(view.id, view.text);
    for (const auto& [id, m] : db.modules()) {
        if (m.kind != ModuleSchema::Kind::AliasType) add(id, m.text);
    }
    return std::move(b.rows);
}

// --- INFORMATION_SCHEMA ----------------------------------------------------------------

Rowset buildInformationSchemaTables(const Database& db, bool withRows) {
    ViewBuilder b;
    b.column("TABLE_CATALOG", sysname());
    b.column("TABLE_SCHEMA", sysname());
    b.column("TABLE_NAME", sysname(), false);
    b.column("TABLE_TYPE", DataType::varchar(10));
    if (!withRows) return std::move(b.rows);
    for (const auto& [id, table] : db.tables())
        b.rows.rows.push_back({name(db.name()), name(table->schema.schema),
                               name(table->schema.name), varchar("BASE TABLE", 10)});
    for (const auto& [id, view] : db.views())
        b.rows.rows.push_back(
            {name(db.name()), name(view.schema), name(view.name), varchar("VIEW", 10)});
    return std::move(b.rows);
}

void informationSchemaColumn(ViewBuilder& b, const Database& db, const std::string& schema,
                             const std::string& tableName, const std::string& columnName,
                             int ordinal, const Value& defaultText, bool nullable,
                             const DataType& type) {
    Value maxLength = nullOf(intType()), octetLength = nullOf(intType());
    if (isCharacter(type.id) || isBinary(type.id)) {
        int32_t chars;
        if (type.id == TypeId::Text || type.id == TypeId::Image) {
            chars = 2147483647;
        } else if (type.id == TypeId::NText) {
            chars = 1073741823;
        } else {
            chars = type.isMax() ? -1 : type.length;
        }
        maxLength = i32(chars);
        int32_t octets = type.isMax()                                                ? -1
                         : type.id == TypeId::NText                                  ? 2147483646
                         : (type.id == TypeId::NChar || type.id == TypeId::NVarChar) ? chars * 2
                                                                                     : chars;
        octetLength = i32(octets);
    }
    Value precision = nullOf(tinyint()), radix = nullOf(smallint()), scale = nullOf(intType());
    if (isNumeric(type.id)) {
        precision = i8(reportedPrecision(type));
        radix = i16(isApproximate(type.id) ? 2 : 10);
        scale = isApproximate(type.id) ? nullOf(intType()) : i32(reportedScale(type));
    }
    Value datetimePrecision = nullOf(smallint());
    if (isDateTime(type.id)) datetimePrecision = i16(type.id == TypeId::DateTime ? 3 : 0);
    bool character = isCharacter(type.id);
    Value charset = character ? name(isUnicode(type.id) ? "UNICODE" : "iso_1") : nullOf(sysname());
    b.rows.rows.push_back({name(db.name()),
                           name(schema),
                           name(tableName),
                           name(columnName),
                           i32(ordinal),
                           defaultText,
                           varchar(nullable ? "YES" : "NO", 3),
                           name(std::string(typeName(type.id))),
                           maxLength,
                           octetLength,
                           precision,
                           radix,
                           scale,
                           datetimePrecision,
                           nullOf(sysname()),
                           nullOf(sysname()),
                           charset,
                           nullOf(sysname()),
                           nullOf(sysname()),
                           character ? name(kCollation) : nullOf(sysname()),
                           nullOf(sysname()),
                           nullOf(sysname()),
                           nullOf(sysname())});
}

void informationSchemaColumnsColumns(ViewBuilder& b) {
    b.column("TABLE_CATALOG", sysname());
    b.column("TABLE_SCHEMA", sysname());
    b.column("TABLE_NAME", sysname(), false);
    b.column("COLUMN_NAME", sysname());
    b.column("ORDINAL_POSITION", intType());
    b.column("COLUMN_DEFAULT", DataType::nvarchar(4000));
    b.column("IS_NULLABLE", DataType::varchar(3));
    b.column("DATA_TYPE", sysname());
    b.column("CHARACTER_MAXIMUM_LENGTH", intType());
    b.column("CHARACTER_OCTET_LENGTH", intType());
    b.column("NUMERIC_PRECISION", tinyint());
    b.column("NUMERIC_PRECISION_RADIX", smallint());
    b.column("NUMERIC_SCALE", intType());
    b.column("DATETIME_PRECISION", smallint());
    b.column("CHARACTER_SET_CATALOG", sysname());
    b.column("CHARACTER_SET_SCHEMA", sysname());
    b.column("CHARACTER_SET_NAME", sysname());
    b.column("COLLATION_CATALOG", sysname());
    b.column("COLLATION_SCHEMA", sysname());
    b.column("COLLATION_NAME", sysname());
    b.column("DOMAIN_CATALOG", sysname());
    b.column("DOMAIN_SCHEMA", sysname());
    b.column("DOMAIN_NAME", sysname());
}

Rowset buildInformationSchemaColumns(const Database& db, bool withRows) {
    ViewBuilder b;
    informationSchemaColumnsColumns(b);
    if (!withRows) return std::move(b.rows);
    for (const auto& [id, table] : db.tables()) {
        const TableSchema& t = table->schema;
        for (const auto& c : t.columns) {
            const DefaultSchema* d = c.defaultId ? t.defaultById(c.defaultId) : nullptr;
            informationSchemaColumn(
                b, db, t.schema, t.name, c.name, c.id,
                d ? nvarchar(d->definition, 4000) : nullOf(DataType::nvarchar(4000)), c.nullable,
                c.type);
        }
    }
    return std::move(b.rows);
}

Rowset buildSysdatabases(Server& server, bool withRows) {
    ViewBuilder b;
    b.column("name", sysname(), false);
    b.column("dbid", smallint(), false);
    b.column("database_id", intType(), false);
    b.column("crdate", DataType::of(TypeId::DateTime));
    b.column("collation_name", sysname());
    b.column("cmptlevel", tinyint());
    // SUSPECT (4) once loading its files failed; ONLINE (0) otherwise, loaded or not yet.
    b.column("state", tinyint());
    b.column("state_desc", DataType::nvarchar(60));
    if (!withRows) return std::move(b.rows);
    for (const DatabaseEntry* e : server.databases()) {
        const bool suspect = e->failure.has_value();
        b.rows.rows.push_back({name(e->name), i16(e->id), i32(e->id), Value::datetime(0, 0),
                               name(kCollation), i8(90), i8(suspect ? 4 : 0),
                               nvarchar(suspect ? "SUSPECT" : "ONLINE", 60)});
    }
    return std::move(b.rows);
}

// --- server principals: sys.server_principals, sys.sql_logins, syslogins ------------------

const LoginStore& loginStoreOrFail(Server& server) {
    std::string error;
    const LoginStore* logins = server.logins(error);
    if (!logins) {
        SqlMessage m;
        m.number = 5123;
        m.severity = 16;
        m.state = 1;
        m.text = "The server's logins cannot be read: " + error;
        throw SqlException(m);
    }
    return *logins;
}

// The fixed server roles every server has, after sa (principal id 1).
constexpr const char* kServerRoles[] = {"public",      "sysadmin",   "securityadmin",
                                        "serveradmin", "setupadmin", "processadmin",
                                        "diskadmin",   "dbcreator",  "bulkadmin"};

Value loginDate(int32_t days, int32_t ticks) {
    return Value::datetime(days, ticks);
}

Rowset buildServerPrincipals(Server& server, bool sqlLoginsOnly, bool withRows) {
    ViewBuilder b;
    const DataType sid{TypeId::VarBinary, 85, 0, 0};
    const DataType bit = DataType::of(TypeId::Bit);
    const DataType datetime = DataType::of(TypeId::DateTime);
    b.column("name", sysname(), false);
    b.column("principal_id", intType(), false);
    b.column("sid", sid);
    b.column("type", DataType{TypeId::Char, 1, 0, 0}, false);
    b.column("type_desc", DataType::nvarchar(60));
    b.column("is_disabled", intType());
    b.column("create_date", datetime, false);
    b.column("modify_date", datetime, false);
    b.column("default_database_name", sysname());
    b.column("default_language_name", sysname());
    b.column("credential_id", intType());
    if (sqlLoginsOnly) {
        b.column("is_policy_checked", bit);
        b.column("is_expiration_checked", bit);
        b.column("password_hash", DataType{TypeId::VarBinary, 256, 0, 0});
    } else {
        b.column("owning_principal_id", intType());
        b.column("is_fixed_role", bit, false);
    }
    if (!withRows) return std::move(b.rows);
    const LoginStore& logins = loginStoreOrFail(server);
    std::vector<std::pair<int32_t, std::vector<Value>>> rows;
    for (const LoginRecord& l : logins.logins()) {
        std::vector<Value> row = {name(l.name),
                                  i32(l.principalId),
                                  Value::binary(l.sid, sid),
                                  charN("S", 1),
                                  nvarchar("SQL_LOGIN", 60),
                                  i32(l.disabled ? 1 : 0),
                                  loginDate(l.createdDays, l.createdTicks),
                                  loginDate(l.modifiedDays, l.modifiedTicks),
                                  name(l.defaultDatabase),
                                  name(l.defaultLanguage),
                                  nullOf(intType())};
        if (sqlLoginsOnly) {
            // The hash is not SQL Server's and is nobody's business: shown as NULL.
            row.insert(row.end(), {Value::bit(l.checkPolicy), Value::bit(l.checkExpiration),
                                   nullOf(DataType{TypeId::VarBinary, 256, 0, 0})});
        } else {
            row.insert(row.end(), {nullOf(intType()), Value::bit(false)});
        }
        rows.emplace_back(l.principalId, std::move(row));
    }
    if (!sqlLoginsOnly) {
        int32_t id = 2;
        for (const char* role : kServerRoles) {
            rows.emplace_back(
                id, std::vector<Value>{name(role), i32(id),
                                       Value::binary(std::string(1, static_cast<char>(id)), sid),
                                       charN("R", 1), nvarchar("SERVER_ROLE", 60), i32(0),
                                       loginDate(0, 0), loginDate(0, 0), nullOf(sysname()),
                                       nullOf(sysname()), nullOf(intType()), i32(1),
                                       Value::bit(id != 2)});
            ++id;
        }
    }
    std::sort(rows.begin(), rows.end(),
              [](const auto& a, const auto& c) { return a.first < c.first; });
    for (auto& [id, row] : rows)
        b.rows.rows.push_back(std::move(row));
    return std::move(b.rows);
}

Rowset buildSyslogins(Server& server, bool withRows) {
    ViewBuilder b;
    const DataType datetime = DataType::of(TypeId::DateTime);
    b.column("sid", DataType{TypeId::VarBinary, 85, 0, 0});
    b.column("status", smallint());
    b.column("createdate", datetime, false);
    b.column("updatedate", datetime, false);
    b.column("name", sysname(), false);
    b.column("dbname", sysname());
    b.column("password", sysname());
    b.column("language", sysname());
    b.column("denylogin", intType());
    b.column("hasaccess", intType());
    b.column("isntname", intType());
    b.column("isntgroup", intType());
    b.column("isntuser", intType());
    b.column("sysadmin", intType());
    b.column("loginname", sysname(), false);
    if (!withRows) return std::move(b.rows);
    for (const LoginRecord& l : loginStoreOrFail(server).logins()) {
        b.rows.rows.push_back({Value::binary(l.sid, DataType{TypeId::VarBinary, 85, 0, 0}), i16(9),
                               loginDate(l.createdDays, l.createdTicks),
                               loginDate(l.modifiedDays, l.modifiedTicks), name(l.name),
                               name(l.defaultDatabase), nullOf(sysname()), name(l.defaultLanguage),
                               i32(0), i32(l.disabled ? 0 : 1), i32(0), i32(0), i32(0),
                               i32(l.principalId == 1 ? 1 : 0), name(l.name)});
    }
    return std::move(b.rows);
}

}  // namespace

std::unique_ptr<Source> Binder::systemSource(const sql::ObjectName& objectName) {
    const std::string& object = objectName.object;
    const std::string& schema = objectName.schema;
    DatabaseEntry* entry = ctx_.session.database;
    // tempdb holds only the session's temporary tables: its views list those.
    const bool tempdb = identifierEqual(objectName.database, "tempdb");
    if (!tempdb && !objectName.database.empty() && !identifierEqual(objectName.database, entry->name)) {
        std::string error;
        entry = ctx_.session.server->database(objectName.database, error);
        if (!entry) return nullptr;
    }
    // Which view it is depends on the names only (read without a lock); the views of a
    // database's objects lock it like its tables, those listing databases and types do not.
    const Database& names = tempdb ? tempdbWithoutObjects() : *entry->database;
    bool compatibilitySchema =
        schema.empty() || identifierEqual(schema, "dbo") || identifierEqual(schema, "sys");
    Rowset (*perDatabase)(const Database&, bool) = nullptr;
    std::function<Rowset(bool)> generate;
    Server* server = ctx_.session.server;
    if (identifierEqual(schema, "INFORMATION_SCHEMA")) {
        if (identifierEqual(object, "TABLES")) {
            perDatabase = buildInformationSchemaTables;
        } else if (identifierEqual(object, "COLUMNS")) {
            perDatabase = buildInformationSchemaColumns;
        } else if (identifierEqual(object, "REFERENTIAL_CONSTRAINTS")) {
            perDatabase = buildInformationSchemaReferentialConstraints;
        }
    } else if (compatibilitySchema) {
        // A user table of the same name wins over a compatibility view (as dbo objects do).
        if (!identifierEqual(schema, "sys") && (names.findTable(object) || names.findView(object)))
            return nullptr;
        if (identifierEqual(object, "sysobjects")) {
            perDatabase = buildSysobjects;
        } else if (identifierEqual(object, "syscolumns")) {
            perDatabase = buildSyscolumns;
        } else if (identifierEqual(object, "systypes")) {
            generate = [](bool rows) { return buildSystypes(rows); };
        } else if (identifierEqual(object, "sysindexes")) {
            perDatabase = buildSysindexes;
        } else if (identifierEqual(object, "sysindexkeys")) {
            perDatabase = buildSysindexkeys;
        } else if (identifierEqual(object, "syscomments")) {
            perDatabase = buildSyscomments;
        } else if (identifierEqual(object, "sysforeignkeys")) {
            perDatabase = buildSysforeignkeys;
        } else if (identifierEqual(schema, "sys") && identifierEqual(object, "objects")) {
            perDatabase = buildSysObjectsView;
        } else if (identifierEqual(schema, "sys") && identifierEqual(object, "tables")) {
            perDatabase = buildSysTables;
        } else if (identifierEqual(schema, "sys") && identifierEqual(object, "views")) {
            perDatabase = buildSysViews;
        } else if (identifierEqual(schema, "sys") && identifierEqual(object, "sql_modules")) {
            perDatabase = buildSysSqlModules;
        } else if (identifierEqual(schema, "sys") && identifierEqual(object, "triggers")) {
            perDatabase = buildSysTriggers;
        } else if (identifierEqual(schema, "sys") && identifierEqual(object, "foreign_keys")) {
            perDatabase = buildSysForeignKeys;
        } else if (identifierEqual(schema, "sys") &&
                   identifierEqual(object, "foreign_key_columns")) {
            perDatabase = buildSysForeignKeyColumns;
        } else if (identifierEqual(schema, "sys") && identifierEqual(object, "schemas")) {
            perDatabase = buildSysSchemas;
        } else if (identifierEqual(schema, "sys") &&
                   (identifierEqual(object, "server_principals") ||
                    identifierEqual(object, "sql_logins"))) {
            const bool sqlLogins = identifierEqual(object, "sql_logins");
            generate = [server, sqlLogins](bool rows) {
                return buildServerPrincipals(*server, sqlLogins, rows);
            };
        } else if (identifierEqual(object, "syslogins")) {
            generate = [server](bool rows) { return buildSyslogins(*server, rows); };
        } else if (identifierEqual(object, "sysdatabases") ||
                   (identifierEqual(schema, "sys") && identifierEqual(object, "databases"))) {
            generate = [server](bool rows) { return buildSysdatabases(*server, rows); };
        }
    }
    if (perDatabase && tempdb) {
        const TemporaryTables* temporaries = &ctx_.session.temporaryTables;
        generate = [temporaries, perDatabase](bool rows) {
            return buildTempdbView(temporaries->databases(), perDatabase, rows);
        };
    } else if (perDatabase) {
        if (locking()) entry = lockForStatement(ctx_, entry);
        if (!entry) return nullptr;
        const Database* db = entry->database.get();
        generate = [db, perDatabase](bool rows) { return perDatabase(*db, rows); };
    }
    if (!generate) return nullptr;
    auto source = std::make_unique<Source>();
    source->kind = Source::Kind::Rowset;
    source->objectName = object;
    source->schemaName = schema.empty() ? "dbo" : schema;
    // Column metadata comes from a build over the current catalogue; rows are rebuilt when
    // the query runs.
    source->columns = generate(false).columns;
    source->generate = [generate] { return generate(true); };
    return source;
}

std::unique_ptr<Source> Binder::functionSource(const sql::TableRef& ref, Scope& scope) {
    const std::string& fn = ref.name.object;
    if (!identifierEqual(fn, "fn_listextendedproperty")) {
        SqlMessage m = sqlMessage(208, {ref.name.written});
        m.line = ref.line;
        throw SqlException(m);
    }
    if (ref.args.size() != 7) raise(ctx_, 216, {"fn_listextendedproperty"});
    std::vector<std::shared_ptr<BoundExpr>> args;
    for (const auto& a : ref.args)
        args.push_back(bindScalar(*a, scope));
    Database* db = &database();
    ExecContext* ctx = &ctx_;
    auto source = std::make_unique<Source>();
    source->kind = Source::Kind::Rowset;
    source->objectName = fn;
    source->alias = ref.alias.empty() ? fn : ref.alias;
    source->aliased = !ref.alias.empty();
    auto columns = [] {
        ViewBuilder b;
        b.column("objtype", sysname());
        b.column("objname", sysname());
        b.column("name", sysname(), false);
        b.column("value", DataType::of(TypeId::SqlVariant));
        return b.rows.columns;
    };
    source->columns = columns();
    source->generate = [db, ctx, args, columns] {
        Rowset rows;
        rows.columns = columns();
        Frame none;
        none.ctx = ctx;
        std::vector<Value> values;
        for (const auto& a : args)
            values.push_back(a->eval(none));
        // Only database-level properties exist here: any level type given means none.
        for (size_t i = 1; i < values.size(); ++i) {
            if (!values[i].isNull()) return rows;
        }
        for (const auto& p : db->properties()) {
            if (!values[0].isNull()) {
                Value wanted = convert(values[0], sysname());
                if (!identifierEqual(wanted.bytes(), p.name)) continue;
            }
            rows.rows.push_back({nullOf(sysname()), nullOf(sysname()), name(p.name), p.value});
        }
        return rows;
    };
    return source;
}

}  // namespace engine::exec
