// What sqlshell prints for a batch, in sqlcmd's layout: result sets as fixed-width columns
// (names, a line of dashes, values; numbers right-aligned; NULL as NULL) followed by a
// blank line and "(n rows affected)", errors as "Msg 208, Level 16, State 1, Line 3" and
// their text, informational messages (PRINT, 5701 ...) as bare text. The layout follows
// sqlcmd's options: -h (headers every n rows, -1 none), -s (column separator), -W (values
// without padding), -r (error messages, or all messages, on another stream). Thread-safe.
#pragma once

#include <ostream>
#include <string>

#include "engine/session.h"

namespace tools {

struct OutputFormat {
    int headers = 0;              // -h: 0 once per result set, -1 never, n every n rows
    std::string separator = " ";  // -s
    bool trim = false;            // -W: no padding, trailing blanks removed
};

// -r: where messages go. Errors: messages above severity 10 on the error stream (-r0);
// All: every message there (-r1).
enum class MessagesTo { Output, Errors, All };

// The streams of a run: results and messages, and where -r sends messages.
struct ShellStreams {
    std::ostream& out;
    std::ostream& err;
    MessagesTo messages = MessagesTo::Output;
    std::ostream& streamFor(const engine::SqlMessage& m) const {
        if (messages == MessagesTo::All || (messages == MessagesTo::Errors && m.isError()))
            return err;
        return out;
    }
};

// Display width of a column of that type (sqlcmd's fixed widths), at least the name's.
size_t columnWidth(const engine::ResultColumn& column);

void writeMessage(const engine::SqlMessage& message, std::ostream& out);
void writeResultSet(const engine::ResultSet& set, std::ostream& out,
                    const OutputFormat& format = {});
void writeBatchResult(const engine::BatchResult& result, std::ostream& out);
void writeBatchResult(const engine::BatchResult& result, const ShellStreams& streams,
                      const OutputFormat& format);

}  // namespace tools
