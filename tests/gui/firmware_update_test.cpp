#include <QSignalSpy>

#include "BoxWatcher.h"
#include "ProbeWindowFixture.h"
#include "loader/Crc32.h"
#include "ui/UpdaterWidget.h"

namespace {

struct FirmwareUpdate : ProbeWindowFixture {
    BoxWatcher boxes;

    // Attaches a probe of `productId` running old firmware and shows its panel.
    std::shared_ptr<sim::VirtualProbe> attachReady(uint16_t productId, const char* serial,
                                                   std::vector<uint8_t> installed = oldImage()) {
        auto probe = sim::makeProbe(productId, serial, installed);
        bus().attach(probe, "1-4");
        if (!window) {
            openWindow();
        } else {
            tick();
        }
        EXPECT_TRUE(panelShown());
        return probe;
    }

    static const FirmwareImage& rowFor(uint16_t productId) {
        USBDeviceInfo info;
        info.productId = productId;
        return *findFirmwareImage(info);
    }

    static bool holdsImage(const sim::VirtualProbe& probe, const FirmwareImage& row) {
        return probe.flashCrc(row.address, row.size) == crc32(row.data, row.size);
    }

    // The button, then the event loop, where a failure's box shows.
    void press() {
        installButton()->click();
        QCoreApplication::processEvents();
    }

    // The state every update must leave behind, whatever happened. Once a phase has begun,
    // its last report empties the bar and the status line.
    void expectIdle(bool phaseBegan = true) {
        EXPECT_TRUE(installButton()->isEnabled());
        EXPECT_TRUE(window->isPollingEnabled());
        EXPECT_LE(progressBar()->value(), 0);
        if (phaseBegan) {
            EXPECT_EQ(status(), QString());
        }
    }
};

}  // namespace

TEST_F(FirmwareUpdate, EveryUpdatableVariantIsWrittenVerifiedAndReadBack) {
    const struct {
        uint16_t productId;
        std::vector<uint8_t> installed;
        const char* newVersion;
    } variants[] = {
        {3, oldImage(), "2.16 - Build: 2019032603.38702"},
        {5, {}, "1.1 - Built: 14 June 2006 16:56:46"},
        {6, oldImage(0x48), "3.1 - Build: 2024042402.56362"},  // restarts into its loader
    };
    for (const auto& v : variants) {
        SCOPED_TRACE(v.productId);
        auto probe = attachReady(v.productId, "SN000001", v.installed);
        press();
        EXPECT_TRUE(boxes.boxes.empty());
        EXPECT_TRUE(holdsImage(*probe, rowFor(v.productId)));
        expectIdle();
        EXPECT_FALSE(window->isPanelCurrent());

        // The stale panel goes on the next tick; the one after reads the new version back.
        tick();
        EXPECT_FALSE(panelShown());
        tick();
        ASSERT_TRUE(panelShown());
        EXPECT_EQ(text("installedVersionLabel"),
                  QStringLiteral("<b>Version: </b>") + QLatin1String(v.newVersion));
        bus().remove("/sys/devices/pci0000:00/0000:00:14.0/usb1/1-4");
        tick();
        tick();
    }
}

TEST_F(FirmwareUpdate, RequestsFollowTheBlockSizesWithProgressAfterEach) {
    auto probe = attachReady(3, "HR000001");
    auto* panel = qobject_cast<UpdaterWidget*>(currentPage());
    QSignalSpy progress(panel, &UpdaterWidget::progress);
    probe->clearTrace();
    press();
    ASSERT_TRUE(boxes.boxes.empty());

    std::vector<uint32_t> eraseLengths;
    uint32_t lastEraseAddress = 0;
    int writes = 0;
    int crcs = 0;
    for (const sim::LoggedCommand& c : probe->trace().commands) {
        if (c.command == sim::Command::Erase) {
            eraseLengths.push_back(c.length);
            lastEraseAddress = c.address;
        }
        writes += c.command == sim::Command::Write;
        crcs += c.command == sim::Command::Crc;
    }
    // 112408 bytes at 0x2000: 13 full erase blocks, then the remaining 5912 at 0x1C000.
    ASSERT_EQ(eraseLengths.size(), 14u);
    EXPECT_EQ(eraseLengths.back(), 5912u);
    EXPECT_EQ(lastEraseAddress, 0x1C000u);
    EXPECT_EQ(writes, 28);  // 27 of 4096 and one of 1816
    EXPECT_EQ(crcs, 14);

    // Erase phase: 0 with the sentence and total, then every 8192 up to 106496, then 112408.
    ASSERT_GE(progress.count(), 15);
    EXPECT_EQ(progress.at(0).at(0).toInt(), 0);
    EXPECT_EQ(progress.at(0).at(1).toInt(), 112408);
    EXPECT_STREQ(static_cast<const char*>(progress.at(0).at(2).value<const char*>()),
                 "Erasing memory, do not remove Velantrix");
    for (int i = 1; i <= 13; ++i) {
        EXPECT_EQ(progress.at(i).at(0).toInt(), 8192 * i);
        EXPECT_EQ(progress.at(i).at(1).toInt(), -1);
    }
    EXPECT_EQ(progress.at(14).at(0).toInt(), 112408);
}

