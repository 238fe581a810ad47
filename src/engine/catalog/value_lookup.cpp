#include "engine/catalog/value_lookup.h"

#include <algorithm>

#include "engine/catalog/database.h"

namespace engine {

namespace {

// Below this a scan costs about what building a lookup does. A client that finds each row
// it writes by its values (an updatable set over ODBC) reads a table of n rows n times
// without one, so even tables of a few hundred rows are worth it.
constexpr size_t kMinRows = 128;
// Lookups kept per table; past it the one used least recently goes.
constexpr size_t kMaxLookups = 4;

}  // namespace

ValueLookup::ValueLookup(const TableData& data, std::vector<int> positions)
    : positions_(std::move(positions)) {
    slotHash_.reserve(data.rowCount());
    stamps_.reserve(data.rowCount());
    appended(data, 0);
}

uint64_t ValueLookup::hashOf(const TableData& data, size_t slot) const {
    return storedKeyHash(data, positions_, slot);
}

void ValueLookup::add(uint64_t hash, size_t slot) {
    buckets_[hash].entries.push_back(Entry{static_cast<uint32_t>(slot), stamps_[slot]});
}

void ValueLookup::visit(uint64_t hash, const std::function<bool(size_t)>& visit) {
    auto it = buckets_.find(hash);
    if (it == buckets_.end()) return;
    Bucket& b = it->second;
    while (b.head < b.entries.size() && !fresh(hash, b.entries[b.head]))
        ++b.head;
    size_t stale = 0;
    size_t i = b.head;
    for (; i < b.entries.size(); ++i) {
        const Entry e = b.entries[i];
        if (!fresh(hash, e)) {
            ++stale;
            continue;
        }
        if (!visit(e.slot)) break;
    }
    // Read to the end: close up when stale entries are most of what was read.
    if (i == b.entries.size() && stale * 2 > b.entries.size() - b.head) {
        std::vector<Entry> kept;
        for (size_t k = b.head; k < b.entries.size(); ++k) {
            if (fresh(hash, b.entries[k])) kept.push_back(b.entries[k]);
        }
        b.entries = std::move(kept);
        b.head = 0;
    } else if (b.head > 64 && b.head * 2 > b.entries.size()) {
        b.entries.erase(b.entries.begin(), b.entries.begin() + static_cast<std::ptrdiff_t>(b.head));
        b.head = 0;
    }
    if (b.entries.size() == b.head) buckets_.erase(it);
}

void ValueLookup::appended(const TableData& data, size_t first) {
    for (size_t slot = first; slot < data.rowCount(); ++slot) {
        const uint64_t h = hashOf(data, slot);
        slotHash_.push_back(h);
        stamps_.push_back(0);
        add(h, slot);
    }
}

void ValueLookup::changed(const TableData& data, const std::vector<int64_t>& slots) {
    for (int64_t s : slots) {
        if (s < 0 || static_cast<size_t>(s) >= slotHash_.size()) continue;
        const size_t slot = static_cast<size_t>(s);
        const uint64_t h = hashOf(data, slot);
        if (h == slotHash_[slot]) continue;
        slotHash_[slot] = h;
        ++stamps_[slot];
        add(h, slot);
    }
}

void ValueLookup::removed(const std::vector<bool>& keep) {
    std::vector<uint32_t> moved(slotHash_.size(), UINT32_MAX);
    size_t out = 0;
    for (size_t slot = 0; slot < slotHash_.size(); ++slot) {
        if (slot < keep.size() && !keep[slot]) continue;
        moved[slot] = static_cast<uint32_t>(out);
        slotHash_[out] = slotHash_[slot];
        stamps_[out] = stamps_[slot];
        ++out;
    }
    // Entries are rewritten against the old slots' hashes and stamps, already moved: test
    // freshness with the new slot numbers.
    slotHash_.resize(out);
    stamps_.resize(out);
    for (auto it = buckets_.begin(); it != buckets_.end();) {
        Bucket& b = it->second;
        std::vector<Entry> kept;
        for (size_t k = b.head; k < b.entries.size(); ++k) {
            const Entry e = b.entries[k];
            if (e.slot >= moved.size() || moved[e.slot] == UINT32_MAX) continue;
            const Entry m{moved[e.slot], e.stamp};
            if (fresh(it->first, m)) kept.push_back(m);
        }
        b.entries = std::move(kept);
        b.head = 0;
        it = b.entries.empty() ? buckets_.erase(it) : std::next(it);
    }
}

size_t ValueLookup::memoryBytes() const {
    size_t total = slotHash_.capacity() * sizeof(uint64_t) + stamps_.capacity() * sizeof(uint32_t);
    for (const auto& [hash, b] : buckets_)
        total += sizeof(hash) + sizeof(Bucket) + 2 * sizeof(void*) + b.entries.capacity() * sizeof(Entry);
    return total;
}

ValueLookup* ValueLookups::find(const TableData& data, const std::vector<int>& positions) {
    if (data.rowCount() < kMinRows) return nullptr;
    Slot& s = slots_[positions];
    s.lastUse = ++uses_;
    if (!s.lookup && ++s.requests < 2) return nullptr;
    if (!s.lookup) {
        size_t built = 0;
        for (const auto& [key, other] : slots_)
            built += other.lookup != nullptr;
        if (built >= kMaxLookups) {
            auto oldest = slots_.end();
            for (auto it = slots_.begin(); it != slots_.end(); ++it) {
                if (it->second.lookup && (oldest == slots_.end() || it->second.lastUse < oldest->second.lastUse))
                    oldest = it;
            }
            oldest->second.lookup.reset();
        }
        s.lookup = std::make_unique<ValueLookup>(data, positions);
    }
    return s.lookup.get();
}

void ValueLookups::appended(const TableData& data, size_t first) {
    for (auto& [positions, s] : slots_) {
        if (s.lookup) s.lookup->appended(data, first);
    }
}

void ValueLookups::changed(const TableData& data, const std::vector<int32_t>& columns,
                           const std::vector<int64_t>& slots) {
    for (auto& [key, s] : slots_) {
        if (!s.lookup) continue;
        const auto& positions = key;  // a lambda may not capture a structured binding (clang 14)
        const bool touched = std::any_of(columns.begin(), columns.end(), [&](int32_t c) {
            return std::find(positions.begin(), positions.end(), c) != positions.end();
        });
        if (touched) s.lookup->changed(data, slots);
    }
}

void ValueLookups::removed(const std::vector<bool>& keep) {
    for (auto& [positions, s] : slots_) {
        if (s.lookup) s.lookup->removed(keep);
    }
}

void ValueLookups::clear() { slots_.clear(); }

size_t ValueLookups::memoryBytes() const {
    size_t total = 0;
    for (const auto& [positions, s] : slots_)
        total += s.lookup ? s.lookup->memoryBytes() : 0;
    return total;
}

}  // namespace engine
