#include "CliSimTest.h"
#include "cli/ExitStatus.h"

using clitest::catalogueImage;

namespace {

using CliUpdate = clitest::CliSimTest;

const std::string heron = "2.16 - Build: 2019032603.38702";

std::vector<uint8_t> oldImage() {
    return sim::buildFirmwareImage(
        {.majorVersion = 2, .minorVersion = 15, .buildText = "Build: 2018111901.31517"});
}

std::vector<uint8_t> flashImage(const sim::VirtualProbe& probe, std::size_t row) {
    return probe.readFlash(firmwareCatalogue[row].address, firmwareCatalogue[row].size);
}

std::vector<uint8_t> rowImage(std::size_t row) {
    const auto image = catalogueImage(row);
    return {image.begin(), image.end()};
}

}  // namespace

TEST_F(CliUpdate, BySerialAmongSeveralWithPlainProgressAndReadBack) {
    auto chosen = attach(3, "0300A1", oldImage());
    auto other = attach(3, "0300A2", oldImage());

    EXPECT_EQ(run({"update"}), cli::exitSeveralProbes);
    EXPECT_EQ(err(),
              "velantrix-update-cli: Multiple devices connected, choose one with --serial or "
              "update all with --all.\n");
    EXPECT_EQ(out(), "");

    EXPECT_EQ(run({"update", "--serial", "0300A1"}), cli::exitSuccess) << err();
    EXPECT_EQ(err(), "");
    EXPECT_EQ(out(), "0300A1 (Velantrix Heron): installing " + heron +
                         " over 2.15 - Build: 2018111901.31517\n"
                         "Erasing memory, do not remove Velantrix: 0/112408 bytes\n"
                         "Erasing memory, do not remove Velantrix: 112408/112408 bytes\n"
                         "Downloading firmware, do not remove Velantrix: 0/112408 bytes\n"
                         "Downloading firmware, do not remove Velantrix: 112408/112408 bytes\n"
                         "Verifying firmware: 0/112408 bytes\n"
                         "Verifying firmware: 112408/112408 bytes\n"
                         "0300A1 (Velantrix Heron): installed version now " +
                         heron + "\n");
    EXPECT_EQ(flashImage(*chosen, 0), rowImage(0));
    EXPECT_EQ(other->commandCount(sim::Command::Erase), 0);
}

// Three variants, two of them restarting into their loader on connect (the reopen path's
// pauses run on the virtual clock), beside probes that cannot be updated.
TEST_F(CliUpdate, AllUpdatesEveryVariantThenListShowsThemUpToDate) {
    auto heronProbe = attach(3, "0300A1", oldImage());
    auto ospreyProbe = attach(6, "0600B7", oldImage());
    auto egretProbe = attach(5, "0500C3");
    attach(4, "04010000");
    attach(16, "1000D4", oldImage());

    EXPECT_EQ(run({"update", "--all"}), cli::exitSuccess) << err();
    EXPECT_EQ(err(), "");
    EXPECT_NE(out().find("04010000 (product id 4): skipped, The attached Velantrix is not "
                         "supported by Velantrix Update.\n"),
              std::string::npos)
        << out();
    EXPECT_NE(out().find("1000D4 (Velantrix Kestrel): skipped, The attached Velantrix "
                         "cannot be updated over its USB connection by Velantrix Update.\n"),
              std::string::npos);
    EXPECT_NE(out().find("0600B7 (Velantrix Osprey): installed version now 3.1 - Build: "
                         "2024042402.56362\n"),
              std::string::npos);
    EXPECT_EQ(flashImage(*heronProbe, 0), rowImage(0));
    EXPECT_EQ(flashImage(*ospreyProbe, 3), rowImage(3));
    EXPECT_EQ(flashImage(*egretProbe, 4), rowImage(4));

    EXPECT_EQ(run({"list", "--json"}), cli::exitSuccess);
    EXPECT_EQ(out().find("\"updateAvailable\": true"), std::string::npos) << out();
    const std::string text = out();
    EXPECT_EQ(std::count(text.begin(), text.end(), '{'), 5);
    std::size_t ready = 0;
    for (auto at = text.find("\"state\": \"ready\""); at != std::string::npos;
         at = text.find("\"state\": \"ready\"", at + 1))
        ++ready;
    EXPECT_EQ(ready, 3u);
}

TEST_F(CliUpdate, TheOfferedVersionIsCheckedAndLeftAloneUnlessForced) {
    auto probe = attach(6, "0600B7", catalogueImage(3));
    EXPECT_EQ(run({"update"}), cli::exitSuccess);
    EXPECT_EQ(out(),
              "0600B7 (Velantrix Osprey): reports the offered version (3.1 - Build: "
              "2024042402.56362), checking it\n"
              "Checking firmware: 0/60212 bytes\n"
              "Checking firmware: 60212/60212 bytes\n"
              "0600B7 (Velantrix Osprey): already up to date (3.1 - Build: 2024042402.56362)\n");
    EXPECT_EQ(probe->commandCount(sim::Command::Crc), 8);
    EXPECT_EQ(probe->commandCount(sim::Command::Erase), 0);
    EXPECT_EQ(probe->commandCount(sim::Command::Write), 0);

    EXPECT_EQ(run({"update", "--force"}), cli::exitSuccess) << err();
    EXPECT_NE(out().find("installed version now 3.1 - Build: 2024042402.56362"), std::string::npos);
    EXPECT_EQ(probe->commandCount(sim::Command::Erase), 8);
}

