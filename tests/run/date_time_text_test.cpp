#include "run/date_time_text.h"

#include <gtest/gtest.h>
#include <utime.h>

#include <cstdlib>
#include <ctime>

#include "run/test_files.h"

namespace run {
namespace {

TEST(DateTimeText, PadsEveryFieldWithZeros) {
    EXPECT_EQ(DateTimeText({2026, 3, 7, 9, 5, 4}), "07/03/2026 09:05:04");
    EXPECT_EQ(DateTimeText({2026, 12, 31, 23, 59, 59}), "31/12/2026 23:59:59");
    EXPECT_EQ(DateTimeText({999, 1, 1, 0, 0, 0}), "01/01/0999 00:00:00");
}

TEST(DateTimeText, ConvertsAnInstantInTheLocalTimeZone) {
    const char* old = std::getenv("TZ");
    std::string saved = old ? old : "";
    setenv("TZ", "UTC", 1);
    tzset();
    // 2024-02-29 13:14:15 UTC
    LocalDateTime when = LocalDateTimeOf(1709212455);
    EXPECT_EQ(DateTimeText(when), "29/02/2024 13:14:15");
    setenv("TZ", "CET-1", 1);
    tzset();
    EXPECT_EQ(DateTimeText(LocalDateTimeOf(1709212455)), "29/02/2024 14:14:15");
    if (old)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(ModificationDateTime, IsTheLocalTimeOfTheFilesLastChange) {
    run_test::TempDir dir;
    std::filesystem::path file = dir.path() / "programa";
    { std::ofstream(file) << "x"; }
    utimbuf times{1709212455, 1709212455};
    ASSERT_EQ(utime(file.c_str(), &times), 0);
    std::optional<LocalDateTime> when = ModificationDateTime(file);
    ASSERT_TRUE(when.has_value());
    EXPECT_EQ(DateTimeText(*when), DateTimeText(LocalDateTimeOf(1709212455)));
    EXPECT_FALSE(ModificationDateTime(dir.path() / "missing").has_value());
}

}  // namespace
}  // namespace run
