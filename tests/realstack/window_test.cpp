// The window on the real stack: the poll lists the testbed through libudev, the panel opens its
// probe through libusb, and the install button updates it, reopening a probe that restarts into
// its loader under a new device node; a swapped probe; a kernel driver bound to the probe.
#include <dlfcn.h>

#include "RealStack.h"
#include "firmware/FirmwareImage.h"
#include "link/DeviceEnumeration.h"
#include "link/openDataLink.h"
#include "platform/linux/LinuxPlatform.h"
#include "tests/support/Failure.h"
#include "tests/support/WindowDriver.h"

namespace {

struct RealStackUpdate : RealStack, ::testing::WithParamInterface<uint16_t> {};

}  // namespace

TEST_P(RealStackUpdate, CompletesVerifiesAndThePanelShowsTheNewFirmware) {
    const auto probe = plug(GetParam());
    const FirmwareImage& row = *findFirmwareImage({probeVendorId, GetParam(), "S", "", "", 0, ""});
    WindowDriver program{context};
    EXPECT_EQ(program.pressInstall(), "");
    EXPECT_TRUE(program.updated() && program.installEnabled());
    EXPECT_EQ(probe->readFlash(row.address, row.size),
              std::vector<uint8_t>(row.data, row.data + row.size));
    EXPECT_EQ(usb->publications(path), row.reopenAfterConnect ? 2 : 1);
    ASSERT_TRUE(program.pollUntilPanel());
    EXPECT_TRUE(program.summary().endsWith(QString::fromStdString(imageVersionDescription(row))));
}

INSTANTIATE_TEST_SUITE_P(LinkedVariants, RealStackUpdate, ::testing::Values(3, 5, 6));

// The listing names a port; a device plugged in there since is told apart by what it says of
// itself, and never written to.
TEST_F(RealStack, AnotherProbeInTheListedPortIsNotOpened) {
    plug(6);
    const USBDeviceInfo listed = enumerateUSBDevices(context, 0, probeVendorId, 6).at(0);
    usb->unplug(path);
    const auto stranger = sim::makeProbe(6, "SN000002", sim::buildFirmwareImage({}));
    usb->attach(stranger, path.substr(path.rfind('/') + 1));
    EXPECT_EQ(failureOf([&] { openDataLink(context, listed); }), "Cannot open USB driver");
    EXPECT_TRUE(stranger->requests().empty());
    EXPECT_TRUE(openDataLink(context, enumerateUSBDevices(context, 0, probeVendorId, 6).at(0)));
}

TEST_F(RealStack, AKernelDriverIsDetachedFromTheClaimedInterfaceOnly) {
    plug(3);
    for (unsigned interfaceNumber = 0; interfaceNumber < 4; ++interfaceNumber)
        usb->bindKernelDriver(path, interfaceNumber, "ftdi_sio");
    const auto device = platform::linuxOpenUsbDevice(path);
    ASSERT_TRUE(device);
    EXPECT_TRUE(device->claimInterface(0));
    EXPECT_TRUE(device->claimInterface(0));
    EXPECT_FALSE(device->claimInterface(1));  // one interface per opened device
    EXPECT_EQ(usb->kernelDriver(path, 0), std::nullopt);
    EXPECT_EQ(usb->kernelDriver(path, 1), "ftdi_sio");
}

// libusb's own set-up, failing as often as a test asks (it stands in for the library's: the
// program's calls resolve to this definition first).
namespace {
int failingSetUps = 0;
}
extern "C" int libusb_init(struct libusb_context** context) {
    using Init = int (*)(libusb_context**);
    static const auto real = reinterpret_cast<Init>(dlsym(RTLD_NEXT, "libusb_init"));
    if (failingSetUps > 0) {
        --failingSetUps;
        return -11;  // LIBUSB_ERROR_NO_MEM
    }
    return real(context);
}

// A libusb set-up that failed is not remembered: the next open tries again.
TEST_F(RealStack, AFailedLibusbSetUpIsTriedAgainAtTheNextOpen) {
    plug(6);
    failingSetUps = 1;
    const bool first = platform::linuxOpenUsbDevice(path) != nullptr;
    if (failingSetUps == 1)
        GTEST_SKIP() << "this process set libusb up before (run the test in a process of its own)";
    EXPECT_FALSE(first);
    EXPECT_TRUE(platform::linuxOpenUsbDevice(path));
}
