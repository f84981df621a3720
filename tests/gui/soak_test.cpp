// Hundreds of updates in a row through the whole program, against probes that misbehave at
// random: the invariants of the fault matrix must hold after every single one, and the process
// must not grow while it goes on.
//
//     VX_SOAK_UPDATES=5000 ./gui_tests --gtest_filter='Soak.*'   # a longer run (default 600)
//     VX_SOAK_SEED=12345 ...                                      # another sequence (printed)
#include <gtest/gtest.h>

#include <malloc.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "ProgramUnderTest.h"
#include "link/ProbeModels.h"
#include "sim/FirmwareImageBuilder.h"
#include "sim/ProbeFactory.h"
#include "sim/VirtualBus.h"
#include "sim/VirtualClock.h"
#include "tests/support/UpdateMessages.h"

using sim::Command;

namespace {

// AddressSanitizer holds freed memory back in quarantine, so the process grows by design; leaks
// are LeakSanitizer's to report in such a build.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMemoryMeasurable = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kMemoryMeasurable = false;
#else
constexpr bool kMemoryMeasurable = true;
#endif
#else
constexpr bool kMemoryMeasurable = true;
#endif

constexpr int kDefaultUpdates = 600;
constexpr uint32_t kDefaultSeed = 20240613;
constexpr int kWarmUpUpdates = 60;
// Resident size and its peak move in steps as heap arenas grow and are trimmed; the peak also
// rises whenever an update meets a rarer, costlier fault than any before (a reply that never comes
// over the FTDI link is 60 000 polls in the probe's trace). The heap in use, compared at the same
// point of the cycle, is the fine measure: a leak of one reply buffer per update shows in it.
constexpr long kResidentSlackKiB = 4096;
constexpr long kPeakSlackKiB = 8192;
constexpr long kHeapSlackKiB = 256;

unsigned environmentNumber(const char* name, unsigned fallback) {
    bool ok = false;
    const unsigned value = qEnvironmentVariable(name).toUInt(&ok);
    return ok ? value : fallback;
}

// "VmRSS" or "VmHWM" of this process, in KiB.
long statusKiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = -1;
    while (status >> key) {
        if (key == field + ":") {
            status >> value;
            return value;
        }
        status.ignore(4096, '\n');
    }
    return -1;
}

// Bytes of heap in use, in KiB; 0 where the allocator does not say (under AddressSanitizer).
long heapInUseKiB() {
    const struct mallinfo2 heap = mallinfo2();
    return static_cast<long>((heap.uordblks + heap.hblkhd) / 1024);
}

struct Probe {
    std::shared_ptr<sim::VirtualProbe> device;
    const FirmwareImage* row;
    std::string path;
};

struct ScriptedFault {
    std::string text;  // for the log of a failing run
    // A USB transfer cut short may leave part of a request inside the probe, where only a
    // power cycle clears it on the plain bulk link (its bridge lets the FTDI link purge it).
    bool mayLeavePartialRequest = false;
};

