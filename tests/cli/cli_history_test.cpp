// `history`: one probe's updates as a table and as the lines kept, the lines it skipped, and no
// file yet.
#include <gtest/gtest.h>

#include <fstream>

#include "CliRun.h"

namespace {

const std::string heron1 =
    R"({"time":"2026-12-07T12:00:00Z","serial":"H001","variant":"Velantrix Heron",)"
    R"("before":"2.10 - Build: old","after":"2.16 - Build: x","result":"updated","seconds":3.46})";
const std::string wren =
    R"({"time":"2026-12-07T12:01:00Z","serial":"W002","variant":"Velantrix Wren","before":null,)"
    R"("result":"failed","message":"Erase failed : \u001b[31m\u009b2J\u007f","seconds":0.5})";
const std::string heron2 =
    R"({"time":"2026-12-07T12:02:00Z","serial":"H001","variant":"Velantrix Heron",)"
    R"("before":"2.16 - Build: x","after":"2.16 - Build: x","result":"up-to-date","seconds":1})";

}  // namespace

TEST(CliHistory, ShowsOneProbesUpdatesAndNamesTheLinesItSkipped) {
    const std::string file = testing::TempDir() + "vx-cli-history.jsonl";
    std::ofstream(file) << heron1 << "\ngarbage\n" << wren << '\n' << heron2 << "\n{\"ti";
    const CliRun h001 = cliRun({"history", "--history", file, "--serial", "H001"});
    EXPECT_EQ(h001.status, 0);
    EXPECT_EQ(h001.out,
              "TIME                  SERIAL  VARIANT          BEFORE -> AFTER                 "
              "      RESULT      SECONDS  MESSAGE\n"
              "2026-12-07T12:00:00Z  H001    Velantrix Heron  2.10 - Build: old -> 2.16 - Build: x"
              "  updated     3.5\n"
              "2026-12-07T12:02:00Z  H001    Velantrix Heron  2.16 - Build: x -> 2.16 - Build: x "
              "   up-to-date  1.0\n");
    EXPECT_EQ(h001.err, "velantrix-update-cli: warning: skipped lines of " + file +
                            " that hold no record (torn or garbled): 2, 5\n");
    EXPECT_EQ(cliRun({"history", "--serial=W002", "--json", "--history=" + file}).out, wren + "\n");
    EXPECT_EQ(cliRun({"history", "--history", file, "--serial", "W002"}).out,
              "TIME                  SERIAL  VARIANT         BEFORE -> AFTER  RESULT  SECONDS  "
              "MESSAGE\n2026-12-07T12:01:00Z  W002    Velantrix Wren  - -> -           failed  0.5"
              "      Erase failed : ?[31m?2J?\n");
    const CliRun none = cliRun({"history", "--serial", "H001", "--history", file + ".none"});
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out + none.err, "no updates of H001 recorded yet\n");
}
