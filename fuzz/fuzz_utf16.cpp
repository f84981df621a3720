// Strings a HID device answers in UTF-16: the narrowing to 8-bit text on any units, terminated
// or not; the widening of the UTF-8 that sysfs holds into those answers; and the whole
// refinement of an enumerated HID record from a device whose answers fill the buffer to the
// last unit without a terminator.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "link/DeviceEnumeration.h"
#include "link/Utf16Narrowing.h"
#include "platform/Platform.h"
#include "platform/linux/Utf8Widening.h"

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

void fuzzNarrowing(FuzzedDataProvider& input) {
    const std::size_t maxUnits = input.ConsumeIntegralInRange<std::size_t>(0, 600);
    // Exactly maxUnits units: the narrowing must not look past them.
    std::vector<uint16_t> units(maxUnits);
    for (uint16_t& unit : units)
        unit = input.ConsumeIntegral<uint16_t>();
    const std::string text = narrowUtf16(units.data(), maxUnits);
    require(text.size() <= maxUnits);
    for (std::size_t i = 0; i < text.size(); ++i)
        require(units[i] != 0 && static_cast<uint8_t>(text[i]) == (units[i] & 0xFF));
    require(text.size() == maxUnits || units[text.size()] == 0);
}

void fuzzWidening(FuzzedDataProvider& input) {
    const std::string utf8 = input.ConsumeRandomLengthString(256);
    const std::u16string wide = platform::widenUtf8(utf8);
    require(wide.size() <= utf8.size());
    // Surrogates come in pairs, high then low, and only for code points above the BMP.
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const char16_t unit = wide[i];
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            require(i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF);
            ++i;
        } else {
            require(unit < 0xDC00 || unit > 0xDFFF);
        }
    }
    // Plain ASCII goes there and back unchanged.
    bool ascii = true;
    for (const char c : utf8)
        ascii = ascii && c > 0 && static_cast<unsigned char>(c) < 0x80;
    if (ascii) {
        std::vector<uint16_t> units(wide.begin(), wide.end());
        units.push_back(0);
        require(narrowUtf16(units.data(), units.size()) == utf8);
    }
}

// A HID device that answers with the input, filling the caller's buffer up to `fill` units and
// terminating only when asked to.
class AnsweringHid final : public platform::HidDevice {
public:
    explicit AnsweringHid(std::vector<std::vector<uint16_t>> answers) : texts(std::move(answers)) {}
    bool manufacturerString(uint16_t* buffer, std::size_t bytes) override {
        return answer(0, buffer, bytes);
    }
    bool productString(uint16_t* buffer, std::size_t bytes) override {
        return answer(1, buffer, bytes);
    }
    bool serialNumberString(uint16_t* buffer, std::size_t bytes) override {
        return answer(2, buffer, bytes);
    }

private:
    bool answer(std::size_t which, uint16_t* buffer, std::size_t bytes) {
        const std::vector<uint16_t>& text = texts[which];
        if (text.empty())
            return false;
        const std::size_t units = std::min(text.size(), bytes / sizeof(uint16_t));
        std::memcpy(buffer, text.data(), units * sizeof(uint16_t));
        return true;
    }
    std::vector<std::vector<uint16_t>> texts;
};

class HidPlatform final : public platform::Platform {
public:
    explicit HidPlatform(std::vector<std::vector<uint16_t>> answers) : texts(std::move(answers)) {}

    std::vector<std::optional<DeviceInterfaceNode>> listInterfaces(platform::InterfaceClass,
                                                                   int) override {
        return {
            DeviceInterfaceNode{"HID\\VID_1A2B&PID_0006\\7&1f&0&0000", "maker", "probe", "/hid/0"}};
    }
    std::unique_ptr<platform::UsbDevice> openUsbDevice(const std::string&) override {
        return nullptr;
    }
    std::unique_ptr<platform::HidDevice> openHidDevice(const std::string&) override {
        return std::make_unique<AnsweringHid>(texts);
    }

private:
    std::vector<std::vector<uint16_t>> texts;
};

void fuzzHidRefinement(FuzzedDataProvider& input) {
    std::vector<std::vector<uint16_t>> answers(3);
    for (auto& answer : answers) {
        // Up to a little more than the program's buffer of 512 units.
        answer.resize(input.ConsumeIntegralInRange<std::size_t>(0, 520));
        for (uint16_t& unit : answer)
            unit = input.ConsumeIntegral<uint16_t>();
    }
    auto previous = platform::installPlatform(std::make_unique<HidPlatform>(answers));
    const std::vector<USBDeviceInfo> records = enumerateUSBDevices(3, anyUsbId, anyUsbId);
    platform::installPlatform(std::move(previous));
    require(records.size() == 1);
    require(records[0].manufacturer.size() <= 512 && records[0].deviceDescription.size() <= 512 &&
            records[0].serialNumber.size() <= 512);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    switch (input.ConsumeIntegralInRange(0, 2)) {
        case 0:
            fuzzNarrowing(input);
            break;
        case 1:
            fuzzWidening(input);
            break;
        default:
            fuzzHidRefinement(input);
            break;
    }
    return 0;
}
