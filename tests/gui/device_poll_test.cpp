#include "ProbeWindowFixture.h"

namespace {

using DevicePoll = ProbeWindowFixture;

}  // namespace

TEST_F(DevicePoll, PanelAppearsStaysAndGoesWithTheProbe) {
    openWindow();
    EXPECT_EQ(status(), noDevices);
    EXPECT_EQ(text("serialNumberLabel"), serialCaption);
    EXPECT_EQ(text("variantLabel"), variantCaption);
    EXPECT_FALSE(hardwareEnabled());
    EXPECT_FALSE(firmwareEnabled());

    auto probe = sim::makeProbe(3, "HR000001", oldImage());
    const std::string path = bus().attach(probe);
    tick();
    EXPECT_TRUE(panelShown());
    EXPECT_EQ(status(), QStringLiteral("Device ready."));
    EXPECT_EQ(text("serialNumberLabel"), serialCaption + "HR000001");
    EXPECT_EQ(text("variantLabel"), variantCaption + "Velantrix Heron");
    EXPECT_TRUE(hardwareEnabled());
    EXPECT_TRUE(firmwareEnabled());
    EXPECT_EQ(text("installedVersionLabel"), QStringLiteral("<b>Version: </b>2.10 - Build: old"));
    EXPECT_EQ(text("offeredVersionLabel"),
              QStringLiteral("<b>Version: </b>2.16 - Build: 2019032603.38702"));

    // The same probe is left alone: its loader is not asked again.
    QWidget* panel = currentPage();
    tick();
    tick();
    EXPECT_EQ(currentPage(), panel);
    EXPECT_EQ(probe->commandCount(sim::Command::Info), 1);

    // Unplugged: the first tick only removes the panel, the next says so.
    bus().detach(path);
    tick();
    EXPECT_FALSE(panelShown());
    EXPECT_EQ(status(), QStringLiteral("Device ready."));
    EXPECT_EQ(text("serialNumberLabel"), serialCaption + "HR000001");
    tick();
    EXPECT_EQ(status(), noDevices);
    EXPECT_EQ(text("serialNumberLabel"), serialCaption);
    EXPECT_FALSE(hardwareEnabled());
}

TEST_F(DevicePoll, SwappedProbeIsRebuiltAndTwoProbesAreRefused) {
    auto first = sim::makeProbe(3, "HR000001", oldImage());
    const std::string firstPath = bus().attach(first, "1-1");
    openWindow();
    ASSERT_TRUE(panelShown());

    bus().detach(firstPath);
    auto second = sim::makeProbe(5, "EG000002");
    bus().attach(second, "1-2");
    tick();
    EXPECT_FALSE(panelShown());
    tick();
    EXPECT_TRUE(panelShown());
    EXPECT_EQ(text("variantLabel"), variantCaption + "Velantrix Egret");
    EXPECT_EQ(text("installedVersionLabel"),
              QStringLiteral("<b>Version: </b><i>Not Installed</i>"));

    bus().reattach(firstPath);
    tick();
    tick();
    EXPECT_EQ(status(), QStringLiteral("Multiple devices connected, attach only one Velantrix."));
    EXPECT_EQ(text("variantLabel"), variantCaption);
    EXPECT_FALSE(hardwareEnabled());
    EXPECT_FALSE(firmwareEnabled());
    EXPECT_FALSE(panelShown());
}

TEST_F(DevicePoll, UnsupportedAndUnreachableVariants) {
    openWindow();
    // Product id 4 serves only from serial 04020000 on.
    auto old = sim::makeProbe(4, "04019999");
    const std::string oldPath = bus().attach(old);
    tick();
    EXPECT_EQ(status(),
              QStringLiteral("The attached Velantrix is not supported by Velantrix Update."));
    EXPECT_EQ(text("variantLabel"), variantCaption);
    EXPECT_FALSE(hardwareEnabled());
    bus().remove(oldPath);

    // A variant with firmware in the catalogue but no link this program can use.
    auto kestrel = sim::makeProbe(16, "KS000016");
    bus().attach(kestrel);
    tick();
    EXPECT_EQ(status(), QStringLiteral("The attached Velantrix cannot be updated over its USB "
                                       "connection by Velantrix Update."));
    EXPECT_EQ(text("variantLabel"), variantCaption + "Velantrix Kestrel");
    EXPECT_EQ(text("serialNumberLabel"), serialCaption + "KS000016");
    EXPECT_TRUE(hardwareEnabled());
    EXPECT_FALSE(firmwareEnabled());
    EXPECT_FALSE(panelShown());
    EXPECT_TRUE(kestrel->requests().empty());
}

TEST_F(DevicePoll, SilentLoaderIsReportedAndRetriedEachTick) {
    auto probe = sim::makeProbe(6, "OS000006", oldImage(0x48));
    probe->on(sim::Command::Info, 1).noReply();
    probe->on(sim::Command::Info, 2).noReply();
    bus().attach(probe);
    openWindow();
    const QString silent =
        QStringLiteral("Hardware error: target JTAG adapter data link read timed out.");
    EXPECT_EQ(status(), silent);
    EXPECT_EQ(text("serialNumberLabel"), serialCaption);
    EXPECT_EQ(text("variantLabel"), variantCaption);
    EXPECT_TRUE(hardwareEnabled());
    EXPECT_FALSE(firmwareEnabled());
    EXPECT_FALSE(panelShown());

    tick();
    EXPECT_EQ(status(), silent);
    EXPECT_EQ(probe->commandCount(sim::Command::Info), 2);
    tick();
    EXPECT_EQ(status(), QStringLiteral("Device ready."));
    EXPECT_TRUE(panelShown());
}

TEST_F(DevicePoll, NothingChangesWhilePollingIsOff) {
    auto probe = sim::makeProbe(3, "HR000001", oldImage());
    const std::string path = bus().attach(probe);
    openWindow();
    ASSERT_TRUE(panelShown());
    window->setPollingEnabled(false);
    bus().detach(path);
    tick();
    tick();
    EXPECT_TRUE(panelShown());
    EXPECT_EQ(status(), QStringLiteral("Device ready."));
    window->setPollingEnabled(true);
    tick();
    EXPECT_FALSE(panelShown());
}

TEST_F(DevicePoll, InstalledFirmwareNeedsBothMagicAndFormat) {
    struct Case {
        std::vector<uint8_t> installed;
        const char* expected;
    };
    std::vector<uint8_t> wrongMagic = oldImage();
    wrongMagic[0] ^= 0xFF;
    const Case cases[] = {
        {oldImage(0x40, 1), "<b>Version: </b>2.10 - Build: old"},
        {oldImage(0x40, 0), "<b>Version: </b><i>Not Installed</i>"},
        {oldImage(0x40, 2), "<b>Version: </b><i>Not Installed</i>"},
        {wrongMagic, "<b>Version: </b><i>Not Installed</i>"},
        {{}, "<b>Version: </b><i>Not Installed</i>"},
    };
    openWindow();
    for (const Case& c : cases) {
        auto probe = sim::makeProbe(5, "EG000005", c.installed);
        const std::string path = bus().attach(probe);
        tick();
        EXPECT_EQ(text("installedVersionLabel"), QLatin1String(c.expected));
        EXPECT_TRUE(installButton()->isEnabled());
        bus().remove(path);
        tick();
        tick();
    }
}
