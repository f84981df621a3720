#include "link_fake_usb.h"

#include <algorithm>
#include <cstring>

#include "platform/Clock.h"
#include "platform/HException.h"

namespace linktest {

namespace {

class FakeUsbDevice final : public platform::UsbDevice {
public:
    explicit FakeUsbDevice(std::shared_ptr<FakeUsbState> s) : state(std::move(s)) {
        ++state->opens;
        state->isOpen = true;
    }
    ~FakeUsbDevice() override {
        state->isOpen = false;
        state->claimedInterface = -1;
    }

    std::optional<platform::UsbIdentity> identity() override { return std::nullopt; }

    int interfaceOfEndpoint(uint8_t endpoint) override {
        const auto found = state->endpointInterfaces.find(endpoint);
        return found == state->endpointInterfaces.end() ? -1 : found->second;
    }

    bool claimInterface(int interfaceNumber) override {
        if (state->claimRefused)
            return false;
        state->claimedInterface = interfaceNumber;
        return true;
    }

    int bulkTransfer(uint8_t endpoint, void* data, int length, unsigned timeoutMs) override {
        UsbCall call;
        call.kind = (endpoint & 0x80) ? UsbCall::Kind::BulkIn : UsbCall::Kind::BulkOut;
        call.endpoint = endpoint;
        call.length = length;
        call.timeoutMs = timeoutMs;
        if (call.kind == UsbCall::Kind::BulkOut) {
            const auto* bytes = static_cast<const uint8_t*>(data);
            call.data.assign(bytes, bytes + length);
        }
        state->calls.push_back(call);
        if (state->unplugged)
            return -1;
        if (call.kind == UsbCall::Kind::BulkOut) {
            if (!state->outStalls)
                return length;
            platform::currentClock().sleepMs(timeoutMs);
            return -1;
        }
        if (!state->inAnswers.empty()) {
            auto& answer = state->inAnswers.front();
            const int moved = std::min(length, static_cast<int>(answer.size()));
            std::memcpy(data, answer.data(), static_cast<std::size_t>(moved));
            answer.erase(answer.begin(), answer.begin() + moved);
            if (answer.empty())
                state->inAnswers.pop_front();
            platform::currentClock().sleepMs(1);
            return moved;
        }
        if (state->idle == FakeUsbState::Idle::StatusOnly && length >= 2) {
            platform::currentClock().sleepMs(state->statusIntervalMs);
            static_cast<uint8_t*>(data)[0] = 0x31;
            static_cast<uint8_t*>(data)[1] = 0x60;
            return 2;
        }
        platform::currentClock().sleepMs(timeoutMs);
        return -1;
    }

    int controlTransfer(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index, void*,
                        uint16_t length, unsigned timeoutMs) override {
        UsbCall call;
        call.kind = UsbCall::Kind::Control;
        call.requestType = requestType;
        call.request = request;
        call.value = value;
        call.index = index;
        call.length = length;
        call.timeoutMs = timeoutMs;
        state->calls.push_back(call);
        if (state->unplugged || state->refusedRequests.count({request, value}))
            return -1;
        return length;
    }

private:
    std::shared_ptr<FakeUsbState> state;
};

class FakeUsbPlatform final : public platform::Platform {
public:
    explicit FakeUsbPlatform(FakeUsbDevices& d) : devices(d) {}

    std::vector<std::optional<DeviceInterfaceNode>> listInterfaces(platform::InterfaceClass,
                                                                   int) override {
        return {};
    }

    std::unique_ptr<platform::UsbDevice> openUsbDevice(const std::string& devicePath) override {
        const auto found = devices.find(devicePath);
        if (found == devices.end() || found->second->unplugged)
            return nullptr;
        return std::make_unique<FakeUsbDevice>(found->second);
    }

    std::unique_ptr<platform::HidDevice> openHidDevice(const std::string&) override {
        return nullptr;
    }

private:
    FakeUsbDevices& devices;
};

}  // namespace

std::vector<UsbCall> FakeUsbState::callsOf(UsbCall::Kind kind) const {
    std::vector<UsbCall> picked;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(picked),
                 [kind](const UsbCall& call) { return call.kind == kind; });
    return picked;
}

std::vector<uint8_t> ftdiPacket(const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> packet(2 + payload.size());
    packet[0] = 0x31;
    packet[1] = 0x60;
    std::copy(payload.begin(), payload.end(), packet.begin() + 2);
    return packet;
}

FakeUsbScope::FakeUsbScope() {
    previous = platform::installPlatform(std::make_unique<FakeUsbPlatform>(devices));
}

FakeUsbScope::~FakeUsbScope() {
    platform::installPlatform(std::move(previous));
}

std::shared_ptr<FakeUsbState> FakeUsbScope::add(const std::string& devicePath) {
    auto state = std::make_shared<FakeUsbState>();
    devices[devicePath] = state;
    return state;
}

std::string thrownMessage(const std::function<void()>& action) {
    try {
        action();
    } catch (const HException& e) {
        return e.message();
    }
    return "";
}

USBDeviceInfo probeAt(uint16_t productId, const std::string& devicePath) {
    USBDeviceInfo record;
    record.vendorId = 0x1234;
    record.productId = productId;
    record.serialNumber = "TEST0001";
    record.devicePath = devicePath;
    return record;
}

}  // namespace linktest
