#include <gtest/gtest.h>

#include <algorithm>

#include "FakeWindows.h"
#include "link/DeviceEnumeration.h"
#include "platform/HException.h"
#include "platform/windows/WindowsPlatform.h"

using namespace wintest;
using platform::InterfaceClass;
using Strings = std::vector<std::string>;
using Opens = std::vector<std::array<DWORD, 4>>;

namespace {

// What CreateFile is asked for a device opened for overlapped I/O and shared as `sharing` says.
std::array<DWORD, 4> opened(DWORD sharing) {
    return {GENERIC_READ | GENERIC_WRITE, sharing, OPEN_EXISTING, FILE_FLAG_OVERLAPPED};
}

constexpr const char* kPath =
    R"(\\?\usb#vid_1a2b&pid_0006#os1#{a5dcbf10-6530-11d2-901f-00c04fb951ed})";

struct WindowsTest : ::testing::Test {
    FakeWindows fake;
    platform::WindowsPlatform windows{fake.api()};

    // How opening a device ends: "" when it opens, "null" when it cannot, else the message.
    static std::string opening(platform::WindowsPlatform& on, bool hid = false) {
        try {
            return (hid ? !!on.openHidDevice(kPath) : !!on.openUsbDevice(kPath)) ? "" : "null";
        } catch (const HException& e) {
            return e.message();
        }
    }
    auto traced(const std::string& call) const {
        return std::count(fake.trace.begin(), fake.trace.end(), call);
    }
    void TearDown() override { EXPECT_TRUE(fake.open.empty()) << "a handle was left open"; }
};

}  // namespace

// A library or an entry point the system lacks: winusb.dll's are named; without hid.dll complete
// a HID device does not open, and its record keeps the listed texts. A library is released again
// whenever its table is not complete, and the first complete one stays loaded for good.
TEST_F(WindowsTest, EveryMissingPieceOfALibraryIsReportedAndNoPartialTableKept) {
    // clang-format off
    const char* const pieces[] = {"winusb.dll", "WinUsb_Initialize", "WinUsb_Free",
        "WinUsb_QueryInterfaceSettings", "WinUsb_QueryPipe", "WinUsb_ReadPipe", "WinUsb_WritePipe",
        "WinUsb_SetPipePolicy", "WinUsb_ControlTransfer", "WinUsb_GetDescriptor", "hid.dll",
        "HidD_GetAttributes", "HidD_GetSerialNumberString", "HidD_GetManufacturerString",
        "HidD_GetProductString", "HidD_SetFeature", "HidD_GetFeature", "HidD_GetIndexedString",
        "HidD_GetPreparsedData", "HidD_FreePreparsedData", "HidP_GetCaps",
        "HidD_SetNumInputBuffers", "HidD_GetNumInputBuffers"};
    // clang-format on
    for (const std::string missing : pieces) {
        const bool hid = missing.starts_with("Hid") || missing == "hid.dll";
        platform::WindowsPlatform fresh(fake.api());
        const auto loads = [&] { return traced("load winusb.dll") + traced("load hid.dll"); };
        fake.trace.clear();
        fake.missing = missing;
        const std::string named =
            missing == "winusb.dll" ? "Cannot load winusb.dll" : "Cannot get address of " + missing;
        EXPECT_EQ(opening(fresh, hid), hid ? "null" : named);
        EXPECT_EQ(traced("free library"), loads()) << missing;
        fake.missing.clear();
        EXPECT_EQ(opening(fresh, hid) + opening(fresh, hid), "");
        EXPECT_EQ(loads() - traced("free library"), 1) << missing;
    }
}

TEST_F(WindowsTest, OpensSharedAndOverlappedAndClosesEverythingInOrder) {
    auto device = windows.openUsbDevice(kPath);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(fake.openArguments, Opens{opened(FILE_SHARE_READ | FILE_SHARE_WRITE)});
    EXPECT_EQ(device->interfaceOfEndpoint(0x81), 0);  // the one interface WinUSB bound
    EXPECT_TRUE(device->claimInterface(0));
    EXPECT_FALSE(device->claimInterface(1));
    fake.trace.clear();
    device.reset();
    EXPECT_EQ(fake.trace, (Strings{"close event", "close event", "free interface",
                                   std::string("close ") + kPath}));
    fake.initialiseFails = true;  // TearDown: the device is closed again
    EXPECT_EQ(opening(windows), "WinUsb_Initialize failed");
    fake.createFileFailures = 1;  // the link turns this into "Cannot open USB driver"
    EXPECT_EQ(opening(windows), "null");
}

struct TransferCase {
    Transfer transfer;
    uint8_t endpoint;  // 0: a control transfer
    int length;
    unsigned timeoutMs;
    int expected;
    Strings trace;
};

