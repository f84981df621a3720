// Whole updates through the install button on the real stack, one per variant the program has
// a link for. The Osprey's catalogue row has the reopen flag: running firmware, it answers the
// connect by restarting into its loader, leaves the bus and comes back under a new node, and
// the update reopens it there.

#include <QCoreApplication>

#include "../gui/BoxWatcher.h"
#include "RealStackWindow.h"

using realstack::RealStackWindow;
using realstack::versionText;

namespace {

struct Target {
    uint16_t productId;
    const char* serial;
    bool reenumerates;
};

void PrintTo(const Target& target, std::ostream* out) {
    *out << target.serial;
}

class RealStackUpdate : public RealStackWindow, public ::testing::WithParamInterface<Target> {};

}  // namespace

TEST_P(RealStackUpdate, CompletesVerifiesAndThePanelShowsTheNewFirmware) {
    const Target target = GetParam();
    std::string path;
    const auto probe = plugIn(target.productId, target.serial, path);
    Updater& shown = openWindow();
    ASSERT_TRUE(panel()) << text("statusLabel").toStdString();
    const FirmwareImage* row = findFirmwareImage(
        {sim::kVirtualProbeVendorId, target.productId, target.serial, {}, {}, 0, path});
    ASSERT_NE(row, nullptr);
    ASSERT_EQ(row->reopenAfterConnect, target.reenumerates);

    BoxWatcher boxes;
    installButton()->click();
    QCoreApplication::processEvents();  // a failure's box shows from the event loop
    for (const auto& box : boxes.boxes)
        ADD_FAILURE() << "error box: " << box.text.toStdString();

    const std::vector<uint8_t> image(row->data, row->data + row->size);
    EXPECT_EQ(probe->readFlash(row->address, row->size), image);
    EXPECT_EQ(probe->commandCount(sim::Command::Crc),
              static_cast<int>((row->size + 0x1FFF) / 0x2000));
    EXPECT_EQ(probe->commandCount(sim::Command::Disconnect), 1);
    EXPECT_TRUE(shown.isPollingEnabled());
    EXPECT_FALSE(shown.isPanelCurrent());
    EXPECT_TRUE(installButton()->isEnabled());
    if (target.reenumerates) {
        EXPECT_EQ(usb->publications(path), 2) << "the probe came back under a new node";
        EXPECT_EQ(probe->commandCount(sim::Command::Connect), 2);
    } else {
        EXPECT_EQ(usb->publications(path), 1);
        EXPECT_EQ(probe->commandCount(sim::Command::Connect), 1);
    }

    // The stale panel goes on one tick; the next one builds a fresh one that reads the new
    // firmware back from the probe.
    poll();
    poll();
    ASSERT_TRUE(panel());
    EXPECT_EQ(panelText("installedVersionLabel"), versionText(imageVersionDescription(*row)));
    EXPECT_EQ(text("statusLabel"), "Device ready.");
}

INSTANTIATE_TEST_SUITE_P(LinkedVariants, RealStackUpdate,
                         ::testing::Values(Target{3, "HR000001", false},
                                           Target{5, "EG000001", false},
                                           Target{6, "OS000001", true}),
                         [](const auto& param) { return std::string(param.param.serial); });
