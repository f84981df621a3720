// list and update against virtual probes on a virtual bus and clock.
#include <gtest/gtest.h>

#include "CliRun.h"

namespace {

const std::string osprey = "3.1 - Build: 2024042402.56362";
const std::string noProbe = "No devices connected, attach the Velantrix you wish to configure.";
const std::string notReachable =
    "The attached Velantrix cannot be updated over its USB connection by Velantrix Update.";

}  // namespace

TEST_F(CliProbes, ListShowsEveryKindOfProbeInJsonAndAlignedText) {
    EXPECT_EQ(cli({"list"}).out, noProbe + "\n");
    EXPECT_EQ(cli({"list"}).status, 3);
    EXPECT_EQ(cli({"list", "--json"}).out, "[]\n");

    plug(6, "0600B7", imageOf(6));
    plug(5, "0500C3", {});
    plug(4, "04010000");
    plug(16, "1000D4", imageOf(16));
    auto silent = plug(3, "0300E5", imageOf(3));
    silent->on(sim::Command::Info, 1).noReply();
    plug(3, "0300A1");
    const CliRun json = cli({"list", "--json"});
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(json.out, R"([
  {"serial": "0600B7", "productId": 6, "variant": "Velantrix Osprey", "state": "ready", "installed": "3.1 - Build: 2024042402.56362", "offered": "3.1 - Build: 2024042402.56362", "updateAvailable": false, "holdsOfferedImage": null, "message": null},
  {"serial": "0500C3", "productId": 5, "variant": "Velantrix Egret", "state": "ready", "installed": null, "offered": "1.1 - Built: 14 June 2006 16:56:46", "updateAvailable": true, "holdsOfferedImage": null, "message": null},
  {"serial": "04010000", "productId": 4, "variant": null, "state": "unsupported", "installed": null, "offered": null, "updateAvailable": false, "holdsOfferedImage": null, "message": "The attached Velantrix is not supported by Velantrix Update."},
  {"serial": "1000D4", "productId": 16, "variant": "Velantrix Kestrel", "state": "unreachable", "installed": null, "offered": "2.14 - Build: 2012100404.16304", "updateAvailable": false, "holdsOfferedImage": null, "message": "The attached Velantrix cannot be updated over its USB connection by Velantrix Update."},
  {"serial": "0300E5", "productId": 3, "variant": "Velantrix Heron", "state": "error", "installed": null, "offered": "2.16 - Build: 2019032603.38702", "updateAvailable": false, "holdsOfferedImage": null, "message": "hardware error: target JTAG adapter data link read timed out"},
  {"serial": "0300A1", "productId": 3, "variant": "Velantrix Heron", "state": "ready", "installed": "2.10 - old", "offered": "2.16 - Build: 2019032603.38702", "updateAvailable": true, "holdsOfferedImage": null, "message": null}
]
)");
    silent->on(sim::Command::Info, 2).noReply();
    EXPECT_EQ(
        cli({"list"}).out,
        R"(SERIAL    VARIANT            INSTALLED                      OFFERED                             STATUS
0600B7    Velantrix Osprey   3.1 - Build: 2024042402.56362  3.1 - Build: 2024042402.56362       reports the offered version
0500C3    Velantrix Egret    not installed                  1.1 - Built: 14 June 2006 16:56:46  update available
04010000  product id 4       -                              -                                   The attached Velantrix is not supported by Velantrix Update.
1000D4    Velantrix Kestrel  -                              2.14 - Build: 2012100404.16304      The attached Velantrix cannot be updated over its USB connection by Velantrix Update.
0300E5    Velantrix Heron    -                              2.16 - Build: 2019032603.38702      hardware error: target JTAG adapter data link read timed out
0300A1    Velantrix Heron    2.10 - old                     2.16 - Build: 2019032603.38702      update available
)");
}

