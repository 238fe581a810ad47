#include "db/jet/jet_file.h"

// glib must come first: mdbtools.h includes it inside extern "C", which C++ headers of
// glib's own do not survive.
#include <glib.h>
#include <mdbtools.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "db/jet/jet_condition.h"
#include "db/text_util.h"

namespace db::jet {

struct JetFile::Handle {
    MdbHandle* mdb = nullptr;
    ~Handle() {
        if (mdb != nullptr) mdb_close(mdb);
    }
};

namespace {

struct TableDefDeleter {
    void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
};
using TableDefPtr = std::unique_ptr<MdbTableDef, TableDefDeleter>;

struct GFree {
    void operator()(char* p) const { g_free(p); }
};
using GString = std::unique_ptr<char, GFree>;

template <typename T>
T readLittleEndian(const unsigned char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);  // Jet files and every platform we build for are little-endian
    return v;
}

// Whether a cracked value, with the bytes its type reads, lies inside a page of `pageSize`.
bool insidePage(const MdbField& field, int type, std::size_t pageSize) {
    std::size_t bytes = 0;
    switch (type) {
        case MDB_BYTE: bytes = 1; break;
        case MDB_INT: bytes = 2; break;
        case MDB_LONGINT: case MDB_FLOAT: bytes = 4; break;
        case MDB_MONEY: case MDB_DOUBLE: case MDB_DATETIME: bytes = 8; break;
        case MDB_NUMERIC: bytes = 17; break;
        default: break;
    }
    if (field.start < 0 || field.siz < 0) return false;
    bytes = std::max(bytes, static_cast<std::size_t>(field.siz));
    return static_cast<std::size_t>(field.start) + bytes <= pageSize;
}

// The signatures a Jet file carries, checked before libmdb sees the file, so that a file of
// some other kind, or a damaged one, is refused instead of being read as garbage (the format
// has no checksums: damage shows only where it breaks a signature).
//  - Page 0 starts with 00 01 00 00 and "Standard Jet DB" (or "Standard ACE DB") at byte 4;
//    byte 20 is the version: 0 for Jet 3 (pages of 2048 bytes), more for Jet 4 and later
//    (4096). The file is a whole number of pages, at least two.
//  - Every later page starts with its type (1 data, 2 table definition, 3 and 4 index, 5 page
//    usage) and the byte 01; a page of zeros is an unused one.
//  - A data page's row table (its row count at byte 12, 8 in Jet 3, then one offset a row)
//    ends inside the page, its free space does not exceed the page, and its rows lie after
//    the table and before the page's end, each before the one ahead of it (the first row is at
//    the end of the page).
// Returns the damage found, naming the page and the byte, or nothing.
std::optional<std::string> damageIn(const std::string& bytes) {
    if (bytes.size() < 32) return "the file is too short for a Jet database";
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    if (data[0] != 0 || data[1] != 1 || data[2] != 0 || data[3] != 0 ||
        (std::memcmp(data + 4, "Standard Jet DB", 15) != 0 &&
         std::memcmp(data + 4, "Standard ACE DB", 15) != 0))
        return "no Jet signature at the start of the file";
    const bool jet3 = data[20] == 0;
    const size_t pageSize = jet3 ? 2048 : 4096;
    if (data[20] > 6) return "unknown version " + std::to_string(data[20]) + " at byte 20";
    if (bytes.size() < 2 * pageSize || bytes.size() % pageSize != 0)
        return "a size of " + std::to_string(bytes.size()) + " bytes is not a whole number of " +
               std::to_string(pageSize) + "-byte pages";
    const size_t rowTable = jet3 ? 10 : 14;
    for (size_t page = 1; page < bytes.size() / pageSize; ++page) {
        const unsigned char* p = data + page * pageSize;
        const std::string where = "page " + std::to_string(page) + " (byte " + std::to_string(page * pageSize);
        if (p[0] == 0 && std::all_of(p, p + pageSize, [](unsigned char b) { return b == 0; })) continue;
        if (p[0] < 1 || p[0] > 5 || p[1] != 1) return where + "): no page signature";
        if (p[0] != 1) continue;
        const size_t freeSpace = readLittleEndian<std::uint16_t>(p + 2);
        const size_t rows = readLittleEndian<std::uint16_t>(p + rowTable - 2);
        const size_t tableEnd = rowTable + 2 * rows;
        if (tableEnd > pageSize || freeSpace > pageSize - rowTable)
            return where + "): a data page's row count or free space is out of the page";
        size_t ahead = pageSize;
        for (size_t row = 0; row < rows; ++row) {
            const size_t offset = readLittleEndian<std::uint16_t>(p + rowTable + 2 * row) & 0x1FFF;
            if (offset < tableEnd || offset >= ahead)
                return where + " + " + std::to_string(rowTable + 2 * row) + "): row " +
                       std::to_string(row) + " lies outside its place";
            ahead = offset;
        }
    }
    return std::nullopt;
}

FieldType fieldTypeOf(int mdbType) {
    switch (mdbType) {
        case MDB_BOOL: return FieldType::Boolean;
        case MDB_BYTE: return FieldType::UnsignedTinyInt;
        case MDB_INT: return FieldType::SmallInt;
        case MDB_LONGINT: return FieldType::Integer;
        case MDB_MONEY: return FieldType::Currency;
        case MDB_FLOAT: return FieldType::Single;
        case MDB_DOUBLE: return FieldType::Double;
        case MDB_DATETIME: return FieldType::DateTime;
        case MDB_BINARY: return FieldType::VarBinary;
        case MDB_TEXT: return FieldType::WVarChar;
        case MDB_OLE: return FieldType::LongVarBinary;
        case MDB_MEMO: return FieldType::LongVarWChar;
        case MDB_REPID: return FieldType::Guid;
        case MDB_NUMERIC: return FieldType::Numeric;
        default: return FieldType::Unknown;
    }
}

}  // namespace

