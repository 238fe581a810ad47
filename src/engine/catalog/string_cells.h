// The strings of one column (character, binary and uniqueidentifier cells), packed so that a
// table of a million rows with a dozen short text columns costs megabytes, not gigabytes.
//
// Each cell is one 64-bit word. A string of up to 7 bytes lives in the word itself (most of
// the suite's codes, flags and empty strings); a longer one lives in an arena shared by the
// column, as its length (varint) and bytes, and the word holds its offset. Arena strings are
// never changed in place: an assignment writes the new string at the end, so several cells may
// share one arena string (fill() makes a million cells of one default cost one copy). Strings
// left unreferenced are reclaimed when they outgrow half of the arena.
//
// Cells hold bytes only; the column store keeps NULL apart. Thread-compatible.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

class StringCells {
  public:
    size_t size() const { return cells_.size(); }
    // The bytes of a cell; valid until the next change of this object.
    std::string_view view(size_t slot) const;

    void push(std::string_view bytes);
    void set(size_t slot, std::string_view bytes);
    // Appends n cells holding bytes (one arena copy for all of them).
    void fill(size_t n, std::string_view bytes);
    // Appends every cell of other.
    void append(const StringCells& other);
    // Room for n cells in all, and for arenaBytes more bytes of long strings.
    void reserve(size_t n, size_t arenaBytes = 0) {
        cells_.reserve(n);
        if (arenaBytes > 0) arena_.reserve(arena_.size() + arenaBytes);
    }
    // Keeps the cells whose keep[slot] is true, in order.
    void compact(const std::vector<bool>& keep);
    void clear();

    size_t memoryBytes() const { return cells_.capacity() * sizeof(uint64_t) + arena_.capacity(); }
    // Bytes of the arena no cell refers to any more (an upper bound: shared strings count
    // once per cell that let go of them).
    size_t garbageBytes() const { return garbage_; }
    size_t arenaBytes() const { return arena_.size(); }

  private:
    static constexpr size_t kInlineMax = 7;
    // A new cell for bytes: inline, or appended to the arena.
    uint64_t store(std::string_view bytes);
    // Arena bytes a cell's string takes (0 for inline cells).
    size_t footprint(uint64_t cell) const;
    void release(uint64_t cell);
    // Rewrites the arena with the strings still referred to, keeping shared ones shared.
    void repackIfWasteful();

    std::vector<uint64_t> cells_;
    std::string arena_;
    size_t garbage_ = 0;
};

}  // namespace engine
