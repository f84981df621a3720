#pragma once

#include <mutex>

#include "platform/Platform.h"
#include "platform/windows/HidLibrary.h"
#include "platform/windows/SystemApi.h"
#include "platform/windows/WinUsbApi.h"

namespace platform {

// The real system: SetupAPI for listing, WinUSB for transfers, hid.dll for HID strings, all
// reached through a copy of `api`. The program hands in systemApi(); tests hand in fakes. The
// two run-time loaded tables belong to this object, which lives as long as the process when it
// is the program's platform; devices keep copies of what they call, so they may outlive it.
//
// Threads: every call may run on several threads at once. A listing has its device information
// set to itself; opens take turns, so that the first one loads a table while no other reads it,
// and a table once complete is never written again.
class WindowsPlatform final : public Platform {
public:
    explicit WindowsPlatform(const SystemApi& api_) : api(api_) {}

    std::vector<std::optional<DeviceInterfaceNode>> listInterfaces(InterfaceClass cls,
                                                                   int maxEntries) override;
    std::unique_ptr<UsbDevice> openUsbDevice(const std::string& devicePath) override;
    // Says when the system denied access or the device has gone.
    std::unique_ptr<UsbDevice> tryOpenUsbDevice(const std::string& devicePath,
                                                OpenFailure& failure) override;
    std::unique_ptr<HidDevice> openHidDevice(const std::string& devicePath) override;

private:
    const SystemApi api;
    std::mutex opening;  // held while a device is opened, and so while a table is loaded
    WinUsbApi winUsb;
    HidLibrary hid;
};

// The parts of the Windows backend, each in a file of its own.
std::vector<std::optional<DeviceInterfaceNode>> windowsListInterfaces(const SystemApi& api,
                                                                      InterfaceClass cls,
                                                                      int maxEntries);
std::unique_ptr<UsbDevice> windowsOpenUsbDevice(const SystemApi& api, WinUsbApi& winUsb,
                                                const std::string& devicePath);
std::unique_ptr<UsbDevice> windowsOpenUsbDevice(const SystemApi& api, WinUsbApi& winUsb,
                                                const std::string& devicePath,
                                                OpenFailure& failure);
std::unique_ptr<HidDevice> windowsOpenHidDevice(const SystemApi& api, HidLibrary& hid,
                                                const std::string& devicePath);

}  // namespace platform
