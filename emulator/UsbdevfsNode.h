#pragma once

#include <umockdev.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "emulator/GLibHandles.h"
#include "platform/Platform.h"
#include "sim/VirtualBus.h"
#include "sim/VirtualProbe.h"

namespace emulator {

// What the handler of one device node knows about the device behind it.
struct NodeBinding {
    sim::VirtualBus* bus = nullptr;
    std::string sysfsPath;
    int busnum = 1;
    int devnum = 0;  // the node belongs to this stay of the device on the bus
    std::shared_ptr<sim::VirtualDevice> device;
    std::vector<uint8_t> descriptors;
    // Called after every transfer, which may have taken the device off the bus.
    std::function<void()> busChanged;
};

// Serves the usbdevfs ioctls on one device node (/dev/bus/usb/BBB/DDD) the way the kernel's
// usbfs does, with the virtual device behind it. Each open file of the node is a client with its
// own handle on the virtual bus (and so its own claims), its waiting and its completed URBs.
//
// URBs: control URBs and bulk OUT URBs are carried out when submitted; a bulk IN URB too, unless
// the device has nothing to send on a pipe that stays silent until it has (the plain bulk face):
// such a URB waits, as on a real bus, and is carried out when a later reap finds a reply queued.
// Reaping hands back completed URBs in completion order, EAGAIN while there is none. Discarding a
// waiting URB completes it with -ENOENT (libusb reaps it after a time-out). Once the device left
// the bus, or is back under another node, the node is stale: waiting URBs end with -ESHUTDOWN and
// every further call fails with ENODEV, as for an unplugged device.
//
// A kernel driver may be bound to an interface, as when an administrator binds a serial driver
// to a bridge: the interface then cannot be claimed until a client has the driver disconnected.
//
// umockdev calls the handler on its worker thread only; nothing but the driver bindings (locked)
// is touched elsewhere.
class UsbdevfsNode {
public:
    explicit UsbdevfsNode(NodeBinding binding);
    ~UsbdevfsNode();
    UsbdevfsNode(const UsbdevfsNode&) = delete;
    UsbdevfsNode& operator=(const UsbdevfsNode&) = delete;

    UMockdevIoctlBase* handler() const { return ioctlBase.get(); }
    std::string nodePath() const;

    // Binds the kernel driver `name` to an interface, or tells which one is bound now.
    void bindDriver(unsigned interfaceNumber, std::string name);
    std::optional<std::string> boundDriver(unsigned interfaceNumber) const;

    // ioctl result and errno, as umockdev hands them to the client.
    struct Answer {
        long result = 0;
        int error = 0;
    };

private:
    // A submitted URB: the client's struct usbdevfs_urb and its buffer, resolved into local
    // copies that umockdev writes back when the URB is reaped.
    struct Urb {
        GObjectPtr<UMockdevIoctlData> urb;
        GObjectPtr<UMockdevIoctlData> buffer;  // null for an empty buffer
    };
    struct Client {
        GObjectPtr<UMockdevIoctlClient> connection;   // held, so that its state can be asked
        std::unique_ptr<platform::UsbDevice> handle;  // opened at the client's first call
        int refused = 0;  // the errno the device refused that open with; 0 while it has not
        std::vector<Urb> waiting;
        std::deque<Urb> completed;
    };
    using Route = Answer (UsbdevfsNode::*)(Client&, UMockdevIoctlData*);
    struct RouteRow {
        unsigned long request;
        Route route;
    };
    static const RouteRow routes[];

    static gboolean onIoctl(UMockdevIoctlBase* base, UMockdevIoctlClient* client, gpointer self);
    static void onConnected(UMockdevIoctlBase* base, UMockdevIoctlClient* client, gpointer self);
    void forgetClosedFiles();
    Client& clientOf(UMockdevIoctlClient* connection);
    Answer serve(UMockdevIoctlClient* client);

    Answer connectInfo(Client& client, UMockdevIoctlData* arg);
    Answer speed(Client& client, UMockdevIoctlData* arg);
    Answer capabilities(Client& client, UMockdevIoctlData* arg);
    Answer driver(Client& client, UMockdevIoctlData* arg);
    Answer disconnectDriver(Client& client, UMockdevIoctlData* arg);
    Answer claim(Client& client, UMockdevIoctlData* arg);
    Answer release(Client& client, UMockdevIoctlData* arg);
    Answer setInterface(Client& client, UMockdevIoctlData* arg);
    Answer clearHalt(Client& client, UMockdevIoctlData* arg);
    Answer control(Client& client, UMockdevIoctlData* arg);
    Answer submit(Client& client, UMockdevIoctlData* arg);
    Answer discard(Client& client, UMockdevIoctlData* arg);
    Answer reap(Client& client, UMockdevIoctlData* arg);

    bool isCurrent() const;
    bool readWouldWait() const;
    int runControl(Client& client, std::span<uint8_t> setupAndData);
    int runBulk(Client& client, Urb& urb);
    void complete(Client& client, Urb urb, int moved);
    void serviceWaiting(Client& client);

    const NodeBinding binding;
    sim::VirtualProbe* const probe;  // the device, when it is a virtual probe
    GObjectPtr<UMockdevIoctlBase> ioctlBase;
    std::map<UMockdevIoctlClient*, Client> clients;
    mutable std::mutex driversMutex;
    std::map<unsigned, std::string> drivers;  // interface -> bound kernel driver
};

}  // namespace emulator
