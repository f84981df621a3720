#include "emulator/EmulatedUsb.h"

#include <umockdev.h>
#include <unistd.h>

#include <stdexcept>
#include <utility>

#include "emulator/GLibHandles.h"
#include "emulator/TestbedRecord.h"
#include "emulator/UsbDescriptors.h"
#include "emulator/UsbdevfsNode.h"

namespace emulator {

namespace {

[[noreturn]] void throwTestbedError(const char* what, GError* raw) {
    const GErrorPtr error(raw);
    throw std::runtime_error(std::string(what) + ": " +
                             (error ? error->message : "umockdev gave no reason"));
}

}  // namespace

void EmulatedUsb::TestbedRelease::operator()(UMockdevTestbed* made) const {
    g_object_unref(made);
}

EmulatedUsb::EmulatedUsb(platform::Clock& clock)
    : virtualBus(clock), testbed(umockdev_testbed_new()) {
    if (!testbed)
        throw std::runtime_error("cannot create the umockdev testbed");
}

EmulatedUsb::~EmulatedUsb() {
    // The testbed stops umockdev's worker thread, the only caller of the node handlers, before
    // they go.
    testbed.reset();
}

bool EmulatedUsb::inMockEnvironment() {
    return umockdev_in_mock_environment();
}

std::string EmulatedUsb::root() const {
    const GCharPtr dir(umockdev_testbed_get_root_dir(testbed.get()));
    return dir ? dir.get() : "";
}

std::string EmulatedUsb::attach(std::shared_ptr<sim::VirtualDevice> device,
                                const std::string& port) {
    if (!device)
        throw std::invalid_argument("no device to attach");
    std::vector<uint8_t> descriptors = usbDescriptors(device->descriptor(), interfacesOf(*device));
    std::lock_guard lock(mutex);
    std::string path = virtualBus.attach(device, port);
    Port& entry = ports[path];
    if (entry.publishedDevnum != 0)
        withdraw(path, entry);  // another device was remembered at this port
    entry.device = std::move(device);
    entry.descriptors = std::move(descriptors);
    settleLocked();
    return path;
}

void EmulatedUsb::unplug(const std::string& path) {
    std::lock_guard lock(mutex);
    virtualBus.detach(path);
    settleLocked();
}

bool EmulatedUsb::plugBack(const std::string& path) {
    std::lock_guard lock(mutex);
    const bool plugged = virtualBus.reattach(path);
    settleLocked();
    return plugged;
}

void EmulatedUsb::removeNode(const std::string& path) {
    std::lock_guard lock(mutex);
    const auto port = ports.find(path);
    if (port != ports.end() && port->second.publishedDevnum != 0)
        ::unlink((root() + usbNodePath(port->second.publishedBusnum, port->second.publishedDevnum))
                     .c_str());
}

std::optional<std::string> EmulatedUsb::nodeOf(const std::string& path) const {
    std::lock_guard lock(mutex);
    const auto port = ports.find(path);
    if (port == ports.end() || port->second.publishedDevnum == 0)
        return std::nullopt;
    return usbNodePath(port->second.publishedBusnum, port->second.publishedDevnum);
}

int EmulatedUsb::publications(const std::string& path) const {
    std::lock_guard lock(mutex);
    const auto port = ports.find(path);
    return port == ports.end() ? 0 : port->second.publications;
}

void EmulatedUsb::bindKernelDriver(const std::string& path, unsigned interfaceNumber,
                                   const std::string& driver) {
    std::lock_guard lock(mutex);
    if (UsbdevfsNode* node = currentNode(path))
        node->bindDriver(interfaceNumber, driver);
}

std::optional<std::string> EmulatedUsb::kernelDriver(const std::string& path,
                                                     unsigned interfaceNumber) const {
    std::lock_guard lock(mutex);
    const UsbdevfsNode* node = currentNode(path);
    return node ? node->boundDriver(interfaceNumber) : std::nullopt;
}

UsbdevfsNode* EmulatedUsb::currentNode(const std::string& path) const {
    const auto port = ports.find(path);
    if (port == ports.end() || port->second.publishedDevnum == 0)
        return nullptr;
    const auto node =
        nodes.find(usbNodePath(port->second.publishedBusnum, port->second.publishedDevnum));
    return node == nodes.end() ? nullptr : node->second.get();
}

void EmulatedUsb::settle() {
    std::lock_guard lock(mutex);
    settleLocked();
}

void EmulatedUsb::settleLocked() {
    for (auto& [path, port] : ports) {
        const std::optional<sim::VirtualBus::Node> node = virtualBus.nodeOf(path);
        if (node && node->bus == port.publishedBusnum && node->device == port.publishedDevnum)
            continue;
        if (!node && port.publishedDevnum == 0)
            continue;
        if (port.publishedDevnum != 0)
            withdraw(path, port);
        if (node)
            publish(path, port, node->bus, node->device);
    }
}

void EmulatedUsb::publish(const std::string& path, Port& port, int busnum, int devnum) {
    auto node = std::make_unique<UsbdevfsNode>(NodeBinding{
        &virtualBus, path, busnum, devnum, port.device, port.descriptors, [this] { settle(); }});
    const std::string nodePath = node->nodePath();
    // A device number comes round again only after many plug-ins; the old node's handler is
    // kept for files still open on it, but the path serves the new one.
    if (const auto old = nodes.find(nodePath); old != nodes.end()) {
        umockdev_testbed_detach_ioctl(testbed.get(), nodePath.c_str(), nullptr);
        retired.push_back(std::move(old->second));
        nodes.erase(old);
    }
    // The handler goes first: a program that lists the device at once must find its node served.
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(testbed.get(), nodePath.c_str(), node->handler(), &error))
        throwTestbedError("cannot serve the device node", error);
    nodes.emplace(nodePath, std::move(node));
    const std::string record =
        testbedRecord({path, busnum, devnum, port.device->descriptor(), port.descriptors});
    // Adding the device also sends its "add" uevent.
    if (!umockdev_testbed_add_from_string(testbed.get(), record.c_str(), &error))
        throwTestbedError("cannot add the device to the testbed", error);
    port.publishedBusnum = busnum;
    port.publishedDevnum = devnum;
    ++port.publications;
}

void EmulatedUsb::withdraw(const std::string& path, Port& port) {
    // Removing sends no uevent of its own. umockdev reads the event's properties from the
    // device, so the event goes first; a program in another process that lists in the instant
    // between the two still sees the device, until its next event or periodic listing. (umockdev
    // aborts when a monitor holds as many unread events as a datagram socket may queue, 10 by
    // the kernel's default; a program that reads its monitor once a second never holds that.)
    umockdev_testbed_uevent(testbed.get(), path.c_str(), "remove");
    umockdev_testbed_remove_device(testbed.get(), path.c_str());
    // umockdev leaves the node file behind; the kernel removes it with the device.
    ::unlink((root() + usbNodePath(port.publishedBusnum, port.publishedDevnum)).c_str());
    port.publishedDevnum = 0;
}

}  // namespace emulator
