#include <climits>

#include "platform/windows/WindowsPlatform.h"

namespace platform {

namespace {

// A HID device held open while hid.dll answers its string queries. One thread at a time.
class WindowsHidDevice final : public HidDevice {
public:
    WindowsHidDevice(const HidLibrary& hid_, OwnedHandle device_)
        : hid(hid_), device(std::move(device_)) {}

    bool manufacturerString(uint16_t* buffer, std::size_t bytes) override {
        return hid.GetManufacturerString(device.get(), buffer, length(bytes)) != FALSE;
    }
    bool productString(uint16_t* buffer, std::size_t bytes) override {
        return hid.GetProductString(device.get(), buffer, length(bytes)) != FALSE;
    }
    bool serialNumberString(uint16_t* buffer, std::size_t bytes) override {
        return hid.GetSerialNumberString(device.get(), buffer, length(bytes)) != FALSE;
    }

private:
    static ULONG length(std::size_t bytes) {
        return bytes > ULONG_MAX ? ULONG_MAX : static_cast<ULONG>(bytes);
    }
    const HidLibrary hid;
    OwnedHandle device;
};

}  // namespace

std::unique_ptr<HidDevice> windowsOpenHidDevice(const SystemApi& api, HidLibrary& hid,
                                                const std::string& devicePath) {
    if (!loadHidLibrary(hid, api))
        return nullptr;
    // Alone if the device allows it, else shared with whoever holds it open already (the
    // system keeps keyboards and mice open, for one).
    const auto open = [&](DWORD sharing) {
        return OwnedHandle(
            api, api.createFile(devicePath.c_str(), GENERIC_READ | GENERIC_WRITE, sharing, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
    };
    OwnedHandle device = open(0);
    if (!device)
        device = open(FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!device)
        return nullptr;
    return std::make_unique<WindowsHidDevice>(hid, std::move(device));
}

}  // namespace platform
