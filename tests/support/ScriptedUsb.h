#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Context.h"
#include "sim/VirtualClock.h"

// The platform of link, protocol and listing tests, in the way a USB stack tests its own backend:
// each device follows an ordered script of the requests it expects and the answer to each,
// failures included, and a request that is not the next one fails the running test. The listing
// and the HID string answers are whatever the test puts in. Hand context() to the code under
// test: the scripted platform with a virtual clock on which scripted waits pass at once. On the
// way out it fails the test for every script that was not played to its end. Not thread-safe:
// one thread scripts and plays it.
namespace scripted {

using Bytes = std::vector<uint8_t>;

struct Step {
    enum class Kind { Control, Out, In };
    Kind kind = Kind::Control;
    uint8_t endpoint = 0;  // Out, In
    uint8_t request = 0;   // Control: a vendor request to the device without data stage
    uint16_t value = 0;
    uint16_t index = 0;
    Bytes data{};                         // Out: the bytes expected; In: the bytes delivered
    std::optional<int> result{};          // the answer; by default every byte moves
    std::optional<unsigned> timeoutMs{};  // the bound the caller must give, where it matters
    unsigned takesMs = 0;
    bool timesOut = false;  // fails (-1) once the caller's whole time-out has passed
    // Answered again and again, until a request matches the next step; it must be asked once.
    bool always = false;
    int played = 0;
};

class Device {
public:
    Device& control(uint8_t request, uint16_t value, uint16_t index) {
        return add({.request = request, .value = value, .index = index});
    }
    Device& out(uint8_t endpoint, Bytes expected) {
        return add({.kind = Step::Kind::Out, .endpoint = endpoint, .data = std::move(expected)});
    }
    Device& in(uint8_t endpoint, Bytes delivered = {}) {
        return add({.kind = Step::Kind::In, .endpoint = endpoint, .data = std::move(delivered)});
    }
    // These change the step added last.
    Device& answers(int result) { return set(&Step::result, result); }
    Device& timesOut() { return set(&Step::timesOut, true); }
    Device& takes(unsigned ms) { return set(&Step::takesMs, ms); }
    Device& within(unsigned ms) { return set(&Step::timeoutMs, ms); }
    Device& always() { return set(&Step::always, true); }

    // Which interface owns each endpoint; the plain bulk pipes and channel A's OUT pipe.
    std::map<uint8_t, int> interfaces{{0x01, 0}, {0x02, 0}, {0x81, 0}};
    bool refuseOpen = false;
    bool refuseClaim = false;
    bool open = false;
    int opens = 0;
    int claimed = -1;

    int serve(const Step& request, uint8_t* data, int length, unsigned timeoutMs,
              platform::Clock& clock);
    std::string unplayed();  // the first step still expected, or empty

private:
    Device& add(Step step) {
        steps.push_back(std::move(step));
        return *this;
    }
    template <typename Field, typename Value>
    Device& set(Field Step::*field, Value value) {
        steps.back().*field = value;
        return *this;
    }
    std::vector<Step> steps;
    std::size_t next = 0;
};

class ScriptedUsb {
public:
    // What a HID device answers to the manufacturer, product and serial number queries; an
    // absent answer is a failed query.
    using HidStrings = std::array<std::optional<std::u16string>, 3>;

    ScriptedUsb();
    ~ScriptedUsb();

    // The device at `path`, made on first use; a path nobody scripted opens nothing.
    Device& device(const std::string& path);
    // Adds an interface of `cls` to the listing; an absent node is an entry that cannot be read.
    void list(std::optional<DeviceInterfaceNode> node,
              platform::InterfaceClass cls = platform::InterfaceClass::UsbDevice);
    void answerHid(const std::string& path, HidStrings strings);
    sim::VirtualClock& clock() { return time; }
    platform::Context context();

private:
    class Backend;
    sim::VirtualClock time;
    std::unique_ptr<Backend> backend;
};

}  // namespace scripted