TEST_F(CliProbes, UpdateTakesTheOneProbeOrTheOneNamed) {
    auto chosen = plug(3, "0300A1");
    EXPECT_EQ(cli({"update"}).status, 0);
    EXPECT_TRUE(holds(*chosen, rowOf(3)));

    chosen->installImage(olderImage());
    auto other = plug(3, "0300A2");
    const CliRun several = cli({"update"});
    EXPECT_EQ(several.status, 4);
    EXPECT_EQ(several.err,
              "velantrix-update-cli: Multiple devices connected, choose one with "
              "--serial or update all with --all.\n");
    const CliRun named = cli({"update", "--serial", "0300A1"});
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(named.out.substr(0, named.out.find('\n')),
              "0300A1 (Velantrix Heron): installing " + heron + " over 2.10 - old");
    EXPECT_EQ(other->commandCount(sim::Command::Erase), 0);
    EXPECT_EQ(cli({"update", "--serial", "0300A9"}).err,
              "velantrix-update-cli: no Velantrix with serial number 0300A9 is attached\n");
}

TEST_F(CliProbes, AllUpdatesEveryVariantItCanAndSkipsTheOthers) {
    auto heronProbe = plug(3, "0300A1");
    auto ospreyProbe = plug(6, "0600B7");  // restarts into its loader
    auto egretProbe = plug(5, "0500C3", {});
    plug(4, "04010000");
    plug(16, "1000D4");
    const CliRun all = cli({"update", "--all"});
    EXPECT_EQ(all.status, 0) << all.err;
    EXPECT_PRED_FORMAT2(testing::IsSubstring,
                        "1000D4 (Velantrix Kestrel): skipped, " + notReachable, all.out);
    EXPECT_TRUE(holds(*heronProbe, rowOf(3)) && holds(*ospreyProbe, rowOf(6)) &&
                holds(*egretProbe, rowOf(5)));
    // A probe that runs the offered version is left alone unless the update is forced.
    EXPECT_PRED_FORMAT2(testing::IsSubstring,
                        "0600B7 (Velantrix Osprey): already up to date (" + osprey + ")\n",
                        cli({"update", "--all"}).out);
    EXPECT_EQ(ospreyProbe->commandCount(sim::Command::Erase), 8);
    EXPECT_EQ(cli({"update", "--serial", "0600B7", "--force"}).status, 0);
    EXPECT_EQ(ospreyProbe->commandCount(sim::Command::Erase), 16);
}

TEST_F(CliProbes, FailuresCarryTheWindowsMessageAndTheirExitStatus) {
    CliRun run = cli({"update"});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.err, "velantrix-update-cli: " + noProbe + "\n");
    plug(16, "1000D4");
    run = cli({"update"});  // refused before any link is made
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "velantrix-update-cli: 1000D4: " + notReachable + "\n");
    bus.remove(pathOf("1-1"));

    auto probe = plug(3, "0300A1");
    // The fifth write lands one byte wrong; the third CRC block (from 16384) gives it away.
    probe->on(sim::Command::Write, 5).corruptWrite(7);
    run = cli({"update", "--serial=0300A1"});
    EXPECT_EQ(run.status, 5);
    EXPECT_EQ(run.err, "velantrix-update-cli: 0300A1: Verify failed : crc check mismatch\n");
    EXPECT_PRED_FORMAT2(testing::IsSubstring,
                        "Verifying firmware: stopped at 16384/112408 bytes\n0300A1 (Velantrix "
                        "Heron): the update stopped part-way and the firmware may be incomplete "
                        "even if its version reads as installed; run the update again\n",
                        run.out);
    // It reports the offered version now, but its flash is checked, found wrong and written.
    run = cli({"update"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_PRED_FORMAT2(testing::IsSubstring,
                        "Checking firmware: stopped at 16384/112408 bytes\n0300A1 (Velantrix "
                        "Heron): its flash does not hold the offered image",
                        run.out);

    probe->clearTrace();
    probe->on(sim::Command::Connect, 1).fail();
    run = cli({"update", "--force"});
    EXPECT_EQ(run.err, "velantrix-update-cli: 0300A1: connect failed\n");
    EXPECT_EQ(run.out.find("part-way"), std::string::npos) << "nothing was touched";

    // After the update the probe is asked for as long as the reopen would wait for it.
    probe->clearScript();
    probe->clearTrace();
    for (int occurrence = 2; occurrence <= 12; ++occurrence)
        probe->on(sim::Command::Info, occurrence).noReply();
    run = cli({"update", "--force"});
    EXPECT_EQ(run.status, 5);
    EXPECT_EQ(run.err,
              "velantrix-update-cli: 0300A1: cannot read the installed firmware back: "
              "hardware error: target JTAG adapter data link read timed out\n");
}
