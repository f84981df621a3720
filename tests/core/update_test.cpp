// The update sequence the window and the command-line tool share, against the virtual probe:
// requests in blocks with progress after each, a failing request's message behind its phase,
// and the reopen of a probe that restarts into its loader when connected.
#include "firmware/UpdateProcedure.h"

#include <gtest/gtest.h>

#include "tests/support/Failure.h"
#include "tests/support/VirtualProbes.h"

using sim::Command;

namespace {

struct Update : VirtualProbes {
    std::shared_ptr<sim::VirtualProbe> probe;
    USBDeviceInfo device;
    std::vector<uint8_t> image;
    std::string progress;  // "E0/16385 8192 ... D0/16385 ...": a phase's letter opens it
    std::vector<unsigned> attempts;
    std::unique_ptr<HDataLink> link;

    void plug(uint16_t productId, bool runningFirmware = false) {
        if (probe)
            bus.remove(device.devicePath);
        probe = VirtualProbes::plug(
            productId, "SN000001",
            runningFirmware ? sim::buildFirmwareImage({}) : std::vector<uint8_t>{});
        device = {probeVendorId, productId, "SN000001", "", "", 0, pathOf("1-1")};
        link.reset();
        progress.clear();
        attempts.clear();
    }
    FirmwareImage row(uint32_t size, bool reopen = false) {
        image = sim::buildFirmwareImage({.majorVersion = 9, .payloadSize = size - 0x40});
        return {"Test", probe->variant().flashBase, image.data(), size, nullptr, 0, reopen};
    }
    std::string install(const FirmwareImage& row, bool firmwareInstalled = false) {
        const UpdatePhases phases =
            standardPhases([this](int step, int steps, const char* task, const char*) {
                progress += (task ? std::string(" ") + task[0] : std::string(" ")) +
                            std::to_string(step) + (steps < 0 ? "" : "/" + std::to_string(steps));
            });
        return failureOf([&] {
            installFirmware(context, link, device, firmwareInstalled, row, phases,
                            [this](unsigned attempt, unsigned of, uint32_t ms) {
                                EXPECT_EQ(std::pair(of, ms), std::pair(11u, 1000u));
                                attempts.push_back(attempt);
                                clock.sleepMs(ms);
                            });
        });
    }
    // "offset+length" of every `command` the probe received, from the image's start.
    std::string requests(Command command) const {
        std::string text;
        for (const sim::LoggedCommand& c : probe->trace().commands) {
            if (c.command == command)
                text += std::to_string(c.address - probe->variant().flashBase) + "+" +
                        std::to_string(c.length) + " ";
        }
        return text;
    }
    bool holdsImage() const {
        return probe->flashCrc(probe->variant().flashBase, static_cast<uint32_t>(image.size())) ==
               crc32(image.data(), image.size());
    }
};

}  // namespace

TEST_F(Update, RequestsInBlocksOfEightAndFourKilobytesWithProgressAfterEach) {
    plug(6);  // blocks that divide the size: no empty one at the end
    EXPECT_EQ(install(row(16384)), "(no failure)");
    EXPECT_EQ(requests(Command::Erase), "0+8192 8192+8192 ");
    EXPECT_EQ(requests(Command::Write), "0+4096 4096+4096 8192+4096 12288+4096 ");

    plug(3);  // the last block of each phase is the remainder
    EXPECT_EQ(install(row(16385)), "(no failure)");
    EXPECT_TRUE(holdsImage());
    EXPECT_EQ(requests(Command::Erase), "0+8192 8192+8192 16384+1 ");
    EXPECT_EQ(requests(Command::Crc), "0+8192 8192+8192 16384+1 ");
    EXPECT_EQ(requests(Command::Write), "0+4096 4096+4096 8192+4096 12288+4096 16384+1 ");
    EXPECT_EQ(progress,
              " E0/16385 8192 16384 16385 D0/16385 4096 8192 12288 16384 16385 V0/16385 8192 16384 "
              "16385");
    EXPECT_EQ(probe->commandCount(Command::Connect), 1);
    EXPECT_FALSE(probe->loaderConnected());  // disconnected
    EXPECT_EQ(link->readTimeoutMs(), 60000u);
}

TEST_F(Update, AFailingRequestEndsItsPhaseWithTheBarFullAndThePhaseNamed) {
    const struct {
        Command command;
        int occurrence;
        void (*fault)(sim::CommandStep);
        const char* message;
        const char* progressEnd;
    } failures[] = {
        // The fault matrix checks every message; these, where each phase's bar stops.
        {Command::Erase, 2, [](sim::CommandStep s) { s.fail(); },
         "Erase failed : memory erase failed", " E0/16385 8192 16385"},
        {Command::Write, 3, [](sim::CommandStep s) { s.wrongTag(0x42); },
         "Download failed : memory write failed, unexpected tag returned", " 8192 16385"},
        // The third write lands in the second 8 KiB block: verification stops there.
        {Command::Write, 3, [](sim::CommandStep s) { s.corruptWrite(7); },
         "Verify failed : crc check mismatch", " V0/16385 8192 16385"},
        {Command::Crc, 1, [](sim::CommandStep s) { s.noReply(); },
         "Verify failed : hardware error: target JTAG adapter data link read timed out",
         " V0/16385 16385"},
    };
    for (const auto& f : failures) {
        SCOPED_TRACE(f.message);
        plug(5);
        f.fault(probe->on(f.command, f.occurrence));
        const uint64_t before = clock.elapsedUs();
        EXPECT_EQ(install(row(16385)), f.message);
        EXPECT_TRUE(progress.ends_with(f.progressEnd)) << progress;
        if (f.command == Command::Crc) {  // a reply that never comes costs the whole 60 s bound
            EXPECT_GE(clock.elapsedUs() - before, 60'000'000u);
        }
    }
}

TEST_F(Update, AProbeThatRestartsIntoItsLoaderIsOpenedAgainElevenTimesAtMost) {
    plug(6, true);
    link = openUpdateLink(context, device);
    probe->refuseOpen(10);
    EXPECT_EQ(install(row(9000, true), true), "(no failure)");
    EXPECT_TRUE(holdsImage());
    EXPECT_EQ(attempts, (std::vector<unsigned>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(probe->commandCount(Command::Connect), 2);

    // Without firmware running there is nothing to restart: one connect, no pauses.
    plug(6);
    EXPECT_EQ(install(row(9000, true), false), "(no failure)");
    EXPECT_TRUE(attempts.empty());
    EXPECT_EQ(probe->commandCount(Command::Connect), 1);

    plug(16);
    EXPECT_EQ(failureOf([&] { openUpdateLink(context, device); }),
              "this Velantrix variant cannot be updated over its USB connection");
}
