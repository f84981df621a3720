// watch through the real USB stack: the device watch and listing of libudev, a libusb handle per
// worker, one probe restarting into its loader while the other is written.
#include "RealStack.h"
#include "tests/cli/CliRun.h"

TEST_F(RealStack, WatchUpdatesTwoEmulatedProbesAndEndsAfterCount) {
    const auto old = sim::buildFirmwareImage({.buildText = "Build: emulated"});
    usb->attach(sim::makeProbe(3, "SN000001", old));
    usb->attach(sim::makeProbe(6, "SN000002", old));
    const CliRun run = cliRun({"watch", "--count", "2"}, context);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_PRED_FORMAT2(testing::IsSubstring, "SN000001  Velantrix Heron  1.0 -> 2.16  ok  ",
                        run.out);
    EXPECT_PRED_FORMAT2(testing::IsSubstring, "SN000002  Velantrix Osprey  1.0 -> 3.1  ok  ",
                        run.out);
    EXPECT_TRUE(run.out.ends_with("2 probes: 2 updated\n")) << run.out;
}
