// Instance identifiers as a platform lists them: any text parses without harm, and one composed
// from ids, a serial number and a port path gives back the ids, and the serial number exactly
// when it is one an identifier can carry.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>

#include "Require.h"
#include "link/InstanceIdParsing.h"
#include "platform/InstanceId.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const auto vendorId = input.ConsumeIntegral<uint16_t>();
    const auto productId = input.ConsumeIntegral<uint16_t>();
    const std::string serial = input.ConsumeRandomLengthString(64);
    const std::string portPath = input.ConsumeRandomLengthString(32);
    const auto composed =
        parseInstanceId(platform::composeInstanceId(vendorId, productId, serial, portPath));
    require(composed && composed->vendorId == vendorId && composed->productId == productId);
    if (!platform::isUsableSerial(serial))
        require(composed->serialNumber.empty());
    else if (serial.size() < 2 || serial[1] != '&')  // such a serial reads as made up
        require(composed->serialNumber == serial);

    const std::string text = input.ConsumeRemainingBytesAsString();
    const auto parsed = parseInstanceId(text);
    require(parsed.has_value() == (std::count(text.begin(), text.end(), '\\') >= 2));
    require(!parsed || (parsed->serialNumber.find('\\') == std::string::npos &&
                        (parsed->serialNumber.size() < 2 || parsed->serialNumber[1] != '&')));
    return 0;
}
