#include "platform/linux/LinuxPlatform.h"

namespace platform {

// Placeholder until the libusb device lands.
std::unique_ptr<UsbDevice> linuxOpenUsbDevice(const std::string&) {
    return nullptr;
}

}  // namespace platform
