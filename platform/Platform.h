#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/DeviceInterfaceNode.h"
#include "platform/OpenFailure.h"

// The narrow seam between the program and the operating system. The program runs on the backend
// of the system it was built for (platform/linux: libudev + libusb; platform/windows: SetupAPI,
// WinUSB, hid.dll); tests, benchmarks and the emulator hand a virtual bus to what they drive
// (platform/Context.h). Nothing above this layer knows which one it talks to.
//
// Threads: a Platform may be asked from several threads at once (each call lists or opens on its
// own); what it hands out (UsbDevice, HidDevice, DeviceWatch) belongs to the caller and is used by
// one thread at a time.
namespace platform {

// Device interface classes the enumeration can ask for.
enum class InterfaceClass { UsbDevice, Hid, Extra1, Extra2, Extra3 };

// What a USB device says it is: its ids and its serial number (empty when it has none).
struct UsbIdentity {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string serialNumber;
};

// An opened USB device. Destroying it releases the claimed interface and closes the device.
// All calls block the calling thread; none throws. One thread at a time: two devices may be used
// from two threads at once, one device not.
class UsbDevice {
public:
    virtual ~UsbDevice() = default;

    // What the opened device itself says it is (its device descriptor and serial number string),
    // not what the listing said: where a device path names a port (Linux), the port may hold
    // another device by now. Null only where paths name the device itself, so that there is
    // nothing to check; a device that does not answer has ids of 0. May issue one bounded
    // control transfer.
    virtual std::optional<UsbIdentity> identity() = 0;

    // Number of the interface whose descriptor lists `endpoint`, or -1. Reads descriptors
    // already fetched at open; does not block. Where the driver bound one interface at open
    // (WinUSB), that interface answers for every endpoint and is the only one to claim.
    virtual int interfaceOfEndpoint(uint8_t endpoint) = 0;

    // Detaches a kernel driver bound to the interface, then claims it. False when either fails.
    virtual bool claimInterface(int interfaceNumber) = 0;
    // Why the last claimInterface that answered false failed, as far as the system said.
    virtual OpenFailure claimFailure() const { return {}; }

    // One bulk transfer of `length` bytes on `endpoint` (IN when bit 7 is set), bounded by
    // `timeoutMs`. Returns the bytes moved (an IN transfer ends early on a short packet), or -1
    // when it failed, stalled, the device left, or time ran out. A transfer that ran out of time
    // is cancelled and reaped before the call returns, so it never touches `data` afterwards.
    virtual int bulkTransfer(uint8_t endpoint, void* data, int length, unsigned timeoutMs) = 0;

    // One control transfer on the default pipe, bounded by `timeoutMs`. Returns the bytes of the
    // data stage moved (0 without one), or -1 on refusal (stall), failure or time-out.
    virtual int controlTransfer(uint8_t requestType, uint8_t request, uint16_t value,
                                uint16_t index, void* data, uint16_t length,
                                unsigned timeoutMs) = 0;
};

// An opened HID device, for its string descriptors. Each query fills `buffer` (`bytes` long)
// with a NUL-terminated UTF-16 text and answers true, or answers false. One thread at a time.
class HidDevice {
public:
    virtual ~HidDevice() = default;
    virtual bool manufacturerString(uint16_t* buffer, std::size_t bytes) = 0;
    virtual bool productString(uint16_t* buffer, std::size_t bytes) = 0;
    virtual bool serialNumberString(uint16_t* buffer, std::size_t bytes) = 0;
};

// Tells whether the present interfaces of one class may have changed. Made once and asked at
// every tick, so the caller lists again only after something happened. Made, asked and destroyed
// on one and the same thread (libudev's objects must never change threads).
class DeviceWatch {
public:
    virtual ~DeviceWatch() = default;

    // True when an interface may have come or gone since the previous call (or since the watch
    // was made): after any event, after lost events and after any error of the watch itself.
    // Never blocks, never throws.
    virtual bool mayHaveChanged() = 0;
};

// The operating system, or a stand-in for it. Every call may run on several threads at once.
class Platform {
public:
    virtual ~Platform() = default;

    // The present interfaces of a class in the system's enumeration order, at most `maxEntries`
    // of them. An entry that could not be read is an empty slot; the listing goes on after it.
    // Touches no device, never blocks on one, never throws.
    virtual std::vector<std::optional<DeviceInterfaceNode>> listInterfaces(InterfaceClass cls,
                                                                           int maxEntries) = 0;

    // Opens a listed device path for transfers. Null when the path no longer resolves to a
    // device or the device cannot be opened (absent, no permission, claimed elsewhere). Throws
    // HException with the message for the user where the system's USB driver interface must be
    // loaded or bound to the device at open and that fails (Windows: "Cannot load winusb.dll",
    // "Cannot get address of WinUsb_...", "WinUsb_Initialize failed"); nothing is left open then.
    virtual std::unique_ptr<UsbDevice> openUsbDevice(const std::string& devicePath) = 0;
    // openUsbDevice, and where it answers null, why in `failure` (left alone otherwise). This
    // default knows no more than openUsbDevice tells: the reason is Unknown.
    virtual std::unique_ptr<UsbDevice> tryOpenUsbDevice(const std::string& devicePath,
                                                        OpenFailure& failure);

    // Opens a listed HID device path for its strings. Null when it cannot be opened.
    virtual std::unique_ptr<HidDevice> openHidDevice(const std::string& devicePath) = 0;

    // A watch over the interfaces of `cls`, or null where the system cannot tell of changes
    // (the default): the caller then lists at every turn. Does not block; never throws.
    virtual std::unique_ptr<DeviceWatch> watchDevices(InterfaceClass cls);
};

// The operating system's own platform. Each backend (platform/linux, platform/windows) defines
// it; the build links exactly one.
std::unique_ptr<Platform> makeSystemPlatform();

// The program's one system platform, made on first use (from any thread) and kept until the
// process ends. Nothing replaces it: code that is to run on another platform is handed one.
Platform& systemPlatform();

}  // namespace platform
