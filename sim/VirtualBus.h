#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/Clock.h"
#include "platform/Platform.h"
#include "sim/BusState.h"
#include "sim/VirtualDevice.h"

namespace sim {

// A USB bus of emulated devices behind the platform seam: hand it, with its clock, to the code
// under test as its platform::Context. Devices are plugged into ports and pulled out at any
// moment, from any thread, and every member may be called from several threads at once. Each
// stay on the bus gets a new device node number while the sysfs path of the port stays the same,
// so a probe that re-enumerates keeps its path. The generic USB class lists every present device
// in attach order; other classes list nothing.
class VirtualBus final : public platform::Platform {
public:
    struct Node {
        int bus = 0;
        int device = 0;
        std::string devicePath() const;  // "/dev/bus/usb/001/005"
    };

    // Its devices run on `clock` (their flash times, transfer time-outs, returns after
    // re-enumerating), which must outlive the bus and every device handle it opens.
    explicit VirtualBus(platform::Clock& clock);
    ~VirtualBus() override;
    VirtualBus(const VirtualBus&) = delete;
    VirtualBus& operator=(const VirtualBus&) = delete;

    // Plugs `device` into `port` ("1-2"; "1-2.3" behind a hub; empty: the next free "1-N") and
    // answers its sysfs path, e.g. "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2". Throws
    // std::logic_error when the port is occupied or the device is attached elsewhere.
    std::string attach(std::shared_ptr<VirtualDevice> device, const std::string& port = {});
    // Pulls out whatever is at `path`; the port remembers the device for reattach.
    void detach(const std::string& path);
    // Power-cycles the device remembered at `path`: it comes back with a new node number.
    bool reattach(const std::string& path);
    // Forgets the port and its device.
    void remove(const std::string& path);

    bool isPresent(const std::string& path);
    std::optional<Node> nodeOf(const std::string& path);

    // Adds an entry that cannot be read (an empty slot) at the current end of the attach order.
    void addUnreadableEntry();
    void clearUnreadableEntries();

    std::vector<std::optional<DeviceInterfaceNode>> listInterfaces(platform::InterfaceClass cls,
                                                                   int maxEntries) override;
    std::unique_ptr<platform::UsbDevice> openUsbDevice(const std::string& devicePath) override;
    // A refusal says what the device scripted (sim::VirtualProbe::refuseOpen), with its node.
    std::unique_ptr<platform::UsbDevice> tryOpenUsbDevice(const std::string& devicePath,
                                                          platform::OpenFailure& failure) override;
    std::unique_ptr<platform::HidDevice> openHidDevice(const std::string& devicePath) override;

private:
    std::shared_ptr<BusState> state;
};

}  // namespace sim
