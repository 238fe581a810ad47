// The NULL flags of one column, a bit per cell: a byte per cell was a ninth of a large
// company's memory. Thread-compatible.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace engine {

class NullBitmap {
  public:
    size_t size() const { return size_; }
    bool test(size_t slot) const { return (words_[slot >> 6] >> (slot & 63)) & 1; }
    void assign(size_t slot, bool isNull) {
        const uint64_t bit = uint64_t{1} << (slot & 63);
        if (isNull)
            words_[slot >> 6] |= bit;
        else
            words_[slot >> 6] &= ~bit;
    }
    void push(bool isNull) {
        if ((size_ & 63) == 0) words_.push_back(0);
        ++size_;
        if (isNull) assign(size_ - 1, true);
    }
    void reserve(size_t n) { words_.reserve(wordsFor(n)); }
    // Grows to n cells, the new ones isNull.
    void resize(size_t n, bool isNull) {
        if (n <= size_) {
            truncate(n);
            return;
        }
        if (isNull) {
            // Bits past size_ in the last word are always clear; set the ones now in use.
            if ((size_ & 63) != 0) words_.back() |= ~uint64_t{0} << (size_ & 63);
            words_.resize(wordsFor(n), ~uint64_t{0});
            size_ = n;
            clearTail();
        } else {
            words_.resize(wordsFor(n), 0);
            size_ = n;
        }
    }
    void append(const NullBitmap& other) {
        if ((size_ & 63) == 0) {
            // Word-aligned: whole words at once (a store's records of rows mostly are).
            words_.insert(words_.end(), other.words_.begin(), other.words_.end());
            size_ += other.size_;
            return;
        }
        reserve(size_ + other.size_);
        for (size_t i = 0; i < other.size_; ++i)
            push(other.test(i));
    }
    // Keeps the cells whose keep[slot] is true, in order.
    void compact(const std::vector<bool>& keep) {
        size_t out = 0;
        for (size_t i = 0; i < size_; ++i) {
            if (keep[i]) assign(out++, test(i));
        }
        truncate(out);
    }
    void clear() {
        words_.clear();
        size_ = 0;
    }
    size_t memoryBytes() const { return words_.capacity() * sizeof(uint64_t); }

  private:
    static size_t wordsFor(size_t n) { return (n + 63) >> 6; }
    void truncate(size_t n) {
        words_.resize(wordsFor(n));
        size_ = n;
        clearTail();
    }
    // Clears the bits past size_ in the last word, which push and append rely on.
    void clearTail() {
        if ((size_ & 63) != 0) words_.back() &= ~(~uint64_t{0} << (size_ & 63));
    }

    std::vector<uint64_t> words_;
    size_t size_ = 0;
};

}  // namespace engine
