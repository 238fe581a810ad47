// Rows of a table found by the values of some of its columns, for statements that fix
// those columns to values (col = constant, variable or parameter; col IS NULL) where no
// unique index does.
//
// A client writing the rows of a set that does not hold its table's key finds each row by
// the original values of every column the set holds: one statement per row, each of which
// would read the whole table. A lookup makes each such statement cost the rows it finds.
// It is built only for a large table whose statements ask for the same columns a second
// time (a statement run once reads the table, as it always has), and follows every change
// of the table's rows in place, so that a run of row-by-row writes does not rebuild it.
//
// The slots of one combination of values are kept in a bucket in the order they reached it;
// an entry whose row has since moved to other values (or whose row is gone) is stale and is
// dropped as the bucket is read. A row's stamp, bumped on every move, tells a stale entry
// from a fresh one when a row comes back to values it had before. Thread-compatible, like
// the table that holds it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

namespace engine {

struct TableData;

class ValueLookup {
  public:
    ValueLookup(const TableData& data, std::vector<int> positions);

    const std::vector<int>& positions() const { return positions_; }

    // Visits the slots whose cells in positions() hash to `hash` (each once, in the
    // bucket's order) until visit returns false. Candidates only: equal hashes are not
    // equal values.
    void visit(uint64_t hash, const std::function<bool(size_t)>& visit);

    // Follows the table: rows appended from slot `first` on; cells changed in `slots`
    // (-1 entries ignored); rows removed where keep[slot] is false (the others close up).
    void appended(const TableData& data, size_t first);
    void changed(const TableData& data, const std::vector<int64_t>& slots);
    void removed(const std::vector<bool>& keep);

    size_t memoryBytes() const;

  private:
    struct Entry {
        uint32_t slot;
        uint32_t stamp;
    };
    struct Bucket {
        std::vector<Entry> entries;
        size_t head = 0;  // entries before it are stale and gone
    };

    uint64_t hashOf(const TableData& data, size_t slot) const;
    bool fresh(uint64_t hash, const Entry& e) const {
        return e.slot < slotHash_.size() && slotHash_[e.slot] == hash && stamps_[e.slot] == e.stamp;
    }
    void add(uint64_t hash, size_t slot);

    std::vector<int> positions_;
    std::vector<uint64_t> slotHash_;  // per slot: the hash of its cells now
    std::vector<uint32_t> stamps_;    // per slot: bumped when the row moves to other values
    std::unordered_map<uint64_t, Bucket> buckets_;
};

// A table's lookups, by the positions they cover (sorted).
class ValueLookups {
  public:
    // The lookup of `positions` (sorted), built now if the table is large enough and the
    // same positions were asked for before since the table's last change of shape; nullptr
    // otherwise (the caller reads the table).
    ValueLookup* find(const TableData& data, const std::vector<int>& positions);

    void appended(const TableData& data, size_t first);
    // Cells of `columns` changed in `slots`.
    void changed(const TableData& data, const std::vector<int32_t>& columns,
                 const std::vector<int64_t>& slots);
    void removed(const std::vector<bool>& keep);
    // The table changed in a way the lookups do not follow (columns added, dropped or
    // replaced, rows inserted out of order, a new definition): all are dropped.
    void clear();

    size_t memoryBytes() const;

  private:
    struct Slot {
        unsigned requests = 0;
        uint64_t lastUse = 0;
        std::unique_ptr<ValueLookup> lookup;
    };
    std::map<std::vector<int>, Slot> slots_;
    uint64_t uses_ = 0;
};

}  // namespace engine
