#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "link/USBDeviceInfo.h"
#include "platform/Platform.h"

// A scripted USB device behind the platform seam, for the link tests: it answers bulk IN
// transfers from a queue, refuses chosen vendor requests, records every transfer, and lets the
// test see whether the device object is still alive. Waits go through the process clock, so the
// tests run it under a virtual clock.
namespace linktest {

struct UsbCall {
    enum class Kind { Control, BulkOut, BulkIn };
    Kind kind = Kind::Control;
    uint8_t endpoint = 0;  // bulk only
    uint8_t requestType = 0;
    uint8_t request = 0;
    uint16_t value = 0;
    uint16_t index = 0;
    int length = 0;
    std::vector<uint8_t> data;  // what an OUT transfer carried
    unsigned timeoutMs = 0;
};

struct FakeUsbState {
    // What the device does when a bulk IN transfer finds no scripted answer.
    enum class Idle {
        Silent,      // nothing comes: the transfer runs out of time (-1)
        StatusOnly,  // an FTDI bridge: two status bytes every statusIntervalMs
    };

    std::map<uint8_t, int> endpointInterfaces{{0x01, 0}, {0x81, 0}, {0x02, 0}};
    bool claimRefused = false;
    std::set<std::pair<uint8_t, uint16_t>> refusedRequests;  // (request, wValue)
    std::deque<std::vector<uint8_t>> inAnswers;  // one per IN transfer, cut to its length
    Idle idle = Idle::Silent;
    unsigned statusIntervalMs = 16;
    bool outStalls = false;  // OUT transfers are never taken and run out of time
    bool unplugged = false;  // every transfer fails at once

    std::vector<UsbCall> calls;
    int opens = 0;
    bool isOpen = false;
    int claimedInterface = -1;

    std::vector<UsbCall> callsOf(UsbCall::Kind kind) const;
};

// An FTDI answer: two status bytes followed by `payload`.
std::vector<uint8_t> ftdiPacket(const std::vector<uint8_t>& payload);

// The message of the HException that `action` throws, or "" when it throws none.
std::string thrownMessage(const std::function<void()>& action);

// A probe record for `productId` at `devicePath`.
USBDeviceInfo probeAt(uint16_t productId, const std::string& devicePath);

using FakeUsbDevices = std::map<std::string, std::shared_ptr<FakeUsbState>>;

// Installs a platform that knows only the devices added to it, and puts the previous platform
// back on destruction (which also destroys the installed one, so it may point at `devices`).
class FakeUsbScope {
public:
    FakeUsbScope();
    ~FakeUsbScope();
    FakeUsbScope(const FakeUsbScope&) = delete;
    FakeUsbScope& operator=(const FakeUsbScope&) = delete;

    std::shared_ptr<FakeUsbState> add(const std::string& devicePath);

private:
    FakeUsbDevices devices;
    std::unique_ptr<platform::Platform> previous;
};

}  // namespace linktest
