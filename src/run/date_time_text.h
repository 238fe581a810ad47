// Local date and time and their text form "dd/mm/yyyy hh:mm:ss", the form in which the log's
// start line, the run's final message and the program date stamped into every database are
// written. A clock is a function so that tests can fix "now".
//
// Thread safety: the functions are reentrant (localtime_r); a Clock is whatever its target is.
#pragma once

#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace run {

struct LocalDateTime {
    int year = 1900;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

using Clock = std::function<LocalDateTime()>;

// The given instant in the local time zone of the process.
LocalDateTime LocalDateTimeOf(std::time_t instant);

// The current local date and time; the default clock.
LocalDateTime CurrentLocalDateTime();

// The local modification date and time of a file (the program date is that of the program's
// own executable); nothing when the file cannot be examined.
std::optional<LocalDateTime> ModificationDateTime(const std::filesystem::path& file);

// "dd/mm/yyyy hh:mm:ss", every field zero-padded.
std::string DateTimeText(const LocalDateTime& when);

}  // namespace run
