#include <gtest/gtest.h>

#include <tuple>

#include "FakeWindows.h"
#include "link/DeviceEnumeration.h"
#include "link/USBDataLink.h"
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

// As Windows names the interfaces of a probe, and a HID collection of a composite device.
const std::string usbPath = R"(\\?\usb#vid_1a2b&pid_0003#he0000000000000000000001a7c4#)"
                            R"({a5dcbf10-6530-11d2-901f-00c04fb951ed})";
const std::string hidPath = R"(\\?\hid#vid_1a2b&pid_0006&mi_01&col02#8&1c3f0a6b&0&0001#)"
                            R"({4d1e55b2-f16f-11cf-88cb-001111000030})";

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
        fake.failing = {missing};
        const std::string named =
            (missing.ends_with(".dll") ? "Cannot load " : "Cannot get address of ") + missing;
        EXPECT_EQ(opening(fresh, hid), hid ? "null" : named);
        EXPECT_EQ(fake.loaded, 0) << missing;
        fake.failing.clear();
        EXPECT_EQ(opening(fresh, hid) + opening(fresh, hid), "");
        EXPECT_EQ(fake.loaded, 1) << missing;
    }
}

// Opening: what fails, and what is called and closed on the way ("open 3": shared for reading
// and writing). A device that cannot be opened (CreateFileA answers INVALID_HANDLE_VALUE) is not
// bound; without its completion events the bound interface is freed and the device closed.
TEST_F(WindowsTest, AnOpenThatFailsPartWayClosesWhatItOpened) {
    const std::vector<std::tuple<std::string, std::string, std::string>> cases{
        {"open 3", "null", "open 3"},
        {"initialise", "WinUsb_Initialize failed", "open 3, initialise, close dev"},
        {"event", "null", "open 3, initialise, event, event, free interface, close dev"},
    };
    for (const auto& [failing, result, trace] : cases) {
        fake.trace.clear();
        fake.failing = {failing};
        EXPECT_EQ(opening(windows), result) << failing;
        EXPECT_EQ(fake.trace, trace);
    }
}

// Transfers of 64 bytes, of which the device has 2 to send (endpoint 0: a control transfer
// without data, 0x80: one that reads). Every wait is bounded (the cancellation's by 1000 ms),
// and whatever is still pending after it is cancelled and the cancellation awaited before the
// call returns, so that nothing completes into a buffer or record the caller has moved on from.
// Last, a driver that never ends a cancelled transfer: the call still returns, the device moves
// nothing more, and the transfer's late end does not reach the caller's buffer.
TEST_F(WindowsTest, UsbTransfersAreBoundedAndCountOnlyWhatCompleted) {
    const std::string cancelled = ", cancel, wait 1000, poll";
    const Strings deaf{"wait 3000", "cancel", "wait 1000"};  // the cancellation never ends
    const std::vector<std::tuple<Strings, uint8_t, unsigned, int, std::string>> cases{
        {{}, 0x81, INFINITE, 2, "read 129 64, wait 4294967294, poll"},
        {{}, 0x02, 60000, 64, "write 2 64, wait 60000, poll"},
        {{}, 0, 5000, 0, "control 40 0 2 1 0, wait 5000, poll"},
        {{}, 0x80, 5000, 2, "control C0 0 2 1 64, wait 5000, poll"},
        {{"at once"}, 0x81, 3000, 2, "read 129 64, wait 3000, poll"},
        {{"stall"}, 0x81, 3000, -1, "read 129 64, wait 3000, poll"},
        {{"read 129 64"}, 0x81, 3000, -1, "read 129 64"},
        {{"wait 3000"}, 0x81, 3000, -1, "read 129 64, wait 3000, poll" + cancelled},
        {deaf, 0x81, 3000, -1, "read 129 64, wait 3000, poll" + cancelled},
        {{}, 0x02, 3000, -1, ""},
        {{}, 0, 5000, -1, ""},
    };
    auto device = windows.openUsbDevice("dev");
    ASSERT_NE(device, nullptr);
    for (const auto& [failing, endpoint, timeoutMs, expected, trace] : cases) {
        uint8_t buffer[64] = {9, 8};
        fake.trace.clear();
        fake.failing = {failing.begin(), failing.end()};
        const int result = endpoint & 0x7F ? device->bulkTransfer(endpoint, buffer, 64, timeoutMs)
                           : endpoint
                               ? device->controlTransfer(0xC0, 0, 2, 1, buffer, 64, timeoutMs)
                               : device->controlTransfer(0x40, 0, 2, 1, nullptr, 0, timeoutMs);
        EXPECT_EQ(result, expected) << trace;
        EXPECT_EQ(fake.trace, trace);
        if (isPending(fake.transfer.record))
            complete();  // the driver ends the transfer it was told to cancel, late
        EXPECT_EQ(buffer[1], expected == 2 ? 2 : 8) << trace;
        EXPECT_TRUE(!trace.starts_with("write 2") || fake.sent.starts_with("\x09\x08"));
    }
    fake.trace.clear();
    device.reset();
    EXPECT_EQ(fake.trace, "close event, close event, free interface, close dev");
}