TEST_F(WindowsTest, TransfersAreBoundedAndNeverLeftPending) {
    const std::vector<TransferCase> cases{
        {Transfer::Completes, 0x81, 5, 1000, 5, {"read 129 5", "wait 1000", "result"}},
        {Transfer::Completes, 0x81, 77, 1000, 2, {"read 129 77", "wait 1000", "result"}},
        {Transfer::Completes, 0x02, 64, 60000, 64, {"write 2 64", "wait 60000", "result"}},
        {Transfer::Completes, 0x02, 0, 1000, 0, {"write 2 0", "wait 1000", "result"}},
        {Transfer::TimesOut, 0x81, 64, 60000, -1, {"read 129 64", "wait 60000", "result"}},
        {Transfer::TimesOut, 0x01, 8, 1000, -1, {"write 1 8", "wait 1000", "result"}},
        {Transfer::FailsAtStart, 0x81, 64, 1000, -1, {"read 129 64"}},
        {Transfer::Completes, 0, 0, 5000, 0, {"control 40 0 2 1 0", "wait 5000", "result"}},
        {Transfer::TimesOut, 0, 0, 5000, -1, {"control 40 0 2 1 0", "wait 5000", "result"}},
        {Transfer::Completes, 0x81, 4, 0xFFFFFFFF, 4, {"read 129 4", "wait 4294967294", "result"}},
    };
    auto device = windows.openUsbDevice(kPath);
    for (const auto& c : cases) {
        fake.trace.clear();
        fake.transfer = c.transfer;
        fake.answer = c.length == 77 ? std::vector<uint8_t>{1, 2} : std::vector<uint8_t>(6, 7);
        std::vector<uint8_t> buffer(static_cast<std::size_t>(c.length) + 1, 0xEE);
        const int result =
            c.endpoint ? device->bulkTransfer(c.endpoint, buffer.data(), c.length, c.timeoutMs)
                       : device->controlTransfer(0x40, 0, 2, 1, nullptr, 0, c.timeoutMs);
        Strings trace = c.trace;
        if (c.transfer == Transfer::TimesOut)  // cancelled, and the cancellation awaited
            trace.insert(trace.end(), {"cancel", "result, waiting"});
        EXPECT_EQ(result, c.expected) << trace[0];
        EXPECT_EQ(fake.trace, trace);
        EXPECT_EQ(fake.state, State::Idle) << trace[0];
        if (c.endpoint == 0x81 && c.expected > 0) {  // the bytes that came, and no more
            EXPECT_TRUE(
                std::equal(fake.answer.begin(), fake.answer.begin() + c.expected, buffer.begin()));
            EXPECT_EQ(buffer[static_cast<std::size_t>(c.expected)], 0xEE);
        }
    }
}

TEST_F(WindowsTest, ListsTheClassInOrderWithEmptySlotsForWhatCannotBeRead) {
    fake.interfaces = {
        {"p0", "USB\\VID_1A2B&PID_0003\\HE1", "Velantrix", "Heron"},
        {"p1", "USB\\VID_1A2B&PID_0006\\X", {}, {}, true},
        {"p2", "USB\\VID_1A2B&PID_0006\\X", {}, {}, false, true},
        {"p3", "USB\\ROOT_HUB30\\" + std::string(84, 'a'), {}, "Hub"},  // 99 characters
        {"p4", "USB\\ROOT_HUB30\\" + std::string(85, 'a'), {}, {}},     // too long for 100 bytes
        {"p5", "USB\\VID_1A2B&PID_0005\\EG1", {}, {}},
    };
    Strings listed;  // path|instance id|manufacturer|description, or "-" for an empty slot
    for (const auto& slot : windows.listInterfaces(InterfaceClass::UsbDevice, 5))
        listed.push_back(!slot ? "-"
                               : slot->devicePath + "|" + slot->instanceId + "|" +
                                     slot->manufacturer.value_or("?") + "|" +
                                     slot->description.value_or("?"));
    EXPECT_EQ(listed, (Strings{"p0|USB\\VID_1A2B&PID_0003\\HE1|Velantrix|Heron", "-", "-",
                               "p3|" + fake.interfaces[3].instanceId + "|?|Hub", "p4||?|?"}));
    const GUID usb{0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};
    EXPECT_TRUE(IsEqualGUID(fake.listedClass, usb));
    EXPECT_EQ(fake.listedFlags, DWORD{DIGCF_PRESENT | DIGCF_DEVICEINTERFACE});
    EXPECT_EQ(fake.trace, Strings{"destroy set"});
    EXPECT_EQ(windows.listInterfaces(InterfaceClass::UsbDevice, 127).size(), 6u);
}

// Through the enumeration, as the program lists HID devices.
TEST_F(WindowsTest, HidRecordsTakeTheDevicesOwnNarrowedTexts) {
    auto previous =
        platform::installPlatform(std::make_unique<platform::WindowsPlatform>(fake.api()));
    fake.interfaces = {{"h1", "HID\\VID_1A2B&PID_0006\\7&1", "Listed", "Listed"},
                       {"h2", "HID\\VID_1A2B&PID_0006\\OWN", "Listed", "Listed"}};
    fake.hidStrings = {{{"h1", 0}, u"Velantrix"},
                       {{"h1", 2}, u"S\u00e9r"},
                       {{"h2", 1}, u"Osprey \u0152"},
                       {{"h2", 2}, u"\u0152X"}};
    fake.createFileFailures = 1;  // the first is open elsewhere: opened shared the second time
    const auto records = enumerateUSBDevices(3, anyUsbId, anyUsbId);
    platform::installPlatform(std::move(previous));
    const GUID hid{0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
    EXPECT_TRUE(IsEqualGUID(fake.listedClass, hid));
    EXPECT_EQ(fake.openArguments,
              (Opens{opened(0), opened(FILE_SHARE_READ | FILE_SHARE_WRITE), opened(0)}));
    ASSERT_EQ(records.size(), 2u);
    const auto texts = [](const USBDeviceInfo& r) {
        return r.manufacturer + "|" + r.deviceDescription + "|" + r.serialNumber;
    };
    EXPECT_EQ(texts(records[0]), "Velantrix|Listed|S\xE9r");
    EXPECT_EQ(texts(records[1]), "Listed|Osprey R|OWN");  // from 0x100 up no serial is 8-bit
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
