#include "engine/store/change_codec.h"

#include <cstring>

#include "engine/store/binary.h"
#include "engine/types/value_codec.h"

namespace engine::store {

namespace {

void putBool(std::string& out, bool b) {
    out.push_back(b ? 1 : 0);
}

bool getBool(std::string_view& in, bool& b) {
    if (in.empty()) return false;
    b = in.front() != 0;
    in.remove_prefix(1);
    return true;
}

template <class T>
bool getInt(std::string_view& in, T& v) {
    int64_t raw;
    if (!getSigned(in, raw)) return false;
    v = static_cast<T>(raw);
    return true;
}

bool getValue(std::string_view& in, Value& v) {
    auto decoded = tryDecodeValue(in);
    if (!decoded) return false;
    v = std::move(*decoded);
    return true;
}

bool getType(std::string_view& in, DataType& t) {
    auto decoded = tryDecodeDataType(in);
    if (!decoded) return false;
    t = *decoded;
    return true;
}

// A column store (or the cells first .. first + count - 1 of one): its type once, the
// number of cells, the NULL cells as a bitmap (when there are any), then each other cell in
// the store's own representation: zig-zag varints for integers, money, dates (packed) and
// decimals, eight raw bytes for approximate numbers, length and bytes for strings, a whole
// encoded value for anything else.
void encodeColumnStore(const ColumnStore& store, size_t first, size_t count, std::string& out) {
    encodeDataType(store.type(), out);
    putVarint(out, count);
    size_t nulls = 0;
    for (size_t i = first; i < first + count; ++i)
        nulls += store.isNull(i);
    putVarint(out, nulls);
    if (nulls > 0) {
        std::string bitmap((count + 7) / 8, '\0');
        for (size_t i = 0; i < count; ++i) {
            if (store.isNull(first + i)) bitmap[i / 8] |= static_cast<char>(1 << (i % 8));
        }
        out += bitmap;
    }
    for (size_t i = first; i < first + count; ++i) {
        if (store.isNull(i)) continue;
        switch (store.repr()) {
            case ColumnStore::Repr::Int64:
                putSigned(out, store.rawInt(i));
                break;
            case ColumnStore::Repr::Double: {
                double d = store.rawDouble(i);
                char raw[8];
                std::memcpy(raw, &d, 8);
                out.append(raw, 8);
                break;
            }
            case ColumnStore::Repr::Int128:
                putSigned128(out, store.rawDecimal(i));
                break;
            case ColumnStore::Repr::Bytes:
                putString(out, store.rawBytes(i));
                break;
            case ColumnStore::Repr::Generic:
                encodeValue(store.get(i), out);
                break;
        }
    }
}

void encodeColumnStore(const ColumnStore& store, std::string& out) {
    encodeColumnStore(store, 0, store.size(), out);
}

// The first format: every cell an encoded value with its own type.
bool decodeColumnStoreOfValues(std::string_view& in, uint64_t n, ColumnStore& store) {
    store.reserve(n);
    for (uint64_t i = 0; i < n; ++i) {
        auto v = tryDecodeValue(in);
        if (!v) return false;
        store.push(*v);
    }
    return true;
}

// Appends n cells of store's type, written as format 2 and later write them.
bool decodeCells(std::string_view& in, uint64_t n, ColumnStore& store) {
    uint64_t nulls;
    if (!getVarint(in, nulls) || nulls > n) return false;
    std::string_view bitmap;
    if (nulls > 0) {
        if ((n + 7) / 8 > in.size()) return false;
        bitmap = in.substr(0, (n + 7) / 8);
        in.remove_prefix(bitmap.size());
    }
    // Every cell that is not NULL takes at least a byte.
    if (n - nulls > in.size()) return false;
    store.reserve(store.size() + n);
    for (uint64_t i = 0; i < n; ++i) {
        if (nulls > 0 && (static_cast<unsigned char>(bitmap[i / 8]) >> (i % 8)) & 1) {
            store.pushNull();
            continue;
        }
        switch (store.repr()) {
            case ColumnStore::Repr::Int64: {
                int64_t v;
                if (!getSigned(in, v)) return false;
                store.pushRawInt(v);
                break;
            }
            case ColumnStore::Repr::Double: {
                if (in.size() < 8) return false;
                double d;
                std::memcpy(&d, in.data(), 8);
                in.remove_prefix(8);
                store.pushRawDouble(d);
                break;
            }
            case ColumnStore::Repr::Int128: {
                __int128 v;
                if (!getSigned128(in, v)) return false;
                store.pushRawDecimal(v);
                break;
            }
            case ColumnStore::Repr::Bytes: {
                uint64_t length;
                if (!getVarint(in, length) || length > in.size()) return false;
                store.pushRawBytes(in.substr(0, length));
                in.remove_prefix(length);
                break;
            }
            case ColumnStore::Repr::Generic: {
                auto v = tryDecodeValue(in);
                if (!v) return false;
                store.push(*v);
                break;
            }
        }
    }
    return true;
}

bool decodeColumnStore(std::string_view& in, ColumnStore& store, uint32_t format) {
    DataType type;
    uint64_t n;
    if (!getType(in, type) || !getVarint(in, n)) return false;
    store = ColumnStore(type);
    if (format < 2) return n <= in.size() && decodeColumnStoreOfValues(in, n, store);
    return decodeCells(in, n, store);
}

void encodeTableSchema(const TableSchema& t, std::string& out) {
    putSigned(out, t.id);
    putString(out, t.schema);
    putString(out, t.name);
    encodeValue(t.created, out);
    putSigned(out, t.nextColumnId);
    putSigned(out, t.identityCurrent);
    putBool(out, t.identityUsed);
    putVarint(out, t.columns.size());
    for (const auto& c : t.columns) {
        putSigned(out, c.id);
        putString(out, c.name);
        encodeDataType(c.type, out);
        putBool(out, c.nullable);
        putBool(out, c.identity);
        putSigned(out, c.identitySeed);
        putSigned(out, c.identityIncrement);
        putSigned(out, c.defaultId);
    }
    putVarint(out, t.defaults.size());
    for (const auto& d : t.defaults) {
        putSigned(out, d.id);
        putString(out, d.name);
        putSigned(out, d.columnId);
        putString(out, d.definition);
        encodeValue(d.created, out);
    }
    putVarint(out, t.indexes.size());
    for (const auto& ix : t.indexes) {
        putSigned(out, ix.indexId);
        putString(out, ix.name);
        putBool(out, ix.unique);
        putBool(out, ix.clustered);
        out.push_back(static_cast<char>(ix.constraint));
        putSigned(out, ix.constraintId);
        encodeValue(ix.created, out);
        putVarint(out, ix.keys.size());
        for (const auto& k : ix.keys) {
            putSigned(out, k.columnId);
            putBool(out, k.descending);
        }
    }
    putVarint(out, t.checks.size());
    for (const auto& c : t.checks) {
        putSigned(out, c.id);
        putString(out, c.name);
        putSigned(out, c.columnId);
        putString(out, c.definition);
        putBool(out, c.disabled);
        putBool(out, c.notTrusted);
        encodeValue(c.created, out);
    }
    if (t.foreignKeys.empty()) return;
    putVarint(out, t.foreignKeys.size());
    for (const auto& f : t.foreignKeys) {
        putSigned(out, f.id);
        putString(out, f.name);
        putSigned(out, f.referencedTableId);
        putSigned(out, f.referencedIndexId);
        putVarint(out, f.columnIds.size());
        for (size_t i = 0; i < f.columnIds.size(); ++i) {
            putSigned(out, f.columnIds[i]);
            putSigned(out, f.referencedColumnIds[i]);
        }
        out.push_back(static_cast<char>(f.onDelete));
        out.push_back(static_cast<char>(f.onUpdate));
        putBool(out, f.disabled);
        putBool(out, f.notTrusted);
        encodeValue(f.created, out);
    }
}

namespace {

bool getAction(std::string_view& in, ReferentialAction& action) {
    if (in.empty() || static_cast<uint8_t>(in.front()) > 3) return false;
    action = static_cast<ReferentialAction>(in.front());
    in.remove_prefix(1);
    return true;
}

}  // namespace

bool decodeTableSchema(std::string_view& in, TableSchema& t, uint32_t format,
                       bool withForeignKeys) {
    uint64_t n;
    if (!getInt(in, t.id) || !getString(in, t.schema) || !getString(in, t.name) ||
        !getValue(in, t.created) || !getInt(in, t.nextColumnId) || !getInt(in, t.identityCurrent) ||
        !getBool(in, t.identityUsed) || !getVarint(in, n) || n > in.size())
        return false;
    t.columns.resize(n);
    for (auto& c : t.columns) {
        if (!getInt(in, c.id) || !getString(in, c.name) || !getType(in, c.type) ||
            !getBool(in, c.nullable) || !getBool(in, c.identity) || !getInt(in, c.identitySeed) ||
            !getInt(in, c.identityIncrement) || !getInt(in, c.defaultId))
            return false;
    }
    if (!getVarint(in, n) || n > in.size()) return false;
    t.defaults.resize(n);
    for (auto& d : t.defaults) {
        if (!getInt(in, d.id) || !getString(in, d.name) || !getInt(in, d.columnId) ||
            !getString(in, d.definition) || !getValue(in, d.created))
            return false;
    }
    if (!getVarint(in, n) || n > in.size()) return false;
    t.indexes.resize(n);
    for (auto& ix : t.indexes) {
        if (!getInt(in, ix.indexId) || !getString(in, ix.name) || !getBool(in, ix.unique) ||
            !getBool(in, ix.clustered) || in.empty())
            return false;
        auto constraint = static_cast<uint8_t>(in.front());
        in.remove_prefix(1);
        if (constraint > static_cast<uint8_t>(KeyConstraint::Unique)) return false;
        ix.constraint = static_cast<KeyConstraint>(constraint);
        uint64_t keys;
        if (!getInt(in, ix.constraintId) || !getValue(in, ix.created) || !getVarint(in, keys) ||
            keys > in.size())
            return false;
        ix.keys.resize(keys);
        for (auto& k : ix.keys) {
            if (!getInt(in, k.columnId) || !getBool(in, k.descending)) return false;
        }
    }
    if (format < 2) return true;  // CHECK constraints came with the second format
    if (!getVarint(in, n) || n > in.size()) return false;
    t.checks.resize(n);
    for (auto& c : t.checks) {
        if (!getInt(in, c.id) || !getString(in, c.name) || !getInt(in, c.columnId) ||
            !getString(in, c.definition) || !getBool(in, c.disabled) ||
            !getBool(in, c.notTrusted) || !getValue(in, c.created))
            return false;
    }
    if (!withForeignKeys) return true;
    if (!getVarint(in, n) || n == 0 || n > in.size()) return false;
    t.foreignKeys.resize(n);
    for (auto& f : t.foreignKeys) {
        uint64_t columns;
        if (!getInt(in, f.id) || !getString(in, f.name) || !getInt(in, f.referencedTableId) ||
            !getInt(in, f.referencedIndexId) || !getVarint(in, columns) || columns > in.size())
            return false;
        f.columnIds.resize(columns);
        f.referencedColumnIds.resize(columns);
        for (size_t i = 0; i < columns; ++i) {
            if (!getInt(in, f.columnIds[i]) || !getInt(in, f.referencedColumnIds[i])) return false;
        }
        if (!getAction(in, f.onDelete) || !getAction(in, f.onUpdate) || !getBool(in, f.disabled) ||
            !getBool(in, f.notTrusted) || !getValue(in, f.created))
            return false;
    }
    return true;
}

void encodeRowIds(const RowId* rows, size_t count, std::string& out) {
    // Delta-encoded: row ids are ascending in practice, so deltas are small.
    putVarint(out, count);
    RowId previous = 0;
    for (size_t i = 0; i < count; ++i) {
        putSigned(out, rows[i] - previous);
        previous = rows[i];
    }
}

void encodeRowIds(const std::vector<RowId>& rows, std::string& out) {
    encodeRowIds(rows.data(), rows.size(), out);
}

bool decodeRowIds(std::string_view& in, std::vector<RowId>& rows) {
    uint64_t n;
    if (!getVarint(in, n) || n > in.size()) return false;
    rows.resize(n);
    RowId previous = 0;
    for (auto& r : rows) {
        int64_t delta;
        if (!getSigned(in, delta)) return false;
        r = previous + delta;
        previous = r;
    }
    return true;
}

void encodeInsertHeader(int32_t objectId, int64_t identityCurrent, bool identityUsed,
                        std::string& out) {
    out.push_back(static_cast<char>(Change::Kind::InsertRows));
    putSigned(out, objectId);
    putSigned(out, identityCurrent);
    putBool(out, identityUsed);
}

}  // namespace

namespace {

// A table with FOREIGN KEY constraints is written under a kind byte of its own, followed by
// the definition and the constraints, so that every other table is written as the earlier
// encodings wrote it.
constexpr uint8_t kPutTableWithForeignKeys = 19;

void encodeTableDefinition(const TableSchema& schema, std::string& out) {
    out.push_back(static_cast<char>(schema.foreignKeys.empty()
                                        ? static_cast<uint8_t>(Change::Kind::PutTable)
                                        : kPutTableWithForeignKeys));
    encodeTableSchema(schema, out);
}

}  // namespace

void encodeChange(const Change& c, std::string& out) {
    if (c.kind == Change::Kind::InsertRows) {
        encodeInsertHeader(c.objectId, c.identityCurrent, c.identityUsed, out);
        encodeRowIds(c.rowIds, out);
        putVarint(out, c.values.size());
        for (const auto& v : c.values)
            encodeColumnStore(v, out);
        return;
    }
    if (c.kind == Change::Kind::PutTable) {
        encodeTableDefinition(c.table, out);
        return;
    }
    out.push_back(static_cast<char>(c.kind));
    switch (c.kind) {
        case Change::Kind::PutTable:
            break;
        case Change::Kind::DropTable:
        case Change::Kind::DropView:
            putSigned(out, c.objectId);
            break;
        case Change::Kind::AddColumn:
            putSigned(out, c.objectId);
            putSigned(out, c.position);
            putBool(out, c.useFill);
            if (c.useFill) {
                encodeValue(c.fill, out);
            } else {
                encodeColumnStore(c.data, out);
            }
            break;
        case Change::Kind::DropColumn:
            putSigned(out, c.objectId);
            putSigned(out, c.position);
            break;
        case Change::Kind::ReplaceColumn:
            putSigned(out, c.objectId);
            putSigned(out, c.position);
            encodeColumnStore(c.data, out);
            break;
        case Change::Kind::UpdateCells:
            putSigned(out, c.objectId);
            encodeRowIds(c.rowIds, out);
            putVarint(out, c.positions.size());
            for (int32_t p : c.positions)
                putSigned(out, p);
            putVarint(out, c.values.size());
            for (const auto& v : c.values)
                encodeColumnStore(v, out);
            break;
        case Change::Kind::DeleteRows:
            putSigned(out, c.objectId);
            encodeRowIds(c.rowIds, out);
            break;
        case Change::Kind::PutView:
            putSigned(out, c.view.id);
            putString(out, c.view.schema);
            putString(out, c.view.name);
            putString(out, c.view.text);
            encodeValue(c.view.created, out);
            break;
        case Change::Kind::PutProperty:
            putString(out, c.property.name);
            encodeValue(c.property.value, out);
            break;
        case Change::Kind::DropProperty:
            putString(out, c.property.name);
            break;
        case Change::Kind::PutPermission:
            putString(out, c.permission.permission);
            putSigned(out, c.permission.objectId);
            putString(out, c.permission.principal);
            break;
        case Change::Kind::SetIdState:
            putVarint(out, c.idState);
            break;
        case Change::Kind::PutSchema:
            putSigned(out, c.schema.id);
            putString(out, c.schema.name);
            putString(out, c.schema.owner);
            break;
        case Change::Kind::DropSchema:
        case Change::Kind::DropModule:
            putSigned(out, c.objectId);
            break;
        case Change::Kind::PutModule:
            out.push_back(static_cast<char>(c.module.kind));
            putSigned(out, c.module.id);
            putString(out, c.module.schema);
            putString(out, c.module.name);
            putString(out, c.module.text);
            putBool(out, c.module.nullable);
            putSigned(out, c.module.parentId);
            encodeValue(c.module.created, out);
            break;
        case Change::Kind::InsertRows:
            break;
    }
}

bool decodeChange(std::string_view& in, Change& c, uint32_t format) {
    if (format < 1 || format > kChangeFormatVersion) return false;
    if (in.empty()) return false;
    auto kind = static_cast<uint8_t>(in.front());
    in.remove_prefix(1);
    if (kind == kPutTableWithForeignKeys && format >= 4) {
        c = Change();
        c.kind = Change::Kind::PutTable;
        return decodeTableSchema(in, c.table, format, true);
    }
    const auto last = format < 2   ? Change::Kind::SetIdState
                      : format < 3 ? Change::Kind::DropSchema
                                   : Change::Kind::DropModule;
    if (kind < 1 || kind > static_cast<uint8_t>(last)) return false;
    c = Change();
    c.kind = static_cast<Change::Kind>(kind);
    uint64_t n;
    switch (c.kind) {
        case Change::Kind::PutTable:
            return decodeTableSchema(in, c.table, format, false);
        case Change::Kind::DropTable:
        case Change::Kind::DropView:
            return getInt(in, c.objectId);
        case Change::Kind::AddColumn:
            if (!getInt(in, c.objectId) || !getInt(in, c.position) || !getBool(in, c.useFill))
                return false;
            return c.useFill ? getValue(in, c.fill) : decodeColumnStore(in, c.data, format);
        case Change::Kind::DropColumn:
            return getInt(in, c.objectId) && getInt(in, c.position);
        case Change::Kind::ReplaceColumn:
            return getInt(in, c.objectId) && getInt(in, c.position) &&
                   decodeColumnStore(in, c.data, format);
        case Change::Kind::InsertRows:
            if (!getInt(in, c.objectId) || !getInt(in, c.identityCurrent) ||
                !getBool(in, c.identityUsed) || !decodeRowIds(in, c.rowIds) || !getVarint(in, n) ||
                n > in.size())
                return false;
            c.values.resize(n);
            for (auto& v : c.values) {
                if (!decodeColumnStore(in, v, format) || v.size() != c.rowIds.size()) return false;
            }
            return true;
        case Change::Kind::UpdateCells:
            if (!getInt(in, c.objectId) || !decodeRowIds(in, c.rowIds) || !getVarint(in, n) ||
                n > in.size())
                return false;
            c.positions.resize(n);
            for (auto& p : c.positions) {
                if (!getInt(in, p)) return false;
            }
            if (!getVarint(in, n) || n != c.positions.size()) return false;
            c.values.resize(n);
            for (auto& v : c.values) {
                if (!decodeColumnStore(in, v, format) || v.size() != c.rowIds.size()) return false;
            }
            return true;
        case Change::Kind::DeleteRows:
            return getInt(in, c.objectId) && decodeRowIds(in, c.rowIds);
        case Change::Kind::PutView:
            return getInt(in, c.view.id) && getString(in, c.view.schema) &&
                   getString(in, c.view.name) && getString(in, c.view.text) &&
                   getValue(in, c.view.created);
        case Change::Kind::PutProperty:
            return getString(in, c.property.name) && getValue(in, c.property.value);
        case Change::Kind::DropProperty:
            return getString(in, c.property.name);
        case Change::Kind::PutPermission:
            return getString(in, c.permission.permission) && getInt(in, c.permission.objectId) &&
                   getString(in, c.permission.principal);
        case Change::Kind::SetIdState:
            return getVarint(in, c.idState);
        case Change::Kind::PutSchema:
            return getInt(in, c.schema.id) && getString(in, c.schema.name) &&
                   getString(in, c.schema.owner);
        case Change::Kind::DropSchema:
        case Change::Kind::DropModule:
            return getInt(in, c.objectId);
        case Change::Kind::PutModule: {
            if (in.empty()) return false;
            auto kind = static_cast<uint8_t>(in.front());
            in.remove_prefix(1);
            const uint8_t lastModuleKind = format < 5 ? 3 : 4;
            if (kind < 1 || kind > lastModuleKind) return false;
            c.module.kind = static_cast<ModuleSchema::Kind>(kind);
            return getInt(in, c.module.id) && getString(in, c.module.schema) &&
                   getString(in, c.module.name) && getString(in, c.module.text) &&
                   getBool(in, c.module.nullable) && getInt(in, c.module.parentId) &&
                   getValue(in, c.module.created);
        }
    }
    return false;
}

void encodeChanges(const ChangeList& changes, std::string& out) {
    putVarint(out, changes.size());
    for (const auto& c : changes)
        encodeChange(c, out);
}

bool decodeChanges(std::string_view in, ChangeList& out, uint32_t format) {
    uint64_t n;
    if (!getVarint(in, n) || n > in.size()) return false;
    out.clear();
    out.resize(n);
    for (auto& c : out) {
        if (!decodeChange(in, c, format)) return false;
    }
    return in.empty();
}

void encodeTableDefinition(const Table& table, std::string& out) {
    encodeTableDefinition(table.schema, out);
}

void encodeTableRows(const Table& table, size_t first, size_t count, std::string& out) {
    encodeInsertHeader(table.schema.id, table.schema.identityCurrent, table.schema.identityUsed,
                       out);
    encodeRowIds(table.data().rowIds.data() + first, count, out);
    putVarint(out, table.data().columns.size());
    for (const auto& column : table.data().columns)
        encodeColumnStore(column, first, count, out);
}

bool isRowsRecord(std::string_view payload, int32_t& objectId, uint64_t& rows) {
    uint64_t n = 0;
    if (!getVarint(payload, n) || n != 1 || payload.empty() ||
        static_cast<uint8_t>(payload.front()) != static_cast<uint8_t>(Change::Kind::InsertRows))
        return false;
    payload.remove_prefix(1);
    int64_t identity = 0;
    bool identityUsed = false;
    return getInt(payload, objectId) && getInt(payload, identity) &&
           getBool(payload, identityUsed) && getVarint(payload, rows);
}

RowsDecoded decodeRowsInto(std::string_view payload, int32_t table, TableData& data,
                           uint32_t format) {
    uint64_t count = 0, columns = 0;
    Change header;
    if (!getVarint(payload, count) || count != 1 || payload.empty() ||
        static_cast<uint8_t>(payload.front()) != static_cast<uint8_t>(Change::Kind::InsertRows))
        return RowsDecoded::Malformed;
    payload.remove_prefix(1);
    if (!getInt(payload, header.objectId) || header.objectId != table ||
        !getInt(payload, header.identityCurrent) || !getBool(payload, header.identityUsed) ||
        !decodeRowIds(payload, header.rowIds) || !getVarint(payload, columns))
        return RowsDecoded::Malformed;
    if (columns != data.columns.size()) return RowsDecoded::OtherColumns;
    for (size_t i = 0; i < header.rowIds.size(); ++i) {
        const RowId previous =
            i > 0 ? header.rowIds[i - 1] : (data.rowIds.empty() ? INT64_MIN : data.rowIds.back());
        if (header.rowIds[i] <= previous) return RowsDecoded::NotInOrder;
    }
    const uint64_t n = header.rowIds.size();
    for (ColumnStore& column : data.columns) {
        DataType type;
        uint64_t cells;
        if (!getType(payload, type) || !getVarint(payload, cells) || cells != n)
            return RowsDecoded::Malformed;
        if (format >= 2 && type == column.type()) {
            // Straight into the table's column: no copy of the record's cells in between.
            if (!decodeCells(payload, n, column)) return RowsDecoded::Malformed;
            continue;
        }
        ColumnStore cellsOfRecord(type);
        if (format < 2
                ? !(n <= payload.size() && decodeColumnStoreOfValues(payload, n, cellsOfRecord))
                : !decodeCells(payload, n, cellsOfRecord))
            return RowsDecoded::Malformed;
        column.append(cellsOfRecord);
    }
    if (!payload.empty()) return RowsDecoded::Malformed;
    data.rowIds.insert(data.rowIds.end(), header.rowIds.begin(), header.rowIds.end());
    if (n > 0) data.nextRowId = std::max(data.nextRowId, header.rowIds.back() + 1);
    return RowsDecoded::Appended;
}

}  // namespace engine::store