// WinUSB bound to the whole device serves its first interface: the pipes of the bulk probe and
// of a bridge's channel A. The bridge's other channels are not reached through it, and the link
// says so instead of sending their traffic to the first interface.
TEST_F(WindowsTest, OnlyTheFirstInterfacesEndpointsOpenALink) {
    USBDeviceInfo info;
    info.devicePath = usbPath;
    Strings opened;
    for (const auto& [out, in] : std::vector<std::pair<uint8_t, uint8_t>>{
             {0x01, 0x81}, {0x02, 0x81}, {0x04, 0x83}, {0x08, 0x87}, {0x02, 0x83}}) {
        try {
            USBDataLink link({windows, platform::steadyClock()}, info, out, in);
            opened.push_back("opened");
        } catch (const HException& e) {
            opened.push_back(e.message());
        }
    }
    const std::string refused = "Cannot claim USB interface";
    EXPECT_EQ(opened, (Strings{"opened", "opened", refused, refused, refused}));
}

// Paths and property texts as long as Windows' own, beyond any fixed buffer but the instance
// identifier's 100 bytes: each is sized by asking first.
TEST_F(WindowsTest, ListsTheClassInOrderWithEmptySlotsForWhatCannotBeRead) {
    const std::string longDescription =
        "Velantrix Heron JTAG/SWD debug probe, loader interface served by the generic USB driver "
        "(WinUSB) for firmware updates";
    const std::string instanceId = R"(USB\VID_1A2B&PID_0003\HE0000000000000000000001A7C4)";
    const std::string hub = "USB\\ROOT_HUB30\\" + std::string(84, 'a');  // 99 characters
    fake.interfaces = {
        {usbPath, instanceId, "Velantrix", longDescription},
        {"p1", "USB\\VID_1A2B&PID_0006\\X", {}, {}, true},
        {"p2", "USB\\VID_1A2B&PID_0006\\X", {}, {}, false, true},
        {"p3", hub, {}, "Hub"},
        {"p4", hub + "a", {}, {}},  // too long for 100 bytes
    };
    Strings listed;  // path|instance id|manufacturer|description, or "-" for an empty slot
    for (const auto& slot : windows.listInterfaces(platform::InterfaceClass::UsbDevice, 127))
        listed.push_back(!slot ? "-"
                               : slot->devicePath + "|" + slot->instanceId + "|" +
                                     slot->manufacturer.value_or("?") + "|" +
                                     slot->description.value_or("?"));
    EXPECT_EQ(listed, (Strings{usbPath + "|" + instanceId + "|Velantrix|" + longDescription, "-",
                               "-", "p3|" + hub + "|?|Hub", "p4||?|?"}));
    const GUID usb{0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};
    EXPECT_TRUE(IsEqualGUID(fake.listedClass, usb));
    EXPECT_EQ(fake.trace, "destroy set");
    EXPECT_EQ(windows.listInterfaces(platform::InterfaceClass::UsbDevice, 3).size(), 3u);
}

// Through the enumeration, as the program lists HID devices (which texts a device's answers
// replace, and how they narrow, the core suite holds). A device opens alone (0) if it allows
// that, else shared for reading and writing (3). The product string is 300 UTF-16 units: it
// takes 602 of the buffer's 1024 bytes, more than its 512 units would be taken for bytes.
TEST_F(WindowsTest, HidRecordsTakeTheDevicesOwnNarrowedTexts) {
    fake.interfaces = {
        {hidPath, "HID\\VID_1A2B&PID_0006&MI_01&COL02\\8&1C3F0A6B&0&0001", "Listed", "Listed"}};
    fake.hidStrings = {u"Velantrix", u"Osprey \u00e9" + std::u16string(292, u'x'), u"S1"};
    fake.failing = {"open 0"};  // open elsewhere: opened shared instead
    const auto records =
        enumerateUSBDevices({windows, platform::steadyClock()}, 3, anyUsbId, anyUsbId);
    const GUID hid{0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
    EXPECT_TRUE(IsEqualGUID(fake.listedClass, hid));
    EXPECT_EQ(fake.trace, "destroy set, open 0, open 3, close " + hidPath);
    ASSERT_EQ(records.size(), 1u);
    const USBDeviceInfo& r = records[0];
    EXPECT_EQ(r.manufacturer + "|" + r.deviceDescription + "|" + r.serialNumber,
              "Velantrix|Osprey \xE9" + std::string(292, 'x') + "|S1");
}

// The system's own libraries (Wine's, in a cross-build) have every entry point the tables name,
// and the system's listing runs on them: Wine lists HID devices of its own (a mouse and a
// keyboard), so the two-call sizing, the HID open and the string queries all run for real.
TEST(SystemLibraries, HaveEveryEntryPointTheTablesNameAndListHid) {
    platform::WinUsbApi winUsb;
    EXPECT_NO_THROW(platform::loadWinUsbApi(winUsb, platform::systemApi()));
    platform::HidLibrary hid;
    EXPECT_TRUE(platform::loadHidLibrary(hid, platform::systemApi()));
    const auto records = enumerateUSBDevices(3, anyUsbId, anyUsbId);
    EXPECT_FALSE(records.empty());
    for (const auto& record : records) {
        EXPECT_NE(record.devicePath.find("{4d1e55b2-f16f-11cf-88cb-001111000030}"),
                  std::string::npos)
            << record.devicePath;
        EXPECT_NE(record.vendorId, 0) << record.devicePath;
    }
}
