#include <gtest/gtest.h>

#include <tuple>

#include "FakeWindows.h"
#include "link/DeviceEnumeration.h"
#include "platform/HException.h"
#include "platform/windows/WindowsPlatform.h"

using namespace wintest;
using Strings = std::vector<std::string>;

namespace {

struct WindowsTest : ::testing::Test {
    FakeWindows fake;
    platform::WindowsPlatform windows{fake.api()};

    // How opening a device ends: "" when it opens, "null" when it cannot, else the message.
    static std::string opening(platform::WindowsPlatform& on, bool hid = false) {
        try {
            return (hid ? !!on.openHidDevice("dev") : !!on.openUsbDevice("dev")) ? "" : "null";
        } catch (const HException& e) {
            return e.message();
        }
    }
    // Handles, events and interfaces alike: whatever a test opened is closed by its end.
    void TearDown() override { EXPECT_TRUE(fake.open.empty()) << "a handle was left open"; }
};

}  // namespace

// A library or an entry point the system lacks: winusb.dll's are named; without hid.dll complete
// a HID device does not open, and its record keeps the listed texts. A library is released again
// whenever its table is not complete, and the first complete one stays loaded for good. The
// first, a middle and the last entry point of each table stand for the rest.
TEST_F(WindowsTest, AMissingPieceOfALibraryIsReportedAndNoPartialTableKept) {
    for (const std::string missing :
         {"winusb.dll", "WinUsb_Initialize", "WinUsb_ReadPipe", "WinUsb_GetDescriptor", "hid.dll",
          "HidD_GetAttributes", "HidD_GetFeature", "HidD_GetNumInputBuffers"}) {
        const bool hid = missing.starts_with("hid") || missing.starts_with("Hid");
        platform::WindowsPlatform fresh(fake.api());
        fake.loaded = 0;
        fake.failing = missing;
        const std::string named =
            (missing.ends_with(".dll") ? "Cannot load " : "Cannot get address of ") + missing;
        EXPECT_EQ(opening(fresh, hid), hid ? "null" : named);
        EXPECT_EQ(fake.loaded, 0) << missing;
        fake.failing.clear();
        EXPECT_EQ(opening(fresh, hid) + opening(fresh, hid), "");
        EXPECT_EQ(fake.loaded, 1) << missing;
    }
}

// Bulk transfers (endpoint 0: a control transfer) are of 64 bytes, of which the device has 2 to
// send; first the call that fails, if any. Every wait is bounded, and whatever is still pending
// after it is cancelled and the cancellation awaited before the call returns, so that nothing
// completes into a buffer or record the caller has moved on from.
TEST_F(WindowsTest, UsbDeviceOpensSharedTransfersBoundedAndClosesEverything) {
    const std::vector<std::tuple<std::string, uint8_t, unsigned, int, Strings>> cases{
        {"", 0x81, INFINITE, 2, {"read 129 64", "wait 4294967294", "poll"}},
        {"", 0x02, 60000, 64, {"write 2 64", "wait 60000", "poll"}},
        {"", 0, 5000, 0, {"control 40 0 2 1 0", "wait 5000", "poll"}},
        {"read 129 64", 0x81, 1000, -1, {"read 129 64"}},
        {"wait 1000", 0x81, 1000, -1, {"read 129 64", "wait 1000", "poll", "cancel", "await"}},
        {"wait 1000", 0x01, 1000, -1, {"write 1 64", "wait 1000", "poll", "cancel", "await"}},
        {"wait 5000", 0, 5000, -1, {"control 40 0 2 1 0", "wait 5000", "poll", "cancel", "await"}},
    };
    auto device = windows.openUsbDevice("dev");
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(fake.trace, (Strings{"open 3", "initialise"}));  // 3: read and write shared
    EXPECT_TRUE(device->claimInterface(device->interfaceOfEndpoint(0x81)));
    uint8_t buffer[64] = {};
    for (const auto& [failing, endpoint, timeoutMs, expected, trace] : cases) {
        fake.trace.clear();
        fake.failing = failing;
        const int result = endpoint ? device->bulkTransfer(endpoint, buffer, 64, timeoutMs)
                                    : device->controlTransfer(0x40, 0, 2, 1, nullptr, 0, timeoutMs);
        EXPECT_EQ(result, expected) << trace[0];
        EXPECT_EQ(fake.trace, trace);
    }
    EXPECT_EQ(buffer[1], 2) << "what was read is not in the caller's buffer";
    fake.trace.clear();
    device.reset();
    EXPECT_EQ(fake.trace, (Strings{"close event", "close event", "free interface", "close dev"}));
    fake.failing = "initialise";  // TearDown: the device is closed again
    EXPECT_EQ(opening(windows), "WinUsb_Initialize failed");
    fake.failing = "open 3";  // the link turns this into "Cannot open USB driver"
    EXPECT_EQ(opening(windows), "null");
}

