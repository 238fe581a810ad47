// Compact storage of one column of a table: a typed vector per column instead of a Value
// per cell, so that memory stays proportional to the data (8 bytes per int cell, not 64)
// and whole-column work (UPDATE t SET c = 0, ALTER TABLE ADD with a default) is a loop
// over a plain array.
//
// Cells are addressed by slot (0 .. size-1); the table keeps the slots of all its columns
// aligned. Thread-compatible.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/types/data_type.h"
#include "engine/types/value.h"

namespace engine {

class ColumnStore {
  public:
    ColumnStore() = default;
    explicit ColumnStore(DataType type);

    const DataType& type() const { return type_; }
    size_t size() const { return nulls_.size(); }

    Value get(size_t slot) const;
    bool isNull(size_t slot) const { return nulls_[slot] != 0; }
    // The value must already have the column's type (the executor converts first); only
    // its representation is stored.
    void set(size_t slot, const Value& value);
    void push(const Value& value);
    void reserve(size_t n);
    // Appends n copies of value.
    void fill(size_t n, const Value& value);
    // Keeps the slots whose keep[slot] is true, in order.
    void compact(const std::vector<bool>& keep);
    void clear();

    // Approximate bytes used (for the benchmark's memory figures).
    size_t memoryBytes() const;

  private:
    enum class Repr : uint8_t { Int64, Double, Int128, Bytes, Generic };
    static Repr reprOf(TypeId id);
    int64_t packDateTime(const Value& v) const;

    DataType type_{};
    Repr repr_ = Repr::Int64;
    std::vector<uint8_t> nulls_;
    std::vector<int64_t> ints_;
    std::vector<double> doubles_;
    std::vector<Int128> decimals_;
    std::vector<std::string> bytes_;
    std::vector<Value> generic_;
};

}  // namespace engine
