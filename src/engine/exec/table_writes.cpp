#include "engine/exec/table_writes.h"
#include "engine/types/sql_message.h"

#include <algorithm>
#include <unordered_map>

#include "engine/exec/binder.h"
#include "engine/sql/parser.h"
#include "engine/types/compare.h"
#include "engine/types/conversion.h"
#include "engine/types/render.h"

namespace engine::exec {

Value valueForColumn(ExecContext& ctx, const ColumnSchema& column, const Value& value) {
    if (value.isNull()) return Value::null(column.type);
    return assignToColumn(value, column.type, ctx.dateFormat());
}

BoundExpr& DefaultEvaluator::expression(const std::string& definition) {
    auto it = cache_.find(definition);
    if (it != cache_.end()) return *it->second;
    auto parsed = sql::parseExpression(definition);
    if (!parsed.errors.empty()) throw SqlException(parsed.errors);
    Binder binder(ctx_);
    Scope scope;
    BoundExprPtr bound = binder.bindScalar(*parsed.expr, scope);
    BoundExpr& ref = *bound;
    cache_.emplace(definition, std::move(bound));
    return ref;
}

Value DefaultEvaluator::evaluate(const TableSchema& table, const ColumnSchema& column) {
    if (!column.defaultId) return Value::null(column.type);
    const DefaultSchema* d = table.defaultById(column.defaultId);
    if (!d) return Value::null(column.type);
    BoundExpr& e = expression(d->definition);
    Frame frame;
    frame.ctx = &ctx_;
    return valueForColumn(ctx_, column, e.eval(frame));
}

std::string keyText(const std::vector<Value>& key) {
    std::string out = "(";
    for (size_t i = 0; i < key.size(); ++i) {
        if (i) out += ", ";
        out += key[i].isNull() ? "<NULL>" : renderAsText(key[i]);
    }
    return out + ")";
}

void checkNotNull(ExecContext& ctx, const TableSchema& table, const ColumnSchema& column,
                  const Value& value, const char* verb) {
    if (!value.isNull() || column.nullable) return;
    SqlMessage m =
        sqlMessageWithState(515, 2, {column.name, qualifiedName(ctx, table, true), verb});
    m.line = ctx.line;
    m.procedure = ctx.procedure;
    throw SqlException(m);
}

namespace {

bool sameKey(const std::vector<Value>& a, const std::vector<Value>& b) {
    for (size_t i = 0; i < a.size(); ++i) {
        if (compareForSort(a[i], b[i]) != 0) return false;
    }
    return true;
}

[[noreturn]] void duplicate(ExecContext& ctx, const Table& table, const IndexSchema& index,
                            const std::vector<Value>& key) {
    std::string object = table.schema.schema + "." + table.schema.name;
    SqlMessage m;
    if (index.constraint != KeyConstraint::None) {
        m = sqlMessage(
            2627, {index.constraint == KeyConstraint::PrimaryKey ? "PRIMARY KEY" : "UNIQUE KEY",
                   index.name, object, keyText(key)});
    } else {
        m = sqlMessage(2601, {object, index.name, keyText(key)});
    }
    m.line = ctx.line;
    m.procedure = ctx.procedure;
    throw SqlException(m);
}

std::vector<int> keyPositions(const TableSchema& schema, const IndexSchema& index) {
    std::vector<int> out;
    for (const auto& k : index.keys)
        out.push_back(schema.columnIndexById(k.columnId));
    return out;
}

bool reads(const std::vector<int>& positions, const std::vector<int>& changedColumns) {
    for (int p : positions) {
        if (std::find(changedColumns.begin(), changedColumns.end(), p) != changedColumns.end())
            return true;
    }
    return false;
}

}  // namespace

bool uniqueKeyTouched(const TableSchema& schema, const std::vector<int>& changedColumns) {
    for (const auto& index : schema.indexes) {
        if (index.unique && reads(keyPositions(schema, index), changedColumns)) return true;
    }
    return false;
}

void checkUniqueIndexes(ExecContext& ctx, const Table& table,
                        const std::vector<std::vector<Value>>& rows,
                        const std::vector<int64_t>& replacedSlots,
                        const std::vector<int>& changedColumns) {
    if (rows.empty()) return;
    const TableSchema& schema = table.schema;
    for (const auto& index : schema.indexes) {
        if (!index.unique) continue;
        std::vector<int> positions = keyPositions(schema, index);
        if (!changedColumns.empty() && !reads(positions, changedColumns)) continue;
        // Keys of the changing rows, checked among themselves...
        std::unordered_map<uint64_t, std::vector<size_t>> changing;
        std::vector<std::vector<Value>> keys(rows.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            for (int p : positions)
                keys[i].push_back(rows[i][p]);
            auto& bucket = changing[keyHash(keys[i])];
            for (size_t j : bucket) {
                if (sameKey(keys[i], keys[j])) duplicate(ctx, table, index, keys[i]);
            }
            bucket.push_back(i);
        }
        // ... and against every row that stays as it is, through the index's key hashes.
        std::vector<bool> replaced(table.data().rowCount(), false);
        for (int64_t s : replacedSlots) {
            if (s >= 0) replaced[static_cast<size_t>(s)] = true;
        }
        const KeyHashes& stored = table.keyHashesOf(index);
        std::vector<Value> key(positions.size());
        for (const auto& [hash, members] : changing) {
            auto range = stored.slots.equal_range(hash);
            for (auto it = range.first; it != range.second; ++it) {
                size_t slot = it->second;
                if (replaced[slot]) continue;
                for (size_t k = 0; k < positions.size(); ++k)
                    key[k] = table.data().columns[positions[k]].get(slot);
                for (size_t j : members) {
                    if (sameKey(key, keys[j])) duplicate(ctx, table, index, keys[j]);
                }
            }
        }
    }
}

void checkNewUniqueIndex(ExecContext& ctx, const Table& table, const IndexSchema& index,
                         const std::vector<ColumnStore>* columns) {
    const std::vector<ColumnStore>& data = columns ? *columns : table.data().columns;
    std::vector<int> positions = keyPositions(table.schema, index);
    std::unordered_map<uint64_t, std::vector<std::vector<Value>>> seen;
    size_t rows = data.empty() ? 0 : data[0].size();
    for (size_t slot = 0; slot < rows; ++slot) {
        std::vector<Value> key;
        for (int p : positions)
            key.push_back(data[p].get(slot));
        auto& bucket = seen[keyHash(key)];
        for (const auto& other : bucket) {
            if (sameKey(key, other)) {
                SqlMessage m = sqlMessage(1505, {table.schema.schema + "." + table.schema.name,
                                                 index.name, keyText(key)});
                m.line = ctx.line;
                m.procedure = ctx.procedure;
                throw SqlException(m);
            }
        }
        bucket.push_back(std::move(key));
    }
}

int64_t nextIdentity(TableSchema& schema, const ColumnSchema& column) {
    int64_t v = schema.identityUsed ? schema.identityCurrent + column.identityIncrement
                                    : column.identitySeed;
    schema.identityCurrent = v;
    schema.identityUsed = true;
    return v;
}

}  // namespace engine::exec
