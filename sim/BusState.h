#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "sim/VirtualDevice.h"

namespace sim {

// The bus's ports and attachments, shared between the bus and the handles it opened so that a
// handle may outlive the bus. Every member locks. Time (a device's return after re-enumerating)
// is read from `clock`, which its devices are handed as they are plugged in.
class BusState {
public:
    explicit BusState(platform::Clock& clock) : time(clock) {}

    struct Entry {
        std::string path;  // empty: an unreadable entry
        std::shared_ptr<VirtualDevice> device;
        uint64_t attachment = 0;
    };
    struct Node {
        int bus = 0;
        int device = 0;
    };

    // Plugs `device` in at `port` (a new port when empty); answers the sysfs path.
    std::string attach(std::shared_ptr<VirtualDevice> device, const std::string& port);
    void detach(const std::string& path);
    bool reattach(const std::string& path);
    void remove(const std::string& path);
    void addUnreadableEntry();
    void clearUnreadableEntries();

    // Present entries in attach order, with their port names, after pending returns are due.
    struct Listed {
        Entry entry;
        std::string port;
    };
    std::vector<Listed> list();
    std::optional<Entry> present(const std::string& path);
    std::optional<Node> nodeOf(const std::string& path);
    int newHandleId();

    // A device left the bus during a transfer on `attachment`; a re-enumerating one comes back
    // at the same port after `returnAfterMs`.
    void deviceLeft(uint64_t attachment, BusEvent event, uint32_t returnAfterMs);

private:
    struct Port {
        std::string name;
        std::string path;
        std::shared_ptr<VirtualDevice> device;
        uint64_t attachment = 0;  // 0 while nothing is present
        uint64_t sequence = 0;    // attach order
        int devnum = 0;
        std::optional<uint64_t> returnAtUs;
    };

    Port* findPath(const std::string& path);
    // Throws std::logic_error when `device` is on the bus at a port other than `portName`.
    void ensureNotElsewhere(const VirtualDevice* device, const std::string& portName) const;
    void plug(Port& port, AttachReason reason);
    void unplug(Port& port);
    void settle();
    int freeDevnum() const;

    platform::Clock& time;
    std::mutex mutex;
    std::vector<Port> ports;
    std::vector<uint64_t> unreadable;  // sequences of the unreadable entries
    uint64_t nextAttachment = 1;
    uint64_t nextSequence = 1;
    int nextDevnum = 2;  // 1 is the root hub
    int nextHandle = 1;
};

}  // namespace sim
