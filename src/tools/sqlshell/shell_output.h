// What sqlshell prints for a batch, in sqlcmd's layout: result sets as fixed-width columns
// (names, a line of dashes, values; numbers right-aligned; NULL as NULL) followed by a
// blank line and "(n rows affected)", errors as "Msg 208, Level 16, State 1, Line 3" and
// their text, informational messages (PRINT, 5701 ...) as bare text. Thread-safe.
#pragma once

#include <ostream>
#include <string>

#include "engine/session.h"

namespace tools {

// Display width of a column of that type (sqlcmd's fixed widths), at least the name's.
size_t columnWidth(const engine::ResultColumn& column);

void writeMessage(const engine::SqlMessage& message, std::ostream& out);
void writeResultSet(const engine::ResultSet& set, std::ostream& out);
void writeBatchResult(const engine::BatchResult& result, std::ostream& out);

}  // namespace tools