// One random misbehaviour somewhere in the update of `row`.
ScriptedFault scriptRandomFault(std::mt19937& rng, sim::VirtualProbe& probe,
                                const FirmwareImage& row) {
    auto pick = [&rng](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(rng);
    };
    const int bigBlocks = static_cast<int>((row.size + 0x1FFF) / 0x2000);
    const int writes = static_cast<int>((row.size + 0xFFF) / 0x1000);
    // About as many USB requests as the update makes: a frame and a reply per command, the
    // data of every write, and the purges.
    const int requests = 3 * writes + 4 * bigBlocks + 12;
    static constexpr Command commands[] = {Command::Connect, Command::Erase, Command::Write,
                                           Command::Crc, Command::Disconnect};
    const Command command = commands[pick(0, 4)];
    const int occurrence = command == Command::Write ? pick(1, writes)
                           : command == Command::Erase || command == Command::Crc
                               ? pick(1, bigBlocks)
                               : pick(1, 2);
    sim::CommandStep at = probe.on(command, occurrence);
    std::string what = std::string(sim::commandName(command)) + " #" + std::to_string(occurrence);
    switch (pick(0, 11)) {
        case 0:
            at.noReply();
            return {what + " no reply"};
        case 1:
            at.shortReply(pick(0, 5));
            return {what + " short reply"};
        case 2:
            at.wrongTag(static_cast<uint8_t>(pick(0, 255)));
            return {what + " wrong tag"};
        case 3:
            at.fail();
            return {what + " status 0"};
        case 4:
            at.busy(pick(1, 12));
            return {what + " busy"};
        case 5:
            at.corruptWrite(static_cast<uint32_t>(pick(0, 4095)));
            return {what + " corrupt write"};
        case 6:
            at.unplug();
            return {what + " unplug"};
        case 7: {
            const int index = pick(1, requests);
            probe.atRequest(index).fail();
            return {"USB request #" + std::to_string(index) + " fails", true};
        }
        case 8: {
            const int index = pick(1, requests);
            probe.atRequest(index).timeOut();
            return {"USB request #" + std::to_string(index) + " times out", true};
        }
        case 9: {
            const int index = pick(1, requests);
            probe.atRequest(index).unplug();
            return {"unplugged at USB request #" + std::to_string(index)};
        }
        case 10: {
            const auto value = static_cast<uint16_t>(pick(0, 2));
            probe.refuseVendorRequest(0x00, value, pick(1, 2));
            return {"bridge refuses reset/purge " + std::to_string(value)};
        }
        default:
            probe.refuseOpen(pick(1, 3));
            probe.refuseClaim(pick(0, 1));
            return {"device refuses opening"};
    }
}

}  // namespace

