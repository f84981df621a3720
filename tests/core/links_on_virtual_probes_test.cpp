#include <gtest/gtest.h>

#include <vector>

#include "link/openDataLink.h"
#include "loader/LoaderProtocol.h"
#include "platform/HException.h"
#include "sim/FirmwareImageBuilder.h"
#include "sim/ProbeFactory.h"
#include "sim/VirtualBus.h"
#include "sim/VirtualClock.h"

namespace {

struct LinksOnVirtualProbes : ::testing::TestWithParam<uint16_t> {
    sim::VirtualClockScope clock;
    sim::VirtualBusScope scope;

    USBDeviceInfo attach(const std::shared_ptr<sim::VirtualProbe>& probe) {
        USBDeviceInfo info;
        info.vendorId = sim::kVirtualProbeVendorId;
        info.productId = GetParam();
        info.devicePath = scope.bus().attach(probe);
        return info;
    }
};

}  // namespace

// The loader commands run unchanged over whichever link the variant needs.
TEST_P(LinksOnVirtualProbes, EveryLoaderCommandOverTheRealLink) {
    auto probe = sim::makeProbe(GetParam(), "SN000001");
    auto link = openDataLink(attach(probe));
    ASSERT_TRUE(link);
    link->setTimeout(60000);

    sim::ImageSpec spec;
    spec.payloadSize = 10000;
    const std::vector<uint8_t> image = sim::buildFirmwareImage(spec);
    const uint32_t address = probe->variant().flashBase;

    loaderConnect(*link);
    memoryErase(*link, address, 0x4000);
    memoryWrite(*link, address, 4096, image.data());
    memoryWrite(*link, address + 4096, uint32_t(image.size()) - 4096, image.data() + 4096);
    EXPECT_TRUE(crcCheck(*link, address, uint32_t(image.size()), image.data()));
    std::vector<uint8_t> other = image;
    other[100] ^= 1;
    EXPECT_FALSE(crcCheck(*link, address, uint32_t(other.size()), other.data()));
    LoaderInfo info{};
    getLoaderInfo(*link, info);
    EXPECT_EQ(info.firmwareMagic, 0xCAFEF00Du);
    EXPECT_EQ(info.firmwareMajor, 1);
    loaderDisconnect(*link);
    EXPECT_FALSE(probe->loaderConnected());
}

TEST_P(LinksOnVirtualProbes, UnpluggedProbeFailsTransfersWithoutCrashing) {
    auto probe = sim::makeProbe(GetParam(), "SN000002");
    const USBDeviceInfo info = attach(probe);
    auto link = openDataLink(info);
    ASSERT_TRUE(link);
    scope.bus().detach(info.devicePath);
    uint8_t buffer[8] = {};
    EXPECT_EQ(link->write(buffer, sizeof buffer), -1);
    EXPECT_EQ(link->read(buffer, sizeof buffer), -1);
    EXPECT_THROW(loaderConnect(*link), HException);
    // A link made now finds nothing at the path.
    try {
        openDataLink(info);
        FAIL() << "opened a device that is gone";
    } catch (const HException& e) {
        EXPECT_EQ(e.message(), "Cannot open USB driver");
    }
}

INSTANTIATE_TEST_SUITE_P(BridgeAndBulk, LinksOnVirtualProbes, ::testing::Values(3, 5, 6));
