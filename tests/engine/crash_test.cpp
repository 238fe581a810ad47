// Crash safety of the durable store: a process writing to a database is killed with
// SIGKILL at random moments, over and over; after every kill the database must open and
// hold exactly the statements that had completed (each one whole), nothing less.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/session.h"
#include "engine/types/value.h"

namespace {

std::filesystem::path freshDirectory(const std::string& name) {
    auto dir = std::filesystem::temp_directory_path() /
               ("engine-crash-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

// The child: unit k inserts ten rows with key k, all or nothing, in turn as one statement,
// as a batch of ten statements, and as a transaction spanning two batches; every 25 units
// the session is closed and opened again (folding the journal into a new snapshot, so
// kills also land in the middle of snapshot writes); every 40th unit rewrites every row.
// After each unit returns, k is written to the pipe.
[[noreturn]] void writer(const std::filesystem::path& dir, int fd, int64_t start) {
    std::string pad(150, 'p');
    int64_t k = start;
    while (true) {
        auto opened = engine::Session::open(dir, "Crash");
        if (!opened.session) _exit(3);
        for (int n = 0; n < 25; ++n, ++k) {
            auto row = [&](int i) {
                return "(" + std::to_string(k) + "," + std::to_string(i) + ",'" + pad + "')";
            };
            std::vector<std::string> batches(1);
            for (int i = 1; i <= 10; ++i) {
                switch (k % 3) {
                    case 0: batches.back() += (i == 1 ? "INSERT INTO T VALUES " : ",") + row(i); break;
                    case 1: batches.back() += "INSERT INTO T VALUES " + row(i) + "\n"; break;
                    default:
                        if (i == 1) batches.back() = "BEGIN TRANSACTION\n";
                        if (i == 6) batches.emplace_back();
                        batches.back() += "INSERT INTO T VALUES " + row(i) + "\n";
                        if (i == 10) batches.back() += "COMMIT\n";
                }
            }
            for (const std::string& batch : batches) {
                if (opened.session->execute(batch).hasErrors()) _exit(4);
            }
            if (k % 40 == 0) {
                auto u = opened.session->execute("UPDATE T SET i = i + 0");
                if (u.hasErrors()) _exit(5);
            }
            if (::write(fd, &k, sizeof k) != sizeof k) _exit(6);
        }
        opened.session.reset();
    }
}

TEST(CrashTest, KilledWriterLeavesEveryCompletedBatchAndNoHalfOfOne) {
    auto dir = freshDirectory("kill");
    {
        engine::SessionOptions options;
        options.createDataDirectory = true;
        auto opened = engine::Session::open(dir, "", options);
        ASSERT_TRUE(opened.session);
        ASSERT_FALSE(opened.session->execute("CREATE DATABASE Crash").hasErrors());
        ASSERT_FALSE(
            opened.session
                ->execute(
                    "USE Crash CREATE TABLE T (k int NOT NULL, i int NOT NULL, pad varchar(200))")
                .hasErrors());
    }
    std::mt19937 random(12345);
    int64_t completed = 0;  // statements known to have completed
    const int rounds = 25;
    for (int round = 0; round < rounds; ++round) {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(fds[0]);
            writer(dir, fds[1], completed + 1);
        }
        ::close(fds[1]);
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::uniform_int_distribution<int>(20, 120)(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself, status " << status;
        int64_t k;
        while (::read(fds[0], &k, sizeof k) == sizeof k)
            completed = k;
        ::close(fds[0]);

        auto opened = engine::Session::open(dir, "Crash");
        ASSERT_TRUE(opened.session) << (opened.messages.empty() ? "" : opened.messages[0].text);
        auto r = opened.session->execute(
            "SELECT k, COUNT(*), MIN(i), MAX(i) FROM T GROUP BY k ORDER BY k");
        ASSERT_FALSE(r.hasErrors());
        ASSERT_EQ(r.resultSets.size(), 1u);
        const auto& rows = r.resultSets[0].rows;
        // Keys 1..n, each with its ten rows: no unit lost or torn.
        for (size_t j = 0; j < rows.size(); ++j) {
            ASSERT_EQ(rows[j][0].asInt64(), static_cast<int64_t>(j + 1)) << "round " << round;
            ASSERT_EQ(rows[j][1].asInt64(), 10) << "round " << round << " key " << j + 1;
            ASSERT_EQ(rows[j][2].asInt64(), 1);
            ASSERT_EQ(rows[j][3].asInt64(), 10);
        }
        // Everything reported complete is there; at most the unit in flight more.
        auto present = static_cast<int64_t>(rows.size());
        ASSERT_GE(present, completed) << "round " << round;
        ASSERT_LE(present, completed + 1) << "round " << round;
        completed = present;
    }
    EXPECT_GT(completed, 0);
    RecordProperty("statements", std::to_string(completed));
    std::filesystem::remove_all(dir);
}

// A second process on the same data directory waits and then fails with a clear error
// while the first one holds it, whatever became of the lock file meanwhile; once the first
// lets go, it gets in.
TEST(CrashTest, SecondProcessIsRefusedWhileTheDirectoryIsHeld) {
    auto dir = freshDirectory("lock");
    engine::SessionOptions options;
    options.createDataDirectory = true;
    auto runShell = [&](std::string& output) {
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        pid_t child = ::fork();
        if (child == 0) {
            ::dup2(fds[1], 1);
            ::close(fds[0]);
            ::execl(SQLSHELL_PATH, "sqlshell", "-S", dir.c_str(), "-Q", "PRINT 'in'", "-b",
                    static_cast<char*>(nullptr));
            _exit(127);
        }
        ::close(fds[1]);
        char buffer[4096];
        ssize_t n;
        output.clear();
        while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0)
            output.append(buffer, static_cast<size_t>(n));
        ::close(fds[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    const auto lockFile = dir / "engine.lock";
    const std::vector<std::pair<const char*, std::function<void()>>> fates = {
        {"kept", [] {}},
        {"deleted", [&] { std::filesystem::remove(lockFile); }},
        {"replaced",
         [&] {
             std::filesystem::remove(lockFile);
             std::ofstream(lockFile) << "";
         }},
    };
    for (const auto& [fate, change] : fates) {
        SCOPED_TRACE(fate);
        std::string output;
        {
            auto opened = engine::Session::open(dir, "", options);
            ASSERT_TRUE(opened.session);
            change();
            EXPECT_EQ(runShell(output), 1) << output;
            EXPECT_NE(output.find("Msg 17, Level 16"), std::string::npos) << output;
            EXPECT_NE(output.find("in use by another process"), std::string::npos) << output;
        }
        EXPECT_EQ(runShell(output), 0) << output;
        EXPECT_EQ(output, "in\n");
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
