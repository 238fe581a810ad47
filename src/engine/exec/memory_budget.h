// The working memory of a session's statements: what a query holds while it runs (the
// tuples of its joins, hash tables, rows being grouped, made distinct or sorted). A charge
// that would take it past the session's limit fails the statement with 701, as SQL Server
// refuses a query its resource pool cannot hold, instead of letting the process grow until
// the machine suffers. Charges are given back as the memory is freed (MemoryCharge), so an
// error leaves nothing charged and the session goes on.
// Thread-compatible (one statement of a session at a time).
#pragma once

#include <cstddef>
#include <utility>

namespace engine::exec {

class MemoryBudget {
  public:
    // Bytes a query may hold at once; see defaultLimit().
    void setLimit(size_t bytes) { limit_ = bytes; }
    size_t limit() const { return limit_; }
    size_t used() const { return used_; }
    // Raises 701 (and charges nothing) when the limit would be passed.
    void charge(size_t bytes);
    void release(size_t bytes) { used_ -= bytes < used_ ? bytes : used_; }

    // ENGINE_QUERY_MEMORY_MB from the environment when set, otherwise a quarter of the
    // machine's memory (SQL Server's default grant limit is a quarter of its pool).
    static size_t defaultLimit();

  private:
    size_t limit_ = defaultLimit();
    size_t used_ = 0;
};

// Bytes held against a budget, given back when the holder goes.
class MemoryCharge {
  public:
    MemoryCharge() = default;
    explicit MemoryCharge(MemoryBudget* budget) : budget_(budget) {}
    MemoryCharge(MemoryCharge&& o) noexcept
        : budget_(std::exchange(o.budget_, nullptr)), bytes_(std::exchange(o.bytes_, 0)) {}
    MemoryCharge& operator=(MemoryCharge&& o) noexcept {
        if (this != &o) {
            set(0);
            budget_ = std::exchange(o.budget_, nullptr);
            bytes_ = std::exchange(o.bytes_, 0);
        }
        return *this;
    }
    MemoryCharge(const MemoryCharge&) = delete;
    MemoryCharge& operator=(const MemoryCharge&) = delete;
    ~MemoryCharge() { set(0); }

    // Holds `bytes` from now on: charges or gives back the difference.
    void set(size_t bytes) {
        if (!budget_ || bytes == bytes_) return;
        if (bytes > bytes_) {
            budget_->charge(bytes - bytes_);
        } else {
            budget_->release(bytes_ - bytes);
        }
        bytes_ = bytes;
    }
    void add(size_t bytes) { set(bytes_ + bytes); }
    size_t bytes() const { return bytes_; }

  private:
    MemoryBudget* budget_ = nullptr;
    size_t bytes_ = 0;
};

}  // namespace engine::exec
