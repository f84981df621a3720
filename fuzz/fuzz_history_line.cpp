// A line of the update history, as a power cut or an editor may leave it: a line that reads as a
// record is written back as a line that reads as the same record, and any record's texts make a
// line that reads back.
#include <string_view>

#include "Require.h"
#include "firmware/UpdateHistory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    if (const std::optional<UpdateRecord> record = decodeHistoryLine(line)) {
        const std::string again = encodeHistoryLine(*record);
        const std::optional<UpdateRecord> back = decodeHistoryLine(again);
        require(back && encodeHistoryLine(*back) == again);
    }
    UpdateRecord bytes;
    bytes.timeUtc = bytes.serialNumber = bytes.message = std::string(line);
    const std::optional<UpdateRecord> read = decodeHistoryLine(encodeHistoryLine(bytes));
    require(read && read->serialNumber.size() >= line.size());
    return 0;
}