TEST_F(WindowsTest, ListsTheClassInOrderWithEmptySlotsForWhatCannotBeRead) {
    fake.interfaces = {
        {"p0", "USB\\VID_1A2B&PID_0003\\HE1", "Velantrix", "Heron"},
        {"p1", "USB\\VID_1A2B&PID_0006\\X", {}, {}, true},
        {"p2", "USB\\VID_1A2B&PID_0006\\X", {}, {}, false, true},
        {"p3", "USB\\ROOT_HUB30\\" + std::string(84, 'a'), {}, "Hub"},  // 99 characters
        {"p4", "USB\\ROOT_HUB30\\" + std::string(85, 'a'), {}, {}},     // too long for 100 bytes
    };
    Strings listed;  // path|instance id|manufacturer|description, or "-" for an empty slot
    for (const auto& slot : windows.listInterfaces(platform::InterfaceClass::UsbDevice, 127))
        listed.push_back(!slot ? "-"
                               : slot->devicePath + "|" + slot->instanceId + "|" +
                                     slot->manufacturer.value_or("?") + "|" +
                                     slot->description.value_or("?"));
    EXPECT_EQ(listed, (Strings{"p0|USB\\VID_1A2B&PID_0003\\HE1|Velantrix|Heron", "-", "-",
                               "p3|" + fake.interfaces[3].instanceId + "|?|Hub", "p4||?|?"}));
    const GUID usb{0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};
    EXPECT_TRUE(IsEqualGUID(fake.listedClass, usb));
    EXPECT_EQ(fake.trace, Strings{"destroy set"});
    EXPECT_EQ(windows.listInterfaces(platform::InterfaceClass::UsbDevice, 3).size(), 3u);
}

// Through the enumeration, as the program lists HID devices (which texts a device's answers
// replace, and how they narrow, the core suite holds). A device opens alone (0) if it allows
// that, else shared for reading and writing (3).
TEST_F(WindowsTest, HidRecordsTakeTheDevicesOwnNarrowedTexts) {
    fake.interfaces = {{"h1", "HID\\VID_1A2B&PID_0006\\7&1", "Listed", "Listed"}};
    fake.hidStrings = {u"Velantrix", u"Osprey \u00e9", u"S1"};
    fake.failing = "open 0";  // open elsewhere: opened shared instead
    const auto records =
        enumerateUSBDevices({windows, platform::steadyClock()}, 3, anyUsbId, anyUsbId);
    const GUID hid{0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
    EXPECT_TRUE(IsEqualGUID(fake.listedClass, hid));
    EXPECT_EQ(fake.trace, (Strings{"destroy set", "open 0", "open 3", "close h1"}));
    ASSERT_EQ(records.size(), 1u);
    const USBDeviceInfo& r = records[0];
    EXPECT_EQ(r.manufacturer + "|" + r.deviceDescription + "|" + r.serialNumber,
              "Velantrix|Osprey \xE9|S1");
}

// The system's own libraries (Wine's, in a cross-build) have every entry point the tables name,
// and the system's listing runs on them.
TEST(SystemLibraries, HaveEveryEntryPointTheTablesName) {
    platform::WinUsbApi winUsb;
    EXPECT_NO_THROW(platform::loadWinUsbApi(winUsb, platform::systemApi()));
    platform::HidLibrary hid;
    EXPECT_TRUE(platform::loadHidLibrary(hid, platform::systemApi()));
    for (const auto& record : enumerateUSBDevices(0, anyUsbId, anyUsbId))
        EXPECT_FALSE(record.devicePath.empty());
}