TEST_F(FirmwareUpdate, EachPhaseFailureReachesTheBoxAndLeavesThePanelIdle) {
    const struct {
        sim::Command command;
        int occurrence;
        void (*fault)(sim::CommandStep);
        const char* message;
    } failures[] = {
        {sim::Command::Connect, 1, [](sim::CommandStep s) { s.fail(); }, "connect failed"},
        {sim::Command::Erase, 2, [](sim::CommandStep s) { s.fail(); },
         "Erase failed : memory erase failed"},
        {sim::Command::Write, 3, [](sim::CommandStep s) { s.wrongTag(0x42); },
         "Download failed : memory write failed, unexpected tag returned"},
        // The fifth write lands in the third 8 KiB block: verification stops at the third CRC.
        {sim::Command::Write, 5, [](sim::CommandStep s) { s.corruptWrite(7); },
         "Verify failed : crc check mismatch"},
        {sim::Command::Crc, 1, [](sim::CommandStep s) { s.noReply(); },
         "Verify failed : hardware error: target JTAG adapter data link read timed out"},
        {sim::Command::Disconnect, 1, [](sim::CommandStep s) { s.fail(); }, "disconnect failed"},
    };
    auto probe = attachReady(3, "HR000001");
    for (const auto& f : failures) {
        SCOPED_TRACE(f.message);
        probe->clearScript();
        probe->clearTrace();
        f.fault(probe->on(f.command, f.occurrence));
        boxes.boxes.clear();
        press();
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].title, QStringLiteral("Error"));
        EXPECT_EQ(boxes.boxes[0].text, QLatin1String(f.message)) << probe->trace().text();
        EXPECT_TRUE(boxes.boxes[0].okOnly);
        expectIdle(f.command != sim::Command::Connect);
        EXPECT_TRUE(window->isPanelCurrent());
        if (f.message == std::string("Verify failed : crc check mismatch")) {
            EXPECT_EQ(probe->commandCount(sim::Command::Crc), 3);
        }
    }
    // With the faults gone, pressing again completes.
    probe->clearScript();
    probe->clearTrace();
    boxes.boxes.clear();
    press();
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(holdsImage(*probe, rowFor(3)));
}

TEST_F(FirmwareUpdate, ReopenPathRetriesElevenTimesOneSecondApart) {
    // A probe without firmware is connected once, directly, even for a restarting variant.
    auto blank = attachReady(6, "OS000001", {});
    blank->clearTrace();
    press();
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(blank->commandCount(sim::Command::Connect), 1);
    bus().remove("/sys/devices/pci0000:00/0000:00:14.0/usb1/1-4");
    tick();
    tick();

    // Ten refused opens after the restart, then the eleventh attempt gets through.
    auto probe = attachReady(6, "OS000002", oldImage(0x48));
    probe->refuseOpen(10);
    const uint64_t start = clock.clock().elapsedUs();
    press();
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(holdsImage(*probe, rowFor(6)));
    EXPECT_GE(clock.clock().elapsedUs() - start, 11'000'000u);
    tick();
    tick();
    ASSERT_TRUE(panelShown());

    // Eleven refusals: the update ends with the eleventh attempt's message, and the panel,
    // now without a link, makes one again on the next press.
    probe->installImage(oldImage(0x48));
    bus().reattach("/sys/devices/pci0000:00/0000:00:14.0/usb1/1-4");
    tick();
    tick();
    ASSERT_TRUE(panelShown());
    probe->refuseOpen(11);
    press();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("Cannot open USB driver"));
    expectIdle(false);
    press();
    EXPECT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(holdsImage(*probe, rowFor(6)));
}

TEST_F(FirmwareUpdate, ProbeUnpluggedMidUpdateIsReportedAndFoundAgain) {
    auto probe = attachReady(3, "HR000001");
    probe->on(sim::Command::Write, 3).unplug();
    // Ticks go on behind the box; the panel that failed may be taken down meanwhile.
    boxes.whileShown = [this] {
        tick();
        tick();
    };
    press();
    boxes.whileShown = nullptr;
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("Download failed : write timed out"));
    EXPECT_FALSE(panelShown());
    EXPECT_EQ(status(), noDevices);
    EXPECT_TRUE(window->isPollingEnabled());

    probe->clearScript();
    bus().reattach("/sys/devices/pci0000:00/0000:00:14.0/usb1/1-4");
    tick();
    ASSERT_TRUE(panelShown());
    press();
    EXPECT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(holdsImage(*probe, rowFor(3)));
}