JetFile::JetFile(std::filesystem::path path, std::unique_ptr<Handle> handle)
    : path_(std::move(path)), handle_(std::move(handle)) {}

JetFile::~JetFile() = default;

Status JetFile::open(const std::filesystem::path& path, std::unique_ptr<JetFile>& out) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        return Status(jetError(jet_error::kFileNotFound, "Could not find file '" + path.string() + "'."));
    }
    std::string bytes;
    {
        std::ifstream in(path, std::ios::binary);
        if (in) bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (!in && !in.eof()) {
            return Status(jetError(jet_error::kFileNotFound, "Could not read file '" + path.string() + "'."));
        }
    }
    if (const std::optional<std::string> damage = damageIn(bytes)) {
        return Status(jetError(jet_error::kUnrecognizedFormat,
                               "Unrecognized database format '" + path.string() + "': " + *damage + "."));
    }
    auto handle = std::make_unique<Handle>();
    handle->mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
    if (handle->mdb == nullptr || mdb_read_catalog(handle->mdb, MDB_TABLE) == nullptr) {
        return Status(jetError(jet_error::kUnrecognizedFormat, "Unrecognized database format '" + path.string() + "'."));
    }
    // Dates rendered by the library itself (it never needs to here) get four-digit years.
    mdb_set_date_fmt(handle->mdb, "%Y-%m-%d %H:%M:%S");
    out.reset(new JetFile(path, std::move(handle)));
    return Status::success();
}

std::vector<std::string> JetFile::tableNames() const {
    std::vector<std::string> names;
    MdbHandle* mdb = handle_->mdb;
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type != MDB_TABLE || mdb_is_system_table(entry)) continue;
        names.emplace_back(entry->object_name);
    }
    return names;
}

