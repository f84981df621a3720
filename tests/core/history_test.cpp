// The history file's lines: one awkward record each way, the lines the reader refuses, a file
// torn and garbled in places, and writers appending at once.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "firmware/UpdateHistory.h"

namespace {

// A history file of the test's own.
struct History : ::testing::Test {
    const std::string file = testing::TempDir() + "vx-history-" +
                             testing::UnitTest::GetInstance()->current_test_info()->name();
    ~History() override { std::filesystem::remove(file); }
};

const std::string awkward =
    R"({"time":"2026-12-07T12:34:56Z","serial":"S\"1\\2\u0001\u001b\u007f","variant":"Velantrix Heron",)"
    R"("before":null,"after":null,"imageSize":112408,"imageCrc":"0x6E1C0B1A",)"
    R"("imageFile":"/tmp/déjà vu°.bin","result":"failed","message":"Verify failed :\tcrc\nÄ",)"
    R"("seconds":3.400,"partWay":true,"programVersion":"1.0.0"})";

}  // namespace

// A record with no more than these (linux_history_file_test.cpp uses it too).
UpdateRecord recordOf(std::string serial, std::string message = {},
                      UpdateResult result = UpdateResult::Failed) {
    UpdateRecord record;
    record.serialNumber = std::move(serial);
    record.message = std::move(message);
    record.result = result;
    return record;
}

TEST(HistoryLine, AnAwkwardRecordBecomesThisLineAndBack) {
    UpdateRecord record =
        recordOf("S\"1\\2\x01\x1b\x7f", "Verify failed :\tcrc\n\xC4");  // Latin-1 too
    record.timeUtc = "2026-12-07T12:34:56Z";
    record.variant = "Velantrix Heron";
    record.imageSize = 112408;
    record.imageCrc = 0x6E1C0B1A;
    record.imageFile = "/tmp/d\xC3\xA9j\xC3\xA0 vu\xC2\xB0.bin";
    record.seconds = 3.4;
    record.partWay = true;
    record.programVersion = "1.0.0";
    EXPECT_EQ(encodeHistoryLine(record), awkward);
    const std::optional<UpdateRecord> back = decodeHistoryLine(awkward);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->message, "Verify failed :\tcrc\n\xC3\x84");
    EXPECT_FALSE(back->before || back->after);
    EXPECT_EQ(encodeHistoryLine(*back), awkward);
    EXPECT_EQ(utcTimestamp(std::chrono::sys_days{std::chrono::December / 7 / 2026} +
                           std::chrono::seconds(45296)),
              "2026-12-07T12:34:56Z");
}

TEST(HistoryLine, TakesWhatIsSoundAndNothingElse) {
    const std::string head = R"({"time":"t","serial":"S1","result":"updated")";
    const std::pair<std::string, const char*> lines[] = {
        {"{\"time\":\"t\",\"serial\":\"\xE0\xA0\x80\",\"result\":\"updated\"}", "\xE0\xA0\x80"},
        {R"({"result":"skipped","serial":"S1","time":"t","x":[1]})", nullptr},  // nested
        {R"( { "result" : "skipped" , "serial":"\u00c4\u20ac\ud83d\ude00\ud800\udc00\/", "time":"t", "new":1 })",
         "\xC3\x84\xE2\x82\xAC\xF0\x9F\x98\x80\xF0\x90\x80\x80/"},
        {awkward.substr(0, awkward.size() - 20), nullptr},  // torn
        {head + "}}", nullptr},
        {head + R"(,"serial":"S2"})", nullptr},  // twice
        {R"({"time":"t","serial":"S1"})", nullptr},
        {head + R"(,"imageSize":-1})", nullptr},
        {head + R"(,"imageCrc":"12"})", nullptr},
        {R"({"time":"t","serial":"S1","result":"done"})", nullptr},
        {R"({"time":"t","serial":"\ud800","result":"updated"})", nullptr},
        {R"({"time":"t","serial":"\q","result":"updated"})", nullptr},
        {"{\"time\":\"t\",\"serial\":\"\x80\",\"result\":\"updated\"}", nullptr},
        {"{\"time\":\"t\",\"serial\":\"\t\",\"result\":\"updated\"}", nullptr},
    };
    for (const auto& [line, serial] : lines) {
        SCOPED_TRACE(line);
        const std::optional<UpdateRecord> record = decodeHistoryLine(line);
        ASSERT_EQ(record.has_value(), serial != nullptr);
        if (serial) {
            EXPECT_EQ(record->serialNumber, serial);
        }
    }
}

TEST_F(History, ATornAndAGarbledLineAreSkippedAndTheRestIsRead) {
    std::ofstream(file, std::ios::binary) << awkward << "\n{\"time\":\"2026\n"
                                          << awkward << "\r\n\n"     // via Windows
                                          << awkward.substr(0, 30);  // the power went
    EXPECT_EQ(recordUpdate(file, recordOf("S2", "", UpdateResult::Updated)), std::nullopt);
    const HistoryRead read = readHistory(file);
    ASSERT_EQ(read.entries.size(), 3u);
    EXPECT_EQ(read.entries[0].line, awkward);
    EXPECT_EQ(read.entries[1].line, awkward);
    EXPECT_EQ(read.entries[2].lineNumber, 6u);
    EXPECT_EQ(read.entries[2].record.result, UpdateResult::Updated);
    EXPECT_EQ(read.skippedLines, (std::vector<std::size_t>{2, 5}));
}

// Long lines, so that a line written in pieces would show. Each writer opens the file of its
// own, as another program would.
TEST_F(History, WritersAtOnceLeaveEveryLineWhole) {
    std::vector<std::thread> writers;
    for (int w = 0; w < 6; ++w) {
        writers.emplace_back([&, w] {
            for (int i = 0; i < 30; ++i)
                recordUpdate(file, recordOf(std::to_string(w), std::string(6000, char('a' + w))));
        });
    }
    for (std::thread& writer : writers)
        writer.join();
    const HistoryRead read = readHistory(file);
    EXPECT_EQ(read.entries.size(), 180u);
    EXPECT_TRUE(read.skippedLines.empty());
}
