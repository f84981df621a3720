// Strings a HID device answers in UTF-16: the narrowing to 8-bit text of any units, terminated
// or not; the widening of the UTF-8 that sysfs holds into such answers; and the refinement of an
// enumerated HID record from a device whose answers fill the buffer without a terminator.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>

#include "Require.h"
#include "link/DeviceEnumeration.h"
#include "link/Utf16Narrowing.h"
#include "platform/linux/Utf8Widening.h"

namespace {

// One HID device, listed once, whose every answer is the input, cut to the caller's buffer.
class HidPlatform final : public platform::Platform, public platform::HidDevice {
public:
    explicit HidPlatform(std::vector<uint16_t> units) : text(std::move(units)) {}
    std::vector<std::optional<DeviceInterfaceNode>> listInterfaces(platform::InterfaceClass,
                                                                   int) override {
        return {DeviceInterfaceNode{"HID\\VID_1A2B&PID_0006\\7&1f&0&0000", "maker", "", "/h"}};
    }
    std::unique_ptr<platform::UsbDevice> openUsbDevice(const std::string&) override { return {}; }
    std::unique_ptr<platform::HidDevice> openHidDevice(const std::string&) override {
        return std::make_unique<HidPlatform>(text);
    }
    bool manufacturerString(uint16_t* to, std::size_t n) override { return answer(to, n); }
    bool productString(uint16_t* to, std::size_t n) override { return answer(to, n); }
    bool serialNumberString(uint16_t* to, std::size_t n) override { return answer(to, n); }

private:
    bool answer(uint16_t* buffer, std::size_t bytes) const {
        std::copy_n(text.begin(), std::min(text.size(), bytes / 2), buffer);
        return !text.empty();
    }
    std::vector<uint16_t> text;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    // Exactly the units given: the narrowing must not look past them.
    std::vector<uint16_t> units(input.ConsumeIntegralInRange<std::size_t>(0, 600));
    for (uint16_t& unit : units)
        unit = input.ConsumeIntegral<uint16_t>();
    const std::string narrow = narrowUtf16(units.data(), units.size());
    for (std::size_t i = 0; i < narrow.size(); ++i)
        require(units[i] != 0 && static_cast<uint8_t>(narrow[i]) == (units[i] & 0xFF));
    require(narrow.size() == units.size() || units[narrow.size()] == 0);

    HidPlatform hidOnly(units);  // nothing waits: any clock does
    const std::vector<USBDeviceInfo> records =
        enumerateUSBDevices({hidOnly, platform::steadyClock()}, 3, anyUsbId, anyUsbId);
    require(records.size() == 1 && records[0].manufacturer.size() <= 512);

    const std::string utf8 = input.ConsumeRemainingBytesAsString();
    const std::u16string wide = platform::widenUtf8(utf8);
    require(wide.size() <= utf8.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {  // surrogates only in high-low pairs
        if (wide[i] >= 0xD800 && wide[i] <= 0xDBFF)
            require(++i < wide.size() && wide[i] >= 0xDC00 && wide[i] <= 0xDFFF);
        else
            require(wide[i] < 0xDC00 || wide[i] > 0xDFFF);
    }
    return 0;
}
