#include "run/date_time_text.h"

#include <sys/stat.h>

#include <cstdio>

namespace run {

LocalDateTime LocalDateTimeOf(std::time_t instant) {
    std::tm parts{};
    localtime_r(&instant, &parts);
    return LocalDateTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                         parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

LocalDateTime CurrentLocalDateTime() {
    return LocalDateTimeOf(std::time(nullptr));
}

std::optional<LocalDateTime> ModificationDateTime(const std::filesystem::path& file) {
    struct stat info {};
    if (stat(file.c_str(), &info) != 0) return std::nullopt;
    return LocalDateTimeOf(info.st_mtime);
}

std::string DateTimeText(const LocalDateTime& when) {
    char text[64];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d:%02d", when.day, when.month,
                  when.year, when.hour, when.minute, when.second);
    return text;
}

}  // namespace run