Status JetFile::readTable(std::string_view table, std::string_view condition, RowSet& out) {
    MdbHandle* mdb = handle_->mdb;
    MdbCatalogEntry* found = nullptr;
    for (unsigned i = 0; i < mdb->num_catalog && found == nullptr; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && equalsIgnoreCase(entry->object_name, table)) found = entry;
    }
    if (found == nullptr) {
        return Status(jetError(jet_error::kTableNotFound,
                               "The Microsoft Jet database engine cannot find the input table or query '" +
                                   std::string(table) + "'. Make sure it exists and that its name is spelled correctly."));
    }
    TableDefPtr def(mdb_read_table(found));
    if (!def || mdb_read_columns(def.get()) == nullptr) {
        return Status(jetError(jet_error::kUnrecognizedFormat, "The table '" + std::string(table) + "' cannot be read."));
    }
    const bool jet3 = mdb->f->jet_version == MDB_VER_JET3;
    RowSet result;
    std::vector<MdbColumn*> columns;
    for (unsigned i = 0; i < def->num_cols; ++i) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, i));
        columns.push_back(col);
        FieldInfo info;
        info.name = col->name;
        info.type = fieldTypeOf(col->col_type);
        info.baseTable = def->name;
        info.baseColumn = col->name;
        if (col->col_type == MDB_TEXT) info.definedSize = jet3 ? col->col_size : col->col_size / 2;
        if (col->col_type == MDB_NUMERIC) {
            info.precision = col->col_prec;
            info.scale = col->col_scale;
        }
        if (col->col_type == MDB_OLE || col->col_type == MDB_COMPLEX || info.type == FieldType::Unknown) {
            return Status(jetError(jet_error::kUnsupported, "The column '" + info.name + "' of table '" + def->name +
                                                                "' has a type this reader does not read."));
        }
        result.fields.push_back(std::move(info));
    }

    std::unique_ptr<Condition> filter;
    if (!trimBlanks(condition).empty()) {
        if (Status s = Condition::parse(condition, result.fields, filter); !s) return s;
    }

    mdb_rewind_table(def.get());
    std::vector<MdbField> fields(def->num_cols + 1);
    while (mdb_fetch_row(def.get())) {
        int start = 0;
        size_t size = 0;
        if (mdb_find_row(mdb, static_cast<int>(def->cur_row) - 1, &start, &size) != 0) {
            return Status(jetError(jet_error::kUnrecognizedFormat, "A row of table '" + std::string(def->name) + "' cannot be read."));
        }
        const int cracked = mdb_crack_row(def.get(), start, size, fields.data());
        // A row claiming more columns than its table has is damaged (and its fields would not fit).
        if (cracked <= 0 || cracked > static_cast<int>(def->num_cols)) {
            return Status(jetError(jet_error::kUnrecognizedFormat, "A row of table '" + std::string(def->name) + "' cannot be read."));
        }
        std::vector<Variant> row(columns.size());
        for (int f = 0; f < cracked; ++f) {
            const MdbField& field = fields[static_cast<size_t>(f)];
            size_t index = columns.size();
            for (size_t c = 0; c < columns.size(); ++c) {
                if (columns[c]->col_num == field.colnum) index = c;
            }
            if (index == columns.size()) continue;
            MdbColumn* col = columns[index];
            // A Yes/No value lives in the row's null mask: a set bit is True.
            if (col->col_type == MDB_BOOL) {
                row[index] = Variant::boolean(!field.is_null);
                continue;
            }
            if (field.is_null) continue;
            // A damaged row table can put a value outside its page: refused, never read.
            if (!insidePage(field, col->col_type, mdb->fmt->pg_size)) {
                return Status(jetError(jet_error::kUnrecognizedFormat,
                                       "A row of table '" + std::string(def->name) + "' cannot be read."));
            }
            const unsigned char* p = mdb->pg_buf + field.start;
            switch (col->col_type) {
                case MDB_BYTE: row[index] = Variant::integer(p[0]); break;
                case MDB_INT: row[index] = Variant::integer(readLittleEndian<int16_t>(p)); break;
                case MDB_LONGINT: row[index] = Variant::integer(readLittleEndian<int32_t>(p)); break;
                case MDB_MONEY: row[index] = Variant::currency(readLittleEndian<int64_t>(p)); break;
                case MDB_FLOAT: {
                    // A Single holds 7 significant digits; 8.1f is 8.1, not 8.100000381...
                    char text[32];
                    std::snprintf(text, sizeof text, "%.7g", static_cast<double>(readLittleEndian<float>(p)));
                    row[index] = Variant::real(std::strtod(text, nullptr));
                    break;
                }
                case MDB_DOUBLE: row[index] = Variant::real(readLittleEndian<double>(p)); break;
                case MDB_DATETIME: row[index] = Variant::dateTime(DateTime::fromOleDate(readLittleEndian<double>(p))); break;
                case MDB_BINARY: row[index] = Variant::binary(std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(field.siz))); break;
                case MDB_NUMERIC: {
                    GString text(mdb_numeric_to_string(mdb, field.start, col->col_scale, col->col_prec));
                    row[index] = Variant::decimal(text ? text.get() : "0");
                    break;
                }
                default: {
                    GString text(mdb_col_to_string(mdb, mdb->pg_buf, field.start, col->col_type, field.siz));
                    row[index] = Variant::text(text ? text.get() : "");
                    break;
                }
            }
        }
        if (filter) {
            bool keep = false;
            if (Status s = filter->matches(row, keep); !s) return s;
            if (!keep) continue;
        }
        result.rows.push_back(std::move(row));
    }
    out = std::move(result);
    return Status::success();
}

namespace {

std::optional<std::filesystem::path> findEntry(const std::filesystem::path& dir, std::string_view name) {
    std::error_code ec;
    const auto exact = dir / std::string(name);
    if (std::filesystem::exists(exact, ec)) return exact;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        if (equalsIgnoreCase(entry.path().filename().string(), name)) return entry.path();
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::filesystem::path> findBaseDataFile(const std::filesystem::path& programDir) {
    const auto include = findEntry(programDir, "Include");
    if (!include) return std::nullopt;
    return findEntry(*include, "Datos Base.MDB");
}

}  // namespace db::jet