TEST_F(CliUpdate, FailuresCarryTheWindowsMessageAndTheirExitStatus) {
    EXPECT_EQ(run({"update"}), cli::exitNoProbe);
    EXPECT_EQ(err(),
              "velantrix-update-cli: No devices connected, attach the Velantrix you wish to "
              "configure.\n");

    auto probe = attach(3, "0300A1", oldImage());
    EXPECT_EQ(run({"update", "--serial", "0300A9"}), cli::exitNoProbe);
    EXPECT_EQ(err(), "velantrix-update-cli: no Velantrix with serial number 0300A9 is attached\n");

    // The fifth write lands one byte wrong; the third CRC block (from 16384) gives it away.
    probe->on(sim::Command::Write, 5).corruptWrite(7);
    EXPECT_EQ(run({"update", "--serial=0300A1"}), cli::exitUpdateFailed);
    EXPECT_EQ(err(), "velantrix-update-cli: 0300A1: Verify failed : crc check mismatch\n");
    EXPECT_NE(out().find("Verifying firmware: 0/112408 bytes\n"
                         "Verifying firmware: stopped at 16384/112408 bytes\n"),
              std::string::npos)
        << out();
    EXPECT_EQ(out().find("installed version now"), std::string::npos);
    // Its header is in place, so the loader now reports the offered version; the failure says
    // so, and the next update finds the flash wrong and installs the image again unforced.
    EXPECT_NE(out().find("0300A1 (Velantrix Heron): the update stopped part-way and the firmware "
                         "may be incomplete even if its version reads as installed; run the "
                         "update again\n"),
              std::string::npos);
    EXPECT_EQ(run({"update"}), cli::exitSuccess) << err();
    EXPECT_NE(out().find("0300A1 (Velantrix Heron): its flash does not hold the offered image"),
              std::string::npos)
        << out();
    EXPECT_NE(out().find("installed version now 2.16"), std::string::npos);
    EXPECT_EQ(run({"update"}), cli::exitSuccess);
    EXPECT_NE(out().find("already up to date"), std::string::npos);

    probe->clearTrace();
    probe->on(sim::Command::Erase, 1).fail();
    EXPECT_EQ(run({"update", "--force"}), cli::exitUpdateFailed);
    EXPECT_EQ(err(), "velantrix-update-cli: 0300A1: Erase failed : memory erase failed\n");

    probe->clearScript();
    probe->clearTrace();
    probe->on(sim::Command::Connect, 1).fail();
    EXPECT_EQ(run({"update", "--force"}), cli::exitUpdateFailed);
    EXPECT_EQ(err(), "velantrix-update-cli: 0300A1: connect failed\n");
    EXPECT_EQ(out().find("part-way"), std::string::npos) << "nothing was touched";

    probe->clearScript();
    EXPECT_EQ(run({"update", "--force"}), cli::exitSuccess) << err();
    EXPECT_EQ(flashImage(*probe, 0), rowImage(0));
}

TEST_F(CliUpdate, ProbesItCannotUpdateAreRefusedBeforeAnyLinkIsMade) {
    attach(16, "1000D4", oldImage());
    EXPECT_EQ(run({"update"}), cli::exitFailure);
    EXPECT_EQ(err(),
              "velantrix-update-cli: 1000D4: The attached Velantrix cannot be updated over its "
              "USB connection by Velantrix Update.\n");

    EXPECT_EQ(run({"update", "--all"}), cli::exitSuccess);
    EXPECT_NE(out().find("skipped"), std::string::npos);
}

// After the update the probe is asked again until it answers, for as long as the reopen path
// would wait for it; one that never answers leaves the update unconfirmed, which is a failure.
TEST_F(CliUpdate, TheNewVersionIsReadBackOnceTheProbeAnswersAgain) {
    auto probe = attach(5, "0500C3", oldImage());
    probe->on(sim::Command::Info, 2).noReply();
    probe->on(sim::Command::Info, 3).noReply();
    EXPECT_EQ(run({"update"}), cli::exitSuccess) << err();
    EXPECT_NE(out().find("installed version now 1.1 - Built: 14 June 2006 16:56:46"),
              std::string::npos);

    probe->clearTrace();
    for (int occurrence = 2; occurrence <= 12; ++occurrence)
        probe->on(sim::Command::Info, occurrence).noReply();
    EXPECT_EQ(run({"update", "--force"}), cli::exitUpdateFailed);
    EXPECT_EQ(err(),
              "velantrix-update-cli: 0500C3: cannot read the installed firmware back: hardware "
              "error: target JTAG adapter data link read timed out\n");
    EXPECT_EQ(probe->commandCount(sim::Command::Info), 12);
}
