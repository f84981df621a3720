#include "sim/VirtualBus.h"

#include <cerrno>
#include <cstdio>
#include <utility>

#include "platform/InstanceId.h"
#include "sim/VirtualUsbHandle.h"

namespace sim {

std::string VirtualBus::Node::devicePath() const {
    char text[32];
    std::snprintf(text, sizeof text, "/dev/bus/usb/%03d/%03d", bus, device);
    return text;
}

VirtualBus::VirtualBus(platform::Clock& clock) : state(std::make_shared<BusState>(clock)) {}

VirtualBus::~VirtualBus() = default;

std::string VirtualBus::attach(std::shared_ptr<VirtualDevice> device, const std::string& port) {
    return state->attach(std::move(device), port);
}

void VirtualBus::detach(const std::string& path) {
    state->detach(path);
}

bool VirtualBus::reattach(const std::string& path) {
    return state->reattach(path);
}

void VirtualBus::remove(const std::string& path) {
    state->remove(path);
}

bool VirtualBus::isPresent(const std::string& path) {
    return state->present(path).has_value();
}

std::optional<VirtualBus::Node> VirtualBus::nodeOf(const std::string& path) {
    const std::optional<BusState::Node> node = state->nodeOf(path);
    if (!node)
        return std::nullopt;
    return Node{node->bus, node->device};
}

void VirtualBus::addUnreadableEntry() {
    state->addUnreadableEntry();
}

void VirtualBus::clearUnreadableEntries() {
    state->clearUnreadableEntries();
}

std::vector<std::optional<DeviceInterfaceNode>> VirtualBus::listInterfaces(
    platform::InterfaceClass cls, int maxEntries) {
    std::vector<std::optional<DeviceInterfaceNode>> nodes;
    if (cls != platform::InterfaceClass::UsbDevice)
        return nodes;
    for (const BusState::Listed& listed : state->list()) {
        if (static_cast<int>(nodes.size()) >= maxEntries)
            break;
        if (!listed.entry.device) {
            nodes.emplace_back(std::nullopt);
            continue;
        }
        const DeviceDescriptor d = listed.entry.device->descriptor();
        // The same identifier the Linux lister composes: the made-up part for a device without
        // a usable serial number carries the port name.
        nodes.push_back(DeviceInterfaceNode{
            platform::composeInstanceId(d.vendorId, d.productId, d.serial, listed.port),
            d.manufacturer, d.product, listed.entry.path});
    }
    return nodes;
}

std::unique_ptr<platform::UsbDevice> VirtualBus::openUsbDevice(const std::string& devicePath) {
    platform::OpenFailure ignored;
    return tryOpenUsbDevice(devicePath, ignored);
}

std::unique_ptr<platform::UsbDevice> VirtualBus::tryOpenUsbDevice(const std::string& devicePath,
                                                                  platform::OpenFailure& failure) {
    const std::optional<BusState::Entry> entry = state->present(devicePath);
    if (!entry) {
        failure = {platform::OpenFailureReason::Gone, ENODEV, {}};
        return nullptr;
    }
    if (!entry->device->open(entry->attachment)) {
        const int error = entry->device->openRefusalError();
        const std::optional<Node> node = nodeOf(devicePath);
        failure = {platform::reasonOfErrno(error), error, node ? node->devicePath() : ""};
        return nullptr;
    }
    return std::make_unique<VirtualUsbHandle>(entry->device, entry->attachment, state,
                                              state->newHandleId());
}

std::unique_ptr<platform::HidDevice> VirtualBus::openHidDevice(const std::string&) {
    return nullptr;
}

}  // namespace sim
