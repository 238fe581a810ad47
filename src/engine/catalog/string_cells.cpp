#include "engine/catalog/string_cells.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <unordered_map>

namespace engine {

namespace {

// Inline cells keep their tag (bit 0 set, length in bits 1-3) in the word's first byte in
// memory and their bytes in the next seven, so a view can point into the word.
static_assert(std::endian::native == std::endian::little, "cells assume a little-endian layout");

constexpr uint64_t kInlineTag = 1;
// Arena strings are reclaimed only past this size, so small columns never repack.
constexpr size_t kRepackFloor = 1 << 20;

bool isInline(uint64_t cell) {
    return (cell & kInlineTag) != 0;
}

size_t putLength(std::string& arena, size_t length) {
    size_t written = 0;
    while (length >= 0x80) {
        arena.push_back(static_cast<char>((length & 0x7f) | 0x80));
        length >>= 7;
        ++written;
    }
    arena.push_back(static_cast<char>(length));
    return written + 1;
}

// Length of the arena string at offset and where its bytes start.
size_t getLength(const std::string& arena, size_t offset, size_t& bytesAt) {
    size_t length = 0;
    int shift = 0;
    while (true) {
        auto b = static_cast<unsigned char>(arena[offset++]);
        length |= static_cast<size_t>(b & 0x7f) << shift;
        if ((b & 0x80) == 0) break;
        shift += 7;
    }
    bytesAt = offset;
    return length;
}

}  // namespace

uint64_t StringCells::store(std::string_view bytes) {
    if (bytes.size() <= kInlineMax) {
        uint64_t cell = kInlineTag | (static_cast<uint64_t>(bytes.size()) << 1);
        if (!bytes.empty())
            std::memcpy(reinterpret_cast<char*>(&cell) + 1, bytes.data(), bytes.size());
        return cell;
    }
    uint64_t offset = arena_.size();
    putLength(arena_, bytes.size());
    arena_.append(bytes);
    return offset << 1;
}

std::string_view StringCells::view(size_t slot) const {
    const uint64_t& cell = cells_[slot];
    if (isInline(cell))
        return std::string_view(reinterpret_cast<const char*>(&cell) + 1, (cell >> 1) & 7);
    size_t bytesAt = 0;
    size_t length = getLength(arena_, static_cast<size_t>(cell >> 1), bytesAt);
    return std::string_view(arena_.data() + bytesAt, length);
}

size_t StringCells::footprint(uint64_t cell) const {
    if (isInline(cell)) return 0;
    size_t offset = static_cast<size_t>(cell >> 1);
    size_t bytesAt = 0;
    size_t length = getLength(arena_, offset, bytesAt);
    return bytesAt - offset + length;
}

void StringCells::release(uint64_t cell) {
    garbage_ += footprint(cell);
}

void StringCells::push(std::string_view bytes) {
    cells_.push_back(store(bytes));
}

void StringCells::set(size_t slot, std::string_view bytes) {
    release(cells_[slot]);
    cells_[slot] = store(bytes);
    repackIfWasteful();
}

void StringCells::fill(size_t n, std::string_view bytes) {
    if (n == 0) return;
    cells_.resize(cells_.size() + n, store(bytes));
}

void StringCells::append(const StringCells& other) {
    const uint64_t base = arena_.size();
    arena_.append(other.arena_);
    garbage_ += other.garbage_;
    // Grown geometrically: a column appended to record by record is copied a bounded number of
    // times, not once per record.
    const size_t needed = cells_.size() + other.cells_.size();
    if (needed > cells_.capacity()) cells_.reserve(std::max(needed, cells_.capacity() * 2));
    for (uint64_t cell : other.cells_)
        cells_.push_back(isInline(cell) ? cell : cell + (base << 1));
}

void StringCells::compact(const std::vector<bool>& keep) {
    size_t out = 0;
    for (size_t i = 0; i < cells_.size(); ++i) {
        if (keep[i]) {
            cells_[out++] = cells_[i];
        } else {
            release(cells_[i]);
        }
    }
    cells_.resize(out);
    repackIfWasteful();
}

void StringCells::clear() {
    cells_.clear();
    arena_.clear();
    garbage_ = 0;
}

void StringCells::repackIfWasteful() {
    if (arena_.size() < kRepackFloor || garbage_ * 2 < arena_.size()) return;
    std::string packed;
    std::unordered_map<uint64_t, uint64_t> moved;  // old cell -> new cell, for shared strings
    for (uint64_t& cell : cells_) {
        if (isInline(cell)) continue;
        auto [it, fresh] = moved.try_emplace(cell, 0);
        if (fresh) {
            size_t offset = static_cast<size_t>(cell >> 1);
            size_t length = footprint(cell);
            it->second = static_cast<uint64_t>(packed.size()) << 1;
            packed.append(arena_, offset, length);
        }
        cell = it->second;
    }
    arena_ = std::move(packed);
    garbage_ = 0;
}

}  // namespace engine
