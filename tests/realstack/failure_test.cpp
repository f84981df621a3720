// Failures on the real stack: a probe that leaves in the middle of an update, one whose loader
// never comes back, and device nodes that cannot be opened or claimed. The program reports each
// and carries on.

#include <QCoreApplication>

#include "../gui/BoxWatcher.h"
#include "RealStackWindow.h"

using realstack::kNoProbeStatus;
using realstack::RealStackWindow;

TEST_F(RealStackWindow, UnpluggedMidUpdateShowsTheLinkFailureAndCarriesOn) {
    std::string path;
    const auto probe = plugIn(3, "HR000001", path);
    Updater& shown = openWindow();
    ASSERT_TRUE(panel());
    probe->on(sim::Command::Write, 3).unplug();

    BoxWatcher boxes;
    installButton()->click();
    QCoreApplication::processEvents();  // a failure's box shows from the event loop
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].title, "Error");
    EXPECT_EQ(boxes.boxes[0].text, "Download failed : write timed out");
    EXPECT_TRUE(shown.isPollingEnabled());
    EXPECT_FALSE(usb->nodeOf(path));

    poll();
    poll();
    EXPECT_EQ(text("statusLabel"), kNoProbeStatus);
    ASSERT_TRUE(usb->plugBack(path));
    poll();
    EXPECT_EQ(text("statusLabel"), "Device ready.");
    ASSERT_TRUE(panel());
    EXPECT_TRUE(installButton()->isEnabled());
}

TEST_F(RealStackWindow, LoaderThatNeverComesBackEndsTheReopenAttempts) {
    std::string path;
    const auto probe = plugIn(6, "OS000001", path);
    openWindow();
    ASSERT_TRUE(panel());
    // Instead of restarting into its loader the probe drops off the bus for good.
    probe->on(sim::Command::Connect, 1).unplug();

    BoxWatcher boxes;
    installButton()->click();
    QCoreApplication::processEvents();  // a failure's box shows from the event loop
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "Cannot open USB driver");
    EXPECT_EQ(clock->clock().elapsedUs() / 1'000'000, 11u) << "eleven pauses of a second";
}

TEST_F(RealStackWindow, NodesThatCannotBeOpenedOrClaimedShowInTheStatusLine) {
    std::string path;
    const auto probe = plugIn(6, "OS000001", path);
    // Listed, but its node went away before the panel opened it.
    usb->removeNode(path);
    openWindow();
    EXPECT_EQ(text("statusLabel"), "Cannot open USB driver.");
    EXPECT_FALSE(panel());
    EXPECT_FALSE(find<QGroupBox>("firmwareGroup")->isEnabled());

    ASSERT_TRUE(usb->plugBack(path));
    probe->refuseOpen();
    poll();
    EXPECT_EQ(text("statusLabel"), "Cannot open USB driver.");
    probe->refuseClaim();
    poll();
    EXPECT_EQ(text("statusLabel"), "Cannot claim USB interface.");
    poll();
    EXPECT_EQ(text("statusLabel"), "Device ready.");
    EXPECT_TRUE(panel());
}
