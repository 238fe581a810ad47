#include "engine/catalog/schema.h"

#include "engine/types/collation.h"

namespace engine {

int TableSchema::columnIndex(std::string_view columnName) const {
    for (size_t i = 0; i < columns.size(); ++i) {
        if (identifierEqual(columns[i].name, columnName)) return static_cast<int>(i);
    }
    return -1;
}

int TableSchema::columnIndexById(int32_t columnId) const {
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].id == columnId) return static_cast<int>(i);
    }
    return -1;
}

const DefaultSchema* TableSchema::defaultById(int32_t objectId) const {
    for (const auto& d : defaults) {
        if (d.id == objectId) return &d;
    }
    return nullptr;
}

const IndexSchema* TableSchema::indexByName(std::string_view indexName) const {
    for (const auto& ix : indexes) {
        if (identifierEqual(ix.name, indexName)) return &ix;
    }
    return nullptr;
}

int TableSchema::identityColumn() const {
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].identity) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace engine