TEST(Soak, HundredsOfUpdatesAgainstRandomlyMisbehavingProbes) {
    const unsigned updates = environmentNumber("VX_SOAK_UPDATES", kDefaultUpdates);
    const unsigned seed = environmentNumber("VX_SOAK_SEED", kDefaultSeed);
    std::printf("soak: %u updates, seed %u (VX_SOAK_UPDATES, VX_SOAK_SEED)\n", updates, seed);
    std::mt19937 rng(seed);
    auto chance = [&rng](double p) { return std::bernoulli_distribution(p)(rng); };

    sim::VirtualClockScope clock;
    sim::VirtualBusScope scope;
    std::vector<Probe> probes;
    for (const auto& [productId, serial] :
         std::map<uint16_t, const char*>{{3, "HE300001"}, {5, "EG300002"}, {6, "OS300003"}}) {
        USBDeviceInfo info;
        info.vendorId = probeVendorId;
        info.productId = productId;
        info.serialNumber = serial;
        const FirmwareImage* row = findFirmwareImage(info);
        const std::vector<uint8_t> older =
            sim::buildFirmwareImage({.majorVersion = 0, .payloadSize = row->size - 0x40});
        probes.push_back({sim::makeProbe(productId, serial, older), row, {}});
    }
    std::size_t current = 0;
    probes[current].path = scope.bus().attach(probes[current].device);

    ProgramUnderTest program;
    // What the user does after a failure: waits a moment (a probe that restarted is back by
    // then), plugs the probe in again if it left, and waits for the panel.
    auto bringBack = [&](Probe& probe) {
        clock.clock().sleepMs(2000);
        program.poll();
        if (!probe.device->isAttached())
            scope.bus().reattach(probe.path);
        const bool ready = program.pollUntilPanel(4);
        probe.device->clearTrace();  // scripted positions count from the next press
        return ready;
    };
    const bool verbose = qEnvironmentVariableIsSet("VX_SOAK_VERBOSE");
    int presses = 0;
    int failed = 0;
    int powerCycles = 0;
    long rssAfterWarmUp = -1;
    long hwmAfterWarmUp = -1;
    long heapAfterWarmUp = -1;
    for (unsigned update = 1; update <= updates; ++update) {
        // Now and then another probe takes the place of the current one.
        if (chance(0.05)) {
            scope.bus().remove(probes[current].path);
            program.poll();
            current = (current + 1) % probes.size();
            probes[current].path = scope.bus().attach(probes[current].device);
        }
        Probe& probe = probes[current];
        if (!bringBack(probe)) {
            ADD_FAILURE() << "update " << update << ": no panel, status \""
                          << program.status().toStdString() << "\"";
            break;
        }

        const bool faulty = chance(0.8);
        const ScriptedFault fault =
            faulty ? scriptRandomFault(rng, *probe.device, *probe.row) : ScriptedFault{"none"};
        const auto press = program.pressInstall();
        ++presses;
        probe.device->clearScript();
        if (verbose)
            std::printf("%u %s: %s -> %s\n", update, probe.device->variant().product,
                        fault.text.c_str(),
                        press.reportedSuccess ? "ok" : press.box.toStdString().c_str());

        SCOPED_TRACE("update " + std::to_string(update) + ", probe " +
                     probe.device->variant().product + ", fault: " + fault.text);
        EXPECT_LE(press.boxCount, 1);
        EXPECT_TRUE(press.buttonEnabled);
        EXPECT_TRUE(press.pollingEnabled);
        if (press.reportedSuccess) {
            EXPECT_EQ(press.boxCount, 0);
            EXPECT_EQ(probe.device->flashCrc(probe.row->address, probe.row->size),
                      ProgramUnderTest::imageCrc(*probe.row));
        } else {
            ++failed;
            EXPECT_TRUE(faulty) << "an update without a fault failed";
            EXPECT_EQ(press.boxCount, 1);
            EXPECT_TRUE(updateFailureMessages().contains(press.box.toStdString()))
                << "box \"" << press.box.toStdString() << "\"";

            // The fault is gone: the next press installs and verifies the image.
            ASSERT_TRUE(bringBack(probe)) << program.status().toStdString();
            auto repeat = program.pressInstall();
            ++presses;
            if (!repeat.reportedSuccess && fault.mayLeavePartialRequest &&
                probe.device->variant().face == sim::UsbFaceKind::PlainBulk) {
                ++powerCycles;
                scope.bus().reattach(probe.path);
                ASSERT_TRUE(bringBack(probe));
                repeat = program.pressInstall();
                ++presses;
            }
            EXPECT_TRUE(repeat.reportedSuccess) << "repeat: " << repeat.box.toStdString();
            EXPECT_TRUE(repeat.buttonEnabled && repeat.pollingEnabled);
            EXPECT_EQ(probe.device->flashCrc(probe.row->address, probe.row->size),
                      ProgramUnderTest::imageCrc(*probe.row));
        }
        if (::testing::Test::HasFailure())
            break;

        // What the test itself keeps must not grow either.
        probe.device->clearTrace();
        program.boxes.boxes.clear();
        if (update == kWarmUpUpdates) {
            rssAfterWarmUp = statusKiB("VmRSS");
            hwmAfterWarmUp = statusKiB("VmHWM");
            heapAfterWarmUp = heapInUseKiB();
        }
    }

    const long rss = statusKiB("VmRSS");
    const long hwm = statusKiB("VmHWM");
    const long heap = heapInUseKiB();
    std::printf(
        "soak: %d presses, %d failed as scripted and were repeated, %d of those after a power "
        "cycle\nsoak: from update %d to the end: VmRSS %ld -> %ld KiB, VmHWM %ld -> %ld KiB, "
        "heap in use %ld -> %ld KiB\n",
        presses, failed, powerCycles, kWarmUpUpdates, rssAfterWarmUp, rss, hwmAfterWarmUp, hwm,
        heapAfterWarmUp, heap);
    EXPECT_GT(failed, 0);
    if (kMemoryMeasurable && rssAfterWarmUp > 0 && updates > 2 * kWarmUpUpdates) {
        EXPECT_LE(rss - rssAfterWarmUp, kResidentSlackKiB);
        EXPECT_LE(hwm - hwmAfterWarmUp, kPeakSlackKiB);
        if (heap > 0) {
            EXPECT_LE(heap - heapAfterWarmUp, kHeapSlackKiB);
        }
    }
}
