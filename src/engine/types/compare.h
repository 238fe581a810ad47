// Comparison, equality for grouping, hashing and sort keys of values.
//
// compareValues() is the '=', '<', ... of the executor: NULL gives Unknown; different
// types are converted to the comparison type first (varchar_col = 5 converts the string,
// raising 245 for 'abc'); strings compare under Modern_Spanish_CI_AS with trailing
// blanks ignored. hashValue() and appendSortKey() agree with it: values that compare
// Equal hash equal and have equal sort keys, so hash joins, GROUP BY, DISTINCT and unique
// indexes can use them. These are the hot path of joins: no allocation for numbers and
// ASCII strings. Thread-safe (pure functions).
#pragma once

#include <cstdint>
#include <string>

#include "engine/types/conversion.h"
#include "engine/types/value.h"

namespace engine {

enum class Comparison : int8_t { Less = -1, Equal = 0, Greater = 1, Unknown = 2 };

// a <=> b under SQL Server's rules; Unknown when either is NULL. Raises 306 for
// text/ntext/image values and the conversion errors of convert().
Comparison compareValues(const Value& a, const Value& b, DateFormat dateFormat = DateFormat::Mdy);

// Ordering for ORDER BY, GROUP BY and index keys: NULL sorts first and equals NULL;
// otherwise as compareValues. Returns -1, 0 or 1.
int compareForSort(const Value& a, const Value& b, DateFormat dateFormat = DateFormat::Mdy);

// Same ordering as compareForSort for two non-NULL values of the same type family
// (both strings, both numbers, both dates, both binary) without converting: the fast
// path when the executor has already converted keys to one type.
int compareSameFamily(const Value& a, const Value& b);

// Hash consistent with compareForSort equality within a type family: 1 (int), 1.00
// (decimal) and $1 hash equal; 'abc' and 'ABC  ' hash equal. NULLs hash alike.
uint64_t hashValue(const Value& value, uint64_t seed = 0);

// Whether a stored cell of type `stored` and a value of type `probe` that compare equal
// always have the same hashValue: both strings, both exact numbers, both approximate, or
// the same date and time type. What finding rows through a hash of their cells needs.
bool hashesAlike(TypeId stored, TypeId probe);

// Appends bytes whose memcmp order is the compareForSort order within a type family
// (used for composite index keys). NULL sorts first.
void appendSortKey(const Value& value, std::string& out);

}  // namespace engine
