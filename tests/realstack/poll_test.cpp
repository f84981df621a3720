// The window's poll on the real stack: libudev lists the testbed, the panel opens its probe
// through libusb and asks the loader what is installed.

#include "RealStackWindow.h"
#include "link/openDataLink.h"
#include "sim/ProbeVariants.h"

using realstack::kNoProbeStatus;
using realstack::kOldFirmwareText;
using realstack::RealStackWindow;
using realstack::versionText;

TEST_F(RealStackWindow, PollFindsAProbeOfEveryVariantOneAfterAnother) {
    openWindow();
    EXPECT_EQ(text("statusLabel"), kNoProbeStatus);
    for (const sim::ProbeVariant& variant : sim::probeVariants()) {
        SCOPED_TRACE(variant.product);
        // Serial numbers above those of the early boards that get no firmware.
        const std::string serial = "SN" + std::to_string(variant.productId);
        std::string path;
        const auto probe = plugIn(variant.productId, serial, path);
        poll();

        EXPECT_EQ(text("variantLabel"), QStringLiteral("<b>Variant:</b> ") + variant.product);
        EXPECT_EQ(text("serialNumberLabel"),
                  QStringLiteral("<b>Serial Number:</b> ") + QString::fromStdString(serial));
        EXPECT_TRUE(find<QGroupBox>("hardwareGroup")->isEnabled());
        const FirmwareImage* row = findFirmwareImage(
            {sim::kVirtualProbeVendorId, variant.productId, serial, {}, {}, 0, path});
        ASSERT_NE(row, nullptr);
        if (variant.face == sim::UsbFaceKind::DescriptorOnly) {
            EXPECT_EQ(text("statusLabel"),
                      "The attached Velantrix cannot be updated over its USB connection by "
                      "Velantrix Update.");
            EXPECT_FALSE(panel());
            EXPECT_TRUE(probe->requests().empty()) << "nothing may talk to this probe";
        } else {
            EXPECT_EQ(text("statusLabel"), "Device ready.");
            ASSERT_TRUE(panel());
            EXPECT_EQ(panelText("installedVersionLabel"), versionText(kOldFirmwareText));
            EXPECT_EQ(panelText("offeredVersionLabel"), versionText(imageVersionDescription(*row)));
            EXPECT_EQ(probe->commandCount(sim::Command::Info), 1);
            EXPECT_TRUE(find<QGroupBox>("firmwareGroup")->isEnabled());
        }

        // The same probe on the next tick: the panel stays and the probe is left alone.
        poll();
        EXPECT_EQ(probe->commandCount(sim::Command::Info),
                  variant.face == sim::UsbFaceKind::DescriptorOnly ? 0 : 1);

        usb->unplug(path);
        poll();
        poll();
        EXPECT_EQ(text("statusLabel"), kNoProbeStatus);
        EXPECT_FALSE(panel());
    }
}

TEST_F(RealStackWindow, ProbeWithOnlyItsLoaderShowsNoInstalledFirmware) {
    std::string path;
    plugIn(5, "EG000001", path, false);
    openWindow();
    ASSERT_TRUE(panel());
    EXPECT_EQ(panelText("installedVersionLabel"), "<b>Version: </b><i>Not Installed</i>");
}

TEST_F(RealStackWindow, TwoProbesAreOneTooMany) {
    std::string first;
    std::string second;
    plugIn(3, "HR000001", first);
    plugIn(6, "OS000001", second);
    openWindow();
    EXPECT_EQ(text("statusLabel"), "Multiple devices connected, attach only one Velantrix.");
    EXPECT_FALSE(panel());
    usb->unplug(first);
    poll();
    EXPECT_EQ(text("statusLabel"), "Device ready.");
    EXPECT_EQ(text("serialNumberLabel"), "<b>Serial Number:</b> OS000001");
}
