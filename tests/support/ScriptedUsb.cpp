#include "tests/support/ScriptedUsb.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace scripted {

namespace {

std::string describe(const Step& step) {
    char text[64];
    if (step.kind == Step::Kind::Control)
        std::snprintf(text, sizeof text, "control %02X value %04X index %04X", step.request,
                      step.value, step.index);
    else
        std::snprintf(text, sizeof text, "%s 0x%02X (%zu bytes)",
                      step.kind == Step::Kind::Out ? "OUT" : "IN", step.endpoint, step.data.size());
    return text;
}

bool matches(const Step& expected, const Step& request) {
    if (expected.kind == Step::Kind::Control)
        return request.kind == expected.kind && expected.request == request.request &&
               expected.value == request.value && expected.index == request.index;
    return request.kind == expected.kind && expected.endpoint == request.endpoint &&
           (expected.kind == Step::Kind::In || expected.data == request.data);
}

class Handle final : public platform::UsbDevice {
public:
    Handle(Device& scripted, platform::Clock& time) : device(scripted), clock(time) {
        device.open = true;
        ++device.opens;
    }
    ~Handle() override { device.open = false; }

    // A scripted path always names the scripted device.
    std::optional<platform::UsbIdentity> identity() override { return std::nullopt; }

    int interfaceOfEndpoint(uint8_t endpoint) override {
        const auto found = device.interfaces.find(endpoint);
        return found == device.interfaces.end() ? -1 : found->second;
    }
    bool claimInterface(int interfaceNumber) override {
        device.claimed = device.refuseClaim ? -1 : interfaceNumber;
        return !device.refuseClaim;
    }
    int bulkTransfer(uint8_t endpoint, void* data, int length, unsigned timeoutMs) override {
        auto* bytes = static_cast<uint8_t*>(data);
        Step request{.kind = endpoint & 0x80 ? Step::Kind::In : Step::Kind::Out,
                     .endpoint = endpoint};
        if (request.kind == Step::Kind::Out)
            request.data.assign(bytes, bytes + length);
        return device.serve(request, bytes, length, timeoutMs, clock);
    }
    int controlTransfer(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                        void* data, uint16_t length, unsigned timeoutMs) override {
        EXPECT_EQ(requestType, 0x40);
        return device.serve({.request = request, .value = value, .index = index},
                            static_cast<uint8_t*>(data), length, timeoutMs, clock);
    }

private:
    Device& device;
    platform::Clock& clock;
};

class Hid final : public platform::HidDevice {
public:
    explicit Hid(ScriptedUsb::HidStrings given) : s(std::move(given)) {}
    bool manufacturerString(uint16_t* to, std::size_t n) override { return answer(s[0], to, n); }
    bool productString(uint16_t* to, std::size_t n) override { return answer(s[1], to, n); }
    bool serialNumberString(uint16_t* to, std::size_t n) override { return answer(s[2], to, n); }

private:
    static bool answer(const std::optional<std::u16string>& text, uint16_t* to, std::size_t bytes) {
        const bool fits = text && (text->size() + 1) * 2 <= bytes;
        if (fits)
            *std::copy(text->begin(), text->end(), to) = 0;
        return fits;
    }
    ScriptedUsb::HidStrings s;  // manufacturer, product, serial number
};

}  // namespace

int Device::serve(const Step& request, uint8_t* data, int length, unsigned timeoutMs,
                  platform::Clock& clock) {
    while (next + 1 < steps.size() && steps[next].always && steps[next].played > 0 &&
           matches(steps[next + 1], request))
        ++next;
    if (next == steps.size() || !matches(steps[next], request)) {
        ADD_FAILURE() << "unexpected " << describe(request) << "; the script expects "
                      << (next == steps.size() ? "nothing more" : describe(steps[next]));
        return -1;
    }
    Step& step = steps[steps[next].always ? next : next++];
    ++step.played;
    if (step.timeoutMs) {
        EXPECT_EQ(timeoutMs, *step.timeoutMs) << describe(step);
    }
    clock.sleepMs(step.timesOut ? timeoutMs : step.takesMs);
    if (step.timesOut)
        return -1;
    if (step.kind != Step::Kind::In)
        return step.result.value_or(step.kind == Step::Kind::Out ? length : 0);
    const auto moved = std::min(static_cast<std::size_t>(length), step.data.size());
    std::copy_n(step.data.begin(), moved, data);
    return step.result.value_or(static_cast<int>(moved));
}

std::string Device::unplayed() {
    while (next < steps.size() && steps[next].always && steps[next].played > 0)
        ++next;
    return next == steps.size() ? std::string() : describe(steps[next]);
}

class ScriptedUsb::Backend final : public platform::Platform {
public:
    explicit Backend(platform::Clock& time) : clock(time) {}

    std::vector<std::optional<DeviceInterfaceNode>> listInterfaces(platform::InterfaceClass cls,
                                                                   int maxEntries) override {
        auto entries = listed[cls];
        entries.resize(std::min(entries.size(), static_cast<std::size_t>(maxEntries)));
        return entries;
    }
    std::unique_ptr<platform::UsbDevice> openUsbDevice(const std::string& path) override {
        const auto found = devices.find(path);
        if (found == devices.end() || found->second.refuseOpen)
            return nullptr;
        return std::make_unique<Handle>(found->second, clock);
    }
    std::unique_ptr<platform::HidDevice> openHidDevice(const std::string& path) override {
        const auto found = hid.find(path);
        return found == hid.end() ? nullptr : std::make_unique<Hid>(found->second);
    }

    std::map<std::string, Device> devices;
    std::map<platform::InterfaceClass, std::vector<std::optional<DeviceInterfaceNode>>> listed;
    std::map<std::string, HidStrings> hid;
    platform::Clock& clock;
};

ScriptedUsb::ScriptedUsb() : backend(std::make_unique<Backend>(time)) {}

ScriptedUsb::~ScriptedUsb() {
    for (auto& [path, device] : backend->devices)
        if (const std::string step = device.unplayed(); !step.empty())
            ADD_FAILURE() << path << ": the script still expects " << step;
}

platform::Context ScriptedUsb::context() {
    return {*backend, time};
}

Device& ScriptedUsb::device(const std::string& path) {
    return backend->devices[path];
}

void ScriptedUsb::list(std::optional<DeviceInterfaceNode> node, platform::InterfaceClass cls) {
    backend->listed[cls].push_back(std::move(node));
}

void ScriptedUsb::answerHid(const std::string& path, HidStrings strings) {
    backend->hid[path] = std::move(strings);
}

}  // namespace scripted
