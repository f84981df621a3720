// update --all: several virtual probes at once, some of them failing, on every display.
#include "CliRun.h"
#include "firmware/UpdateHistory.h"

namespace {

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

}  // namespace

TEST_F(CliProbes, AllGoOnWhileSomeFailAndTheSummaryCountsThem) {
    const auto good = plug(3, "0300A1");
    const auto reopening = plug(6, "0600B7", olderImage());
    plug(3, "0300A2")->on(sim::Command::Write, 5).corruptWrite(7);
    plug(3, "0300A3")->on(sim::Command::Info, 1).noReply();  // a loader that says nothing
    const std::string history = testing::TempDir() + "vx-update-all.jsonl";
    std::remove(history.c_str());

    const CliRun run = cli({"update", "--all", "--history", history});
    EXPECT_EQ(run.status, 5);
    EXPECT_TRUE(holds(*good, rowOf(3)) && holds(*reopening, rowOf(6)));
    EXPECT_PRED_FORMAT2(testing::IsSubstring,
                        "velantrix-update-cli: 0300A2: Verify failed : crc check mismatch\n",
                        run.err);
    EXPECT_PRED_FORMAT2(testing::IsSubstring, "velantrix-update-cli: 0300A3: hardware error",
                        run.err);
    EXPECT_PRED_FORMAT2(testing::IsSubstring,
                        "0300A2 (Velantrix Heron): Verifying firmware: stopped at 16384/112408",
                        run.out);
    const std::vector<std::string> lines = linesOf(run.out);
    const std::vector<std::string> summary(lines.end() - 6, lines.end());
    EXPECT_EQ(summary, (std::vector<std::string>{
                           "SERIAL  VARIANT           FROM        TO                            "
                           "  RESULT   SECONDS",
                           "0300A1  Velantrix Heron   2.10 - old  " + heron + "  updated  " +
                               summary[1].substr(summary[1].rfind(' ') + 1),
                           summary[2], summary[3], summary[4], "4 probes: 2 updated, 2 failed"}));
    EXPECT_EQ(summary[3].substr(0, 45), "0300A2  Velantrix Heron   2.10 - old  -      ");
    EXPECT_EQ(summary[1][summary[1].size() - 2], '.') << "seconds to a tenth";
    EXPECT_TRUE(summary[4].starts_with("0300A3  Velantrix Heron   -           -")) << summary[4];
    // Each recorded, the failure part-way into the flash marked as such.
    const HistoryRead read = readHistory(history);
    ASSERT_EQ(read.entries.size(), 4u);
    for (const HistoryEntry& entry : read.entries) {
        EXPECT_EQ(entry.record.partWay, entry.record.serialNumber == "0300A2");
        EXPECT_EQ(entry.record.result == UpdateResult::Failed,
                  entry.record.serialNumber >= "0300A2" && entry.record.serialNumber < "0600");
    }

    // One at a time, the faults gone: the torn one is found by its block check and written.
    const CliRun again = cli({"update", "--all", "--jobs", "1"});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_TRUE(again.out.ends_with("4 probes: 2 updated, 2 up to date\n")) << again.out;
}

TEST_F(CliProbes, ProbesSharingASerialNumberAreLeftAloneAndJsonTellsEveryEvent) {
    const auto twin = plug(3, "0300B1");
    plug(3, "0300B1");
    plug(5, "0500C3", {});
    plug(16, "1000D4");  // not updatable: skipped, not failed
    const CliRun run = cli({"update", "--all", "--json"});
    EXPECT_EQ(run.status, 5);
    EXPECT_EQ(twin->commandCount(sim::Command::Erase), 0);
    EXPECT_PRED_FORMAT2(testing::IsSubstring, "0300B1: another attached Velantrix reports",
                        run.err);
    std::map<std::string, UpdateResult> finished;
    int progress = 0;
    int started = 0;
    for (const std::string& line : linesOf(run.out)) {
        started += line.starts_with("{\"event\":\"started\"") ? 1 : 0;
        ASSERT_TRUE(line.starts_with("{\"event\":\"") && line.ends_with("}")) << line;
        if (line.starts_with("{\"event\":\"progress\"")) {
            ++progress;
            EXPECT_TRUE(line.ends_with("0}") && !line.ends_with(":100}")) << line;
        }
        if (line.starts_with("{\"event\":\"finished\"")) {
            const std::optional<UpdateRecord> record = decodeHistoryLine(line);
            ASSERT_TRUE(record) << line;
            EXPECT_FALSE(finished.contains(record->serialNumber + record->variant) &&
                         record->serialNumber != "0300B1");
            finished[record->serialNumber + record->variant] = record->result;
        }
    }
    EXPECT_EQ(finished.size(), 3u);
    EXPECT_EQ(started, 4);
    EXPECT_EQ(finished["0500C3Velantrix Egret"], UpdateResult::Updated);
    EXPECT_EQ(finished["1000D4Velantrix Kestrel"], UpdateResult::Skipped);
    EXPECT_GT(progress, 0);
    EXPECT_TRUE(linesOf(run.out).back().starts_with("{\"event\":\"finished\""));
}

TEST_F(CliProbes, TheTerminalBoardRedrawsInPlaceAndOptionsAreChecked) {
    plug(3, "0300A1");
    plug(5, "0500C3", {});
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(cli::runCli(context, {"update", "--all"}, {out, err, true}), 0) << err.str();
    const std::string board = out.str();
    // Which worker starts first is the scheduler's choice, and a line stands where its probe
    // started: nothing here depends on the order of the two lines.
    EXPECT_TRUE(board.starts_with(
        "Do not remove a Velantrix while its line shows it being updated.\n\r\x1b[2K"))
        << board;
    EXPECT_PRED_FORMAT2(testing::IsSubstring, "\r\x1b[2K0300A1  Velantrix Heron  \n", board);
    EXPECT_PRED_FORMAT2(testing::IsSubstring,
                        "\r\x1b[2K0300A1  Velantrix Heron  Downloading firmware  [", board);
    EXPECT_PRED_FORMAT2(testing::IsSubstring, "\x1b[2A\r\x1b[2K", board);
    // Cut short of 80 columns, so that no line wraps under the cursor's moves.
    EXPECT_PRED_FORMAT2(testing::IsSubstring, "Heron  installing " + heron + " over 2.10 - \n",
                        board);
    EXPECT_PRED_FORMAT2(testing::IsSubstring, "\r\x1b[2K0500C3  Velantrix Egret  installed version",
                        board);

    for (const auto& wrong :
         std::vector<std::vector<std::string>>{{"update", "--all", "--jobs", "0"},
                                               {"update", "--all", "--jobs=2x"},
                                               {"update", "--all", "--jobs", "1", "--jobs", "2"},
                                               {"update", "--json"},
                                               {"update", "--serial", "0300A1", "--jobs", "2"}}) {
        EXPECT_EQ(cli(wrong).status, 2) << wrong.back();
    }
}
