// Row sources of a query (base tables, derived tables, views, catalogue views) and the
// materialised row sets that queries produce.
//
// A base table is read in place through its column stores (a row is a slot); everything
// else is materialised as a Rowset. A Rowset made from a plain query over base tables
// remembers where its rows and columns came from (provenance), so that a result set can
// name its base table and row identities, and an UPDATE through a derived table can reach
// the base rows. Thread-compatible.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/catalog/database.h"
#include "engine/types/value.h"

namespace engine::exec {

struct BoundQuery;

struct SourceColumn {
    std::string name;
    DataType type;
    bool nullable = true;
    bool identity = false;
    // Provenance: the base table (index into Rowset::baseTables) and column (index into
    // its schema) this column reads unchanged; -1 when computed.
    int originTable = -1;
    int originColumn = -1;
};

// The columns of a source. Those of a base table are made once for each of its definitions
// and shared by the statements that read it (see tableSourceColumns); a statement that changes
// its copy (edit, push_back) gets one of its own first.
class SourceColumns {
  public:
    SourceColumns() = default;
    SourceColumns(std::vector<SourceColumn> columns)  // NOLINT: a vector reads as its columns
        : columns_(std::make_shared<std::vector<SourceColumn>>(std::move(columns))), made_(true) {}
    explicit SourceColumns(std::shared_ptr<const std::vector<SourceColumn>> shared)
        : columns_(std::move(shared)) {}

    const std::vector<SourceColumn>& all() const { return columns_ ? *columns_ : none(); }
    operator const std::vector<SourceColumn>&() const { return all(); }  // NOLINT
    size_t size() const { return all().size(); }
    bool empty() const { return all().empty(); }
    const SourceColumn& operator[](size_t i) const { return all()[i]; }
    std::vector<SourceColumn>::const_iterator begin() const { return all().begin(); }
    std::vector<SourceColumn>::const_iterator end() const { return all().end(); }

    SourceColumn& edit(size_t i) { return own()[i]; }
    void push_back(SourceColumn column) { own().push_back(std::move(column)); }
    void clear() {
        columns_.reset();
        made_ = false;
    }

  private:
    static const std::vector<SourceColumn>& none() {
        static const std::vector<SourceColumn> empty;
        return empty;
    }
    std::vector<SourceColumn>& own() {
        if (!made_ || columns_.use_count() > 1) {
            columns_ = std::make_shared<std::vector<SourceColumn>>(all());
            made_ = true;
        }
        // A vector made here, held by nobody else: the const is the sharing's.
        return const_cast<std::vector<SourceColumn>&>(*columns_);
    }
    std::shared_ptr<const std::vector<SourceColumn>> columns_;
    bool made_ = false;  // columns_ was made by a SourceColumns (not const itself)
};

struct Rowset {
    std::vector<SourceColumn> columns;
    std::vector<std::vector<Value>> rows;
    // Provenance of rows: the base tables read by the defining query and, per row, the
    // slot of the row of each of them that produced it (-1 for none).
    std::vector<Table*> baseTables;
    std::vector<std::vector<int64_t>> baseSlots;
    // Why the set cannot be updated through: 0 when it can, else 4417 (UNION) or 4418
    // (aggregates, DISTINCT, GROUP BY).
    int notUpdatable = 0;
    // A set computed cell by cell when read (the larger catalogue views): cellRows rows,
    // rows left empty. Only the cells a query reads are ever built.
    std::function<Value(size_t row, size_t column)> cell;
    size_t cellRows = 0;
};

struct Source {
    enum class Kind { Table, Rowset };
    Kind kind = Kind::Table;
    std::string alias;       // the name that qualifies columns (alias, or the object name)
    bool aliased = false;    // an alias was written
    std::string objectName;  // table / view name as stored
    std::string schemaName = "dbo";
    SourceColumns columns;
    Table* table = nullptr;            // Kind::Table
    // Kind::Table: the positions of its columns by name (columns as the table defines them).
    std::shared_ptr<const ColumnPositions> positions;
    std::shared_ptr<Rowset> rowset;    // Kind::Rowset, filled when the query runs
    BoundQuery* derived = nullptr;     // fills rowset (derived tables and views)
    std::function<Rowset()> generate;  // fills rowset (catalogue views, functions)
    int32_t viewId = 0;

    // The position of the first column of that name, or -1.
    int columnNamed(std::string_view name) const {
        if (positions) return positions->find(name);
        for (size_t c = 0; c < columns.size(); ++c) {
            if (identifierEqual(columns[c].name, name)) return static_cast<int>(c);
        }
        return -1;
    }
    size_t rowCount() const {
        if (kind == Kind::Table) return table->data().rowCount();
        if (!rowset) return 0;
        return rowset->cell ? rowset->cellRows : rowset->rows.size();
    }
    Value value(int64_t row, size_t column) const {
        if (row < 0) return Value::null(columns[column].type);
        if (kind == Kind::Table) return table->data().columns[column].get(static_cast<size_t>(row));
        if (rowset->cell) return rowset->cell(static_cast<size_t>(row), column);
        return rowset->rows[static_cast<size_t>(row)][column];
    }
};

}  // namespace engine::exec
