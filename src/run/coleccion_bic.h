// The BIC catalogue of the run: bank entity code -> BIC, loaded once from the base-data file
// before the company phase and read by every bank-account backfill of the companies.
//
// Keys are compared without regard to the case of ASCII letters (entity codes are digits in
// practice; a key such as "ab12" finds "AB12"). The first entry added under a key wins: adding
// it again is refused and leaves the stored BIC alone, so a base-data table with two rows for one
// entity yields the BIC of the row read first.
//
// Thread safety: none; the catalogue lives in the run context, on the run's one thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace run {

class ColeccionBIC {
  public:
    // Stores `bic` under `entidad` unless that key (in any letter case) is already there.
    // Returns whether it was stored.
    bool Add(std::string_view entidad, std::string_view bic);
    // The BIC stored under `entidad`, if any.
    std::optional<std::string> Find(std::string_view entidad) const;
    std::size_t Count() const { return entries_.size(); }
    bool Empty() const { return entries_.empty(); }
    // Forgets every entry: a reload starts from an empty catalogue.
    void Clear() { entries_.clear(); }

  private:
    std::unordered_map<std::string, std::string> entries_;  // folded key -> BIC
};

}  // namespace run
