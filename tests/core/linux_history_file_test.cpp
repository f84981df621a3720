// The history file on Linux: where it lives unless told, and what a place it cannot be written
// to says. (Writers at once: history_test.cpp; each opens the file as another program would.)
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "firmware/UpdateHistory.h"
#include "platform/HistoryFile.h"

UpdateRecord recordOf(std::string serial, std::string message = {},
                      UpdateResult result = UpdateResult::Failed);  // history_test.cpp

namespace {

// A folder of the test's own; HOME put back afterwards.
struct LinuxHistory : ::testing::Test {
    const std::string dir = testing::TempDir() + "vx-linux-history-" + std::to_string(::getpid());
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    LinuxHistory() { std::filesystem::create_directories(dir); }
    ~LinuxHistory() override {
        std::filesystem::remove_all(dir);
        ::unsetenv("XDG_STATE_HOME");
        ::setenv("HOME", home.c_str(), 1);
    }
    static void set(const char* name, const char* value) {
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
};

const std::string notRecorded = "the update was not recorded in the history ";

}  // namespace

TEST_F(LinuxHistory, LivesInTheStateFolderOrInHome) {
    const std::tuple<const char*, const char*, std::optional<std::string>> cases[] = {
        {"/s", "/h", "/s/velantrix-update/history.jsonl"},
        {"relative", "/h", "/h/.local/state/velantrix-update/history.jsonl"},
        {nullptr, nullptr, std::nullopt},
    };
    for (const auto& [state, home_, path] : cases) {
        set("XDG_STATE_HOME", state);
        set("HOME", home_);
        EXPECT_EQ(platform::defaultHistoryPath(), path);
    }
    EXPECT_EQ(recordUpdate(std::nullopt, recordOf("")),
              "the update was not recorded in the history: no home folder is set to keep it in");
    set("XDG_STATE_HOME", (dir + "/state").c_str());
    EXPECT_EQ(recordUpdate(std::nullopt, recordOf("S1")), std::nullopt);
    EXPECT_EQ(readHistory(dir + "/state/velantrix-update/history.jsonl").entries.size(), 1u);
}

TEST_F(LinuxHistory, APlaceThatCannotBeWrittenGivesAWarning) {
    std::ofstream(dir + "/plain") << "a file, no folder";
    EXPECT_EQ(recordUpdate("/proc/vx-history.jsonl", recordOf("")),
              notRecorded + "/proc/vx-history.jsonl: No such file or directory");
    EXPECT_EQ(recordUpdate(dir + "/plain/h.jsonl", recordOf("")),
              notRecorded + dir + "/plain/h.jsonl: Not a directory");
    set("XDG_STATE_HOME", (dir + "/plain").c_str());
    EXPECT_EQ(recordUpdate(std::nullopt, recordOf("")),
              notRecorded + dir + "/plain/velantrix-update: Not a directory");
}
