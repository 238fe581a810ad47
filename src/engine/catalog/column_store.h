// Compact storage of one column of a table: a typed vector per column instead of a Value
// per cell, so that memory stays proportional to the data (8 bytes per int cell, not 64;
// strings packed as StringCells packs them) and whole-column work (UPDATE t SET c = 0,
// ALTER TABLE ADD with a default) is a loop over a plain array.
//
// Cells are addressed by slot (0 .. size-1); the table keeps the slots of all its columns
// aligned.
//
// A column whose cells all hold the same value (a column added with a default, the many
// columns of a company's tables that nobody fills in) keeps that value once: half of a large
// company's memory went to such columns. The first cell set or added with another value
// spreads it over every slot again. Thread-compatible.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/catalog/null_bitmap.h"
#include "engine/catalog/string_cells.h"
#include "engine/types/data_type.h"
#include "engine/types/value.h"

namespace engine {

class ColumnStore {
  public:
    ColumnStore() = default;
    explicit ColumnStore(DataType type);

    const DataType& type() const { return type_; }
    size_t size() const { return uniformRows_ != 0 ? uniformRows_ : nulls_.size(); }

    Value get(size_t slot) const;
    bool isNull(size_t slot) const { return nulls_.test(at(slot)); }
    // The value must already have the column's type (the executor converts first); only
    // its representation is stored.
    void set(size_t slot, const Value& value);
    void push(const Value& value);
    // Sets a slot to the cell `at` of other, copied as stored when both have the same type.
    void setFrom(size_t slot, const ColumnStore& other, size_t at);
    // Whether every cell holds the same (same bytes, same NULL flag); true when empty.
    bool allSame() const;
    // Room for n cells in all, and for arenaBytes more bytes of long strings.
    void reserve(size_t n, size_t arenaBytes = 0);
    // Appends n copies of value.
    void fill(size_t n, const Value& value);
    // Replaces every cell with n copies of value, kept once (the old cells' memory freed).
    void assignAll(size_t n, const Value& value);
    // Appends every cell of other (converted cell by cell when its type differs).
    void append(const ColumnStore& other);
    // Keeps the slots whose keep[slot] is true, in order.
    void compact(const std::vector<bool>& keep);
    void clear();
    // Whether other holds the same cells in the same representation (same NULL flags, same
    // stored bytes), whatever the two types.
    bool sameCells(const ColumnStore& other) const;
    // Gives the cells another type stored the same way (false, nothing done, otherwise): each
    // cell keeps its stored bytes.
    bool retype(DataType type);
    // Keeps the value once when every cell holds the same (same bytes, same NULL flag).
    void shareIfUniform();
    bool uniform() const { return uniformRows_ != 0; }

    // Approximate bytes used (for the benchmark's memory figures).
    size_t memoryBytes() const;

    // The representation cells are kept in, and raw access to it, for the store's column
    // encoding (which writes and reads cells without building a Value for each). Int64
    // holds integers, bit, money (scaled) and dates (days in the high half, ticks in the
    // low half); Double the approximate types; Int128 decimals (unscaled); Bytes strings,
    // binary and uniqueidentifier; Generic anything else, as values.
    enum class Repr : uint8_t { Int64, Double, Int128, Bytes, Generic };
    Repr repr() const { return repr_; }
    int64_t rawInt(size_t slot) const { return ints_[at(slot)]; }
    double rawDouble(size_t slot) const { return doubles_[at(slot)]; }
    Int128 rawDecimal(size_t slot) const { return decimals_[at(slot)]; }
    std::string_view rawBytes(size_t slot) const { return bytes_.view(at(slot)); }
    // Bytes of long strings held (0 but for strings).
    size_t arenaBytes() const { return repr_ == Repr::Bytes ? bytes_.arenaBytes() : 0; }
    // Appends a NULL cell, or a cell given in the store's representation.
    void pushNull();
    void pushRawInt(int64_t v);
    void pushRawDouble(double v);
    void pushRawDecimal(Int128 v);
    void pushRawBytes(std::string_view v);

  private:
    static Repr reprOf(TypeId id);
    int64_t packDateTime(const Value& v) const;
    // Where a slot's cell is kept: slot 0 for every slot of a uniform column.
    size_t at(size_t slot) const { return slot & slotMask_; }
    // Whether value is the one cell kept (compared as stored).
    bool isTheCell(const Value& value) const;
    // Whether cell a of this and cell b of other (stored the same way) hold the same.
    bool sameCell(size_t a, const ColumnStore& other, size_t b) const;
    // Stores n cells holding value (n > 0) after the last one.
    void fillCells(size_t n, const Value& value);
    // Puts the shared value in every slot again, before a cell gets another.
    void spread();

    DataType type_{};
    Repr repr_ = Repr::Int64;
    NullBitmap nulls_;
    std::vector<int64_t> ints_;
    std::vector<double> doubles_;
    std::vector<Int128> decimals_;
    StringCells bytes_;
    std::vector<Value> generic_;
    // Cells of a uniform column (0 when each slot has its own cell), whose value is the
    // one cell stored; slotMask_ is then 0, so that every slot reads that cell.
    size_t uniformRows_ = 0;
    size_t slotMask_ = ~size_t{0};
};

}  // namespace engine
