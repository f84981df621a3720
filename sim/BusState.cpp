#include "sim/BusState.h"

#include <algorithm>
#include <stdexcept>

#include "sim/SimTime.h"

namespace sim {

namespace {

constexpr const char* kControllerPath = "/sys/devices/pci0000:00/0000:00:14.0/usb1/";
constexpr int kBusNumber = 1;
constexpr int kMaxDevnum = 127;

}  // namespace

BusState::Port* BusState::findPath(const std::string& path) {
    for (Port& port : ports) {
        if (port.path == path)
            return &port;
    }
    return nullptr;
}

int BusState::freeDevnum() const {
    // Device numbers count up and wrap, skipping those still in use, as the kernel hands them out.
    for (int step = 0; step < kMaxDevnum; ++step) {
        const int candidate = (nextDevnum - 2 + step) % (kMaxDevnum - 1) + 2;
        if (std::none_of(ports.begin(), ports.end(),
                         [candidate](const Port& port) { return port.devnum == candidate; }))
            return candidate;
    }
    throw std::length_error("virtual bus full");
}

void BusState::plug(Port& port, AttachReason reason) {
    port.devnum = freeDevnum();
    nextDevnum = port.devnum + 1;
    port.attachment = nextAttachment++;
    port.sequence = nextSequence++;
    port.returnAtUs.reset();
    port.device->attached(port.attachment, reason, time);
}

void BusState::unplug(Port& port) {
    if (port.attachment != 0)
        port.device->detached();
    port.attachment = 0;
    port.devnum = 0;
    port.returnAtUs.reset();
}

void BusState::settle() {
    const uint64_t now = nowUs(time);
    for (Port& port : ports) {
        if (port.returnAtUs && *port.returnAtUs <= now)
            plug(port, AttachReason::Reenumerated);
    }
}

void BusState::ensureNotElsewhere(const VirtualDevice* device, const std::string& portName) const {
    for (const Port& port : ports) {
        if (port.device.get() == device && (port.attachment != 0 || port.returnAtUs) &&
            port.name != portName)
            throw std::logic_error("device already attached at " + port.path);
    }
}

std::string BusState::attach(std::shared_ptr<VirtualDevice> device, const std::string& portName) {
    if (!device)
        throw std::invalid_argument("no device to attach");
    std::lock_guard lock(mutex);
    ensureNotElsewhere(device.get(), portName);
    std::string name = portName;
    if (name.empty()) {
        for (int n = 1; name.empty(); ++n) {
            const std::string candidate = std::to_string(kBusNumber) + "-" + std::to_string(n);
            if (!findPath(kControllerPath + candidate))
                name = candidate;
        }
    }
    std::string path = kControllerPath + name;
    Port* port = findPath(path);
    if (!port) {
        port = &ports.emplace_back();
        port->name = name;
        port->path = path;
    } else if (port->attachment != 0 || port->returnAtUs) {
        throw std::logic_error("port " + name + " is occupied");
    }
    port->device = std::move(device);
    plug(*port, AttachReason::PluggedIn);
    return path;
}

void BusState::detach(const std::string& path) {
    std::lock_guard lock(mutex);
    if (Port* port = findPath(path))
        unplug(*port);
}

bool BusState::reattach(const std::string& path) {
    std::lock_guard lock(mutex);
    Port* port = findPath(path);
    if (!port)
        return false;
    ensureNotElsewhere(port->device.get(), port->name);
    unplug(*port);
    plug(*port, AttachReason::PluggedIn);
    return true;
}

void BusState::remove(const std::string& path) {
    std::lock_guard lock(mutex);
    if (Port* port = findPath(path)) {
        unplug(*port);
        ports.erase(ports.begin() + (port - ports.data()));
    }
}

void BusState::addUnreadableEntry() {
    std::lock_guard lock(mutex);
    unreadable.push_back(nextSequence++);
}

void BusState::clearUnreadableEntries() {
    std::lock_guard lock(mutex);
    unreadable.clear();
}

std::vector<BusState::Listed> BusState::list() {
    std::lock_guard lock(mutex);
    settle();
    std::vector<std::pair<uint64_t, Listed>> ordered;
    for (const Port& port : ports) {
        if (port.attachment != 0)
            ordered.push_back(
                {port.sequence, {{port.path, port.device, port.attachment}, port.name}});
    }
    for (const uint64_t sequence : unreadable)
        ordered.push_back({sequence, {}});
    std::sort(ordered.begin(), ordered.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<Listed> result;
    result.reserve(ordered.size());
    for (auto& [sequence, listed] : ordered)
        result.push_back(std::move(listed));
    return result;
}

std::optional<BusState::Entry> BusState::present(const std::string& path) {
    std::lock_guard lock(mutex);
    settle();
    const Port* port = findPath(path);
    if (!port || port->attachment == 0)
        return std::nullopt;
    return Entry{port->path, port->device, port->attachment};
}

std::optional<BusState::Node> BusState::nodeOf(const std::string& path) {
    std::lock_guard lock(mutex);
    settle();
    const Port* port = findPath(path);
    if (!port || port->attachment == 0)
        return std::nullopt;
    return Node{kBusNumber, port->devnum};
}

int BusState::newHandleId() {
    std::lock_guard lock(mutex);
    return nextHandle++;
}

void BusState::deviceLeft(uint64_t attachment, BusEvent event, uint32_t returnAfterMs) {
    if (event == BusEvent::None)
        return;
    std::lock_guard lock(mutex);
    for (Port& port : ports) {
        if (port.attachment != attachment)
            continue;
        unplug(port);
        if (event == BusEvent::Reenumerating)
            port.returnAtUs = nowUs(time) + uint64_t{returnAfterMs} * 1000;
        return;
    }
}

}  // namespace sim
