// The history file on Linux: where it lives unless told, what a place it cannot be written to
// says, and two programs appending at once.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "firmware/UpdateHistory.h"
#include "platform/HistoryFile.h"

namespace {

namespace fs = std::filesystem;

// A folder of the test's own, and the state and home variables put back afterwards.
struct LinuxHistory : ::testing::Test {
    const fs::path dir = fs::path(testing::TempDir()) /
                         (std::string("vx-linux-history-") +
                          testing::UnitTest::GetInstance()->current_test_info()->name());
    const std::string file = (dir / "history.jsonl").string();
    const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    LinuxHistory() { fs::create_directories(dir); }
    ~LinuxHistory() override {
        fs::remove_all(dir);
        ::unsetenv("XDG_STATE_HOME");
        ::setenv("HOME", savedHome.c_str(), 1);
    }
    static void set(const char* name, const char* value) {
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
};

const std::string notRecorded = "the update was not recorded in the history ";

}  // namespace

UpdateRecord recordOf(std::string serial, std::string message = {},
                      UpdateResult result = UpdateResult::Failed);  // history_test.cpp

TEST_F(LinuxHistory, LivesInTheStateFolderOrInHome) {
    const std::tuple<const char*, const char*, std::optional<std::string>> cases[] = {
        {"/s", "/h", "/s/velantrix-update/history.jsonl"},
        {nullptr, "/h", "/h/.local/state/velantrix-update/history.jsonl"},
        {"relative", "/h", "/h/.local/state/velantrix-update/history.jsonl"},
        {nullptr, nullptr, std::nullopt},
    };
    for (const auto& [state, home, path] : cases) {
        set("XDG_STATE_HOME", state);
        set("HOME", home);
        EXPECT_EQ(platform::defaultHistoryPath(), path);
    }
    EXPECT_EQ(recordUpdate(std::nullopt, recordOf("")),
              "the update was not recorded in the history: no home folder is set to keep it in");
    set("XDG_STATE_HOME", (dir / "state").c_str());
    EXPECT_EQ(recordUpdate(std::nullopt, recordOf("S1")), std::nullopt);
    EXPECT_EQ(readHistory((dir / "state/velantrix-update/history.jsonl").string()).entries.size(),
              1u);
}

TEST_F(LinuxHistory, APlaceThatCannotBeWrittenGivesAWarning) {
    std::ofstream(dir / "plain") << "a file, no folder";
    const std::string underFile = (dir / "plain/history.jsonl").string();
    EXPECT_EQ(recordUpdate("/proc/vx-history.jsonl", recordOf("")),
              notRecorded + "/proc/vx-history.jsonl: No such file or directory");
    EXPECT_EQ(recordUpdate(underFile, recordOf("")), notRecorded + underFile + ": Not a directory");
    set("XDG_STATE_HOME", (dir / "plain").c_str());
    EXPECT_EQ(recordUpdate(std::nullopt, recordOf("")),
              notRecorded + (dir / "plain/velantrix-update").string() + ": Not a directory");
}

TEST_F(LinuxHistory, TwoProgramsAppendingAtOnceLeaveEveryLineWhole) {
    const auto writeMany = [&](const char* serial) {
        for (int i = 0; i < 40; ++i)
            recordUpdate(file, recordOf(serial, std::string(5000, *serial)));
    };
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        writeMany("C");
        ::_exit(0);
    }
    writeMany("P");
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const HistoryRead read = readHistory(file);
    EXPECT_EQ(read.entries.size(), 80u);
    EXPECT_TRUE(read.skippedLines.empty());
}
