#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/VirtualBus.h"

// umockdev's headers stay out of this one: they bring GLib's, which clash with Qt's keywords in
// the tests that include both.
// The struct's name is umockdev's own.
typedef struct _UMockdevTestbed UMockdevTestbed;  // NOLINT(bugprone-reserved-identifier)

namespace emulator {

class UsbdevfsNode;

// Virtual devices as the kernel would show them, for programs that take the real Linux path:
// a umockdev testbed holds each device's sysfs directory (for libudev) and usbdevfs node (for
// libusb), and the node's ioctls are served by the virtual device (UsbdevfsNode).
//
// The devices sit on a sim::VirtualBus, which is no program's platform here (the program runs on
// the system platform, which umockdev redirects): it only keeps who is plugged in where. Whatever
// happens on that bus (a probe unplugged by a script, a probe that restarts into its loader and
// comes back later with a new device number) reaches the testbed on the next settle(): a device
// that left loses its sysfs directory and node, a device that came back gets them again at the same
// sysfs path with its new node. Each change is announced as the udev daemon would, by a uevent
// ("remove", then "add" for a device that came back), which reaches every udev monitor of a program
// on the testbed. settle() runs after every transfer, and the owner calls it as time passes (the
// virtual clock does so after every sleep).
//
// Creating one sets UMOCKDEV_DIR for the process (so before any other thread lists: libudev reads
// the environment); a program only sees the testbed when it runs with umockdev's preload library
// (linked first, or in LD_PRELOAD). Thread-safe.
class EmulatedUsb {
public:
    // The devices run on `clock`: the steady clock for a program in a process of its own, the
    // program's virtual clock in a test. Throws std::runtime_error when the testbed cannot be made.
    explicit EmulatedUsb(platform::Clock& clock);
    ~EmulatedUsb();
    EmulatedUsb(const EmulatedUsb&) = delete;
    EmulatedUsb& operator=(const EmulatedUsb&) = delete;

    // True when this process itself sees the testbed (it runs with the preload library).
    static bool inMockEnvironment();
    // The testbed's root folder: UMOCKDEV_DIR for child processes.
    std::string root() const;

    // Plugs `device` in (as VirtualBus::attach) and publishes it; answers its sysfs path.
    std::string attach(std::shared_ptr<sim::VirtualDevice> device, const std::string& port = {});
    // Pulls the device at `path` out / plugs it in again with a new device number.
    void unplug(const std::string& path);
    bool plugBack(const std::string& path);
    // Deletes the device node while the device stays listed, as when it vanished between a
    // listing and an open; the next change of the device publishes a node again.
    void removeNode(const std::string& path);

    // The node of the device at `path` as published now, if any.
    std::optional<std::string> nodeOf(const std::string& path) const;
    // How often the device at `path` was published under a new node (each plug-in counts).
    int publications(const std::string& path) const;

    // Binds a kernel driver to an interface of the device at `path` for its present stay on the
    // bus, or tells which one is bound now.
    void bindKernelDriver(const std::string& path, unsigned interfaceNumber,
                          const std::string& driver);
    std::optional<std::string> kernelDriver(const std::string& path,
                                            unsigned interfaceNumber) const;

    // Brings the testbed in line with the bus.
    void settle();

    sim::VirtualBus& bus() { return virtualBus; }

private:
    struct Port {
        std::shared_ptr<sim::VirtualDevice> device;
        std::vector<uint8_t> descriptors;  // the device's, read once
        int publishedBusnum = 0;
        int publishedDevnum = 0;  // 0 while not in the testbed
        int publications = 0;
    };

    UsbdevfsNode* currentNode(const std::string& path) const;
    void publish(const std::string& path, Port& port, int busnum, int devnum);
    void withdraw(const std::string& path, Port& port);
    void settleLocked();

    struct TestbedRelease {
        void operator()(UMockdevTestbed* testbed) const;
    };

    sim::VirtualBus virtualBus;
    mutable std::mutex mutex;
    std::unique_ptr<UMockdevTestbed, TestbedRelease> testbed;
    std::map<std::string, Port> ports;
    // Every node ever published keeps its handler until the testbed goes: a program may still
    // hold a file of a node whose device has left, and gets ENODEV from it.
    std::map<std::string, std::unique_ptr<UsbdevfsNode>> nodes;
    std::vector<std::unique_ptr<UsbdevfsNode>> retired;
};

}  // namespace emulator
