// Messages as SQL Server sends them: errors (severity 11 and up) and informational
// messages (severity 10 and below), with number, severity, state, line and text.
//
// sqlMessage() builds a message from the engine's message catalogue (the texts of
// sys.messages), filling the template's placeholders in order. SqlException carries a
// message inside the engine; it never crosses the engine's public API, where messages
// are plain values. Thread-safe (the catalogue is immutable).
#pragma once

#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

struct SqlMessage {
    int number = 0;
    int severity = 0;  // as the client sees it (10 is delivered as 0)
    int state = 1;
    int line = 0;           // line within the batch, from 1
    std::string procedure;  // empty for ad-hoc batches ("sp_rename" inside it)
    std::string text;

    bool isError() const { return severity > 10; }
};

// How far an error reaches when it is raised while a batch runs.
enum class ErrorScope {
    Statement,  // the statement ends (and changes nothing); the batch goes on
    Batch,      // the statement ends and the rest of the batch is not run
};

// The message of the catalogue with that number, its placeholders (%ls, %.*ls, %s, %d,
// %ld, %S_MSG ...) replaced in order by args. Severity and state are the catalogue's
// defaults as a client sees them; line is 0 (the executor sets it).
SqlMessage sqlMessage(int number, const std::vector<std::string>& args = {});

// As sqlMessage, with an explicit state (3701 uses 6 or 7, 515 uses 2 ...).
SqlMessage sqlMessageWithState(int number, int state, const std::vector<std::string>& args = {});

// True when the catalogue holds a message of that number.
bool hasMessage(int number);
// The template text of a message ("Invalid object name '%.*ls'."), empty if unknown.
std::string_view messageTemplate(int number);

// Whether an error of this number ends the statement or the whole batch.
ErrorScope errorScope(int number);

class SqlException : public std::exception {
  public:
    explicit SqlException(SqlMessage message) : messages_{std::move(message)} {}
    // Errors that come as a pair (5074 then 4922, 3728 then 3727): detail first.
    explicit SqlException(std::vector<SqlMessage> messages) : messages_(std::move(messages)) {}
    SqlException(int number, const std::vector<std::string>& args = {})
        : SqlException(sqlMessage(number, args)) {}

    const std::vector<SqlMessage>& messages() const { return messages_; }
    const SqlMessage& primary() const { return messages_.back(); }
    const char* what() const noexcept override { return messages_.front().text.c_str(); }

  private:
    std::vector<SqlMessage> messages_;
};

}  // namespace engine
