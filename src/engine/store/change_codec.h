// Binary encoding of change lists (see catalog/change.h): the payload of journal records
// and of snapshot files. Decoding validates everything it reads and fails (returns false)
// on malformed input rather than trusting it. Thread-safe (pure functions).
#pragma once

#include <string>
#include <string_view>

#include "engine/catalog/change.h"
#include "engine/catalog/database.h"

namespace engine::store {

// Version of the encoding written. 1: every cell an encoded value carrying its type;
// 2: a column's cells typed once, NULLs as a bitmap; tables carry CHECK constraints;
// schemas; 3: modules (procedures, triggers, alias types); 4: tables with FOREIGN KEY
// constraints (written under a kind byte of their own, 19); 5: modules of a fourth kind
// (scalar functions). Decoding reads every version up to this one (the files say which
// they hold).
constexpr uint32_t kChangeFormatVersion = 5;

void encodeChange(const Change& change, std::string& out);
bool decodeChange(std::string_view& in, Change& out, uint32_t format = kChangeFormatVersion);

void encodeChanges(const ChangeList& changes, std::string& out);
bool decodeChanges(std::string_view in, ChangeList& out, uint32_t format = kChangeFormatVersion);

// A table as the changes that rebuild it, read from the table in place: its definition
// (a PutTable change), and its rows in slot order, a range at a time (InsertRows changes).
void encodeTableDefinition(const Table& table, std::string& out);
void encodeTableRows(const Table& table, size_t first, size_t count, std::string& out);

// Whether a payload is a list of one InsertRows change, and of which table and how many
// rows: read from its first bytes only (the rest is checked when it is decoded).
bool isRowsRecord(std::string_view payload, int32_t& objectId, uint64_t& rows);

// Appends the rows of such a payload (a record of `table`'s rows) to data, decoding each
// column's cells straight into the table's column (converted when the record's type is
// another). Anything but Appended leaves data to be discarded, but NotInOrder and
// OtherColumns change nothing: such a record can still be applied as a change.
enum class RowsDecoded { Appended, Malformed, NotInOrder, OtherColumns };
RowsDecoded decodeRowsInto(std::string_view payload, int32_t table, TableData& data,
                           uint32_t format);

}  // namespace engine::store
